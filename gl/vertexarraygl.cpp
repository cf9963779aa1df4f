#include "gl/vertexarraygl.h"

#include <GL/gl.h>

#include <algorithm>
#include <type_traits>

namespace plexan::gl {

namespace {

// The pool's slots 0 .. count-1 lie one after the other as floats.
template <typename T>
bool contiguousFloats(const VertexServer<T>& server, int count)
{
    if constexpr (!std::is_same_v<T, float>) {
        return false;
    } else {
        const int space = server.getSpace();
        if (count < 1 || space < 2 || count > server.getSize())
            return false;
        return server.contiguousSlots(0) >= count;
    }
}

template <typename T>
void packVertex(const Vector<T>& v, float* out)
{
    const int n = std::min(v.getSize(), 3);
    int k = 0;
    for (; k < n; ++k)
        out[k] = static_cast<float>(v[k]);
    for (; k < 3; ++k)
        out[k] = 0.0f;
}

} // namespace

template <typename T>
CoordinateArray poolCoordinates(const VertexServer<T>& server, int count, std::vector<float>& scratch)
{
    CoordinateArray array;
    if (contiguousFloats(server, count)) {
        if constexpr (std::is_same_v<T, float>) {
            array.data = server.coordinates(0);
            array.components = std::min(server.getSpace(), 3);
            array.stride = server.getSpace();
        }
        return array;
    }
    scratch.resize(static_cast<std::size_t>(std::max(count, 0)) * 3);
    for (int i = 0; i < count; ++i)
        packVertex(server[i], scratch.data() + static_cast<std::size_t>(i) * 3);
    array.data = scratch.data();
    return array;
}

template <typename T>
void packList(const Vertices<T>& list, std::vector<float>& scratch)
{
    const int n = list.getNumVertices();
    scratch.resize(static_cast<std::size_t>(n) * 3);
    for (int i = 0; i < n; ++i)
        packVertex(list.vertex(i), scratch.data() + static_cast<std::size_t>(i) * 3);
}

template <typename T>
void drawList(const Vertices<T>& list, unsigned int mode, std::vector<float>& scratch)
{
    const int n = list.getNumVertices();
    if (n == 0 || !list.hasServer())
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    const VertexServer<T>& server = *list.getServer();
    if (contiguousFloats(server, server.getSize())) {
        const CoordinateArray array = poolCoordinates(server, server.getSize(), scratch);
        glVertexPointer(array.components, GL_FLOAT, array.stride * static_cast<GLsizei>(sizeof(float)), array.data);
        glDrawElements(mode, n, GL_UNSIGNED_INT, list.getIndexes().data());
    } else {
        packList(list, scratch);
        glVertexPointer(3, GL_FLOAT, 0, scratch.data());
        glDrawArrays(mode, 0, n);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

#define PLEXAN_INSTANTIATE(T)                                                                          \
    template CoordinateArray poolCoordinates<T>(const VertexServer<T>&, int, std::vector<float>&);     \
    template void packList<T>(const Vertices<T>&, std::vector<float>&);                               \
    template void drawList<T>(const Vertices<T>&, unsigned int, std::vector<float>&);
PLEXAN_INSTANTIATE(float)
PLEXAN_INSTANTIATE(double)
PLEXAN_INSTANTIATE(long double)
#undef PLEXAN_INSTANTIATE

} // namespace plexan::gl
