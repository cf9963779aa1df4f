#include "app/tools/plxmodeldialog.h"

#include "app/tools/plxmodeldialogmediator.h"
#include "app/tools/plxmodelitempropertieseditor.h"
#include "app/tools/plxmodelnameeditor.h"
#include "app/tools/plxmodelpropertieseditor.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

PLXModelDialog::PLXModelDialog(QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)), m_name(new PLXModelNameEditor(this)),
      m_properties(new PLXModelPropertiesEditor(this)), m_itemProperties(new PLXModelItemPropertiesEditor(this)),
      m_delete(new QPushButton(QStringLiteral("Delete"), this)), m_apply(new QPushButton(QStringLiteral("Apply"), this)),
      m_close(new QPushButton(QStringLiteral("Close"), this)), m_mediator(nullptr)
{
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    auto* editors = new QVBoxLayout;
    editors->addWidget(m_name);
    auto* groups = new QHBoxLayout;
    groups->addWidget(m_properties);
    groups->addWidget(m_itemProperties);
    editors->addLayout(groups);
    editors->addStretch(1);
    top->addLayout(editors);
    layout->addLayout(top, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_delete, m_apply, m_close}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    // Return applies the edits; Escape closes without them.
    m_apply->setDefault(true);
    layout->addLayout(buttons);
    m_mediator = new PLXModelDialogMediator(*this);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
}

PLXModelDialog* PLXModelDialog::open(PLXStack& stack, QWidget* parent)
{
    auto* dialog = new PLXModelDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->getMediator().setStack(&stack);
    dialog->show();
    return dialog;
}
