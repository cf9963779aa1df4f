// The painters of the rendering window: which geometry a model is drawn
// with, where it lies, and with which attributes.

#include "app/tools/plxmodelitempaintergl.h"
#include "app/tools/plxmodelpaintergl.h"
#include "app/tools/plxrenderingpaintergl.h"
#include "geometry/curve.h"
#include "renderingtesting.h"
#include "stack/stackreconstruction.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace rendertest;

namespace {

// The distance of (x, y) to the outline of the square of half side h
// around (cx, cy).
double distanceToSquare(double x, double y, double cx, double cy, double h)
{
    return std::abs(std::max(std::abs(x - cx), std::abs(y - cy)) - h);
}

} // namespace

TEST(RenderingPainters, RenderingModesGiveDisplayModesAndTheWayOfPainting)
{
    struct Case {
        RenderingMode mode;
        DisplayModeGL display;
        bool outlinesItemWise;
    };
    for (const Case& c : {Case{RenderingMode::Dot, DisplayModeSymbol, true},
                          Case{RenderingMode::Curve, DisplayModeCurve, true},
                          Case{RenderingMode::Wireframe, DisplayModeMesh, false},
                          Case{RenderingMode::Surface, DisplayModeSurface, false}}) {
        EXPECT_EQ(PLXRenderingPainterGL::displayMode(c.mode), c.display);
        Model outlines, points;
        outlines.getProperties().setRenderingMode(c.mode);
        points.getProperties().setRenderingMode(c.mode);
        points.getProperties().setGeometry(MPrimitive::Polypoint);
        EXPECT_EQ(PLXRenderingPainterGL::paintsItemByItem(outlines), c.outlinesItemWise);
        EXPECT_TRUE(PLXRenderingPainterGL::paintsItemByItem(points));
    }
    EXPECT_PLEXAN_THROW(PLXRenderingPainterGL::displayMode(RenderingMode::Unknown), ValueError,
                        "DisplayModeGL PLXRenderingPainterGL::displayMode(RenderingMode)",
                        "Unexpected model rendering mode");

    // A model of unknown mode leaves its painter empty.
    auto stack = emptyStack(2);
    Model* odd = addModel(*stack, "odd", MPrimitive::Polygon, RenderingMode::Unknown);
    addItem(odd, stack->getSlice(0), square(0, 0, 2));
    const StackReconstruction<float> reconstruction(*stack);
    PLXRenderingPainterGL painter;
    EXPECT_THROW(painter.setModel(*odd, reconstruction), ValueError);
    EXPECT_TRUE(painter.getItemPainters().empty());
    EXPECT_EQ(painter.getModelPainter(), nullptr);
}

// One outline per slice: a closed tube of the model's grid whose rows follow
// the outlines, closed by caps at both ends.
TEST(RenderingPainters, OneItemPerSliceIsAClosedMeshOfTheModelsGridWithCaps)
{
    auto stack = emptyStack(4, 2.5f);
    Model* tube = addModel(*stack, "tube", MPrimitive::Polygon, RenderingMode::Surface);
    tube->getProperties().setQuadMeshWidth(24);
    tube->getProperties().setQuadMeshHeight(7);
    tube->getProperties().setBeginCapFlag(true);
    tube->getProperties().setEndCapFlag(true);
    const int h = 10;
    for (int k = 0; k < 4; ++k)
        addItem(tube, stack->getSlice(k), square(50 + k, 40, h));
    const StackReconstruction<float> reconstruction(*stack);

    PLXRenderingPainterGL painter;
    painter.setModel(*tube, reconstruction);
    ASSERT_FALSE(painter.isItemWise());
    const PLXModelPainterGL& model = *painter.getModelPainter();
    ASSERT_TRUE(model.isMesh());
    const QuadMesh<float>& mesh = *model.getMesh();
    EXPECT_EQ(mesh.getHeight(), 7);
    EXPECT_EQ(mesh.getWidth(), 24);
    EXPECT_TRUE(mesh.isClosed());
    EXPECT_TRUE(mesh.hasBeginCap());
    EXPECT_TRUE(mesh.hasEndCap());
    EXPECT_EQ(model.getAttributes().getDisplayMode(), DisplayModeSurface);
    EXPECT_TRUE(model.getAttributes().getBeginCapFlag());
    EXPECT_TRUE(model.getAttributes().getEndCapFlag());

    // The first and last rows lie on the first and last outlines.
    for (int row : {0, 6}) {
        const int k = row == 0 ? 0 : 3;
        const std::vector<double> centre = placed(*stack, k, 50 + k, 40);
        for (int c = 0; c < 24; ++c) {
            const Vector<float>& v = mesh[row][c];
            EXPECT_NEAR(v[2], centre[2], 1e-4);
            EXPECT_LT(distanceToSquare(v[0], v[1], centre[0], centre[1], h), 1e-3) << row << " " << c;
        }
    }
    // The begin cap closes the first outline: its innermost ring is the
    // outline shrunk to a point near its centre, in its plane.
    const QuadMesh<float>& cap = *mesh.getBeginCap();
    const std::vector<double> first = placed(*stack, 0, 50, 40);
    const Curve<float>& tip = cap[cap.getHeight() - 1];
    for (int c = 0; c < tip.getNumVertices(); ++c) {
        EXPECT_NEAR(tip[c][0], first[0], 0.2);
        EXPECT_NEAR(tip[c][1], first[1], 0.2);
        EXPECT_NEAR(tip[c][2], first[2], 1e-4);
    }

    // Wireframe draws the same mesh as lines.
    tube->getProperties().setRenderingMode(RenderingMode::Wireframe);
    painter.setModel(*tube, reconstruction);
    EXPECT_EQ(painter.getModelPainter()->getAttributes().getDisplayMode(), DisplayModeMesh);

    // A single outline makes a one-row mesh (a flat disc once capped).
    Model* single = addModel(*stack, "single", MPrimitive::Polygon, RenderingMode::Surface);
    single->getProperties().setQuadMeshWidth(16);
    single->getProperties().setQuadMeshHeight(9);
    addItem(single, stack->getSlice(2), square(0, 0, 4));
    painter.setModel(*single, StackReconstruction<float>(*stack));
    ASSERT_TRUE(painter.getModelPainter()->isMesh());
    EXPECT_EQ(painter.getModelPainter()->getMesh()->getHeight(), 1);
    EXPECT_TRUE(painter.getModelPainter()->getMesh()->hasBeginCap());
}

