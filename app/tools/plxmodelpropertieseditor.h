#pragma once
// PLXModelPropertiesEditor: the group "Model properties": "Geometry"
// (Polygon, Polyline, Polypoint), "Rendering mode" (Vertex, Curve, Wireframe,
// Surface), "Surface opacity" and "Surface shininess" (0 to 255),
// "Quadmesh width" and "Quadmesh height" (0 to 1000), "Begin cap", "End cap"
// and "Economic rendering".
//
// Every property may be undefined (several models shown at once that do not
// share it): a combo box then shows no entry, a spin box a blank (its value
// -1), a check box the partial state. getProperties() returns the defined
// ones only, so that applying them leaves the others as they were.

#include "stack/modelproperties.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QSpinBox;

class PLXModelPropertiesEditor : public QWidget {
    Q_OBJECT
public:
    explicit PLXModelPropertiesEditor(QWidget* parent = nullptr);

    void setProperties(const ModelProperties& properties);
    ModelProperties getProperties() const;

    QGroupBox* getGroup() const { return m_group; }
    QComboBox* getGeometryBox() const { return m_geometry; }
    QComboBox* getRenderingModeBox() const { return m_renderingMode; }
    QSpinBox* getOpacityBox() const { return m_opacity; }
    QSpinBox* getShininessBox() const { return m_shininess; }
    QSpinBox* getQuadMeshWidthBox() const { return m_quadMeshWidth; }
    QSpinBox* getQuadMeshHeightBox() const { return m_quadMeshHeight; }
    QCheckBox* getBeginCapBox() const { return m_beginCap; }
    QCheckBox* getEndCapBox() const { return m_endCap; }
    QCheckBox* getEconomicRenderingBox() const { return m_economic; }

signals:
    // The user edited a field.
    void changed();

private:
    QGroupBox* m_group;
    QComboBox* m_geometry;
    QComboBox* m_renderingMode;
    QSpinBox* m_opacity;
    QSpinBox* m_shininess;
    QSpinBox* m_quadMeshWidth;
    QSpinBox* m_quadMeshHeight;
    QCheckBox* m_beginCap;
    QCheckBox* m_endCap;
    QCheckBox* m_economic;
};
