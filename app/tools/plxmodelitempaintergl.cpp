#include "app/tools/plxmodelitempaintergl.h"

#include "app/tools/plxrenderingpaintergl.h"
#include "gl/curvepaintergl.h"
#include "gl/verticespaintergl.h"
#include "geometry/curve.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"

PLXModelItemPainterGL::PLXModelItemPainterGL() = default;

PLXModelItemPainterGL::~PLXModelItemPainterGL() = default;

void PLXModelItemPainterGL::setItem(const ModelItem& item, const StackReconstruction<float>& reconstruction)
{
    m_item = &item;
    m_painter.reset();
    m_shape.reset();
    m_glReady = false;
    const Model* model = item.getModel();
    if (!model)
        return;

    m_attributes = PLXRenderingPainterGL::itemAttributes(item.getProperties(), model->getItemProperties());
    // Point sizes are image pixels; the scene is in stack units.
    if (m_attributes.useSymbolSize() && reconstruction.getStack())
        m_attributes.setSymbolSize(m_attributes.getSymbolSize() *
                                   reconstruction.getStack()->getDefaultPixelCalibration().getPixelWidth());
    const bool points = model->getGeometry() == MPrimitive::Polypoint;
    const RenderingMode mode = model->getProperties().getRenderingMode();
    m_attributes.setDisplayMode(points || mode == RenderingMode::Dot ? DisplayModeSymbol : DisplayModeCurve);

    m_shape = reconstruction.apply(item);
    if (!m_shape)
        return;
    if (dynamic_cast<const Curve<float>*>(m_shape.get()))
        m_painter = std::make_unique<CurvePainterGL<float>>();
    else
        m_painter = std::make_unique<VerticesPainterGL<float>>();
    m_painter->setAttributes(m_attributes);
    m_painter->setShape(*m_shape);
}

BoundingBox<float> PLXModelItemPainterGL::boundingBox() const
{
    return m_painter ? m_painter->boundingBox() : BoundingBox<float>();
}

bool PLXModelItemPainterGL::isOpaque() const
{
    return m_painter ? m_painter->isOpaque() : true;
}

void PLXModelItemPainterGL::glDraw()
{
    if (!m_painter)
        return;
    // Spheres are drawn from a display list, made here where the context is
    // current.
    if (!m_glReady && m_attributes.useVertexSymbol() && m_attributes.getVertexSymbol() == VertexSymbolSphere)
        m_painter->glInit();
    m_glReady = true;
    m_painter->glDraw();
}

void PLXModelItemPainterGL::glClear()
{
    if (m_painter)
        m_painter->glClear();
    m_glReady = false;
}
