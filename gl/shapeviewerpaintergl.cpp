#include "gl/shapeviewerpaintergl.h"

unsigned int ShapeViewerPainterGL::s_nameCounter = 0;

ShapeViewerPainterGL::ShapeViewerPainterGL(std::unique_ptr<ShapePainterGL<float>> proxy)
    : m_proxy(std::move(proxy)), m_name(++s_nameCounter)
{
}

ShapeViewerPainterGL::~ShapeViewerPainterGL() = default;

BoundingBox<float> ShapeViewerPainterGL::boundingBox() const
{
    return m_proxy->hasShape() ? m_proxy->getShape().boundingBox() : BoundingBox<float>();
}
