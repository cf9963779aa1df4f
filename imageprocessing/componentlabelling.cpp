#include "imageprocessing/componentlabelling.h"

#include "imageprocessing/progresssteps.h"
#include "numerics/hugepages.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <bit>
#include <cstdint>

template <typename T>
void ComponentLabelling<T>::reset(long long elements, long long maxRuns)
{
    // Every run starts a label at most, and every run but the first of a row
    // follows a background element: half the elements (plus one per row)
    // bound the labels. The table starts at half the elements and grows by as
    // much when that is not enough. Its pages, and those of the run labels,
    // are only touched as far as they are used, and they are asked for in
    // huge pages: faulting in tens of megabytes 4 KiB at a time cost a tenth
    // of the labelling.
    long long capacity = elements / 2;
    if (capacity < 2)
        capacity = 2;
    if (capacity > (1LL << 30))
        capacity = 1LL << 30;
    m_capacity = static_cast<int>(capacity);
    m_growth = m_capacity;
    m_equivalence.setSize(m_capacity);
    plexan::adviseHugePages(m_equivalence.data(), static_cast<size_t>(m_capacity) * sizeof(int));
    m_equivalence[0] = 0;
    m_count = 0;
    m_numLabels = 0;
    m_runLabels.clear();
    plexan::reserveLarge(m_runLabels, static_cast<size_t>(maxRuns));
}

template <typename T>
int ComponentLabelling<T>::newLabel()
{
    ++m_count;
    if (m_count >= m_capacity) {
        const int growth = m_growth > 0 ? m_growth : 1;
        Vector<int> larger(static_cast<unsigned int>(m_capacity + growth));
        plexan::adviseHugePages(larger.data(), static_cast<size_t>(m_capacity + growth) * sizeof(int));
        std::copy(m_equivalence.begin(), m_equivalence.end(), larger.begin());
        m_equivalence.swap(larger);
        m_capacity += growth;
    }
    m_equivalence[m_count] = m_count;
    return m_count;
}

