#pragma once
// Large buffers written for the first time cost one page fault per 4 KiB
// page, which on virtual machines can outweigh the writing itself. Asking the
// system for transparent huge pages on such a buffer before touching it makes
// that one fault per 2 MiB.
//
// adviseHugePages(data, bytes) gives that advice for the whole pages inside
// [data, data + bytes) when the range is at least 2 MiB long (smaller ones
// cannot hold a huge page and are left alone). It changes no content, and
// does nothing where the system has no such advice.
//
// reserveLarge(v, n) reserves room for n elements in a vector and advises
// the new storage, for a vector about to be filled.
//
// allocateLarge(bytes) returns raw storage for a buffer about to be written;
// from 1 MiB on it is aligned on and rounded up to whole huge pages and
// advised, so that even a buffer of a few MiB, which an ordinary allocation
// would leave without one whole aligned huge page, takes a fault per 2 MiB.
// freeLarge(data, bytes) releases it, given the same size.
//
// LargeAllocator<T> gives a standard container that storage; resize() leaves
// the new elements of trivial types unwritten (no clearing of a buffer that
// is filled next), as reserve() and push_back() would.

#include <cstddef>
#include <new>
#include <utility>

namespace plexan {

// From this size on a matrix's rows, or a volume's planes, share one block
// from allocateLarge(); below it the rounding up to whole huge pages would
// cost too much memory.
constexpr std::size_t sharedBlockBytes = std::size_t(4) << 20;

void adviseHugePages(const void* data, std::size_t bytes);
void* allocateLarge(std::size_t bytes);
void freeLarge(void* data, std::size_t bytes) noexcept;

template <typename Vector>
void reserveLarge(Vector& v, std::size_t n)
{
    if (n <= v.capacity())
        return;
    v.reserve(n);
    adviseHugePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(*v.data()));
}

template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T)); }
    template <typename U>
    void construct(U* p) noexcept(noexcept(U()))
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <typename U>
    bool operator==(const LargeAllocator<U>&) const noexcept
    {
        return true;
    }
};

} // namespace plexan
