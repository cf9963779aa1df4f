#pragma once
// PLXModelItemPropertiesEditor: the group "Item properties": a "Color"
// button that opens the colour chooser, "Vertex symbol" (Dot, Sphere, Cube,
// Diamond, Tetrahedron), "Line width" and "Point size" (0 to 100), "Fill
// vertex symbols" and "Rendering visible". As in the model properties
// editor, each property may be undefined (a blank, no entry, the partial
// state; no colour swatch) and getProperties() returns the defined ones.

#include "stack/modelitemproperties.h"

#include <QColor>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QSpinBox;

class PLXModelItemPropertiesEditor : public QWidget {
    Q_OBJECT
public:
    explicit PLXModelItemPropertiesEditor(QWidget* parent = nullptr);

    void setProperties(const ModelItemProperties& properties);
    ModelItemProperties getProperties() const;

    QGroupBox* getGroup() const { return m_group; }
    QPushButton* getColorButton() const { return m_colorButton; }
    // Invalid while the colour is undefined.
    QColor getColor() const { return m_color; }
    QComboBox* getVertexSymbolBox() const { return m_symbol; }
    QSpinBox* getLineWidthBox() const { return m_lineWidth; }
    QSpinBox* getPointSizeBox() const { return m_pointSize; }
    QCheckBox* getFilledBox() const { return m_filled; }
    QCheckBox* getVisibleBox() const { return m_visible; }

signals:
    void changed();

private:
    void chooseColor();
    void showColor();

    QGroupBox* m_group;
    QPushButton* m_colorButton;
    QColor m_color;
    QComboBox* m_symbol;
    QSpinBox* m_lineWidth;
    QSpinBox* m_pointSize;
    QCheckBox* m_filled;
    QCheckBox* m_visible;
};
