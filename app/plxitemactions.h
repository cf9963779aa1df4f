#pragma once
// The actions on whole model items: creation, deletion, property changes,
// selection changes and conversion to another model.
//
// Creation and deletion list and unlist the item in its model and its slice;
// an undone deletion (or a redone creation) puts it back at the positions it
// held in both lists. While the item is out of the document the action owns
// it.

#include "app/plxaction.h"
#include "stack/modelitemproperties.h"
#include "stack/modelitemselection.h"

// Where an item stood in its model's and its slice's lists (-1: append).
struct PLXItemPlace {
    int inModel = -1;
    int inSlice = -1;

    static PLXItemPlace of(const ModelItem& item);
    // Lists the item in its model and its slice at these positions.
    void attach(ModelItem& item) const;
};

// Lists a new item (made with its model and slice, not listed) in both;
// revert unlists it. "Item creation".
class PLXItemCreationAction : public PLXItemAction {
public:
    // Takes ownership of the item while it is not listed.
    explicit PLXItemCreationAction(ModelItem& item);
    ~PLXItemCreationAction() override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    PLXItemPlace m_place;
    bool m_listed = false;
};

// Unlists an item from its model and slice; revert lists it again where it
// was. Equal to another deletion of the same item. "Item deletion".
class PLXItemDeletionAction : public PLXItemAction {
public:
    explicit PLXItemDeletionAction(ModelItem& item);
    ~PLXItemDeletionAction() override;
    bool operator==(const PLXAction& other) const override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    PLXItemPlace m_place;
    bool m_listed = true;
};

// Replaces the item's vertex selection.
class PLXSelectionAction : public PLXItemAction {
public:
    PLXSelectionAction(ModelItem& item, const ModelItemSelection& oldSelection,
                       const ModelItemSelection& newSelection);
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    ModelItemSelection m_old;
    ModelItemSelection m_new;
};

// Replaces the item's own drawing properties.
class PLXItemAttributesAction : public PLXItemAction {
public:
    PLXItemAttributesAction(ModelItem& item, const ModelItemProperties& oldProperties,
                            const ModelItemProperties& newProperties);
    void apply() override;
    void revert() override;

private:
    ModelItemProperties m_old;
    ModelItemProperties m_new;
};

// Moves the item from its model to the target model (on the same slice),
// clearing its own properties so that it takes the target's; revert moves
// it back to its place in the former model with its properties.
class PLXItemConversionAction : public PLXItemAction {
public:
    PLXItemConversionAction(ModelItem& item, Model& target);
    void apply() override;
    void revert() override;

private:
    Model* m_target;
    Model* m_source;
    ModelItemProperties m_oldProperties;
    int m_sourcePlace = -1;
};
