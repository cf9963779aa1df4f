#include "app/tools/plxmodelitempropertieseditor.h"

#include "app/tools/plxmodeleditorfields.h"
#include "gl/dialogs.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PLXModelEditorFields;

PLXModelItemPropertiesEditor::PLXModelItemPropertiesEditor(QWidget* parent)
    : QWidget(parent), m_group(new QGroupBox(QStringLiteral("Item properties"), this)),
      m_colorButton(new QPushButton(QStringLiteral("Color"), m_group)), m_symbol(new QComboBox(m_group)),
      m_lineWidth(blankableSpinBox(100, m_group)), m_pointSize(blankableSpinBox(100, m_group)),
      m_filled(new QCheckBox(QStringLiteral("Fill vertex symbols"), m_group)),
      m_visible(new QCheckBox(QStringLiteral("Rendering visible"), m_group))
{
    m_colorButton->setAutoDefault(false);
    m_symbol->addItem(QStringLiteral("Dot"), int(VertexSymbol::Dot));
    m_symbol->addItem(QStringLiteral("Sphere"), int(VertexSymbol::Sphere));
    m_symbol->addItem(QStringLiteral("Cube"), int(VertexSymbol::Cube));
    m_symbol->addItem(QStringLiteral("Diamond"), int(VertexSymbol::Diamond));
    m_symbol->addItem(QStringLiteral("Tetrahedron"), int(VertexSymbol::Tetrahedron));

    auto* form = new QFormLayout(m_group);
    form->addRow(m_colorButton);
    form->addRow(QStringLiteral("Vertex symbol"), m_symbol);
    form->addRow(QStringLiteral("Line width"), m_lineWidth);
    form->addRow(QStringLiteral("Point size"), m_pointSize);
    form->addRow(m_filled);
    form->addRow(m_visible);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_group);

    connect(m_colorButton, &QPushButton::clicked, this, &PLXModelItemPropertiesEditor::chooseColor);
    connect(m_symbol, &QComboBox::activated, this, &PLXModelItemPropertiesEditor::changed);
    for (QSpinBox* box : {m_lineWidth, m_pointSize})
        connect(box, &QSpinBox::valueChanged, this, &PLXModelItemPropertiesEditor::changed);
    for (QCheckBox* box : {m_filled, m_visible}) {
        leavePartialOnClick(box);
        connect(box, &QCheckBox::clicked, this, &PLXModelItemPropertiesEditor::changed);
    }
    showColor();
}

void PLXModelItemPropertiesEditor::chooseColor()
{
    const QColor chosen = Dialogs::getColor(m_color.isValid() ? m_color : QColor(Qt::red), this,
                                            QStringLiteral("Item color"));
    if (!chosen.isValid() || chosen == m_color)
        return;
    m_color = chosen;
    showColor();
    emit changed();
}

void PLXModelItemPropertiesEditor::showColor()
{
    if (!m_color.isValid()) {
        m_colorButton->setIcon(QIcon());
        return;
    }
    QPixmap swatch(16, 16);
    swatch.fill(m_color);
    m_colorButton->setIcon(QIcon(swatch));
}

void PLXModelItemPropertiesEditor::setProperties(const ModelItemProperties& p)
{
    const QSignalBlocker a(m_lineWidth), b(m_pointSize);
    if (p.definesColor()) {
        const Vector<int> rgb = p.getColor();
        m_color = QColor(rgb[0], rgb[1], rgb[2]);
    } else {
        m_color = QColor();
    }
    showColor();
    setComboValue(m_symbol, p.definesVertexSymbol() && p.getVertexSymbol() != VertexSymbol::Unknown,
                  int(p.getVertexSymbol()));
    setSpinValue(m_lineWidth, p.definesLineWidth(), p.getLineWidth());
    setSpinValue(m_pointSize, p.definesPointSize(), p.getPointSize());
    setCheck(m_filled, p.definesFilled(), p.isFilled());
    setCheck(m_visible, p.definesVisible(), p.isVisible());
}

ModelItemProperties PLXModelItemPropertiesEditor::getProperties() const
{
    ModelItemProperties p;
    if (m_color.isValid())
        p.setColor(m_color.red(), m_color.green(), m_color.blue());
    if (const auto v = comboValue(m_symbol))
        p.setVertexSymbol(static_cast<VertexSymbol>(*v));
    if (const auto v = spinValue(m_lineWidth))
        p.setLineWidth(static_cast<float>(*v));
    if (const auto v = spinValue(m_pointSize))
        p.setPointSize(static_cast<float>(*v));
    if (const auto v = checkValue(m_filled))
        p.setFilled(*v);
    if (const auto v = checkValue(m_visible))
        p.setVisible(*v);
    return p;
}
