#include "app/slice/plxsnakeconfigdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr char keyThreshold[] = "snake/gradThreshold";
constexpr char keyDistance[] = "snake/distance";
constexpr char keyRegMin[] = "snake/regMin";
constexpr char keyRegMax[] = "snake/regMax";
constexpr char keyAlpha[] = "snake/alpha";
constexpr char keyAdaptive[] = "snake/adaptive";
constexpr char keyScale[] = "snake/scale";
constexpr char keyOverStack[] = "snake/runOverStack";
constexpr char keyPropagation[] = "snake/propagationEnabled";

QDoubleSpinBox* doubleBox(double minimum, double maximum, double step, double value, QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setDecimals(1);
    box->setRange(minimum, maximum);
    box->setSingleStep(step);
    box->setValue(value);
    return box;
}

} // namespace

PLXSnakeConfigDialog::PLXSnakeConfigDialog(const SnakeConfig& config, bool overStack, bool propagation,
                                           QWidget* parent)
    : QDialog(parent), m_config(config),
      m_alpha(doubleBox(0.5, 5.0, 0.5, config.getAlpha(), this)),
      m_threshold(doubleBox(1.0, 50.0, 0.5, config.getGradThreshold(), this)),
      m_regMax(doubleBox(0.1, 10.0, 0.1, config.getRegMax(), this)), m_distance(new QSpinBox(this)),
      m_scale(new QSpinBox(this)), m_adaptive(new QCheckBox(tr("Adaptive snake"), this)),
      m_overStack(new QCheckBox(tr("Run on every slice"), this)),
      m_propagation(new QCheckBox(tr("Use propagation"), this))
{
    setWindowTitle(tr("Snake parameters"));
    m_distance->setRange(1, 1000);
    m_distance->setSuffix(tr(" pixels"));
    m_distance->setValue(config.getDistance());
    m_scale->setRange(1, 10);
    m_scale->setValue(static_cast<int>(config.getScale()));
    m_adaptive->setChecked(config.isAdaptive());
    m_overStack->setChecked(overStack);
    m_propagation->setChecked(propagation);
    m_alpha->setToolTip(tr("Smoothing of the edge map: smaller values smooth more"));
    m_threshold->setToolTip(tr("Edge strength at which the search along the outline's normal stops"));
    m_regMax->setToolTip(tr("Regularisation: larger values keep the outline smoother"));
    m_distance->setToolTip(tr("How far along the outline's normal the edges are searched"));
    m_scale->setToolTip(tr("The image and the outline are reduced by this factor before the snake runs"));
    m_propagation->setToolTip(tr("Each slice starts from the result on the slice processed before it"));

    auto* parameters = new QGroupBox(tr("Parameters"), this);
    auto* form = new QFormLayout(parameters);
    form->addRow(tr("Alpha"), m_alpha);
    form->addRow(tr("Threshold"), m_threshold);
    form->addRow(tr("Reg. max"), m_regMax);
    form->addRow(tr("Distance"), m_distance);
    form->addRow(tr("Scale"), m_scale);
    form->addRow(m_adaptive);
    auto* run = new QGroupBox(tr("Run"), this);
    auto* runLayout = new QVBoxLayout(run);
    runLayout->addWidget(m_overStack);
    runLayout->addWidget(m_propagation);
    // Propagation only means something over the stack.
    m_propagation->setEnabled(overStack);
    connect(m_overStack, &QCheckBox::toggled, m_propagation, &QCheckBox::setEnabled);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(parameters);
    layout->addWidget(run);
    layout->addWidget(buttons);
}

SnakeConfig PLXSnakeConfigDialog::getConfig() const
{
    SnakeConfig config = m_config;
    config.setAlpha(static_cast<float>(m_alpha->value()));
    config.setGradThreshold(static_cast<float>(m_threshold->value()));
    config.setRegMax(static_cast<float>(m_regMax->value()));
    // The lower weight never exceeds the one used.
    config.setRegMin(std::min(config.getRegMin(), config.getRegMax()));
    config.setDistance(m_distance->value());
    config.setScale(static_cast<unsigned int>(m_scale->value()));
    config.setAdaptive(m_adaptive->isChecked());
    return config;
}

bool PLXSnakeConfigDialog::isRunOverStack() const
{
    return m_overStack->isChecked();
}

bool PLXSnakeConfigDialog::isPropagationEnabled() const
{
    return m_propagation->isChecked();
}

SnakeConfig PLXSnakeConfigDialog::rememberedConfig()
{
    const QSettings settings;
    const SnakeConfig d;
    SnakeConfig c;
    c.setGradThreshold(settings.value(keyThreshold, d.getGradThreshold()).toFloat());
    c.setDistance(settings.value(keyDistance, d.getDistance()).toInt());
    c.setRegMin(settings.value(keyRegMin, d.getRegMin()).toFloat());
    c.setRegMax(settings.value(keyRegMax, d.getRegMax()).toFloat());
    c.setAlpha(settings.value(keyAlpha, d.getAlpha()).toFloat());
    c.setAdaptive(settings.value(keyAdaptive, d.isAdaptive()).toBool());
    c.setScale(std::max(1u, settings.value(keyScale, d.getScale()).toUInt()));
    return c;
}

bool PLXSnakeConfigDialog::rememberedOverStack()
{
    return QSettings().value(keyOverStack, false).toBool();
}

bool PLXSnakeConfigDialog::rememberedPropagation()
{
    return QSettings().value(keyPropagation, true).toBool();
}

void PLXSnakeConfigDialog::remember(const SnakeConfig& config, bool overStack, bool propagation)
{
    QSettings settings;
    settings.setValue(keyThreshold, config.getGradThreshold());
    settings.setValue(keyDistance, config.getDistance());
    settings.setValue(keyRegMin, config.getRegMin());
    settings.setValue(keyRegMax, config.getRegMax());
    settings.setValue(keyAlpha, config.getAlpha());
    settings.setValue(keyAdaptive, config.isAdaptive());
    settings.setValue(keyScale, config.getScale());
    settings.setValue(keyOverStack, overStack);
    settings.setValue(keyPropagation, propagation);
}
