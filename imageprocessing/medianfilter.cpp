#include "imageprocessing/medianfilter.h"

#include "imageprocessing/linefilters.h"
#include "imageprocessing/progresssteps.h"
#include "numerics/parallel.h"

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

template <typename T>
void MedianFilter<T>::apply(PixelMatrix<T>& m)
{
    if (getNumIterations() == 1)
        standardApply(m);
    else
        iteratedApply(m);
}

template <typename T>
void MedianFilter<T>::apply(VoxelMatrix<T>& v)
{
    if (getNumIterations() == 1)
        standardApply(v);
    else
        iteratedApply(v);
}

template <typename T>
void MedianFilter<T>::iteratedApply(PixelMatrix<T>& m)
{
    MedianFilter<T> once(getHalfSize());
    for (int n = 0; n < getNumIterations(); ++n)
        once.standardApply(m);
}

template <typename T>
void MedianFilter<T>::iteratedApply(VoxelMatrix<T>& v)
{
    MedianFilter<T> once(getHalfSize());
    for (int n = 0; n < getNumIterations(); ++n)
        once.standardApply(v);
}

template <typename T>
void MedianFilter<T>::setupTable(int count)
{
    m_count = count;
    m_values.assign(count + 2, std::numeric_limits<T>::max());
    m_values[0] = std::numeric_limits<T>::lowest();
    m_slots.resize(count + 2);
    m_places.resize(count);
    resetTable();
}

template <typename T>
void MedianFilter<T>::resetTable()
{
    std::fill(m_values.begin() + 1, m_values.end(), std::numeric_limits<T>::max());
    m_slots[0] = static_cast<unsigned int>(m_count);
    m_slots[m_count + 1] = static_cast<unsigned int>(m_count);
    for (int e = 1; e <= m_count; ++e) {
        m_slots[e] = static_cast<unsigned int>(e - 1);
        m_places[e - 1] = static_cast<unsigned int>(e);
    }
}

template <typename T>
void MedianFilter<T>::setup2DCase()
{
    const int side = 2 * getHalfSize() + 1;
    setupTable(side * side);
}

template <typename T>
void MedianFilter<T>::setup3DCase()
{
    const int side = 2 * getHalfSize() + 1;
    setupTable(side * side * side);
}

// Insertion by exchange: the entry moves up while the next value is smaller,
// or down while the previous one is larger. The sentinels stop it at both
// ends; the explicit bounds also stop infinities, which are beyond them.
template <typename T>
void MedianFilter<T>::replaceItem(unsigned int slot, T value)
{
    unsigned int e = m_places[slot];
    const unsigned int last = static_cast<unsigned int>(m_count);
    T* values = m_values.data();
    unsigned int* slots = m_slots.data();
    unsigned int* places = m_places.data();
    if (e < last && values[e + 1] < value) {
        do {
            values[e] = values[e + 1];
            slots[e] = slots[e + 1];
            places[slots[e]] = e;
            ++e;
        } while (e < last && values[e + 1] < value);
    } else {
        while (e > 1 && value < values[e - 1]) {
            values[e] = values[e - 1];
            slots[e] = slots[e - 1];
            places[slots[e]] = e;
            --e;
        }
    }
    values[e] = value;
    slots[e] = slot;
    places[slot] = e;
}

template <typename T>
void MedianFilter<T>::printSortTable(std::ostream& stream) const
{
    stream << "Sort table (" << m_count << " items)" << std::endl;
    for (int e = 0; e < m_count + 2; ++e)
        stream << e << ": " << +m_values[e] << " [" << m_slots[e] << "]" << std::endl;
}

namespace {

template <typename T>
inline T min2(T a, T b) { return b < a ? b : a; }
template <typename T>
inline T max2(T a, T b) { return a < b ? b : a; }

// The median of three: max(min(a, b), min(max(a, b), c)).
template <typename T>
inline T median3(T a, T b, T c)
{
    return max2(min2(a, b), min2(max2(a, b), c));
}

} // namespace

