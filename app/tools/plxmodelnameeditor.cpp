#include "app/tools/plxmodelnameeditor.h"

#include <QFormLayout>
#include <QLineEdit>

PLXModelNameEditor::PLXModelNameEditor(QWidget* parent) : QWidget(parent), m_name(new QLineEdit(this))
{
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Name"), m_name);
    connect(m_name, &QLineEdit::textEdited, this, &PLXModelNameEditor::changed);
}

void PLXModelNameEditor::setName(const QString& name)
{
    m_name->setText(name);
}

QString PLXModelNameEditor::getName() const
{
    return m_name->text().trimmed();
}
