#pragma once
// ViewerPosePanel: the controls of the 3D view's camera, lights, box,
// background and projection, each a slider with a spin box. A change by the
// user emits the matching signal; the slots show a value without emitting,
// so that view and panel can follow each other without echo.

#include "gl/backgroundgl.h"
#include "gl/projectiongl.h"
#include "numerics/vector.h"
#include "stack/pose.h"

#include <QFrame>

class ColorSelector;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QSlider;
class QSpinBox;

class ViewerPosePanel : public QFrame {
    Q_OBJECT
public:
    explicit ViewerPosePanel(QWidget* parent = nullptr);
    ~ViewerPosePanel() override;

    Vector<float> getRotation() const;
    Vector<int> getTranslation() const;
    int getZoom() const;
    int getBoundingBoxScaling() const;
    bool isBoundingBoxShown() const;
    int getAmbientLight() const;
    int getDiffuseLight() const;
    int getSpecularLight() const;
    BackgroundGL getBackground() const;
    ProjectionGL getProjection() const;

public slots:
    // Degrees, rounded to whole degrees on the controls.
    void setRotation(const Vector<float>& angles);
    void setTranslation(const Vector<int>& translation);
    void setZoom(int zoom);
    void setBoundingBoxScaling(int percent);
    void setAmbientLight(int value);
    void setDiffuseLight(int value);
    void setSpecularLight(int value);
    void setPose(const Pose& pose);
    void setBoundingBoxShown(bool shown);
    void setBackground(const BackgroundGL& background);
    void setProjection(const ProjectionGL& projection);

signals:
    void rotationChanged(const Vector<float>& angles);
    void translationChanged(const Vector<int>& translation);
    void zoomChanged(int zoom);
    void boundingBoxScalingChanged(int percent);
    void ambientLightChanged(int value);
    void diffuseLightChanged(int value);
    void specularLightChanged(int value);
    void backgroundChanged(const BackgroundGL& background);
    void projectionChanged(const ProjectionGL& projection);
    void boundingBoxToggled(bool shown);

private:
    // A slider and a spin box kept equal; the spin box carries the value.
    struct Control {
        QSlider* slider = nullptr;
        QSpinBox* spin = nullptr;
    };
    Control addControl(QGridLayout* grid, int row, const QString& label, int minimum, int maximum,
                       const QString& unit = QString());
    static void display(const Control& control, int value);
    void emitBackground();
    void emitProjection();

    Control m_rotation[3];
    Control m_translation[2];
    Control m_zoom;
    Control m_ambient;
    Control m_diffuse;
    Control m_specular;
    Control m_scaling;
    Control m_strength;
    QCheckBox* m_showBox = nullptr;
    QComboBox* m_backgroundType = nullptr;
    ColorSelector* m_backgroundColor = nullptr;
    QComboBox* m_projectionType = nullptr;
};
