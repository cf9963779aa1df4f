#include "geometry/curvedecimation.h"

#include "geometry/curve.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Point = std::pair<long long, long long>;

Curve<int> makeCurve(const std::vector<Point>& points, bool open)
{
    Curve<int> c(2, static_cast<int>(points.size()), 0, 0, open);
    for (std::size_t k = 0; k < points.size(); ++k) {
        c.vertex(static_cast<int>(k))[0] = static_cast<int>(points[k].first);
        c.vertex(static_cast<int>(k))[1] = static_cast<int>(points[k].second);
    }
    return c;
}

std::vector<Point> pointsOf(const Curve<int>& c)
{
    std::vector<Point> out;
    for (int k = 0; k < c.getNumVertices(); ++k)
        out.emplace_back(c.vertex(k)[0], c.vertex(k)[1]);
    return out;
}

// The walk as described, on a plain list with real erasures: positions move
// as vertices go.
int referenceWalk(std::vector<Point>& p, bool open)
{
    const int n = static_cast<int>(p.size());
    int next = open ? n - 1 : 0, current = open ? n - 2 : n - 1, previous = open ? n - 3 : n - 2;
    if (previous < 0)
        return 0;
    int removed = 0;
    while (true) {
        const Point c = p[current], x = p[next], v = p[previous];
        if ((c.first - x.first) * (v.second - c.second) == (v.first - c.first) * (c.second - x.second)) {
            p.erase(p.begin() + current);
            if (next > current)
                --next;
            ++removed;
        } else {
            next = current;
        }
        current = previous;
        --previous;
        if (current == 0)
            break;
    }
    return removed;
}

TEST(CurveDecimation, SquareLosesItsSideMidpointsLineItsInside)
{
    // Vertex 0 sits in the middle of the bottom side and is kept; only the
    // decimated list changes, not the pool.
    Curve<int> c = makeCurve({{2, 0}, {4, 0}, {4, 2}, {4, 4}, {2, 4}, {0, 4}, {0, 2}, {0, 0}}, false);
    const Curve<int> witness(c);
    CurveDecimation<int>().apply(c);
    EXPECT_EQ(pointsOf(c), (std::vector<Point>{{2, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}}));
    EXPECT_EQ(witness.getNumVertices(), 8);
    Curve<int> line = makeCurve({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {5, 5}}, true);
    CurveDecimation<int>().apply(line);
    EXPECT_EQ(pointsOf(line), (std::vector<Point>{{0, 0}, {5, 5}}));
}

// Random outlines on a small grid (many collinear triples) against the
// reference walk, once and until nothing more goes.
TEST(CurveDecimation, AgreesWithReferenceWalk)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> coordinate(0, 3);
    for (int trial = 0; trial < 400; ++trial) {
        const bool open = trial % 2 == 0;
        const int n = 1 + trial % 13;
        std::vector<Point> points;
        for (int k = 0; k < n; ++k)
            points.emplace_back(coordinate(rng), coordinate(rng));
        for (bool recursive : {false, true}) {
            std::vector<Point> expected = points;
            while (referenceWalk(expected, open) > 0 && recursive) {
            }
            Curve<int> c = makeCurve(points, open);
            CurveDecimation<int> decimation;
            decimation.setRecursive(recursive);
            decimation.apply(c);
            EXPECT_EQ(pointsOf(c), expected) << "trial " << trial << " recursive " << recursive;
            if (recursive) {
                // A fixed point: one more pass removes nothing.
                const int before = c.getNumVertices();
                CurveDecimation<int>().apply(c);
                EXPECT_EQ(c.getNumVertices(), before);
            }
        }
    }
}

} // namespace
