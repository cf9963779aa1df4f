#pragma once
// The new stacks that import and volume-to-stack make of a volume: the
// options that say how values become slice images (--window LO HI,
// --rescale, --bits), and the writing of the images and the stack file, all
// checked before anything is written and moved into place once complete.

#include "stack/stackfromvolume.h"

#include <string>

class AnyVoxelMatrix;
class Arguments;
class InputFiles;
struct CommandContext;

struct SliceValues {
    StackFromVolume::Values values = StackFromVolume::Values::Keep;
    double low = 0.0, high = 0.0;
    int bits = 8;
};

// Declares --window LO HI, --rescale and --bits 8|16.
void declareSliceValues(Arguments& arguments);
// The values asked for: ArgumentError for both --window and --rescale, a
// window that is no range, bits other than 8 and 16, and (when unused is
// true) any of them for an output that is no stack (named by what).
SliceValues sliceValues(const Arguments& arguments, bool unused, const std::string& what);

// Writes the planes of volume as the images DIRECTORY/NAME_zzz.tif and the
// stack STACKFILE naming them (with backups of a previous stack file). The
// images and the stack file are checked as outputs first (none may be an
// input, nor a file of another kind), and a volume whose values do not fit
// is refused before anything is written. Returns the number of slices.
int writeNewStack(const AnyVoxelMatrix& volume, const std::string& name, const std::string& directory,
                  const std::string& stackFile, const SliceValues& values, const InputFiles& inputs,
                  CommandContext& context);
