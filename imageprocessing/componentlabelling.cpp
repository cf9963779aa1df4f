#include "imageprocessing/componentlabelling.h"

#include "imageprocessing/progresssteps.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>

namespace {

} // namespace

template <typename T>
void ComponentLabelling<T>::reserveTable(long long bound)
{
    // Labels beyond a billion come from a table that grows; up to there the
    // whole bound is reserved, and only the pages of the labels used are
    // ever touched (in huge pages: faulting in tens of megabytes 4 KiB at a
    // time cost a tenth of the labelling).
    const long long capacity = std::clamp<long long>(bound + 1, 2, 1LL << 30);
    m_table.assign(static_cast<std::size_t>(capacity));
    m_capacity = static_cast<int>(capacity);
    m_table.data()[0] = 0;
    m_count = 0;
}

template <typename T>
void ComponentLabelling<T>::growTable()
{
    const long long capacity = std::min<long long>(2LL * std::max(m_capacity, 1), INT_MAX);
    LargeArray<int> larger;
    larger.assign(static_cast<std::size_t>(capacity));
    if (m_capacity > 0)
        std::copy(m_table.data(), m_table.data() + m_capacity, larger.data());
    else
        larger.data()[0] = 0;
    m_table.swap(larger);
    m_capacity = static_cast<int>(capacity);
}

template <typename T>
int ComponentLabelling<T>::newLabel()
{
    if (m_count + 1 >= m_capacity)
        growTable();
    ++m_count;
    m_table.data()[m_count] = m_count;
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
    m_table.data()[slab.count] = slab.count;
    return slab.count;
}

template <typename T>
int ComponentLabelling<T>::findRoot(int label)
{
    int* parent = m_table.data();
    while (parent[label] != label) {
        parent[label] = parent[parent[label]]; // path halving
        label = parent[label];
    }
    return label;
}

template <typename T>
int ComponentLabelling<T>::rootOf(int label) const
{
    const int* parent = m_table.data();
    while (parent[label] != label)
        label = parent[label];
    return label;
}

template <typename T>
int ComponentLabelling<T>::unite(int rootA, int rootB)
{
    if (rootA == rootB)
        return rootA;
    int* parent = m_table.data();
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
                                       std::vector<Run>& rowRuns, ProgressSteps& progress) const
{
    const int* table = m_table.data();
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
            std::fill(row + run.begin, row + run.end, static_cast<T>(-table[runLabels[next++]]));
            j = run.end;
        }
        std::fill(row + j, row + columns, T(0));
        batch.advance();
    }
    batch.flush();
}

