#include "imageprocessing/separablefilterbase.h"

#include "imageprocessing/keptlease.h"
#include "imageprocessing/matrixpasses.h"
#include "numerics/hugepages.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

using namespace plexan::lines;

namespace {

// The kernel reversed, for a correlation that performs the convolution.
template <typename T>
std::vector<T> reversed(const Vector<T>& k)
{
    return std::vector<T>(std::make_reverse_iterator(k.end()), std::make_reverse_iterator(k.begin()));
}

// Calls kernel(width) with the bytes of the vectors the kernels sum in, as
// an integral constant: 64 in the version for AVX-512, 32 in the one for
// AVX2, 16 in the baseline version, each the width of its registers (a
// vector wider than the registers went through the stack at every tap).
// The processor that picked a version has its instructions.
template <typename Kernel>
inline void inVectorWidth(Kernel&& kernel)
{
#if defined(PLEXAN_HAS_VECTOR_CLONES)
    if (__builtin_cpu_supports("avx512f")) {
        kernel(std::integral_constant<int, 64>());
        return;
    }
    if (__builtin_cpu_supports("avx2")) {
        kernel(std::integral_constant<int, 32>());
        return;
    }
#endif
    kernel(std::integral_constant<int, 16>());
}

// The float and double kernels in every vector width; other types take the
// baseline kernels through the templates, which overload resolution ranks
// after these.
PLEXAN_VECTOR_CLONES void convolveLine(const float* v, float* out, int n, const float* k, int m)
{
    inVectorWidth([&](auto width) { correlateLine<decltype(width)::value>(v, out, n, k, m); });
}

PLEXAN_VECTOR_CLONES void convolveLine(const double* v, double* out, int n, const double* k, int m)
{
    inVectorWidth([&](auto width) { correlateLine<decltype(width)::value>(v, out, n, k, m); });
}

PLEXAN_VECTOR_CLONES void convolveLines(const float* const* in, float* const* out, int n, int w, const float* k,
                                        int m)
{
    inVectorWidth([&](auto width) { correlateAcross<decltype(width)::value>(in, out, n, w, k, m); });
}

PLEXAN_VECTOR_CLONES void convolveLines(const double* const* in, double* const* out, int n, int w, const double* k,
                                        int m)
{
    inVectorWidth([&](auto width) { correlateAcross<decltype(width)::value>(in, out, n, w, k, m); });
}

PLEXAN_VECTOR_CLONES void combine(const float* const* lines, float* out, int w, const float* k, int t0, int t1)
{
    inVectorWidth([&](auto width) { combineLines<decltype(width)::value>(lines, out, w, k, t0, t1); });
}

PLEXAN_VECTOR_CLONES void combine(const double* const* lines, double* out, int w, const double* k, int t0, int t1)
{
    inVectorWidth([&](auto width) { combineLines<decltype(width)::value>(lines, out, w, k, t0, t1); });
}

template <typename T>
void convolveLine(const T* v, T* out, int n, const T* k, int m)
{
    correlateLine(v, out, n, k, m);
}

template <typename T>
void convolveLines(const T* const* in, T* const* out, int n, int w, const T* k, int m)
{
    correlateAcross(in, out, n, w, k, m);
}

template <typename T>
void combine(const T* const* lines, T* out, int w, const T* k, int t0, int t1)
{
    combineLines(lines, out, w, k, t0, t1);
}

template <typename T>
auto rowConvolution(const std::vector<T>& k)
{
    return [&k](const T* in, const T*, T* out, int n) { convolveLine(in, out, n, k.data(), static_cast<int>(k.size())); };
}

template <typename T>
auto acrossConvolution(const std::vector<T>& k)
{
    return [&k](const T* const* in, const T* const*, T* const* out, int n, int w) {
        convolveLines(in, out, n, w, k.data(), static_cast<int>(k.size()));
    };
}

// Asks for the n elements from p on from memory, ahead of their use.
template <typename T>
void prefetchLine(const T* p, std::size_t n)
{
    const char* bytes = reinterpret_cast<const char*>(p);
    for (std::size_t b = 0; b < n * sizeof(T); b += 64)
        __builtin_prefetch(bytes + b);
}

// Rings of filtered lines never take more than this; beyond it the passes go
// one after the other over the whole matrix.
constexpr std::size_t ringBudget = 64u << 20;

// The elements from one slot of a ring to the next for slots of `size`
// elements: an odd number of 512-byte blocks, so that the slots a kernel
// reads together start at eight different offsets within a page. Nine
// slots whole pages apart (bands of 20 rows of 512 floats, rows of 4096)
// took a third longer to combine than the same slots spread: the 4096²
// Gaussian went from 18 to 14.5 ms.
template <typename T>
std::size_t slotStride(std::size_t size)
{
    constexpr std::size_t block = 512;
    static_assert(block % sizeof(T) == 0);
    const std::size_t blocks = (size * sizeof(T) + block - 1) / block;
    return (blocks | 1) * (block / sizeof(T));
}

// Whether a ring of `count` slots of `size` elements stays within the budget.
template <typename T>
bool ringFits(int count, std::size_t size)
{
    return count >= 1 && size > 0 && size <= ringBudget / sizeof(T) / static_cast<std::size_t>(count) &&
           slotStride<T>(size) <= ringBudget / sizeof(T) / static_cast<std::size_t>(count);
}

// The lines of a sliding window, filtered once each: line r lives in slot
// r % slots while the window needs it.
template <typename T>
struct Ring {
    std::vector<T> lines;
    int slots = 0;
    std::size_t stride = 0;

