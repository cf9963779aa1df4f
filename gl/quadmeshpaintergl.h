#pragma once
// QuadMeshPainterGL<T>: draws a quadrilateral mesh (a tube of equal-width
// levels) and its caps. Modes Symbol, Curve and Symbol+Curve draw the level
// curves as a curve stack; mode Mesh adds the column curves; mode Surface
// draws each band between successive levels as one triangle strip with
// per-vertex normals and colours (the mesh's vertex colours when it has
// them, else the colour attribute, with the transparency as alpha), then the
// caps whose flags are set and which the mesh has.
//
// The normals are computed once per setShape: call it again after moving the
// mesh's vertices.

#include "gl/curvestackpaintergl.h"
#include "geometry/quadmesh.h"

#include <vector>

template <typename T>
class QuadMeshPainterGL : public CurveStackPainterGL<T> {
public:
    QuadMeshPainterGL() = default;

    // Opaque unless a transparency other than exactly 255 is defined.
    bool isOpaque() const override;
    // shape must be a QuadMesh<T> (std::bad_cast otherwise); computes the
    // normals.
    void setShape(const Shape<T>& shape) override;
    void glDrawShape() override;

    // The unit normal of vertex (level r, column c), 3 floats at
    // 3 (r W + c); zero where the adjacent quadrilaterals have no area.
    const std::vector<float>& getNormals() const { return m_normals; }

protected:
    const QuadMesh<T>& mesh() const { return static_cast<const QuadMesh<T>&>(*this->m_shape); }
    void glDrawSurface();
    void glDrawColumns();
    void glDrawCap(const QuadMesh<T>* cap);

private:
    void computeNormals();

    std::vector<float> m_normals;
    std::vector<float> m_scratch;
    std::vector<unsigned char> m_colors;
    std::vector<unsigned int> m_strip;
};

extern template class QuadMeshPainterGL<float>;
extern template class QuadMeshPainterGL<double>;
extern template class QuadMeshPainterGL<long double>;
