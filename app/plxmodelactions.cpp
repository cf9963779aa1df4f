#include "app/plxmodelactions.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <numeric>
#include <utility>

PLXModelDeletionAction::PLXModelDeletionAction(Stack& stack, Model& model) : PLXModelAction(stack, model) {}

PLXModelDeletionAction::~PLXModelDeletionAction()
{
    if (!m_inStack)
        delete m_model;
}

void PLXModelDeletionAction::apply()
{
    PLXModelDeleteEvent event(*m_model);
    PLXEventServer::notifyEvent(event);
    m_place = m_stack->findModel(m_model);
    m_slicePlaces.clear();
    for (const ModelItem* item : m_model->getItems())
        m_slicePlaces.push_back(item->getSlice() ? item->getSlice()->findItem(item) : -1);
    m_stack->removeModel(m_model);
    m_inStack = false;
    setReverted(false);
}

void PLXModelDeletionAction::revert()
{
    m_stack->addModel(m_model, m_place);
    // Re-adding listed the items at the ends of their slices: back to their
    // places, the lowest first, so that each lands where it was.
    const std::vector<ModelItem*>& items = m_model->getItems();
    if (items.size() == m_slicePlaces.size()) {
        std::vector<std::size_t> order(items.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [this](std::size_t a, std::size_t b) { return m_slicePlaces[a] < m_slicePlaces[b]; });
        for (std::size_t k : order) {
            ModelItem* item = items[k];
            if (StackSlice* slice = item->getSlice()) {
                slice->removeItem(item);
                slice->insertItem(item, m_slicePlaces[k]);
            }
        }
    }
    m_inStack = true;
    setReverted(true);
    PLXModelCreateEvent event(*m_model);
    PLXEventServer::notifyEvent(event);
}

PLXModelCreationAction::PLXModelCreationAction(Stack& stack, Model& model, QString description)
    : PLXModelAction(stack, model), m_description(std::move(description))
{
}

PLXModelCreationAction::~PLXModelCreationAction()
{
    if (!m_inStack)
        delete m_model;
}

void PLXModelCreationAction::apply()
{
    m_stack->addModel(m_model);
    m_inStack = true;
    setReverted(false);
    PLXModelCreateEvent event(*m_model);
    PLXEventServer::notifyEvent(event);
    for (ModelItem* item : m_model->getItems()) {
        PLXModelItemCreateEvent itemEvent(*item);
        PLXEventServer::notifyEvent(itemEvent);
    }
}

void PLXModelCreationAction::revert()
{
    for (ModelItem* item : m_model->getItems()) {
        PLXModelItemDeleteEvent itemEvent(*item);
        PLXEventServer::notifyEvent(itemEvent);
    }
    PLXModelDeleteEvent event(*m_model);
    PLXEventServer::notifyEvent(event);
    m_stack->removeModel(m_model);
    m_inStack = false;
    setReverted(true);
}

QString PLXModelCreationAction::description(bool) const
{
    return m_description;
}

PLXModelPropertiesAction::PLXModelPropertiesAction(Stack& stack, Model& model, std::string name,
                                                   const ModelProperties& properties,
                                                   const ModelItemProperties& itemProperties, QString description)
    : PLXModelAction(stack, model), m_description(std::move(description)), m_oldName(model.getName()),
      m_newName(std::move(name)), m_oldProperties(model.getProperties()), m_newProperties(properties),
      m_oldItemProperties(model.getItemProperties()), m_newItemProperties(itemProperties)
{
}

bool PLXModelPropertiesAction::isNull() const
{
    return m_oldName == m_newName && m_oldProperties == m_newProperties &&
           m_oldItemProperties == m_newItemProperties;
}

void PLXModelPropertiesAction::set(const std::string& name, const ModelProperties& properties,
                                   const ModelItemProperties& itemProperties)
{
    PLXModelPropertiesEvent event(*m_model);
    event.setOldProperties(m_model->getProperties());
    event.setOldItemProperties(m_model->getItemProperties());
    m_model->setName(name);
    m_model->setProperties(properties);
    m_model->setItemProperties(itemProperties);
    PLXEventServer::notifyEvent(event);
}

void PLXModelPropertiesAction::apply()
{
    set(m_newName, m_newProperties, m_newItemProperties);
    setReverted(false);
}

void PLXModelPropertiesAction::revert()
{
    set(m_oldName, m_oldProperties, m_oldItemProperties);
    setReverted(true);
}

QString PLXModelPropertiesAction::description(bool) const
{
    return m_description;
}
