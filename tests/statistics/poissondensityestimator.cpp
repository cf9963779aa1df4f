#include "statistics/poissondensityestimator.h"

#include "numerics/parallel.h"

#include "statisticstesting.h"

using namespace statisticstesting;

namespace {

template <typename T>
class PoissonDensityEstimatorTest : public ::testing::Test {};
TYPED_TEST_SUITE(PoissonDensityEstimatorTest, RealTypes);

// The number of points in the union of the k-th neighbour balls over 4/3 pi:
// (k m - 1) 3 / (4 pi), in the precision of T, or rounded to single precision
// as the grid samples take it.
template <typename T>
T numeratorOf(const PoissonDensityEstimator<T>& estimator, bool single)
{
    const int km = estimator.getNeighbourRank() * static_cast<int>(estimator.getShapes().size());
    if (single)
        return static_cast<T>(static_cast<float>(3.0 * (km - 1) / (4.0 * pi)));
    return T(3) * T(km - 1) / (T(4) * T(pi));
}

// The pooled density from squared k-th neighbour distances found by
// exhaustive search: at a single point by default, or at a grid sample.
template <typename T>
T bruteForceDensity(const PoissonDensityEstimator<T>& estimator, const Vector<T>& p, bool gridSample = false)
{
    T sum = T(0);
    for (const Shape<T>* shape : estimator.getShapes())
        sum += std::pow(estimator.bruteForceKthNeighbourDistance(*shape, p), T(1.5));
    return numeratorOf(estimator, gridSample) / sum;
}

// Sample (i, j, k) of a grid over box: the first corner plus whole steps of
// width / (size - 1), the step rounded to single precision; an axis of size
// one samples the first corner.
template <typename T>
Vector<T> samplePoint(const BoundingBox<T>& box, const VoxelMatrix<T>& matrix, int i, int j, int k)
{
    const int index[3] = {i, j, k};
    Vector<T> p(3u);
    for (int a = 0; a < 3; ++a) {
        const int n = matrix.getSize(a + 1);
        const float step = n > 1 ? static_cast<float>(box.width(a) / static_cast<T>(n - 1)) : 0.0f;
        p[a] = box.getVertex1()[a] + static_cast<T>(index[a]) * static_cast<T>(step);
    }
    return p;
}

// Computes the grid and compares every sample with exhaustive search, and
// the printed average k-th neighbour distance with its own.
template <typename T>
void expectGridMatchesBruteForce(PoissonDensityEstimator<T>& estimator, const BoundingBox<T>& box, int n1, int n2, int n3)
{
    VoxelMatrix<T> density(n1, n2, n3);
    const std::string line = console([&] { estimator.compute(density, box); });
    double total = 0;
    for (int k = 0; k < n3; ++k)
        for (int i = 0; i < n1; ++i)
            for (int j = 0; j < n2; ++j) {
                const Vector<T> p = samplePoint(box, density, i, j, k);
                EXPECT_EQ(density(i, j, k), bruteForceDensity(estimator, p, true)) << i << " " << j << " " << k;
                for (const Shape<T>* s : estimator.getShapes())
                    total += std::sqrt(static_cast<double>(estimator.bruteForceKthNeighbourDistance(*s, p)));
            }
    const std::string label = "Average distance to kth nearest neighbor: ";
    ASSERT_EQ(line.rfind(label, 0), 0u) << line;
    const double average = total / (n1 * n2 * n3 * static_cast<double>(estimator.getShapes().size()));
    EXPECT_NEAR(std::stod(line.substr(label.size())), average, 2e-5 * average);
    EXPECT_EQ(line.back(), '\n');
}

} // namespace

