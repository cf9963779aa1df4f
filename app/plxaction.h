#pragma once
// PLXAction: one undoable edit of a stack. apply() makes the change on the
// document and announces it with the matching event (see PLXEvent), revert()
// undoes it and announces that, so views refresh alike for an edit, an undo
// and a redo. An action is applied and reverted alternately, starting with
// apply() (or made after the change and pushed unapplied, see
// PLXActionHistory).
//
// Actions keep whatever the document no longer holds while they are in the
// state that removed it (a deleted item, model or slice) and delete it with
// themselves; everything else they only point to.
//
// PLXActionList: the actions of one undo step, owned. apply() applies them
// in the order they were pushed, and revert() reverts them in that same
// order (first pushed first): the actions of one step must not depend on
// each other's order (two vertex insertions into one item belong to two
// steps, or to one action).

#include <QString>

#include <memory>
#include <vector>

class Model;
class ModelItem;
class Stack;
class StackSlice;

class PLXAction {
public:
    PLXAction() = default;
    PLXAction(const PLXAction&) = delete;
    PLXAction& operator=(const PLXAction&) = delete;
    virtual ~PLXAction() = default;

    // An action that changes nothing (a vertex moved onto itself).
    virtual bool isNull() const { return false; }
    // Two actions doing the same thing (false unless an action says otherwise).
    virtual bool operator==(const PLXAction&) const { return false; }
    bool operator!=(const PLXAction& other) const { return !(*this == other); }

    virtual void apply() = 0;
    virtual void revert() = 0;
    // The text of the Undo and Redo tool tips; detailed asks for a longer
    // form where an action has one.
    virtual QString description(bool detailed = false) const;

    // False after apply(), true after revert().
    bool isReverted() const { return m_reverted; }

protected:
    void setReverted(bool reverted) { m_reverted = reverted; }

private:
    bool m_reverted = false;
};

// An action on one model item.
class PLXItemAction : public PLXAction {
public:
    explicit PLXItemAction(ModelItem& item) : m_item(&item) {}
    ModelItem& getItem() const { return *m_item; }

protected:
    ModelItem* m_item;
};

// An action on one model of a stack.
class PLXModelAction : public PLXAction {
public:
    PLXModelAction(Stack& stack, Model& model) : m_stack(&stack), m_model(&model) {}
    Stack& getStack() const { return *m_stack; }
    Model& getModel() const { return *m_model; }

protected:
    Stack* m_stack;
    Model* m_model;
};

class PLXActionList {
public:
    PLXActionList() = default;
    PLXActionList(const PLXActionList&) = delete;
    PLXActionList& operator=(const PLXActionList&) = delete;

    // Takes ownership.
    void push(PLXAction* action) { m_actions.emplace_back(action); }
    bool isEmpty() const { return m_actions.empty(); }
    int getSize() const { return static_cast<int>(m_actions.size()); }
    PLXAction* getAction(int i) const { return m_actions[static_cast<std::size_t>(i)].get(); }

    // Both in push order.
    void apply();
    void revert();

private:
    std::vector<std::unique_ptr<PLXAction>> m_actions;
};
