#pragma once
// StackVolumeConversion: a stack as a voxel matrix with its physical
// calibration, for the volume views, the isosurfaces and the ".vm" files.
//
// Plane k holds slice k's image at its display size (square pixels, see
// Slice), as grey levels or one colour component. As stored (the default),
// the images are stacked as they are, registrations are not applied, and
// every slice must have the first slice's display size. Values are kept: 16-bit grey images give their
// 16-bit samples, the same on every plane, never stretched image by image
// (unlike Stack::toVoxelMatrix, which makes every image 8-bit grey for
// display first); 8-bit grey images their bytes, indexed images their
// colormap's grey, colour images their mean grey ((r + g + b) / 3).
//
// The voxel size, in the stack's length unit, is that of a display pixel of
// the first slice (its pixel width and height scaled by the ratio of image to
// display size, so both equal the larger of the two for a non-square pixel)
// and, between planes, the mean spacing of the slices: the distance from the
// first slice to the last over the number of gaps. A stack of one slice takes
// its own spacing, and a spacing that is not positive leaves the default
// depth of 1.
//
// Registered, every plane is its slice's image moved as StackReconstruction
// places the slice (and so its outlines) in the stack's frame: voxel (i, j)
// lies at x = w (j - columns / 2), y = h (rows / 2 - i) and takes the
// bilinear value of the image at the display pixel the slice's map takes
// there (the pixels of the border reach half a pixel beyond their centres,
// 0 lies beyond). The planes grow from the first slice's display size by
// whole voxels on both sides of each axis until they hold every moved
// slice's pixel centres, so their centre stays the stack's origin and a
// stack without registrations gives the stored volume. Slices may differ in
// size; integer voxels take the nearest integer.

#include "image/anyvoxelmatrix.h"
#include "image/imagecolorcontent.h"
#include "image/voxelcalibration.h"

class Stack;
template <typename T> class VoxelMatrix;

class StackVolumeConversion {
public:
    // Grey levels (the default) or the red, green or blue component.
    void setContent(ImageColorContent content) { m_content = content; }
    ImageColorContent getContent() const { return m_content; }
    // The images as they are (the default), or moved by their registrations.
    enum class Placement { AsStored, Registered };
    void setPlacement(Placement placement) { m_placement = placement; }
    Placement getPlacement() const { return m_placement; }

    // The calibrated volume; empty for a stack without slices. SizeError when
    // a slice's display size differs from the first one's (as stored); the image
    // readers' errors propagate. T: int, float, double, long double.
    template <typename T>
    VoxelMatrix<T> apply(const Stack& stack) const;
    // The volume in the slices' own type: unsigned shorts when a slice is a
    // 16-bit grey image (and grey levels are asked for), unsigned chars
    // otherwise.
    AnyVoxelMatrix apply(const Stack& stack) const;
    // Whether apply(stack) gives 16-bit voxels.
    bool isSixteenBit(const Stack& stack) const;

    // The calibration apply() gives the volume of stack.
    static VoxelCalibration voxelCalibration(const Stack& stack);
    // Whether the slices are evenly spaced (to a relative 1e-4 of the mean
    // spacing), so that the volume's depth places every plane where its
    // slice lies.
    static bool isEvenlySpaced(const Stack& stack);
    // Whether a slice has a registration that moves it.
    static bool hasRegistrations(const Stack& stack);

private:
    ImageColorContent m_content = ImageColorContent::Grayscale;
    Placement m_placement = Placement::AsStored;
};
