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
// A server is shared by its clients (VertexClient<T>) through ref()/deref();
// the last deref() deletes it, so referenced servers live on the heap.

#include "geometry/coordinates.h"
#include "numerics/vector.h"

#include <memory>
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
    Vector<T>& operator[](int i) { return i < m_headCount ? m_head[i] : *laterSlot(i); }
    const Vector<T>& operator[](int i) const { return i < m_headCount ? m_head[i] : *laterSlot(i); }
    Vector<T>& vertex(int i) { return (*this)[i]; }
    const Vector<T>& vertex(int i) const { return (*this)[i]; }

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
    // Destroys the views and frees the storage of a block.
    struct StorageDeleter {
        std::size_t bytes = 0;
        Vector<T>* views = nullptr;
        int count = 0;
        void operator()(void* storage) const;
    };
    // A run of consecutive slots: their coordinates and their shallow views,
    // in one piece of storage.
    struct Block {
        std::unique_ptr<void, StorageDeleter> storage;
        T* coordinates = nullptr;
        Vector<T>* views = nullptr;
        int capacity = 0;  // slots allocated
        int used = 0;      // slots currently handed out
        int firstSlot = 0; // server index of the first slot
    };

    // Appends n slots, filling the last block before allocating a new one of
    // at least n slots.
    void addSlots(int n);
    void copyFrom(const VertexServer& other);
    // The slot of server index i beyond the first block.
    Vector<T>* laterSlot(int i) const;
    // Follows the first block after the blocks changed.
    void updateHead();

    int m_space = 0;
    int m_size = 0;
    int m_growth = 0;
    int m_refs = 0;
    int m_capacity = 0;
    // The slots of the first block, which most servers have alone.
    Vector<T>* m_head = nullptr;
    int m_headCount = 0;
    std::vector<Block> m_blocks;
};

#define PLEXAN_EXTERN_VERTEX_SERVER(T) extern template class VertexServer<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_VERTEX_SERVER)
#undef PLEXAN_EXTERN_VERTEX_SERVER
