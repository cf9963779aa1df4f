#include "imageprocessing/componentlabelling.h"
#include "numerics/parallel.h"
#include "numerics/progressmonitor.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <utility>
#include <vector>

namespace {

// Foreground elements with probability p, holding assorted non-zero values.
template <typename T>
VoxelMatrix<T> randomBinary(int s1, int s2, int s3, double p, std::mt19937& rng)
{
    std::bernoulli_distribution inside(p);
    std::uniform_int_distribution<int> value(1, 9);
    VoxelMatrix<T> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                v(i, j, k) = inside(rng) ? static_cast<T>(value(rng)) : T(0);
    return v;
}

// Flood fill from every unlabelled foreground element met in raster order
// (plane, row, column), over the 6 face neighbours: the numbering the
// labelling must reproduce. Returns the number of components.
template <typename T>
int floodFillLabels(const VoxelMatrix<T>& in, std::vector<int>& labels)
{
    const int s1 = in.getSize1(), s2 = in.getSize2(), s3 = in.getSize3();
    auto at = [&](int i, int j, int k) { return (static_cast<size_t>(k) * s1 + i) * s2 + j; };
    labels.assign(static_cast<size_t>(s1) * s2 * s3, 0);
    int count = 0;
    std::vector<std::array<int, 3>> stack;
    const int steps[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j) {
                if (in(i, j, k) == T(0) || labels[at(i, j, k)] != 0)
                    continue;
                ++count;
                labels[at(i, j, k)] = count;
                stack.push_back({i, j, k});
                while (!stack.empty()) {
                    const auto p = stack.back();
                    stack.pop_back();
                    for (const auto& d : steps) {
                        const int a = p[0] + d[0], b = p[1] + d[1], c = p[2] + d[2];
                        if (a < 0 || a >= s1 || b < 0 || b >= s2 || c < 0 || c >= s3)
                            continue;
                        if (in(a, b, c) == T(0) || labels[at(a, b, c)] != 0)
                            continue;
                        labels[at(a, b, c)] = count;
                        stack.push_back({a, b, c});
                    }
                }
            }
    return count;
}

template <typename T>
void expectLabels(const VoxelMatrix<T>& labelled, const std::vector<int>& expected)
{
    std::vector<int> found;
    for (int k = 0; k < labelled.getSize3(); ++k)
        for (int i = 0; i < labelled.getSize1(); ++i)
            for (int j = 0; j < labelled.getSize2(); ++j)
                found.push_back(static_cast<int>(labelled(i, j, k)));
    EXPECT_EQ(found, expected);
}

template <typename T>
class ComponentLabellingTyped : public ::testing::Test {};
using LabelTypes = ::testing::Types<short, unsigned short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(ComponentLabellingTyped, LabelTypes);

// Random planes (4-connectivity, through the pixel route) and volumes
// (6-connectivity) against the flood fill, diagonal and edge neighbours
// apart.
TYPED_TEST(ComponentLabellingTyped, PlanesAndVolumesMatchFloodFill)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    const int shapes[][3] = {{1, 1, 1},  {1, 17, 1}, {23, 1, 1},   {2, 2, 1},    {31, 40, 1}, {64, 57, 1},
                             {5, 64, 1}, {4, 128, 1}, {3, 129, 1}, {1, 1, 30}, {5, 1, 7},   {13, 17, 11},
                             {24, 9, 20}, {6, 64, 5}};
    for (double p : {0.15, 0.35, 0.5, 0.6, 0.8})
        for (const auto& shape : shapes) {
            VoxelMatrix<T> volume = randomBinary<T>(shape[0], shape[1], shape[2], p, rng);
            std::vector<int> expected;
            const int count = floodFillLabels(volume, expected);
            ComponentLabelling<T> labelling;
            if (shape[2] == 1) {
                PixelMatrix<T> plane = volume[0];
                labelling.apply(plane);
                volume[0] = plane;
            } else {
                labelling.apply(volume);
            }
            SCOPED_TRACE(::testing::Message() << shape[0] << " x " << shape[1] << " x " << shape[2] << ", p = " << p);
            EXPECT_EQ(labelling.getNumLabels(), count);
            expectLabels(volume, expected);
        }
}

