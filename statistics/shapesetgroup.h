#pragma once
// ShapeSetGroup<T>: an ordered list of shape sets (referenced, not owned),
// one per specimen, whose entries correspond structure by structure.

#include "geometry/shapeset.h"

#include <vector>

template <typename T>
class ShapeSetGroup {
public:
    ShapeSetGroup() = default;
    explicit ShapeSetGroup(const std::vector<ShapeSet<T>*>& sets);

    void addShapeSet(ShapeSet<T>& set) { m_sets.push_back(&set); }
    // Removes every occurrence of set.
    void removeShapeSet(const ShapeSet<T>& set);
    void clear() { m_sets.clear(); }
    int getNumShapeSets() const { return static_cast<int>(m_sets.size()); }
    ShapeSet<T>& operator[](int i) const { return *m_sets[static_cast<std::size_t>(i)]; }

    // For each structure, the vertex-wise mean of the corresponding shapes of
    // all sets (ShapeSet::computeMean); the result owns its shapes. Shapes of
    // different types at one entry give a ValueError ("Shapes in this set are
    // not of the same type").
    ShapeSet<T> average() const;

private:
    std::vector<ShapeSet<T>*> m_sets;
};

#define PLEXAN_EXTERN_SHAPE_SET_GROUP(T) extern template class ShapeSetGroup<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_SHAPE_SET_GROUP)
#undef PLEXAN_EXTERN_SHAPE_SET_GROUP
