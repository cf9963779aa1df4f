#pragma once
// PLXModelPainterGL: a whole model of a stack drawn as one shape: its items
// placed in 3D by the stack reconstruction, one contour per item, slices in
// stack order.
//
// A simple contour stack (fewer than two contours, or no two consecutive
// contours on one slice) is resampled into a quadrilateral mesh of the
// model's grid (quad-mesh height rows, one when the model has fewer than two
// items, and quad-mesh width columns) with caps at both ends, drawn as a
// wire mesh for a wireframe model and as a lit surface otherwise; the caps
// show where the model asks for them. Any other contour stack (a branching
// structure: two contours on one slice next to each other in the stack) is
// drawn as its contours. A grid that cannot be built (no width, a degenerate
// contour, more than 2^24 vertices) also leaves the contours.
//
// Attributes: the model's default item properties (colour, symbol, line
// width, point size, visibility), its surface opacity as transparency, its
// shininess, and its cap flags when it defines them.
//
// The painter owns the geometry it draws; see PLXModelItemPainterGL for the
// display list.

#include "gl/paintergl.h"
#include "gl/shapepainterattributesgl.h"
#include "gl/shapepaintergl.h"
#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"

#include <memory>

class Model;
template <typename T> class StackReconstruction;

class PLXModelPainterGL : public PainterGL<float> {
public:
    PLXModelPainterGL();
    ~PLXModelPainterGL() override;
    PLXModelPainterGL(const PLXModelPainterGL&) = delete;
    PLXModelPainterGL& operator=(const PLXModelPainterGL&) = delete;

    // Rebuilds from the model; reconstruction bound to the model's stack.
    void setModel(const Model& model, const StackReconstruction<float>& reconstruction);

    // The resampled surface, null when the model is drawn as contours.
    const QuadMesh<float>* getMesh() const { return m_mesh.get(); }
    // The contours (also kept when a mesh was made), null without items.
    const CurveStack<float>* getCurves() const { return m_curves.get(); }
    bool isMesh() const { return m_mesh != nullptr; }
    const ShapePainterGL<float>* getPainter() const { return m_painter.get(); }
    const ShapePainterAttributesGL& getAttributes() const { return m_attributes; }

    BoundingBox<float> boundingBox() const override;
    // Opaque unless the model's opacity is below 255.
    bool isOpaque() const override;
    void glDraw() override;
    void glClear();

private:
    ShapePainterAttributesGL m_attributes;
    std::unique_ptr<CurveStack<float>> m_curves;
    std::unique_ptr<QuadMesh<float>> m_mesh;
    std::unique_ptr<ShapePainterGL<float>> m_painter;
    bool m_glReady = false;
};
