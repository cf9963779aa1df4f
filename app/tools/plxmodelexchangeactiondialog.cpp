#include "app/tools/plxmodelexchangeactiondialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PLXModelExchangeActionDialog::PLXModelExchangeActionDialog(const QString& modelName, QWidget* parent)
    : QDialog(parent), m_replace(new QPushButton(QStringLiteral("Replace"), this)),
      m_duplicate(new QPushButton(QStringLiteral("Duplicate"), this)),
      m_append(new QPushButton(QStringLiteral("Append"), this)),
      m_all(new QCheckBox(QStringLiteral("apply for all models"), this))
{
    setWindowTitle(QStringLiteral("Action for ") + modelName);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("The target stack already holds a model named \"%1\".").arg(modelName), this));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_replace, m_duplicate, m_append}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    // Return keeps both models, the choice that loses nothing; Escape
    // leaves the model out.
    m_duplicate->setDefault(true);
    layout->addLayout(buttons);
    layout->addWidget(m_all);
    const auto choose = [this](Choice choice) {
        return [this, choice] {
            m_choice = choice;
            accept();
        };
    };
    connect(m_replace, &QPushButton::clicked, this, choose(Replace));
    connect(m_duplicate, &QPushButton::clicked, this, choose(Duplicate));
    connect(m_append, &QPushButton::clicked, this, choose(Append));
}

bool PLXModelExchangeActionDialog::isForAllModels() const
{
    return m_all->isChecked();
}

QPushButton* PLXModelExchangeActionDialog::getButton(Choice choice) const
{
    switch (choice) {
    case Replace: return m_replace;
    case Duplicate: return m_duplicate;
    case Append: return m_append;
    case None: break;
    }
    return nullptr;
}