TEST(ComponentLabelling, MergedProvisionalLabels)
{
    // A U (and a W, whose three prongs start as three labels) joined at the
    // bottom is one component; the blob after it is numbered 2, not 4.
    PixelMatrix<int> shape(Matrix<int>(5, 9));
    const char* rows[] = {"1.1.1..11", "1.1.1..11", "1.1.1....", "11111....", "........."};
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 9; ++j)
            shape(i, j) = rows[i][j] == '1' ? 7 : 0;
    ComponentLabelling<int> labelling;
    labelling.apply(shape);
    EXPECT_EQ(labelling.getNumLabels(), 2);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 9; ++j)
            EXPECT_EQ(shape(i, j), rows[i][j] != '1' ? 0 : j < 7 ? 1 : 2) << i << ", " << j;
}

TEST(ComponentLabelling, CheckerboardIsOneComponentPerElement)
{
    // Every foreground element of an odd checkerboard is its own component:
    // more labels than half the elements, the most a plane can hold.
    for (int n : {1, 3, 9, 17}) {
        PixelMatrix<unsigned int> board(n, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                board(i, j) = (i + j) % 2 == 0 ? 1u : 0u;
        ComponentLabelling<unsigned int> labelling;
        labelling.apply(board);
        EXPECT_EQ(labelling.getNumLabels(), (n * n + 1) / 2);
        unsigned int next = 1;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                EXPECT_EQ(board(i, j), (i + j) % 2 == 0 ? next++ : 0u);
    }
}

TEST(ComponentLabelling, EmptyMatricesAndExplicitMerges)
{
    ComponentLabelling<double> labelling;
    PixelMatrix<double> none;
    labelling.apply(none);
    EXPECT_EQ(labelling.getNumLabels(), 0);
    VoxelMatrix<double> nothing;
    labelling.apply(nothing);
    EXPECT_EQ(labelling.getNumLabels(), 0);

    // equivLabel merges three classes under the smallest root.
    PixelMatrix<double> one(4, 4);
    one.setZeros();
    labelling.apply(one); // sizes the table
    const int a = labelling.newLabel(), b = labelling.newLabel(), c = labelling.newLabel();
    const int d = labelling.newLabel();
    EXPECT_EQ(labelling.equivLabel(d, c, b), b);
    EXPECT_EQ(labelling.equivLabel(c, d, a), a);
    EXPECT_EQ(labelling.equivLabel(b, b, b), a);

    // Labels past the table's room move to a larger table with the merges
    // made so far (the table of an apply stays with the thread, not with
    // the labelling: these start from an empty one and grow many times).
    std::vector<int> made = {a, b, c, d};
    for (int n = 0; n < 40; ++n)
        made.push_back(labelling.newLabel());
    for (size_t n = 1; n < made.size(); ++n)
        EXPECT_EQ(made[n], made[n - 1] + 1);
    EXPECT_EQ(labelling.equivLabel(made[43], made[20], made[30]), made[20]);
    EXPECT_EQ(labelling.equivLabel(made[30], made[43], made[43]), made[20]);
    EXPECT_EQ(labelling.equivLabel(made[43], made[3], made[42]), a);
    EXPECT_EQ(labelling.equivLabel(made[42], made[42], made[42]), a);
    EXPECT_EQ(labelling.equivLabel(made[41], made[41], made[41]), made[41]);
}

// Labels a copy of v with the given number of threads.
template <typename T>
VoxelMatrix<T> labelledWith(const VoxelMatrix<T>& v, int threads, int& count)
{
    plexan::parallel::ThreadCountScope scope(threads);
    VoxelMatrix<T> out = v;
    ComponentLabelling<T> labelling;
    labelling.apply(out);
    count = labelling.getNumLabels();
    return out;
}

// With several threads the planes are labelled in slabs (down to one plane
// a slab), joined across the slab borders and numbered slab after slab: the
// numbers must still be the flood fill's, element for element. Densities
// around the percolation threshold (about 0.31 for face neighbours) give
// components that wind through many slabs and are merged at several
// borders, their roots in slabs well before the one merged.
TEST(ComponentLabelling, SlabsOfPlanesMatchFloodFillAtAnyThreadCount)
{
    std::mt19937 rng(29);
    const int shapes[][3] = {{7, 9, 16}, {12, 5, 33}, {3, 70, 9}, {1, 1, 40}, {9, 8, 2}, {16, 16, 24}};
    for (double p : {0.1, 0.25, 0.31, 0.4, 0.7})
        for (const auto& shape : shapes) {
            const VoxelMatrix<int> volume = randomBinary<int>(shape[0], shape[1], shape[2], p, rng);
            std::vector<int> expected;
            const int components = floodFillLabels(volume, expected);
            for (int threads : {1, 2, 4}) {
                int count = 0;
                const VoxelMatrix<int> labelled = labelledWith(volume, threads, count);
                SCOPED_TRACE(::testing::Message() << shape[0] << " x " << shape[1] << " x " << shape[2]
                                                  << ", p = " << p << ", " << threads << " threads");
                EXPECT_EQ(count, components);
                expectLabels(labelled, expected);
            }
        }
}

// Slabs of many sizes (each a share of the planes left, down to one
// plane), on up to 8 threads: near the percolation density (0.31)
// components reach through many slabs.
TEST(ComponentLabelling, UnevenSlabsMatchFloodFill)
{
    std::mt19937 rng(31);
    for (double p : {0.2, 0.31, 0.45}) {
        const VoxelMatrix<int> volume = randomBinary<int>(11, 13, 100, p, rng);
        std::vector<int> expected;
        const int components = floodFillLabels(volume, expected);
        for (int threads : {1, 2, 3, 4, 8}) {
            int count = 0;
            const VoxelMatrix<int> labelled = labelledWith(volume, threads, count);
            SCOPED_TRACE(::testing::Message() << "p = " << p << ", " << threads << " threads");
            EXPECT_EQ(count, components);
            expectLabels(labelled, expected);
        }
    }
}

// Components that cross every slab border, built so that each border
// merges classes whose roots lie in different earlier slabs: a comb of
// columns through all planes, each column joined to the next by a bridge in
// a different plane (the last bridge in the first plane, the first in the
// last), and a lone voxel per plane between the columns, numbered between
// them.
TEST(ComponentLabelling, CombJoinedAcrossEverySlabBorder)
{
    const int planes = 32;
    const int columns = 9; // columns of the comb at 0, 2, ..., 8
    VoxelMatrix<double> comb(3, columns, planes);
    for (int k = 0; k < planes; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < columns; ++j)
                comb(i, j, k) = 0.0;
    for (int k = 0; k < planes; ++k) {
        for (int j = 0; j < columns; j += 2)
            comb(0, j, k) = 1.0;
        if (k % 3 == 1)
            comb(2, 1 + 2 * (k % 4), k) = 2.0;
    }
    for (int t = 0; t < 4; ++t) {
        const int k = (planes - 1) * (3 - t) / 3; // the bridges go up the planes backwards
        comb(1, 2 * t, k) = comb(1, 2 * t + 1, k) = comb(1, 2 * t + 2, k) = 5.0;
    }
    std::vector<int> expected;
    const int components = floodFillLabels(comb, expected);
    ASSERT_GT(components, 10);
    for (int threads : {1, 2, 4, 8}) {
        int count = 0;
        const VoxelMatrix<double> labelled = labelledWith(comb, threads, count);
        SCOPED_TRACE(::testing::Message() << threads << " threads");
        EXPECT_EQ(count, components);
        expectLabels(labelled, expected);
        EXPECT_EQ(labelled(0, 8, planes - 1), 1.0); // the whole comb is the first component
    }
}

// The classes touching across a border are merged as soon as both its
// slabs are labelled, while other borders are merged. Two serpentines
// cross every border once per column, in opposite directions (one joined
// at the first plane first, the other at the last), so their classes meet
// at each border in a different order;
// a comb of wide runs every other plane lies over many short runs of the
// plane before (one run touching several, the same pair in row after row);
// short rungs cross one border each.
TEST(ComponentLabelling, SerpentinesCrossingEveryBorderManyTimes)
{
    const int planes = 37;
    const int columns = 23;
    VoxelMatrix<int> v(8, columns, planes);
    for (int k = 0; k < planes; ++k)
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < columns; ++j)
                v(i, j, k) = 0;
    for (int j = 0; j < columns; j += 2)
        for (int k = 0; k < planes; ++k) {
            v(0, j, k) = 1;
            v(2, j, k) = 1;
        }
    for (int j = 0; j + 2 < columns; j += 2) {
        const bool first = (j / 2) % 2 == 0;
        v(0, j + 1, first ? 0 : planes - 1) = 1; // joined at the first plane first
        v(2, j + 1, first ? planes - 1 : 0) = 1; // joined at the last plane first
    }
    for (int k = 0; k < planes; ++k)
        for (int i = 4; i < 6; ++i)
            for (int j = 0; j < columns; ++j)
                v(i, j, k) = k % 2 == 1 ? 1 : (j % 3 == 0 ? 1 : 0);
    for (int k = 0; k + 1 < planes; k += 2) {
        v(7, (3 * k) % columns, k) = 1;
        v(7, (3 * k) % columns, k + 1) = 1;
    }
    std::vector<int> expected;
    const int components = floodFillLabels(v, expected);
    ASSERT_GT(components, 20);
    for (int threads : {1, 2, 3, 4, 8}) {
        int count = 0;
        const VoxelMatrix<int> labelled = labelledWith(v, threads, count);
        SCOPED_TRACE(::testing::Message() << threads << " threads");
        EXPECT_EQ(count, components);
        expectLabels(labelled, expected);
    }
}

