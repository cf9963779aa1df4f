#include "numerics/hugepages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t MiB = std::size_t(1) << 20;

// A byte pattern that no run of zeros or repeated page can imitate.
unsigned char patternAt(std::size_t i)
{
    return static_cast<unsigned char>((i * 2654435761u) >> 13);
}

} // namespace

// Blocks on both sides of the size from which storage comes in huge pages:
// every byte asked for is writable and keeps what was written, and a block
// goes back the way it came (the sanitizer run reports a block given back
// with the other kind of release).
TEST(HugePages, LargeBlocksHoldEveryByteAndGoBackTheWayTheyCame)
{
    const std::size_t sizes[] = {1, 4095, MiB - 1, MiB, MiB + 1, 2 * MiB + 12345, 5 * MiB};
    for (std::size_t bytes : sizes) {
        SCOPED_TRACE(bytes);
        auto* data = static_cast<unsigned char*>(plexan::allocateLarge(bytes));
        ASSERT_NE(data, nullptr);
        if (bytes >= MiB) {
            // Whole huge pages from the first byte, or the first 2 MiB take
            // 512 small faults.
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % (2 * MiB), 0u);
        }
        for (std::size_t i = 0; i < bytes; ++i)
            data[i] = patternAt(i);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            wrong += data[i] != patternAt(i);
        EXPECT_EQ(wrong, 0u);
        plexan::freeLarge(data, bytes);
    }
    plexan::freeLarge(nullptr, 5 * MiB);
}

// The advice is about how pages are mapped, never about what they hold: a
// range advised while full, starting and ending inside pages, reads back
// unchanged, bytes outside it too.
TEST(HugePages, AdviceLeavesContentsAlone)
{
    const std::size_t bytes = 6 * MiB + 777;
    std::vector<unsigned char> block(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        block[i] = patternAt(i);
    plexan::adviseHugePages(block.data() + 1000, 5 * MiB + 3);
    plexan::adviseHugePages(block.data(), bytes);
    plexan::adviseHugePages(block.data() + 17, 4096); // too small for a huge page
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        wrong += block[i] != patternAt(i);
    EXPECT_EQ(wrong, 0u);
}

// reserveLarge on a vector being filled: what it held stays, the room asked
// for is there, and asking for no more than it has moves nothing (pointers
// into it stay valid).
TEST(HugePages, ReserveLargeKeepsContentsAndMovesOnlyToGrow)
{
    std::vector<std::uint32_t> v;
    for (std::uint32_t i = 0; i < 1000; ++i)
        v.push_back(i * 7919u);
    const std::size_t n = 3 * MiB / sizeof(std::uint32_t);
    plexan::reserveLarge(v, n);
    ASSERT_GE(v.capacity(), n);
    ASSERT_EQ(v.size(), 1000u);
    for (std::uint32_t i = 0; i < 1000; ++i)
        ASSERT_EQ(v[i], i * 7919u) << i;
    const std::uint32_t* before = v.data();
    plexan::reserveLarge(v, n / 2);
    plexan::reserveLarge(v, v.capacity());
    EXPECT_EQ(v.data(), before);
    for (std::size_t i = v.size(); i < n; ++i)
        v.push_back(static_cast<std::uint32_t>(i * 7919u));
    EXPECT_EQ(v.data(), before);
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(v[i], static_cast<std::uint32_t>(i * 7919u)) << i;
}

// A container on LargeAllocator behaves as on the standard allocator,
// element for element, while it grows across the huge-page size, is copied
// and is resized with a value; elements with constructors of their own are
// built, not left unwritten.
TEST(LargeAllocator, ContainersMatchTheStandardAllocator)
{
    std::vector<double, plexan::LargeAllocator<double>> large;
    std::vector<double> reference;
    for (int i = 0; i < 400000; ++i) { // 3.2 MB: reallocates from small blocks to huge pages
        large.push_back(i * 0.5 - 3.0);
        reference.push_back(i * 0.5 - 3.0);
    }
    ASSERT_EQ(large.size(), reference.size());
    EXPECT_TRUE(std::equal(large.begin(), large.end(), reference.begin()));

    const std::vector<double, plexan::LargeAllocator<double>> copy(large);
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), reference.begin()));

    large.resize(500000, 42.0);
    reference.resize(500000, 42.0);
    EXPECT_TRUE(std::equal(large.begin(), large.end(), reference.begin()));
    large.assign(3, 1.5);
    EXPECT_EQ(large.size(), 3u);
    EXPECT_EQ(large[2], 1.5);

    std::vector<std::string, plexan::LargeAllocator<std::string>> names;
    names.resize(70000); // about 2 MB of strings
    for (const std::string& s : names)
        ASSERT_TRUE(s.empty());
    names.emplace_back(40, 'x');
    names.resize(names.size() + 2, "cell");
    EXPECT_EQ(names[70000], std::string(40, 'x'));
    EXPECT_EQ(names.back(), "cell");
    EXPECT_EQ(names[70001], "cell");
}
