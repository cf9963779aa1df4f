#include "gl/voxelmatrixpaintergl.h"

#include "gl/verticespaintergl.h"

#include <algorithm>

template <typename T>
bool VoxelMatrixPainterGL<T>::isOpaque() const
{
    return !m_attributes.useTransparency() || m_attributes.getTransparency() == 255.0f;
}

template <typename T>
void VoxelMatrixPainterGL<T>::setVoxelMatrix(const VoxelMatrix<T>& matrix)
{
    m_matrix = &matrix;
    m_dirty = true;
}

template <typename T>
void VoxelMatrixPainterGL<T>::setBoundingBox(const BoundingBox<T>& box)
{
    m_box = box;
    m_dirty = true;
}

template <typename T>
void VoxelMatrixPainterGL<T>::setConversionParameters(T threshold, int step)
{
    m_threshold = threshold;
    m_step = std::max(step, 1);
    m_dirty = true;
}

template <typename T>
const Vertices<T>& VoxelMatrixPainterGL<T>::getSymbols()
{
    if (m_dirty)
        rebuild();
    return m_symbols;
}

template <typename T>
void VoxelMatrixPainterGL<T>::rebuild()
{
    m_dirty = false;
    m_symbols = Vertices<T>();
    if (!m_matrix || !m_box.isValid() || m_box.getSpace() < 3)
        return;
    const int n1 = m_matrix->getSize1(), n2 = m_matrix->getSize2(), n3 = m_matrix->getSize3();
    if (n1 < 1 || n2 < 1 || n3 < 1)
        return;
    // Cell sides along x (columns), y (rows) and z (planes).
    const T dx = m_box.width(0) / T(n2), dy = m_box.width(1) / T(n1), dz = m_box.width(2) / T(n3);
    m_symbolSize = std::min({dx, dy, dz}) * T(m_step) / T(2);
    int count = 0;
    for (int k = 0; k < n3; k += m_step)
        for (int i = 0; i < n1; i += m_step)
            for (int j = 0; j < n2; j += m_step)
                count += (*m_matrix)(i, j, k) >= m_threshold ? 1 : 0;
    m_symbols = Vertices<T>(3, count);
    int s = 0;
    for (int k = 0; k < n3; k += m_step)
        for (int i = 0; i < n1; i += m_step)
            for (int j = 0; j < n2; j += m_step)
                if ((*m_matrix)(i, j, k) >= m_threshold) {
                    Vector<T>& v = m_symbols.vertex(s++);
                    v[0] = m_box.min(0) + (T(j) + T(0.5)) * dx;
                    v[1] = m_box.min(1) + (T(i) + T(0.5)) * dy;
                    v[2] = m_box.min(2) + (T(k) + T(0.5)) * dz;
                }
}

template <typename T>
void VoxelMatrixPainterGL<T>::glDraw()
{
    const Vertices<T>& symbols = getSymbols();
    if (symbols.getNumVertices() == 0)
        return;
    ShapePainterAttributesGL attributes = m_attributes;
    if (attributes.useVertexSymbol() && attributes.getVertexSymbol() != VertexSymbolDot)
        attributes.setSymbolSize(static_cast<float>(m_symbolSize));
    VerticesPainterGL<T> painter;
    painter.setAttributes(attributes);
    painter.setShape(symbols);
    painter.glDraw();
}

template class VoxelMatrixPainterGL<float>;
template class VoxelMatrixPainterGL<double>;
template class VoxelMatrixPainterGL<long double>;
