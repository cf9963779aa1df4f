#include "statistics/shapesetgroup.h"

#include "numerics/elementtype.h"

#include <algorithm>

template <typename T>
ShapeSetGroup<T>::ShapeSetGroup(const std::vector<ShapeSet<T>*>& sets) : m_sets(sets)
{
}

template <typename T>
void ShapeSetGroup<T>::removeShapeSet(const ShapeSet<T>& set)
{
    m_sets.erase(std::remove(m_sets.begin(), m_sets.end(), &set), m_sets.end());
}

template <typename T>
ShapeSet<T> ShapeSetGroup<T>::average() const
{
    return ShapeSet<T>::computeMean(std::vector<const ShapeSet<T>*>(m_sets.begin(), m_sets.end()));
}

#define PLEXAN_INSTANTIATE(T) template class ShapeSetGroup<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
