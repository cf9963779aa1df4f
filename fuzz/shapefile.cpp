// Shape text files of every type code (curves, curve stacks, quadrilateral
// and triangle meshes, vertex lists and stacks), read through
// Shape<T>::loadFile for every coordinate type.
//
// A shape that reads must also write, and what it writes must read back and
// write again as the same text: the writer's number forms have to be ones
// the reader takes, and the type, the space and the vertices must survive.

#include "fuzz/scratchdirectory.h"
#include "geometry/coordinates.h"
#include "geometry/shape.h"
#include "numerics/elementtype.h"
#include "numerics/exception.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <memory>
#include <sstream>
#include <string>

namespace {

[[noreturn]] void fail(const char* type, const std::string& what)
{
    std::fprintf(stderr, "Shape<%s>: %s\n", type, what.c_str());
    std::abort();
}

template <typename T>
std::string text(const Shape<T>& shape)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    shape.write(out);
    return out.str();
}

template <typename T>
void readAs(const std::string& file)
{
    const char* type = plexan::typeName<T>();
    std::unique_ptr<Shape<T>> shape;
    try {
        shape.reset(Shape<T>::loadFile(file));
    } catch (const Exception&) {
        return;
    }
    if (!shape)
        fail(type, "loadFile returned no shape");

    std::string written;
    try {
        written = text(*shape);
    } catch (const Exception& e) {
        fail(type, "a shape read from a file cannot be written: " + e.getWhat());
    }
    const std::string copy = ScratchDirectory::instance().write("copy.shape", written);
    std::unique_ptr<Shape<T>> again;
    try {
        again.reset(Shape<T>::loadFile(copy));
    } catch (const Exception& e) {
        fail(type, "a written shape cannot be read again: " + e.getWhat() + "\n" + written);
    }
    if (again->getShapeType() != shape->getShapeType() || again->getSpace() != shape->getSpace() ||
        again->getNumVertices() != shape->getNumVertices())
        fail(type, "a written shape reads back with another type, space or size\n" + written);
    if (text(*again) != written)
        fail(type, "a written shape reads back as other text\n" + written + "\nbecomes\n" + text(*again));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file = ScratchDirectory::instance().write("shape", data, size);
#define PLEXAN_READ_AS(T) readAs<T>(file);
    PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_READ_AS)
#undef PLEXAN_READ_AS
    return 0;
}
