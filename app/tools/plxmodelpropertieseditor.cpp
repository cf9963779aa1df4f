#include "app/tools/plxmodelpropertieseditor.h"

#include "app/tools/plxmodeleditorfields.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

using namespace PLXModelEditorFields;

PLXModelPropertiesEditor::PLXModelPropertiesEditor(QWidget* parent)
    : QWidget(parent), m_group(new QGroupBox(QStringLiteral("Model properties"), this)),
      m_geometry(new QComboBox(m_group)), m_renderingMode(new QComboBox(m_group)),
      m_opacity(blankableSpinBox(255, m_group)), m_shininess(blankableSpinBox(255, m_group)),
      m_quadMeshWidth(blankableSpinBox(1000, m_group)), m_quadMeshHeight(blankableSpinBox(1000, m_group)),
      m_beginCap(new QCheckBox(QStringLiteral("Begin cap"), m_group)),
      m_endCap(new QCheckBox(QStringLiteral("End cap"), m_group)),
      m_economic(new QCheckBox(QStringLiteral("Economic rendering"), m_group))
{
    m_geometry->addItem(QStringLiteral("Polygon"), int(MPrimitive::Polygon));
    m_geometry->addItem(QStringLiteral("Polyline"), int(MPrimitive::Polyline));
    m_geometry->addItem(QStringLiteral("Polypoint"), int(MPrimitive::Polypoint));
    m_renderingMode->addItem(QStringLiteral("Vertex"), int(RenderingMode::Dot));
    m_renderingMode->addItem(QStringLiteral("Curve"), int(RenderingMode::Curve));
    m_renderingMode->addItem(QStringLiteral("Wireframe"), int(RenderingMode::Wireframe));
    m_renderingMode->addItem(QStringLiteral("Surface"), int(RenderingMode::Surface));

    auto* form = new QFormLayout(m_group);
    form->addRow(QStringLiteral("Geometry"), m_geometry);
    form->addRow(QStringLiteral("Rendering mode"), m_renderingMode);
    form->addRow(QStringLiteral("Surface opacity"), m_opacity);
    form->addRow(QStringLiteral("Surface shininess"), m_shininess);
    form->addRow(QStringLiteral("Quadmesh width"), m_quadMeshWidth);
    form->addRow(QStringLiteral("Quadmesh height"), m_quadMeshHeight);
    form->addRow(m_beginCap);
    form->addRow(m_endCap);
    form->addRow(m_economic);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_group);

    for (QComboBox* box : {m_geometry, m_renderingMode})
        connect(box, &QComboBox::activated, this, &PLXModelPropertiesEditor::changed);
    for (QSpinBox* box : {m_opacity, m_shininess, m_quadMeshWidth, m_quadMeshHeight})
        connect(box, &QSpinBox::valueChanged, this, &PLXModelPropertiesEditor::changed);
    for (QCheckBox* box : {m_beginCap, m_endCap, m_economic}) {
        leavePartialOnClick(box);
        connect(box, &QCheckBox::clicked, this, &PLXModelPropertiesEditor::changed);
    }
}

void PLXModelPropertiesEditor::setProperties(const ModelProperties& p)
{
    const QSignalBlocker blockers[] = {QSignalBlocker(m_opacity), QSignalBlocker(m_shininess),
                                       QSignalBlocker(m_quadMeshWidth), QSignalBlocker(m_quadMeshHeight)};
    setComboValue(m_geometry, p.definesGeometry() && p.getGeometry() != MPrimitive::Unknown, int(p.getGeometry()));
    setComboValue(m_renderingMode, p.definesRenderingMode() && p.getRenderingMode() != RenderingMode::Unknown,
                  int(p.getRenderingMode()));
    setSpinValue(m_opacity, p.definesOpacity(), p.getOpacity());
    setSpinValue(m_shininess, p.definesShininess(), p.getShininess());
    setSpinValue(m_quadMeshWidth, p.definesQuadMeshWidth(), p.getQuadMeshWidth());
    setSpinValue(m_quadMeshHeight, p.definesQuadMeshHeight(), p.getQuadMeshHeight());
    setCheck(m_beginCap, p.definesBeginCapFlag(), p.definesBeginCapFlag() && p.getBeginCapFlag());
    setCheck(m_endCap, p.definesEndCapFlag(), p.definesEndCapFlag() && p.getEndCapFlag());
    setCheck(m_economic, p.definesEconomicRendering(), p.getEconomicRendering());
}

ModelProperties PLXModelPropertiesEditor::getProperties() const
{
    ModelProperties p;
    if (const auto v = comboValue(m_geometry))
        p.setGeometry(static_cast<MPrimitive>(*v));
    if (const auto v = comboValue(m_renderingMode))
        p.setRenderingMode(static_cast<RenderingMode>(*v));
    if (const auto v = spinValue(m_opacity))
        p.setOpacity(static_cast<float>(*v));
    if (const auto v = spinValue(m_shininess))
        p.setShininess(static_cast<float>(*v));
    if (const auto v = spinValue(m_quadMeshWidth))
        p.setQuadMeshWidth(static_cast<unsigned int>(*v));
    if (const auto v = spinValue(m_quadMeshHeight))
        p.setQuadMeshHeight(static_cast<unsigned int>(*v));
    if (const auto v = checkValue(m_beginCap))
        p.setBeginCapFlag(*v);
    if (const auto v = checkValue(m_endCap))
        p.setEndCapFlag(*v);
    if (const auto v = checkValue(m_economic))
        p.setEconomicRendering(*v);
    return p;
}
