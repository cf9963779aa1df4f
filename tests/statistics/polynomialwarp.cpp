#include "statistics/polynomialwarp.h"
#include "statistics/shapetransform.h"
#include "statistics/targetshapesetgroupwarping.h"

#include "statisticstesting.h"

#include <functional>

using namespace statisticstesting;

namespace {

template <typename T>
class PolynomialWarpTest : public ::testing::Test {};
TYPED_TEST_SUITE(PolynomialWarpTest, RealTypes);

// The affine map x -> a x + b; flip = -1 mirrors z, along the tubes, so
// that their columns still correspond by position.
template <typename T>
std::pair<SquareMatrix<T>, Vector<T>> affine(double flip = 1.0)
{
    SquareMatrix<T> a(3u);
    const double values[3][3] = {{1.1, 0.2, -0.1}, {0.05, 0.9, 0.15}, {-0.2 * flip, 0.1 * flip, 1.3 * flip}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a(i, j) = T(values[i][j]);
    return {a, Vector<T>{T(4), T(-7), T(120)}};
}

} // namespace

// Degree one recovers an affine map far from the origin (with its constant
// Jacobian), degree two a quadratic displacement, on probes off the
// control points.
TYPED_TEST(PolynomialWarpTest, RecoversMapsOfItsOwnDegree)
{
    using T = TypeParam;
    const auto [a, b] = affine<T>();
    const struct {
        int degree;
        double low, high, tolerance;
        std::function<Vector<T>(const Vector<T>&)> map;
    } cases[] = {{1, 480.0, 520.0, 700, [&](const Vector<T>& x) { return a * x + b; }},
                 {2, -3.0, 3.0, 100, [](const Vector<T>& x) {
                      return Vector<T>{x[0] + T(0.1) * x[1] * x[2], x[1] - T(0.05) * x[0] * x[0] + T(1),
                                       x[2] + T(0.02) * x[2] * x[2] - T(0.3) * x[0]};
                  }}};
    std::mt19937 rng(6);
    for (const auto& c : cases) {
        Vertices<T> source = randomPattern<T>(rng, 60, c.low, c.high);
        Vertices<T> target(3, 60);
        for (int i = 0; i < 60; ++i)
            target[i] = c.map(source[i]);
        PolynomialWarp<T> warp(c.degree);
        warp.fit(source, target);
        const T tol = T(c.tolerance) * tolerance<T>(2e-5, 1e-10);
        const double margin = c.degree == 1 ? 30.0 : 0.0;
        const Vertices<T> probes = randomPattern<T>(rng, 30, c.low - margin, c.high + margin);
        for (int i = 0; i < 30; ++i) {
            const Vector<T> y = warp.transform(probes[i]), expected = c.map(probes[i]);
            for (int d = 0; d < 3; ++d)
                EXPECT_NEAR(y[d], expected[d], tol) << c.degree;
            if (c.degree == 1) {
                EXPECT_NEAR(warp.jacobianDeterminant(probes[i]), a.det(), T(10) * tolerance<T>(2e-5, 1e-10));
            }
        }
        source.detach();
        warp.apply(source);
        EXPECT_LT(source.rmsDistance(target), tol);
        EXPECT_PLEXAN_THROW(warp.fit(source, probes), SizeError,
                            "void PolynomialWarp<T>::fit(const Shape<T>&,const Shape<T>&)",
                            "Source and target shapes have distinct sizes");
    }
}

TYPED_TEST(PolynomialWarpTest, GroupWarpingOntoAnAffineImageCountsFolds)
{
    using T = TypeParam;
    for (const double flip : {1.0, -1.0}) {
        const auto [a, b] = affine<T>(flip);
        ShapeSet<T> target = baseSet<T>("target");
        for (int i = 0; i < target.getNumShapes(); ++i)
            plexan::transformShape(*target[i], [&](Vector<T>& x) { x = a * x + b; });
        std::vector<ShapeSet<T>> sets;
        sets.push_back(baseSet<T>("a"));
        sets.push_back(baseSet<T>("b"));
        ShapeSetGroup<T> group;
        for (ShapeSet<T>& s : sets)
            group.addShapeSet(s);

        TargetShapeSetGroupWarping<T> warping;
        warping.setTargetShapeSet(target);
        warping.apply(group, 1);
        long long vertices = 0;
        for (const ShapeSet<T>& s : sets)
            for (int i = 0; i < s.getNumShapes(); ++i) {
                vertices += plexan::countTransformedVertices(*s[i]);
                EXPECT_LT(s[i]->rmsDistance(*target[i]), T(1e4) * tolerance<T>(2e-5, 1e-10));
            }
        EXPECT_EQ(warping.numEvaluations(), vertices);
        // A reflection folds space everywhere, a proper affine map nowhere.
        EXPECT_EQ(warping.numJacobianErrors(), flip > 0 ? 0 : vertices);
        const auto* cap = dynamic_cast<const QuadMesh<T>*>(sets[0][0])->getEndCap();
        const auto* targetCap = dynamic_cast<const QuadMesh<T>*>(target[0])->getEndCap();
        EXPECT_LT(cap->rmsDistance(*targetCap), T(1e4) * tolerance<T>(2e-5, 1e-10));
    }
}