// The median of a 3 x 3 window is the median of (the largest of the column
// minima, the median of the column medians, the smallest of the column
// maxima), each column sorted first. The sorted column triples of a row are
// shared by the three windows that contain them, and two output rows are
// made together: rows i and i + 1 share the pair of input rows i and i + 1,
// sorted once per column, and each output row's triple adds one value (row
// i - 1 or row i + 2) to that sorted pair. A pair of rows is done in blocks
// of columns whose triples stay in the first-level cache: one loop sorts the
// columns of the block, a second combines them; both are branch-free minima
// and maxima over contiguous arrays, which the compiler vectorises.
namespace {

// Columns of a block: a kilobyte of each row. The block's rows, its six
// sorted arrays and its outputs then take about 11 KB of the first-level
// cache; blocks of 2 KB a row (22 KB) made the 3 x 3 float median 10 % slower
// on a Zen 3 processor.
template <typename T>
constexpr int medianBlock = static_cast<int>(1024 / sizeof(T));

// The sorted column triples of a block, lo <= mid <= hi at every column.
// Block column j is element lead + j, so that the columns a block sorts
// (from 2 on, the first two carried from the block before) start on a
// cache line: stored from an element two past a line, every other vector
// store was split between two lines.
template <typename T>
struct SortedColumns {
    static_assert(64 % sizeof(T) == 0 && sizeof(T) <= 32);
    static constexpr int lead = static_cast<int>(64 / sizeof(T)) - 2;
    alignas(64) T lo[lead + medianBlock<T> + 2];
    alignas(64) T mid[lead + medianBlock<T> + 2];
    alignas(64) T hi[lead + medianBlock<T> + 2];