    // Room for `slots` lines of `size` elements; false when that exceeds
    // the budget (nothing is allocated then).
    bool reserve(int count, std::size_t size)
    {
        if (!ringFits<T>(count, size))
            return false;
        slots = count;
        stride = slotStride<T>(size);
        plexan::reserveLarge(lines, static_cast<std::size_t>(count) * stride);
        lines.resize(static_cast<std::size_t>(count) * stride);
        return true;
    }
    T* operator[](int r) { return lines.data() + static_cast<std::size_t>(r % slots) * stride; }
};

template <typename T>
using KeptBuffer = std::vector<T, plexan::LargeAllocator<T>>;

// Copies of input lines, and rows handed on from band to band: 6 MB of rows
// of a 512 x 512 x 128 volume took 7-15 ms to fill when fresh against 0.7 ms
// on memory used before. A new buffer is mapped in one go by the threads
// (prefault).
template <typename T>
struct LineCopies {
    KeptBuffer<T> data;
    bool busy = false;

    std::size_t bytes() const { return data.capacity() * sizeof(T); }
    // Room for n elements, their contents left as they were.
    T* reserve(std::size_t n)
    {
        if (data.size() < n) {
            data = KeptBuffer<T>();
            data.resize(n);
            plexan::parallel::prefault(data.data(), n * sizeof(T));
        }
        return data.data();
    }
};

// Sweeps a window of m = taps lines over `count` lines to make the output
// lines [a, b): calls filter(r) for every line r the window of those outputs
// covers, in order, and combine(i, t0, t1) for every output line i as soon as
// the last line of its window (i + m - 1 - m / 2) has been filtered, taps t0
// .. t1 - 1 being those whose line exists. Output line i may then overwrite
// input line i: the band's own lines are filtered before any output reaches
// them.
template <typename Filter, typename Combine>
void slideWindow(int count, int taps, int a, int b, Filter&& filter, Combine&& combine)
{
    const int c = taps / 2;
    const int lag = taps - 1 - c;
    auto emit = [&](int i) { combine(i, std::max(0, c - i), std::min(taps, count - i + c)); };
    const int lo = std::max(0, a - c);
    const int hi = std::min(count, b + lag);
    int next = a;
    for (int r = lo; r < hi; ++r) {
        filter(r);
        while (next < b && next + lag <= r)
            emit(next++);
    }
    while (next < b)
        emit(next++);
}

template <typename Filter, typename Combine>
void slideWindow(int count, int taps, Filter&& filter, Combine&& combine)
{
    slideWindow(count, taps, 0, count, std::forward<Filter>(filter), std::forward<Combine>(combine));
}

// Bands of output lines for the threads: eight per thread so that a core
// running slower than the others holds no one up (with four, one core a
// third slower left the other idle for a quarter of a 4096² Gaussian), each
// many times the window so that the lines filtered twice (a window's height
// at either end) cost little. Every band gives the same bits as one sweep,
// so the count may follow the threads.
inline int bandGrain(int count, int taps)
{
    const int threads = plexan::parallel::getThreadCount();
    if (threads <= 1)
        return std::max(count, 1);
    const int minimum = std::max(4 * taps, 16);
    return static_cast<int>(plexan::parallel::grainFor(count, 8 * threads, minimum));
}

// The row kernel h along each of the `rows` lines in[r] (`width` long), then
// the column kernel v (not empty) down the columns, into out[r] (out may be
// in): rows pass through a ring of v.size() filtered rows, so that the
// matrix is read and written once. Bands of rows run in parallel, each with
// its own ring; when out is in, the input rows a band shares with its
// neighbours are copied first. after(a, b) runs on the output rows [a, b)
// of a band once they are written. One progress unit per row and pass.
// Without bands, the rows go in one sweep in the calling thread.
template <typename T, typename After>
void rowsThenColumns(const T* const* in, T* const* out, int rows, int width, const std::vector<T>& h,
                     const std::vector<T>& v, ProgressSteps* progress, After&& after, bool bands = true)
{
    const int m = static_cast<int>(v.size());
    const int c = m / 2;
    const int lag = m - 1 - c;
    const int grain = bands ? bandGrain(rows, m) : std::max(rows, 1);
    KeptLease<LineCopies<T>> kept;
    T* saved = nullptr;
    std::vector<const T*> shared;
    if (grain < rows && static_cast<const void*>(in[0]) == static_cast<const void*>(out[0])) {
        shared.assign(static_cast<std::size_t>(rows), nullptr);
        std::vector<int> copied;
        for (int p = grain; p < rows; p += grain)
            for (int r = std::max(0, p - c); r < std::min(rows, p + lag); ++r)
                if (copied.empty() || copied.back() < r)
                    copied.push_back(r);
        saved = kept->reserve(copied.size() * static_cast<std::size_t>(width));
        for (std::size_t n = 0; n < copied.size(); ++n)
            shared[static_cast<std::size_t>(copied[n])] = saved + n * static_cast<std::size_t>(width);
        plexan::parallel::forEachChunk(0, static_cast<std::ptrdiff_t>(copied.size()), 8,
                                       [&](std::ptrdiff_t first, std::ptrdiff_t last) {
                                           for (std::ptrdiff_t n = first; n < last; ++n)
                                               std::copy(in[copied[n]], in[copied[n]] + width,
                                                         saved + n * static_cast<std::size_t>(width));
                                       });
    }
    plexan::parallel::forEachChunk(0, rows, grain, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
        const int a = static_cast<int>(first);
        const int b = static_cast<int>(last);
        Ring<T> ring;
        ring.reserve(std::min(m, rows), static_cast<std::size_t>(width));
        std::vector<const T*> lines(v.size());
        // Rows counted a few at a time: still a few hundred steps a run.
        ProgressBatch batch(progress, std::clamp(rows / 128, 1, 32));
        slideWindow(
            rows, m, a, b,
            [&](int r) {
                const T* source = (r < a || r >= b) && !shared.empty() ? shared[static_cast<std::size_t>(r)] : in[r];
                convolveLine(source, ring[r], width, h.data(), static_cast<int>(h.size()));
                batch.advance();
            },
            [&](int i, int t0, int t1) {
                for (int t = t0; t < t1; ++t)
                    lines[t] = ring[i + t - m / 2];
                combine(lines.data(), out[i], width, v.data(), t0, t1);
                batch.advance();
            });
        batch.flush();
        after(a, b);
    });
}

