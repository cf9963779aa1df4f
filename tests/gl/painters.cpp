#include "gl/curvepaintergl.h"
#include "gl/curvestackpaintergl.h"
#include "gl/quadmeshpaintergl.h"
#include "gl/shapepainterattributesgl.h"
#include "gl/shapeviewerpaintergl.h"
#include "gl/trimeshpaintergl.h"
#include "gl/verticespaintergl.h"
#include "gl/voxelmatrixpaintergl.h"
#include "glscene.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <QColor>

#include <cmath>
#include <numbers>
#include <sstream>
#include <typeinfo>

namespace {

// A closed ring of n vertices of radius r in the plane z.
template <typename T>
Curve<T> ring(int n, T r, T z)
{
    Curve<T> curve(3, n);
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        curve[i] = Vector<T>{static_cast<T>(r * std::cos(a)), static_cast<T>(r * std::sin(a)), z};
    }
    return curve;
}

// A closed tube of radius r along z from 0 to length.
template <typename T>
QuadMesh<T> tube(int height, int width, T r, T length)
{
    QuadMesh<T> mesh;
    for (int k = 0; k < height; ++k)
        mesh.append(ring<T>(width, r, length * k / (height - 1)));
    return mesh;
}

// Two triangles covering the square [-1, 1]^2 at height z.
TriMesh<float> square(float z)
{
    TriMesh<float> mesh(3, 4);
    mesh[0] = Vector<float>{-1, -1, z};
    mesh[1] = Vector<float>{1, -1, z};
    mesh[2] = Vector<float>{1, 1, z};
    mesh[3] = Vector<float>{-1, 1, z};
    mesh.addTriangle(0, 1, 2);
    mesh.addTriangle(0, 2, 3);
    return mesh;
}

ShapePainterAttributesGL coloured(int r, int g, int b)
{
    ShapePainterAttributesGL a;
    a.setColor(r, g, b);
    return a;
}