// Two outlines on one slice next to each other in the stack: the structure
// branches, and no tube can follow it.
TEST(RenderingPainters, TwoItemsOnOneSliceAreDrawnAsCurves)
{
    auto stack = emptyStack(3);
    Model* branching = addModel(*stack, "branching", MPrimitive::Polygon, RenderingMode::Surface);
    addItem(branching, stack->getSlice(0), square(20, 20, 5));
    addItem(branching, stack->getSlice(1), square(10, 20, 4));
    addItem(branching, stack->getSlice(1), square(30, 20, 4));
    addItem(branching, stack->getSlice(2), square(20, 20, 5));
    const StackReconstruction<float> reconstruction(*stack);
    PLXRenderingPainterGL painter;
    painter.setModel(*branching, reconstruction);
    ASSERT_FALSE(painter.isItemWise());
    const PLXModelPainterGL& model = *painter.getModelPainter();
    EXPECT_FALSE(model.isMesh());
    ASSERT_NE(model.getCurves(), nullptr);
    EXPECT_EQ(model.getCurves()->getHeight(), 4);
    EXPECT_EQ(model.getAttributes().getDisplayMode(), DisplayModeCurve);
    // The two outlines of slice 1 are both there, at its height.
    EXPECT_FLOAT_EQ(model.getCurves()->level(1)[0][2], 1.0f);
    EXPECT_FLOAT_EQ(model.getCurves()->level(2)[0][2], 1.0f);
}

// Point sets go item by item, as vertices, whatever their rendering mode;
// symbol sizes are image pixels scaled to stack units.
TEST(RenderingPainters, PointModelsAreDrawnItemByItemAsVertices)
{
    auto stack = emptyStack(3, 4.0f, 0.5f, 0.5f);
    for (RenderingMode mode : {RenderingMode::Surface, RenderingMode::Wireframe, RenderingMode::Curve}) {
        Model* nuclei = addModel(*stack, "nuclei", MPrimitive::Polypoint, mode);
        nuclei->getItemProperties().setPointSize(6);
        nuclei->getItemProperties().setVertexSymbol(VertexSymbol::Cube);
        addItem(nuclei, stack->getSlice(0), {{4, 6}, {10, 2}});
        addItem(nuclei, stack->getSlice(2), {{8, 8}});
        const StackReconstruction<float> reconstruction(*stack);
        PLXRenderingPainterGL painter;
        painter.setModel(*nuclei, reconstruction);
        ASSERT_TRUE(painter.isItemWise());
        ASSERT_EQ(painter.getItemPainters().size(), 2u);
        const PLXModelItemPainterGL& second = *painter.getItemPainters()[1];
        ASSERT_NE(second.getShape(), nullptr);
        EXPECT_EQ(dynamic_cast<const Curve<float>*>(second.getShape()), nullptr);
        EXPECT_EQ(second.getAttributes().getDisplayMode(), DisplayModeSymbol);
        EXPECT_EQ(second.getAttributes().getVertexSymbol(), VertexSymbolCube);
        EXPECT_FLOAT_EQ(second.getAttributes().getSymbolSize(), 3.0f);
        const std::vector<double> expected = placed(*stack, 2, 8, 8);
        const Vector<float>& v = second.getShape()->vertex(0);
        for (int d = 0; d < 3; ++d)
            EXPECT_NEAR(v[d], expected[d], 1e-5);
        const Vertices<float>& first = *painter.getItemPainters()[0]->getShape();
        EXPECT_EQ(first.getNumVertices(), 2);
        stack->deleteModel(stack->findModel(nuclei));
    }
}

