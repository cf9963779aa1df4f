#pragma once
// TriMeshPainterGL<T>: draws a triangle mesh as a lit surface (mode Surface,
// with per-vertex normals), as the edges of its triangles (mode Mesh), or as
// its vertex symbols (other modes).
//
// The painter draws its own copy of the mesh: the copy shares the mesh's
// vertex pool, so moved vertices show at the next draw, but owns the
// triangles and the normals, which the painter computes (smoothed by the
// smoothing attribute) without touching the caller's mesh. Call setShape
// again after changing the triangles.

#include "gl/draftmesh.h"
#include "gl/verticespaintergl.h"
#include "geometry/trimesh.h"

#include <vector>

// Surfaces of more triangles than this are drawn coarser while the camera
// moves on a software renderer (about as many triangles).
inline constexpr int draftTriangles = 200000;

template <typename T>
class TriMeshPainterGL : public VerticesPainterGL<T> {
public:
    TriMeshPainterGL() = default;

    // Opaque unless a transparency other than exactly 255 is defined.
    bool isOpaque() const override;
    // shape must be a TriMesh<T> (std::bad_cast otherwise).
    void setShape(const Shape<T>& shape) override;
    // A change of the smoothing value (undefined counting as -1) recomputes
    // the normals.
    void setAttributes(const ShapePainterAttributesGL& attributes) override;
    void glDrawShape() override;

    // The mesh drawn (the painter's copy).
    const TriMesh<T>& getPaintedMesh() const { return m_mesh; }
    // The coarse copy drawn in draft frames (empty until one was drawn).
    const DraftMesh& getDraftMesh() const { return m_draft; }

protected:
    void glDrawSurface();
    void glDrawEdges();

private:
    // Recomputes the copy's normals when asked, then fills the normal array.
    void computeNormals(bool recompute);
    // In a draft frame, draws the coarse copy of a surface of more than
    // draftTriangles triangles (built on first use) and answers true.
    bool glDrawDraftSurface(const float* coordinates, int components, int stride);

    TriMesh<T> m_mesh;
    int m_smoothing = -1;
    // Vertex arrays: the normals by server index, the edges as index pairs
    // (built on first use), and the largest server index used.
    std::vector<float> m_normals;
    std::vector<unsigned int> m_edges;
    int m_poolCount = 0;
    DraftMesh m_draft;
    bool m_draftBuilt = false;
};

extern template class TriMeshPainterGL<float>;
extern template class TriMeshPainterGL<double>;
extern template class TriMeshPainterGL<long double>;