::testing::AssertionResult near(QRgb pixel, int r, int g, int b, int tolerance = 3)
{
    if (std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance &&
        std::abs(qBlue(pixel) - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << qRed(pixel) << ", " << qGreen(pixel) << ", "
                                         << qBlue(pixel) << "), expected (" << r << ", " << g << ", " << b << ")";
}

} // namespace

// Attributes -------------------------------------------------------------------------

TEST(ShapePainterAttributesGL, IntersectionKeepsWhatBothDefineAlike)
{
    const ShapePainterAttributesGL defaults;
    EXPECT_EQ(defaults.intersection(defaults), defaults);

    ShapePainterAttributesGL a, b;
    a.setColor(255, 0, 0);
    b.setColor(255, 0, 1); // one component apart
    a.setLineWidth(2);
    b.setLineWidth(2);
    a.setSmoothing(3);     // only in a
    b.setVisibility(false);
    a.setBeginCapFlag(true);
    b.setBeginCapFlag(true);
    const ShapePainterAttributesGL both = a.intersection(b);
    EXPECT_FALSE(both.useColor());
    EXPECT_EQ(both.getLineWidth(), 2.0f);
    EXPECT_FALSE(both.useSmoothing());
    EXPECT_FALSE(both.useVisibility());
    EXPECT_TRUE(both.getBeginCapFlag());
    EXPECT_FALSE(both.hasEndCapFlag());
    EXPECT_TRUE(both.useSymbolSize()); // equal defaults
    EXPECT_EQ(both, b.intersection(a));

    // update overlays exactly what the other set defines.
    ShapePainterAttributesGL c = defaults;
    ShapePainterAttributesGL patch;
    patch.clear();
    patch.setColor(1, 2, 3);
    patch.setVisibility(false);
    c.update(patch);
    EXPECT_EQ(c.getColor(), (Vector<int>{1, 2, 3}));
    EXPECT_FALSE(c.getVisibility());
    EXPECT_EQ(c.getSymbolSize(), 10.0f);
    EXPECT_NE(c, defaults);
    ShapePainterAttributesGL empty;
    empty.clear();
    c.update(empty);
    EXPECT_EQ(c.intersection(c), c);
}

TEST(ShapePainterAttributesGL, UndefinedFlagsAndPrintedLines)
{
    ShapePainterAttributesGL a;
    a.clear();
    EXPECT_PLEXAN_THROW(a.getVisibility(), ProgramError, "bool ShapePainterAttributesGL::getVisibility() const",
                        "Visibility: undefined attribute");
    EXPECT_PLEXAN_THROW(a.getBeginCapFlag(), ProgramError, "bool ShapePainterAttributesGL::getBeginCapFlag() const",
                        "Begin cap flag: undefined attribute");
    EXPECT_PLEXAN_THROW(a.getEndCapFlag(), ProgramError, "bool ShapePainterAttributesGL::getEndCapFlag() const",
                        "End cap flag: undefined attribute");
    a.setColor(10, 20, 30);
    a.setTransparency(254.5f);
    std::ostringstream out;
    a.print("> ", out);
    EXPECT_EQ(out.str(), "> Color        = 10 20 30\n"
                         "> Display mode = (none)\n"
                         "> LineWidth    = (none)\n"
                         "> Transparency = 254.5\n"
                         "> Shininess    = (none)\n"
                         "> Symbol size  = (none)\n"
                         "> Symbol type  = (none)\n");
    EXPECT_STREQ(ShapePainterAttributesGL::displayModeName(3), "Symbol+Curve");
    EXPECT_STREQ(ShapePainterAttributesGL::vertexSymbolName(5), "Diamond");
}

// Painters without drawing ------------------------------------------------------------

TEST(ShapePainterGL, OpacityFollowsTransparencyAndWrongShapesAreRefused)
{
    TriMeshPainterGL<double> painter;
    ShapePainterAttributesGL a;
    EXPECT_TRUE(painter.isOpaque());
    a.setTransparency(254.5f);
    painter.setAttributes(a);
    EXPECT_FALSE(painter.isOpaque());
    a.setTransparency(255.0f);
    painter.setAttributes(a);
    EXPECT_TRUE(painter.isOpaque());

    const Curve<double> curve = ring<double>(5, 1.0, 0.0);
    EXPECT_THROW(painter.setShape(curve), std::bad_cast);
    EXPECT_FALSE(painter.hasShape());
    QuadMeshPainterGL<double> quads;
    EXPECT_THROW(quads.setShape(curve), std::bad_cast);
    CurvePainterGL<double> curves;
    curves.setShape(curve);
    EXPECT_EQ(curves.boundingBox().getVertex2(), curve.boundingBox().getVertex2());
    EXPECT_TRUE(curves.isVisible());

    // The viewer's wrapper forwards to its proxy.
    auto proxy = std::make_unique<TriMeshPainterGL<float>>();
    TriMesh<float> mesh = square(2);
    proxy->setShape(mesh);
    a.setTransparency(100);
    proxy->setAttributes(a);
    ShapeViewerPainterGL wrapper(std::move(proxy));
    EXPECT_FALSE(wrapper.isOpaque());
    EXPECT_EQ(wrapper.boundingBox().getVertex1(), (Vector<float>{-1, -1, 2}));
    ShapeViewerPainterGL other(std::make_unique<CurvePainterGL<float>>());
    EXPECT_NE(other.getName(), wrapper.getName());
    EXPECT_TRUE(other.boundingBox().isEmpty());
}

TEST(QuadMeshPainterGL, TubeNormalsPointAwayFromTheAxis)
{
    // On a cylinder the normal at (r cos a, r sin a, z) is (cos a, sin a, 0).
    const QuadMesh<long double> mesh = tube<long double>(4, 12, 2.0L, 3.0L);
    QuadMeshPainterGL<long double> painter;
    painter.setShape(mesh);
    const std::vector<float>& normals = painter.getNormals();
    ASSERT_EQ(normals.size(), 4u * 12u * 3u);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 12; ++c) {
            const double a = 2 * std::numbers::pi * c / 12;
            const float* n = normals.data() + (r * 12 + c) * 3;
            EXPECT_NEAR(n[0], std::cos(a), 1e-5) << r << ", " << c;
            EXPECT_NEAR(n[1], std::sin(a), 1e-5);
            EXPECT_NEAR(n[2], 0.0, 1e-5);
        }
}

