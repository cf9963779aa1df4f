#pragma once
// PLXAnnotationAction: a new annotation text for a stack, or for one of its
// slices. Apply sets the new text, revert the old one. A slice's change is
// announced by a slice annotation event (the stack then marks itself
// modified); a stack's by marking the stack modified, which sends a stack
// modify event.

#include "app/plxaction.h"

#include <string>

class PLXStack;
class StackSlice;

class PLXAnnotationAction : public PLXAction {
public:
    // The stack's annotation.
    PLXAnnotationAction(PLXStack& stack, std::string text);
    // The annotation of a slice of the stack.
    PLXAnnotationAction(PLXStack& stack, StackSlice& slice, std::string text);

    void apply() override;
    void revert() override;
    // "Annotate stack" or "Annotate slice".
    QString description(bool detailed = false) const override;

private:
    void set(const std::string& text);

    PLXStack* m_stack;
    StackSlice* m_slice = nullptr;
    std::string m_old;
    std::string m_new;
};
