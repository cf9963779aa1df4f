#include "stack/modelitemowner.h"

#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <utility>

namespace {

bool erase(std::vector<ModelItem*>& list, const ModelItem* item)
{
    const auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

bool contains(const std::vector<ModelItem*>& list, const ModelItem* item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

ModelItemOwner::~ModelItemOwner()
{
    deleteItems();
}

void ModelItemOwner::deleteItems()
{
    // Each item unlinks itself from its model and slice while it is deleted;
    // taking the list first keeps this loop independent of those removals.
    std::vector<ModelItem*> items;
    items.swap(m_items);
    for (ModelItem* item : items)
        delete item;
    std::vector<ModelItem*> unlisted;
    unlisted.swap(m_unlisted);
    for (ModelItem* item : unlisted)
        item->ownerDestroyed(this);
}

bool ModelItemOwner::isNamedBy(const ModelItem* item) const
{
    const ModelItemOwner* model = item->getModel();
    const ModelItemOwner* slice = item->getSlice();
    return model == this || slice == this;
}

void ModelItemOwner::addItem(ModelItem* item)
{
    insertItem(item, -1);
}

void ModelItemOwner::insertItem(ModelItem* item, int i)
{
    if (!item || hasItem(item))
        return;
    erase(m_unlisted, item);
    if (i < 0 || i > getNumItems())
        i = getNumItems();
    m_items.insert(m_items.begin() + i, item);
}

void ModelItemOwner::removeItem(ModelItem* item)
{
    if (erase(m_items, item) && isNamedBy(item) && !contains(m_unlisted, item))
        m_unlisted.push_back(item);
}

void ModelItemOwner::noteNamedBy(ModelItem* item)
{
    if (!hasItem(item) && !contains(m_unlisted, item))
        m_unlisted.push_back(item);
}

void ModelItemOwner::forgetItem(const ModelItem* item)
{
    erase(m_items, item);
    erase(m_unlisted, item);
}

int ModelItemOwner::findItem(const ModelItem* item) const
{
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

ModelItem* ModelItemOwner::getSelectedItem() const
{
    for (ModelItem* item : m_items)
        if (!item->getSelection().isEmpty())
            return item;
    return nullptr;
}

std::vector<ModelItem*> ModelItemOwner::getSelectedItems() const
{
    std::vector<ModelItem*> selected;
    for (ModelItem* item : m_items)
        if (!item->getSelection().isEmpty())
            selected.push_back(item);
    return selected;
}

ModelItem* ModelItemOwner::buddyItem(const ModelItem* item) const
{
    for (ModelItem* other : m_items)
        if (other != item && other->getModel() == item->getModel() &&
            other->getProperties() == item->getProperties())
            return other;
    return nullptr;
}

std::vector<ModelItem*> ModelItemOwner::intersection(const ModelItemOwner& owner) const
{
    std::vector<ModelItem*> common;
    for (ModelItem* item : m_items)
        if (owner.hasItem(item))
            common.push_back(item);
    return common;
}

std::vector<float> ModelItemOwner::sortKeys() const
{
    std::vector<float> keys;
    keys.reserve(m_items.size());
    for (const ModelItem* item : m_items) {
        const StackSlice* slice = item->getSlice();
        keys.push_back(slice ? slice->getAbsolutePosition() : 0.0f);
    }
    return keys;
}

bool ModelItemOwner::isSorted() const
{
    const std::vector<float> keys = sortKeys();
    return std::is_sorted(keys.begin(), keys.end());
}

void ModelItemOwner::sort()
{
    std::vector<float> keys = sortKeys();
    const std::size_t n = keys.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        std::size_t smallest = i;
        for (std::size_t j = i + 1; j < n; ++j)
            if (keys[j] < keys[smallest])
                smallest = j;
        if (smallest != i) {
            std::swap(keys[i], keys[smallest]);
            std::swap(m_items[i], m_items[smallest]);
        }
    }
}