    // Block columns 0 and 1 of the next block are the last two of this one.
    void carry()
    {
        for (T* a : {lo, mid, hi}) {
            a[lead] = a[lead + medianBlock<T>];
            a[lead + 1] = a[lead + medianBlock<T> + 1];
        }
    }
    // Column j from the sorted pair p <= q and a third value x.
    void set(int j, T p, T q, T x)
    {
        lo[lead + j] = min2(x, p);
        hi[lead + j] = max2(x, q);
        mid[lead + j] = max2(p, min2(x, q));
    }
    // The median of the window whose columns are j, j + 1, j + 2.
    T median(int j) const
    {
        const int k = lead + j;
        const T l = max2(max2(lo[k], lo[k + 1]), lo[k + 2]);
        const T md = median3(mid[k], mid[k + 1], mid[k + 2]);
        const T h = min2(min2(hi[k], hi[k + 1]), hi[k + 2]);
        return median3(l, md, h);
    }
};

// Rows b and c (two consecutive rows) replaced by their medians, a being the
// row above b and d the row below c, as they were before filtering; c's
// values before filtering go to saved. Each block reads the columns of b and
// c its outputs cover and the next one, then overwrites them; the next block
// takes its first two columns, already sorted, from this one, so b and c are
// never read after their outputs were written. The same columns of the
// rows that will be new to the next pair, its second row and the row below
// it (null when there are none), are asked for from memory meanwhile: the
// processor's own prefetching starts afresh at every page of the rows a pair
// goes through side by side, and the loads of the rows new to a pair took
// half of its time.
template <typename T>
inline void median3x3PairKernel(const T* a, T* b, T* c, const T* d, T* saved, int columns, const T* nextC,
                                const T* nextD)
{
    SortedColumns<T> upper;
    SortedColumns<T> lower;
    for (int j0 = 0; j0 + 2 < columns; j0 += medianBlock<T>) {
        // Columns j0 .. j0 + n + 1 give the outputs j0 + 1 .. j0 + n.
        const int n = std::min(medianBlock<T>, columns - 2 - j0);
        int first = 0;
        if (j0 > 0) {
            upper.carry();
            lower.carry();
            first = 2;
        }
        auto sort = [&](int j) {
            const int column = j0 + j;
            const T y = b[column];
            const T z = c[column];
            saved[column] = z;
            const T p = min2(y, z);
            const T q = max2(y, z);
            upper.set(j, p, q, a[column]);
            lower.set(j, p, q, d[column]);
        };
        for (int j = first; j < 2; ++j)
            sort(j);
        for (int j = 2; j < n + 2; ++j)
            sort(j);
        for (const T* next : {nextC, nextD})
            if (next)
                for (int j = j0 + first; j < j0 + n + 2; j += 64 / static_cast<int>(sizeof(T)))
                    __builtin_prefetch(next + j);
        T* ob = b + j0 + 1;
        T* oc = c + j0 + 1;
        for (int j = 0; j < n; ++j) {
            ob[j] = upper.median(j);
            oc[j] = lower.median(j);
        }
    }
}

// Row b alone replaced by its medians, a above and c below it unfiltered.
template <typename T>
inline void median3x3RowKernel(const T* a, T* b, const T* c, int columns)
{
    SortedColumns<T> columnsSorted;
    for (int j0 = 0; j0 + 2 < columns; j0 += medianBlock<T>) {
        const int n = std::min(medianBlock<T>, columns - 2 - j0);
        int first = 0;
        if (j0 > 0) {
            columnsSorted.carry();
            first = 2;
        }
        auto sort = [&](int j) {
            const int column = j0 + j;
            const T y = b[column];
            const T z = c[column];
            columnsSorted.set(j, min2(y, z), max2(y, z), a[column]);
        };
        for (int j = first; j < 2; ++j)
            sort(j);
        for (int j = 2; j < n + 2; ++j)
            sort(j);
        T* ob = b + j0 + 1;
        for (int j = 0; j < n; ++j)
            ob[j] = columnsSorted.median(j);
    }
}

template <typename T>
inline void median3x3Pair(const T* a, T* b, T* c, const T* d, T* saved, int columns, const T* nextC,
                          const T* nextD)
{
    median3x3PairKernel(a, b, c, d, saved, columns, nextC, nextD);
}

template <typename T>
inline void median3x3Row(const T* a, T* b, const T* c, int columns)
{
    median3x3RowKernel(a, b, c, columns);
}

// Plain functions for the common element types, which overload resolution
// ranks before the templates above, compiled for the wider vector units as
// well (the minima and maxima are exact: every version gives the same
// medians).
#define PLEXAN_MEDIAN_ROWS(T)                                                                                  \
    PLEXAN_VECTOR_CLONES void median3x3Pair(const T* a, T* b, T* c, const T* d, T* saved, int columns,        \
                                            const T* nextC, const T* nextD)                                    \
    {                                                                                                          \
        median3x3PairKernel(a, b, c, d, saved, columns, nextC, nextD);                                         \
    }                                                                                                          \
    PLEXAN_VECTOR_CLONES void median3x3Row(const T* a, T* b, const T* c, int columns)                         \
    {                                                                                                          \
        median3x3RowKernel(a, b, c, columns);                                                                  \
    }
PLEXAN_MEDIAN_ROWS(unsigned char)
PLEXAN_MEDIAN_ROWS(short)
PLEXAN_MEDIAN_ROWS(unsigned short)
PLEXAN_MEDIAN_ROWS(int)
PLEXAN_MEDIAN_ROWS(unsigned int)
PLEXAN_MEDIAN_ROWS(float)
PLEXAN_MEDIAN_ROWS(double)
#undef PLEXAN_MEDIAN_ROWS

// The window median of every interior element of a row of a byte image, from
// a histogram of the window that slides along the row: each step takes out
// the leaving column and brings in the entering one, and the median moves
// from its previous value, carrying the count of window values below it.
// window[0 .. 2h] are the input rows of the window, out the output row.
void histogramMedian(const unsigned char* const* window, unsigned char* out, int columns, int h)
{
    const int side = 2 * h + 1;
    const int rank = side * side / 2; // 0-based rank of the median
    int histogram[256] = {};
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c)
            ++histogram[window[r][c]];
    int median = 0;
    int below = 0; // window values below median
    while (below + histogram[median] <= rank)
        below += histogram[median++];
    out[h] = static_cast<unsigned char>(median);
    for (int j = h + 1; j < columns - h; ++j) {
        for (int r = 0; r < side; ++r) {
            const int leaving = window[r][j - h - 1];
            const int entering = window[r][j + h];
            --histogram[leaving];
            below -= leaving < median;
            ++histogram[entering];
            below += entering < median;
        }
        while (below > rank)
            below -= histogram[--median];
        while (below + histogram[median] <= rank)
            below += histogram[median++];
        out[j] = static_cast<unsigned char>(median);
    }
}

