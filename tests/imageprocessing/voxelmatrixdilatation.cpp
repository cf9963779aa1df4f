#include "imageprocessing/voxelmatrixdilatation.h"

#include "morphologyreference.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace {

template <typename T>
class DilatationTyped : public ::testing::Test {};
TYPED_TEST_SUITE(DilatationTyped, plexan::test::MorphologyTypes);

TYPED_TEST(DilatationTyped, MatchesTheMaximumOverTheElement)
{
    using T = TypeParam;
    std::mt19937 rng(47);
    for (int trial = 0; trial < 12; ++trial) {
        const VoxelMatrix<T> element = plexan::test::randomElement<T>(rng);
        const VoxelMatrix<T> image = plexan::test::randomVolume<T>(rng);
        VoxelMatrixDilatation<T> dilatation;
        dilatation.setStructElt(element);
        VoxelMatrix<T> result = image;
        dilatation.apply(result);
        SCOPED_TRACE(::testing::Message() << "trial " << trial);
        EXPECT_EQ(result, (plexan::test::bruteForceMorphology<T, true>(image, element)));
        EXPECT_EQ(dilatation.localMaximum(0, 0, 0), std::numeric_limits<T>::lowest());
    }
}

TEST(VoxelMatrixDilatation, DefaultFlatCubeSpreadsASingleVoxel)
{
    VoxelMatrix<short> v(5, 5, 5);
    v.fill(-3);
    v(2, 2, 2) = 9;
    VoxelMatrixDilatation<short> dilatation;
    dilatation.apply(v);
    for (int k = 0; k < 5; ++k)
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 5; ++j)
                ASSERT_EQ(v(i, j, k), std::abs(i - 2) <= 1 && std::abs(j - 2) <= 1 && std::abs(k - 2) <= 1 ? 9 : -3);
    EXPECT_PLEXAN_THROW(dilatation.setStructElt(VoxelMatrix<short>(4, 1, 1)), SizeError,
                        "void VoxelMatrixDilatation<T>::setStructElt(...)", "Structuring element with even size(s)");
}

} // namespace
