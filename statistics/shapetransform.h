#pragma once
// Moving every vertex of a shape in place, the caps of a quadrilateral mesh
// included (they keep vertex pools of their own). The shape, and each cap,
// is detached first, so that shapes sharing its pool keep their vertices.

#include "geometry/quadmesh.h"

namespace plexan {

template <typename T, typename F>
void transformShape(Shape<T>& shape, F&& f)
{
    auto visit = [&](Shape<T>& s) {
        s.detach();
        for (VertexIterator<T> it(s); it.current(); ++it)
            f(*it.current());
    };
    visit(shape);
    if (auto* mesh = dynamic_cast<QuadMesh<T>*>(&shape))
        for (QuadMesh<T>* cap : {mesh->getBeginCap(), mesh->getEndCap()})
            if (cap)
                visit(*cap);
}

// The vertex count of a shape and of a quadrilateral mesh's caps.
template <typename T>
int countTransformedVertices(const Shape<T>& shape)
{
    int n = shape.getNumVertices();
    if (const auto* mesh = dynamic_cast<const QuadMesh<T>*>(&shape))
        for (const QuadMesh<T>* cap : {mesh->getBeginCap(), mesh->getEndCap()})
            if (cap)
                n += cap->getNumVertices();
    return n;
}

} // namespace plexan