// A band of rows keeps its ring of filtered planes within this many bytes,
// so that the ring stays in the second-level cache while the planes go by.
constexpr std::size_t bandBudget = 384u << 10;

// What a thread keeps from band to band: the ring and the row-filtered
// rows, kept from call to call (a group of rows of a 512 x 512 x 128 float
// volume spent 4-5 ms of its 16-25 on a fresh 2.5 MB).
template <typename T>
struct SweepScratch {
    KeptBuffer<T> ring;
    KeptBuffer<T> rows;
    bool busy = false;

    std::size_t bytes() const { return (ring.capacity() + rows.capacity()) * sizeof(T); }
    // Room for at least the sizes given (elements).
    void fit(std::size_t ringSize, std::size_t rowsSize)
    {
        grow(ring, ringSize);
        grow(rows, rowsSize);
    }
    static void grow(KeptBuffer<T>& v, std::size_t n)
    {
        if (v.size() < n)
            v.resize(n);
    }
};

// The convolution of a volume with kernel1 along rows, kernel2 along columns
// and kernel3 along k (all reversed, kernel2 and kernel3 not empty), in one
// sweep over the planes per band of rows.
//
// A band of rows [i0, i1) goes over the planes in order: the rows of plane r
// that the band's column window covers go through the row kernel, the
// band's rows are combined from them down the columns into a ring of
// filtered plane bands, and output plane k is combined from the ring, over
// the band's rows of input plane k, once plane k + lag is in. The ring holds
// a few hundred kilobytes: a ring of whole planes, megabytes each, went to
// the last-level cache or to memory for every output plane, and two threads
// sweeping at once then waited on memory as much as one.
//
// Bands follow each other down the rows. The row-filtered rows that a
// band's column window shares with the next band are handed on in a carry,
// one set per plane, so no row goes through the row kernel twice and no band
// reads the rows of the one above after they were overwritten. With several
// threads the bands go in groups, two a thread (a thread running slower then
// takes fewer), taken from the last up by whichever thread is free; a
// group's bands run one after the other on its thread, so the carry stays in
// that processor's caches. The first band of a group hands the row-filtered
// rows that its column window shares with the group above up to that
// group's last band, which waits for them plane by plane and reads no input
// row of the group below; the first band reads the rows of the group above
// it needs before that group overwrites them, since their last band
// overwrites plane k only after plane k + lag of the band below is in.
// Bands lower than the column window run as a wavefront instead: taken in
// order by whichever thread is free, a band filters plane r once the band
// above has handed on plane r's carry. The wavefront sent every carry from
// one processor to the other, and the rows a band overwrites had last been
// read by the other processor: the 512 x 512 x 128 float volume took 33 ms
// on two threads against 28-31 in groups. Every element is summed in the
// same order whatever the bands and threads, so the results are the same
// bits at any thread count.
template <typename T, typename After>
class VolumeSweep {
public:
    VolumeSweep(VoxelMatrix<T>& v, const std::vector<T>& k1, const std::vector<T>& k2, const std::vector<T>& k3,
                ProgressSteps& progress, After after)
        : m_v(v), m_k1(k1), m_k2(k2), m_k3(k3), m_progress(progress), m_after(std::move(after)), m_s1(v.getSize1()),
          m_s2(v.getSize2()), m_s3(v.getSize3()), m_m2(static_cast<int>(k2.size())),
          m_m3(static_cast<int>(k3.size())), m_slots(std::min(m_m3, m_s3))
    {
        const std::size_t row = static_cast<std::size_t>(m_s2) * sizeof(T);
        const std::size_t rows = bandBudget / (row * static_cast<std::size_t>(m_slots));
        m_band = static_cast<int>(std::clamp<std::size_t>(rows, 4, static_cast<std::size_t>(std::max(m_s1, 4))));
    }

