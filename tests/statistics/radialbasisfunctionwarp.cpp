#include "statistics/radialbasisfunctionwarp.h"

#include "statisticstesting.h"
#include "support/expect.h"

using statisticstesting::randomPattern;

namespace {

template <typename T>
class RadialBasisFunctionWarpTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(RadialBasisFunctionWarpTest, RealTypes);

template <typename T>
T tolerance()
{
    return std::is_same_v<T, float> ? T(1e-3) : T(1e-8);
}

} // namespace

TYPED_TEST(RadialBasisFunctionWarpTest, InterpolatesItsControlPoints)
{
    using T = TypeParam;
    std::mt19937 rng(12);
    Vertices<T> source = randomPattern<T>(rng, 50, 0.0, 20.0);
    const Vertices<T> shifts = randomPattern<T>(rng, 50, -2.0, 2.0);
    Vertices<T> target(3, 50);
    for (int i = 0; i < 50; ++i)
        target[i] = source[i] + shifts[i];
    // A repeated control point with the same destination is kept once.
    source.append(source[3]);
    target.append(target[3]);
    RadialBasisFunctionWarp<T> warp;
    warp.fit(source, target);
    EXPECT_EQ(warp.getNumControlPoints(), 50);
    for (int i = 0; i < 51; ++i) {
        const Vector<T> y = warp.transform(source[i]);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(y[a], target[i][a], tolerance<T>());
    }
    // Applied to a shape, the same map.
    Vertices<T> moved(source);
    moved.detach();
    warp.apply(moved);
    EXPECT_LT(moved.rmsDistance(target), tolerance<T>());
}

TYPED_TEST(RadialBasisFunctionWarpTest, ReproducesAffineMapsEverywhere)
{
    using T = TypeParam;
    std::mt19937 rng(13);
    const Vertices<T> source = randomPattern<T>(rng, 30, -5.0, 5.0);
    auto map = [](const Vector<T>& x) {
        return Vector<T>{T(0.9) * x[0] + T(0.1) * x[2] + T(3), T(1.2) * x[1] - T(1),
                         T(-0.2) * x[0] + T(1.1) * x[2] + T(0.5)};
    };
    Vertices<T> target(3, 30);
    for (int i = 0; i < 30; ++i)
        target[i] = map(source[i]);
    RadialBasisFunctionWarp<T> warp;
    warp.fit(source, target);
    const Vertices<T> probes = randomPattern<T>(rng, 20, -8.0, 8.0);
    for (int i = 0; i < 20; ++i) {
        const Vector<T> y = warp.transform(probes[i]);
        const Vector<T> expected = map(probes[i]);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(y[a], expected[a], tolerance<T>());
    }
}

TYPED_TEST(RadialBasisFunctionWarpTest, RefusesControlPointsInOnePlane)
{
    using T = TypeParam;
    Vertices<T> flat(3, 0);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            flat.append(Vector<T>{T(i), T(j), T(2)});
    RadialBasisFunctionWarp<T> warp;
    EXPECT_PLEXAN_THROW(warp.fit(flat, flat), MathError,
                        "void RadialBasisFunctionWarp<T>::fit(const Shape<T>&,const Shape<T>&)",
                        "A thin-plate spline needs four control points not in one plane");
}
