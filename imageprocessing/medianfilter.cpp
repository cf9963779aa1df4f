#include "imageprocessing/medianfilter.h"

#include "imageprocessing/linefilters.h"
#include "imageprocessing/progresssteps.h"

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"

#include <algorithm>
#include <limits>
#include <type_traits>

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
inline void sort2(T& a, T& b)
{
    const T lo = b < a ? b : a;
    const T hi = b < a ? a : b;
    a = lo;
    b = hi;
}

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
// shared by the three windows that contain them. A row is done in blocks of
// columns whose triples stay in the first-level cache: one loop sorts the
// triples of the block (and saves the middle input row, which the next row
// still needs unfiltered), a second combines them; both are branch-free
// minima and maxima over contiguous arrays, which the compiler vectorises.
namespace {

constexpr int medianBlock = 512;

// out[1 .. columns - 2] from the input rows a, b, c, saving b into saved as
// it goes. out may be b itself: each block first saves the columns of b it
// reads, and the two columns it shares with the previous block (one of them
// already overwritten there) come from saved.
template <typename T>
inline void median3x3RowKernel(const T* a, const T* b, const T* c, T* saved, T* out, int columns)
{
    alignas(64) T lo[medianBlock + 2];
    alignas(64) T mid[medianBlock + 2];
    alignas(64) T hi[medianBlock + 2];
    for (int j0 = 0; j0 + 2 < columns; j0 += medianBlock) {
        // Columns j0 .. j0 + n + 1 give the outputs j0 + 1 .. j0 + n.
        const int n = std::min(medianBlock, columns - 2 - j0);
        const T* aa = a + j0;
        const T* cc = c + j0;
        T* ss = saved + j0;
        // The first two columns were read (and saved) by the previous block,
        // whose outputs may already have replaced them in b.
        const int first = j0 == 0 ? 0 : 2;
        for (int j = first; j < n + 2; ++j)
            ss[j] = b[j0 + j];
        for (int j = 0; j < n + 2; ++j) {
            T x = aa[j], y = ss[j], z = cc[j];
            sort2(x, y);
            sort2(y, z);
            sort2(x, y);
            lo[j] = x;
            mid[j] = y;
            hi[j] = z;
        }
        T* o = out + j0 + 1;
        for (int j = 0; j < n; ++j) {
            const T l = max2(max2(lo[j], lo[j + 1]), lo[j + 2]);
            const T md = median3(mid[j], mid[j + 1], mid[j + 2]);
            const T h = min2(min2(hi[j], hi[j + 1]), hi[j + 2]);
            o[j] = median3(l, md, h);
        }
    }
}

template <typename T>
inline void median3x3Row(const T* a, const T* b, const T* c, T* saved, T* out, int columns)
{
    median3x3RowKernel(a, b, c, saved, out, columns);
}

// Plain functions for the common element types, which overload resolution
// ranks before the template above, compiled for the wider
// vector units as well (the minima and maxima are exact: every version gives
// the same medians).
#define PLEXAN_MEDIAN_ROW(T)                                                                                   \
    PLEXAN_VECTOR_CLONES void median3x3Row(const T* a, const T* b, const T* c, T* saved, T* out, int columns) \
    {                                                                                                          \
        median3x3RowKernel(a, b, c, saved, out, columns);                                                       \
    }
PLEXAN_MEDIAN_ROW(unsigned char)
PLEXAN_MEDIAN_ROW(short)
PLEXAN_MEDIAN_ROW(unsigned short)
PLEXAN_MEDIAN_ROW(int)
PLEXAN_MEDIAN_ROW(unsigned int)
PLEXAN_MEDIAN_ROW(float)
PLEXAN_MEDIAN_ROW(double)
#undef PLEXAN_MEDIAN_ROW

} // namespace

template <typename T>
void MedianFilter<T>::median3x3(PixelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    if (rows < 3 || columns < 3)
        return;
    ProgressSteps progress(*this, rows - 2, "Median filter");
    // The row above the current one, as it was before filtering, and the
    // current one as it is read.
    std::vector<T> above(m[0].data(), m[0].data() + columns);
    std::vector<T> current(columns);
    for (int i = 1; i < rows - 1; ++i) {
        T* b = m[i].data();
        median3x3Row(above.data(), static_cast<const T*>(b), static_cast<const T*>(m[i + 1].data()),
                     current.data(), b, columns);
        above.swap(current);
        progress.advance();
    }
    progress.finish();
}

