#include "statistics/leastsquaresrigidshaperegistration.h"
#include "statistics/principalaxesshaperegistration.h"

#include "statisticstesting.h"

using namespace statisticstesting;

namespace {

template <typename T>
class RigidShapeRegistrationTest : public ::testing::Test {};
TYPED_TEST_SUITE(RigidShapeRegistrationTest, RealTypes);

} // namespace

// The fitted transform is the one that made the target, and applied to a
// shape set it moves mesh caps too and skips empty entries.
TYPED_TEST(RigidShapeRegistrationTest, LeastSquaresRecoversAKnownTransform)
{
    using T = TypeParam;
    const T tol = tolerance<T>(2e-4, 1e-9);
    std::mt19937 rng(4);
    Vertices<T> moving = randomPattern<T>(rng, 60, -5.0, 5.0);
    const SquareMatrix<T> r = rotation<T>(0.7, 1, -2, 0.5);
    const Vector<T> t{T(3), T(-1), T(8)};
    Vertices<T> target(3, 60);
    for (int i = 0; i < 60; ++i)
        target[i] = r * moving[i] + t;
    LeastSquaresRigidShapeRegistration<T> fit;
    fit.fit(moving, target);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(fit.getTranslationVector()[i], t[i], T(10) * tol);
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(fit.getRotationMatrix()(i, j), r(i, j), tol) << i << "," << j;
    }
    fit.apply(moving);
    EXPECT_LT(moving.rmsDistance(target), T(10) * tol);
    Vertices<T> shorter = randomPattern<T>(rng, 59, -5.0, 5.0);
    EXPECT_PLEXAN_THROW(fit.fit(shorter, target), SizeError, "void RigidShapeRegistration<T>::fit(...)",
                        "Moving and target shapes have distinct sizes");

    ShapeSet<T> set = baseSet<T>();
    set.addShape(nullptr);
    const auto* mesh = dynamic_cast<const QuadMesh<T>*>(set[0]);
    ASSERT_TRUE(mesh && mesh->hasBeginCap());
    const Vector<T> tip = r * (*mesh->getBeginCap())[9][0] + t, corner = r * (*mesh)[0][0] + t;
    fit.apply(set);
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR((*mesh->getBeginCap())[9][0][a], tip[a], T(10) * tol);
        EXPECT_NEAR((*mesh)[0][0][a], corner[a], T(10) * tol);
    }
}

TYPED_TEST(RigidShapeRegistrationTest, PrincipalAxesBringAnyPoseToOneFrame)
{
    using T = TypeParam;
    const T tol = tolerance<T>(2e-4, 1e-9);
    // A cloud stretched along (1, 1, 0), then (0, 0, 1), then (1, -1, 0),
    // with a long tail on the positive side of each axis.
    std::mt19937 rng(8);
    std::exponential_distribution<double> e(1.0);
    Vertices<T> cloud(3, 400);
    for (int i = 0; i < 400; ++i) {
        const double a = 6 * e(rng), b = 3 * e(rng), c = 1.5 * e(rng);
        cloud[i] = Vector<T>{T(5 + (a + c) / std::sqrt(2.0)), T(-2 + (a - c) / std::sqrt(2.0)), T(1 + b)};
    }
    PrincipalAxesShapeRegistration<T> axes;
    axes.fit(cloud);
    EXPECT_NEAR(axes.getRotationMatrix().det(), T(1), tol);
    Vertices<T> aligned(cloud);
    aligned.detach();
    axes.apply(aligned);
    // Centred, with a diagonal inertia in decreasing order.
    const SquareMatrix<T> inertia = aligned.inertia();
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(aligned.cog()[a], T(0), T(100) * tol);
    EXPECT_GT(inertia(0, 0), inertia(1, 1));
    EXPECT_GT(inertia(1, 1), inertia(2, 2));
    for (const auto& [i, j] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}})
        EXPECT_NEAR(inertia(i, j) / inertia(0, 0), T(0), tol);

    // The same cloud in other poses, half turns about each axis included,
    // lands on the same vertices.
    for (const SquareMatrix<T>& r : {rotation<T>(pi, 1, 0, 0), rotation<T>(pi, 0, 0, 1), rotation<T>(2.0, 1, 2, 3),
                                     rotation<T>(-0.4, 0, 1, 0)}) {
        Vertices<T> moved(cloud);
        moved.detach();
        LeastSquaresRigidShapeRegistration<T> pose;
        pose.setTransform(r, Vector<T>{T(-7), T(2), T(30)});
        pose.apply(moved);
        PrincipalAxesShapeRegistration<T> again;
        again.fit(moved);
        again.apply(moved);
        EXPECT_LT(moved.rmsDistance(aligned), T(1000) * tol);
    }
}
