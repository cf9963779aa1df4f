#pragma once
// PLXModelItemPainterGL: one model item of a stack in the 3D rendering: the
// item placed in 3D by the stack reconstruction and drawn with the item's
// drawing properties (its own where it defines them, else its model's).
//
// A point set is drawn as its vertex symbols; an outline or line as a curve,
// or as its vertex symbols when the model is rendered as dots. Symbol sizes
// are given in image pixels and drawn in stack units: they are multiplied by
// the pixel width of the stack's default calibration.
//
// The painter owns the 3D geometry it draws. Its sphere symbol comes from a
// display list made at the first draw (the context is current then); call
// glClear() with the same context current before destroying a painter that
// has drawn.

#include "gl/paintergl.h"
#include "gl/shapepainterattributesgl.h"
#include "gl/shapepaintergl.h"
#include "geometry/vertices.h"

#include <memory>

class ModelItem;
template <typename T> class StackReconstruction;

class PLXModelItemPainterGL : public PainterGL<float> {
public:
    PLXModelItemPainterGL();
    ~PLXModelItemPainterGL() override;
    PLXModelItemPainterGL(const PLXModelItemPainterGL&) = delete;
    PLXModelItemPainterGL& operator=(const PLXModelItemPainterGL&) = delete;

    // Rebuilds the geometry and the attributes from the item, which must
    // belong to a model; reconstruction must be bound to the item's stack.
    // An item of a model without geometry draws nothing.
    void setItem(const ModelItem& item, const StackReconstruction<float>& reconstruction);
    // The item last set (never dereferenced after setItem returns: an item
    // may go while its painter waits for a rebuild).
    const ModelItem* getItem() const { return m_item; }

    // The 3D geometry (a closed or open curve, or vertices), null if none.
    const Vertices<float>* getShape() const { return m_shape.get(); }
    // The painter drawing it, null without geometry.
    const ShapePainterGL<float>* getPainter() const { return m_painter.get(); }
    const ShapePainterAttributesGL& getAttributes() const { return m_attributes; }

    BoundingBox<float> boundingBox() const override;
    bool isOpaque() const override;
    void glDraw() override;
    // Deletes the sphere display list (the context of the draws current).
    void glClear();

private:
    const ModelItem* m_item = nullptr;
    ShapePainterAttributesGL m_attributes;
    std::unique_ptr<Vertices<float>> m_shape;
    std::unique_ptr<ShapePainterGL<float>> m_painter;
    bool m_glReady = false;
};