    // Whether the ring and the carry stay within the budget of rings.
    bool fits() const
    {
        return ringFits<T>(m_slots, static_cast<std::size_t>(m_band) * m_s2) &&
               (m_m2 == 1 || ringFits<T>(m_m2 - 1, static_cast<std::size_t>(m_s2) * m_s3));
    }

    void run()
    {
        // As many bands as the budget asks for, with several threads about
        // a multiple of them so that none is left with the last band alone.
        const int threads = plexan::parallel::getThreadCount();
        int count = std::max(1, (m_s1 + m_band - 1) / m_band);
        if (threads > 1)
            count = std::min(m_s1, (count + threads - 1) / threads * threads);
        m_height = (m_s1 + count - 1) / count;
        m_count = (m_s1 + m_height - 1) / m_height;
        // Groups of bands when a band is as high as the column window (the
        // last band of a group filters its own rows and takes the rows below
        // them from the group below).
        m_groups = 1;
        const std::size_t set = static_cast<std::size_t>(std::max(m_m2 - 1, 0)) * m_s3 * m_s2;
        if (threads > 1 && m_m2 > 1 && m_height >= m_m2 - 1) {
            const int groups = std::min(m_count, 2 * threads);
            if (ringFits<T>(2 * groups - 1, set))
                m_groups = groups;
        }
        KeptLease<LineCopies<T>, 1> kept;
        // A carry per group, and the rows each group but the first hands up
        // (set m_groups + g - 1 for group g).
        const int sets = m_m2 > 1 && m_count > 1 ? 2 * m_groups - 1 : 0;
        m_sets = sets > 0 ? kept->reserve(static_cast<std::size_t>(sets) * set) : nullptr;
        m_filtered.reset(new Counter[static_cast<std::size_t>(m_count)]);
        m_next.store(0);
        m_failed.store(false);
        const int tasks = m_groups > 1 ? m_groups : m_count;
        plexan::parallel::forEachChunk(0, std::min(threads, tasks), 1,
                                       [&](std::ptrdiff_t, std::ptrdiff_t) { work(); });
    }

private:
    // Thrown inside a band whose thread stops because another one failed.
    struct Abandoned {};