// Volumes cut into slabs down to one plane each: a single plane, volumes
// thinner than the slabs the threads would cut, planes with nothing set
// (slabs without a label, between slabs with labels), and lone voxels and
// two-voxel columns in every plane, so that whatever plane a slab starts
// at, components of one voxel lie on both sides of its border and
// components of two cross it.
TEST(ComponentLabelling, ThinVolumesEmptySlabsAndLoneVoxelsAtBorders)
{
    std::vector<VoxelMatrix<int>> volumes;
    std::mt19937 rng(37);
    for (int planes : {1, 2, 3, 5})
        volumes.push_back(randomBinary<int>(9, 11, planes, 0.4, rng));
    VoxelMatrix<int> gaps = randomBinary<int>(10, 10, 40, 0.35, rng);
    for (int k = 0; k < 40; ++k)
        if (k < 3 || (k >= 8 && k < 30) || k == 35)
            for (int i = 0; i < 10; ++i)
                for (int j = 0; j < 10; ++j)
                    gaps(i, j, k) = 0;
    volumes.push_back(gaps);
    VoxelMatrix<int> lastOnly(6, 7, 12);
    lastOnly.setZeros();
    lastOnly(5, 6, 11) = 3;
    lastOnly(0, 0, 11) = 1;
    volumes.push_back(lastOnly);
    VoxelMatrix<int> lone(8, 12, 33);
    lone.setZeros();
    for (int k = 0; k < 33; ++k) {
        for (int j = 0; j < 12; j += 4)
            lone(k % 8, j, k) = 1; // one voxel alone
        lone((k + 3) % 8, 2, k) = 1; // with the same voxel of the next plane
        if (k + 1 < 33)
            lone((k + 3) % 8, 2, k + 1) = 1;
    }
    volumes.push_back(lone);
    for (std::size_t n = 0; n < volumes.size(); ++n) {
        std::vector<int> expected;
        const int components = floodFillLabels(volumes[n], expected);
        for (int threads : {1, 2, 3, 4, 8}) {
            int count = 0;
            const VoxelMatrix<int> labelled = labelledWith(volumes[n], threads, count);
            SCOPED_TRACE(::testing::Message() << "volume " << n << ", " << threads << " threads");
            EXPECT_EQ(count, components);
            expectLabels(labelled, expected);
        }
    }
}

