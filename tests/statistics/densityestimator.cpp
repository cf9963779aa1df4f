#include "statistics/densityestimator.h"

#include "statisticstesting.h"

#include <algorithm>

using namespace statisticstesting;

namespace {

// A density estimator that leaves the matrix as it is: the base operations
// are tested on their own.
template <typename T>
class PlainEstimator : public DensityEstimator<T> {
public:
    void compute(VoxelMatrix<T>&, const BoundingBox<T>&) override {}
};

// The closed surface of the box [lo, hi]^3 as twelve triangles.
template <typename T>
TriMesh<T> cube(T lo, T hi)
{
    TriMesh<T> mesh(3, 8);
    for (int c = 0; c < 8; ++c)
        mesh[c] = Vector<T>{(c & 1) ? hi : lo, (c & 2) ? hi : lo, (c & 4) ? hi : lo};
    const unsigned int faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& f : faces) {
        mesh.addTriangle(f[0], f[1], f[2]);
        mesh.addTriangle(f[0], f[2], f[3]);
    }
    return mesh;
}

template <typename T>
class DensityEstimatorTest : public ::testing::Test {};
TYPED_TEST_SUITE(DensityEstimatorTest, RealTypes);

} // namespace

TYPED_TEST(DensityEstimatorTest, MasksKeepTheInsideOrTheOutsideOfTheirMeshes)
{
    using T = TypeParam;
    // Cells of width 1 over [0, 10]^3: centres at 0.5, 1.5, ...
    const BoundingBox<T> box(Vector<T>{T(0), T(0), T(0)}, Vector<T>{T(10), T(10), T(10)});
    Vector<T> x, y, z;
    VoxelMatrix<T> matrix(10, 10, 10);
    DensityEstimator<T>::initGridPositions(x, y, z, matrix, box);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(x[i], T(i) + T(0.5));

    MaskSurface<T> outer(cube<T>(T(2), T(8)));
    MaskSurface<T> hole(cube<T>(T(4), T(6)), false);
    PlainEstimator<T> estimator;
    RecordingMonitor monitor;
    estimator.addMonitor(monitor);
    matrix.fill(T(1));
    estimator.applyMasks(matrix, box); // no mask: nothing changes
    EXPECT_EQ(matrix.cat().sum(), T(1000));

    estimator.setMaskSurfaces({&outer, &hole});
    estimator.applyMasks(matrix, box);
    auto within = [&](int i, int j, int k, T lo, T hi) {
        return lo < x[i] && x[i] < hi && lo < y[j] && y[j] < hi && lo < z[k] && z[k] < hi;
    };
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j)
            for (int k = 0; k < 10; ++k)
                EXPECT_EQ(matrix(i, j, k), within(i, j, k, 2, 8) && !within(i, j, k, 4, 6) ? T(1) : T(0)) << i << j << k;
    ASSERT_EQ(monitor.started.size(), 2u);
    EXPECT_EQ(monitor.started[1], "Applying masks onto density map");
    EXPECT_EQ(monitor.steps.back(), std::make_pair(9u, 10u));

    // Only quadrilateral meshes become masks.
    QuadMesh<T> tube(3, 3, 4);
    Vertices<T> points(3, 5);
    estimator.clearMaskSurfaces();
    estimator.setMaskShapes({&tube, &points, nullptr});
    ASSERT_EQ(estimator.getMaskSurfaces().size(), 1u);
    EXPECT_EQ(estimator.getMaskSurfaces()[0]->getTriMesh().getNumTriangles(), tube.toTriMesh().getNumTriangles());
}

TYPED_TEST(DensityEstimatorTest, PercentilesInterpolateTheDensityAtThePoints)
{
    using T = TypeParam;
    // Cells of width 2 over [0, 8] x [0, 6] x [0, 4]; the matrix holds a
    // linear function of the cell centre, which trilinear interpolation
    // reproduces between the centres.
    const Grid<T> grid(BoundingBox<T>(Vector<T>{T(0), T(0), T(0)}, Vector<T>{T(8), T(6), T(4)}), Vector<int>{4, 3, 2});
    auto f = [](T x, T y, T z) { return T(1) + T(2) * x + T(0.5) * y + T(3) * z; };
    VoxelMatrix<T> matrix(4, 3, 2);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 2; ++k)
                matrix(i, j, k) = f(grid.cellCentre(0, i), grid.cellCentre(1, j), grid.cellCentre(2, k));

    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Vertices<T> a(3, 0), b(3, 0);
    std::vector<T> expected;
    for (int n = 0; n < 41; ++n) {
        const Vector<T> v{T(1 + 6 * u(rng)), T(1 + 4 * u(rng)), T(1 + 2 * u(rng))}; // between the centres
        (n % 3 ? a : b).append(v);
        expected.push_back(f(v[0], v[1], v[2]));
    }
    std::sort(expected.begin(), expected.end());
    PlainEstimator<T> estimator;
    EXPECT_PLEXAN_THROW(estimator.percentile(matrix, grid, 50.0f), SizeError,
                        "Vector<T> DensityEstimator<T>::percentiles(...) const", "The patterns hold no point");
    estimator.setShapes({&a, &b});
    const Vector<T> levels = estimator.percentiles(matrix, grid, {0.0f, 25.0f, 50.0f, 100.0f});
    // Fractional voxel indices are single precision for every element type.
    const int rank[4] = {0, 10, 20, 40};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(levels[i], expected[rank[i]], T(1e-4)) << i;
}
