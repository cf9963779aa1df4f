#include "stack/modelitem.h"

#include "stackfixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

using namespace stacktest;

namespace {

BoundingBox<int> box(int x1, int y1, int x2, int y2)
{
    return BoundingBox<int>(Vector<int>{x1, y1}, Vector<int>{x2, y2});
}

void expectBox(const BoundingBox<int>& actual, const BoundingBox<int>& expected)
{
    EXPECT_EQ(actual.getVertex1(), expected.getVertex1());
    EXPECT_EQ(actual.getVertex2(), expected.getVertex2());
}

// A model of geometry g whose items draw with no margin.
struct Fixture {
    explicit Fixture(MPrimitive g)
    {
        model.getProperties().setGeometry(g);
        model.getItemProperties().setLineWidth(0.0f);
        model.getItemProperties().setPointSize(0.0f);
        item = newItem(&model, slice.get(), {});
    }
    Model model;
    std::unique_ptr<StackSlice> slice{newSlice("s")};
    ModelItem* item;
};

const Points square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};

// Exact nearness test in integers: perpendicular distance when the
// projection falls strictly inside the segment, else (with ends) the ends.
bool nearSegment(int ax, int ay, int bx, int by, int px, int py, int tol, bool ends)
{
    const std::int64_t dx = bx - ax, dy = by - ay, qx = px - ax, qy = py - ay;
    const std::int64_t dq = dx * qx + dy * qy, dd = dx * dx + dy * dy;
    const std::int64_t cross = dx * qy - dy * qx;
    if (0 < dq && dq < dd && cross * cross <= std::int64_t(tol) * tol * dd)
        return true;
    auto within = [&](int x, int y) {
        return std::int64_t(px - x) * (px - x) + std::int64_t(py - y) * (py - y) <= std::int64_t(tol) * tol;
    };
    return ends && (within(ax, ay) || within(bx, by));
}

} // namespace

TEST(ModelItemEditing, UpdateBoxesFollowTheEditedVertices)
{
    Fixture f(MPrimitive::Polygon);
    ModelItem& item = *f.item;
    item.setVertices(toVertices(square));
    // Closed outline: the box around vertex 0 wraps to the last vertex.
    item.removeVertex(0);
    expectBox(item.getUpdateBox(), box(0, 0, 10, 10));
    EXPECT_EQ(toPoints(item.getVertices()), (Points{{10, 0}, {10, 10}, {0, 10}}));
    item.insertVertex(0, Vector<int>{0, 0});
    expectBox(item.getUpdateBox(), box(0, 0, 10, 10));
    EXPECT_EQ(toPoints(item.getVertices()), square);
    EXPECT_EQ(item.getSelection().getLength(), 4);

    // Moving merges the boxes around the vertex before and after.
    item.moveVertex(1, Vector<int>{20, -5});
    expectBox(item.getUpdateBox(), box(0, -5, 20, 10));

    // With margin m the box runs from vertex 1 - m to vertex 2 + m + 1.
    item.getProperties().setPointSize(2.7f);
    expectBox(item.updateBox(), box(-2, -7, 23, 13));
    f.model.getItemProperties().setLineWidth(4.0f);
    expectBox(item.updateBox(), box(-4, -9, 25, 15));
}

TEST(ModelItemEditing, BoxAroundAVertexDependsOnGeometry)
{
    for (MPrimitive g : {MPrimitive::Polygon, MPrimitive::Polyline, MPrimitive::Polypoint}) {
        Fixture f(g);
        f.item->setVertices(toVertices({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {-5, 5}}));
        f.item->removeVertex(0);
        if (g == MPrimitive::Polygon)
            expectBox(f.item->getUpdateBox(), box(-5, 0, 10, 5));
        else if (g == MPrimitive::Polyline)
            expectBox(f.item->getUpdateBox(), box(0, 0, 10, 0));
        else
            expectBox(f.item->getUpdateBox(), box(0, 0, 0, 0));
        // Two vertices: both, whatever the position.
        f.item->setVertices(toVertices({{3, 4}, {7, 1}}));
        f.item->removeVertex(1);
        expectBox(f.item->getUpdateBox(), g == MPrimitive::Polypoint ? box(7, 1, 7, 1) : box(3, 1, 7, 4));
    }
}

TEST(ModelItemEditing, BulkEditsBoxTheWholeOldOutline)
{
    Fixture f(MPrimitive::Polyline);
    ModelItem& item = *f.item;
    item.setVertices(toVertices(square));
    item.getSelection().set(true, 1, false);
    item.getSelection().set(true, 3, false);
    EXPECT_EQ(toPoints(item.selectedVertices()), (Points{{10, 0}, {0, 10}}));
    EXPECT_EQ(toPoints(item.unselectedVertices()), (Points{{0, 0}, {10, 10}}));

    item.removeSelectedVertices();
    expectBox(item.getUpdateBox(), box(0, 0, 10, 10));
    EXPECT_EQ(toPoints(item.getVertices()), (Points{{0, 0}, {10, 10}}));
    EXPECT_TRUE(item.getSelection().isEmpty());

    item.appendVertices(toVertices({{20, 20}, {30, -1}}));
    expectBox(item.getUpdateBox(), box(0, 0, 10, 10));
    item.getSelection().set(true, 2, true);
    item.removeUnselectedVertices();
    expectBox(item.getUpdateBox(), box(0, -1, 30, 20));
    EXPECT_EQ(toPoints(item.getVertices()), (Points{{20, 20}}));
    EXPECT_TRUE(item.getSelection().isComplete());

}

