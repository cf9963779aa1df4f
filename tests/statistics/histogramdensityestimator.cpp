#include "statistics/histogramdensityestimator.h"

#include "statisticstesting.h"

using namespace statisticstesting;

namespace {

template <typename T>
class HistogramDensityEstimatorTest : public ::testing::Test {};
TYPED_TEST_SUITE(HistogramDensityEstimatorTest, RealTypes);

} // namespace

// Cells are closed below and open above, the last one closed on both sides.
TYPED_TEST(HistogramDensityEstimatorTest, CountsMatchCellByCellComparison)
{
    using T = TypeParam;
    // Widths and cell counts that are powers of two keep the cell edges exact.
    const BoundingBox<T> box(Vector<T>{T(-4), T(0), T(2)}, Vector<T>{T(4), T(8), T(4)});
    const int size[3] = {4, 8, 2};
    std::mt19937 rng(9);
    Vertices<T> a = randomPattern<T>(rng, 500, -5.0, 9.0);
    Vertices<T> b = randomPattern<T>(rng, 300, -1.0, 5.0);
    // Corners, faces, inner cell edges, and points just outside.
    for (const Vector<T>& v : {Vector<T>{T(4), T(8), T(4)}, Vector<T>{T(-4), T(0), T(2)}, Vector<T>{T(4), T(1), T(3)},
                               Vector<T>{T(0), T(2), T(3)}, Vector<T>{T(4.001), T(1), T(3)},
                               Vector<T>{T(-4.001), T(1), T(3)}})
        b.append(v);
    HistogramDensityEstimator<T> estimator;
    estimator.setShapes({&a, &b});
    VoxelMatrix<T> counts(size[0], size[1], size[2]);
    counts.fill(T(7)); // overwritten
    estimator.compute(counts, box);

    VoxelMatrix<T> expected(size[0], size[1], size[2]);
    expected.setZeros();
    long long inside = 0;
    for (const Vertices<T>* pattern : {&a, &b})
        for (int n = 0; n < pattern->getNumVertices(); ++n) {
            const Vector<T>& v = (*pattern)[n];
            int cell[3] = {-1, -1, -1};
            for (int d = 0; d < 3; ++d) {
                const T lo = box.getVertex1()[d], w = box.width(d) / T(size[d]);
                for (int c = 0; c < size[d]; ++c)
                    if (lo + T(c) * w <= v[d] && (v[d] < lo + T(c + 1) * w || (c == size[d] - 1 && v[d] == lo + T(c + 1) * w)))
                        cell[d] = c;
            }
            if (cell[0] >= 0 && cell[1] >= 0 && cell[2] >= 0) {
                expected(cell[0], cell[1], cell[2]) += T(1);
                ++inside;
            }
        }
    EXPECT_TRUE(counts == expected);
    EXPECT_EQ(estimator.getNumTotal(), 806);
    EXPECT_EQ(estimator.getNumDiscarded(), 806 - inside);
}
