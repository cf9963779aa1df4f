#include "statistics/grid.h"

#include "numerics/exception.h"

template <typename T>
Vector<T> Grid<T>::getResolutions() const
{
    const int n = m_numCells.getSize();
    if (m_box.getVertex1().getSize() != n || m_box.getVertex2().getSize() != n)
        throw SizeError("Vector<T> Grid<T>::getResolutions() const", "Incompatible vector dimensions");
    Vector<T> r(static_cast<unsigned int>(n));
    for (int a = 0; a < n; ++a)
        r[a] = m_box.width(a) / static_cast<T>(m_numCells[a]);
    return r;
}

template <typename T>
T Grid<T>::cellCentre(int a, int i) const
{
    const T resolution = m_box.width(a) / static_cast<T>(m_numCells[a]);
    return m_box.getVertex1()[a] + (static_cast<T>(i) + T(0.5)) * resolution;
}

template <typename T>
Vector<T> Grid<T>::firstCellCentre() const
{
    const Vector<T> r = getResolutions();
    Vector<T> c(static_cast<unsigned int>(r.getSize()));
    for (int a = 0; a < r.getSize(); ++a)
        c[a] = m_box.getVertex1()[a] + T(0.5) * r[a];
    return c;
}

#define PLEXAN_INSTANTIATE(T) template class Grid<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
