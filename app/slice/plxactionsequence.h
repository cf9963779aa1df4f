#pragma once
// PLXActionSequence: several actions made as one, applied in order and
// reverted in the reverse order, so that actions that depend on each other
// (items appended one after the other to the same lists) come back exactly
// where they were on an undo followed by a redo. Its description is the one
// it was given, or else that of its first action.

#include "app/plxaction.h"

#include <memory>
#include <vector>

class PLXActionSequence : public PLXAction {
public:
    // Takes ownership of the actions.
    explicit PLXActionSequence(const std::vector<PLXAction*>& actions, QString description = QString());

    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

    int getSize() const { return static_cast<int>(m_actions.size()); }
    PLXAction* getAction(int i) const { return m_actions[static_cast<std::size_t>(i)].get(); }

private:
    std::vector<std::unique_ptr<PLXAction>> m_actions;
    QString m_description;
};
