#include "statistics/histogramdensityestimator.h"

#include "statisticstesting.h"

#include <gtest/gtest.h>

using statisticstesting::randomPattern;

namespace {

template <typename T>
class HistogramDensityEstimatorTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(HistogramDensityEstimatorTest, RealTypes);

} // namespace

TYPED_TEST(HistogramDensityEstimatorTest, CountsMatchCellByCellComparison)
{
    using T = TypeParam;
    // Widths and cell counts that are powers of two keep the cell edges exact.
    const BoundingBox<T> box(Vector<T>{T(-4), T(0), T(2)}, Vector<T>{T(4), T(8), T(4)});
    const int size[3] = {4, 8, 2};
    std::mt19937 rng(9);
    Vertices<T> a = randomPattern<T>(rng, 500, -5.0, 9.0);
    Vertices<T> b = randomPattern<T>(rng, 300, -1.0, 5.0);
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
            int cell[3];
            bool found = true;
            for (int d = 0; d < 3 && found; ++d) {
                const T lo = box.getVertex1()[d];
                const T w = box.width(d) / T(size[d]);
                cell[d] = -1;
                for (int c = 0; c < size[d]; ++c) {
                    const bool last = c == size[d] - 1;
                    if (lo + T(c) * w <= v[d] && (v[d] < lo + T(c + 1) * w || (last && v[d] == lo + T(c + 1) * w)))
                        cell[d] = c;
                }
                found = cell[d] >= 0;
            }
            if (found) {
                expected(cell[0], cell[1], cell[2]) += T(1);
                ++inside;
            }
        }
    EXPECT_TRUE(counts == expected);
    EXPECT_EQ(estimator.getNumTotal(), 800);
    EXPECT_EQ(estimator.getNumDiscarded(), 800 - inside);
}

TYPED_TEST(HistogramDensityEstimatorTest, FacesAndCornersBelongToTheirCells)
{
    using T = TypeParam;
    const BoundingBox<T> box(Vector<T>{T(0), T(0), T(0)}, Vector<T>{T(3), T(6), T(9)});
    Vertices<T> points(3, 0);
    points.append(Vector<T>{T(3), T(6), T(9)});  // upper corner: last cell
    points.append(Vector<T>{T(0), T(0), T(0)});  // lower corner: first cell
    points.append(Vector<T>{T(3), T(1), T(4)});  // upper x face
    points.append(Vector<T>{T(1), T(2), T(3)});  // on inner cell edges: the upper cell
    points.append(Vector<T>{T(3.001), T(1), T(1)}); // just outside: discarded
    points.append(Vector<T>{T(-0.001), T(1), T(1)});
    HistogramDensityEstimator<T> estimator;
    estimator.addShape(points);
    VoxelMatrix<T> counts(3, 3, 3);
    estimator.compute(counts, box);
    EXPECT_EQ(counts(2, 2, 2), T(1));
    EXPECT_EQ(counts(0, 0, 0), T(1));
    EXPECT_EQ(counts(2, 0, 1), T(1));
    EXPECT_EQ(counts(1, 1, 1), T(1));
    EXPECT_EQ(counts.cat().sum(), T(4));
    EXPECT_EQ(estimator.getNumDiscarded(), 2);
}