TYPED_TEST(PoissonDensityEstimatorTest, GridAndPointDensitiesEqualExhaustiveSearch)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    Vertices<T> a = randomPattern<T>(rng, 400, 0.0, 10.0);
    Vertices<T> b = randomPattern<T>(rng, 250, -2.0, 12.0);
    Vertices<T> c = randomPattern<T>(rng, 40, 3.0, 6.0); // clustered: far samples see long distances
    PoissonDensityEstimator<T> estimator;
    RecordingMonitor monitor;
    estimator.addMonitor(monitor);
    estimator.setShapes({&a, &b, &c, &b});
    estimator.setNeighbourRank(4);
    const BoundingBox<T> box(Vector<T>{T(-1), T(0.5), T(0)}, Vector<T>{T(11), T(9.25), T(10)});
    expectGridMatchesBruteForce(estimator, box, 13, 11, 7);
    // One progress step per plane, then the masks.
    ASSERT_GE(monitor.started.size(), 2u);
    EXPECT_EQ(monitor.started[0], "Poisson density estimation");
    EXPECT_EQ(monitor.started[1], "Applying masks onto density map");
    for (unsigned int k = 0; k < 7; ++k)
        EXPECT_EQ(monitor.steps[k], std::make_pair(k, 7u));
    expectGridMatchesBruteForce(estimator, box, 3, 1, 2);

    Vertices<T> probes = randomPattern<T>(rng, 200, -3.0, 13.0);
    const Vector<T> values = estimator.compute3D(probes);
    ASSERT_EQ(values.getSize(), 200);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(values[i], bruteForceDensity(estimator, probes[i]));
        EXPECT_EQ(estimator.compute3D(probes[i]), values[i]);
    }

    // Removing a pattern drops its tree only: the rest still answers alike.
    estimator.removeShape(b);
    ASSERT_EQ(estimator.getShapes().size(), 2u);
    EXPECT_EQ(estimator.getTree(1).getShape(), &c);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(estimator.compute3D(probes[i]), bruteForceDensity(estimator, probes[i]));
}

TYPED_TEST(PoissonDensityEstimatorTest, TiesOnALatticeKeepTheExactKthDistance)
{
    // Points and samples on one integer lattice: many neighbours at exactly
    // the same distance, where a bound taken from the previous sample is tight.
    using T = TypeParam;
    Vertices<T> lattice(3, 0), sparse(3, 0);
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 5; ++y)
            for (int z = 0; z < 4; ++z) {
                lattice.append(Vector<T>{T(x), T(y), T(z)});
                if (x % 2 == 0 && y % 2 == 0 && z == 1)
                    sparse.append(Vector<T>{T(x), T(y), T(z)});
            }
    PoissonDensityEstimator<T> estimator;
    estimator.setShapes({&lattice, &sparse});
    for (int rank : {1, 6, 9}) {
        estimator.setNeighbourRank(rank);
        expectGridMatchesBruteForce(estimator, BoundingBox<T>(Vector<T>{T(-1), T(-1), T(-1)}, Vector<T>{T(6), T(5), T(4)}),
                                    8, 7, 6);
    }
}

TYPED_TEST(PoissonDensityEstimatorTest, RanksOneGiveTheAnalyticDensities)
{
    using T = TypeParam;
    Vertices<T> first(3, 0), second(3, 0);
    first.append(Vector<T>{T(1), T(0), T(0)});
    first.append(Vector<T>{T(5), T(0), T(0)});
    second.append(Vector<T>{T(0), T(2), T(0)});
    const Vector<T> origin{T(0), T(0), T(0)};

    PoissonDensityEstimator<T> estimator;
    estimator.addShape(first);
    EXPECT_EQ(estimator.compute3D(origin), T(0)); // k m - 1 = 0 points in one ball
    estimator.addShape(second);
    const double expected = 1.0 / (4.0 / 3.0 * pi * (1.0 + 8.0));
    EXPECT_NEAR(static_cast<double>(estimator.compute3D(origin)), expected, 1e-6 * expected);

    // With k = 2 the single-point pattern answers with its farthest (only)
    // point, which the exhaustive reference also keeps.
    estimator.setNeighbourRank(2);
    EXPECT_EQ(estimator.bruteForceKthNeighbourDistance(second, origin), T(4));
    EXPECT_EQ(estimator.bruteForceKthNeighbourDistance(first, origin), T(25));
    EXPECT_EQ(estimator.compute3D(origin), bruteForceDensity(estimator, origin));
    EXPECT_PLEXAN_THROW(estimator.setNeighbourRank(0), ValueError,
                        "void PoissonDensityEstimator<T>::setNeighbourRank(int)", "The neighbour rank must be at least 1");
}

// Regression: the density at a single point used the numerator rounded to
// single precision, as only the grid samples take it, and so lost all but
// seven digits in double and long double.
TYPED_TEST(PoissonDensityEstimatorTest, PointDensityKeepsThePrecisionOfItsType)
{
    using T = TypeParam;
    Vertices<T> first(3, 0), second(3, 0);
    first.append(Vector<T>{T(1), T(0), T(0)});
    second.append(Vector<T>{T(0), T(1), T(0)});
    PoissonDensityEstimator<T> estimator;
    estimator.setShapes({&first, &second});
    // One point in two unit balls: 1 / ((4/3) pi 2) = 3 / (8 pi).
    const T exact = T(3) / (T(8) * T(pi));
    const Vector<T> origin{T(0), T(0), T(0)};
    EXPECT_EQ(estimator.compute3D(origin), exact);
    Vertices<T> probes(3, 0);
    probes.append(origin);
    EXPECT_EQ(estimator.compute3D(probes)[0], exact);

    // The grid sample at the same point keeps the single-precision numerator.
    VoxelMatrix<T> density(1, 1, 1);
    console([&] { estimator.compute(density, BoundingBox<T>(origin, origin)); });
    EXPECT_EQ(density(0, 0, 0), static_cast<T>(static_cast<float>(0.75 / pi)) / T(2));
    if (!std::is_same_v<T, float>) {
        EXPECT_NE(density(0, 0, 0), exact);
    }
}