// Borders joined while other slabs are still labelled and other borders
// joined, in whatever order the threads reach them: a volume near the
// percolation density, labelled again and again, must come out as the
// flood fill's every time.
TEST(ComponentLabelling, BordersJoinedInAnyOrderGiveTheSameNumbers)
{
    std::mt19937 rng(41);
    const VoxelMatrix<int> volume = randomBinary<int>(40, 40, 64, 0.31, rng);
    std::vector<int> expected;
    const int components = floodFillLabels(volume, expected);
    for (int threads : {2, 4, 8})
        for (int round = 0; round < 4; ++round) {
            int count = 0;
            const VoxelMatrix<int> labelled = labelledWith(volume, threads, count);
            SCOPED_TRACE(::testing::Message() << threads << " threads, round " << round);
            EXPECT_EQ(count, components);
            expectLabels(labelled, expected);
        }
}

// The table and the run buffers are kept from one apply to the next: one
// labelling applied to volumes of the same size and of other sizes, with
// the thread count changed in between (other slabs), must find each
// volume's own components.
TEST(ComponentLabelling, OneLabellingAppliedAgainAndAgain)
{
    std::mt19937 rng(43);
    ComponentLabelling<float> labelling;
    const int shapes[][4] = {{12, 15, 20, 2}, {12, 15, 20, 2}, {12, 15, 20, 4}, {7, 30, 9, 3},
                             {12, 15, 20, 1}, {1, 1, 3, 4},    {12, 15, 20, 2}};
    for (const auto& shape : shapes) {
        VoxelMatrix<float> volume = randomBinary<float>(shape[0], shape[1], shape[2], 0.33, rng);
        std::vector<int> expected;
        const int components = floodFillLabels(volume, expected);
        plexan::parallel::ThreadCountScope scope(shape[3]);
        labelling.apply(volume);
        SCOPED_TRACE(::testing::Message() << shape[0] << " x " << shape[1] << " x " << shape[2] << ", " << shape[3]
                                          << " threads");
        EXPECT_EQ(labelling.getNumLabels(), components);
        expectLabels(volume, expected);
    }
}

