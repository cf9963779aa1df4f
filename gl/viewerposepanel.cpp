#include "gl/viewerposepanel.h"

#include "gl/colorselector.h"
#include "numerics/maths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

ViewerPosePanel::ViewerPosePanel(QWidget* parent) : QFrame(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto group = [&](const QString& title) {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        layout->addWidget(box);
        return grid;
    };

    QGridLayout* grid = group(tr("Rotation"));
    const char* axes[3] = {"x", "y", "z"};
    for (int k = 0; k < 3; ++k) {
        m_rotation[k] = addControl(grid, k, QString::fromLatin1(axes[k]), -180, 180, tr("deg."));
        connect(m_rotation[k].spin, &QSpinBox::valueChanged, this, [this] { emit rotationChanged(getRotation()); });
    }

    grid = group(tr("Translation"));
    for (int k = 0; k < 2; ++k) {
        m_translation[k] = addControl(grid, k, QString::fromLatin1(axes[k]), -100, 100);
        connect(m_translation[k].spin, &QSpinBox::valueChanged, this,
                [this] { emit translationChanged(getTranslation()); });
    }

    grid = group(tr("Zoom"));
    m_zoom = addControl(grid, 0, QString(), 5, 1000);
    connect(m_zoom.spin, &QSpinBox::valueChanged, this, &ViewerPosePanel::zoomChanged);

    grid = group(tr("Light"));
    m_ambient = addControl(grid, 0, tr("Ambient"), 0, 255);
    m_diffuse = addControl(grid, 1, tr("Diffuse"), 0, 255);
    m_specular = addControl(grid, 2, tr("Specular"), 0, 255);
    connect(m_ambient.spin, &QSpinBox::valueChanged, this, &ViewerPosePanel::ambientLightChanged);
    connect(m_diffuse.spin, &QSpinBox::valueChanged, this, &ViewerPosePanel::diffuseLightChanged);
    connect(m_specular.spin, &QSpinBox::valueChanged, this, &ViewerPosePanel::specularLightChanged);

    grid = group(tr("Bounding box"));
    m_showBox = new QCheckBox(tr("Show bounding box"), this);
    m_showBox->setChecked(true);
    grid->addWidget(m_showBox, 0, 0, 1, 3);
    m_scaling = addControl(grid, 1, tr("Scaling"), 100, 110);
    connect(m_showBox, &QCheckBox::toggled, this, &ViewerPosePanel::boundingBoxToggled);
    connect(m_scaling.spin, &QSpinBox::valueChanged, this, &ViewerPosePanel::boundingBoxScalingChanged);

    grid = group(tr("Background"));
    grid->addWidget(new QLabel(tr("Type"), this), 0, 0);
    m_backgroundType = new QComboBox(this);
    m_backgroundType->addItems({tr("Uniform"), tr("Gradient")});
    grid->addWidget(m_backgroundType, 0, 1);
    m_backgroundColor = new ColorSelector(this);
    grid->addWidget(m_backgroundColor, 0, 2);
    connect(m_backgroundType, &QComboBox::currentIndexChanged, this, &ViewerPosePanel::emitBackground);
    connect(m_backgroundColor, &ColorSelector::valueChanged, this, &ViewerPosePanel::emitBackground);

    grid = group(tr("Projection"));
    grid->addWidget(new QLabel(tr("Type"), this), 0, 0);
    m_projectionType = new QComboBox(this);
    m_projectionType->addItems({tr("Orthographic"), tr("Perspective")});
    grid->addWidget(m_projectionType, 0, 1, 1, 2);
    m_strength = addControl(grid, 1, tr("Strength"), 1, 5);
    connect(m_projectionType, &QComboBox::currentIndexChanged, this, &ViewerPosePanel::emitProjection);
    connect(m_strength.spin, &QSpinBox::valueChanged, this, &ViewerPosePanel::emitProjection);
    layout->addStretch(1);

    display(m_zoom, 100);
    display(m_scaling, 110);
    setBackground(BackgroundGL());
    setProjection(ProjectionGL());
}

ViewerPosePanel::~ViewerPosePanel() = default;

ViewerPosePanel::Control ViewerPosePanel::addControl(QGridLayout* grid, int row, const QString& label,
                                                     int minimum, int maximum, const QString& unit)
{
    Control control;
    control.slider = new QSlider(Qt::Horizontal, this);
    control.spin = new QSpinBox(this);
    control.slider->setRange(minimum, maximum);
    control.spin->setRange(minimum, maximum);
    if (!label.isEmpty())
        grid->addWidget(new QLabel(label, this), row, 0);
    grid->addWidget(control.slider, row, 1);
    grid->addWidget(control.spin, row, 2);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit, this), row, 3);
    connect(control.slider, &QSlider::valueChanged, control.spin, &QSpinBox::setValue);
    connect(control.spin, &QSpinBox::valueChanged, control.slider, &QSlider::setValue);
    return control;
}

