#include "statistics/leastsquaresrigidshaperegistration.h"
#include "statistics/principalaxesshaperegistration.h"

#include "fusiontesting.h"
#include "statisticstesting.h"
#include "support/expect.h"

using fusiontesting::rotation;
using statisticstesting::randomPattern;

namespace {

template <typename T>
class RigidShapeRegistrationTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(RigidShapeRegistrationTest, RealTypes);

template <typename T>
T tolerance()
{
    return std::is_same_v<T, float> ? T(2e-4) : T(1e-9);
}

template <typename T>
void expectMatrixNear(const Matrix<T>& a, const Matrix<T>& b, T tol)
{
    for (int i = 0; i < a.getSize1(); ++i)
        for (int j = 0; j < a.getSize2(); ++j)
            EXPECT_NEAR(a(i, j), b(i, j), tol) << i << "," << j;
}

// A cloud stretched along (1, 1, 0), then (0, 0, 1), then (1, -1, 0), with a
// long tail on the positive side of each axis.
template <typename T>
Vertices<T> skewedCloud(std::mt19937& rng)
{
    std::exponential_distribution<double> e(1.0);
    Vertices<T> cloud(3, 400);
    for (int i = 0; i < 400; ++i) {
        const double a = 6 * e(rng), b = 3 * e(rng), c = 1.5 * e(rng);
        cloud[i] = Vector<T>{T(5 + (a + c) / std::sqrt(2.0)), T(-2 + (a - c) / std::sqrt(2.0)), T(1 + b)};
    }
    return cloud;
}

} // namespace

TYPED_TEST(RigidShapeRegistrationTest, LeastSquaresRecoversAKnownTransform)
{
    using T = TypeParam;
    std::mt19937 rng(4);
    Vertices<T> moving = randomPattern<T>(rng, 60, -5.0, 5.0);
    const SquareMatrix<T> r = rotation<T>(0.7, 1, -2, 0.5);
    const Vector<T> t{T(3), T(-1), T(8)};
    Vertices<T> target(3, 60);
    for (int i = 0; i < 60; ++i)
        target[i] = r * moving[i] + t;

    LeastSquaresRigidShapeRegistration<T> fit;
    fit.fit(moving, target);
    expectMatrixNear<T>(fit.getRotationMatrix(), r, tolerance<T>());
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(fit.getTranslationVector()[a], t[a], T(10) * tolerance<T>());
    fit.apply(moving);
    EXPECT_LT(moving.rmsDistance(target), T(10) * tolerance<T>());

    Vertices<T> shorter = randomPattern<T>(rng, 59, -5.0, 5.0);
    EXPECT_PLEXAN_THROW(fit.fit(shorter, target), SizeError, "void RigidShapeRegistration<T>::fit(...)",
                        "Moving and target shapes have distinct sizes");
}

TYPED_TEST(RigidShapeRegistrationTest, PrincipalAxesBringAnyPoseToOneFrame)
{
    using T = TypeParam;
    std::mt19937 rng(8);
    const Vertices<T> cloud = skewedCloud<T>(rng);

    PrincipalAxesShapeRegistration<T> axes;
    axes.fit(cloud);
    EXPECT_NEAR(axes.getRotationMatrix().det(), T(1), tolerance<T>());
    Vertices<T> aligned(cloud);
    aligned.detach();
    axes.apply(aligned);
    // Centred, with a diagonal inertia in decreasing order.
    const Vector<T> c = aligned.cog();
    const SquareMatrix<T> inertia = aligned.inertia();
    const T scale = inertia(0, 0);
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(c[a], T(0), T(100) * tolerance<T>());
    EXPECT_GT(inertia(0, 0), inertia(1, 1));
    EXPECT_GT(inertia(1, 1), inertia(2, 2));
    EXPECT_NEAR(inertia(0, 1) / scale, T(0), tolerance<T>());
    EXPECT_NEAR(inertia(0, 2) / scale, T(0), tolerance<T>());
    EXPECT_NEAR(inertia(1, 2) / scale, T(0), tolerance<T>());

    // The same cloud in other poses, half turns about each axis included,
    // lands on the same vertices.
    const SquareMatrix<T> poses[] = {rotation<T>(fusiontesting::pi, 1, 0, 0), rotation<T>(fusiontesting::pi, 0, 0, 1),
                                     rotation<T>(2.0, 1, 2, 3), rotation<T>(-0.4, 0, 1, 0)};
    for (const SquareMatrix<T>& r : poses) {
        Vertices<T> moved(cloud);
        moved.detach();
        LeastSquaresRigidShapeRegistration<T> pose;
        pose.setTransform(r, Vector<T>{T(-7), T(2), T(30)});
        pose.apply(moved);
        PrincipalAxesShapeRegistration<T> again;
        again.fit(moved);
        again.apply(moved);
        EXPECT_LT(moved.rmsDistance(aligned), T(1000) * tolerance<T>());
    }
}

TYPED_TEST(RigidShapeRegistrationTest, TransformsMoveMeshCapsAndSkipNullEntries)
{
    using T = TypeParam;
    ShapeSet<T> set = fusiontesting::baseSet<T>();
    set.addShape(nullptr);
    const auto* mesh = dynamic_cast<const QuadMesh<T>*>(set[0]);
    ASSERT_TRUE(mesh && mesh->hasBeginCap());
    const Vector<T> tip = (*mesh->getBeginCap())[9][0];
    const Vector<T> corner = (*mesh)[0][0];

    LeastSquaresRigidShapeRegistration<T> move;
    const SquareMatrix<T> r = rotation<T>(0.3, 0, 0, 1);
    const Vector<T> t{T(1), T(2), T(3)};
    move.setTransform(r, t);
    move.apply(set);
    const Vector<T> tipMoved = (*mesh->getBeginCap())[9][0];
    const Vector<T> expectedTip = r * tip + t;
    const Vector<T> expectedCorner = r * corner + t;
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(tipMoved[a], expectedTip[a], T(10) * tolerance<T>());
        EXPECT_NEAR((*mesh)[0][0][a], expectedCorner[a], T(10) * tolerance<T>());
    }
}
