#include "app/tools/plxspotthresholddialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

PLXSpotThresholdDialog::PLXSpotThresholdDialog(double minimum, double maximum, int threshold, QWidget* parent)
    : QDialog(parent), m_minimum(minimum), m_maximum(maximum), m_slider(new QSlider(Qt::Horizontal, this)),
      m_value(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Spot extraction"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    // Rounding leaves a few ulps where the top-hat cancels exactly.
    const double tiny = 1e-9 * std::max({1.0, std::abs(minimum), std::abs(maximum)});
    const auto shown = [tiny](double v) { return std::abs(v) < tiny ? 0.0 : v; };
    grid->addWidget(new QLabel(QStringLiteral("Minimum: %1").arg(shown(minimum), 0, 'g', 6), this), 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Maximum: %1").arg(shown(maximum), 0, 'g', 6), this), 1, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Threshold:"), this), 2, 0);
    m_slider->setRange(0, 255);
    m_slider->setValue(threshold);
    m_slider->setMinimumWidth(256);
    grid->addWidget(m_slider, 2, 1);
    m_value->setMinimumWidth(m_value->fontMetrics().horizontalAdvance(QStringLiteral("255 (0.000000)")));
    grid->addWidget(m_value, 2, 2);
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        showValue(value);
        emit thresholdChanged(value);
    });
    showValue(m_slider->value());
}

int PLXSpotThresholdDialog::getThreshold() const
{
    return m_slider->value();
}

void PLXSpotThresholdDialog::setThreshold(int threshold)
{
    m_slider->setValue(threshold);
}

// The slider's level and, in brackets, the filtered volume's grey level it
// stands for.
void PLXSpotThresholdDialog::showValue(int threshold)
{
    const double level = m_minimum + (m_maximum - m_minimum) * threshold / 255.0;
    m_value->setText(QStringLiteral("%1 (%2)").arg(threshold).arg(level, 0, 'g', 6));
}
