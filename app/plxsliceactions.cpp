#include "app/plxsliceactions.h"

#include "app/plxeventserver.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <numeric>

PLXSliceInsertionDeletionAction::PLXSliceInsertionDeletionAction(Stack& stack, StackSlice& slice, Mode mode,
                                                                 int position)
    : PLXSliceAction(slice), m_stack(&stack), m_mode(mode), m_position(position),
      m_inStack(mode == Deletion)
{
}

PLXSliceInsertionDeletionAction::~PLXSliceInsertionDeletionAction()
{
    if (!m_inStack)
        delete m_slice;
}

void PLXSliceInsertionDeletionAction::insert()
{
    const int position = std::clamp(m_position, 0, m_stack->getNumSlices());
    m_stack->addSlice(m_slice, position);
    m_slice->setStack(m_stack);
    // Back into the models, each item where it was (the lowest place first,
    // so that each lands on its own).
    const std::vector<ModelItem*>& items = m_slice->getItems();
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    if (m_modelPlaces.size() == items.size())
        std::stable_sort(order.begin(), order.end(),
                         [this](std::size_t a, std::size_t b) { return m_modelPlaces[a] < m_modelPlaces[b]; });
    for (std::size_t k : order)
        if (Model* model = items[k]->getModel())
            model->insertItem(items[k], m_modelPlaces.size() == items.size() ? m_modelPlaces[k] : -1);
    m_inStack = true;
}

void PLXSliceInsertionDeletionAction::remove()
{
    const int index = m_stack->findSlice(m_slice);
    if (index < 0)
        return;
    m_modelPlaces.clear();
    for (ModelItem* item : m_slice->getItems()) {
        Model* model = item->getModel();
        m_modelPlaces.push_back(model ? model->findItem(item) : -1);
    }
    for (ModelItem* item : m_slice->getItems())
        item->detachFromModel();
    m_hasNext = index + 1 < m_stack->getNumSlices();
    if (m_hasNext)
        m_next = PLXSlicePlacement::of(*m_stack->getSlice(index + 1));
    m_stack->removeSlice(index);
    m_inStack = false;
}

void PLXSliceInsertionDeletionAction::apply()
{
    if (m_mode == Insertion) {
        insert();
    } else {
        m_position = std::max(m_stack->findSlice(m_slice), 0);
        remove();
    }
    setReverted(false);
    PLXEventServer::notifyAction(*this);
}

void PLXSliceInsertionDeletionAction::revert()
{
    if (m_mode == Insertion) {
        const int index = m_stack->findSlice(m_slice);
        remove();
        // Taking the slice out handed its spacing on to the next slice, which
        // had its own before the insertion.
        if (m_hasNext && index >= 0 && index < m_stack->getNumSlices())
            m_next.applyTo(*m_stack->getSlice(index));
    } else {
        insert();
        const int index = m_stack->findSlice(m_slice);
        if (m_hasNext && index + 1 < m_stack->getNumSlices())
            m_next.applyTo(*m_stack->getSlice(index + 1));
    }
    setReverted(true);
    PLXEventServer::notifyAction(*this);
}

QString PLXSliceInsertionDeletionAction::description(bool) const
{
    return m_mode == Insertion ? QStringLiteral("Insert slice") : QStringLiteral("Delete slice");
}
