#include "geometry/shapeinterpolation.h"

#include "geometry/curve.h"
#include "geometry/quadmesh.h"
#include "meshfixtures.h"
#include "support/expect.h"

#include <gtest/gtest.h>


namespace {

using fixtures::circle;

template <typename T>
class ShapeInterpolationTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(ShapeInterpolationTest, RealTypes);

TYPED_TEST(ShapeInterpolationTest, CirclesBlendRadially)
{
    using T = TypeParam;
    const Curve<T> inner = circle<T>(1, 24), outer = circle<T>(3, 24);
    ShapeInterpolation<T> blend(inner, outer);
    for (double t : {0.0, 0.25, 0.5, 1.0}) {
        Curve<T> result;
        blend.apply(static_cast<T>(t), result);
        ASSERT_EQ(result.getNumVertices(), 24);
        EXPECT_NE(result.getServer(), inner.getServer());
        EXPECT_NE(result.getServer(), outer.getServer());
        for (int k = 0; k < 24; ++k)
            EXPECT_NEAR(double(result.vertex(k).norm()), 1 + 2 * t, 1e-5);
    }
}

// The result may be either shape itself: the blend reads the shapes before
// writing the result, and shapes sharing the result's old pool keep theirs.
TYPED_TEST(ShapeInterpolationTest, ResultMayBeAnInput)
{
    using T = TypeParam;
    Curve<T> a = circle<T>(1, 8), b = circle<T>(5, 8);
    const Curve<T> witness(b);
    ShapeInterpolation<T> blend(a, b);
    blend.apply(T(0.5), b);
    EXPECT_NEAR(double(b.vertex(3).norm()), 3.0, 1e-5);
    EXPECT_NEAR(double(witness.vertex(3).norm()), 5.0, 1e-5);
    blend.setTargetShape(witness);
    blend.apply(T(0.25), a);
    EXPECT_NEAR(double(a.vertex(3).norm()), 2.0, 1e-5);
}

// Composite shapes are walked level by level.
TYPED_TEST(ShapeInterpolationTest, QuadMeshes)
{
    using T = TypeParam;
    QuadMesh<T> a(3, 2, 4), b(3, 2, 4);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            for (int d = 0; d < 3; ++d) {
                a[r].vertex(c)[d] = T(r + c);
                b[r].vertex(c)[d] = T(3 * (r + c) + d);
            }
    QuadMesh<T> result;
    ShapeInterpolation<T>(a, b).apply(T(0.5), result);
    ASSERT_EQ(result.getHeight(), 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            for (int d = 0; d < 3; ++d)
                EXPECT_NEAR(double(result[r].vertex(c)[d]), (r + c + 3 * (r + c) + d) / 2.0, 1e-6);
}

TEST(ShapeInterpolation, Failures)
{
    const char* where = "void ShapeInterpolation<T>::apply(const T, Shape<T>&)";
    Curve<double> a = circle<double>(1, 6), b = circle<double>(3, 6), c = circle<double>(3, 7);
    Curve<double> result;
    ShapeInterpolation<double> blend;
    EXPECT_PLEXAN_THROW(blend.apply(0.5, result), ProgramError, where, "Missing source and/or target shape");
    blend.setSourceShape(a);
    EXPECT_PLEXAN_THROW(blend.apply(0.5, result), ProgramError, where, "Missing source and/or target shape");
    blend.setTargetShape(b);
    for (double t : {1.5, -0.1})
        EXPECT_PLEXAN_THROW(blend.apply(t, result), UsageError, where, "Interpolation step out of [0-1] range");
    blend.setTargetShape(c);
    EXPECT_PLEXAN_THROW(blend.apply(0.5, result), SizeError, where, "Incompatible vertex counts");
}

} // namespace