template <typename T>
template <typename Planes>
void ComponentLabelling<T>::label(Planes&& planes, int count, int rows, int columns, int grain,
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
    if (bound >= (1LL << 30))
        grain = count;
    grain = std::clamp(grain, 1, count);
    const int slabs = static_cast<int>(plexan::parallel::chunkCount(0, count, grain));
    reserveTable(bound);
    // Progress in blocks of rows small enough for a few hundred steps.
    m_block = static_cast<int>(std::clamp<long long>(2LL * rows * count / 256, 1, 64));

    LargeArray<int> runLabels;
    runLabels.assign(static_cast<std::size_t>(bound));
    // Three planes of runs a slab (one for a single plane), untouched
    // beyond the runs found.
    const std::size_t slots = count > 1 ? 3 : 1;
    LargeArray<Run> runStore;
    runStore.assign(static_cast<std::size_t>(perPlane) * slots * static_cast<std::size_t>(slabs));
    std::vector<Slab> slab(static_cast<std::size_t>(slabs));
    for (int s = 0; s < slabs; ++s) {
        Slab& part = slab[static_cast<std::size_t>(s)];
        part.first = s * grain;
        part.last = std::min(count, part.first + grain);
        part.base = slabs > 1 ? static_cast<int>(part.first * perPlane) : 0;
        part.count = part.base;
        part.runLabels = runLabels.data() + static_cast<std::size_t>(part.first) * static_cast<std::size_t>(perPlane);
        for (int slot = 0; slot < 3; ++slot) {
            part.planes[slot].runs =
                runStore.data() + (slots * static_cast<std::size_t>(s) + static_cast<std::size_t>(slot) % slots) *
                                      static_cast<std::size_t>(perPlane);
            part.planes[slot].rowStart.resize(static_cast<std::size_t>(rows) + 1);
        }
    }
    forEachChunk(0, count, grain, [&](std::ptrdiff_t first, std::ptrdiff_t) {
        labelSlab(planes, rows, columns, slab[static_cast<std::size_t>(first / grain)], progress);
    });

    int* table = m_table.data();
    if (slabs == 1) {
        // Parents are smaller than their children, so a label's parent
        // already holds its number when the label is reached.
        // (Selections rather than branches: two labels in three are roots
        // here, in no order a branch predictor could learn.)
        int roots = 0;
        for (int l = 1; l <= slab[0].count; ++l) {
            const int parent = table[l];
            const bool root = parent == l;
            roots += root;
            const int number = table[parent];
            table[l] = root ? -roots : number;
        }
        m_numLabels = roots;
    } else {
        // The runs of a slab's first plane against those of the last plane
        // of the slab before, row by row. First every border by itself, all
        // at once: the slabs' tables no longer change, so the pairs of
        // roots (within their slabs) that touch across the border are found
        // by reading them (a pair repeated at once is kept once). Then the
        // pairs are merged in border order on one thread. The roots are
        // followed without shortening paths, so that only the roots merged
        // here (the larger of each pair) change parent, each then pointed
        // at its final root: a label's parent is then in its own slab, or is
        // a final root.
        std::vector<int> bases(static_cast<std::size_t>(slabs));
        for (int s = 0; s < slabs; ++s)
            bases[static_cast<std::size_t>(s)] = slab[static_cast<std::size_t>(s)].base;
        auto slabOf = [&](int label) {
            return static_cast<std::size_t>(std::upper_bound(bases.begin(), bases.end(), label - 1) - bases.begin() -
                                            1);
        };
        std::vector<std::vector<std::pair<int, int>>> touching(static_cast<std::size_t>(slabs));
        forEachChunk(1, slabs, 1, [&](std::ptrdiff_t s, std::ptrdiff_t) {
            const Slab& above = slab[static_cast<std::size_t>(s) - 1];
            const PlaneRuns& current = slab[static_cast<std::size_t>(s)].planes[slotOf(0)];
            const PlaneRuns& previous = above.planes[slotOf(above.last - above.first - 1)];
            std::vector<std::pair<int, int>>& pairs = touching[static_cast<std::size_t>(s)];
            std::pair<int, int> last{0, 0};
            for (int i = 0; i < rows; ++i) {
                const Run* before = previous.runs + previous.rowStart[i];
                const Run* beforeEnd = previous.runs + previous.rowStart[i + 1];
                for (int r = current.rowStart[i]; r < current.rowStart[i + 1]; ++r) {
                    const Run& run = current.runs[r];
                    while (before < beforeEnd && before->end <= run.begin)
                        ++before;
                    if (before < beforeEnd && before->begin < run.end) {
                        const int rootA = rootOf(run.label);
                        for (const Run* b = before; b < beforeEnd && b->begin < run.end; ++b) {
                            const std::pair<int, int> pair{rootA, rootOf(b->label)};
                            if (pair != last)
                                pairs.push_back(pair);
                            last = pair;
                        }
                    }
                }
            }
        });
        std::vector<int> merged;
        for (int s = 1; s < slabs; ++s)
            for (const auto& [a, b] : touching[static_cast<std::size_t>(s)]) {
                const int rootA = rootOf(a);
                const int rootB = rootOf(b);
                if (rootA == rootB)
                    continue;
                const int larger = std::max(rootA, rootB);
                table[larger] = std::min(rootA, rootB);
                merged.push_back(larger);
                --slab[slabOf(larger)].roots;
            }
        for (int label : merged)
            table[label] = rootOf(label);

        // The roots numbered in order, every slab after the slabs before it;
        // a number n is kept as -n, apart from the labels.
        std::vector<int> offset(static_cast<std::size_t>(slabs) + 1, 0);
        for (int s = 0; s < slabs; ++s)
            offset[static_cast<std::size_t>(s) + 1] =
                offset[static_cast<std::size_t>(s)] + slab[static_cast<std::size_t>(s)].roots;
        m_numLabels = offset[static_cast<std::size_t>(slabs)];
        forEachChunk(0, slabs, 1, [&](std::ptrdiff_t s, std::ptrdiff_t) {
            const Slab& part = slab[static_cast<std::size_t>(s)];
            int number = offset[static_cast<std::size_t>(s)];
            for (int l = part.base + 1; l <= part.count; ++l) {
                const int parent = table[l];
                number += parent == l;
                table[l] = parent == l ? -number : parent;
            }
        });
    }

    // Every other label takes its parent's number: the parent is an earlier
    // label of the same slab, done already, or a root of any slab.
    forEachChunk(0, count, grain, [&](std::ptrdiff_t first, std::ptrdiff_t) {
        const Slab& part = slab[static_cast<std::size_t>(first / grain)];
        // Numbered roots are only read here: other slabs read them at the
        // same time, so they are not written again, not even with their own
        // value.
        if (slabs > 1)
            for (int l = part.base + 1; l <= part.count; ++l) {
                const int parent = table[l];
                if (parent > 0)
                    table[l] = table[parent];
            }
        std::vector<Run> rowRuns;
        std::size_t next = 0;
        for (int k = part.first; k < part.last; ++k)
            writePlane(planes(k), part.runLabels, next, rowRuns, progress);
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
    const int threads = plexan::parallel::getThreadCount();
    const int grain = threads > 1 ? static_cast<int>(plexan::parallel::grainFor(planes, 4 * threads)) : planes;
    label([&m](int k) -> PixelMatrix<T>& { return m[k]; }, planes, rows, m.getSize2(), grain, progress);
    progress.finish();
}

template class ComponentLabelling<short>;
template class ComponentLabelling<unsigned short>;
template class ComponentLabelling<int>;
template class ComponentLabelling<unsigned int>;
template class ComponentLabelling<float>;
template class ComponentLabelling<double>;
template class ComponentLabelling<long double>;
