#include "app/tools/plxmodelpaintergl.h"

#include "app/tools/plxrenderingpaintergl.h"
#include "gl/curvestackpaintergl.h"
#include "gl/quadmeshpaintergl.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/stackreconstruction.h"

#include <cstdint>

namespace {

// Grids beyond this many vertices are drawn as contours.
constexpr std::uint64_t maxMeshVertices = std::uint64_t(1) << 24;

} // namespace

PLXModelPainterGL::PLXModelPainterGL() = default;

PLXModelPainterGL::~PLXModelPainterGL() = default;

void PLXModelPainterGL::setModel(const Model& model, const StackReconstruction<float>& reconstruction)
{
    m_painter.reset();
    m_mesh.reset();
    m_curves.reset();
    m_glReady = false;

    const ModelProperties& p = model.getProperties();
    m_attributes = PLXRenderingPainterGL::itemAttributes(ModelItemProperties(), model.getItemProperties());
    if (p.definesOpacity())
        m_attributes.setTransparency(p.getOpacity());
    if (p.definesShininess())
        m_attributes.setShininess(p.getShininess());
    if (p.definesBeginCapFlag())
        m_attributes.setBeginCapFlag(p.getBeginCapFlag());
    if (p.definesEndCapFlag())
        m_attributes.setEndCapFlag(p.getEndCapFlag());

    std::unique_ptr<VertexStack<float>> levels = reconstruction.apply(model);
    auto* curves = dynamic_cast<CurveStack<float>*>(levels.get());
    if (!curves || curves->getHeight() == 0)
        return;
    levels.release();
    m_curves.reset(curves);

    if (!m_curves->isBranching()) {
        const std::uint64_t width = p.getQuadMeshWidth();
        const std::uint64_t height = model.getNumItems() < 2 ? 1u : p.getQuadMeshHeight();
        if (width >= 3 && height >= 1 && width * height <= maxMeshVertices) {
            try {
                auto mesh = std::make_unique<QuadMesh<float>>(
                    m_curves->resample(static_cast<int>(height), static_cast<int>(width)));
                mesh->buildCaps();
                m_mesh = std::move(mesh);
            } catch (const Exception&) {
                // A contour the grid cannot follow (a single point, say):
                // the contours are drawn instead.
                m_mesh.reset();
            }
        }
    }

    if (m_mesh) {
        m_attributes.setDisplayMode(p.getRenderingMode() == RenderingMode::Wireframe ? DisplayModeMesh
                                                                                      : DisplayModeSurface);
        m_painter = std::make_unique<QuadMeshPainterGL<float>>();
        m_painter->setAttributes(m_attributes);
        m_painter->setShape(*m_mesh);
    } else {
        m_attributes.setDisplayMode(DisplayModeCurve);
        m_painter = std::make_unique<CurveStackPainterGL<float>>();
        m_painter->setAttributes(m_attributes);
        m_painter->setShape(*m_curves);
    }
}

BoundingBox<float> PLXModelPainterGL::boundingBox() const
{
    return m_painter ? m_painter->boundingBox() : BoundingBox<float>();
}

bool PLXModelPainterGL::isOpaque() const
{
    return m_painter ? m_painter->isOpaque() : true;
}

void PLXModelPainterGL::glDraw()
{
    if (!m_painter)
        return;
    if (!m_glReady && m_attributes.useVertexSymbol() && m_attributes.getVertexSymbol() == VertexSymbolSphere &&
        !m_mesh)
        m_painter->glInit();
    m_glReady = true;
    m_painter->glDraw();
}

void PLXModelPainterGL::glClear()
{
    if (m_painter)
        m_painter->glClear();
    m_glReady = false;
}