// Bands of output rows are filtered at once, each in place and in order. A
// band needs the h input rows above and below it as they were before
// filtering: the last h rows of the band above, the first h of the band
// below (or border rows, which keep their values). So every band's first
// and last h input rows are copied aside before anyone writes into the
// band, by whichever thread needs them first: the band itself when it
// starts, or a neighbour that starts earlier and needs them for its edge.
// No serial copy precedes the loop, and nobody waits but for a copy of a
// few rows already under way.
// Bands of about this many elements (a tenth to a fifth of a millisecond
// for a 3 x 3 window): two threads end within a band of each other.
constexpr long long bandElements = 1 << 18;
// Bands per thread, at least: enough that a core slowed by other work holds
// no one up.
constexpr int bandsPerThread = 4;
// Rows are counted in the progress in batches of a 128th of the image (at
// least a pair of rows).
constexpr int progressBatches = 128;

template <typename T>
class BandEdges {
public:
    BandEdges(const PixelMatrix<T>& m, int first, std::ptrdiff_t grain, std::ptrdiff_t bands, int h)
        : m_matrix(m), m_first(first), m_grain(grain), m_bands(bands), m_h(h), m_columns(m.getSize2()),
          // Not value-initialised: each band's rows are first touched by the
          // thread that copies them. One band needs none.
          m_rows(new T[bands > 1 ? static_cast<std::size_t>(bands) * 2 * h * m.getSize2() : 0]),
          m_states(new std::atomic<int>[static_cast<std::size_t>(bands)])
    {
        for (std::ptrdiff_t s = 0; s < bands; ++s)
            m_states[s].store(0, std::memory_order_relaxed);
    }

    // Band s's copies exist once this returns.
    void ensure(std::ptrdiff_t s)
    {
        int expected = 0;
        if (m_states[s].compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
            const int begin = static_cast<int>(m_first + s * m_grain);
            T* to = slot(s, 0);
            // The first h rows (they may reach into the border below the
            // last band, which nobody writes), then the last h, which only
            // the band below needs: there is none below the last band.
            for (int r = 0; r < m_h; ++r, to += m_columns)
                std::copy_n(m_matrix[begin + r].data(), m_columns, to);
            if (s + 1 < m_bands) {
                const int end = static_cast<int>(begin + m_grain);
                for (int r = 0; r < m_h; ++r, to += m_columns)
                    std::copy_n(m_matrix[end - m_h + r].data(), m_columns, to);
            }
            m_states[s].store(2, std::memory_order_release);
            return;
        }
        while (m_states[s].load(std::memory_order_acquire) != 2)
            std::this_thread::yield();
    }

    // Copy row r (0 .. 2h - 1) of band s: its first h rows, then its last h.
    const T* row(std::ptrdiff_t s, int r) const
    {
        return m_rows.get() + (static_cast<std::size_t>(s) * 2 * m_h + r) * m_columns;
    }

private:
    T* slot(std::ptrdiff_t s, int r) { return m_rows.get() + (static_cast<std::size_t>(s) * 2 * m_h + r) * m_columns; }

    const PixelMatrix<T>& m_matrix;
    int m_first;
    std::ptrdiff_t m_grain;
    std::ptrdiff_t m_bands;
    int m_h;
    int m_columns;
    std::unique_ptr<T[]> m_rows;
    std::unique_ptr<std::atomic<int>[]> m_states;
};

} // namespace

