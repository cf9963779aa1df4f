#include "app/plxpreferencesdialogmediator.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "app/plxpreferences.h"
#include "app/plxpreferencesdialog.h"
#include "app/plxpreferenceseditor.h"

#include <QPushButton>

PLXPreferencesDialogMediator::PLXPreferencesDialogMediator(PLXPreferencesDialog& dialog)
    : QObject(&dialog), m_dialog(dialog)
{
    PLXPreferencesEditor* editor = dialog.getEditor();
    editor->setPreferences(PLXPreferences::__preferences);
    enableButtons(false);
    connect(editor, &PLXPreferencesEditor::preferencesChanged, this, &PLXPreferencesDialogMediator::edited);
    connect(dialog.getApplyButton(), &QPushButton::clicked, this, &PLXPreferencesDialogMediator::apply);
    connect(dialog.getOkButton(), &QPushButton::clicked, this, &PLXPreferencesDialogMediator::ok);
    connect(dialog.getCancelButton(), &QPushButton::clicked, this, &PLXPreferencesDialogMediator::cancel);
}

void PLXPreferencesDialogMediator::enableButtons(bool on)
{
    m_dialog.getApplyButton()->setEnabled(on);
    m_dialog.getCancelButton()->setEnabled(on);
}

void PLXPreferencesDialogMediator::edited()
{
    enableButtons(true);
}

void PLXPreferencesDialogMediator::apply()
{
    m_dialog.getEditor()->getPreferences(PLXPreferences::__preferences);
    PLXPreferencesEvent event;
    PLXEventServer::notifyEvent(event);
    enableButtons(false);
}

void PLXPreferencesDialogMediator::ok()
{
    apply();
    m_dialog.accept();
}

void PLXPreferencesDialogMediator::cancel()
{
    m_dialog.reject();
}
