#include "stack/modelitemowner.h"

#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <utility>

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
}

void ModelItemOwner::addItem(ModelItem* item)
{
    if (item && !hasItem(item))
        m_items.push_back(item);
}

void ModelItemOwner::removeItem(const ModelItem* item)
{
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    if (it != m_items.end())
        m_items.erase(it);
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
