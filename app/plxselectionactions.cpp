#include "app/plxselectionactions.h"

#include "app/plxitemactions.h"
#include "app/plxvertexactions.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

// Compound actions ----------------------------------------------------------------

void PLXCompoundItemAction::pushApplied(PLXAction* action)
{
    m_actions.push(action);
    action->apply();
}

void PLXCompoundItemAction::apply()
{
    if (!m_built) {
        m_built = true;
        build();
    } else {
        for (int i = 0; i < m_actions.getSize(); ++i)
            m_actions.getAction(i)->apply();
    }
    setReverted(false);
}

void PLXCompoundItemAction::revert()
{
    for (int i = m_actions.getSize() - 1; i >= 0; --i)
        m_actions.getAction(i)->revert();
    setReverted(true);
}

// Attributes of a selection -------------------------------------------------------

PLXItemSelectionAttributesAction::PLXItemSelectionAttributesAction(ModelItem& item,
                                                                   const ModelItemProperties& properties)
    : PLXCompoundItemAction(item), m_properties(properties)
{
}

void PLXItemSelectionAttributesAction::build()
{
    const ModelItemSelection& selection = m_item->getSelection();
    if (!m_item->isConnected() && !selection.isEmpty() && !selection.isComplete()) {
        auto* rest = new ModelItem(m_item->getModel(), m_item->getSlice());
        rest->setVertices(m_item->unselectedVertices());
        rest->setProperties(m_item->getProperties());
        pushApplied(new PLXItemCreationAction(*rest));
        pushApplied(new PLXRemoveSelectionAction(*m_item, true));
    }
    pushApplied(new PLXItemAttributesAction(*m_item, m_item->getProperties(), m_properties));
}

// Conversion of a selection -------------------------------------------------------

PLXItemSelectionConversionAction::PLXItemSelectionConversionAction(ModelItem& item, Model* target)
    : PLXCompoundItemAction(item), m_target(target)
{
}

QString PLXItemSelectionConversionAction::description(bool) const
{
    if (!m_target)
        return QStringLiteral("<Invalid item selection conversion action>");
    return QStringLiteral("Conversion to: ") + QString::fromStdString(m_target->getName());
}

void PLXItemSelectionConversionAction::build()
{
    if (!m_target || m_item->getModel() == m_target)
        return;
    if (m_item->isConnected()) {
        pushApplied(new PLXItemConversionAction(*m_item, *m_target));
        return;
    }
    const ModelItemSelection& selection = m_item->getSelection();
    if (m_item->getSize() > 0 && selection.isEmpty())
        return;
    const bool complete = selection.isComplete();

    // An item of the target drawn as the target draws its items by default.
    ModelItem* buddy = nullptr;
    if (StackSlice* slice = m_item->getSlice()) {
        const ModelItemProperties& defaults = m_target->getItemProperties();
        for (ModelItem* other : slice->getItems())
            if (other != m_item && other->getModel() == m_target && defaults + other->getProperties() == defaults) {
                buddy = other;
                break;
            }
    }
    if (buddy) {
        pushApplied(new PLXItemAppendPointsAction(*buddy, complete ? m_item->getVertices()
                                                                   : m_item->selectedVertices()));
        if (complete)
            pushApplied(new PLXItemDeletionAction(*m_item));
        else
            pushApplied(new PLXRemoveSelectionAction(*m_item));
    } else if (complete) {
        pushApplied(new PLXItemConversionAction(*m_item, *m_target));
    } else {
        auto* moved = new ModelItem(m_target, m_item->getSlice());
        moved->setVertices(m_item->selectedVertices());
        pushApplied(new PLXItemCreationAction(*moved));
        pushApplied(new PLXRemoveSelectionAction(*m_item));
    }
}
