#include "imageprocessing/componentlabelling.h"

#include "imageprocessing/keptlease.h"
#include "imageprocessing/progresssteps.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Maps the whole pages of [data, data + bytes) as written, from the calling
// thread, contents unchanged. Fresh pages (huge pages, cleared when first
// used) that two threads fault in while they label cost several times more
// on a virtual machine than the same pages asked for by one thread first.
void mapForWriting(const void* data, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    static const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) / page * page;
    if (data && end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

// Calls f when it goes out of scope.
template <typename F>
class OnExit {
public:
    explicit OnExit(F f) : m_f(std::move(f)) {}
    ~OnExit() { m_f(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    F m_f;
};

} // namespace

template <typename T>
bool ComponentLabelling<T>::reserveTable(long long bound)
{
    // Labels beyond a billion come from a table that grows; up to there the
    // whole bound is reserved, and only the pages of the labels used are
    // ever touched (in huge pages: faulting in tens of megabytes 4 KiB at a
    // time cost a tenth of the labelling).
    const long long capacity = std::clamp<long long>(bound + 1, 2, 1LL << 30);
    const bool fresh = m_storage.table.assign(static_cast<std::size_t>(capacity));
    m_capacity = static_cast<int>(capacity);
    m_storage.table.data()[0] = 0;
    m_count = 0;
    return fresh;
}

template <typename T>
void ComponentLabelling<T>::growTable()
{
    const long long capacity = std::min<long long>(2LL * std::max(m_capacity, 1), INT_MAX);
    LargeArray<int> larger;
    larger.assign(static_cast<std::size_t>(capacity));
    if (m_capacity > 0)
        std::copy(m_storage.table.data(), m_storage.table.data() + m_capacity, larger.data());
    else
        larger.data()[0] = 0;
    m_storage.table.swap(larger);
    m_capacity = static_cast<int>(capacity);
}

template <typename T>
int ComponentLabelling<T>::newLabel()
{
    if (m_count + 1 >= m_capacity)
        growTable();
    ++m_count;
    m_storage.table.data()[m_count] = m_count;
    return m_count;
}

template <typename T>
int ComponentLabelling<T>::nextLabel(Slab& slab)
{
    // Only a single slab can outgrow the table: slabs side by side are given
    // room for every label their planes can hold.
    if (slab.count + 1 >= m_capacity)
        growTable();
    ++slab.count;
    ++slab.roots;
    m_storage.table.data()[slab.count] = slab.count;
    return slab.count;
}

template <typename T>
int ComponentLabelling<T>::findRoot(int label)
{
    int* parent = m_storage.table.data();
    while (parent[label] != label) {
        parent[label] = parent[parent[label]]; // path halving
        label = parent[label];
    }
    return label;
}

template <typename T>
int ComponentLabelling<T>::unite(int rootA, int rootB)
{
    if (rootA == rootB)
        return rootA;
    int* parent = m_storage.table.data();
    if (rootA < rootB) {
        parent[rootB] = rootA;
        return rootA;
    }
    parent[rootA] = rootB;
    return rootB;
}

template <typename T>
int ComponentLabelling<T>::equivLabel(int a, int b, int c)
{
    const int root = unite(findRoot(a), findRoot(b));
    return unite(root, findRoot(c));
}

template <typename T>
int ComponentLabelling<T>::findRuns(const T* row, int n, Run* out)
{
    // The foreground flags of 64 elements at a time as bits; the bits where
    // the flag changes are the run ends, found without a branch per element.
    int found = 0; // run ends found: starts at even counts, ends at odd ones
    std::uint64_t carry = 0; // the flag of the element before the word
    for (int base = 0; base < n; base += 64) {
        const int length = std::min(64, n - base);
        const T* x = row + base;
        std::uint64_t word = 0;
        for (int b = 0; b < length; ++b)
            word |= static_cast<std::uint64_t>(x[b] != T(0)) << b;
        std::uint64_t changes = word ^ ((word << 1) | carry);
        carry = word >> 63;
        while (changes) {
            const int position = base + std::countr_zero(changes);
            changes &= changes - 1;
            if (found & 1)
                out[found >> 1].end = position;
            else
                out[found >> 1].begin = position;
            ++found;
        }
    }
    if (found & 1) // a run up to the end of a row of whole words
        out[found++ >> 1].end = n;
    return found >> 1;
}

template <typename T>
void ComponentLabelling<T>::labelRow(const T* row, int n, int i, Slab& slab, PlaneRuns& current,
                                     const PlaneRuns* previous)
{
    Run* runs = current.runs + current.rowStart[i];
    const int count = findRuns(row, n, runs);
    current.rowStart[i + 1] = current.rowStart[i] + count;

    // Runs of the neighbouring rows sharing a column with a run, swept along
    // with the runs of this row.
    const Run* above = i > 0 ? current.runs + current.rowStart[i - 1] : nullptr;
    const Run* aboveEnd = i > 0 ? runs : nullptr;
    const Run* before = previous ? previous->runs + previous->rowStart[i] : nullptr;
    const Run* beforeEnd = previous ? previous->runs + previous->rowStart[i + 1] : nullptr;
    auto join = [&](int label, int root) {
        if (label == 0)
            return root;
        if (label != root)
            --slab.roots;
        return unite(label, root);
    };
    for (int r = 0; r < count; ++r) {
        const int begin = runs[r].begin;
        const int end = runs[r].end;
        int label = 0;
        while (above < aboveEnd && above->end <= begin)
            ++above;
        for (const Run* a = above; a < aboveEnd && a->begin < end; ++a)
            label = join(label, findRoot(a->label));
        while (before < beforeEnd && before->end <= begin)
            ++before;
        for (const Run* b = before; b < beforeEnd && b->begin < end; ++b)
            label = join(label, findRoot(b->label));
        if (label == 0)
            label = nextLabel(slab);
        runs[r].label = label;
        slab.runLabels[slab.runs++] = label;
    }
}

template <typename T>
template <typename Planes>
void ComponentLabelling<T>::labelSlab(const Planes& planes, int rows, int columns, Slab& slab,
                                      ProgressSteps& progress)
{
    for (int k = slab.first; k < slab.last; ++k) {
        const int n = k - slab.first;
        PlaneRuns& current = slab.planes[slotOf(n)];
        const PlaneRuns* previous = n > 0 ? &slab.planes[slotOf(n - 1)] : nullptr;
        const PixelMatrix<T>& plane = planes(k);
        current.rowStart[0] = 0;
        ProgressBatch batch(&progress, m_block);
        for (int i = 0; i < rows; ++i) {
            labelRow(plane[i].data(), columns, i, slab, current, previous);
            batch.advance();
        }
        batch.flush();
    }
}

template <typename T>
void ComponentLabelling<T>::writePlane(PixelMatrix<T>& plane, const int* runLabels, std::size_t& next,
                                       std::vector<Run>& rowRuns, ProgressSteps& progress)
{
    int* table = m_storage.table.data();
    auto entry = [table](int label) { return std::atomic_ref<int>(table[label]).load(std::memory_order_relaxed); };
    const int columns = plane.getSize2();
    rowRuns.resize(static_cast<std::size_t>(columns / 2 + 1));
    ProgressBatch batch(&progress, m_block);
    for (int i = 0; i < plane.getSize1(); ++i) {
        T* row = plane[i].data();
        const int count = findRuns(row, columns, rowRuns.data());
        int j = 0;
        for (int r = 0; r < count; ++r) {
            const Run& run = rowRuns[static_cast<std::size_t>(r)];
            std::fill(row + j, row + run.begin, T(0));
            const int label = runLabels[next++];
            int number = entry(label);
            if (number > 0) {
                // A label of a slab before, whose class may hold labels of
                // several slabs before: the labels on the way are given the
                // number found, so that the next runs of the class, in this
                // slab or the ones after, reach it at once. Other threads
                // follow and set the same entries, to the same number.
                while (number > 0)
                    number = entry(number);
                for (int at = label, up; (up = entry(at)) > 0; at = up)
                    std::atomic_ref<int>(table[at]).store(number, std::memory_order_relaxed);
            }
            std::fill(row + run.begin, row + run.end, static_cast<T>(-number));
            j = run.end;
        }
        std::fill(row + j, row + columns, T(0));
        batch.advance();
    }
    batch.flush();
}

template <typename T>
int ComponentLabelling<T>::sharedRootOf(int label) const
{
    int* parent = m_storage.table.data();
    for (;;) {
        const int up = std::atomic_ref<int>(parent[label]).load(std::memory_order_acquire);
        if (up == label)
            return label;
        label = up;
    }
}

template <typename T>
void ComponentLabelling<T>::joinBorder(std::vector<Slab>& slab, int border, int rows)
{
    // The runs of the slab's first plane against those of the last plane of
    // the slab before, row by row. Both slabs are labelled; other borders
    // are joined at the same time, so the roots are followed and merged in
    // atomic steps: a root becomes the child of a smaller root only while
    // it is still a root, else the roots are found again. Whatever the
    // order of the merges, every class ends up with its smallest label as
    // its root, and the roots merged are the others: the result does not
    // depend on the order. Paths are not shortened, so that only the roots
    // merged change parent; a label's parent is then an earlier label of its
    // own slab, or a label of a slab before.
    int* table = m_storage.table.data();
    // Merges the classes of two roots; returns the root of the whole.
    auto merge = [&](int rootA, int rootB) {
        while (rootA != rootB) {
            if (rootA < rootB)
                std::swap(rootA, rootB);
            int expected = rootA;
            if (std::atomic_ref<int>(table[rootA])
                    .compare_exchange_strong(expected, rootB, std::memory_order_acq_rel, std::memory_order_acquire)) {
                Slab& owner = *(std::upper_bound(slab.begin(), slab.end(), rootA - 1,
                                                 [](int value, const Slab& part) { return value < part.base; }) -
                                1);
                std::atomic_ref<int>(owner.roots).fetch_sub(1, std::memory_order_relaxed);
                return rootB;
            }
            rootA = sharedRootOf(expected);
            rootB = sharedRootOf(rootB);
        }
        return rootA;
    };
    const Slab& above = slab[static_cast<std::size_t>(border) - 1];
    const PlaneRuns& current = slab[static_cast<std::size_t>(border)].planes[slotOf(0)];
    const PlaneRuns& previous = above.planes[slotOf(above.last - above.first - 1)];
    for (int i = 0; i < rows; ++i) {
        const Run* before = previous.runs + previous.rowStart[i];
        const Run* beforeEnd = previous.runs + previous.rowStart[i + 1];
        for (int r = current.rowStart[i]; r < current.rowStart[i + 1]; ++r) {
            const Run& run = current.runs[r];
            while (before < beforeEnd && before->end <= run.begin)
                ++before;
            if (before == beforeEnd || before->begin >= run.end)
                continue;
            int root = sharedRootOf(run.label);
            for (const Run* b = before; b < beforeEnd && b->begin < run.end; ++b)
                root = merge(root, sharedRootOf(b->label));
        }
    }
}

template <typename T>
std::vector<int> ComponentLabelling<T>::cutSlabs(int count, int threads)
{
    // Each slab a (2 threads)-th of the planes left, and at least a
    // (16 threads)-th of all: the first slabs long, the last ones short, so
    // that the threads, each taking the next slab when done with one, end
    // together even when one runs slower. (With an (8 threads)-th, two
    // threads ended 3-4.5 ms apart in labelling a 256^3 volume, and took 5 %
    // longer.) Much shorter slabs cost more than they save: every slab
    // starts its labels and run labels in huge pages of its own, cleared on
    // first use, and adds a border to join.
    std::vector<int> firsts;
    const int parts = 2 * std::max(threads, 1);
    const int least = std::max(1, (count + 8 * parts - 1) / (8 * parts));
    for (int first = 0; first < count;) {
        firsts.push_back(first);
        first += threads > 1 ? std::max(least, (count - first + parts - 1) / parts) : count;
    }
    return firsts;
}

template <typename T>
template <typename Planes>
void ComponentLabelling<T>::label(Planes&& planes, int count, int rows, int columns, int threads,
                                  ProgressSteps& progress)
{
    using plexan::parallel::forEachChunk;
    m_numLabels = 0;
    m_count = 0;
    if (count <= 0 || rows <= 0 || columns <= 0)
        return;
    // A row holds at most (columns + 1) / 2 runs, so a plane at most rows
    // times that many labels: slab s numbers its labels from the bound of
    // the planes before it. Bounds past the table's reach take one slab.
    const long long perRow = (columns + 1) / 2;
    const long long perPlane = rows * perRow;
    const long long bound = perPlane * count;
    // The calling thread's table and buffers for this apply (fresh ones
    // when the thread is inside another apply already), given back after
    // it with the bytes of labels and runs written: tens of megabytes of
    // fresh memory cost two threads a twentieth of their time.
    KeptLease<Storage, 0, keptBytes> kept;
    auto exchange = [&] {
        m_storage.swap(*kept);
        m_capacity = static_cast<int>(m_storage.table.size());
    };
    exchange();
    std::vector<Slab> slab;
    const OnExit giveBack([&] {
        exchange();
        kept->used = 0;
        for (const Slab& part : slab)
            kept->used += (static_cast<std::size_t>(part.count - part.base) + part.runs) * sizeof(int);
    });
    const std::vector<int> firsts = cutSlabs(count, bound >= (1LL << 30) ? 1 : threads);
    const int slabs = static_cast<int>(firsts.size());
    const bool freshTable = reserveTable(bound);
    // Progress in blocks of rows small enough for a few hundred steps.
    m_block = static_cast<int>(std::clamp<long long>(2LL * rows * count / 256, 1, 64));

    // The run labels and three planes of runs a slab (one for a single
    // plane), those of the thread's last apply when of the same size, and
    // untouched beyond the runs found.
    const bool freshRunLabels = m_storage.runLabels.assign(static_cast<std::size_t>(bound));
    const std::size_t slots = count > 1 ? 3 : 1;
    const bool freshRuns =
        m_storage.runStore.assign(static_cast<std::size_t>(perPlane) * slots * static_cast<std::size_t>(slabs));
    slab.resize(static_cast<std::size_t>(slabs));
    for (int s = 0; s < slabs; ++s) {
        Slab& part = slab[static_cast<std::size_t>(s)];
        part.first = firsts[static_cast<std::size_t>(s)];
        part.last = s + 1 < slabs ? firsts[static_cast<std::size_t>(s) + 1] : count;
        part.base = static_cast<int>(part.first * perPlane);
        part.count = part.base;
        part.runLabels = m_storage.runLabels.data() + static_cast<std::size_t>(part.base);
        for (int slot = 0; slot < 3; ++slot) {
            const std::size_t plane = slots * static_cast<std::size_t>(s) + static_cast<std::size_t>(slot) % slots;
            part.planes[slot].runs = m_storage.runStore.data() + plane * static_cast<std::size_t>(perPlane);
            part.planes[slot].rowStart.resize(static_cast<std::size_t>(rows) + 1);
        }
    }
    // The pages the slabs will write in storage new to this apply, mapped
    // first by this thread: as many labels and runs a plane as the most
    // found in a few planes across the matrix, plus a quarter (those beyond
    // fault in as they are written). (Two threads asking for their own
    // slabs' pages at once took twice as long as this one thread.) Storage
    // kept from the last apply cut into the same slabs has the pages it
    // wrote mapped already.
    const bool sameSlabs = firsts == m_storage.mappedSlabs;
    m_storage.mappedSlabs = firsts;
    if (slabs > 1 && (freshTable || freshRunLabels || freshRuns || !sameSlabs)) {
        std::vector<Run> scratch(static_cast<std::size_t>(perRow));
        const int samples = std::min(count, 8);
        long long most = 0;
        for (int n = 0; n < samples; ++n) {
            const PixelMatrix<T>& plane = planes(static_cast<int>((2LL * n + 1) * count / (2LL * samples)));
            long long runs = 0;
            for (int i = 0; i < rows; ++i)
                runs += findRuns(plane[i].data(), columns, scratch.data());
            most = std::max(most, runs);
        }
        const long long expected = std::min(perPlane, most + most / 4 + rows);
        for (const Slab& part : slab) {
            const std::size_t labels = static_cast<std::size_t>(expected * (part.last - part.first));
            if (freshTable || !sameSlabs)
                mapForWriting(m_storage.table.data() + part.base + 1, labels * sizeof(int));
            if (freshRunLabels || !sameSlabs)
                mapForWriting(part.runLabels, labels * sizeof(int));
            for (int slot = 0; (freshRuns || !sameSlabs) && slot < static_cast<int>(slots); ++slot)
                mapForWriting(part.planes[slot].runs, static_cast<std::size_t>(expected) * sizeof(Run));
        }
    }
    // Every loop over the slabs takes them in order, the next one for the
    // first thread free, whichever it is: which thread labels a slab changes
    // nothing in the result.
    std::atomic<int> next{0};
    auto eachSlab = [&](auto&& body) {
        next.store(0, std::memory_order_relaxed);
        forEachChunk(0, slabs, 1, [&](std::ptrdiff_t, std::ptrdiff_t) {
            const int s = next.fetch_add(1, std::memory_order_relaxed);
            body(s, slab[static_cast<std::size_t>(s)]);
        });
    };
    // A slab labelled, the borders it shares with slabs labelled already
    // are joined: the second of the two slabs of a border to end joins it.
    std::unique_ptr<std::atomic<int>[]> ended(new std::atomic<int>[static_cast<std::size_t>(slabs)]);
    for (int s = 0; s < slabs; ++s)
        ended[static_cast<std::size_t>(s)].store(0, std::memory_order_relaxed);
    eachSlab([&](int s, Slab& part) {
        labelSlab(planes, rows, columns, part, progress);
        for (int border : {s, s + 1})
            if (border > 0 && border < slabs &&
                ended[static_cast<std::size_t>(border)].fetch_add(1, std::memory_order_acq_rel) == 1)
                joinBorder(slab, border, rows);
    });

    // The roots numbered in order, every slab after the slabs before it; a
    // number n is kept as -n, apart from the labels. Parents are smaller
    // than their children, so a label whose parent is in its own slab takes
    // what the parent holds already: its number, or a label of a slab
    // before. A label whose parent is in a slab before keeps that parent,
    // which is followed to its number when writing, once every slab is
    // numbered. (Selections rather than branches: two labels in three are
    // roots here, in no order a branch predictor could learn.)
    int* table = m_storage.table.data();
    std::vector<int> offset(static_cast<std::size_t>(slabs) + 1, 0);
    for (int s = 0; s < slabs; ++s)
        offset[static_cast<std::size_t>(s) + 1] =
            offset[static_cast<std::size_t>(s)] + slab[static_cast<std::size_t>(s)].roots;
    m_numLabels = offset[static_cast<std::size_t>(slabs)];
    eachSlab([&](int s, const Slab& part) {
        int number = offset[static_cast<std::size_t>(s)];
        for (int l = part.base + 1; l <= part.count; ++l) {
            const int parent = table[l];
            const bool root = parent == l;
            number += root;
            const int inherited = table[parent > part.base ? parent : l];
            table[l] = root ? -number : inherited;
        }
    });

    eachSlab([&](int s, const Slab& part) {
        std::vector<Run> rowRuns;
        std::size_t used = 0;
        for (int k = part.first; k < part.last; ++k)
            writePlane(planes(k), part.runLabels, used, rowRuns, progress);
    });
}

template <typename T>
void ComponentLabelling<T>::apply(PixelMatrix<T>& m)
{
    const int rows = m.getSize1();
    ProgressSteps progress(*this, 2LL * rows, "");
    label([&m](int) -> PixelMatrix<T>& { return m; }, rows > 0 ? 1 : 0, rows, m.getSize2(), 1, progress);
    progress.finish();
}

template <typename T>
void ComponentLabelling<T>::apply(VoxelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int planes = m.getSize3() > 0 ? m.getSize3() : 0;
    ProgressSteps progress(*this, 2LL * rows * planes, "");
    label([&m](int k) -> PixelMatrix<T>& { return m[k]; }, planes, rows, m.getSize2(),
          plexan::parallel::getThreadCount(), progress);
    progress.finish();
}

template class ComponentLabelling<short>;
template class ComponentLabelling<unsigned short>;
template class ComponentLabelling<int>;
template class ComponentLabelling<unsigned int>;
template class ComponentLabelling<float>;
template class ComponentLabelling<double>;
template class ComponentLabelling<long double>;
