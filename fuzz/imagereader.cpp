// Slice images as users' disks hold them: format detection, IMG files and
// the first image of TIFF files, header alone and with the pixels. The bytes
// reach the reader as a file named ".img", so that both the IMG signature
// and the TIFF signatures are recognised.
//
// Besides crashes, leaks and unbounded allocations, a read that succeeds
// must agree with the header read on its own.

#include "fuzz/scratchdirectory.h"
#include "image/image.h"
#include "image/imageheader.h"
#include "image/imagereader.h"
#include "numerics/exception.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file = ScratchDirectory::instance().write("slice.img", data, size);
    ImageReader reader;

    ImageHeader header;
    bool headerRead = false;
    try {
        reader.read(header, file);
        headerRead = true;
    } catch (const Exception&) {
    }

    Image image;
    try {
        reader.read(image, file);
    } catch (const Exception&) {
        return 0;
    }
    if (!headerRead || image.getWidth() != header.getWidth() || image.getHeight() != header.getHeight() ||
        image.getDepth() != header.getDepth() || image.hasColormap() != header.hasColormap()) {
        std::fprintf(stderr, "image read as %d x %d x %d, header alone %s %d x %d x %d\n", image.getWidth(),
                     image.getHeight(), image.getDepth(), headerRead ? "read" : "refused", header.getWidth(),
                     header.getHeight(), header.getDepth());
        std::abort();
    }
    return 0;
}