    int edge(int b) const { return std::min(m_s1, b * m_height); }
    // The first band of group g.
    int groupBand(int g) const { return static_cast<int>(static_cast<long long>(g) * m_count / m_groups); }
    // The g-th set of m2 - 1 rows of every plane.
    T* rowSet(int g) const
    {
        return m_sets ? m_sets + static_cast<std::size_t>(g) * (m_m2 - 1) * m_s3 * m_s2 : nullptr;
    }

    // Takes the next band (or group) until none is left or a thread failed.
    void work()
    {
        const std::size_t s2 = static_cast<std::size_t>(m_s2);
        KeptLease<SweepScratch<T>> scratch;
        // Progress passed on in blocks of about a five-hundredth of the run.
        ProgressBatch batch(&m_progress, 3LL * m_s1 * m_s3 / 512);
        try {
            scratch->fit(static_cast<std::size_t>(m_slots) * slotStride<T>(m_height * s2),
                         static_cast<std::size_t>(m_height + m_m2 - 1) * s2);
            while (!m_failed.load(std::memory_order_relaxed)) {
                const int task = m_next.fetch_add(1, std::memory_order_relaxed);
                if (m_groups == 1) {
                    if (task >= m_count)
                        break;
                    sweepBand(task, 0, *scratch, batch);
                } else {
                    if (task >= m_groups)
                        break;
                    // Groups from the last up: the one below a group has
                    // started by the time that group reaches its last band.
                    const int g = m_groups - 1 - task;
                    for (int b = groupBand(g); b < groupBand(g + 1); ++b)
                        sweepBand(b, g, *scratch, batch);
                }
            }
            batch.flush();
        } catch (const Abandoned&) {
        } catch (...) {
            m_failed.store(true);
            throw;
        }
    }

    // Waits until band b has handed on the carry of plane r.
    void waitFor(int b, int r) const
    {
        for (int spins = 0; m_filtered[static_cast<std::size_t>(b)].planes.load(std::memory_order_acquire) <= r;
             ++spins) {
            if (m_failed.load(std::memory_order_relaxed))
                throw Abandoned();
            if (spins < 64)
                pause();
            else
                std::this_thread::yield();
        }
    }

