#pragma once
// PLXSpotExtractionDialog: the settings of a spot extraction. Groups
// "Resizing volume" (checkable: the volume is resampled to "Size (voxels)",
// whose "Resolution (units)" follows so that the volume keeps its extent,
// and the other way round), "Smoothing filter" (Average, Median or
// Gaussian), "Top-hat filter" (Flat or Spherical) and "Isotropy filter"
// (checkable, each with a "Radius" in "voxels"), "Results" (the models'
// basename, one model per spot, equivalent spheres), and the channel the
// volume is made of, offered when the stack's images are in colour.
// "&Run" (needs a basename) accepts, "&Cancel" refuses.

#include "app/tools/plxspotextractionconfig.h"
#include "image/imagecolorcontent.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class PLXSpotExtractionDialog : public QDialog {
    Q_OBJECT
public:
    // content: the channel proposed (grey levels or one component); colour:
    // whether the images are in colour (the channel can then be chosen).
    PLXSpotExtractionDialog(const PLXSpotExtractionConfig& config, ImageColorContent content, bool colour,
                            QWidget* parent = nullptr);

    // The settings shown.
    PLXSpotExtractionConfig getConfig() const;
    // Grey levels, or the red, green or blue component.
    ImageColorContent getContent() const;

    QGroupBox* getResizingGroup() const { return m_resizing; }
    QSpinBox* getSizeBox(int axis) const { return m_size[axis]; }
    QDoubleSpinBox* getResolutionBox(int axis) const { return m_resolution[axis]; }
    QGroupBox* getSmoothingGroup() const { return m_smoothing; }
    QComboBox* getSmoothingType() const { return m_smoothingType; }
    QSpinBox* getSmoothingRadius() const { return m_smoothingRadius; }
    QGroupBox* getTopHatGroup() const { return m_tophat; }
    QComboBox* getTopHatType() const { return m_tophatType; }
    QSpinBox* getTopHatRadius() const { return m_tophatRadius; }
    QGroupBox* getIsotropyGroup() const { return m_isotropy; }
    QSpinBox* getIsotropyRadius() const { return m_isotropyRadius; }
    QLineEdit* getBasename() const { return m_basename; }
    QCheckBox* getSeparateModels() const { return m_separate; }
    QCheckBox* getEquivalentSpheres() const { return m_spheres; }
    QComboBox* getChannel() const { return m_channel; }
    QPushButton* getRunButton() const { return m_run; }
    QPushButton* getCancelButton() const { return m_cancel; }

private slots:
    void sizeChanged(int axis);
    void resolutionChanged(int axis);
    void updateRunButton();

private:
    PLXSpotExtractionConfig m_config;
    QGroupBox* m_resizing;
    QSpinBox* m_size[3];
    QDoubleSpinBox* m_resolution[3];
    QGroupBox* m_smoothing;
    QComboBox* m_smoothingType;
    QSpinBox* m_smoothingRadius;
    QGroupBox* m_tophat;
    QComboBox* m_tophatType;
    QSpinBox* m_tophatRadius;
    QGroupBox* m_isotropy;
    QSpinBox* m_isotropyRadius;
    QLineEdit* m_basename;
    QCheckBox* m_separate;
    QCheckBox* m_spheres;
    QComboBox* m_channel;
    QPushButton* m_run;
    QPushButton* m_cancel;
    bool m_linking = false;
};
