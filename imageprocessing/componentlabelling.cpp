#include "imageprocessing/componentlabelling.h"

#include "imageprocessing/progresssteps.h"

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
    // are only touched as far as they are used.
    long long capacity = elements / 2;
    if (capacity < 2)
        capacity = 2;
    if (capacity > (1LL << 30))
        capacity = 1LL << 30;
    m_capacity = static_cast<int>(capacity);
    m_growth = m_capacity;
    m_equivalence.setSize(m_capacity);
    m_equivalence[0] = 0;
    m_count = 0;
    m_numLabels = 0;
    m_runLabels.clear();
    m_runLabels.reserve(static_cast<size_t>(maxRuns));
}

template <typename T>
int ComponentLabelling<T>::newLabel()
{
    ++m_count;
    if (m_count >= m_capacity) {
        const int growth = m_growth > 0 ? m_growth : 1;
        Vector<int> larger(static_cast<unsigned int>(m_capacity + growth));
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
void ComponentLabelling<T>::writePlane(PixelMatrix<T>& plane, size_t& next, ProgressSteps& progress)
{
    const int columns = plane.getSize2();
    const int* table = m_equivalence.data();
    m_rowRuns.resize(static_cast<size_t>(columns / 2 + 1));
    for (int i = 0; i < plane.getSize1(); ++i) {
        T* row = plane[i].data();
        const int count = findRuns(row, columns, m_rowRuns.data());
        int j = 0;
        for (int r = 0; r < count; ++r) {
            const Run& run = m_rowRuns[static_cast<size_t>(r)];
            std::fill(row + j, row + run.begin, T(0));
            std::fill(row + run.begin, row + run.end, static_cast<T>(table[m_runLabels[next++]]));
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
    writePlane(m, next, progress);
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
    reset(lines * columns, lines * (columns / 2 + 1));
    for (int k = 0; k < planes; ++k)
        labelPlane(m[k], m_planes[k % 2], k > 0 ? &m_planes[(k + 1) % 2] : nullptr, progress);
    resolve();
    size_t next = 0;
    for (int k = 0; k < planes; ++k)
        writePlane(m[k], next, progress);
    for (PlaneRuns& p : m_planes)
        p = PlaneRuns();
    std::vector<int>().swap(m_runLabels);
    progress.finish();
}

template class ComponentLabelling<short>;
template class ComponentLabelling<unsigned short>;
template class ComponentLabelling<int>;
template class ComponentLabelling<unsigned int>;
template class ComponentLabelling<float>;
template class ComponentLabelling<double>;
template class ComponentLabelling<long double>;
