#include "app/plxpreferenceseditor.h"

#include "app/plxpreferences.h"
#include "gl/colorselector.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QSpinBox>

PLXPreferencesEditor::PLXPreferencesEditor(QWidget* parent)
    : QWidget(parent), m_backups(new QSpinBox(this)), m_decimation(new QCheckBox(this)),
      m_labels(new QCheckBox(this)), m_tolerance(new QSpinBox(this)), m_color(new ColorSelector(this))
{
    m_backups->setRange(0, PLXPreferences::largestMaxNumBackups);
    m_tolerance->setRange(PLXPreferences::smallestClickTolerance, PLXPreferences::largestClickTolerance);
    m_tolerance->setSuffix(QStringLiteral(" pixels"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Maximum number of backup files"), m_backups);
    form->addRow(QStringLiteral("Automatic contour decimation"), m_decimation);
    form->addRow(QStringLiteral("Display image labels in panoramas"), m_labels);
    form->addRow(QStringLiteral("Mouse click tolerance"), m_tolerance);
    form->addRow(QStringLiteral("Background color"), m_color);

    connect(m_backups, &QSpinBox::valueChanged, this, &PLXPreferencesEditor::preferencesChanged);
    connect(m_decimation, &QCheckBox::toggled, this, &PLXPreferencesEditor::preferencesChanged);
    connect(m_labels, &QCheckBox::toggled, this, &PLXPreferencesEditor::preferencesChanged);
    connect(m_tolerance, &QSpinBox::valueChanged, this, &PLXPreferencesEditor::preferencesChanged);
    connect(m_color, &ColorSelector::valueChanged, this, &PLXPreferencesEditor::preferencesChanged);
}

void PLXPreferencesEditor::setPreferences(const PLXPreferences&)
{
    m_backups->setValue(PLXPreferences::getMaxNumBackups());
    m_decimation->setChecked(PLXPreferences::autoDecimationEnabled());
    m_labels->setChecked(PLXPreferences::isPanoramaLabelEnabled());
    m_tolerance->setValue(PLXPreferences::getClickTolerance());
    m_color->setValue(PLXPreferences::getImageCanvasBackgroundColor());
}

void PLXPreferencesEditor::getPreferences(PLXPreferences&) const
{
    PLXPreferences::setMaxNumBackups(m_backups->value());
    PLXPreferences::enableAutoDecimation(m_decimation->isChecked());
    PLXPreferences::setPanoramaLabelEnabled(m_labels->isChecked());
    PLXPreferences::setClickTolerance(m_tolerance->value());
    PLXPreferences::setImageCanvasBackgroundColor(m_color->value());
}