// The buffers of an apply stay with the calling thread for the next one,
// whichever labelling it is and whatever the size; an apply started inside
// another (here from the outer one's progress) works in buffers of its own.
TEST(ComponentLabelling, BuffersKeptFromLabellingToLabellingAndOneInsideAnother)
{
    std::mt19937 rng(47);
    plexan::parallel::ThreadCountScope scope(3);
    auto check = [](ComponentLabelling<int>& labelling, VoxelMatrix<int> volume) {
        std::vector<int> expected;
        const int components = floodFillLabels(volume, expected);
        labelling.apply(volume);
        EXPECT_EQ(labelling.getNumLabels(), components);
        expectLabels(volume, expected);
    };
    const VoxelMatrix<int> a = randomBinary<int>(14, 17, 30, 0.31, rng);
    const VoxelMatrix<int> b = randomBinary<int>(9, 40, 12, 0.45, rng);
    const VoxelMatrix<int> dense = randomBinary<int>(14, 17, 30, 0.7, rng);
    for (const VoxelMatrix<int>* volume : {&a, &a, &b, &dense, &a}) {
        ComponentLabelling<int> labelling;
        check(labelling, *volume);
    }

    struct Nested : ProgressMonitor {
        std::function<void()> inner;
        void subjectProgressed(unsigned int, unsigned int) override
        {
            if (inner)
                std::exchange(inner, nullptr)();
        }
    } nested;
    ComponentLabelling<int> outer;
    ComponentLabelling<int> inner;
    nested.inner = [&] { check(inner, b); };
    outer.addMonitor(nested);
    check(outer, a);
    EXPECT_FALSE(nested.inner);
    outer.removeMonitor(nested);
    check(outer, dense);
    check(inner, a);
}

} // namespace
