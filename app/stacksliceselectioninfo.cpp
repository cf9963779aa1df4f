#include "app/stacksliceselectioninfo.h"

#include "stack/modelitem.h"
#include "stack/stackslice.h"

StackSliceSelectionInfo::StackSliceSelectionInfo(StackSlice* slice)
{
    setSlice(slice);
}

void StackSliceSelectionInfo::setSlice(StackSlice* slice)
{
    if (slice == m_slice)
        return;
    m_slice = slice;
    update();
}

void StackSliceSelectionInfo::update()
{
    m_numSelected = 0;
    m_numPartial = 0;
    m_geometry = MPrimitive::Unknown;
    if (!m_slice)
        return;
    bool mixed = false;
    for (const ModelItem* item : m_slice->getItems()) {
        const ModelItemSelection& selection = item->getSelection();
        if (selection.isEmpty())
            continue;
        ++m_numSelected;
        if (!selection.isComplete())
            ++m_numPartial;
        const MPrimitive g = item->getGeometry();
        if (m_numSelected == 1)
            m_geometry = g;
        else if (g != m_geometry)
            mixed = true;
    }
    if (mixed)
        m_geometry = MPrimitive::Unknown;
}
