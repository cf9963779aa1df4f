#pragma once
// ShapeViewerPainterGL: how the 3D viewer holds a float shape painter (its
// proxy, owned by the wrapper): opacity, drawing and bounding box forward to
// the proxy. Each wrapper gets a name, a number unique among the wrappers
// made, and a selection flag the windows use to edit attributes of the
// painters picked by the user.

#include "gl/shapepaintergl.h"

#include <memory>

class ShapeViewerPainterGL : public PainterGL<float> {
public:
    explicit ShapeViewerPainterGL(std::unique_ptr<ShapePainterGL<float>> proxy);
    ~ShapeViewerPainterGL() override;

    // The bounding box of the proxy's shape (empty without shape).
    BoundingBox<float> boundingBox() const override;
    bool isOpaque() const override { return m_proxy->isOpaque(); }
    void glDraw() override { m_proxy->glDraw(); }

    ShapePainterGL<float>& getProxy() { return *m_proxy; }
    const ShapePainterGL<float>& getProxy() const { return *m_proxy; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }
    unsigned int getName() const { return m_name; }

private:
    std::unique_ptr<ShapePainterGL<float>> m_proxy;
    bool m_selected = false;
    unsigned int m_name;

    static unsigned int s_nameCounter;
};