template <typename T>
void MedianFilter<T>::median3x3Band(PixelMatrix<T>& m, int first, int last, const T* above, const T* below,
                                    ProgressSteps& progress)
{
    const int columns = m.getSize2();
    // c's input values of one pair, the row above the next pair, column 2
    // (where a block after the first starts storing) on a cache line.
    const std::size_t slack = 64 / sizeof(T);
    std::vector<T> savedStore(static_cast<size_t>(columns) + slack);
    std::vector<T> previousStore(static_cast<size_t>(columns) + slack);
    auto lineAt2 = [](T* p) {
        while (reinterpret_cast<std::uintptr_t>(p + 2) % 64 != 0)
            ++p;
        return p;
    };
    T* saved = lineAt2(savedStore.data());
    T* previous = lineAt2(previousStore.data());
    // Rows done are counted in batches: the shared counter, touched by
    // every thread after every pair of rows, cost a fifth of the work of a
    // byte image on two threads.
    ProgressBatch batch(&progress, std::max(2, m.getSize1() / progressBatches));
    int i = first;
    for (; i + 1 < last; i += 2) {
        const T* d = i + 2 == last ? below : m[i + 2].data();
        // Rows i + 3 and i + 4: the next pair's second row and the row below
        // it, the two it reads first (a row below the band is the copy of
        // its neighbour, left to the hardware).
        const T* nextC = i + 3 < last ? m[i + 3].data() : nullptr;
        const T* nextD = i + 4 < last ? m[i + 4].data() : nullptr;
        median3x3Pair(above, m[i].data(), m[i + 1].data(), d, saved, columns, nextC, nextD);
        std::swap(saved, previous);
        above = previous;
        batch.advance(2);
    }
    if (i < last) {
        median3x3Row(above, m[i].data(), below, columns);
        batch.advance();
    }
    batch.flush();
}

template <typename T>
void MedianFilter<T>::windowBand(PixelMatrix<T>& m, int first, int last, const T* const* above,
                                  const T* const* below, ProgressSteps& progress)
{
    const int h = getHalfSize();
    const int side = 2 * h + 1;
    const int columns = m.getSize2();
    // Input row r as it was before filtering: the copies above and below the
    // band, the band's own rows until they are filtered.
    auto input = [&](int r) -> const T* {
        if (r < first)
            return above[r - first + h];
        if (r >= last)
            return below[r - last];
        return m[r].data();
    };
    // The input rows of the window, kept as they were before filtering.
    std::vector<std::vector<T>> saved(side, std::vector<T>(static_cast<size_t>(columns)));
    std::vector<const T*> window(side);
    for (int r = 0; r < side - 1; ++r) {
        const T* row = input(first - h + r);
        std::copy(row, row + columns, saved[r + 1].begin());
    }
    MedianFilter<T> table(h);
    if constexpr (!std::is_same_v<T, unsigned char>)
        table.setup2DCase();
    for (int i = first; i < last; ++i) {
        // Slide the saved rows up by one and bring in row i + h.
        std::rotate(saved.begin(), saved.begin() + 1, saved.end());
        const T* entering = input(i + h);
        std::copy(entering, entering + columns, saved[side - 1].begin());
        T* out = m[i].data();
        if constexpr (std::is_same_v<T, unsigned char>) {
            for (int r = 0; r < side; ++r)
                window[r] = saved[r].data();
            histogramMedian(window.data(), out, columns, h);
        } else {
            table.resetTable();
            for (int c = 0; c < side; ++c)
                for (int r = 0; r < side; ++r)
                    table.replaceItem(static_cast<unsigned int>(c * side + r), saved[r][c]);
            out[h] = table.getMedian();
            int leaving = 0; // the cyclic column of slots that the next step refills
            for (int j = h + 1; j < columns - h; ++j) {
                const unsigned int base = static_cast<unsigned int>(leaving * side);
                for (int r = 0; r < side; ++r)
                    table.replaceItem(base + r, saved[r][j + h]);
                out[j] = table.getMedian();
                leaving = leaving + 1 == side ? 0 : leaving + 1;
            }
        }
        progress.advance();
    }
}

