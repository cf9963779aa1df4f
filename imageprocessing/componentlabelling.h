#pragma once
// ComponentLabelling<T>: labels the connected components of the non-zero
// elements of a pixel matrix (4-connectivity) or voxel matrix
// (6-connectivity) in place. The background stays 0 and the components are
// numbered 1 .. getNumLabels() in the raster order of their first element
// (plane by plane, row by row, column by column).
//
// Two passes over runs of foreground elements along the rows: the first
// gives every run a provisional label, merging the labels of the runs it
// touches in the row above (and in the same row of the previous plane) in an
// equivalence table whose roots are always the smallest label of their
// class; the table then maps every label to the consecutive number of its
// root, and the second pass writes the numbers.
//
// With several threads, slabs of planes go through the first pass at once,
// all in one table: slab s numbers its labels from the bound on the labels
// of the planes before it, so the labels still rise in raster order and no
// table is copied. The slabs shrink from the first to the last and the
// threads take them in order, so that they end together. The runs facing
// each other across a slab border are then merged, the roots of every slab
// numbered after those of the slabs before it (a prefix sum of the roots
// per slab), and the slabs write their numbers at once. The numbers are
// those of one pass over the whole matrix.
//
// The table and the run buffers are kept by the calling thread from one
// apply to the next of the same size, whichever labelling applies (a matrix
// of n elements: about 4n bytes of address space each for the table and the
// run labels, touched only where labels and runs are), unless the labels
// and runs of the last apply took more than keptBytes.
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double.

#include "image/pixelmatrix.h"
#include "image/pixelmatrixprocessing.h"
#include "image/voxelmatrix.h"
#include "image/voxelmatrixprocessing.h"
#include "numerics/hugepages.h"

#include <cstddef>
#include <utility>
#include <vector>

class ProgressSteps;

template <typename T>
class ComponentLabelling : public PixelMatrixProcessing<T>, public VoxelMatrixProcessing<T> {
public:
    ComponentLabelling() = default;

    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& m) override;

    // The number of components found by the last apply.
    int getNumLabels() const { return m_numLabels; }

    // A new provisional label, its own parent; the table grows when full.
    int newLabel();
    // Merges the classes of a, b and c: the smallest of their roots becomes
    // the parent of the other roots, and is returned.
    int equivLabel(int a, int b, int c);

