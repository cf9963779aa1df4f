#include "app/tools/plxrenderingpaintergl.h"

#include "app/tools/plxmodelitempaintergl.h"
#include "app/tools/plxmodelpaintergl.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"

PLXRenderingPainterGL::PLXRenderingPainterGL() = default;

PLXRenderingPainterGL::~PLXRenderingPainterGL() = default;

void PLXRenderingPainterGL::clear()
{
    m_modelPainter.reset();
    m_itemPainters.clear();
}

void PLXRenderingPainterGL::setModel(const Model& model, const StackReconstruction<float>& reconstruction)
{
    m_model = &model;
    clear();
    displayMode(model.getProperties().getRenderingMode());

    if (!paintsItemByItem(model)) {
        m_modelPainter = std::make_unique<PLXModelPainterGL>();
        m_modelPainter->setModel(model, reconstruction);
        return;
    }
    const Stack* stack = reconstruction.getStack();
    for (const ModelItem* item : model.getItems()) {
        // Items of slices out of the stack (undone insertions) are not shown.
        if (!stack || stack->findSlice(item->getSlice()) < 0)
            continue;
        auto painter = std::make_unique<PLXModelItemPainterGL>();
        painter->setItem(*item, reconstruction);
        m_itemPainters.push_back(std::move(painter));
    }
}

BoundingBox<float> PLXRenderingPainterGL::boundingBox() const
{
    if (m_modelPainter)
        return m_modelPainter->boundingBox();
    BoundingBox<float> box;
    for (const auto& painter : m_itemPainters)
        box = box.merge(painter->boundingBox());
    return box;
}

bool PLXRenderingPainterGL::isOpaque() const
{
    return m_modelPainter ? m_modelPainter->isOpaque() : true;
}

void PLXRenderingPainterGL::glDraw()
{
    if (m_modelPainter)
        m_modelPainter->glDraw();
    for (const auto& painter : m_itemPainters)
        painter->glDraw();
}

void PLXRenderingPainterGL::glClear()
{
    if (m_modelPainter)
        m_modelPainter->glClear();
    for (const auto& painter : m_itemPainters)
        painter->glClear();
}

// Conversions -------------------------------------------------------------------------

DisplayModeGL PLXRenderingPainterGL::displayMode(RenderingMode mode)
{
    switch (mode) {
    case RenderingMode::Dot:
        return DisplayModeSymbol;
    case RenderingMode::Curve:
        return DisplayModeCurve;
    case RenderingMode::Wireframe:
        return DisplayModeMesh;
    case RenderingMode::Surface:
        return DisplayModeSurface;
    default:
        throw ValueError("DisplayModeGL PLXRenderingPainterGL::displayMode(RenderingMode)",
                         "Unexpected model rendering mode");
    }
}

bool PLXRenderingPainterGL::paintsItemByItem(const Model& model)
{
    const RenderingMode mode = model.getProperties().getRenderingMode();
    return model.getGeometry() == MPrimitive::Polypoint || mode == RenderingMode::Dot ||
           mode == RenderingMode::Curve;
}

VertexSymbolGL PLXRenderingPainterGL::vertexSymbol(VertexSymbol symbol)
{
    switch (symbol) {
    case VertexSymbol::Cube:
        return VertexSymbolCube;
    case VertexSymbol::Dot:
        return VertexSymbolDot;
    case VertexSymbol::Diamond:
        return VertexSymbolDiamond;
    case VertexSymbol::Sphere:
        return VertexSymbolSphere;
    case VertexSymbol::Tetrahedron:
        return VertexSymbolTetrahedron;
    default:
        return VertexSymbolNone;
    }
}

ShapePainterAttributesGL PLXRenderingPainterGL::itemAttributes(const ModelItemProperties& own,
                                                               const ModelItemProperties& defaults)
{
    auto pick = [&](auto defines) -> const ModelItemProperties* {
        if ((own.*defines)())
            return &own;
        if ((defaults.*defines)())
            return &defaults;
        return nullptr;
    };
    ShapePainterAttributesGL a;
    a.clear();
    if (const ModelItemProperties* p = pick(&ModelItemProperties::definesColor))
        a.setColor(p->getColor());
    if (const ModelItemProperties* p = pick(&ModelItemProperties::definesVertexSymbol))
        a.setVertexSymbol(vertexSymbol(p->getVertexSymbol()));
    if (const ModelItemProperties* p = pick(&ModelItemProperties::definesLineWidth))
        a.setLineWidth(p->getLineWidth());
    if (const ModelItemProperties* p = pick(&ModelItemProperties::definesPointSize))
        a.setSymbolSize(p->getPointSize());
    if (const ModelItemProperties* p = pick(&ModelItemProperties::definesVisible))
        a.setVisibility(p->isVisible());
    return a;
}
