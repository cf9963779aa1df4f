#include "gl/curvestackpaintergl.h"

#include "gl/curvepaintergl.h"

template <typename T>
void CurveStackPainterGL<T>::setShape(const Shape<T>& shape)
{
    ShapePainterGL<T>::setShape(dynamic_cast<const CurveStack<T>&>(shape));
}

template <typename T>
void CurveStackPainterGL<T>::glDrawShape()
{
    glDrawLevels(this->m_attributes);
}

template <typename T>
void CurveStackPainterGL<T>::glDrawLevels(const ShapePainterAttributesGL& attributes)
{
    const CurveStack<T>& s = curves();
    CurvePainterGL<T> level;
    level.setAttributes(attributes);
    this->lendSphereList(level);
    for (int k = 0; k < s.getHeight(); ++k) {
        level.setShape(s.level(k));
        level.glDrawShape();
    }
}

template class CurveStackPainterGL<float>;
template class CurveStackPainterGL<double>;
template class CurveStackPainterGL<long double>;