namespace {

// The window median of every interior element of a byte image, from a
// histogram of the window that slides along the row: each step takes out the
// leaving column and brings in the entering one, and the median moves from
// its previous value, carrying the count of window values below it.
void histogramMedian(PixelMatrix<unsigned char>& m, const std::vector<std::vector<unsigned char>>& saved,
                     int i, int h)
{
    const int side = 2 * h + 1;
    const int columns = m.getSize2();
    const int rank = side * side / 2; // 0-based rank of the median
    int histogram[256] = {};
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c)
            ++histogram[saved[r][c]];
    int median = 0;
    int below = 0; // window values below median
    while (below + histogram[median] <= rank)
        below += histogram[median++];
    unsigned char* out = m[i].data();
    out[h] = static_cast<unsigned char>(median);
    for (int j = h + 1; j < columns - h; ++j) {
        for (int r = 0; r < side; ++r) {
            const int leaving = saved[r][j - h - 1];
            const int entering = saved[r][j + h];
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

} // namespace

template <typename T>
void MedianFilter<T>::standardApply(PixelMatrix<T>& m)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    if (h == 1) {
        median3x3(m);
        return;
    }
    setup2DCase();
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    const int side = 2 * h + 1;
    if (rows < side || columns < side)
        return;
    ProgressSteps progress(*this, rows - 2 * h, "Median filter");
    // The input rows of the window, kept as they were before filtering.
    std::vector<std::vector<T>> saved(side, std::vector<T>(columns));
    for (int r = 0; r < side - 1; ++r)
        std::copy(m[r].data(), m[r].data() + columns, saved[r + 1].begin());
    for (int i = h; i < rows - h; ++i) {
        // Slide the saved rows up by one and bring in row i + h.
        std::rotate(saved.begin(), saved.begin() + 1, saved.end());
        std::copy(m[i + h].data(), m[i + h].data() + columns, saved[side - 1].begin());
        if constexpr (std::is_same_v<T, unsigned char>) {
            histogramMedian(m, saved, i, h);
        } else {
            resetTable();
            for (int c = 0; c < side; ++c)
                for (int r = 0; r < side; ++r)
                    replaceItem(static_cast<unsigned int>(c * side + r), saved[r][c]);
            T* out = m[i].data();
            out[h] = getMedian();
            int leaving = 0; // the cyclic column of slots that the next step refills
            for (int j = h + 1; j < columns - h; ++j) {
                const unsigned int base = static_cast<unsigned int>(leaving * side);
                for (int r = 0; r < side; ++r)
                    replaceItem(base + r, saved[r][j + h]);
                out[j] = getMedian();
                leaving = leaving + 1 == side ? 0 : leaving + 1;
            }
        }
        progress.advance();
    }
    progress.finish();
}

template <typename T>
void MedianFilter<T>::standardApply(VoxelMatrix<T>& v)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    setup3DCase();
    const int s1 = v.getSize1();
    const int s2 = v.getSize2();
    const int s3 = v.getSize3();
    const int side = 2 * h + 1;
    if (s1 < side || s2 < side || s3 < side)
        return;
    ProgressSteps progress(*this, static_cast<long long>(s3 - 2 * h) * (s1 - 2 * h), "Median filter");
    const VoxelMatrix<T> src(v);
    const unsigned int columnSlots = static_cast<unsigned int>(side * side);
    for (int k = h; k < s3 - h; ++k)
        for (int i = h; i < s1 - h; ++i) {
            resetTable();
            for (int c = 0; c < side; ++c)
                for (int p = 0; p < side; ++p)
                    for (int r = 0; r < side; ++r)
                        replaceItem(static_cast<unsigned int>(c * side * side + p * side + r),
                                    src[k - h + p][i - h + r][c]);
            T* out = v[k][i].data();
            out[h] = getMedian();
            int leaving = 0;
            for (int j = h + 1; j < s2 - h; ++j) {
                const unsigned int base = static_cast<unsigned int>(leaving) * columnSlots;
                for (int p = 0; p < side; ++p)
                    for (int r = 0; r < side; ++r)
                        replaceItem(base + static_cast<unsigned int>(p * side + r), src[k - h + p][i - h + r][j + h]);
                out[j] = getMedian();
                leaving = leaving + 1 == side ? 0 : leaving + 1;
            }
            progress.advance();
        }
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