    static void pause()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    // Sweeps band b (of group g) over the planes.
    void sweepBand(int b, int g, SweepScratch<T>& scratch, ProgressBatch& batch)
    {
        const std::size_t s2 = static_cast<std::size_t>(m_s2);
        const std::size_t set = static_cast<std::size_t>(m_m2 - 1) * s2;
        const int c2 = m_m2 / 2;
        const int lag2 = m_m2 - 1 - c2;
        const int c3 = m_m3 / 2;
        const int i0 = edge(b);
        const int i1 = edge(b + 1);
        const int height = i1 - i0;
        T* const ring = scratch.ring.data();
        T* const rows = scratch.rows.data();
        std::vector<const T*> lines(static_cast<std::size_t>(std::max(m_m2, m_m3)));
        const std::size_t stride = slotStride<T>(static_cast<std::size_t>(height) * s2);
        auto slot = [&](int r) { return ring + static_cast<std::size_t>(r % m_slots) * stride; };
        // Rows [lo, hi) of each plane are row-filtered for the band:
        // [lo, carried) come from the band above, [below, hi) from the
        // group below, the rest from the input.
        const int lo = std::max(0, i0 - c2);
        const int hi = std::min(m_s1, i1 + lag2);
        const int next = std::max(0, i1 - c2);
        // With one group (the wavefront) its bands are all the bands.
        const bool first = b == groupBand(g);
        const bool last = b + 1 == groupBand(g + 1) && g + 1 < m_groups;
        const int carried = first ? lo : std::min(m_s1, i0 + lag2);
        const int below = last ? next : hi;
        T* const carry = rowSet(g);
        T* const fromBelow = last ? rowSet(m_groups + g) : nullptr;
        T* const up = first && g > 0 ? rowSet(m_groups + g - 1) : nullptr;
        const bool handing = carry && b + 1 < groupBand(g + 1);
        const int waitOn = m_groups == 1 ? (b > 0 ? b - 1 : -1) : (last ? b + 1 : -1);
        std::atomic<int>& filtered = m_filtered[static_cast<std::size_t>(b)].planes;
        slideWindow(
            m_s3, m_m3,
            [&](int r) {
                if (waitOn >= 0)
                    waitFor(waitOn, r);
                const std::size_t plane = static_cast<std::size_t>(r) * set;
                if (carried > lo)
                    std::copy(carry + plane, carry + plane + static_cast<std::size_t>(carried - lo) * s2, rows);
                if (below < hi)
                    std::copy(fromBelow + plane, fromBelow + plane + static_cast<std::size_t>(hi - below) * s2,
                              rows + static_cast<std::size_t>(below - lo) * s2);
                for (int row = carried; row < below; ++row) {
                    // The input row two rows on (in the next plane past the
                    // band's last) asked for from memory: the band's rows of
                    // a plane are a few pages, each one a fresh start for the
                    // processor's own prefetching.
                    const int ahead = row + 2 < below ? row + 2 : carried + row + 2 - below;
                    const int aheadPlane = row + 2 < below ? r : r + 1;
                    if (aheadPlane < m_s3 && ahead < below)
                        prefetchLine(m_v[aheadPlane][ahead].data(), s2);
                    convolveLine(m_v[r][row].data(), rows + static_cast<std::size_t>(row - lo) * s2, m_s2,
                                 m_k1.data(), static_cast<int>(m_k1.size()));
                }
                for (int i = i0; i < i1; ++i) {
                    const int t0 = std::max(0, c2 - i);
                    const int t1 = std::min(m_m2, m_s1 - i + c2);
                    for (int t = t0; t < t1; ++t)
                        lines[t] = rows + static_cast<std::size_t>(i + t - c2 - lo) * s2;
                    combine(lines.data(), slot(r) + static_cast<std::size_t>(i - i0) * s2, m_s2, m_k2.data(), t0, t1);
                }
                if (handing)
                    std::copy(rows + static_cast<std::size_t>(next - lo) * s2,
                              rows + static_cast<std::size_t>(hi - lo) * s2, carry + plane);
                if (up)
                    std::copy(rows, rows + static_cast<std::size_t>(std::min(m_s1, i0 + lag2) - lo) * s2, up + plane);
                filtered.store(r + 1, std::memory_order_release);
                batch.advance(2LL * height);
            },
            [&](int k, int t0, int t1) {
                for (int i = i0; i < i1; ++i) {
                    for (int t = t0; t < t1; ++t)
                        lines[t] = slot(k + t - c3) + static_cast<std::size_t>(i - i0) * s2;
                    combine(lines.data(), m_v[k][i].data(), m_s2, m_k3.data(), t0, t1);
                }
                m_after(k, i0, i1);
                batch.advance(height);
            });
    }

