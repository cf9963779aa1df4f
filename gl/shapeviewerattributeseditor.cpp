#include "gl/shapeviewerattributeseditor.h"

#include "gl/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

QDoubleSpinBox* realBox(QWidget* parent, double maximum)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(-1.0, maximum);
    box->setDecimals(1);
    return box;
}

QCheckBox* flagBox(const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setTristate(true);
    return box;
}

Qt::CheckState stateOf(bool defined, bool value)
{
    return defined ? (value ? Qt::Checked : Qt::Unchecked) : Qt::PartiallyChecked;
}

} // namespace

ShapeViewerAttributesEditor::ShapeViewerAttributesEditor(QWidget* parent) : QFrame(parent)
{
    auto* grid = new QGridLayout(this);
    int row = 0;
    auto addRow = [&](const QString& label, QWidget* widget, QWidget* extra = nullptr) {
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(widget, row, 1);
        if (extra)
            grid->addWidget(extra, row, 2);
        ++row;
    };

    m_displayMode = new QComboBox(this);
    for (int mode = 0; mode < ShapePainterAttributesGL::numDisplayModes; ++mode)
        m_displayMode->addItem(QString::fromLatin1(ShapePainterAttributesGL::displayModeName(mode)));
    addRow(tr("Display mode"), m_displayMode);
    m_vertexSymbol = new QComboBox(this);
    for (int symbol = 0; symbol < ShapePainterAttributesGL::numVertexSymbols; ++symbol)
        m_vertexSymbol->addItem(QString::fromLatin1(ShapePainterAttributesGL::vertexSymbolName(symbol)));
    addRow(tr("Vertex symbol"), m_vertexSymbol);
    m_swatch = new QLabel(this);
    m_swatch->setMinimumSize(40, 20);
    m_selectColor = new QPushButton(tr("Select..."), this);
    addRow(tr("Color"), m_swatch, m_selectColor);
    m_symbolSize = realBox(this, 1000);
    addRow(tr("Symbol size"), m_symbolSize);
    m_lineWidth = realBox(this, 100);
    addRow(tr("Line width"), m_lineWidth);
    m_opacity = realBox(this, 255);
    addRow(tr("Opacity"), m_opacity);
    m_shininess = realBox(this, 128);
    addRow(tr("Shininess"), m_shininess);
    m_smoothing = new QSpinBox(this);
    m_smoothing->setRange(-1, 25);
    addRow(tr("Smoothing"), m_smoothing);
    m_visible = flagBox(tr("Visible"), this);
    m_beginCap = flagBox(tr("Begin cap"), this);
    m_endCap = flagBox(tr("End cap"), this);
    grid->addWidget(m_visible, row++, 0, 1, 3);
    grid->addWidget(m_beginCap, row++, 0, 1, 3);
    grid->addWidget(m_endCap, row++, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    m_apply = new QPushButton(tr("Apply"), this);
    m_cancel = new QPushButton(tr("Cancel"), this);
    buttons->addStretch(1);
    buttons->addWidget(m_apply);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, row, 0, 1, 3);

    connect(m_selectColor, &QPushButton::clicked, this, &ShapeViewerAttributesEditor::selectColor);
    connect(m_apply, &QPushButton::clicked, this, &ShapeViewerAttributesEditor::apply);
    connect(m_cancel, &QPushButton::clicked, this, &ShapeViewerAttributesEditor::cancel);
    for (QComboBox* box : {m_displayMode, m_vertexSymbol})
        connect(box, &QComboBox::currentIndexChanged, this, &ShapeViewerAttributesEditor::edited);
    for (QDoubleSpinBox* box : {m_symbolSize, m_lineWidth, m_opacity, m_shininess})
        connect(box, &QDoubleSpinBox::valueChanged, this, &ShapeViewerAttributesEditor::edited);
    connect(m_smoothing, &QSpinBox::valueChanged, this, &ShapeViewerAttributesEditor::edited);
    for (QCheckBox* box : {m_visible, m_beginCap, m_endCap})
        connect(box, &QCheckBox::stateChanged, this, &ShapeViewerAttributesEditor::edited);

    ShapePainterAttributesGL none;
    none.clear();
    setAttributes(none);
}

ShapeViewerAttributesEditor::~ShapeViewerAttributesEditor() = default;