template <typename T>
int ComponentLabelling<T>::findRoot(int label)
{
    int* parent = m_equivalence.data();
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
    if (rootA < rootB) {
        m_equivalence[rootB] = rootA;
        return rootA;
    }
    m_equivalence[rootA] = rootB;
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
void ComponentLabelling<T>::labelRow(const T* row, int n, int i, PlaneRuns& current, const PlaneRuns* previous)
{
    Run* runs = current.runs.data() + current.rowStart[i];
    const int count = findRuns(row, n, runs);
    current.rowStart[i + 1] = current.rowStart[i] + count;

    // Runs of the neighbouring rows sharing a column with a run, swept along
    // with the runs of this row.
    const Run* above = i > 0 ? current.runs.data() + current.rowStart[i - 1] : nullptr;
    const Run* aboveEnd = i > 0 ? runs : nullptr;
    const Run* before = previous ? previous->runs.data() + previous->rowStart[i] : nullptr;
    const Run* beforeEnd = previous ? previous->runs.data() + previous->rowStart[i + 1] : nullptr;
    for (int r = 0; r < count; ++r) {
        const int begin = runs[r].begin;
        const int end = runs[r].end;
        int label = 0;
        while (above < aboveEnd && above->end <= begin)
            ++above;
        for (const Run* a = above; a < aboveEnd && a->begin < end; ++a) {
            const int root = findRoot(a->label);
            label = label == 0 ? root : unite(label, root);
        }
        while (before < beforeEnd && before->end <= begin)
            ++before;
        for (const Run* b = before; b < beforeEnd && b->begin < end; ++b) {
            const int root = findRoot(b->label);
            label = label == 0 ? root : unite(label, root);
        }
        if (label == 0)
            label = newLabel();
        runs[r].label = label;
        m_runLabels.push_back(label);
    }
}

template <typename T>
void ComponentLabelling<T>::labelPlane(const PixelMatrix<T>& plane, PlaneRuns& current, const PlaneRuns* previous,
                                       ProgressSteps& progress)
{
    const int rows = plane.getSize1();
    const int columns = plane.getSize2();
    current.runs.resize(static_cast<size_t>(rows) * static_cast<size_t>(columns / 2 + 1));
    current.rowStart.resize(static_cast<size_t>(rows) + 1);
    current.rowStart[0] = 0;
    for (int i = 0; i < rows; ++i) {
        labelRow(plane[i].data(), columns, i, current, previous);
        progress.advance();
    }
}

template <typename T>
void ComponentLabelling<T>::resolve()
{
    // Parents are smaller than their children, so a label's parent already
    // holds its final number when the label is reached.
    int* table = m_equivalence.data();
    int roots = 0;
    for (int label = 1; label <= m_count; ++label)
        table[label] = table[label] == label ? ++roots : table[table[label]];
    m_numLabels = roots;
}

template <typename T>
void ComponentLabelling<T>::writePlane(PixelMatrix<T>& plane, const int* table, const std::vector<int>& runLabels,
                                       int offset, size_t& next, std::vector<Run>& rowRuns, ProgressSteps& progress)
{
    const int columns = plane.getSize2();
    rowRuns.resize(static_cast<size_t>(columns / 2 + 1));
    for (int i = 0; i < plane.getSize1(); ++i) {
        T* row = plane[i].data();
        const int count = findRuns(row, columns, rowRuns.data());
        int j = 0;
        for (int r = 0; r < count; ++r) {
            const Run& run = rowRuns[static_cast<size_t>(r)];
            std::fill(row + j, row + run.begin, T(0));
            std::fill(row + run.begin, row + run.end, static_cast<T>(table[runLabels[next++] + offset]));
            j = run.end;
        }
        std::fill(row + j, row + columns, T(0));
        progress.advance();
    }
}

template <typename T>
void ComponentLabelling<T>::apply(PixelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    ProgressSteps progress(*this, 2LL * rows, "");
    reset(static_cast<long long>(rows) * columns, static_cast<long long>(rows) * (columns / 2 + 1));
    labelPlane(m, m_planes[0], nullptr, progress);
    resolve();
    size_t next = 0;
    writePlane(m, m_equivalence.data(), m_runLabels, 0, next, m_rowRuns, progress);
    for (PlaneRuns& p : m_planes)
        p = PlaneRuns();
    std::vector<int>().swap(m_runLabels);
    progress.finish();
}

template <typename T>
void ComponentLabelling<T>::apply(VoxelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    const int planes = m.getSize3() > 0 ? m.getSize3() : 0;
    const long long lines = static_cast<long long>(rows) * planes;
    ProgressSteps progress(*this, 2 * lines, "");
    const int threads = plexan::parallel::getThreadCount();
    if (threads > 1 && planes > 1) {
        applyInSlabs(m, static_cast<int>(plexan::parallel::grainFor(planes, 4 * threads)), progress);
        progress.finish();
        return;
    }
    reset(lines * columns, lines * (columns / 2 + 1));
    for (int k = 0; k < planes; ++k)
        labelPlane(m[k], m_planes[k % 2], k > 0 ? &m_planes[(k + 1) % 2] : nullptr, progress);
    resolve();
    size_t next = 0;
    for (int k = 0; k < planes; ++k)
        writePlane(m[k], m_equivalence.data(), m_runLabels, 0, next, m_rowRuns, progress);
    for (PlaneRuns& p : m_planes)
        p = PlaneRuns();
    std::vector<int>().swap(m_runLabels);
    progress.finish();
}

template <typename T>
void ComponentLabelling<T>::labelSlab(const VoxelMatrix<T>& m, int first, int last, PlaneRuns& firstRuns,
                                      ProgressSteps& progress)
{
    const long long lines = static_cast<long long>(m.getSize1()) * (last - first);
    const int columns = m.getSize2();
    reset(lines * columns, lines * (columns / 2 + 1));
    for (int k = first; k < last; ++k) {
        const int n = k - first;
        labelPlane(m[k], m_planes[n % 2], n > 0 ? &m_planes[(n + 1) % 2] : nullptr, progress);
        if (n == 0)
            firstRuns = m_planes[0];
    }
}

template <typename T>
void ComponentLabelling<T>::applyInSlabs(VoxelMatrix<T>& m, int grain, ProgressSteps& progress)
{
    using plexan::parallel::forEachChunk;
    const int planes = m.getSize3();
    const int slabs = static_cast<int>(plexan::parallel::chunkCount(0, planes, grain));
    std::vector<ComponentLabelling<T>> parts(static_cast<size_t>(slabs));
    std::vector<PlaneRuns> firstRuns(static_cast<size_t>(slabs));
    forEachChunk(0, planes, grain, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
        const size_t s = static_cast<size_t>(first / grain);
        parts[s].labelSlab(m, static_cast<int>(first), static_cast<int>(last), firstRuns[s], progress);
    });

    // One table: slab s's label l becomes l + offset[s], its parent likewise.
    std::vector<int> offset(static_cast<size_t>(slabs) + 1, 0);
    for (int s = 0; s < slabs; ++s)
        offset[s + 1] = offset[s] + parts[s].m_count;
    m_count = offset[slabs];
    m_capacity = m_count + 1;
    m_growth = m_capacity;
    m_equivalence.setSize(m_capacity);
    plexan::adviseHugePages(m_equivalence.data(), static_cast<size_t>(m_capacity) * sizeof(int));
    m_equivalence[0] = 0;
    forEachChunk(0, slabs, 1, [&](std::ptrdiff_t s, std::ptrdiff_t) {
        const int* parent = parts[s].m_equivalence.data();
        int* table = m_equivalence.data() + offset[s];
        for (int l = 1; l <= parts[s].m_count; ++l)
            table[l] = parent[l] + offset[s];
    });

    // The runs of a slab's first plane against those of the last plane of the
    // slab before, row by row.
    const int rows = m.getSize1();
    for (int s = 1; s < slabs; ++s) {
        const PlaneRuns& current = firstRuns[s];
        // Every slab but the last holds grain planes; its last one is in
        // the ring slot of plane grain - 1.
        const PlaneRuns& previous = parts[s - 1].m_planes[(grain - 1) % 2];
        for (int i = 0; i < rows; ++i) {
            const Run* before = previous.runs.data() + previous.rowStart[i];
            const Run* beforeEnd = previous.runs.data() + previous.rowStart[i + 1];
            for (int r = current.rowStart[i]; r < current.rowStart[i + 1]; ++r) {
                const Run& run = current.runs[static_cast<size_t>(r)];
                while (before < beforeEnd && before->end <= run.begin)
                    ++before;
                for (const Run* b = before; b < beforeEnd && b->begin < run.end; ++b)
                    unite(findRoot(run.label + offset[s]), findRoot(b->label + offset[s - 1]));
            }
        }
    }
    resolve();

    const int* table = m_equivalence.data();
    forEachChunk(0, planes, grain, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
        const size_t s = static_cast<size_t>(first / grain);
        ComponentLabelling<T>& part = parts[s];
        size_t next = 0;
        for (int k = static_cast<int>(first); k < last; ++k)
            writePlane(m[k], table, part.m_runLabels, offset[s], next, part.m_rowRuns, progress);
        part = ComponentLabelling<T>();
    });
}

template class ComponentLabelling<short>;
template class ComponentLabelling<unsigned short>;
template class ComponentLabelling<int>;
template class ComponentLabelling<unsigned int>;
template class ComponentLabelling<float>;
template class ComponentLabelling<double>;
template class ComponentLabelling<long double>;