    VoxelMatrix<T>& m_v;
    const std::vector<T>& m_k1;
    const std::vector<T>& m_k2;
    const std::vector<T>& m_k3;
    ProgressSteps& m_progress;
    After m_after;
    int m_s1, m_s2, m_s3, m_m2, m_m3, m_slots;
    int m_band = 1;
    int m_count = 1;
    int m_height = 1;
    int m_groups = 1;
    T* m_sets = nullptr;
    // The planes each band has handed on, a cache line each: a neighbouring
    // band reads the count while the band writes it at every plane.
    struct alignas(64) Counter {
        std::atomic<int> planes{0};
    };
    std::unique_ptr<Counter[]> m_filtered;
    std::atomic<int> m_next{0};
    std::atomic<bool> m_failed{false};
};

template <typename T, typename After>
VolumeSweep(VoxelMatrix<T>&, const std::vector<T>&, const std::vector<T>&, const std::vector<T>&, ProgressSteps&,
            After) -> VolumeSweep<T, After>;

// The masked convolution of every line of n elements, line l being the
// elements at(l, 0 .. n - 1) of the image and mask(l, ...) of the mask.
template <typename T, typename Element, typename MaskElement>
void maskedLines(int lines, int n, const Vector<T>& kernel, Element&& at, MaskElement&& mask)
{
    Vector<T> line(static_cast<unsigned int>(n));
    Vector<T> maskLine(static_cast<unsigned int>(n));
    for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < n; ++i) {
            line[i] = at(l, i);
            maskLine[i] = mask(l, i);
        }
        const Vector<T> result = line.conv(kernel, maskLine);
        for (int i = 0; i < n; ++i)
            at(l, i) = result[i];
    }
}

template <typename T>
[[noreturn]] void throwMaskSize(const char* where)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat("Incompatible mask size");
    throw e;
}

} // namespace

template <typename T>
void SeparableFilterBase<T>::setKernels(const Vector<T>& k)
{
    m_hMask = k;
    m_vMask = k;
    m_kernel1 = k;
    m_kernel2 = k;
    m_kernel3 = k;
}

template <typename T>
void SeparableFilterBase<T>::scale(PixelMatrix<T>& m, const PixelMatrix<T>* mask, int first, int last) const
{
    if (m_factor == T(1))
        return;
    if (last < 0)
        last = m.getSize1();
    for (int i = first; i < last; ++i) {
        T* x = m[i].data();
        const T* inside = mask ? (*mask)[i].data() : nullptr;
        const int n = m.getSize2();
        if (m_divide) {
            for (int j = 0; j < n; ++j)
                if (!inside || inside[j] != T(0))
                    x[j] = x[j] / m_factor;
        } else {
            for (int j = 0; j < n; ++j)
                if (!inside || inside[j] != T(0))
                    x[j] = x[j] * m_factor;
        }
    }
}

template <typename T>
void SeparableFilterBase<T>::apply(PixelMatrix<T>& m)
{
    if (this->MaskPixelMatrixProcessing<T>::hasMask()) {
        maskedApply(m, *this->MaskPixelMatrixProcessing<T>::getMask());
        return;
    }
    ProgressSteps progress(*this, 2LL * m.getSize1(), "Separable filter");
    const std::vector<T> h = reversed(m_hMask);
    const std::vector<T> v = reversed(m_vMask);
    const int rows = m.getSize1();
    const int width = m.getSize2();
    if (rows > 0 && width > 0 && !v.empty() && ringFits<T>(std::min(static_cast<int>(v.size()), rows), width)) {
        std::vector<T*> lines = rowPointers(m);
        rowsThenColumns(lines.data(), lines.data(), rows, width, h, v, &progress,
                        [&](int a, int b) { scale(m, nullptr, a, b); });
        progress.finish();
        return;
    }
    Workspace<T> ws;
    rowPass(m, nullptr, ws, &progress, rowConvolution(h));
    columnPass(m, nullptr, ws, &progress, acrossConvolution(v));
    scale(m, nullptr);
    progress.finish();
}