// The painter smooths the normals of its own copy: the caller's mesh keeps
// its normals (a painter once overwrote them).
TEST(TriMeshPainterGL, SmoothingChangesOnlyThePaintedNormals)
{
    TriMesh<float> mesh = tube<float>(5, 8, 1.0f, 2.0f).toTriMesh();
    mesh.computeNormals();
    const Vertices<float> before = mesh.getNormals();
    TriMeshPainterGL<float> painter;
    painter.setShape(mesh);
    ShapePainterAttributesGL a;
    a.setSmoothing(4);
    painter.setAttributes(a);
    TriMesh<float> reference = mesh;
    reference.smoothNormals(4);
    for (int v = 0; v < mesh.getNumVertices(); ++v)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(mesh.getNormal(v)[k], before.vertex(v)[k]);
            EXPECT_FLOAT_EQ(painter.getPaintedMesh().getNormal(v)[k], reference.getNormal(v)[k]);
        }
}

TEST(VoxelMatrixPainterGL, SymbolsSitAtTheCentresOfTheChosenCells)
{
    VoxelMatrix<double> matrix(3, 4, 2); // rows, columns, planes
    int count = 0;
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j)
                matrix(i, j, k) = (i + j + k) % 2;
    VoxelMatrixPainterGL<double> painter;
    painter.setVoxelMatrix(matrix);
    painter.setBoundingBox(BoundingBox<double>(Vector<double>{0, 0, 0}, Vector<double>{8, 6, 4}));
    const Vertices<double>& symbols = painter.getSymbols();
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j)
                if (matrix(i, j, k) >= 1) {
                    ASSERT_LT(count, symbols.getNumVertices());
                    EXPECT_EQ(symbols[count], (Vector<double>{2.0 * j + 1, 2.0 * i + 1, 2.0 * k + 1}));
                    ++count;
                }
    EXPECT_EQ(count, symbols.getNumVertices());
    EXPECT_EQ(painter.getSymbolSize(), 1.0); // half the smallest cell side
    painter.setConversionParameters(0.0, 2);
    EXPECT_EQ(painter.getSymbols().getNumVertices(), 2 * 2 * 1);
    EXPECT_EQ(painter.getSymbolSize(), 2.0);
}

// Drawn pixels -----------------------------------------------------------------------------

TEST(PainterDisplay, SphereSymbolsAppearWhereTheirVerticesProject)
{
    GLScene scene(240, 200);
    Vertices<float> points(3, 2);
    points[0] = Vector<float>{-1.0f, -0.5f, 0.0f};
    points[1] = Vector<float>{1.5f, 0.5f, 0.0f};
    VerticesPainterGL<float> painter;
    painter.setShape(points);
    ShapePainterAttributesGL a = coloured(255, 0, 0);
    a.setVertexSymbol(VertexSymbolSphere);
    a.setSymbolSize(0.2f);
    painter.setAttributes(a);
    scene.canvas.addPainter(&painter);

    // Scene: box [-1, 1.5] x [-0.5, 0.5] x 0, R = 0.6 x its diagonal.
    const double centre[2] = {0.25, 0.0};
    const double radius = 0.6 * std::hypot(2.5, 1.0);
    for (int pass = 0; pass < 2; ++pass) {
        // Second pass: the sphere from the display list.
        if (pass == 1) {
            scene.canvas.makeCurrent();
            painter.glInit();
            scene.canvas.doneCurrent();
        }
        const QImage image = scene.frame();
        for (int i = 0; i < 2; ++i) {
            const QPoint p = scene.project(points[i][0], points[i][1], centre, radius);
            EXPECT_TRUE(near(image.pixel(p), 255, 0, 0)) << "vertex " << i << " pass " << pass;
        }
        const QPoint between = scene.project(0.25, 0.0, centre, radius);
        EXPECT_TRUE(near(image.pixel(between), 0, 0, 0));
        // Just outside a sphere's radius.
        const QPoint outside = scene.project(-1.0, -0.5 + 0.3, centre, radius);
        EXPECT_TRUE(near(image.pixel(outside), 0, 0, 0));
    }
    scene.canvas.makeCurrent();
    painter.glClear();
    scene.canvas.doneCurrent();
    EXPECT_FALSE(painter.usesSphereList());
}

