#pragma once
// PLXRegistrationAction: new registrations for some slices of a stack, as
// one undoable change (one slice set by hand, or every slice registered
// automatically). Applying stores each slice's new registration, reverting
// its old one; both bring the stack's reconstruction up to date, mark the
// stack modified and send one stack registration event. The stack's last
// registered slice follows (the one of the last slice changed, or the one
// it had before).
//
//     auto* action = new PLXRegistrationAction(stack);
//     action->addSlice(slice, slice.getRegistration(), found);
//     stack.history().openStep();
//     stack.history().push(action, true);
//     stack.history().closeStep();

#include "app/plxaction.h"
#include "stack/registration.h"

#include <string>
#include <vector>

class PLXStack;

class PLXRegistrationAction : public PLXAction {
public:
    explicit PLXRegistrationAction(PLXStack& stack);

    // A slice of the stack, with the registration it has and the one it
    // takes. The last slice added becomes the stack's last registered slice.
    void addSlice(StackSlice& slice, const Registration& oldRegistration, const Registration& newRegistration);
    int getNumSlices() const { return static_cast<int>(m_changes.size()); }
    PLXStack& getStack() const { return *m_stack; }

    // No slice, or no registration that changes.
    bool isNull() const override;
    void apply() override;
    void revert() override;
    // "Slice registration", or "Registration of N slices".
    QString description(bool detailed = false) const override;

private:
    struct Change {
        StackSlice* slice;
        Registration before;
        Registration after;
    };
    void announce();

    PLXStack* m_stack;
    std::vector<Change> m_changes;
    std::string m_lastRegisteredBefore;
    std::string m_lastRegisteredAfter;
};
