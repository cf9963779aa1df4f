#pragma once
// StackWriter: writes a stack in the current version of the stack file
// format: the stack's own statements, then every slice, every model with its
// items, and every pose, each after an empty line, one statement per line.
// The images are named, not stored: a slice names its image file (or the
// tiles of its mosaic, or its plane of a voxel-matrix file), and
// "ImagesPath" statements give the directories, absolute or relative to the
// stack file's directory as the stack's policy says.
//
// Standard images, snake configurations, slice thicknesses, pixel heights
// and selections are not stored. Numbers are written in the "C" form
// whatever the user's locale: reals with six significant digits.
//
// saveAsStack turns a volume into a stack of 8-bit TIFF slices and writes
// its stack file.

#include "stack/stackio.h"

#include <iosfwd>
#include <string>

class PixelCalibration;
class Stack;
template <typename T> class VoxelMatrix;

class StackWriter : public StackIO {
public:
    // Writes the stack to fileName as given (truncating an existing file).
    // False when the file cannot be opened or written, true otherwise.
    // Resets the log and the fatal-error count.
    bool write(const Stack& stack, const std::string& fileName);
    // Writes the same text to a stream, as if to fileName: image directories
    // relative to the stack file are written relative to fileName's
    // directory. False when the stream fails.
    bool write(const Stack& stack, std::ostream& stream, const std::string& fileName);

    // For every plane z of the volume: converts it to an 8-bit image (each
    // value truncated to its low byte), writes it as the TIFF file
    // "<name>_<zzz>.tif" (z on three digits) in imagesDirectory, and makes it
    // slice "<zzz>" with the calibration and the spacing as its relative
    // position. The stack, named name, with the calibration as default and
    // the spacing as default relative position, is written to
    // "<name>.sdf" in stackDirectory. Directories get a "/" before the file
    // name when they lack one; an empty one is the current directory.
    // Returns what write() returns; a TIFF that cannot be written raises its
    // FileWriteError. T: int, float, double, long double.
    template <typename T>
    bool saveAsStack(const VoxelMatrix<T>& volume, const std::string& name, const std::string& imagesDirectory,
                     const std::string& stackDirectory, const PixelCalibration& calibration, float spacing);
};

// StackWriter::saveAsStack for float and double volumes.
template <typename T>
bool saveVolumeAsStack(const VoxelMatrix<T>& volume, const std::string& name, const std::string& imagesDirectory,
                       const std::string& stackDirectory, const PixelCalibration& calibration, float spacing);