template <typename T>
void MedianFilter<T>::standardApply(PixelMatrix<T>& m)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    const int side = 2 * h + 1;
    if (rows < side || columns < side)
        return;
    using plexan::parallel::getThreadCount;
    const int first = h;
    const int last = rows - h;
    const int threads = getThreadCount();
    // Bands hold at least h rows, so that the rows above a band all lie in
    // the band above it.
    const std::ptrdiff_t bySize = std::max<long long>(1, bandElements / columns);
    const std::ptrdiff_t grain =
        threads == 1 ? last - first
                     : std::max<std::ptrdiff_t>({std::min(bySize, plexan::parallel::grainFor(last - first,
                                                                                           bandsPerThread * threads)),
                                                 8, h});
    const std::ptrdiff_t bands = plexan::parallel::chunkCount(first, last, grain);
    BandEdges<T> edges(m, first, grain, bands, h);
    ProgressSteps progress(*this, last - first, "Median filter");
    plexan::parallel::forEachChunk(first, last, grain, [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
        const std::ptrdiff_t s = (begin - first) / grain;
        // The input rows above the band and below it: border rows, which
        // nobody writes, or the neighbours' copies.
        std::vector<const T*> above(static_cast<size_t>(h));
        std::vector<const T*> below(static_cast<size_t>(h));
        if (bands > 1)
            edges.ensure(s);
        if (s > 0)
            edges.ensure(s - 1);
        if (s + 1 < bands)
            edges.ensure(s + 1);
        for (int r = 0; r < h; ++r) {
            above[r] = s > 0 ? edges.row(s - 1, h + r) : m[static_cast<int>(begin) - h + r].data();
            below[r] = s + 1 < bands ? edges.row(s + 1, r) : m[static_cast<int>(end) + r].data();
        }
        if (h == 1)
            median3x3Band(m, static_cast<int>(begin), static_cast<int>(end), above[0], below[0], progress);
        else
            windowBand(m, static_cast<int>(begin), static_cast<int>(end), above.data(), below.data(), progress);
    });
    progress.finish();
}

template <typename T>
void MedianFilter<T>::standardApply(VoxelMatrix<T>& v)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    const int s1 = v.getSize1();
    const int s2 = v.getSize2();
    const int s3 = v.getSize3();
    const int side = 2 * h + 1;
    if (s1 < side || s2 < side || s3 < side)
        return;
    ProgressSteps progress(*this, static_cast<long long>(s3 - 2 * h) * (s1 - 2 * h), "Median filter");
    const VoxelMatrix<T> src(v);
    const unsigned int columnSlots = static_cast<unsigned int>(side * side);
    // Rows of output planes in parallel, each chunk with its own sort table;
    // every window is read from the unfiltered copy.
    const long long planeRows = s1 - 2 * h;
    const long long rows = static_cast<long long>(s3 - 2 * h) * planeRows;
    const std::ptrdiff_t grain = plexan::parallel::grainFor(
        rows, static_cast<std::ptrdiff_t>(bandsPerThread) * plexan::parallel::getThreadCount(), 4);
    plexan::parallel::forEachChunk(0, rows, grain, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
        MedianFilter<T> table(h);
        table.setup3DCase();
        for (std::ptrdiff_t n = first; n < last; ++n) {
            const int k = h + static_cast<int>(n / planeRows);
            const int i = h + static_cast<int>(n % planeRows);
            table.resetTable();
            for (int c = 0; c < side; ++c)
                for (int p = 0; p < side; ++p)
                    for (int r = 0; r < side; ++r)
                        table.replaceItem(static_cast<unsigned int>(c * side * side + p * side + r),
                                          src[k - h + p][i - h + r][c]);
            T* out = v[k][i].data();
            out[h] = table.getMedian();
            int leaving = 0;
            for (int j = h + 1; j < s2 - h; ++j) {
                const unsigned int base = static_cast<unsigned int>(leaving) * columnSlots;
                for (int p = 0; p < side; ++p)
                    for (int r = 0; r < side; ++r)
                        table.replaceItem(base + static_cast<unsigned int>(p * side + r),
                                          src[k - h + p][i - h + r][j + h]);
                out[j] = table.getMedian();
                leaving = leaving + 1 == side ? 0 : leaving + 1;
            }
            progress.advance();
        }
    });
    progress.finish();
}

template class MedianFilter<unsigned char>;
template class MedianFilter<short>;
template class MedianFilter<unsigned short>;
template class MedianFilter<int>;
template class MedianFilter<unsigned int>;
template class MedianFilter<float>;
template class MedianFilter<double>;
template class MedianFilter<long double>;
