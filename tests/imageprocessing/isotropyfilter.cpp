#include "imageprocessing/isotropyfilter.h"

#include "image/voxelmatrix.h"

#include "randomimages.h"

#include <gtest/gtest.h>

using plexan::test::randomVoxels;

namespace {

TEST(IsotropyFilter, RunningSumsEqualDirectSums)
{
    std::mt19937 rng(24);
    for (IsotropyAnalysis analysis : {IsotropyMinOverMax, IsotropyMiddleOverMax, IsotropyMinOverMiddle})
        for (int h : {1, 2}) {
            const VoxelMatrix<double> in = randomVoxels<double>(7, 9, 6, rng, 0, 50);
            VoxelMatrix<double> fast(in), slow(in);
            IsotropyFilter<double> filter(h);
            filter.setAnalysis(analysis);
            filter.apply(fast);
            filter.slowApply(slow);
            for (int k = 0; k < 6; ++k)
                for (int i = 0; i < 7; ++i)
                    for (int j = 0; j < 9; ++j)
                        ASSERT_NEAR(fast(i, j, k), slow(i, j, k), 1e-9) << i << "," << j << "," << k;
        }
}

TEST(IsotropyFilter, BallsAreIsotropicLinesAndSheetsAreNot)
{
    // A uniform volume: every full window is a cube, isotropic.
    VoxelMatrix<float> flat(9, 9, 9);
    flat.fill(3.0f);
    IsotropyFilter<float> filter(2);
    filter.apply(flat);
    EXPECT_NEAR(flat(4, 4, 4), 1.0f, 1e-5f);

    // A bright line along the columns: no spread across it.
    VoxelMatrix<double> line(9, 9, 9);
    line.fill(0.0);
    for (int j = 0; j < 9; ++j)
        line(4, j, 4) = 1.0;
    IsotropyFilter<double> lines(2);
    lines.setAnalysis(IsotropyMiddleOverMax);
    lines.apply(line);
    EXPECT_NEAR(line(4, 4, 4), 0.0, 1e-12);

    // A sheet (one plane): two equal spreads, none across.
    VoxelMatrix<double> sheet(9, 9, 9);
    sheet.fill(0.0);
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 9; ++j)
            sheet(i, j, 4) = 1.0;
    VoxelMatrix<double> ratio(sheet);
    IsotropyFilter<double> sheets(2);
    sheets.setAnalysis(IsotropyMiddleOverMax);
    sheets.apply(ratio);
    EXPECT_NEAR(ratio(4, 4, 4), 1.0, 1e-12);
    sheets.setAnalysis(IsotropyMinOverMax);
    sheets.apply(sheet);
    EXPECT_NEAR(sheet(4, 4, 4), 0.0, 1e-12);
    // Empty neighbourhoods give 0.
    EXPECT_EQ(sheet(0, 0, 0), 0.0);
}

} // namespace
