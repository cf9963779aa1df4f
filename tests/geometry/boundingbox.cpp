// Axis-aligned boxes: faces count as inside, corners, merging and snapping
// to a resolution.

#include "geometry/boundingbox.h"

#include "geometry/vertices.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

template <typename T>
class BoundingBoxTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(BoundingBoxTest, CoordinateTypes);

TYPED_TEST(BoundingBoxTest, ContainmentCornersAndMeasures)
{
    using T = TypeParam;
    BoundingBox<T> box(Vector<T>{4, 0, 2}, Vector<T>{0, 6, 5});
    EXPECT_TRUE(box.isValid());
    EXPECT_FALSE(box.contains(Vector<T>{2, 3, 3})); // not rectified: vertex 1 is not below
    box.rectify();
    EXPECT_EQ(box.getVertex1(), (Vector<T>{0, 0, 2}));
    EXPECT_EQ(box.getVertex2(), (Vector<T>{4, 6, 5}));
    EXPECT_TRUE(box.contains(Vector<T>{2, 3, 3}));
    EXPECT_TRUE(box.contains(Vector<T>{0, 6, 5})); // faces and corners included
    EXPECT_FALSE(box.contains(Vector<T>{0, 6, 6}));
    EXPECT_EQ(box.widths(), (Vector<T>{4, 6, 3}));
    EXPECT_NEAR(double(box.diagonal()), std::is_integral_v<T> ? 8.0 : std::sqrt(61.0), 1e-6);
    EXPECT_EQ(box.cog(), (Vector<T>{2, 3, static_cast<T>(std::is_integral_v<T> ? 4 : 3.5)}));
    EXPECT_TRUE(BoundingBox<T>().contains(Vector<T>{1}));
    EXPECT_FALSE(BoundingBox<T>().isValid());

    // 2^d corners; coordinate k from vertex 1 when bit k is set.
    const Vertices<T> corners = box.vertices();
    EXPECT_EQ(corners.toVector(), (Vector<T>{4, 6, 5, 0, 6, 5, 4, 0, 5, 0, 0, 5, 4, 6, 2, 0, 6, 2, 4, 0, 2, 0, 0, 2}));
    EXPECT_TRUE(box.containsAny(corners));
    Vertices<T> outside(3, 1);
    outside[0] = Vector<T>{9, 9, 9};
    EXPECT_FALSE(box.containsAny(outside));

    box.expand(T(1));
    EXPECT_EQ(box.getVertex1(), (Vector<T>{-1, -1, 1}));
    box.expand(Vector<T>{1, 0, 2});
    EXPECT_EQ(box.getVertex2(), (Vector<T>{6, 7, 8}));
}

TYPED_TEST(BoundingBoxTest, MergeAndResolution)
{
    using T = TypeParam;
    const BoundingBox<T> a(Vector<T>{0, 0}, Vector<T>{2, 3});
    const BoundingBox<T> b(Vector<T>{5, -1}, Vector<T>{1, 1});
    const BoundingBox<T> m = a.merge(b);
    EXPECT_EQ(m.getVertex1(), (Vector<T>{0, -1}));
    EXPECT_EQ(m.getVertex2(), (Vector<T>{5, 3}));
    EXPECT_EQ(BoundingBox<T>().merge(a).getVertex2(), a.getVertex2());
    EXPECT_EQ(a.merge(BoundingBox<T>()).getVertex1(), a.getVertex1());

    BoundingBox<T> box(Vector<T>{0, 0}, Vector<T>{10, 4});
    EXPECT_EQ(box.adjustToResolution(T(4)), (Vector<int>{3, 1}));
    EXPECT_EQ(box.getVertex1(), (Vector<T>{-1, 0}));
    EXPECT_EQ(box.getVertex2(), (Vector<T>{11, 4}));
}

} // namespace
