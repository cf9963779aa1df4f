#include "statistics/polynomialwarp.h"
#include "statistics/shapetransform.h"
#include "statistics/targetshapesetgroupwarping.h"

#include "fusiontesting.h"
#include "statisticstesting.h"
#include "support/expect.h"

using statisticstesting::randomPattern;

namespace {

template <typename T>
class PolynomialWarpTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(PolynomialWarpTest, RealTypes);

// An affine map x -> a x + b, applied to a whole shape (caps included).
template <typename T>
struct Affine {
    SquareMatrix<T> a;
    Vector<T> b;
    Vector<T> operator()(const Vector<T>& x) const { return a * x + b; }
};

template <typename T>
Affine<T> affine(double flip = 1.0)
{
    Affine<T> m{SquareMatrix<T>(3u), Vector<T>{T(4), T(-7), T(120)}};
    // flip = -1 mirrors z, along the tubes, so that their columns still
    // correspond by position.
    const double values[3][3] = {{1.1, 0.2, -0.1}, {0.05, 0.9, 0.15}, {-0.2 * flip, 0.1 * flip, 1.3 * flip}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m.a(i, j) = T(values[i][j]);
    return m;
}

template <typename T>
void applyAffine(Shape<T>& shape, const Affine<T>& m)
{
    plexan::transformShape(shape, [&](Vector<T>& x) { x = m(x); });
}

template <typename T>
T relativeTolerance()
{
    return std::is_same_v<T, float> ? T(2e-5) : T(1e-10);
}

} // namespace

TYPED_TEST(PolynomialWarpTest, DegreeOneRecoversAnAffineMapFarFromTheOrigin)
{
    using T = TypeParam;
    std::mt19937 rng(6);
    Vertices<T> source = randomPattern<T>(rng, 40, 480.0, 520.0);
    const Affine<T> m = affine<T>();
    Vertices<T> target(3, 40);
    for (int i = 0; i < 40; ++i)
        target[i] = m(source[i]);
    PolynomialWarp<T> warp(1);
    warp.fit(source, target);
    const Vertices<T> probes = randomPattern<T>(rng, 30, 450.0, 550.0);
    const T det = m.a.det();
    for (int i = 0; i < 30; ++i) {
        const Vector<T> expected = m(probes[i]);
        const Vector<T> y = warp.transform(probes[i]);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(y[a], expected[a], T(700) * relativeTolerance<T>());
        EXPECT_NEAR(warp.jacobianDeterminant(probes[i]), det, T(10) * relativeTolerance<T>());
    }
}

TYPED_TEST(PolynomialWarpTest, DegreeTwoRecoversAQuadraticDisplacement)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    Vertices<T> source = randomPattern<T>(rng, 60, -3.0, 3.0);
    auto field = [](const Vector<T>& x) {
        return Vector<T>{x[0] + T(0.1) * x[1] * x[2], x[1] - T(0.05) * x[0] * x[0] + T(1),
                         x[2] + T(0.02) * x[2] * x[2] - T(0.3) * x[0]};
    };
    Vertices<T> target(3, 60);
    for (int i = 0; i < 60; ++i)
        target[i] = field(source[i]);
    PolynomialWarp<T> warp(2);
    warp.fit(source, target);
    Vertices<T> moved(source);
    moved.detach();
    warp.apply(moved);
    EXPECT_LT(moved.rmsDistance(target), T(100) * relativeTolerance<T>());
    const Vertices<T> probes = randomPattern<T>(rng, 10, -3.0, 3.0);
    for (int i = 0; i < 10; ++i) {
        const Vector<T> y = warp.transform(probes[i]);
        const Vector<T> expected = field(probes[i]);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(y[a], expected[a], T(100) * relativeTolerance<T>());
    }
    EXPECT_PLEXAN_THROW(warp.fit(source, probes), SizeError,
                        "void PolynomialWarp<T>::fit(const Shape<T>&,const Shape<T>&)",
                        "Source and target shapes have distinct sizes");
}

TYPED_TEST(PolynomialWarpTest, GroupWarpingOntoAnAffineImageCountsFolds)
{
    using T = TypeParam;
    for (const double flip : {1.0, -1.0}) {
        const Affine<T> m = affine<T>(flip);
        ShapeSet<T> target = fusiontesting::baseSet<T>("target");
        for (int i = 0; i < target.getNumShapes(); ++i)
            applyAffine(*target[i], m);
        std::vector<ShapeSet<T>> sets;
        sets.push_back(fusiontesting::baseSet<T>("a"));
        sets.push_back(fusiontesting::baseSet<T>("b"));
        ShapeSetGroup<T> group;
        for (ShapeSet<T>& s : sets)
            group.addShapeSet(s);

        TargetShapeSetGroupWarping<T> warping;
        statisticstesting::RecordingMonitor monitor;
        warping.addMonitor(monitor);
        warping.setTargetShapeSet(target);
        warping.apply(group, 1);
        long long vertices = 0;
        for (const ShapeSet<T>& s : sets)
            for (int i = 0; i < s.getNumShapes(); ++i)
                vertices += plexan::countTransformedVertices(*s[i]);
        EXPECT_EQ(warping.numEvaluations(), vertices);
        // A reflection folds space everywhere, a proper affine map nowhere.
        EXPECT_EQ(warping.numJacobianErrors(), flip > 0 ? 0 : vertices);
        for (const ShapeSet<T>& s : sets)
            for (int i = 0; i < s.getNumShapes(); ++i)
                EXPECT_LT(s[i]->rmsDistance(*target[i]), T(1e4) * relativeTolerance<T>());
        const auto* cap = dynamic_cast<const QuadMesh<T>*>(sets[0][0])->getEndCap();
        const auto* targetCap = dynamic_cast<const QuadMesh<T>*>(target[0])->getEndCap();
        EXPECT_LT(cap->rmsDistance(*targetCap), T(1e4) * relativeTolerance<T>());
        ASSERT_EQ(monitor.steps.size(), 2u);
        EXPECT_EQ(monitor.started, std::vector<std::string>{"Warping shapes..."});
    }
}
