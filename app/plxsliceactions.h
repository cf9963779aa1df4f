#pragma once
// Actions on the slices of a stack. They are announced as actions (see
// PLXEventClient::processSliceAction), not as events: a client that lists
// or shows slices rebuilds itself from the stack.
//
// PLXSliceInsertionDeletionAction: insertion adds the slice to the stack at
// the position and lists its items in their models; deletion unlists its
// items from their models and takes the slice out of the stack. Reverting
// does the opposite and restores the document exactly: the items go back to
// their places in their models' lists, and the slice after the one taken out
// gets back the position it had (taking a middle slice out hands its spacing
// on to the next one). The slice is found by identity, so several insertions
// of one step may be reverted in any order. While the slice is out of the
// stack the action owns it, with its items.

#include "app/plxaction.h"
#include "app/plxsliceplacement.h"

#include <vector>

class PLXSliceAction : public PLXAction {
public:
    explicit PLXSliceAction(StackSlice& slice) : m_slice(&slice) {}
    StackSlice& getSlice() const { return *m_slice; }

protected:
    StackSlice* m_slice;
};

class PLXSliceInsertionDeletionAction : public PLXSliceAction {
public:
    enum Mode { Insertion, Deletion };

    // For an insertion the slice is not yet in the stack (the action owns
    // it until applied); for a deletion it is slice position of the stack.
    PLXSliceInsertionDeletionAction(Stack& stack, StackSlice& slice, Mode mode, int position);
    ~PLXSliceInsertionDeletionAction() override;

    Mode getMode() const { return m_mode; }
    int getPosition() const { return m_position; }
    Stack& getStack() const { return *m_stack; }
    // Whether the last apply or revert added the slice to the stack.
    bool isSliceInStack() const { return m_inStack; }

    void apply() override;
    void revert() override;
    // "Insert slice" or "Delete slice".
    QString description(bool detailed = false) const override;

private:
    void insert();
    void remove();

    Stack* m_stack;
    Mode m_mode;
    int m_position;
    bool m_inStack;
    // Each item's position in its model's list, in the slice's item order.
    std::vector<int> m_modelPlaces;
    // The next slice's placement before a removal, restored after the
    // removal when it undoes an insertion, and after the insertion that
    // undoes a deletion.
    bool m_hasNext = false;
    PLXSlicePlacement m_next;
};
