#include "statistics/radialbasisfunctionwarp.h"

#include "statisticstesting.h"

using namespace statisticstesting;

namespace {

template <typename T>
class RadialBasisFunctionWarpTest : public ::testing::Test {};
TYPED_TEST_SUITE(RadialBasisFunctionWarpTest, RealTypes);

} // namespace

// A thin-plate spline passes through its control points and reproduces an
// affine map everywhere.
TYPED_TEST(RadialBasisFunctionWarpTest, InterpolatesItsControlPointsAndReproducesAffineMaps)
{
    using T = TypeParam;
    const T tol = tolerance<T>(1e-3, 1e-8);
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
    Vertices<T> moved(source);
    moved.detach();
    warp.apply(moved);
    for (int i = 0; i < 51; ++i)
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(warp.transform(source[i])[a], target[i][a], tol);
            EXPECT_NEAR(moved[i][a], target[i][a], tol);
        }

    auto map = [](const Vector<T>& x) {
        return Vector<T>{T(0.9) * x[0] + T(0.1) * x[2] + T(3), T(1.2) * x[1] - T(1), T(-0.2) * x[0] + T(1.1) * x[2] + T(0.5)};
    };
    const Vertices<T> controls = randomPattern<T>(rng, 30, -5.0, 5.0);
    Vertices<T> images(3, 30);
    for (int i = 0; i < 30; ++i)
        images[i] = map(controls[i]);
    warp.fit(controls, images);
    const Vertices<T> probes = randomPattern<T>(rng, 20, -8.0, 8.0);
    for (int i = 0; i < 20; ++i)
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(warp.transform(probes[i])[a], map(probes[i])[a], tol);

    Vertices<T> flat(3, 0);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            flat.append(Vector<T>{T(i), T(j), T(2)});
    EXPECT_PLEXAN_THROW(warp.fit(flat, flat), MathError,
                        "void RadialBasisFunctionWarp<T>::fit(const Shape<T>&,const Shape<T>&)",
                        "A thin-plate spline needs four control points not in one plane");
}