// Outlines rendered as curves or dots are drawn item by item too: each item
// as its closed curve, or as its vertices' symbols.
TEST(RenderingPainters, OutlinesAsCurvesOrDotsAreDrawnItemByItem)
{
    auto stack = emptyStack(2);
    Model* outline = addModel(*stack, "outline", MPrimitive::Polygon, RenderingMode::Curve);
    addItem(outline, stack->getSlice(0), square(5, 5, 2));
    addItem(outline, stack->getSlice(1), square(5, 5, 3));
    Model* line = addModel(*stack, "line", MPrimitive::Polyline, RenderingMode::Dot);
    addItem(line, stack->getSlice(1), {{0, 0}, {3, 4}, {6, 0}});
    const StackReconstruction<float> reconstruction(*stack);

    PLXRenderingPainterGL painter;
    painter.setModel(*outline, reconstruction);
    ASSERT_EQ(painter.getItemPainters().size(), 2u);
    const auto* curve = dynamic_cast<const Curve<float>*>(painter.getItemPainters()[1]->getShape());
    ASSERT_NE(curve, nullptr);
    EXPECT_TRUE(curve->isClosed());
    EXPECT_EQ(curve->getNumVertices(), 8);
    EXPECT_EQ(painter.getItemPainters()[1]->getAttributes().getDisplayMode(), DisplayModeCurve);

    painter.setModel(*line, reconstruction);
    ASSERT_EQ(painter.getItemPainters().size(), 1u);
    const auto* open = dynamic_cast<const Curve<float>*>(painter.getItemPainters()[0]->getShape());
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->isOpen());
    EXPECT_EQ(painter.getItemPainters()[0]->getAttributes().getDisplayMode(), DisplayModeSymbol);
}

// Each attribute comes from the item when it defines it, else from its
// model; surfaces add the model's material and caps.
TEST(RenderingPainters, AttributesComeFromTheItemElseTheModel)
{
    const std::pair<VertexSymbol, VertexSymbolGL> symbols[] = {
        {VertexSymbol::Cube, VertexSymbolCube},       {VertexSymbol::Dot, VertexSymbolDot},
        {VertexSymbol::Diamond, VertexSymbolDiamond}, {VertexSymbol::Sphere, VertexSymbolSphere},
        {VertexSymbol::Tetrahedron, VertexSymbolTetrahedron}, {VertexSymbol::Unknown, VertexSymbolNone}};
    for (const auto& [symbol, expected] : symbols)
        EXPECT_EQ(PLXRenderingPainterGL::vertexSymbol(symbol), expected);

    ModelItemProperties model, own;
    model.setDefaults();
    model.setColor(10, 20, 30);
    model.setLineWidth(2);
    model.setVisible(true);
    own.setColor(200, 100, 50);
    own.setPointSize(7);
    own.setVisible(false);
    const ShapePainterAttributesGL a = PLXRenderingPainterGL::itemAttributes(own, model);
    EXPECT_EQ(a.getColor(), (Vector<int>{200, 100, 50}));
    EXPECT_FLOAT_EQ(a.getLineWidth(), 2.0f);
    EXPECT_FLOAT_EQ(a.getSymbolSize(), 7.0f);
    EXPECT_EQ(a.getVertexSymbol(), VertexSymbolSphere);
    EXPECT_FALSE(a.getVisibility());
    // Nothing defined on either side: nothing asked of the painter.
    const ShapePainterAttributesGL none = PLXRenderingPainterGL::itemAttributes({}, {});
    EXPECT_FALSE(none.useColor() || none.useSymbolSize() || none.useVisibility() || none.useVertexSymbol() ||
                 none.useLineWidth());

    auto stack = emptyStack(2);
    Model* glass = addModel(*stack, "glass", MPrimitive::Polygon, RenderingMode::Surface);
    glass->getProperties().setQuadMeshWidth(12);
    glass->getProperties().setQuadMeshHeight(3);
    glass->getProperties().setOpacity(120);
    glass->getProperties().setShininess(64);
    glass->getItemProperties().setColor(1, 2, 3);
    addItem(glass, stack->getSlice(0), square(0, 0, 3));
    addItem(glass, stack->getSlice(1), square(0, 0, 3));
    PLXRenderingPainterGL painter;
    painter.setModel(*glass, StackReconstruction<float>(*stack));
    const ShapePainterAttributesGL& surface = painter.getModelPainter()->getAttributes();
    EXPECT_FLOAT_EQ(surface.getTransparency(), 120.0f);
    EXPECT_FLOAT_EQ(surface.getShininess(), 64.0f);
    EXPECT_EQ(surface.getColor(), (Vector<int>{1, 2, 3}));
    // Caps the model leaves undefined stay undefined (and are not drawn).
    EXPECT_FALSE(surface.hasBeginCapFlag());
    EXPECT_FALSE(surface.hasEndCapFlag());
    EXPECT_FALSE(painter.isOpaque());
    glass->getProperties().setOpacity(255);
    painter.setModel(*glass, StackReconstruction<float>(*stack));
    EXPECT_TRUE(painter.isOpaque());
}
