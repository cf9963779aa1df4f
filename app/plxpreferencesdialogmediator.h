#pragma once
// PLXPreferencesDialogMediator: the behaviour of the preferences dialog.
//  - On opening the editor shows the current preferences; "Apply" and
//    "Cancel" are disabled.
//  - Any edit enables both.
//  - "Apply" makes the edited values the current preferences, tells every
//    event client (one preferences event) and disables both again.
//  - "OK" applies, then closes the dialog accepted; "Cancel" closes it
//    rejected without applying.
// The preferences reach the settings store only at program exit.

#include <QObject>

class PLXPreferencesDialog;

class PLXPreferencesDialogMediator : public QObject {
    Q_OBJECT
public:
    explicit PLXPreferencesDialogMediator(PLXPreferencesDialog& dialog);

public slots:
    void edited();
    void apply();
    void ok();
    void cancel();

private:
    void enableButtons(bool on);

    PLXPreferencesDialog& m_dialog;
};