void ViewerPosePanel::display(const Control& control, int value)
{
    const QSignalBlocker blockSlider(control.slider);
    const QSignalBlocker blockSpin(control.spin);
    control.slider->setValue(value);
    control.spin->setValue(value);
}

Vector<float> ViewerPosePanel::getRotation() const
{
    return Vector<float>{static_cast<float>(m_rotation[0].spin->value()),
                         static_cast<float>(m_rotation[1].spin->value()),
                         static_cast<float>(m_rotation[2].spin->value())};
}

Vector<int> ViewerPosePanel::getTranslation() const
{
    return Vector<int>{m_translation[0].spin->value(), m_translation[1].spin->value()};
}

int ViewerPosePanel::getZoom() const { return m_zoom.spin->value(); }
int ViewerPosePanel::getBoundingBoxScaling() const { return m_scaling.spin->value(); }
bool ViewerPosePanel::isBoundingBoxShown() const { return m_showBox->isChecked(); }
int ViewerPosePanel::getAmbientLight() const { return m_ambient.spin->value(); }
int ViewerPosePanel::getDiffuseLight() const { return m_diffuse.spin->value(); }
int ViewerPosePanel::getSpecularLight() const { return m_specular.spin->value(); }

BackgroundGL ViewerPosePanel::getBackground() const
{
    const QColor c = m_backgroundColor->value();
    return BackgroundGL(Vector<int>{c.red(), c.green(), c.blue()}, m_backgroundType->currentIndex() == 1);
}

ProjectionGL ViewerPosePanel::getProjection() const
{
    ProjectionGL projection;
    if (m_projectionType->currentIndex() == 1)
        projection.setPerspective();
    else
        projection.setOrthographic();
    projection.setPerspectiveStrength(static_cast<float>(m_strength.spin->value()));
    return projection;
}

void ViewerPosePanel::setRotation(const Vector<float>& angles)
{
    for (int k = 0; k < 3; ++k)
        display(m_rotation[k], Maths::fround(angles[k]));
}

void ViewerPosePanel::setTranslation(const Vector<int>& translation)
{
    for (int k = 0; k < 2; ++k)
        display(m_translation[k], translation[k]);
}

void ViewerPosePanel::setZoom(int zoom) { display(m_zoom, zoom); }
void ViewerPosePanel::setBoundingBoxScaling(int percent) { display(m_scaling, percent); }
void ViewerPosePanel::setAmbientLight(int value) { display(m_ambient, value); }
void ViewerPosePanel::setDiffuseLight(int value) { display(m_diffuse, value); }
void ViewerPosePanel::setSpecularLight(int value) { display(m_specular, value); }

void ViewerPosePanel::setPose(const Pose& pose)
{
    const Vector<int> r = pose.getRotation();
    setRotation(Vector<float>{static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])});
    setTranslation(pose.getTranslation());
    setZoom(pose.getZoom());
    setAmbientLight(pose.getAmbientLight());
    setDiffuseLight(pose.getDiffuseLight());
    setSpecularLight(pose.getSpecularLight());
}

void ViewerPosePanel::setBoundingBoxShown(bool shown)
{
    const QSignalBlocker block(m_showBox);
    m_showBox->setChecked(shown);
}

void ViewerPosePanel::setBackground(const BackgroundGL& background)
{
    const QSignalBlocker blockType(m_backgroundType);
    const QSignalBlocker blockColor(m_backgroundColor);
    m_backgroundType->setCurrentIndex(background.hasGradient() ? 1 : 0);
    const Vector<int>& c = background.getColor();
    m_backgroundColor->setValue(QColor(c[0], c[1], c[2]));
}

void ViewerPosePanel::setProjection(const ProjectionGL& projection)
{
    const QSignalBlocker blockType(m_projectionType);
    m_projectionType->setCurrentIndex(projection.isPerspective() ? 1 : 0);
    display(m_strength, Maths::fround(projection.getPerspectiveStrength()));
    m_strength.slider->setEnabled(projection.isPerspective());
    m_strength.spin->setEnabled(projection.isPerspective());
}

void ViewerPosePanel::emitBackground()
{
    emit backgroundChanged(getBackground());
}

void ViewerPosePanel::emitProjection()
{
    const bool perspective = m_projectionType->currentIndex() == 1;
    m_strength.slider->setEnabled(perspective);
    m_strength.spin->setEnabled(perspective);
    emit projectionChanged(getProjection());
}

#include "moc_viewerposepanel.cpp"
