#include "geometry/vertexserver.h"

#include "numerics/hugepages.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

// Small servers still get blocks of a few slots, so that appending vertex by
// vertex with a growth of 1 does not allocate for every vertex.
constexpr int minimumBlockSlots = 16;
// The slots of a new block are set up in chunks of this many, on every core.
constexpr std::ptrdiff_t slotsPerChunk = 1 << 15;

// The storage of large blocks freed lately, handed to the next block that
// fits it: a program that makes one mesh after another, dropping the one
// before, then writes memory it has written before instead of taking fresh
// pages from the system (each of which it must clear first). A few blocks
// of 1 to 64 MiB are kept, 64 MiB at most in all; the latest freed is
// handed out first.
class SpareStorage {
public:
    static SpareStorage& instance()
    {
        // Never destroyed: pools freed while the program exits still find it.
        static SpareStorage* spare = new SpareStorage;
        return *spare;
    }
    // Storage of at least `bytes` and at most a quarter more, its size in
    // `size`; nullptr when none is kept.
    void* take(std::size_t bytes, std::size_t& size)
    {
        if (bytes < minimum || bytes > maximum)
            return nullptr;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto e = m_entries.rbegin(); e != m_entries.rend(); ++e) {
            if (e->bytes >= bytes && e->bytes - bytes <= bytes / 4) {
                void* storage = e->storage;
                size = e->bytes;
                m_total -= e->bytes;
                m_entries.erase(std::next(e).base());
                return storage;
            }
        }
        return nullptr;
    }
    // Keeps the storage, or frees it when it is too small or too large to
    // keep; the oldest kept storage goes when the count or total is reached.
    void give(void* storage, std::size_t bytes) noexcept
    {
        if (bytes < minimum || bytes > maximum) {
            plexan::freeLarge(storage, bytes);
            return;
        }
        std::vector<Entry> dropped;
        try {
            std::lock_guard<std::mutex> lock(m_mutex);
            while (!m_entries.empty() && (m_entries.size() >= maximumCount || m_total + bytes > maximumTotal)) {
                dropped.push_back(m_entries.front());
                m_total -= m_entries.front().bytes;
                m_entries.erase(m_entries.begin());
            }
            m_entries.push_back({storage, bytes});
            m_total += bytes;
        } catch (...) {
            plexan::freeLarge(storage, bytes);
        }
        for (const Entry& e : dropped)
            plexan::freeLarge(e.storage, e.bytes);
    }

private:
    struct Entry {
        void* storage;
        std::size_t bytes;
    };
    static constexpr std::size_t minimum = std::size_t(1) << 20;
    static constexpr std::size_t maximum = std::size_t(64) << 20;
    static constexpr std::size_t maximumTotal = std::size_t(64) << 20;
    static constexpr std::size_t maximumCount = 4;

    std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::size_t m_total = 0;
};

} // namespace

template <typename T>
VertexServer<T>::VertexServer(int space, int size, int capacity, int growth)
    : m_space(std::max(space, 0)), m_size(std::max(size, 0))
{
    if (capacity < 1)
        capacity = m_size;
    if (growth < 1)
        growth = m_size;
    m_growth = growth;
    addSlots(std::max(capacity, m_size));
}

template <typename T>
VertexServer<T>::VertexServer(const VertexServer& other)
{
    copyFrom(other);
}

template <typename T>
VertexServer<T>& VertexServer<T>::operator=(const VertexServer& other)
{
    if (this != &other) {
        clear();
        copyFrom(other);
    }
    return *this;
}

template <typename T>
VertexServer<T>::~VertexServer() = default;

template <typename T>
void VertexServer<T>::StorageDeleter::operator()(void* storage) const
{
    constexpr int run = 1 << viewRunShift;
    for (int r = 0; r * run < count; ++r)
        if (made[r].load(std::memory_order_relaxed))
            std::destroy_n(views + r * run, std::min(run, count - r * run));
    SpareStorage::instance().give(storage, bytes);
}

template <typename T>
void VertexServer<T>::copyFrom(const VertexServer& other)
{
    m_space = other.m_space;
    m_size = other.m_size;
    m_growth = other.m_growth;
    addSlots(other.getCapacity());
    // One block holds every slot of the copy: copy block by block.
    T* target = m_blocks.empty() ? nullptr : m_blocks.front().coordinates;
    for (const Block& block : other.m_blocks) {
        const std::size_t n = static_cast<std::size_t>(block.used) * static_cast<std::size_t>(m_space);
        std::copy(block.coordinates, block.coordinates + n, target);
        target += n;
    }
}