void ShapeViewerAttributesEditor::setAttributes(const ShapePainterAttributesGL& a)
{
    m_stored = a;
    m_showing = true;
    m_displayMode->setCurrentIndex(a.useDisplayMode() ? a.getDisplayMode() : -1);
    m_vertexSymbol->setCurrentIndex(a.useVertexSymbol() ? a.getVertexSymbol() : -1);
    if (a.useColor()) {
        const Vector<int>& c = a.getColor();
        showColor(QColor(c[0], c[1], c[2]));
    } else {
        showColor(QColor());
    }
    m_symbolSize->setValue(a.useSymbolSize() ? a.getSymbolSize() : -1.0);
    m_lineWidth->setValue(a.useLineWidth() ? a.getLineWidth() : -1.0);
    m_opacity->setValue(a.useTransparency() ? a.getTransparency() : -1.0);
    m_shininess->setValue(a.useShininess() ? a.getShininess() : -1.0);
    m_smoothing->setValue(a.useSmoothing() ? a.getSmoothing() : -1);
    m_visible->setCheckState(stateOf(a.useVisibility(), a.useVisibility() && a.getVisibility()));
    m_beginCap->setCheckState(stateOf(a.hasBeginCapFlag(), a.hasBeginCapFlag() && a.getBeginCapFlag()));
    m_endCap->setCheckState(stateOf(a.hasEndCapFlag(), a.hasEndCapFlag() && a.getEndCapFlag()));
    m_showing = false;
}

ShapePainterAttributesGL ShapeViewerAttributesEditor::getAttributes() const
{
    ShapePainterAttributesGL a;
    a.clear();
    if (m_displayMode->currentIndex() >= 0)
        a.setDisplayMode(m_displayMode->currentIndex());
    if (m_vertexSymbol->currentIndex() >= 0)
        a.setVertexSymbol(m_vertexSymbol->currentIndex());
    if (m_color.isValid())
        a.setColor(m_color.red(), m_color.green(), m_color.blue());
    if (m_symbolSize->value() != -1.0)
        a.setSymbolSize(static_cast<float>(m_symbolSize->value()));
    if (m_lineWidth->value() != -1.0)
        a.setLineWidth(static_cast<float>(m_lineWidth->value()));
    if (m_opacity->value() != -1.0)
        a.setTransparency(static_cast<float>(m_opacity->value()));
    if (m_shininess->value() != -1.0)
        a.setShininess(static_cast<float>(m_shininess->value()));
    if (m_smoothing->value() != -1)
        a.setSmoothing(m_smoothing->value());
    if (m_visible->checkState() != Qt::PartiallyChecked)
        a.setVisibility(m_visible->checkState() == Qt::Checked);
    if (m_beginCap->checkState() != Qt::PartiallyChecked)
        a.setBeginCapFlag(m_beginCap->checkState() == Qt::Checked);
    if (m_endCap->checkState() != Qt::PartiallyChecked)
        a.setEndCapFlag(m_endCap->checkState() == Qt::Checked);
    return a;
}

void ShapeViewerAttributesEditor::setImmediate(bool immediate)
{
    m_immediate = immediate;
    m_apply->setEnabled(!immediate);
    m_cancel->setEnabled(!immediate);
}

void ShapeViewerAttributesEditor::apply()
{
    m_stored = getAttributes();
    emit attributesChanged();
}

void ShapeViewerAttributesEditor::cancel()
{
    setAttributes(m_stored);
}

void ShapeViewerAttributesEditor::selectColor()
{
    const QColor chosen =
        Dialogs::getColor(m_color.isValid() ? m_color : QColor(Qt::white), this, tr("Select color"));
    if (!chosen.isValid())
        return;
    showColor(chosen);
    edited();
}

void ShapeViewerAttributesEditor::edited()
{
    if (m_showing || !m_immediate)
        return;
    m_stored = getAttributes();
    emit attributesChanged();
}

void ShapeViewerAttributesEditor::showColor(const QColor& color)
{
    m_color = color;
    m_swatch->setStyleSheet(color.isValid() ? QStringLiteral("background-color:rgb(%1,%2,%3)")
                                                  .arg(color.red())
                                                  .arg(color.green())
                                                  .arg(color.blue())
                                            : QString());
}

#include "moc_shapeviewerattributeseditor.cpp"
