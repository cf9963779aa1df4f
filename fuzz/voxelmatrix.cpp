// Voxel-matrix files (".vm") of both formats, read as every element type a
// file may hold: the header alone (as slices showing a plane learn their
// sizes) and the whole matrix; then a plane of the file as a slice image. A matrix read in full must report the sizes
// its header announced, and a file whose voxels are read must survive being
// written and read again unchanged.

#include "fuzz/scratchdirectory.h"
#include "image/image.h"
#include "image/imagereader.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/voxelmatrix.h"
#include "numerics/elementtype.h"
#include "numerics/exception.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string contents(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

[[noreturn]] void fail(const char* type, const char* what)
{
    std::fprintf(stderr, "VoxelMatrix<%s>: %s\n", type, what);
    std::abort();
}

template <typename T>
void readAs(const std::string& file)
{
    const char* type = plexan::typeName<T>();
    VoxelMatrix<T> header;
    bool headerRead = false;
    try {
        header.loadHeader(file);
        headerRead = true;
    } catch (const Exception&) {
    }

    VoxelMatrix<T> matrix;
    try {
        matrix.load(file);
    } catch (const Exception&) {
        return;
    }
    if (!headerRead)
        fail(type, "the file is read but its header is refused");
    if (matrix.getSize1() != header.getSize1() || matrix.getSize2() != header.getSize2() ||
        matrix.getSize3() != header.getSize3())
        fail(type, "the sizes read differ from those of the header");

    // Written back under format 1 and read again: the same voxels.
    const std::string copy = ScratchDirectory::instance().file("copy.vm");
    try {
        matrix.save(copy, true);
        VoxelMatrix<T> again;
        again.load(copy);
        if (again.getSize1() != matrix.getSize1() || again.getSize2() != matrix.getSize2() ||
            again.getSize3() != matrix.getSize3())
            fail(type, "a written matrix reads back with other sizes");
        const std::string bytes = contents(copy);
        again.save(copy, true);
        if (contents(copy) != bytes)
            fail(type, "a written matrix reads back with other voxels");
    } catch (const Exception&) {
        fail(type, "a matrix read from a file cannot be written and read again");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file = ScratchDirectory::instance().write("volume.vm", data, size);
#define PLEXAN_READ_AS(T) readAs<T>(file);
    PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_READ_AS)
#undef PLEXAN_READ_AS

    // The last plane, which the file must hold completely.
    try {
        ImageSourceVoxelMatrixPlane source;
        source.setVoxelMatrixFilename(file);
        source.setPlane(source.getPlaneCount() - 1);
        Image image;
        ImageReader().read(image, source);
        if (image.getHeight() != source.getSize1() || image.getWidth() != source.getSize2())
            fail("float", "a plane reads as an image of other sizes");
    } catch (const Exception&) {
    }
    return 0;
}