TEST(ModelItemPicking, PointNearSegmentAgreesWithExactArithmetic)
{
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> c(-30, 30), t(0, 6);
    for (int k = 0; k < 20000; ++k) {
        const int ax = c(rng), ay = c(rng), bx = c(rng), by = c(rng), px = c(rng), py = c(rng);
        const int tol = t(rng);
        for (bool ends : {false, true})
            ASSERT_EQ(ModelItem::pointNearSegment(Vector<int>{ax, ay}, Vector<int>{bx, by},
                                                  Vector<int>{px, py}, tol, ends),
                      nearSegment(ax, ay, bx, by, px, py, tol, ends))
                << ax << "," << ay << " " << bx << "," << by << " p " << px << "," << py << " tol " << tol;
    }
}

TEST(ModelItemPicking, FindsVerticesLikeABruteForceSearch)
{
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> c(0, 40), t(1, 5), count(1, 8);
    for (MPrimitive g : {MPrimitive::Polygon, MPrimitive::Polyline, MPrimitive::Polypoint}) {
        Fixture f(g);
        for (int k = 0; k < 2000; ++k) {
            Points points(static_cast<std::size_t>(count(rng)));
            for (auto& p : points)
                p = {c(rng), c(rng)};
            f.item->setVertices(toVertices(points));
            const int px = c(rng), py = c(rng), tol = t(rng);
            const Vector<int> p{px, py};
            const int n = static_cast<int>(points.size());

            int nearest = -1;
            std::int64_t best = std::int64_t(tol) * tol;
            for (int i = 0; i < n; ++i) {
                const std::int64_t d = std::int64_t(points[i].first - px) * (points[i].first - px) +
                                       std::int64_t(points[i].second - py) * (points[i].second - py);
                if (d < best || (d == best && nearest < 0))
                    best = d, nearest = i;
            }
            ASSERT_EQ(f.item->findNearestVertex(p, tol), nearest);

            // Point sets: the first vertex within tol; appending is always possible.
            if (g == MPrimitive::Polypoint) {
                int near = -1;
                for (int i = 0; i < n && near < 0; ++i)
                    if (nearSegment(points[i].first, points[i].second, points[i].first, points[i].second,
                                    px, py, tol, true))
                        near = i;
                ASSERT_EQ(f.item->findNearVertex(p, tol), near);
                ASSERT_EQ(f.item->findInsertion(p, tol), n);
            }
        }
    }
}

TEST(ModelItemPicking, ClosingSegmentsOfPolygonsOnly)
{
    Fixture closed(MPrimitive::Polygon);
    closed.item->setVertices(toVertices({{0, 0}, {4, 0}, {4, 4}, {0, 4}}));
    // Near the closing segment from (0, 4) to (0, 0).
    EXPECT_EQ(closed.item->findInsertion(Vector<int>{-1, 2}, 1), 4);
    EXPECT_EQ(closed.item->findNearVertex(Vector<int>{-1, 2}, 1), 3);

    Fixture open(MPrimitive::Polyline);
    open.item->setVertices(toVertices({{0, 0}, {4, 0}, {4, 4}, {0, 4}}));
    EXPECT_EQ(open.item->findInsertion(Vector<int>{-1, 2}, 1), -1);
    EXPECT_EQ(open.item->findNearVertex(Vector<int>{-1, 2}, 1), -1);
    EXPECT_EQ(open.item->findInsertion(Vector<int>{2, 1}, 1), 1);
}

TEST(ModelItemGeometry, OrientationAndContainment)
{
    Fixture f(MPrimitive::Polygon);
    // In (x, y) order this square turns counter-clockwise for a y axis
    // pointing up (positive twice area).
    f.item->setVertices(toVertices(square));
    EXPECT_FALSE(f.item->isClockwise());
    f.item->getSelection().set(true, 0, true);
    f.item->setClockwise(true);
    EXPECT_EQ(toPoints(f.item->getVertices()), (Points{{0, 10}, {10, 10}, {10, 0}, {0, 0}}));
    EXPECT_TRUE(f.item->getSelection().isSelected(3));

    ModelItem* inside = newItem(&f.model, f.slice.get(), {{20, 20}, {5, 5}});
    ModelItem* outside = newItem(&f.model, f.slice.get(), {{20, 20}, {11, 5}});
    EXPECT_TRUE(f.item->partiallyContains(*inside));
    EXPECT_FALSE(f.item->partiallyContains(*outside));
    // A vertex of the outline counts as inside.
    outside->appendVertex(Vector<int>{10, 10});
    EXPECT_TRUE(f.item->partiallyContains(*outside));

    // Lines contain nothing and keep their order.
    Model lines;
    lines.getProperties().setGeometry(MPrimitive::Polyline);
    ModelItem* line = newItem(&lines, f.slice.get(), square);
    EXPECT_FALSE(line->partiallyContains(*inside));
    line->setClockwise(true);
    EXPECT_EQ(toPoints(line->getVertices()), square);

    // Models: this model holds f.item, which contains inside.
    EXPECT_TRUE(f.model.partiallyContains(f.model));
    EXPECT_FALSE(lines.partiallyContains(f.model));
}
