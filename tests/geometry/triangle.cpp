// Triangles: normals, containment, segment crossings with their degenerate
// contacts, and closest points against the distance from its definition.

#include "geometry/triangle.h"

#include "meshfixtures.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

template <typename T>
class TriangleTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(TriangleTest, CoordinateTypes);

template <typename T>
Triangle<T> triangle(std::initializer_list<std::array<int, 3>> corners)
{
    Triangle<T> t(3);
    int i = 0;
    for (const auto& c : corners)
        t[i++] = Vector<T>{static_cast<T>(c[0]), static_cast<T>(c[1]), static_cast<T>(c[2])};
    return t;
}

template <typename T>
Edge<T> segment(std::array<int, 3> a, std::array<int, 3> b)
{
    Edge<T> e(3);
    e[0] = Vector<T>{static_cast<T>(a[0]), static_cast<T>(a[1]), static_cast<T>(a[2])};
    e[1] = Vector<T>{static_cast<T>(b[0]), static_cast<T>(b[1]), static_cast<T>(b[2])};
    return e;
}

TYPED_TEST(TriangleTest, NormalAndContainment)
{
    using T = TypeParam;
    const Triangle<T> t = triangle<T>({{0, 0, 1}, {4, 0, 1}, {0, 4, 1}});
    EXPECT_EQ(t.normal(), (Vector<T>{0, 0, 16}));
    EXPECT_EQ(t.getShapeType(), ClosedCurveShape);
    if constexpr (std::is_integral_v<T>)
        EXPECT_THROW(t.normal(true), TypeError);
    else
        EXPECT_EQ(t.normal(true), (Vector<T>{0, 0, 1}));
    EXPECT_TRUE(t.contains(Vector<T>{1, 1, 1}));
    EXPECT_TRUE(t.contains(Vector<T>{2, 2, 1})); // on the hypotenuse
    EXPECT_TRUE(t.contains(Vector<T>{4, 0, 1}));
    EXPECT_FALSE(t.contains(Vector<T>{3, 3, 1}));
    EXPECT_TRUE(t.contains(Vector<T>{1, 1, 1}, Vector<T>{0, 0, -1})); // either orientation

    // In the plane, over a pool whose vertices it follows.
    Vertices<T> pool = Vertices<T>(2, 4);
    pool[1] = Vector<T>{3, 0};
    pool[2] = Vector<T>{0, 3};
    pool[3] = Vector<T>{3, 3};
    const Triangle<T> flat(pool, 1, 3, 2);
    EXPECT_EQ(flat.normal(), (Vector<T>{0, 0, 9}));
    EXPECT_FALSE(flat.contains(Vector<T>{1, 1}));
    pool[3] = Vector<T>{0, 0};
    EXPECT_TRUE(flat.contains(Vector<T>{1, 1}));
}

TYPED_TEST(TriangleTest, SegmentCrossingsAndContacts)
{
    using T = TypeParam;
    const Triangle<T> t = triangle<T>({{0, 0, 0}, {6, 0, 0}, {0, 6, 0}});
    Vector<T> point;
    EXPECT_EQ(t.intersects(segment<T>({1, 2, -3}, {1, 2, 5}), point), 1);
    EXPECT_EQ(point, (Vector<T>{1, 2, 0}));
    EXPECT_EQ(t.intersects(segment<T>({1, 2, 1}, {1, 2, 5}), point), 0);   // above
    EXPECT_EQ(t.intersects(segment<T>({5, 5, -1}, {5, 5, 1}), point), 0);  // beside
    EXPECT_EQ(t.intersects(segment<T>({3, 3, -1}, {3, 3, 1}), point), 2);  // through an edge
    EXPECT_EQ(point, (Vector<T>{3, 3, 0}));
    EXPECT_EQ(t.intersects(segment<T>({0, 0, -1}, {0, 0, 1}), point), 2);  // through a vertex
    EXPECT_EQ(t.intersects(segment<T>({1, 1, 0}, {1, 1, 4}), point), 2);   // ends on the face
    EXPECT_EQ(t.intersects(segment<T>({-1, 1, 0}, {2, 1, 0}), point), 2);  // in the plane, across
    EXPECT_EQ(t.intersects(segment<T>({7, 7, 0}, {9, 7, 0}), point), 0);   // in the plane, away
    EXPECT_EQ(t.intersects(segment<T>({1, 2, 5}, {1, 2, -3}), point, Vector<T>{0, 0, -1}), 1);
}

TYPED_TEST(TriangleTest, ClosestPointsAgreeWithDenseSampling)
{
    using T = TypeParam;
    if constexpr (std::is_integral_v<T>) {
        Vector<T> r;
        EXPECT_THROW(triangle<T>({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}).closestPoint(Vector<T>{0, 0, 0}, r), TypeError);
    } else {
        const Triangle<T> t = triangle<T>({{0, 0, 0}, {4, 1, 0}, {1, 3, 2}});
        std::mt19937 rng(8);
        std::uniform_real_distribution<double> uniform(-3, 6);
        for (int round = 0; round < 60; ++round) {
            const Vector<T> p{T(uniform(rng)), T(uniform(rng)), T(uniform(rng))};
            Vector<T> r;
            t.closestPoint(p, r);
            const double best = fixtures::triangleDistance(fixtures::point(p), fixtures::point(t[0]),
                                                           fixtures::point(t[1]), fixtures::point(t[2]));
            EXPECT_NEAR(double((r - p).norm()), best, 1e-4);
        }
    }
}

} // namespace
