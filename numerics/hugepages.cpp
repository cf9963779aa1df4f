#include "numerics/hugepages.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace plexan {

void adviseHugePages(const void* data, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t hugePage = std::uintptr_t(2) << 20;
    constexpr std::uintptr_t page = 4096;
    if (!data || bytes < hugePage)
        return;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

namespace {

constexpr std::size_t hugePageBytes = std::size_t(2) << 20;
constexpr std::size_t largeBytes = std::size_t(1) << 20;

} // namespace

void* allocateLarge(std::size_t bytes)
{
    if (bytes < largeBytes)
        return ::operator new(bytes);
    const std::size_t rounded = (bytes + hugePageBytes - 1) / hugePageBytes * hugePageBytes;
    void* data = ::operator new(rounded, std::align_val_t(hugePageBytes));
    adviseHugePages(data, rounded);
    return data;
}

void freeLarge(void* data, std::size_t bytes) noexcept
{
    if (!data)
        return;
    if (bytes < largeBytes)
        ::operator delete(data);
    else
        ::operator delete(data, std::align_val_t(hugePageBytes));
}

} // namespace plexan
