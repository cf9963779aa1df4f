#include "gl/vertexstackpaintergl.h"

#include "gl/verticespaintergl.h"

template <typename T>
void VertexStackPainterGL<T>::setShape(const Shape<T>& shape)
{
    ShapePainterGL<T>::setShape(dynamic_cast<const VertexStack<T>&>(shape));
}

template <typename T>
void VertexStackPainterGL<T>::glDrawShape()
{
    const VertexStack<T>& s = stack();
    VerticesPainterGL<T> level;
    level.setAttributes(this->m_attributes);
    this->lendSphereList(level);
    for (int k = 0; k < s.getHeight(); ++k) {
        level.setShape(s[k]);
        level.glDrawShape();
    }
}

template class VertexStackPainterGL<float>;
template class VertexStackPainterGL<double>;
template class VertexStackPainterGL<long double>;
