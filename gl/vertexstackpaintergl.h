#pragma once
// VertexStackPainterGL<T>: draws a vertex stack level by level, each level
// as a vertex list with the painter's attributes.

#include "gl/shapepaintergl.h"
#include "geometry/vertexstack.h"

template <typename T>
class VertexStackPainterGL : public ShapePainterGL<T> {
public:
    VertexStackPainterGL() = default;
    // shape must be a VertexStack<T> (std::bad_cast otherwise).
    void setShape(const Shape<T>& shape) override;
    void glDrawShape() override;

protected:
    const VertexStack<T>& stack() const { return static_cast<const VertexStack<T>&>(*this->m_shape); }
};

extern template class VertexStackPainterGL<float>;
extern template class VertexStackPainterGL<double>;
extern template class VertexStackPainterGL<long double>;
