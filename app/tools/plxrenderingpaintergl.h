#pragma once
// PLXRenderingPainterGL: what the rendering window draws of one model of its
// stack: either the whole model as one shape (PLXModelPainterGL) or each of
// its items on its own (PLXModelItemPainterGL), by the model's rendering
// mode and geometry:
//
//     rendering mode   display mode   painted
//     Dot              Symbol         item by item
//     Curve            Curve          item by item
//     Wireframe        Mesh           as one shape (point sets: item by item)
//     Surface          Surface        as one shape (point sets: item by item)
//
// Any other rendering mode raises ValueError "Unexpected model rendering
// mode". The painter is opaque when its model painter is (and when it paints
// items).
//
// The model is referred to, not owned, and only read by setModel(): a
// painter left waiting for a rebuild while its model goes away (inside an
// event batch) still draws what it built.

#include "gl/paintergl.h"
#include "gl/shapepainterattributesgl.h"
#include "stack/modelitemproperties.h"
#include "stack/modelproperties.h"

#include <memory>
#include <vector>

class Model;
class PLXModelItemPainterGL;
class PLXModelPainterGL;
template <typename T> class StackReconstruction;

class PLXRenderingPainterGL : public PainterGL<float> {
public:
    PLXRenderingPainterGL();
    ~PLXRenderingPainterGL() override;
    PLXRenderingPainterGL(const PLXRenderingPainterGL&) = delete;
    PLXRenderingPainterGL& operator=(const PLXRenderingPainterGL&) = delete;

    // Rebuilds every painter of the model (items on slices of the
    // reconstruction's stack only). Throws the ValueError above, leaving the
    // painter empty.
    void setModel(const Model& model, const StackReconstruction<float>& reconstruction);
    const Model* getModel() const { return m_model; }

    bool isItemWise() const { return !m_modelPainter; }
    const PLXModelPainterGL* getModelPainter() const { return m_modelPainter.get(); }
    const std::vector<std::unique_ptr<PLXModelItemPainterGL>>& getItemPainters() const { return m_itemPainters; }

    BoundingBox<float> boundingBox() const override;
    bool isOpaque() const override;
    void glDraw() override;
    // Frees the display lists of the painters (their context current).
    void glClear();

    // Conversions ---------------------------------------------------------------------

    static DisplayModeGL displayMode(RenderingMode mode);
    // Point sets, and models rendered as dots or curves.
    static bool paintsItemByItem(const Model& model);
    // The painter symbol of the same name; none for the unknown symbol.
    static VertexSymbolGL vertexSymbol(VertexSymbol symbol);
    // Colour, vertex symbol, line width, point size (as symbol size) and
    // visibility, each from own when it defines it, else from defaults;
    // nothing else defined.
    static ShapePainterAttributesGL itemAttributes(const ModelItemProperties& own,
                                                   const ModelItemProperties& defaults);

private:
    void clear();

    const Model* m_model = nullptr;
    std::unique_ptr<PLXModelPainterGL> m_modelPainter;
    std::vector<std::unique_ptr<PLXModelItemPainterGL>> m_itemPainters;
};
