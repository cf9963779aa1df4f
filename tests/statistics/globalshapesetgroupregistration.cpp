#include "statistics/globalshapesetgroupregistration.h"
#include "statistics/leastsquaresrigidshaperegistration.h"
#include "statistics/principalaxesshaperegistration.h"
#include "statistics/shapesetregistration.h"
#include "statistics/targetshapesetgroupregistration.h"

#include "statisticstesting.h"

using namespace statisticstesting;

namespace {

template <typename T>
class GroupRegistrationTest : public ::testing::Test {};
using FloatAndDouble = ::testing::Types<float, double>;
TYPED_TEST_SUITE(GroupRegistrationTest, FloatAndDouble);

// Specimens made from the base set by rigid moves of up to maxAngle radians
// and noise of deviation sigma on every vertex, and their group.
template <typename T>
struct Specimens {
    std::vector<ShapeSet<T>> sets;
    ShapeSetGroup<T> group;
    Specimens(int n, double sigma, unsigned int seed, double maxAngle = 0.6)
    {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(-1, 1);
        const ShapeSet<T> base = baseSet<T>();
        for (int i = 0; i < n; ++i) {
            const SquareMatrix<T> r = rotation<T>(maxAngle * u(rng), u(rng), u(rng), u(rng));
            const Vector<T> t{T(20 * u(rng)), T(20 * u(rng)), T(20 * u(rng))};
            sets.push_back(movedCopy(base, r, t, sigma, rng, "specimen " + std::to_string(i)));
        }
        for (ShapeSet<T>& s : sets)
            group.addShapeSet(s);
    }
    ShapeSet<T>& operator[](int i) { return sets[static_cast<std::size_t>(i)]; }
};

template <typename T>
void alignOnPrincipalAxes(ShapeSet<T>& set)
{
    PrincipalAxesShapeRegistration<T> axes;
    axes.fit(set.referenceShapeSet().asVertexStack());
    axes.apply(set);
}

} // namespace

// Regression: a structure outlined (a closed mesh) in one specimen and
// marked by points in another averaged into a silent null entry.
TYPED_TEST(GroupRegistrationTest, GroupAverageRefusesShapesOfDifferentTypes)
{
    using T = TypeParam;
    // Both tubes and 25 points; then both tubes and 9 points; then the first
    // tube, the second structure marked by 9 points, and 9 points.
    ShapeSet<T> outlined = baseSet<T>("outlined");
    ShapeSet<T> fewerPoints("fewer points"), marked("marked");
    for (ShapeSet<T>* set : {&fewerPoints, &marked}) {
        set->addShape(tube<T>(0, 0, -10, 10, 6, 8, 16, 3.0), true, true);
        if (set == &marked)
            set->addShape(new VertexStack<T>(3, 1, 9), true, true);
        else
            set->addShape(tube<T>(14, 5, 2, 3, 2, 5, 10, 2.0), true, true);
        set->addShape(new VertexStack<T>(3, 1, 9), false, true);
    }
    // Point patterns of different sizes have no vertex-wise mean: a null entry.
    ShapeSetGroup<T> group({&outlined, &fewerPoints});
    const ShapeSet<T> mean = group.average();
    ASSERT_EQ(mean.getNumShapes(), 3);
    EXPECT_TRUE(mean[0] && mean[1]);
    EXPECT_EQ(mean[2], nullptr);

    ShapeSetGroup<T> mixed({&outlined, &marked});
    EXPECT_PLEXAN_THROW(mixed.average(), ValueError, "Shape<T>* ShapeSet<T>::average() const",
                        "Shapes in this set are not of the same type");
}

// The group error: mean and standard error of the RMS distances between the
// reference shapes of every pair of sets.
TYPED_TEST(GroupRegistrationTest, GroupErrorPoolsThePairwiseDistances)
{
    using T = TypeParam;
    Specimens<T> s(3, 0.0, 5);
    std::vector<double> pooled;
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            for (int k = 0; k < 2; ++k) {
                const Vector<T> a = s[i][k]->toVector(), b = s[j][k]->toVector();
                double sum = 0;
                for (int n = 0; n < a.getSize(); ++n)
                    sum += double(a[n] - b[n]) * double(a[n] - b[n]);
                pooled.push_back(std::sqrt(sum / (a.getSize() / 3)));
            }
    double mean = 0, ss = 0;
    for (double d : pooled)
        mean += d / pooled.size();
    for (double d : pooled)
        ss += (d - mean) * (d - mean);
    const double sem = std::sqrt(ss / (pooled.size() - 1) / pooled.size());
    T m, e;
    ShapeSetGroupRegistration<T>::errorType1(s.group, m, e);
    EXPECT_NEAR(m, mean, 1e-4 * mean);
    EXPECT_NEAR(e, sem, 1e-3 * sem);
}