template <typename T>
void SeparableFilterBase<T>::apply(VoxelMatrix<T>& vm)
{
    if (this->MaskVoxelMatrixProcessing<T>::hasMask()) {
        maskedApply(vm, *this->MaskVoxelMatrixProcessing<T>::getMask());
        return;
    }
    ProgressSteps progress(*this, 3LL * vm.getSize1() * vm.getSize3(), "Separable filter");
    const std::vector<T> k1 = reversed(m_kernel1);
    const std::vector<T> k2 = reversed(m_kernel2);
    const std::vector<T> k3 = reversed(m_kernel3);
    const int s1 = vm.getSize1();
    const int s2 = vm.getSize2();
    const int s3 = vm.getSize3();
    const int m2 = static_cast<int>(k2.size());
    const int m3 = static_cast<int>(k3.size());
    if (s1 > 0 && s2 > 0 && s3 > 0 && m2 > 0 && m3 > 0) {
        VolumeSweep sweep(vm, k1, k2, k3, progress, [&](int k, int i0, int i1) { scale(vm[k], nullptr, i0, i1); });
        if (sweep.fits()) {
            sweep.run();
            progress.finish();
            return;
        }
    }
    Workspace<T> ws;
    for (int k = 0; k < vm.getSize3(); ++k) {
        rowPass(vm[k], nullptr, ws, &progress, rowConvolution(k1));
        columnPass(vm[k], nullptr, ws, &progress, acrossConvolution(k2));
    }
    planePass(vm, nullptr, ws, nullptr, acrossConvolution(k3));
    progress.advance(static_cast<long long>(vm.getSize1()) * vm.getSize3());
    for (int k = 0; k < vm.getSize3(); ++k)
        scale(vm[k], nullptr);
    progress.finish();
}

template <typename T>
void SeparableFilterBase<T>::maskedApply(PixelMatrix<T>& m, const PixelMatrix<T>& mask)
{
    if (mask.getSize1() != m.getSize1() || mask.getSize2() != m.getSize2())
        throwMaskSize<T>("void SeparableFilterBase<T>::maskedApply(PixelMatrix<T>&, const PixelMatrix<T>&)");
    ProgressSteps progress(*this, 2, "Separable filter");
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    maskedLines(rows, columns, m_hMask, [&](int i, int j) -> T& { return m(i, j); },
                [&](int i, int j) { return mask(i, j); });
    progress.advance();
    maskedLines(columns, rows, m_vMask, [&](int j, int i) -> T& { return m(i, j); },
                [&](int j, int i) { return mask(i, j); });
    scale(m, &mask);
    progress.advance();
    progress.finish();
}

template <typename T>
void SeparableFilterBase<T>::maskedApply(VoxelMatrix<T>& v, const VoxelMatrix<T>& mask)
{
    if (!mask.sameSizeAs(v))
        throwMaskSize<T>("void SeparableFilterBase<T>::maskedApply(VoxelMatrix<T>&, const VoxelMatrix<T>&)");
    const int s1 = v.getSize1();
    const int s2 = v.getSize2();
    const int s3 = v.getSize3();
    ProgressSteps progress(*this, 3LL * s3, "Separable filter");
    for (int k = 0; k < s3; ++k) {
        maskedLines(s1, s2, m_kernel1, [&](int i, int j) -> T& { return v(i, j, k); },
                    [&](int i, int j) { return mask(i, j, k); });
        progress.advance();
    }
    for (int k = 0; k < s3; ++k) {
        maskedLines(s2, s1, m_kernel2, [&](int j, int i) -> T& { return v(i, j, k); },
                    [&](int j, int i) { return mask(i, j, k); });
        progress.advance();
    }
    for (int i = 0; i < s1; ++i)
        maskedLines(s2, s3, m_kernel3, [&](int j, int k) -> T& { return v(i, j, k); },
                    [&](int j, int k) { return mask(i, j, k); });
    for (int k = 0; k < s3; ++k) {
        scale(v[k], &mask[k]);
        progress.advance();
    }
    progress.finish();
}

template class SeparableFilterBase<float>;
template class SeparableFilterBase<double>;
template class SeparableFilterBase<long double>;
