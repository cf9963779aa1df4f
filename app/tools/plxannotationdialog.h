#pragma once
// PLXAnnotationDialog: the free text note of a stack or of one of its
// slices, edited as plain text of several lines, with "OK" and "Cancel".
// OK sets a changed text as one undoable step of the stack's history;
// Cancel, or OK on an unchanged text, changes nothing. The dialog closes
// itself when its stack closes or its slice leaves the stack.

#include "app/plxeventclient.h"

#include <QDialog>

class PLXStack;
class QDialogButtonBox;
class QPlainTextEdit;
class StackSlice;

class PLXAnnotationDialog : public QDialog, public PLXEventClient {
    Q_OBJECT
public:
    // The stack's annotation ("Stack annotation").
    explicit PLXAnnotationDialog(PLXStack& stack, QWidget* parent = nullptr);
    // A slice's annotation ("Slice annotation").
    PLXAnnotationDialog(PLXStack& stack, StackSlice& slice, QWidget* parent = nullptr);

    QPlainTextEdit* getTextEdit() const { return m_text; }
    QDialogButtonBox* getButtons() const { return m_buttons; }
    // Whether the last OK made a history step.
    bool hasChanged() const { return m_changed; }

    void accept() override;

protected:
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action) override;

private:
    void build(const QString& title, const std::string& text);

    PLXStack* m_stack;
    StackSlice* m_slice = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    bool m_changed = false;
};
