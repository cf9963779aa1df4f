#pragma once
// StackVolumeConversion: a stack as a voxel matrix with its physical
// calibration, for the volume views, the isosurfaces and the ".vm" files.
//
// Plane k holds slice k's image at its display size (square pixels, see
// Slice), as 8-bit grey levels or one colour component (Stack::toVoxelMatrix);
// the images are stacked as they are, registrations are not applied. Every
// slice must have the first slice's display size.
//
// The voxel size, in the stack's length unit, is that of a display pixel of
// the first slice (its pixel width and height scaled by the ratio of image to
// display size, so both equal the larger of the two for a non-square pixel)
// and, between planes, the mean spacing of the slices: the distance from the
// first slice to the last over the number of gaps. A stack of one slice takes
// its own spacing, and a spacing that is not positive leaves the default
// depth of 1.

#include "image/imagecolorcontent.h"
#include "image/voxelcalibration.h"

class Stack;
template <typename T> class VoxelMatrix;

class StackVolumeConversion {
public:
    // Grey levels (the default) or the red, green or blue component.
    void setContent(ImageColorContent content) { m_content = content; }
    ImageColorContent getContent() const { return m_content; }

    // The calibrated volume; empty for a stack without slices. SizeError when
    // a slice's display size differs from the first one's; the image
    // readers' errors propagate. T: int, float, double, long double.
    template <typename T>
    VoxelMatrix<T> apply(const Stack& stack) const;

    // The calibration apply() gives the volume of stack.
    static VoxelCalibration voxelCalibration(const Stack& stack);
    // Whether the slices are evenly spaced (to a relative 1e-4 of the mean
    // spacing), so that the volume's depth places every plane where its
    // slice lies.
    static bool isEvenlySpaced(const Stack& stack);

private:
    ImageColorContent m_content = ImageColorContent::Grayscale;
};