protected:
    // Uninitialised storage of trivial elements, in huge pages from a
    // megabyte on: only the pages written are ever faulted in.
    template <typename E>
    class LargeArray {
    public:
        LargeArray() = default;
        LargeArray(const LargeArray&) = delete;
        LargeArray& operator=(const LargeArray&) = delete;
        LargeArray(LargeArray&& other) noexcept { swap(other); }
        LargeArray& operator=(LargeArray&& other) noexcept
        {
            swap(other);
            return *this;
        }
        ~LargeArray() { release(); }
        // Room for n elements, contents not kept (none when n is the size).
        // True when the storage is new: none of its pages is mapped yet.
        bool assign(std::size_t n)
        {
            if (n == m_size)
                return false;
            release();
            if (n > 0)
                m_data = static_cast<E*>(plexan::allocateLarge(n * sizeof(E)));
            m_size = n;
            return n > 0;
        }
        void release()
        {
            plexan::freeLarge(m_data, m_size * sizeof(E));
            m_data = nullptr;
            m_size = 0;
        }
        void swap(LargeArray& other)
        {
            std::swap(m_data, other.m_data);
            std::swap(m_size, other.m_size);
        }
        E* data() const { return m_data; }
        std::size_t size() const { return m_size; }

    private:
        E* m_data = nullptr;
        std::size_t m_size = 0;
    };

    // A run of foreground elements [begin, end) of one row and its
    // provisional label.
    struct Run {
        int begin;
        int end;
        int label;
    };
    // The runs of the rows of one plane, row after row: room for `perRow`
    // runs a row.
    struct PlaneRuns {
        Run* runs = nullptr;
        std::vector<int> rowStart; // first run of every row, plus the end
    };
    // The first pass over a slab of planes [first, last): its labels are
    // first + 1 ... in the shared table, its run labels go to runLabels.
    struct Slab {
        int first = 0;
        int last = 0;
        int base = 0;      // labels base + 1 .. count
        int count = 0;     // last label used
        int roots = 0;     // classes rooted in the slab
        int* runLabels = nullptr;
        std::size_t runs = 0;   // run labels written
        PlaneRuns planes[3]; // the first plane's runs in slot 2, then a ring
    };

    // An uninitialised table for `bound` labels (plus the background), kept
    // from the last apply when it has that size; true when it is new.
    bool reserveTable(long long bound);
    // A table twice as large, the labels so far kept.
    void growTable();
    // A new label of a slab, its own parent.
    int nextLabel(Slab& slab);
    int findRoot(int label);
    // The root without shortening the path, read while other threads merge
    // roots.
    int sharedRootOf(int label) const;
    // Merges the classes of two roots; returns the new root (the smaller).
    int unite(int rootA, int rootB);
    // The runs of a row of n elements, written to out (room for (n + 1) / 2).
    static int findRuns(const T* row, int n, Run* out);
    // Labels the runs of row i of the current plane against the runs of row
    // i - 1 and of row i of the previous plane (null when there is none).
    void labelRow(const T* row, int n, int i, Slab& slab, PlaneRuns& current, const PlaneRuns* previous);
    // The first pass over the planes of a slab.
    template <typename Planes>
    void labelSlab(const Planes& planes, int rows, int columns, Slab& slab, ProgressSteps& progress);
    // The slot of a slab's plane n (counted from the slab's first plane).
    static int slotOf(int n) { return n == 0 ? 2 : n % 2; }
    // Merges the classes of the runs facing each other across the border
    // between slab `border` - 1 and slab `border`, both labelled.
    void joinBorder(std::vector<Slab>& slab, int border, int rows);
    // The first plane of every slab of `count` planes labelled by `threads`
    // threads (one slab for one thread).
    static std::vector<int> cutSlabs(int count, int threads);
    // Labels, joins and numbers the planes in slabs for `threads` threads,
    // then writes the numbers.
    template <typename Planes>
    void label(Planes&& planes, int count, int rows, int columns, int threads, ProgressSteps& progress);
    // Writes the final numbers into the rows of a plane, whose runs are found
    // again, taking their labels from the slab's run labels from position
    // next on, through the table (which holds minus the number of every
    // label, or a label of a slab before to follow: the labels followed are
    // then given the number); rowRuns is scratch.
    void writePlane(PixelMatrix<T>& plane, const int* runLabels, std::size_t& next, std::vector<Run>& rowRuns,
                    ProgressSteps& progress);

    // The table and buffers of an apply, and the first planes of the slabs
    // they were last cut into (whose pages the slabs wrote).
    struct Storage {
        LargeArray<int> table;     // entry l: parent of label l; entry 0 = 0
        LargeArray<int> runLabels; // the label of every run, slab after slab
        LargeArray<Run> runStore;  // the planes of runs of every slab
        std::vector<int> mappedSlabs;
        std::size_t used = 0; // bytes of labels and runs the last apply wrote
        bool busy = false;    // lent to an apply of the thread

        // Exchanges the buffers.
        void swap(Storage& other)
        {
            table.swap(other.table);
            runLabels.swap(other.runLabels);
            runStore.swap(other.runStore);
            mappedSlabs.swap(other.mappedSlabs);
        }
        std::size_t bytes() const { return used; }
    };
    // Buffers whose labels and runs took more than this are not kept.
    static constexpr std::size_t keptBytes = std::size_t(64) << 20;

    Storage m_storage; // the table for newLabel; an apply's, while it runs
    int m_capacity = 0;
    int m_count = 0; // the last label used (newLabel)
    int m_numLabels = 0;
    int m_block = 1; // rows counted at a time for the progress
};

#define PLEXAN_EXTERN_LABELLING(T) extern template class ComponentLabelling<T>;
PLEXAN_EXTERN_LABELLING(short)
PLEXAN_EXTERN_LABELLING(unsigned short)
PLEXAN_EXTERN_LABELLING(int)
PLEXAN_EXTERN_LABELLING(unsigned int)
PLEXAN_EXTERN_LABELLING(float)
PLEXAN_EXTERN_LABELLING(double)
PLEXAN_EXTERN_LABELLING(long double)
#undef PLEXAN_EXTERN_LABELLING
