#include "gl/curvepaintergl.h"

#include "gl/vertexarraygl.h"

#include <GL/gl.h>

template <typename T>
void CurvePainterGL<T>::setShape(const Shape<T>& shape)
{
    ShapePainterGL<T>::setShape(dynamic_cast<const Curve<T>&>(shape));
}

template <typename T>
void CurvePainterGL<T>::glDrawShape()
{
    const int mode = this->m_attributes.useDisplayMode() ? this->m_attributes.getDisplayMode() : DisplayModeNone;
    if (mode == DisplayModeSymbol) {
        this->glDrawVertexSymbols();
        return;
    }
    glDrawCurve();
    if (mode == DisplayModeSymbolCurve)
        this->glDrawVertexSymbols();
}

template <typename T>
void CurvePainterGL<T>::glDrawCurve()
{
    const Curve<T>& c = curve();
    plexan::gl::drawList(c, c.isOpen() ? GL_LINE_STRIP : GL_LINE_LOOP, this->m_scratch);
}

template class CurvePainterGL<float>;
template class CurvePainterGL<double>;
template class CurvePainterGL<long double>;
