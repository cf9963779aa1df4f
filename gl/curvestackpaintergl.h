#pragma once
// CurveStackPainterGL<T>: draws a curve stack curve by curve, each curve
// with the painter's attributes.

#include "gl/vertexstackpaintergl.h"
#include "geometry/curvestack.h"

template <typename T>
class CurveStackPainterGL : public VertexStackPainterGL<T> {
public:
    CurveStackPainterGL() = default;
    // shape must be a CurveStack<T> (std::bad_cast otherwise).
    void setShape(const Shape<T>& shape) override;
    void glDrawShape() override;

protected:
    const CurveStack<T>& curves() const { return static_cast<const CurveStack<T>&>(*this->m_shape); }
    // Every level with a curve painter of these attributes.
    void glDrawLevels(const ShapePainterAttributesGL& attributes);
};

extern template class CurveStackPainterGL<float>;
extern template class CurveStackPainterGL<double>;
extern template class CurveStackPainterGL<long double>;
