#pragma once
// Grid<T>: a box cut into cells, a given number along each axis. The
// resolution along an axis is the box width over the cell count, and the
// centre of cell i is corner 1 + (i + 0.5) resolution.

#include "geometry/boundingbox.h"
#include "numerics/elementtype.h"
#include "numerics/vector.h"

template <typename T>
class Grid {
public:
    Grid() = default;
    Grid(const BoundingBox<T>& box, const Vector<int>& numCells) : m_box(box), m_numCells(numCells) {}

    const BoundingBox<T>& getBoundingBox() const { return m_box; }
    void setBoundingBox(const BoundingBox<T>& box) { m_box = box; }
    const Vector<int>& getNumCells() const { return m_numCells; }
    void setNumCells(const Vector<int>& numCells) { m_numCells = numCells; }

    // Box width over cell count, per axis (SizeError when the box and the
    // counts differ in dimension).
    Vector<T> getResolutions() const;
    // The centre of cell i along axis a, and of the first cell along every
    // axis.
    T cellCentre(int a, int i) const;
    Vector<T> firstCellCentre() const;

private:
    BoundingBox<T> m_box;
    Vector<int> m_numCells;
};

#define PLEXAN_EXTERN_GRID(T) extern template class Grid<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_GRID)
#undef PLEXAN_EXTERN_GRID
