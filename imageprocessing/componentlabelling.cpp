#include "imageprocessing/componentlabelling.h"

#include "imageprocessing/progresssteps.h"

#include <algorithm>

template <typename T>
void ComponentLabelling<T>::reset(long long elements)
{
    // Every run but the first of a row starts after a background element, so
    // half the elements (plus one per row) bound the labels; the table starts
    // at half the elements and grows by as much when that is not enough.
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
    m_runs.clear();
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
    int root = unite(findRoot(a), findRoot(b));
    return unite(root, findRoot(c));
}

template <typename T>
void ComponentLabelling<T>::reserveRow(int columns)
{
    // A row of n elements has at most (n + 1) / 2 runs.
    const size_t needed = m_runs.size() + static_cast<size_t>(columns) / 2 + 1;
    if (m_runs.capacity() < needed)
        m_runs.reserve(std::max(2 * m_runs.capacity(), needed));
}

template <typename T>
void ComponentLabelling<T>::labelRow(const T* row, int n, const Run* above, const Run* aboveEnd,
                                     const Run* before, const Run* beforeEnd)
{
    int j = 0;
    while (true) {
        while (j < n && row[j] == T(0))
            ++j;
        if (j == n)
            return;
        const int begin = j;
        while (j < n && row[j] != T(0))
            ++j;
        const int end = j;

        // Runs of the neighbouring rows sharing a column with [begin, end).
        int label = 0;
        while (above < aboveEnd && above->end <= begin)
            ++above;
        for (const Run* r = above; r < aboveEnd && r->begin < end; ++r) {
            const int root = findRoot(r->label);
            label = label == 0 ? root : unite(label, root);
        }
        while (before < beforeEnd && before->end <= begin)
            ++before;
        for (const Run* r = before; r < beforeEnd && r->begin < end; ++r) {
            const int root = findRoot(r->label);
            label = label == 0 ? root : unite(label, root);
        }
        if (label == 0)
            label = newLabel();
        m_runs.push_back(Run{begin, end, label});
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
void ComponentLabelling<T>::writeRow(T* row, int n, const Run* first, const Run* last) const
{
    const int* table = m_equivalence.data();
    int j = 0;
    for (const Run* r = first; r < last; ++r) {
        std::fill(row + j, row + r->begin, T(0));
        std::fill(row + r->begin, row + r->end, static_cast<T>(table[r->label]));
        j = r->end;
    }
    std::fill(row + j, row + n, T(0));
}

template <typename T>
void ComponentLabelling<T>::apply(PixelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    ProgressSteps progress(*this, 2LL * rows, "");
    reset(static_cast<long long>(rows) * columns);
    m_rowStart.assign(static_cast<size_t>(rows) + 1, 0);

    for (int i = 0; i < rows; ++i) {
        m_rowStart[i] = static_cast<long long>(m_runs.size());
        const long long aboveBegin = i > 0 ? m_rowStart[i - 1] : 0;
        const long long aboveEnd = i > 0 ? m_rowStart[i] : 0;
        reserveRow(columns);
        const Run* runs = m_runs.data();
        labelRow(m[i].data(), columns, runs + aboveBegin, runs + aboveEnd, nullptr, nullptr);
        progress.advance();
    }
    m_rowStart[rows] = static_cast<long long>(m_runs.size());

    resolve();
    for (int i = 0; i < rows; ++i) {
        writeRow(m[i].data(), columns, m_runs.data() + m_rowStart[i], m_runs.data() + m_rowStart[i + 1]);
        progress.advance();
    }
    std::vector<Run>().swap(m_runs);
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
    reset(lines * columns);
    m_rowStart.assign(static_cast<size_t>(lines) + 1, 0);

    long long line = 0;
    for (int k = 0; k < planes; ++k) {
        const PixelMatrix<T>& plane = m[k];
        for (int i = 0; i < rows; ++i, ++line) {
            m_rowStart[line] = static_cast<long long>(m_runs.size());
            const long long aboveBegin = i > 0 ? m_rowStart[line - 1] : 0;
            const long long aboveEnd = i > 0 ? m_rowStart[line] : 0;
            const long long beforeBegin = k > 0 ? m_rowStart[line - rows] : 0;
            const long long beforeEnd = k > 0 ? m_rowStart[line - rows + 1] : 0;
            reserveRow(columns);
            const Run* runs = m_runs.data();
            labelRow(plane[i].data(), columns, runs + aboveBegin, runs + aboveEnd, runs + beforeBegin,
                     runs + beforeEnd);
            progress.advance();
        }
    }
    m_rowStart[lines] = static_cast<long long>(m_runs.size());

    resolve();
    line = 0;
    for (int k = 0; k < planes; ++k) {
        PixelMatrix<T>& plane = m[k];
        for (int i = 0; i < rows; ++i, ++line) {
            writeRow(plane[i].data(), columns, m_runs.data() + m_rowStart[line],
                     m_runs.data() + m_rowStart[line + 1]);
            progress.advance();
        }
    }
    std::vector<Run>().swap(m_runs);
    progress.finish();
}

template class ComponentLabelling<short>;
template class ComponentLabelling<unsigned short>;
template class ComponentLabelling<int>;
template class ComponentLabelling<unsigned int>;
template class ComponentLabelling<float>;
template class ComponentLabelling<double>;
template class ComponentLabelling<long double>;
