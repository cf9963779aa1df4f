#pragma once
// ShapeViewerAttributesEditor: edits one set of drawing attributes, such as
// the attributes the selected painters of a viewer have in common. A value
// of -1 in a spin box, no choice in a list, no colour, or a partially
// checked box leaves the attribute undefined, so that applying the set to
// several painters keeps what they do not share.
//
// In immediate mode every change is announced at once (attributesChanged)
// and the Apply row is disabled; otherwise "Apply" stores the edited set and
// announces it, and "Cancel" shows the stored set again.

#include "gl/shapepainterattributesgl.h"

#include <QColor>
#include <QFrame>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

class ShapeViewerAttributesEditor : public QFrame {
    Q_OBJECT
public:
    explicit ShapeViewerAttributesEditor(QWidget* parent = nullptr);
    ~ShapeViewerAttributesEditor() override;

    // Shows a set and stores it (what Cancel returns to).
    void setAttributes(const ShapePainterAttributesGL& attributes);
    // The set the controls show.
    ShapePainterAttributesGL getAttributes() const;
    // The set last shown or applied.
    const ShapePainterAttributesGL& getStoredAttributes() const { return m_stored; }

    void setImmediate(bool immediate);
    bool isImmediate() const { return m_immediate; }

public slots:
    void apply();
    void cancel();

signals:
    void attributesChanged();

private slots:
    void selectColor();
    void edited();

private:
    void showColor(const QColor& color);

    QComboBox* m_displayMode = nullptr;
    QComboBox* m_vertexSymbol = nullptr;
    QLabel* m_swatch = nullptr;
    QPushButton* m_selectColor = nullptr;
    QDoubleSpinBox* m_symbolSize = nullptr;
    QDoubleSpinBox* m_lineWidth = nullptr;
    QDoubleSpinBox* m_opacity = nullptr;
    QDoubleSpinBox* m_shininess = nullptr;
    QSpinBox* m_smoothing = nullptr;
    QCheckBox* m_visible = nullptr;
    QCheckBox* m_beginCap = nullptr;
    QCheckBox* m_endCap = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_cancel = nullptr;

    QColor m_color;
    ShapePainterAttributesGL m_stored;
    bool m_immediate = false;
    bool m_showing = false;
};