TEST(PainterDisplay, ClosedCurvesDrawTheClosingEdgeOpenOnesDoNot)
{
    GLScene scene(200, 200);
    // The square's corners counter-clockwise from (-1, -1): the closing edge
    // is the left side. One curve on a fresh pool, one grown vertex by
    // vertex (its coordinates are packed rather than read in place).
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    Curve<float> fresh(3, 4);
    Curve<float> grown;
    for (int i = 0; i < 4; ++i) {
        fresh[i] = Vector<float>{corners[i][0], corners[i][1], 0.0f};
        grown.append(Vector<float>{corners[i][0], corners[i][1], 0.0f});
    }
    const double centre[2] = {0, 0};
    const double radius = 0.6 * std::sqrt(8.0);
    for (Curve<float>* curve : {&fresh, &grown}) {
        CurvePainterGL<float> painter;
        painter.setShape(*curve);
        ShapePainterAttributesGL a = coloured(0, 255, 0);
        a.setDisplayMode(DisplayModeCurve);
        a.setLineWidth(3);
        painter.setAttributes(a);
        scene.canvas.setPainters({&painter});
        for (bool open : {false, true}) {
            curve->setOpen(open);
            const QImage image = scene.frame();
            EXPECT_TRUE(near(image.pixel(scene.project(0.0, -1.0, centre, radius)), 0, 255, 0));
            EXPECT_TRUE(near(image.pixel(scene.project(1.0, 0.0, centre, radius)), 0, 255, 0));
            EXPECT_TRUE(near(image.pixel(scene.project(0.0, 1.0, centre, radius)), 0, 255, 0));
            const QRgb left = image.pixel(scene.project(-1.0, 0.0, centre, radius));
            if (open)
                EXPECT_TRUE(near(left, 0, 0, 0));
            else
                EXPECT_TRUE(near(left, 0, 255, 0));
            EXPECT_TRUE(near(image.pixel(scene.project(0.0, 0.0, centre, radius)), 0, 0, 0));
        }
        scene.canvas.removePainters();
    }
}

TEST(PainterDisplay, TransparentSurfacesBlendOverOpaqueOnesWhateverTheirOrder)
{
    GLScene scene(200, 200);
    TriMesh<float> near_ = square(0.5f), far_ = square(0.0f);
    TriMeshPainterGL<float> glass, wall;
    ShapePainterAttributesGL red = coloured(255, 0, 0), blue = coloured(0, 0, 255);
    red.setDisplayMode(DisplayModeSurface);
    blue.setDisplayMode(DisplayModeSurface);
    red.setTransparency(128);
    glass.setShape(near_);
    glass.setAttributes(red);
    wall.setShape(far_);
    wall.setAttributes(blue);
    // The transparent painter comes first in the list.
    scene.canvas.setPainters({&glass, &wall});
    const double centre[2] = {0, 0};
    const double radius = 0.6 * std::sqrt(8.25);
    const QPoint middle = scene.project(0.2, 0.3, centre, radius);
    const double alpha = 128 / 255.0;
    const QRgb blended = scene.frame().pixel(middle);
    EXPECT_TRUE(near(blended, static_cast<int>(std::lround(255 * alpha)), 0,
                     static_cast<int>(std::lround(255 * (1 - alpha)))));
    // Regression: the blend also lowered the frame's alpha, and the widget
    // showed the view mixed with what lay under it, its colours garbled
    // where a channel exceeded the alpha.
    const QRgb shown = scene.canvas.grab().toImage().pixel(middle);
    EXPECT_EQ(qAlpha(shown), 255);
    EXPECT_TRUE(near(shown, qRed(blended), qGreen(blended), qBlue(blended)));

    // Behind an opaque surface the transparent one is hidden.
    glass.setShape(far_);
    wall.setShape(near_);
    EXPECT_TRUE(near(scene.frame().pixel(middle), 0, 0, 255));
}

namespace {

// Lets the viewer, which holds float painters, draw a painter of another
// coordinate type.
template <typename T>
class AsFloat : public PainterGL<float> {
public:
    explicit AsFloat(PainterGL<T>& painter) : m_painter(painter) {}
    BoundingBox<float> boundingBox() const override
    {
        const BoundingBox<T> box = m_painter.boundingBox();
        return BoundingBox<float>(box.getVertex1().template toType<float>(),
                                  box.getVertex2().template toType<float>());
    }
    bool isOpaque() const override { return m_painter.isOpaque(); }
    void glDraw() override { m_painter.glDraw(); }

private:
    PainterGL<T>& m_painter;
};

} // namespace