namespace {

// Cancels the estimation at its first progress step.
class CancellingMonitor : public ProgressMonitor {
public:
    int steps = 0;
    int canceled = 0;
    int finished = 0;

protected:
    void subjectProgressed(unsigned int, unsigned int) override
    {
        ++steps;
        currentSubject()->cancel();
    }
    void subjectCanceled(const std::string&) override { ++canceled; }
    void subjectFinished(const std::string&) override { ++finished; }
};

} // namespace

TEST(PoissonDensityParallel, PlanesInParallelGiveTheSingleThreadBits)
{
    std::mt19937 rng(21);
    Vertices<double> a = randomPattern<double>(rng, 300, 0.0, 10.0);
    Vertices<double> b = randomPattern<double>(rng, 120, 2.0, 9.0);
    PoissonDensityEstimator<double> estimator;
    estimator.setShapes({&a, &b});
    estimator.setNeighbourRank(3);
    const BoundingBox<double> box(Vector<double>{-1.0, 0.0, 0.5}, Vector<double>{11.0, 10.0, 9.5});
    // Fewer planes than threads, and more.
    for (int planes : {1, 3, 10}) {
        VoxelMatrix<double> single(9, 7, planes);
        std::string singleLine;
        {
            plexan::parallel::ThreadCountScope one(1);
            singleLine = console([&] { estimator.compute(single, box); });
        }
        for (int threads : {2, 3, 4}) {
            plexan::parallel::ThreadCountScope scope(threads);
            VoxelMatrix<double> parallel(9, 7, planes);
            RecordingMonitor monitor;
            estimator.addMonitor(monitor);
            EXPECT_EQ(console([&] { estimator.compute(parallel, box); }), singleLine);
            estimator.removeMonitor(monitor);
            for (int k = 0; k < planes; ++k)
                for (int i = 0; i < 9; ++i)
                    for (int j = 0; j < 7; ++j)
                        ASSERT_EQ(parallel(i, j, k), single(i, j, k)) << threads << " threads at " << i << " " << j
                                                                      << " " << k;
            // One step per plane, in order, whichever thread finished it.
            ASSERT_GE(monitor.steps.size(), static_cast<size_t>(planes));
            for (int k = 0; k < planes; ++k)
                EXPECT_EQ(monitor.steps[static_cast<size_t>(k)],
                          std::make_pair(static_cast<unsigned int>(k), static_cast<unsigned int>(planes)));
        }
    }
}

TEST(PoissonDensityParallel, CancellingStopsThePlanesNotYetStarted)
{
    std::mt19937 rng(22);
    Vertices<double> a = randomPattern<double>(rng, 200, 0.0, 10.0);
    const BoundingBox<double> box(Vector<double>{0.0, 0.0, 0.0}, Vector<double>{10.0, 10.0, 10.0});
    for (int threads : {1, 2, 4}) {
        plexan::parallel::ThreadCountScope scope(threads);
        PoissonDensityEstimator<double> estimator;
        estimator.setShapes({&a});
        estimator.setNeighbourRank(2);
        CancellingMonitor monitor;
        estimator.addMonitor(monitor);
        VoxelMatrix<double> density(6, 6, 40);
        for (int k = 0; k < 40; ++k)
            for (int i = 0; i < 6; ++i)
                for (int j = 0; j < 6; ++j)
                    density(i, j, k) = -1.0;
        const std::string printed = console([&] { estimator.compute(density, box); });
        EXPECT_TRUE(estimator.isCanceled());
        EXPECT_EQ(monitor.canceled, 1) << threads << " threads";
        EXPECT_EQ(monitor.finished, 0) << threads << " threads";
        EXPECT_TRUE(printed.empty()) << printed;
        int untouched = 0;
        for (int k = 0; k < 40; ++k)
            untouched += density(0, 0, k) == -1.0;
        // One thread stops right after the plane that reported; other
        // threads may have taken every plane before the caller's first report.
        if (threads == 1)
            EXPECT_EQ(untouched, 39) << "planes were computed after the cancellation";
    }
}