TYPED_TEST(GroupRegistrationTest, AlignmentAndGlobalRegistrationReachTheNoiseLevel)
{
    using T = TypeParam;
    const double sigma = 0.05;
    Specimens<T> s(6, sigma, 21);
    T before, sem;
    ShapeSetGroupRegistration<T>::errorType1(s.group, before, sem);
    for (int i = 0; i < 6; ++i)
        alignOnPrincipalAxes(s[i]);
    GlobalShapeSetGroupRegistration<T> registration;
    // The single-precision tolerance: in double the default (1e-15) takes
    // hundreds of sweeps to settle at the noise level.
    registration.setTolerance(T(1e-6));
    RecordingMonitor monitor;
    registration.addMonitor(monitor);
    registration.apply(s.group);
    std::vector<T> means, sems;
    registration.getDynamics(means, sems);
    ASSERT_EQ(static_cast<int>(means.size()), registration.getNumSweeps() + 1);
    // Two noisy copies of one vertex lie sigma sqrt(6) apart in RMS.
    const double noise = sigma * std::sqrt(6.0);
    EXPECT_GT(before, T(10));
    EXPECT_LT(means.back(), T(1.1 * noise));
    EXPECT_GT(means.back(), T(0.6 * noise));
    EXPECT_LE(means.back(), means.front());

    // Each set's recorded transform carries the aligned original onto it.
    Specimens<T> originals(6, sigma, 21);
    for (int i = 0; i < 6; ++i) {
        alignOnPrincipalAxes(originals[i]);
        LeastSquaresRigidShapeRegistration<T> recorded;
        recorded.setTransform(registration.getRotationMatrices()[static_cast<std::size_t>(i)],
                              registration.getTranslationVectors()[static_cast<std::size_t>(i)]);
        recorded.apply(originals[i]);
        EXPECT_LT(originals[i][2]->rmsDistance(*s[i][2]), T(1e-2));
    }
    ASSERT_FALSE(monitor.steps.empty());
    const unsigned int block = (3 + 3) * 6; // ceil(sqrt 6) + 3 sweeps of 6 steps
    EXPECT_EQ(monitor.steps.front(), std::make_pair(1u, block));
    EXPECT_EQ(monitor.steps.size(), static_cast<std::size_t>(6 * registration.getNumSweeps()));

    s[1].setReference(2, true); // the points
    EXPECT_PLEXAN_THROW(registration.apply(s.group), ValueError,
                        "void GlobalShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>&)",
                        "At least some references are not quadrangular surfaces");
}

// Regression: sweeps (and the rounds of each registration) also stopped as
// soon as the error fell below ten epsilons of the specimen size, one sweep
// before the error stopped changing.
TYPED_TEST(GroupRegistrationTest, SweepsRepeatUntilTheErrorStopsChanging)
{
    using T = TypeParam;
    ShapeSet<T> base("tube");
    base.addShape(tube<T>(0, 0, -10, 10, 6, 8, 16, 3.0), true, true);
    SquareMatrix<T> identity;
    identity.setIdentity(3);
    std::mt19937 rng(2);
    ShapeSet<T> shifted = movedCopy(base, identity, Vector<T>{T(1), T(2), T(3)}, 0.0, rng, "shifted");
    const T eps = Vector<T>::epsilon();
    const T tol = tolerance<T>(1e-5, 1e-12);

    // One set onto the other: the distance is that of the shift, then none,
    // then none again, which ends the rounds.
    ShapeSet<T> moving = movedCopy(shifted, identity, Vector<T>{T(0), T(0), T(0)}, 0.0, rng, "moving");
    ShapeSetRegistration<T> pair;
    pair.apply(moving, base);
    const std::vector<T>& rounds = pair.getDynamics();
    ASSERT_EQ(rounds.size(), 3u);
    EXPECT_NEAR(rounds[0], std::sqrt(T(14)), T(10) * tol);
    EXPECT_LT(rounds[1], tol);
    EXPECT_LE(std::abs(rounds[1] - rounds[2]) / (eps + rounds[1]), eps);

    ShapeSetGroup<T> group({&base, &shifted});
    GlobalShapeSetGroupRegistration<T> registration;
    registration.apply(group);
    std::vector<T> means, sems;
    registration.getDynamics(means, sems);
    ASSERT_EQ(means.size(), 3u);
    EXPECT_EQ(registration.getNumSweeps(), 2);
    // Two sets: one pairwise distance, the shift's sqrt(1 + 4 + 9).
    EXPECT_NEAR(means[0], std::sqrt(T(14)), T(10) * tol);
    EXPECT_LT(means[1], tol);
    EXPECT_GT(std::abs(means[0] - means[1]) / (eps + means[0]), eps);
    EXPECT_LE(std::abs(means[1] - means[2]) / (eps + means[1]), eps);
    EXPECT_LT(base[0]->rmsDistance(*shifted[0]), tol);
}

TYPED_TEST(GroupRegistrationTest, PairwiseRegistrationRecoversEachMove)
{
    using T = TypeParam;
    // Without alignment, turns stay below half a column of the tubes, where
    // columns still correspond by position.
    Specimens<T> s(4, 0.0, 13, 0.18);
    const Vector<T> template0 = s[1][0]->toVector();
    TargetShapeSetGroupRegistration<T> registration;
    EXPECT_PLEXAN_THROW(registration.apply(s.group), UsageError,
                        "void TargetShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>&)", "No target shape set");
    registration.setTargetShapeSet(s[1]);
    registration.apply(s.group);
    EXPECT_TRUE(s[1][0]->toVector() == template0);
    std::vector<T> means, sems;
    registration.getDynamics(means, sems);
    ASSERT_EQ(means.size(), 2u);
    EXPECT_GT(means[0], T(10));
    EXPECT_LT(means[1], tolerance<T>(1e-3, 1e-8));
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(s[i][2]->rmsDistance(*s[1][2]), T(1e-3));
}
