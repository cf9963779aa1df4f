#pragma once
// MaskSurface<T>: a closed triangle mesh that restricts a density map to the
// inside of a region (inside flag true, the default) or to its outside.

#include "geometry/trimesh.h"

template <typename T>
class MaskSurface {
public:
    MaskSurface() = default;
    explicit MaskSurface(const TriMesh<T>& mesh, bool inside = true) : m_inside(inside), m_mesh(mesh) {}

    bool getInsideFlag() const { return m_inside; }
    void setInsideFlag(bool inside) { m_inside = inside; }
    const TriMesh<T>& getTriMesh() const { return m_mesh; }
    void setTriMesh(const TriMesh<T>& mesh) { m_mesh = mesh; }

    // Whether a point passes the mask: inside the mesh for an inside mask,
    // outside it otherwise.
    bool passes(const Vector<T>& p) const { return m_mesh.contains(p) == m_inside; }

private:
    bool m_inside = true;
    TriMesh<T> m_mesh;
};

#define PLEXAN_EXTERN_MASK_SURFACE(T) extern template class MaskSurface<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_MASK_SURFACE)
#undef PLEXAN_EXTERN_MASK_SURFACE
