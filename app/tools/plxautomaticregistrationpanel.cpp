#include "app/tools/plxautomaticregistrationpanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>

PLXAutomaticRegistrationPanel::PLXAutomaticRegistrationPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Automatic registration (beta)"), parent),
      m_allSlices(new QCheckBox(QStringLiteral("Register all slices"), this)),
      m_run(new QPushButton(QStringLiteral("Run"), this))
{
    m_run->setAutoDefault(false);
    m_run->setToolTip(QStringLiteral("Aligns the current slice (or every slice) on the previous one "
                                     "by the grey-level centroids and principal axes of their images"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_allSlices, 1);
    layout->addWidget(m_run);
    connect(m_run, &QPushButton::clicked, this, [this] { emit runClicked(getConfig()); });
}

PLXAutomaticRegistrationConfig PLXAutomaticRegistrationPanel::getConfig() const
{
    PLXAutomaticRegistrationConfig config;
    config.registerAllSlices = m_allSlices->isChecked();
    return config;
}
