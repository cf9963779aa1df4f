#pragma once
// VertexServer<T>: the reference-counted pool of vertices that geometric
// objects share. Every slot is a Vector<T> of dimension getSpace(); slots are
// only ever appended, so a server index stays valid for the life of the pool.
//
// Slots are shallow vectors over coordinate blocks owned by the server: the
// coordinates of consecutive slots are contiguous within a block, a slot never
// moves, and assigning a vector of another dimension into a slot throws the
// vector's UsageError. Slots are zero until written.
//
// A slot's vector (its view on the coordinates) is made when the slot is
// first asked for, together with the views of its run of neighbours (2048
// slots): a pool filled and read through coordinates() alone never writes
// them. Any number of threads may ask for slots of a pool at once.
//
// A server is shared by its clients (VertexClient<T>) through ref()/deref();
// the last deref() deletes it, so referenced servers live on the heap.

#include "geometry/coordinates.h"
#include "numerics/vector.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

template <typename T>
class VertexServer {
public:
    // A capacity below 1 stands for the size, and so does a growth below 1.
    explicit VertexServer(int space = 0, int size = 0, int capacity = 0, int growth = 0);
    // Deep copies of space, size, growth and every slot up to the capacity;
    // the copy has no references.
    VertexServer(const VertexServer& other);
    VertexServer& operator=(const VertexServer& other);
    ~VertexServer();

    int getSpace() const { return m_space; }
    int getSize() const { return m_size; }
    int getCapacity() const { return m_capacity; }
    int getGrowth() const { return m_growth; }
    void setGrowth(int growth) { m_growth = growth; }
    int getRefs() const { return m_refs; }

    // The slot with server index i (not checked).
    Vector<T>& operator[](int i) { return *slot(i); }
    const Vector<T>& operator[](int i) const { return *slot(i); }
    Vector<T>& vertex(int i) { return (*this)[i]; }
    const Vector<T>& vertex(int i) const { return (*this)[i]; }
    // The getSpace() coordinates of slot i (not checked), followed by those
    // of the next slots of its block (contiguousSlots(i) in all), without
    // making the slot's view.
    T* coordinates(int i) { return i < m_headCount ? m_headCoordinates + static_cast<std::ptrdiff_t>(i) * m_space : laterCoordinates(i); }
    const T* coordinates(int i) const
    {
        return i < m_headCount ? m_headCoordinates + static_cast<std::ptrdiff_t>(i) * m_space : laterCoordinates(i);
    }
    // The number of slots from i on (i included) whose coordinates follow
    // one another from coordinates(i): up to the end of i's block.
    int contiguousSlots(int i) const;

    // Grows by new slots, or deletes the slots from n on (the size follows
    // when n is below it).
    void setCapacity(int n);
    // Grows the capacity by whole steps of growth (at least 1) until n fits.
    void setSize(int n);
    // Copies other's used slots behind this server's used slots.
    void append(const VertexServer& other);
    // Deletes every slot: capacity and size become 0.
    void clear();

    void ref() { ++m_refs; }
    // Deletes this server when the count falls from 1 to 0.
    void deref();

private:
    // The views of a block are made in runs of 1 << viewRunShift slots.
    static constexpr int viewRunShift = 11;

    // Destroys the views made and frees the storage of a block.
    struct StorageDeleter {
        std::size_t bytes = 0;
        Vector<T>* views = nullptr;
        int count = 0;
        const std::atomic<bool>* made = nullptr;
        void operator()(void* storage) const;
    };
    // A run of consecutive slots: their coordinates and room for their
    // shallow views, in one piece of storage, and which runs of views are
    // made. (The flags outlive the storage, whose deleter reads them.)
    struct Block {
        std::unique_ptr<std::atomic<bool>[]> made;
        std::unique_ptr<void, StorageDeleter> storage;
        T* coordinates = nullptr;
        Vector<T>* views = nullptr;
        int capacity = 0;  // slots allocated
        int used = 0;      // slots currently handed out
        int firstSlot = 0; // server index of the first slot
    };

    Vector<T>* slot(int i) const
    {
        if (i < m_headCount && m_headMade[i >> viewRunShift].load(std::memory_order_acquire))
            return m_head + i;
        return laterSlot(i);
    }

    // Appends n slots, filling the last block before allocating a new one of
    // at least n slots.
    void addSlots(int n);
    void copyFrom(const VertexServer& other);
    // The block holding server index i.
    const Block& blockOf(int i) const;
    // The slot of server index i, its run of views made first if need be.
    Vector<T>* laterSlot(int i) const;
    // The coordinates of server index i beyond the first block.
    T* laterCoordinates(int i) const;
    // Makes run r of the block's views, unless another thread did.
    void makeViews(const Block& block, int run) const;
    // Follows the first block after the blocks changed.
    void updateHead();

    int m_space = 0;
    int m_size = 0;
    int m_growth = 0;
    int m_refs = 0;
    int m_capacity = 0;
    // The first block, which most servers have alone: its views, which of
    // them are made, its coordinates and its slots in use.
    Vector<T>* m_head = nullptr;
    const std::atomic<bool>* m_headMade = nullptr;
    T* m_headCoordinates = nullptr;
    int m_headCount = 0;
    std::vector<Block> m_blocks;
    // Held while views are made.
    mutable std::mutex m_viewsMutex;
};

#define PLEXAN_EXTERN_VERTEX_SERVER(T) extern template class VertexServer<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_VERTEX_SERVER)
#undef PLEXAN_EXTERN_VERTEX_SERVER
