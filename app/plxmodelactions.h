#pragma once
// PLXModelCreationAction: puts a new model, made with its items (listed in
// the model, linked to their slices but not listed there), into its stack:
// apply adds it at the end of the model list, lists its items on their
// slices and announces the model's creation and then each item's; revert
// announces the items' deletions and the model's, then takes the model out
// of the stack again. The action owns the model while it is out of the
// stack.
//
// PLXModelDeletionAction: takes a model out of its stack (announcing the
// deletion first, while the model is still there); revert puts it back at
// its place in the stack's model list, each of its items back at its place
// on its slice, and announces the model's creation. While the model is out
// of the stack the action owns it, with its items.

#include "app/plxaction.h"
#include "stack/modelitemproperties.h"
#include "stack/modelproperties.h"

#include <string>

#include <vector>

class PLXModelDeletionAction : public PLXModelAction {
public:
    PLXModelDeletionAction(Stack& stack, Model& model);
    ~PLXModelDeletionAction() override;
    void apply() override;
    void revert() override;

private:
    int m_place = -1;
    // The position of each of the model's items in its slice's list.
    std::vector<int> m_slicePlaces;
    bool m_inStack = true;
};

class PLXModelCreationAction : public PLXModelAction {
public:
    // Takes ownership of the model while it is not in the stack; the
    // description names the gesture ("Model creation" unless told).
    PLXModelCreationAction(Stack& stack, Model& model, QString description = QStringLiteral("Model creation"));
    ~PLXModelCreationAction() override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    QString m_description;
    bool m_inStack = false;
};

class PLXModelPropertiesAction : public PLXModelAction {
public:
    // The description names the gesture ("Model properties change" unless
    // told).
    PLXModelPropertiesAction(Stack& stack, Model& model, std::string name, const ModelProperties& properties,
                             const ModelItemProperties& itemProperties,
                             QString description = QStringLiteral("Model properties change"));
    bool isNull() const override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    void set(const std::string& name, const ModelProperties& properties, const ModelItemProperties& itemProperties);

    QString m_description;
    std::string m_oldName;
    std::string m_newName;
    ModelProperties m_oldProperties;
    ModelProperties m_newProperties;
    ModelItemProperties m_oldItemProperties;
    ModelItemProperties m_newItemProperties;
};
