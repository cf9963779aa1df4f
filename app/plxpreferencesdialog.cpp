#include "app/plxpreferencesdialog.h"

#include "app/plxpreferencesdialogmediator.h"
#include "app/plxpreferenceseditor.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

PLXPreferencesDialog::PLXPreferencesDialog(QWidget* parent)
    : QDialog(parent), m_editor(new PLXPreferencesEditor(this)),
      m_apply(new QPushButton(QStringLiteral("Apply"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)), m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_mediator(nullptr)
{
    setWindowTitle(QStringLiteral("Preferences"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_apply);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_ok);
    m_ok->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    layout->addLayout(buttons);
    m_mediator = new PLXPreferencesDialogMediator(*this);
}
