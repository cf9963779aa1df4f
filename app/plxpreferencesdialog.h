#pragma once
// PLXPreferencesDialog: "Preferences", the preferences editor above the
// buttons "Apply", "Cancel" and "OK". Its mediator
// (PLXPreferencesDialogMediator, made by the dialog) owns the behaviour.
// Run it with Dialogs::exec(dialog).

#include <QDialog>

class PLXPreferencesDialogMediator;
class PLXPreferencesEditor;
class QPushButton;

class PLXPreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PLXPreferencesDialog(QWidget* parent = nullptr);

    PLXPreferencesEditor* getEditor() const { return m_editor; }
    QPushButton* getApplyButton() const { return m_apply; }
    QPushButton* getCancelButton() const { return m_cancel; }
    QPushButton* getOkButton() const { return m_ok; }
    PLXPreferencesDialogMediator* getMediator() const { return m_mediator; }

private:
    PLXPreferencesEditor* m_editor;
    QPushButton* m_apply;
    QPushButton* m_cancel;
    QPushButton* m_ok;
    PLXPreferencesDialogMediator* m_mediator;
};
