#pragma once
// StackSliceSelectionInfo: the summary of the item selection on one slice,
// as the slice editor's selection tool announces it and the menus read it.
// An item counts as selected when some of its vertices are selected, and as
// partially selected when some but not all are.

#include "stack/modelproperties.h"

class StackSlice;

class StackSliceSelectionInfo {
public:
    StackSliceSelectionInfo() = default;
    // setSlice(slice).
    explicit StackSliceSelectionInfo(StackSlice* slice);

    // Recomputes the summary only when slice differs from the current one.
    void setSlice(StackSlice* slice);
    StackSlice* getSlice() const { return m_slice; }
    // Recomputes the summary from the slice's items.
    void update();

    int getNumSelectedItems() const { return m_numSelected; }
    int getNumPartiallySelectedItems() const { return m_numPartial; }

    bool emptySelection() const { return m_numSelected == 0; }
    bool multipleSelection() const { return m_numSelected > 1; }
    // The selected items' models share one geometry.
    bool homogeneousSelection() const { return m_geometry != MPrimitive::Unknown; }
    bool partialSelection() const { return m_numPartial > 0; }
    // The geometry the selected items' models share; Unknown (3) when none
    // is selected or they differ.
    MPrimitive selectionGeometry() const { return m_geometry; }

private:
    StackSlice* m_slice = nullptr;
    int m_numSelected = 0;
    int m_numPartial = 0;
    MPrimitive m_geometry = MPrimitive::Unknown;
};
