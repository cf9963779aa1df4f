#include "gl/draftmesh.h"
#include "gl/quadmeshpaintergl.h"
#include "gl/trimeshpaintergl.h"
#include "glscene.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// A UV sphere of radius r: rings x segments quads between the poles, as
// flat arrays, triangles turning outward.
struct Sphere {
    std::vector<float> xyz;
    std::vector<float> normals;
    std::vector<unsigned int> triangles;
};

Sphere sphere(double r, int rings, int segments)
{
    Sphere s;
    for (int i = 0; i <= rings; ++i) {
        const double theta = std::numbers::pi * i / rings;
        for (int j = 0; j < segments; ++j) {
            const double phi = 2 * std::numbers::pi * j / segments;
            const double n[3] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
            for (double c : n) {
                s.xyz.push_back(static_cast<float>(r * c));
                s.normals.push_back(static_cast<float>(c));
            }
        }
    }
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            const unsigned int a = i * segments + j, b = i * segments + (j + 1) % segments;
            const unsigned int c = a + segments, d = b + segments;
            if (i > 0)
                s.triangles.insert(s.triangles.end(), {a, c, b});
            if (i + 1 < rings)
                s.triangles.insert(s.triangles.end(), {b, c, d});
        }
    return s;
}

// Signed volume enclosed by triangles (divergence theorem).
double enclosedVolume(const std::vector<float>& xyz, const std::vector<unsigned int>& triangles)
{
    double volume = 0;
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        const float* a = &xyz[3 * triangles[t]];
        const float* b = &xyz[3 * triangles[t + 1]];
        const float* c = &xyz[3 * triangles[t + 2]];
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) /
                  6.0;
    }
    return volume;
}

} // namespace

TEST(DraftMesh, ACoarseSphereStaysOnTheSphereAndEnclosesItsVolume)
{
    const double r = 3.0;
    const Sphere s = sphere(r, 100, 100); // 19,800 triangles
    DraftMesh draft;
    draft.build(s.xyz.data(), 3, 3, s.normals.data(), s.triangles.data(), s.triangles.size() / 3, 2000);
    ASSERT_FALSE(draft.isEmpty());
    EXPECT_LE(draft.getNumTriangles(), 2200u);
    EXPECT_GE(draft.getNumTriangles(), 500u);
    const double reach = draft.getCellSize() * std::sqrt(3.0);
    const auto& p = draft.getPositions();
    const auto& n = draft.getNormals();
    for (std::size_t k = 0; k < draft.getNumVertices(); ++k) {
        const double d = std::hypot(p[3 * k], p[3 * k + 1], p[3 * k + 2]);
        ASSERT_NEAR(d, r, reach) << "vertex " << k;
        ASSERT_NEAR(std::hypot(n[3 * k], n[3 * k + 1], n[3 * k + 2]), 1.0, 1e-5);
        // Outward, as the sphere's own normals.
        ASSERT_GT(n[3 * k] * p[3 * k] + n[3 * k + 1] * p[3 * k + 1] + n[3 * k + 2] * p[3 * k + 2], 0.0);
    }
    for (unsigned int v : draft.getTriangles())
        ASSERT_LT(v, draft.getNumVertices());
    // Orientation kept, volume close to the ball's.
    const double ball = 4.0 / 3.0 * std::numbers::pi * r * r * r;
    EXPECT_NEAR(enclosedVolume(p, draft.getTriangles()), ball, 0.06 * ball);
}

