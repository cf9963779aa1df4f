#include "app/tools/plxspotextractiondialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QSpinBox* radiusBox(int value, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(1, 50);
    box->setValue(std::max(1, value));
    return box;
}

// A "Radius" row: the box and its unit.
QHBoxLayout* radiusRow(QSpinBox* box, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Radius"), parent));
    row->addWidget(box);
    row->addWidget(new QLabel(QStringLiteral("voxels"), parent));
    row->addStretch(1);
    return row;
}

} // namespace

PLXSpotExtractionDialog::PLXSpotExtractionDialog(const PLXSpotExtractionConfig& config, ImageColorContent content,
                                                 bool colour, QWidget* parent)
    : QDialog(parent), m_config(config)
{
    setWindowTitle(QStringLiteral("Find spots"));
    auto* layout = new QVBoxLayout(this);

    // Channel.
    auto* channelRow = new QHBoxLayout;
    channelRow->addWidget(new QLabel(QStringLiteral("Channel:"), this));
    m_channel = new QComboBox(this);
    m_channel->addItems({QStringLiteral("Grey levels"), QStringLiteral("Red"), QStringLiteral("Green"),
                         QStringLiteral("Blue")});
    const int channel = static_cast<int>(content);
    m_channel->setCurrentIndex(channel >= 0 && channel <= 3 ? channel : 0);
    m_channel->setEnabled(colour);
    channelRow->addWidget(m_channel);
    channelRow->addStretch(1);
    layout->addLayout(channelRow);

    // Resizing.
    m_resizing = new QGroupBox(QStringLiteral("Resizing volume"), this);
    m_resizing->setCheckable(true);
    m_resizing->setChecked(config.resizeState);
    auto* grid = new QGridLayout(m_resizing);
    grid->addWidget(new QLabel(QStringLiteral("Size (voxels)"), m_resizing), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Resolution (units)"), m_resizing), 1, 0);
    for (int axis = 0; axis < 3; ++axis) {
        m_size[axis] = new QSpinBox(m_resizing);
        m_size[axis]->setRange(1, 100000);
        m_size[axis]->setValue(config.newSize[axis] > 0 ? config.newSize[axis] : std::max(1, config.volumeSize[axis]));
        m_resolution[axis] = new QDoubleSpinBox(m_resizing);
        m_resolution[axis]->setDecimals(4);
        m_resolution[axis]->setRange(0.0001, 1e6);
        m_resolution[axis]->setValue(config.newResolution[axis] > 0.0 ? config.newResolution[axis]
                                                                        : config.resolution[axis]);
        grid->addWidget(m_size[axis], 0, axis + 1);
        grid->addWidget(m_resolution[axis], 1, axis + 1);
        connect(m_size[axis], &QSpinBox::valueChanged, this, [this, axis] { sizeChanged(axis); });
        connect(m_resolution[axis], &QDoubleSpinBox::valueChanged, this, [this, axis] { resolutionChanged(axis); });
    }
    layout->addWidget(m_resizing);

    // Smoothing.
    m_smoothing = new QGroupBox(QStringLiteral("Smoothing filter"), this);
    m_smoothing->setCheckable(true);
    m_smoothing->setChecked(config.smoothingFilterEnabled);
    auto* smoothing = new QVBoxLayout(m_smoothing);
    m_smoothingType = new QComboBox(m_smoothing);
    for (auto type : {PLXSpotExtractionSmoothing::Average, PLXSpotExtractionSmoothing::Median,
                      PLXSpotExtractionSmoothing::Gaussian})
        m_smoothingType->addItem(QString::fromLatin1(PLXSpotExtractionConfig::smoothingName(type)));
    m_smoothingType->setCurrentIndex(static_cast<int>(config.smoothingFilterType));
    m_smoothingRadius = radiusBox(config.smoothingFilterRadius, m_smoothing);
    smoothing->addWidget(m_smoothingType);
    smoothing->addLayout(radiusRow(m_smoothingRadius, m_smoothing));
    layout->addWidget(m_smoothing);

    // Top-hat.
    m_tophat = new QGroupBox(QStringLiteral("Top-hat filter"), this);
    m_tophat->setCheckable(true);
    m_tophat->setChecked(config.tophatFilterEnabled);
    auto* tophat = new QVBoxLayout(m_tophat);
    m_tophatType = new QComboBox(m_tophat);
    for (auto type : {PLXSpotExtractionTopHat::Flat, PLXSpotExtractionTopHat::Spherical})
        m_tophatType->addItem(QString::fromLatin1(PLXSpotExtractionConfig::tophatName(type)));
    m_tophatType->setCurrentIndex(static_cast<int>(config.tophatFilterType));
    m_tophatRadius = radiusBox(config.tophatFilterRadius, m_tophat);
    tophat->addWidget(m_tophatType);
    tophat->addLayout(radiusRow(m_tophatRadius, m_tophat));
    layout->addWidget(m_tophat);

    // Isotropy.
    m_isotropy = new QGroupBox(QStringLiteral("Isotropy filter"), this);
    m_isotropy->setCheckable(true);
    m_isotropy->setChecked(config.isotropyFilterEnabled);
    auto* isotropy = new QVBoxLayout(m_isotropy);
    m_isotropyRadius = radiusBox(config.isotropyFilterRadius, m_isotropy);
    isotropy->addLayout(radiusRow(m_isotropyRadius, m_isotropy));
    layout->addWidget(m_isotropy);

    // Results.
    auto* results = new QGroupBox(QStringLiteral("Results"), this);
    auto* form = new QFormLayout(results);
    m_basename = new QLineEdit(QString::fromStdString(config.basename), results);
    if (m_basename->text().isEmpty())
        m_basename->setText(QStringLiteral("spot"));
    form->addRow(QStringLiteral("Model(s) basename"), m_basename);
    m_separate = new QCheckBox(QStringLiteral("Create one model per spot"), results);
    m_separate->setChecked(config.separateModelsEnabled);
    m_spheres = new QCheckBox(QStringLiteral("Represent spots using equivalent spheres"), results);
    m_spheres->setChecked(config.equivalentSpheresEnabled);
    form->addRow(m_separate);
    form->addRow(m_spheres);
    layout->addWidget(results);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_run = new QPushButton(QStringLiteral("&Run"), this);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_run->setDefault(true);
    buttons->addWidget(m_run);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    connect(m_run, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_basename, &QLineEdit::textChanged, this, &PLXSpotExtractionDialog::updateRunButton);
    updateRunButton();
}

// Size and resolution of an axis are tied: their product, the volume's
// extent, stays that of the original volume.
void PLXSpotExtractionDialog::sizeChanged(int axis)
{
    if (m_linking || m_config.volumeSize[axis] <= 0 || m_config.resolution[axis] <= 0.0)
        return;
    m_linking = true;
    const double extent = m_config.volumeSize[axis] * m_config.resolution[axis];
    m_resolution[axis]->setValue(extent / m_size[axis]->value());
    m_linking = false;
}

void PLXSpotExtractionDialog::resolutionChanged(int axis)
{
    if (m_linking || m_config.volumeSize[axis] <= 0 || m_config.resolution[axis] <= 0.0)
        return;
    m_linking = true;
    const double extent = m_config.volumeSize[axis] * m_config.resolution[axis];
    m_size[axis]->setValue(std::max(1, static_cast<int>(std::lround(extent / m_resolution[axis]->value()))));
    m_linking = false;
}

void PLXSpotExtractionDialog::updateRunButton()
{
    m_run->setEnabled(!m_basename->text().trimmed().isEmpty());
}

PLXSpotExtractionConfig PLXSpotExtractionDialog::getConfig() const
{
    PLXSpotExtractionConfig config = m_config;
    config.resizeState = m_resizing->isChecked();
    for (int axis = 0; axis < 3; ++axis) {
        config.newSize[axis] = m_size[axis]->value();
        config.newResolution[axis] = m_resolution[axis]->value();
    }
    config.smoothingFilterEnabled = m_smoothing->isChecked();
    config.smoothingFilterType = static_cast<PLXSpotExtractionSmoothing>(m_smoothingType->currentIndex());
    config.smoothingFilterRadius = m_smoothingRadius->value();
    config.tophatFilterEnabled = m_tophat->isChecked();
    config.tophatFilterType = static_cast<PLXSpotExtractionTopHat>(m_tophatType->currentIndex());
    config.tophatFilterRadius = m_tophatRadius->value();
    config.isotropyFilterEnabled = m_isotropy->isChecked();
    config.isotropyFilterRadius = m_isotropyRadius->value();
    config.basename = m_basename->text().trimmed().toStdString();
    config.separateModelsEnabled = m_separate->isChecked();
    config.equivalentSpheresEnabled = m_spheres->isChecked();
    return config;
}

ImageColorContent PLXSpotExtractionDialog::getContent() const
{
    return static_cast<ImageColorContent>(m_channel->currentIndex());
}
