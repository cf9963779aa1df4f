#include "gl/verticespaintergl.h"

#include "gl/vertexarraygl.h"

#include <GL/gl.h>

template <typename T>
void VerticesPainterGL<T>::setShape(const Shape<T>& shape)
{
    ShapePainterGL<T>::setShape(dynamic_cast<const Vertices<T>&>(shape));
}

template <typename T>
void VerticesPainterGL<T>::glDrawShape()
{
    glDrawVertexSymbols();
}

template <typename T>
void VerticesPainterGL<T>::glDrawVertexSymbols()
{
    const ShapePainterAttributesGL& a = this->m_attributes;
    const int symbol = a.useVertexSymbol() ? a.getVertexSymbol() : VertexSymbolNone;
    if (symbol == VertexSymbolDot)
        glDrawPoints();
    else if (symbol != VertexSymbolNone)
        glDrawSymbols();
}

template <typename T>
void VerticesPainterGL<T>::glDrawPoints()
{
    plexan::gl::drawList(vertices(), GL_POINTS, m_scratch);
}

template <typename T>
void VerticesPainterGL<T>::glDrawSymbols()
{
    const Vertices<T>& list = vertices();
    const int n = list.getNumVertices();
    if (n == 0)
        return;
    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    for (int i = 0; i < n; ++i) {
        const Vector<T>& v = list.vertex(i);
        const int space = v.getSize();
        glPushMatrix();
        glTranslated(space > 0 ? static_cast<double>(v[0]) : 0.0, space > 1 ? static_cast<double>(v[1]) : 0.0,
                     space > 2 ? static_cast<double>(v[2]) : 0.0);
        this->glDrawSymbol();
        glPopMatrix();
    }
    if (!culling)
        glDisable(GL_CULL_FACE);
}

template class VerticesPainterGL<float>;
template class VerticesPainterGL<double>;
template class VerticesPainterGL<long double>;
