#include "imageprocessing/voxelmatrixerosion.h"

#include "morphologyreference.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace {

template <typename T>
class ErosionTyped : public ::testing::Test {};
TYPED_TEST_SUITE(ErosionTyped, plexan::test::MorphologyTypes);

TYPED_TEST(ErosionTyped, MatchesTheMinimumOverTheElement)
{
    using T = TypeParam;
    std::mt19937 rng(31);
    for (int trial = 0; trial < 12; ++trial) {
        const VoxelMatrix<T> element = plexan::test::randomElement<T>(rng);
        const VoxelMatrix<T> image = plexan::test::randomVolume<T>(rng);
        VoxelMatrixErosion<T> erosion;
        erosion.setStructElt(element);
        VoxelMatrix<T> result = image;
        erosion.apply(result);
        SCOPED_TRACE(::testing::Message() << "trial " << trial);
        EXPECT_EQ(result, (plexan::test::bruteForceMorphology<T, false>(image, element)));
        // The padded copy is only held while apply runs.
        EXPECT_EQ(erosion.localMinimum(0, 0, 0), std::numeric_limits<T>::max());
    }
}

TEST(VoxelMatrixErosion, IntegersSaturateInsteadOfWrapping)
{
    VoxelMatrix<unsigned short> v(3, 3, 1);
    v.fill(2);
    v(1, 1, 0) = 60000;
    VoxelMatrix<unsigned short> element(1, 3, 1);
    element.fill(5); // 2 - 5 saturates at 0
    VoxelMatrixErosion<unsigned short> erosion;
    erosion.setStructElt(element);
    erosion.apply(v);
    EXPECT_EQ(v.range(), (Vector<unsigned short>{0, 0}));

    VoxelMatrix<int> w(1, 3, 1);
    w.fill(std::numeric_limits<int>::min() + 1);
    VoxelMatrix<int> one(1, 1, 1);
    one(0, 0, 0) = 3;
    VoxelMatrixErosion<int> intErosion;
    intErosion.setStructElt(one);
    intErosion.apply(w);
    EXPECT_EQ(w(0, 1, 0), std::numeric_limits<int>::min());
}

TEST(VoxelMatrixErosion, RefusesEmptyAndEvenElements)
{
    VoxelMatrixErosion<double> erosion;
    const char* where = "void VoxelMatrixErosion<T>::setStructElt(...)";
    EXPECT_PLEXAN_THROW(erosion.setStructElt(VoxelMatrix<double>()), SizeError, where, "Empty structuring element");
    EXPECT_PLEXAN_THROW(erosion.setStructElt(VoxelMatrix<double>(3, 2, 3)), SizeError, where,
                        "Structuring element with even size(s)");
    EXPECT_EQ(erosion.getStructElt().getSize(), (Vector<int>{3, 3, 3})); // the default is kept
}

} // namespace
