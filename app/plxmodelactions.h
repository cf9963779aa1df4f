#pragma once
// PLXModelDeletionAction: takes a model out of its stack (announcing the
// deletion first, while the model is still there); revert puts it back at
// its place in the stack's model list, each of its items back at its place
// on its slice, and announces the model's creation. While the model is out
// of the stack the action owns it, with its items.

#include "app/plxaction.h"

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
