#include "app/tools/plxstackpropertieseditor.h"

#include "app/tools/plxpixelcalibrationeditor.h"
#include "numerics/vector.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cmath>
#include <initializer_list>

PLXStackPropertiesEditor::PLXStackPropertiesEditor(Kind kind, QWidget* parent)
    : QWidget(parent), m_kind(kind), m_group(new QGroupBox(this)), m_name(new QLineEdit(m_group)),
      m_unit(nullptr), m_spacing(new QLineEdit(QStringLiteral("1.0"), m_group)), m_absolute(nullptr),
      m_calibration(new PLXPixelCalibrationEditor(m_group))
{
    const bool stack = kind == StackProperties;
    m_group->setTitle(stack ? QStringLiteral("Stack properties") : QStringLiteral("Slice properties"));
    auto* form = new QFormLayout(m_group);
    form->addRow(stack ? QStringLiteral("Stack name") : QStringLiteral("Slice name"), m_name);
    if (stack) {
        m_unit = new QComboBox(m_group);
        const Vector<int> scales = LengthUnit::availableScales();
        for (int i = 0; i < scales.getSize(); ++i)
            m_unit->addItem(QString::fromStdString(LengthUnit(scales[i]).name()), scales[i]);
        form->addRow(QStringLiteral("Length unit"), m_unit);
        setLengthUnit(LengthUnit(-6));
        connect(m_unit, &QComboBox::currentIndexChanged, this, &PLXStackPropertiesEditor::changed);
    }
    form->addRow(QStringLiteral("Slice spacing"), m_spacing);
    if (stack) {
        m_absolute = new QCheckBox(QStringLiteral("Store absolute path to images"), m_group);
        form->addRow(m_absolute);
        connect(m_absolute, &QCheckBox::toggled, this, &PLXStackPropertiesEditor::changed);
    }
    form->addRow(m_calibration);
    // Tab goes down the rows, not in the order the fields were made.
    QWidget* previous = m_name;
    for (QWidget* next : std::initializer_list<QWidget*>{m_unit, m_spacing, m_absolute, m_calibration->getPairBox(),
                                                         m_calibration->getWidthField(), m_calibration->getHeightField(),
                                                         m_calibration->getRatioField()}) {
        if (!next)
            continue;
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_group);

    connect(m_name, &QLineEdit::textEdited, this, &PLXStackPropertiesEditor::changed);
    connect(m_spacing, &QLineEdit::textEdited, this, &PLXStackPropertiesEditor::changed);
    connect(m_calibration, &PLXPixelCalibrationEditor::changed, this, &PLXStackPropertiesEditor::changed);
}

void PLXStackPropertiesEditor::setStack(const Stack& stack)
{
    setName(QString::fromStdString(stack.getName()));
    setLengthUnit(stack.getLengthUnit());
    setSliceSpacing(stack.getDefaultRelativePosition());
    setAbsoluteImagesPath(stack.getAbsoluteImagesPathPolicy());
    setPixelCalibration(stack.getDefaultPixelCalibration());
}

void PLXStackPropertiesEditor::setSlice(const StackSlice& slice)
{
    setName(QString::fromStdString(slice.getName()));
    setSliceSpacing(slice.getRelativePosition());
    setPixelCalibration(slice.getPixelCalibration());
}

void PLXStackPropertiesEditor::setName(const QString& name)
{
    m_name->setText(name);
    emit changed();
}

QString PLXStackPropertiesEditor::getName() const
{
    return m_name->text();
}

void PLXStackPropertiesEditor::setLengthUnit(const LengthUnit& unit)
{
    if (!m_unit)
        return;
    int index = m_unit->findData(unit.getScale());
    if (index < 0) {
        // A unit without a known prefix is still shown, and kept.
        m_unit->addItem(QString::fromStdString(unit.name()), unit.getScale());
        index = m_unit->count() - 1;
    }
    m_unit->setCurrentIndex(index);
}

LengthUnit PLXStackPropertiesEditor::getLengthUnit() const
{
    if (!m_unit)
        return m_calibration->getPixelCalibration().getLengthUnit();
    return LengthUnit(m_unit->currentData().toInt());
}

void PLXStackPropertiesEditor::setSliceSpacing(float spacing)
{
    m_spacing->setText(PLXPixelCalibrationEditor::format(spacing));
    emit changed();
}

float PLXStackPropertiesEditor::getSliceSpacing() const
{
    bool ok = false;
    const float v = m_spacing->text().trimmed().toFloat(&ok);
    return ok && std::isfinite(v) ? v : 0.0f;
}

void PLXStackPropertiesEditor::setAbsoluteImagesPath(bool on)
{
    if (m_absolute)
        m_absolute->setChecked(on);
}

bool PLXStackPropertiesEditor::getAbsoluteImagesPath() const
{
    return m_absolute && m_absolute->isChecked();
}

void PLXStackPropertiesEditor::setPixelCalibration(const PixelCalibration& calibration)
{
    m_calibration->setPixelCalibration(calibration);
}

PixelCalibration PLXStackPropertiesEditor::getPixelCalibration() const
{
    PixelCalibration c = m_calibration->getPixelCalibration();
    c.setLengthUnit(getLengthUnit());
    return c;
}

bool PLXStackPropertiesEditor::validName() const
{
    return !m_name->text().simplified().isEmpty();
}

bool PLXStackPropertiesEditor::validSliceSpacing() const
{
    bool ok = false;
    const float v = m_spacing->text().trimmed().toFloat(&ok);
    return ok && std::isfinite(v);
}

bool PLXStackPropertiesEditor::validPixelCalibration() const
{
    return m_calibration->validPixelCalibration();
}