// Double and long double coordinates are converted for GL: the same shapes
// draw the same pixels as in float.
TEST(PainterDisplay, WiderCoordinatesDrawAsFloatOnes)
{
    GLScene scene(200, 200);
    TriMesh<double> wall(3, 4);
    const double corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; ++i)
        wall[i] = Vector<double>{corners[i][0], corners[i][1], 0.0};
    wall.addTriangle(0, 1, 2);
    wall.addTriangle(0, 2, 3);
    TriMeshPainterGL<double> surface;
    ShapePainterAttributesGL blue = coloured(0, 0, 255);
    blue.setDisplayMode(DisplayModeSurface);
    surface.setAttributes(blue);
    surface.setShape(wall);
    // A closed long double outline just inside the wall, in front of it.
    Curve<long double> outline(3, 4);
    for (int i = 0; i < 4; ++i)
        outline[i] = Vector<long double>{0.5L * corners[i][0], 0.5L * corners[i][1], 0.1L};
    CurvePainterGL<long double> line;
    ShapePainterAttributesGL green = coloured(0, 255, 0);
    green.setDisplayMode(DisplayModeCurve);
    green.setLineWidth(3);
    line.setAttributes(green);
    line.setShape(outline);
    AsFloat<double> a(surface);
    AsFloat<long double> b(line);
    scene.canvas.setPainters({&a, &b});
    const double centre[2] = {0, 0};
    const double radius = 0.6 * std::sqrt(8.01);
    const QImage image = scene.frame();
    EXPECT_TRUE(near(image.pixel(scene.project(0.8, 0.8, centre, radius)), 0, 0, 255));
    EXPECT_TRUE(near(image.pixel(scene.project(0.0, 0.0, centre, radius)), 0, 0, 255));
    EXPECT_TRUE(near(image.pixel(scene.project(-0.5, 0.0, centre, radius)), 0, 255, 0)); // closing edge
    EXPECT_TRUE(near(image.pixel(scene.project(0.0, 0.5, centre, radius)), 0, 255, 0));
    EXPECT_TRUE(near(image.pixel(scene.project(1.2, 0.0, centre, radius)), 0, 0, 0));
}

TEST(PainterDisplay, QuadMeshCapsShowOnlyWhenBuiltAndAsked)
{
    GLScene scene(200, 200);
    // Looking down a tube: its wall is seen edge on, the inside is open.
    QuadMesh<float> mesh = tube<float>(3, 24, 1.0f, 1.0f);
    QuadMeshPainterGL<float> painter;
    ShapePainterAttributesGL a = coloured(255, 255, 0);
    a.setDisplayMode(DisplayModeSurface);
    a.setBeginCapFlag(true);
    a.setEndCapFlag(true);
    painter.setAttributes(a);
    painter.setShape(mesh);
    scene.canvas.addPainter(&painter);
    const double centre[2] = {0, 0};
    const double radius = 0.6 * 3.0; // box [-1, 1]^2 x [0, 1]
    const QPoint inside = scene.project(0.4, 0.2, centre, radius);
    EXPECT_TRUE(near(scene.frame().pixel(inside), 0, 0, 0)) << "flags set, no caps built";
    mesh.buildCaps();
    painter.setShape(mesh);
    EXPECT_TRUE(near(scene.frame().pixel(inside), 255, 255, 0)) << "caps built and asked";
    a.setEndCapFlag(false);
    a.setBeginCapFlag(false);
    painter.setAttributes(a);
    EXPECT_TRUE(near(scene.frame().pixel(inside), 0, 0, 0)) << "caps built, not asked";

    // Vertex colours win over the colour attribute on the tube's wall, seen
    // from the side. (Lit colours are 1.2 times the colour under full
    // ambient light: components 0 and 255 stay as they are.)
    auto colours = std::make_unique<QuadMesh<int>>(3, 3, 24);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 24; ++c)
            colours->level(r)[c] = Vector<int>{0, 255, 255};
    mesh.setVertexColors(std::move(colours));
    scene.canvas.setRotation(Vector<float>{90, 0, 0});
    EXPECT_TRUE(near(scene.frame().pixel(QPoint(100, 100)), 0, 255, 255));
    // Lit by the diffuse light alone, the wall facing the viewer is bright:
    // its triangles' front faces carry the outward normals (with the two
    // reversed, two-sided lighting turned the normals away and the wall
    // showed only the ambient part).
    scene.canvas.setAmbientLight(0);
    scene.canvas.setDiffuseLight(255);
    EXPECT_TRUE(near(scene.frame().pixel(QPoint(100, 100)), 0, 255, 255, 8));
}
