#pragma once
// ModelItemAnalysis: the base of the measurements made on one model item.
// The item is referenced, not owned.

class ModelItem;

class ModelItemAnalysis {
public:
    ModelItemAnalysis() = default;
    virtual ~ModelItemAnalysis() = default;

    void setModelItem(const ModelItem& item) { m_item = &item; }
    const ModelItem* getModelItem() const { return m_item; }

    // UsageError when no item is set.
    virtual void run() = 0;
    // Forgets the results (not the item).
    virtual void clear() = 0;

protected:
    const ModelItem* m_item = nullptr;
};
