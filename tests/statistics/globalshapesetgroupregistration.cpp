#include "statistics/globalshapesetgroupregistration.h"
#include "statistics/leastsquaresrigidshaperegistration.h"
#include "statistics/principalaxesshaperegistration.h"
#include "statistics/targetshapesetgroupregistration.h"

#include "fusiontesting.h"
#include "statisticstesting.h"
#include "support/expect.h"

#include <cmath>

using fusiontesting::movedCopy;
using fusiontesting::rotation;

namespace {

template <typename T>
class GroupRegistrationTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(GroupRegistrationTest, RealTypes);

// Specimens made from the base set by rigid moves of up to maxAngle radians
// (35 degrees by default) and noise of deviation sigma on every vertex.
template <typename T>
std::vector<ShapeSet<T>> specimens(int n, double sigma, unsigned int seed, double maxAngle = 0.6)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    const ShapeSet<T> base = fusiontesting::baseSet<T>();
    std::vector<ShapeSet<T>> out;
    for (int i = 0; i < n; ++i) {
        const SquareMatrix<T> r = rotation<T>(maxAngle * u(rng), u(rng), u(rng), u(rng));
        const Vector<T> t{T(20 * u(rng)), T(20 * u(rng)), T(20 * u(rng))};
        out.push_back(movedCopy(base, r, t, sigma, rng, "specimen " + std::to_string(i)));
    }
    return out;
}

template <typename T>
ShapeSetGroup<T> groupOf(std::vector<ShapeSet<T>>& sets)
{
    ShapeSetGroup<T> group;
    for (ShapeSet<T>& s : sets)
        group.addShapeSet(s);
    return group;
}

template <typename T>
void align(ShapeSetGroup<T>& group)
{
    for (int i = 0; i < group.getNumShapeSets(); ++i) {
        PrincipalAxesShapeRegistration<T> axes;
        axes.fit(group[i].referenceShapeSet().asVertexStack());
        axes.apply(group[i]);
    }
}

} // namespace

TYPED_TEST(GroupRegistrationTest, GroupErrorPoolsThePairwiseDistances)
{
    using T = TypeParam;
    std::vector<ShapeSet<T>> sets = specimens<T>(3, 0.0, 5);
    ShapeSetGroup<T> group = groupOf(sets);
    std::vector<double> pooled;
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            for (int s = 0; s < 2; ++s) { // the two reference tubes
                const Vector<T> a = sets[static_cast<std::size_t>(i)][s]->toVector();
                const Vector<T> b = sets[static_cast<std::size_t>(j)][s]->toVector();
                double sum = 0;
                for (int k = 0; k < a.getSize(); ++k)
                    sum += double(a[k] - b[k]) * double(a[k] - b[k]);
                pooled.push_back(std::sqrt(sum / (a.getSize() / 3)));
            }
    double mean = 0;
    for (double d : pooled)
        mean += d / pooled.size();
    double ss = 0;
    for (double d : pooled)
        ss += (d - mean) * (d - mean);
    const double sem = std::sqrt(ss / (pooled.size() - 1) / pooled.size());
    T m, s;
    ShapeSetGroupRegistration<T>::errorType1(group, m, s);
    EXPECT_NEAR(m, mean, 1e-4 * mean);
    EXPECT_NEAR(s, sem, 1e-3 * sem);
}

