// Stack files of every version, as users' disks hold them: old files, files
// written by hand or by other tools, truncated copies. The file is read from
// a directory that also holds a few real slice images (see sampleimages.h),
// so that slices, mosaic tiles and voxel-matrix planes can find files; the
// stack read is then written and the written file read again.

#include "fuzz/sampleimages.h"
#include "fuzz/scratchdirectory.h"
#include "numerics/exception.h"
#include "stack/stack.h"
#include "stack/stackreader.h"
#include "stack/stackwriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    writeSampleImages(ScratchDirectory::instance().getPath());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ScratchDirectory& scratch = ScratchDirectory::instance();
    const std::string file = scratch.write("stack.sdf", data, size);
    Stack stack;
    StackReader reader;
    if (!reader.read(stack, file)) {
        std::fprintf(stderr, "a readable stack file was refused as a whole\n");
        std::abort();
    }

    const std::string copy = scratch.file("written.sdf");
    StackWriter writer;
    try {
        if (!writer.write(stack, copy)) {
            std::fprintf(stderr, "a stack read from a file cannot be written\n");
            std::abort();
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "a stack read from a file cannot be written: %s\n", e.getWhat().c_str());
        std::abort();
    }
    Stack again;
    if (!StackReader().read(again, copy)) {
        std::fprintf(stderr, "a written stack file was refused as a whole\n");
        std::abort();
    }
    return 0;
}
