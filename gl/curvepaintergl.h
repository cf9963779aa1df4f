#pragma once
// CurvePainterGL<T>: draws a curve as a line strip (open) or a line loop
// (closed), with its vertex symbols in mode Symbol+Curve, or only the
// symbols in mode Symbol.

#include "gl/verticespaintergl.h"
#include "geometry/curve.h"

template <typename T>
class CurvePainterGL : public VerticesPainterGL<T> {
public:
    CurvePainterGL() = default;
    // shape must be a Curve<T> (std::bad_cast otherwise).
    void setShape(const Shape<T>& shape) override;
    void glDrawShape() override;

protected:
    const Curve<T>& curve() const { return static_cast<const Curve<T>&>(*this->m_shape); }
    void glDrawCurve();
};

extern template class CurvePainterGL<float>;
extern template class CurvePainterGL<double>;
extern template class CurvePainterGL<long double>;
