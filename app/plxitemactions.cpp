#include "app/plxitemactions.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

namespace {

template <typename Event>
void announce(ModelItem& item)
{
    Event event(item);
    PLXEventServer::notifyEvent(event);
}

void announceConversion(ModelItem& item, Model* from, Model* to)
{
    PLXModelItemConvertEvent event;
    event.setItem(item);
    if (from)
        event.setSourceModel(*from);
    if (to)
        event.setDestinationModel(*to);
    PLXEventServer::notifyEvent(event);
}

} // namespace

PLXItemPlace PLXItemPlace::of(const ModelItem& item)
{
    PLXItemPlace place;
    if (item.getModel())
        place.inModel = item.getModel()->findItem(&item);
    if (item.getSlice())
        place.inSlice = item.getSlice()->findItem(&item);
    return place;
}

void PLXItemPlace::attach(ModelItem& item) const
{
    if (item.getModel())
        item.getModel()->insertItem(&item, inModel);
    if (item.getSlice())
        item.getSlice()->insertItem(&item, inSlice);
}

// Creation ------------------------------------------------------------------------

PLXItemCreationAction::PLXItemCreationAction(ModelItem& item) : PLXItemAction(item) {}

PLXItemCreationAction::~PLXItemCreationAction()
{
    if (!m_listed)
        delete m_item;
}

void PLXItemCreationAction::apply()
{
    m_place.attach(*m_item);
    m_listed = true;
    setReverted(false);
    announce<PLXModelItemCreateEvent>(*m_item);
}

void PLXItemCreationAction::revert()
{
    m_place = PLXItemPlace::of(*m_item);
    m_item->detach();
    m_listed = false;
    setReverted(true);
    announce<PLXModelItemDeleteEvent>(*m_item);
}

QString PLXItemCreationAction::description(bool) const
{
    return QStringLiteral("Item creation");
}

// Deletion ------------------------------------------------------------------------

PLXItemDeletionAction::PLXItemDeletionAction(ModelItem& item) : PLXItemAction(item) {}

PLXItemDeletionAction::~PLXItemDeletionAction()
{
    if (!m_listed)
        delete m_item;
}

bool PLXItemDeletionAction::operator==(const PLXAction& other) const
{
    const auto* deletion = dynamic_cast<const PLXItemDeletionAction*>(&other);
    return deletion && deletion->m_item == m_item;
}

void PLXItemDeletionAction::apply()
{
    m_place = PLXItemPlace::of(*m_item);
    m_item->detach();
    m_listed = false;
    setReverted(false);
    announce<PLXModelItemDeleteEvent>(*m_item);
}

void PLXItemDeletionAction::revert()
{
    m_place.attach(*m_item);
    m_listed = true;
    setReverted(true);
    announce<PLXModelItemCreateEvent>(*m_item);
}

QString PLXItemDeletionAction::description(bool) const
{
    return QStringLiteral("Item deletion");
}

// Selection -----------------------------------------------------------------------

PLXSelectionAction::PLXSelectionAction(ModelItem& item, const ModelItemSelection& oldSelection,
                                       const ModelItemSelection& newSelection)
    : PLXItemAction(item), m_old(oldSelection), m_new(newSelection)
{
}

void PLXSelectionAction::apply()
{
    m_item->getSelection() = m_new;
    setReverted(false);
    announce<PLXModelItemSelectEvent>(*m_item);
}

void PLXSelectionAction::revert()
{
    m_item->getSelection() = m_old;
    setReverted(true);
    announce<PLXModelItemSelectEvent>(*m_item);
}

QString PLXSelectionAction::description(bool) const
{
    return QStringLiteral("Item selection");
}

// Attributes ----------------------------------------------------------------------

PLXItemAttributesAction::PLXItemAttributesAction(ModelItem& item, const ModelItemProperties& oldProperties,
                                                 const ModelItemProperties& newProperties)
    : PLXItemAction(item), m_old(oldProperties), m_new(newProperties)
{
}

void PLXItemAttributesAction::apply()
{
    m_item->setProperties(m_new);
    setReverted(false);
    announce<PLXModelItemAttributeEvent>(*m_item);
}

void PLXItemAttributesAction::revert()
{
    m_item->setProperties(m_old);
    setReverted(true);
    announce<PLXModelItemAttributeEvent>(*m_item);
}

// Conversion ----------------------------------------------------------------------

PLXItemConversionAction::PLXItemConversionAction(ModelItem& item, Model& target)
    : PLXItemAction(item), m_target(&target), m_source(item.getModel()), m_oldProperties(item.getProperties())
{
}

void PLXItemConversionAction::apply()
{
    m_sourcePlace = m_source ? m_source->findItem(m_item) : -1;
    m_item->detachFromModel();
    m_item->setModel(m_target);
    m_item->attachToModel();
    m_item->setProperties(ModelItemProperties());
    setReverted(false);
    announceConversion(*m_item, m_source, m_target);
}

void PLXItemConversionAction::revert()
{
    m_item->detachFromModel();
    m_item->setModel(m_source);
    if (m_source)
        m_source->insertItem(m_item, m_sourcePlace);
    m_item->setProperties(m_oldProperties);
    setReverted(true);
    announceConversion(*m_item, m_target, m_source);
}
