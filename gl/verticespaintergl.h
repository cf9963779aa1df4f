#pragma once
// VerticesPainterGL<T>: draws a vertex list as symbols: dots as one point
// primitive, the solid symbols one per vertex (back faces culled).

#include "gl/shapepaintergl.h"
#include "geometry/vertices.h"

#include <vector>

template <typename T>
class VerticesPainterGL : public ShapePainterGL<T> {
public:
    VerticesPainterGL() = default;
    // shape must be a Vertices<T> (std::bad_cast otherwise).
    void setShape(const Shape<T>& shape) override;
    void glDrawShape() override;

protected:
    const Vertices<T>& vertices() const { return static_cast<const Vertices<T>&>(*this->m_shape); }
    // Every vertex as one GL_POINTS primitive.
    void glDrawPoints();
    // One symbol per vertex.
    void glDrawSymbols();
    // The symbols of the attribute's kind: points for dots, nothing for none.
    void glDrawVertexSymbols();

    std::vector<float> m_scratch;
};

extern template class VerticesPainterGL<float>;
extern template class VerticesPainterGL<double>;
extern template class VerticesPainterGL<long double>;