TYPED_TEST(GroupRegistrationTest, AlignmentAndGlobalRegistrationReachTheNoiseLevel)
{
    using T = TypeParam;
    const double sigma = 0.05;
    std::vector<ShapeSet<T>> sets = specimens<T>(6, sigma, 21);
    ShapeSetGroup<T> group = groupOf(sets);
    T before, sem;
    ShapeSetGroupRegistration<T>::errorType1(group, before, sem);
    align(group);

    GlobalShapeSetGroupRegistration<T> registration;
    // The single-precision tolerance: in double the default (1e-15) takes
    // hundreds of sweeps to settle at the noise level.
    registration.setTolerance(T(1e-6));
    statisticstesting::RecordingMonitor monitor;
    registration.addMonitor(monitor);
    registration.apply(group);
    std::vector<T> means, sems;
    registration.getDynamics(means, sems);
    ASSERT_EQ(static_cast<int>(means.size()), registration.getNumSweeps() + 1);
    // Two noisy copies of one vertex lie sigma sqrt(6) apart in RMS.
    const double noise = sigma * std::sqrt(6.0);
    EXPECT_GT(before, T(10));
    EXPECT_LT(means.back(), T(1.1 * noise));
    EXPECT_GT(means.back(), T(0.6 * noise));
    EXPECT_LE(means.back(), means.front());

    // Each set's recorded transform carries the original set onto it.
    std::vector<ShapeSet<T>> originals = specimens<T>(6, sigma, 21);
    for (int i = 0; i < 6; ++i) {
        ShapeSet<T>& original = originals[static_cast<std::size_t>(i)];
        PrincipalAxesShapeRegistration<T> axes;
        axes.fit(original.referenceShapeSet().asVertexStack());
        axes.apply(original);
        LeastSquaresRigidShapeRegistration<T> recorded;
        recorded.setTransform(registration.getRotationMatrices()[static_cast<std::size_t>(i)],
                              registration.getTranslationVectors()[static_cast<std::size_t>(i)]);
        recorded.apply(original);
        EXPECT_LT(original[2]->rmsDistance(*sets[static_cast<std::size_t>(i)][2]), T(1e-2));
    }
    ASSERT_FALSE(monitor.steps.empty());
    const unsigned int block = (3 + 3) * 6; // ceil(sqrt 6) + 3 sweeps of 6 steps
    EXPECT_EQ(monitor.steps.front(), std::make_pair(1u, block));
    EXPECT_EQ(monitor.steps.size(), static_cast<std::size_t>(6 * registration.getNumSweeps()));
}

TYPED_TEST(GroupRegistrationTest, IdenticalSpecimensStopAfterOneSweep)
{
    using T = TypeParam;
    std::vector<ShapeSet<T>> sets = specimens<T>(1, 0.0, 3);
    std::mt19937 rng(0);
    SquareMatrix<T> identity;
    identity.setIdentity(3);
    sets.push_back(movedCopy(sets[0], identity, Vector<T>{T(0), T(0), T(0)}, 0.0, rng, "twin"));
    ShapeSetGroup<T> group = groupOf(sets);
    GlobalShapeSetGroupRegistration<T> registration;
    registration.apply(group);
    std::vector<T> means, sems;
    registration.getDynamics(means, sems);
    EXPECT_EQ(registration.getNumSweeps(), 1);
    ASSERT_EQ(means.size(), 2u);
    EXPECT_EQ(means[0], T(0));
    EXPECT_LT(means[1], T(1e-4));
}

TYPED_TEST(GroupRegistrationTest, GlobalRegistrationNeedsMeshReferences)
{
    using T = TypeParam;
    std::vector<ShapeSet<T>> sets = specimens<T>(2, 0.0, 3);
    sets[1].setReference(2, true); // the points
    ShapeSetGroup<T> group = groupOf(sets);
    GlobalShapeSetGroupRegistration<T> registration;
    EXPECT_PLEXAN_THROW(registration.apply(group), ValueError,
                        "void GlobalShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>&)",
                        "At least some references are not quadrangular surfaces");
}

TYPED_TEST(GroupRegistrationTest, PairwiseRegistrationRecoversEachMove)
{
    using T = TypeParam;
    // Without alignment, turns stay below half a column of the tubes, where
    // columns still correspond by position.
    std::vector<ShapeSet<T>> sets = specimens<T>(4, 0.0, 13, 0.18);
    ShapeSetGroup<T> group = groupOf(sets);
    const Vector<T> template0 = sets[1][0]->toVector();
    TargetShapeSetGroupRegistration<T> registration;
    registration.setTargetShapeSet(sets[1]);
    registration.apply(group);
    EXPECT_TRUE(sets[1][0]->toVector() == template0);
    std::vector<T> means, sems;
    registration.getDynamics(means, sems);
    ASSERT_EQ(means.size(), 2u);
    EXPECT_GT(means[0], T(10));
    EXPECT_LT(means[1], T(std::is_same_v<T, float> ? 1e-3 : 1e-8));
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(sets[static_cast<std::size_t>(i)][2]->rmsDistance(*sets[1][2]), T(1e-3));

    TargetShapeSetGroupRegistration<T> untargeted;
    EXPECT_PLEXAN_THROW(untargeted.apply(group), UsageError,
                        "void TargetShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>&)", "No target shape set");
}
