#pragma once
// Actions on the selected vertices of one item, made of simpler actions
// chosen on the first apply (from the item's selection at that moment) and
// reused by every later apply and revert. Revert undoes the sub-actions in
// the reverse order of their application.
//
// PLXItemSelectionAttributesAction: new drawing properties for the selection.
// A point set (Polypoint) partially selected is split first: a new item of
// the same model on the same slice takes the unselected points and the
// item's current properties, and the item keeps the selected points; then
// the item takes the new properties. Otherwise the item takes them whole.
//
// PLXItemSelectionConversionAction: moves the selection to another model. A
// connected item goes whole. For a point set, the selected points join the
// first item of the target model on the same slice that is drawn with the
// target's default item properties, if there is one (the item is deleted
// when wholly selected, else loses its selected points); without one, a
// wholly selected item goes whole, and a partly selected one gives its
// selected points to a new item of the target model on its slice. An item
// with no vertex selected, or already of the target model, is left alone.

#include "app/plxaction.h"
#include "stack/modelitemproperties.h"

class PLXCompoundItemAction : public PLXItemAction {
public:
    using PLXItemAction::PLXItemAction;
    void apply() override;
    void revert() override;
    // The sub-actions, made on the first apply.
    const PLXActionList& getActions() const { return m_actions; }

protected:
    // Makes and applies the sub-actions (pushing each on m_actions).
    virtual void build() = 0;
    void pushApplied(PLXAction* action);

private:
    PLXActionList m_actions;
    bool m_built = false;
};

class PLXItemSelectionAttributesAction : public PLXCompoundItemAction {
public:
    PLXItemSelectionAttributesAction(ModelItem& item, const ModelItemProperties& properties);

protected:
    void build() override;

private:
    ModelItemProperties m_properties;
};

class PLXItemSelectionConversionAction : public PLXCompoundItemAction {
public:
    // A null target makes an action that does nothing.
    PLXItemSelectionConversionAction(ModelItem& item, Model* target);
    // "Conversion to: " and the target's name.
    QString description(bool detailed = false) const override;

protected:
    void build() override;

private:
    Model* m_target;
};
