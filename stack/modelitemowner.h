#pragma once
// ModelItemOwner: an ordered list of model items without duplicates. Every
// item is listed by two owners, its model and its slice, which own it
// jointly: whichever of the two is destroyed first deletes the items it still
// lists, and a deleted item removes itself from both lists (see ModelItem).
//
// An owner also remembers the items that name it without being listed (an
// item detached from its slice while its model is out of the stack, say):
// when the owner goes, their back-pointer to it is cleared rather than left
// dangling.

#include <vector>

class ModelItem;

class ModelItemOwner {
public:
    ModelItemOwner() = default;
    ModelItemOwner(const ModelItemOwner&) = delete;
    ModelItemOwner& operator=(const ModelItemOwner&) = delete;
    // Deletes every item still listed.
    virtual ~ModelItemOwner();

    // Appends the item unless it is already listed.
    void addItem(ModelItem* item);
    // Inserts the item before position i (appends when i is negative or past
    // the end) unless it is already listed: an undone removal puts the item
    // back where it was.
    void insertItem(ModelItem* item, int i);
    // Unlinks the item (nothing if not listed); the item is not deleted.
    void removeItem(ModelItem* item);
    int getNumItems() const { return static_cast<int>(m_items.size()); }
    ModelItem* getItem(int i) const { return m_items[i]; }
    const std::vector<ModelItem*>& getItems() const { return m_items; }
    // Index, or -1 when not listed.
    int findItem(const ModelItem* item) const;
    bool hasItem(const ModelItem* item) const { return findItem(item) >= 0; }

    // The first item with at least one selected vertex, or null.
    ModelItem* getSelectedItem() const;
    std::vector<ModelItem*> getSelectedItems() const;
    // The first other item of this owner with the same model and equal item
    // properties, or null.
    ModelItem* buddyItem(const ModelItem* item) const;
    // The items listed both here and by owner, in this list's order.
    std::vector<ModelItem*> intersection(const ModelItemOwner& owner) const;

    // Whether the absolute positions of the items' slices never decrease
    // along the list (an item without a slice counts as position 0).
    bool isSorted() const;
    // Selection sort on that key, ascending: at each step the first strictly
    // smallest remaining key is swapped into place.
    void sort();

protected:
    // Deletes the listed items and clears the back-pointers of the unlisted
    // ones that name this owner. Derived owners call it from their own
    // destructor so that the items can still reach them while detaching.
    void deleteItems();

private:
    friend class ModelItem;
    // Whether item's model or slice is this owner.
    bool isNamedBy(const ModelItem* item) const;
    // For the item: it names this owner now (listed or not), or no more.
    void noteNamedBy(ModelItem* item);
    void forgetItem(const ModelItem* item);

    std::vector<float> sortKeys() const;

    std::vector<ModelItem*> m_items;
    std::vector<ModelItem*> m_unlisted;
};