TEST(DraftMesh, WithoutNormalsTheTrianglesGiveThemAndFlatOrEmptyInputGivesNothing)
{
    // A 2-D grid (two coordinates per vertex, four floats apart).
    const int side = 60;
    std::vector<float> xy;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            xy.insert(xy.end(), {static_cast<float>(x), static_cast<float>(y), -7.0f, -7.0f});
    std::vector<unsigned int> triangles;
    for (int y = 0; y + 1 < side; ++y)
        for (int x = 0; x + 1 < side; ++x) {
            const unsigned int a = y * side + x;
            triangles.insert(triangles.end(), {a, a + 1, a + side, a + 1, a + side + 1, a + side});
        }
    DraftMesh draft;
    draft.build(xy.data(), 2, 4, nullptr, triangles.data(), triangles.size() / 3, 300);
    ASSERT_FALSE(draft.isEmpty());
    EXPECT_LE(draft.getNumTriangles(), 330u);
    for (std::size_t k = 0; k < draft.getNumVertices(); ++k) {
        EXPECT_EQ(draft.getPositions()[3 * k + 2], 0.0f);
        EXPECT_FLOAT_EQ(draft.getNormals()[3 * k + 2], 1.0f); // counter-clockwise triangles face +z
    }

    // All vertices on one line: no area, no copy.
    std::vector<float> line = {0, 0, 0, 1, 1, 1, 2, 2, 2};
    std::vector<unsigned int> flat = {0, 1, 2};
    draft.build(line.data(), 3, 3, nullptr, flat.data(), 1, 10);
    EXPECT_TRUE(draft.isEmpty());
    draft.build(line.data(), 3, 3, nullptr, flat.data(), 0, 10);
    EXPECT_TRUE(draft.isEmpty());
}

namespace {

// Pixels of the view that show the (red) surface.
std::vector<bool> covered(const QImage& image)
{
    std::vector<bool> mask;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mask.push_back(qRed(image.pixel(x, y)) > 128);
    return mask;
}

// Draws the painter's surface turning (a draft frame) and at rest, and
// answers the share of surface pixels on which the two disagree.
double draftDisagreement(PainterGL<float>& painter)
{
    GLScene scene(200, 200);
    scene.canvas.addPainter(&painter);
    scene.canvas.setRotation(Vector<float>{0, 0, 10});
    EXPECT_TRUE(scene.canvas.isMoving());
    const std::vector<bool> turning = covered(scene.frame());
    QTest::qWait(400);
    EXPECT_FALSE(scene.canvas.isMoving());
    const std::vector<bool> still = covered(scene.frame());
    int surface = 0, differ = 0;
    for (std::size_t k = 0; k < still.size(); ++k) {
        surface += still[k];
        differ += still[k] != turning[k];
    }
    EXPECT_GT(surface, 5000);
    return surface > 0 ? static_cast<double>(differ) / surface : 1.0;
}

ShapePainterAttributesGL redSurface()
{
    ShapePainterAttributesGL a;
    a.setColor(255, 0, 0);
    a.setDisplayMode(DisplayModeSurface);
    return a;
}

} // namespace

TEST(DraftMeshDisplay, LargeSurfacesTurnAsCoarseCopiesOfTheSameOutline)
{
    // Just above the draft threshold.
    const Sphere s = sphere(1.0, 220, 460);
    TriMesh<float> mesh(3, static_cast<int>(s.xyz.size() / 3));
    for (int k = 0; k < mesh.getNumVertices(); ++k)
        mesh[k] = Vector<float>{s.xyz[3 * k], s.xyz[3 * k + 1], s.xyz[3 * k + 2]};
    for (std::size_t t = 0; t < s.triangles.size(); t += 3)
        mesh.addTriangle(s.triangles[t], s.triangles[t + 1], s.triangles[t + 2]);
    ASSERT_GT(mesh.getNumTriangles(), draftTriangles);
    TriMeshPainterGL<float> painter;
    painter.setAttributes(redSurface());
    painter.setShape(mesh);
    EXPECT_LT(draftDisagreement(painter), 0.01);
    EXPECT_GT(painter.getDraftMesh().getNumTriangles(), draftTriangles / 4u);
    EXPECT_LE(painter.getDraftMesh().getNumTriangles(), draftTriangles * 11u / 10u);

    // A quadrilateral tube of the same size skips levels and columns.
    QuadMesh<float> tube(3, 320, 320);
    for (int r = 0; r < 320; ++r)
        for (int c = 0; c < 320; ++c) {
            const double a = 2 * std::numbers::pi * c / 320;
            tube.level(r)[c] = Vector<float>{static_cast<float>(0.8 * std::cos(a)),
                                             static_cast<float>(-0.9 + 1.8 * r / 319.0),
                                             static_cast<float>(0.8 * std::sin(a))};
        }
    QuadMeshPainterGL<float> tubePainter;
    tubePainter.setAttributes(redSurface());
    tubePainter.setShape(tube);
    EXPECT_LT(draftDisagreement(tubePainter), 0.01);
}
