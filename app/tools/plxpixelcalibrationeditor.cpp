#include "app/tools/plxpixelcalibrationeditor.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include <cmath>

PLXPixelCalibrationEditor::PLXPixelCalibrationEditor(QWidget* parent)
    : QWidget(parent), m_width(new QLineEdit(this)), m_height(new QLineEdit(this)), m_ratio(new QLineEdit(this)),
      m_pair(new QComboBox(this))
{
    m_pair->addItems({QStringLiteral("Pixel width  & Pixel height"), QStringLiteral("Aspect ratio & Pixel width "),
                      QStringLiteral("Aspect ratio & Pixel height")});
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(m_pair);
    form->addRow(QStringLiteral("Pixel width "), m_width);
    form->addRow(QStringLiteral("Pixel height"), m_height);
    form->addRow(QStringLiteral("Aspect ratio"), m_ratio);
    // Tab goes down the rows, not in the order the fields were made.
    QWidget::setTabOrder(m_pair, m_width);
    QWidget::setTabOrder(m_width, m_height);
    QWidget::setTabOrder(m_height, m_ratio);
    setPixelCalibration(PixelCalibration());
    pairChosen();
    for (QLineEdit* field : {m_width, m_height, m_ratio})
        connect(field, &QLineEdit::textEdited, this, &PLXPixelCalibrationEditor::edited);
    connect(m_pair, &QComboBox::currentIndexChanged, this, &PLXPixelCalibrationEditor::pairChosen);
}

QString PLXPixelCalibrationEditor::format(float value)
{
    return QString::number(static_cast<double>(value), 'g', 6);
}

float PLXPixelCalibrationEditor::value(const QLineEdit& field, bool* ok)
{
    bool converted = false;
    const float v = field.text().trimmed().toFloat(&converted);
    const bool good = converted && std::isfinite(v) && v > 0.0f;
    if (ok)
        *ok = good;
    return good ? v : 0.0f;
}

void PLXPixelCalibrationEditor::setPixelCalibration(const PixelCalibration& calibration)
{
    m_unit = calibration.getLengthUnit();
    m_width->setText(format(calibration.getPixelWidth()));
    m_height->setText(format(calibration.getPixelHeight()));
    m_ratio->setText(format(calibration.getAspectRatio()));
    emit changed();
}

PixelCalibration PLXPixelCalibrationEditor::getPixelCalibration() const
{
    PixelCalibration c;
    c.setLengthUnit(m_unit);
    switch (getPair()) {
    case WidthAndHeight:
        c.setPixelWidth(value(*m_width, nullptr));
        c.setPixelHeight(value(*m_height, nullptr));
        break;
    case RatioAndWidth:
        c.setAspectRatio(value(*m_ratio, nullptr));
        c.setPixelWidth(value(*m_width, nullptr));
        break;
    case RatioAndHeight:
        c.setAspectRatio(value(*m_ratio, nullptr));
        c.setPixelHeight(value(*m_height, nullptr));
        break;
    }
    c.compute();
    return c;
}

bool PLXPixelCalibrationEditor::validPixelCalibration() const
{
    bool first = false, second = false;
    switch (getPair()) {
    case WidthAndHeight:
        value(*m_width, &first);
        value(*m_height, &second);
        break;
    case RatioAndWidth:
        value(*m_ratio, &first);
        value(*m_width, &second);
        break;
    case RatioAndHeight:
        value(*m_ratio, &first);
        value(*m_height, &second);
        break;
    }
    return first && second;
}

void PLXPixelCalibrationEditor::setPair(Pair pair)
{
    m_pair->setCurrentIndex(static_cast<int>(pair));
}

PLXPixelCalibrationEditor::Pair PLXPixelCalibrationEditor::getPair() const
{
    return static_cast<Pair>(m_pair->currentIndex());
}

void PLXPixelCalibrationEditor::edited()
{
    // The derived field follows the two given ones.
    if (validPixelCalibration()) {
        const PixelCalibration c = getPixelCalibration();
        switch (getPair()) {
        case WidthAndHeight:
            m_ratio->setText(format(c.getAspectRatio()));
            break;
        case RatioAndWidth:
            m_height->setText(format(c.getPixelHeight()));
            break;
        case RatioAndHeight:
            m_width->setText(format(c.getPixelWidth()));
            break;
        }
    }
    emit changed();
}

void PLXPixelCalibrationEditor::pairChosen()
{
    const Pair pair = getPair();
    m_ratio->setEnabled(pair != WidthAndHeight);
    m_height->setEnabled(pair != RatioAndWidth);
    m_width->setEnabled(pair != RatioAndHeight);
    emit changed();
}
