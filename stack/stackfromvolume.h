#pragma once
// StackFromVolume: a new stack whose slices are the planes of a volume,
// written as TIFF images "<name>_zzz.tif" (z from 000) into a directory,
// with the volume's calibration: pixel width and height from the voxel
// width and height, the spacing between slices from the voxel depth, the
// length unit the volume's.
//
// Values are kept unless the user says how to reduce them, never cut
// silently:
// - Keep (the default): 8-bit volumes give 8-bit slices and 16-bit ones
//   16-bit slices; any other volume whose values are all integers from 0 to
//   255 (or 65535) gives 8-bit (16-bit) slices holding them exactly. Other
//   values (negative, fractional, larger) are refused with their range and
//   the two ways out below.
// - Window lo, hi: one window for the whole volume, the same on every
//   plane: lo and below give 0, hi and above the largest level (255, or
//   65535 for 16 bits), values between are spread linearly and rounded.
// - Rescale: the window from the volume's smallest to its largest value.
//
// With the volumes of VolumeImport, this is the workbench's "new stack from
// a volume" and the command line's import and volume-to-stack.

#include "image/anyvoxelmatrix.h"
#include "numerics/progresssubject.h"

#include <memory>
#include <string>
#include <vector>

class Stack;

class StackFromVolume : public virtual ProgressSubject {
public:
    enum class Values { Keep, Window, Rescale };

    // The stack's name and the prefix of its image files.
    void setName(const std::string& name) { m_name = name; }
    const std::string& getName() const { return m_name; }
    void setValues(Values values) { m_values = values; }
    Values getValues() const { return m_values; }
    // For Window. ValueError unless lo < hi (both finite).
    void setWindow(double lo, double hi);
    double getWindowLow() const { return m_low; }
    double getWindowHigh() const { return m_high; }
    // Bits of the slices a window or a rescale makes: 8 (the default) or 16
    // (ValueError otherwise).
    void setBits(int bits);
    int getBits() const { return m_bits; }

    // The bits of the slices for volume (8 or 16). ValueError "Values from
    // LO to HI do not fit ..." when the values cannot be kept as they are.
    int sliceBits(const AnyVoxelMatrix& volume) const;
    // The names of the image files, in plane order.
    std::vector<std::string> imageNames(const AnyVoxelMatrix& volume) const;

    // Writes the slice images into directory (replacing files of those
    // names) and returns the stack naming them. The errors of sliceBits
    // before anything is written; FileWriteError for an image that cannot
    // be written. Progress: planes written.
    std::unique_ptr<Stack> apply(const AnyVoxelMatrix& volume, const std::string& directory);

private:
    std::string m_name = "volume";
    Values m_values = Values::Keep;
    double m_low = 0.0;
    double m_high = 255.0;
    int m_bits = 8;
};