template <typename T>
void VertexServer<T>::addSlots(int n)
{
    while (n > 0) {
        if (m_blocks.empty() || m_blocks.back().used == m_blocks.back().capacity) {
            Block block;
            block.capacity = std::max(n, minimumBlockSlots);
            block.firstSlot = getCapacity();
            const std::size_t count = static_cast<std::size_t>(block.capacity) * static_cast<std::size_t>(m_space);
            // A large block takes the storage of one freed lately when one
            // fits, or new storage of whole huge pages, written for the first
            // time here with few page faults. The slots' coordinates are
            // cleared here, shared among the threads for a large block; the
            // room for their views stays untouched until they are asked for.
            const std::size_t viewsAt =
                (count * sizeof(T) + alignof(Vector<T>) - 1) / alignof(Vector<T>) * alignof(Vector<T>);
            const std::size_t needed = viewsAt + static_cast<std::size_t>(block.capacity) * sizeof(Vector<T>);
            std::size_t bytes = needed;
            void* storage = SpareStorage::instance().take(needed, bytes);
            if (!storage)
                storage = plexan::allocateLarge(needed);
            T* coordinates = static_cast<T*>(storage);
            auto* views = reinterpret_cast<Vector<T>*>(static_cast<char*>(storage) + viewsAt);
            const int space = m_space;
            const std::size_t runs = (static_cast<std::size_t>(block.capacity) >> viewRunShift) + 1;
            try {
                block.made = std::make_unique<std::atomic<bool>[]>(runs);
            } catch (...) {
                SpareStorage::instance().give(storage, bytes);
                throw;
            }
            plexan::parallel::forEachChunk(0, block.capacity, slotsPerChunk, [&](std::ptrdiff_t a, std::ptrdiff_t b) {
                std::fill(coordinates + a * space, coordinates + b * space, T(0));
            });
            block.storage = std::unique_ptr<void, StorageDeleter>(
                storage, StorageDeleter{bytes, views, block.capacity, block.made.get()});
            block.coordinates = coordinates;
            block.views = views;
            m_blocks.push_back(std::move(block));
        }
        Block& last = m_blocks.back();
        const int take = std::min(n, last.capacity - last.used);
        last.used += take;
        m_capacity += take;
        n -= take;
    }
    updateHead();
}

template <typename T>
void VertexServer<T>::updateHead()
{
    const Block* head = m_blocks.empty() ? nullptr : &m_blocks.front();
    m_head = head ? head->views : nullptr;
    m_headMade = head ? head->made.get() : nullptr;
    m_headCoordinates = head ? head->coordinates : nullptr;
    m_headCount = head ? head->used : 0;
}

template <typename T>
const typename VertexServer<T>::Block& VertexServer<T>::blockOf(int i) const
{
    if (i < m_headCount)
        return m_blocks.front();
    // The last block whose first slot is at or before i.
    return *(std::upper_bound(m_blocks.begin(), m_blocks.end(), i,
                              [](int index, const Block& b) { return index < b.firstSlot; }) - 1);
}

template <typename T>
Vector<T>* VertexServer<T>::laterSlot(int i) const
{
    const Block& block = blockOf(i);
    const int k = i - block.firstSlot;
    if (!block.made[static_cast<std::size_t>(k >> viewRunShift)].load(std::memory_order_acquire))
        makeViews(block, k >> viewRunShift);
    return block.views + k;
}

template <typename T>
T* VertexServer<T>::laterCoordinates(int i) const
{
    const Block& block = blockOf(i);
    return block.coordinates + static_cast<std::ptrdiff_t>(i - block.firstSlot) * m_space;
}

template <typename T>
int VertexServer<T>::contiguousSlots(int i) const
{
    if (i < 0 || i >= m_capacity)
        return 0;
    const Block& block = blockOf(i);
    return block.firstSlot + block.used - i;
}

template <typename T>
void VertexServer<T>::makeViews(const Block& block, int run) const
{
    std::atomic<bool>& made = block.made[static_cast<std::size_t>(run)];
    std::lock_guard<std::mutex> lock(m_viewsMutex);
    if (made.load(std::memory_order_relaxed))
        return;
    const int first = run << viewRunShift;
    const int last = std::min(first + (1 << viewRunShift), block.capacity);
    for (int k = first; k < last; ++k)
        (new (block.views + k) Vector<T>())->setShallow(block.coordinates + static_cast<std::ptrdiff_t>(k) * m_space, m_space);
    made.store(true, std::memory_order_release);
}

template <typename T>
void VertexServer<T>::setCapacity(int n)
{
    n = std::max(n, 0);
    const int capacity = getCapacity();
    if (n == capacity)
        return;
    if (n > capacity) {
        addSlots(n - capacity);
        return;
    }
    while (!m_blocks.empty() && m_blocks.back().firstSlot >= n && n < capacity)
        m_blocks.pop_back();
    if (!m_blocks.empty())
        m_blocks.back().used = std::min(m_blocks.back().used, n - m_blocks.back().firstSlot);
    if (n == 0)
        m_blocks.clear();
    m_capacity = n;
    m_size = std::min(m_size, n);
    updateHead();
}

template <typename T>
void VertexServer<T>::setSize(int n)
{
    n = std::max(n, 0);
    const int capacity = getCapacity();
    if (n > capacity) {
        const long long step = m_growth > 0 ? m_growth : 1;
        const long long steps = (static_cast<long long>(n) - capacity + step - 1) / step;
        const long long target = std::min<long long>(capacity + steps * step, 0x7fffffff);
        addSlots(static_cast<int>(target) - capacity);
    }
    m_size = n;
}

template <typename T>
void VertexServer<T>::append(const VertexServer& other)
{
    const char* where = "void VertexServer<T>::append(const VertexServer&)";
    if (&other == this)
        throw ValueError(where, "Cannot append server to itself");
    if (other.m_space != m_space)
        throw ValueError(where, "Incompatible server space dimension");
    const int start = m_size;
    setSize(m_size + other.m_size);
    for (int i = 0; i < other.m_size; ++i)
        std::copy_n(other.coordinates(i), m_space, coordinates(start + i));
}

template <typename T>
void VertexServer<T>::clear()
{
    m_blocks.clear();
    m_capacity = 0;
    m_size = 0;
    updateHead();
}

template <typename T>
void VertexServer<T>::deref()
{
    if (m_refs < 1)
        return;
    if (--m_refs == 0)
        delete this;
}

#define PLEXAN_INSTANTIATE(T) template class VertexServer<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
