#include "imageprocessing/volumehistogramexpansion.h"

#include <gtest/gtest.h>

#include <random>

namespace {

template <typename T>
class ExpansionTyped : public ::testing::Test {};
using ExpansionTypes = ::testing::Types<short, unsigned short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(ExpansionTyped, ExpansionTypes);

// Every voxel maps as (v - lo) x (max - min) / (hi - lo) + min, the range of
// the volume onto (min, max), in the element type's arithmetic.
TYPED_TEST(ExpansionTyped, MapsTheRangeLinearly)
{
    using T = TypeParam;
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> value(20, 140);
    VoxelMatrix<T> v(6, 7, 3);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 7; ++j)
                v(i, j, k) = static_cast<T>(value(rng)) / static_cast<T>(std::is_integral_v<T> ? 1 : 4);
    const Vector<T> range = v.range();
    for (const auto& [min, max] : {std::pair<int, int>{0, 255}, {10, 1000}, {300, 40}}) {
        VoxelMatrix<T> out = v;
        VolumeHistogramExpansion<T> expansion;
        expansion.setMinMax(static_cast<T>(min), static_cast<T>(max));
        expansion.apply(out);
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 6; ++i)
                for (int j = 0; j < 7; ++j) {
                    T expected;
                    if constexpr (std::is_integral_v<T>)
                        expected = static_cast<T>((static_cast<long long>(v(i, j, k)) - range[0])
                                                      * (static_cast<long long>(max) - min) / (range[1] - range[0])
                                                  + min);
                    else
                        expected = (v(i, j, k) - range[0]) * (static_cast<T>(max) - static_cast<T>(min))
                                / (range[1] - range[0])
                            + static_cast<T>(min);
                    ASSERT_EQ(out(i, j, k), expected) << i << ", " << j << ", " << k;
                }
        EXPECT_EQ(out.range(), (Vector<T>{static_cast<T>(std::min(min, max)), static_cast<T>(std::max(min, max))}));
    }
}

TEST(VolumeHistogramExpansion, ConstantAndEmptyVolumes)
{
    VolumeHistogramExpansion<float> expansion;
    expansion.setMinMax(10.0f, 20.0f);
    VoxelMatrix<float> constant(3, 3, 3);
    constant.fill(4.0f);
    expansion.apply(constant);
    EXPECT_EQ(constant.range(), (Vector<float>{10.0f, 10.0f}));
    VoxelMatrix<float> empty;
    expansion.apply(empty);
    EXPECT_EQ(empty.getSize(), (Vector<int>{0, 0, 0}));
}

} // namespace
