#include "imageprocessing/separablefilterbase.h"

#include "imageprocessing/matrixpasses.h"
#include "numerics/hugepages.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <cstddef>
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

// The float and double kernels in every vector width; other types take the
// baseline kernels through the templates, which overload resolution ranks
// after these.
PLEXAN_VECTOR_CLONES void convolveLine(const float* v, float* out, int n, const float* k, int m)
{
    correlateLine(v, out, n, k, m);
}

PLEXAN_VECTOR_CLONES void convolveLine(const double* v, double* out, int n, const double* k, int m)
{
    correlateLine(v, out, n, k, m);
}

PLEXAN_VECTOR_CLONES void convolveLines(const float* const* in, float* const* out, int n, int w, const float* k,
                                        int m)
{
    correlateAcross(in, out, n, w, k, m);
}

PLEXAN_VECTOR_CLONES void convolveLines(const double* const* in, double* const* out, int n, int w, const double* k,
                                        int m)
{
    correlateAcross(in, out, n, w, k, m);
}

PLEXAN_VECTOR_CLONES void combine(const float* const* lines, float* out, int w, const float* k, int t0, int t1)
{
    combineLines(lines, out, w, k, t0, t1);
}

PLEXAN_VECTOR_CLONES void combine(const double* const* lines, double* out, int w, const double* k, int t0, int t1)
{
    combineLines(lines, out, w, k, t0, t1);
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

// Rings of filtered lines never take more than this; beyond it the passes go
// one after the other over the whole matrix.
constexpr std::size_t ringBudget = 64u << 20;

// The lines of a sliding window, filtered once each: line r lives in slot
// r % slots while the window needs it.
template <typename T>
struct Ring {
    std::vector<T> lines;
    int slots = 0;
    std::size_t length = 0;

    // Room for `slots` lines of `length` elements; false when that exceeds
    // the budget (nothing is allocated then).
    bool reserve(int count, std::size_t size)
    {
        if (count < 1 || size == 0 || size > ringBudget / sizeof(T) / static_cast<std::size_t>(count))
            return false;
        slots = count;
        length = size;
        plexan::reserveLarge(lines, static_cast<std::size_t>(count) * size);
        lines.resize(static_cast<std::size_t>(count) * size);
        return true;
    }
    T* operator[](int r) { return lines.data() + static_cast<std::size_t>(r % slots) * length; }
};

// Whether a ring of `count` lines of `size` elements stays within the budget.
template <typename T>
bool ringFits(int count, std::size_t size)
{
    return count >= 1 && size > 0 && size <= ringBudget / sizeof(T) / static_cast<std::size_t>(count);
}

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

// Bands of output lines for the threads: a few per thread so that a busy
// core holds no one up, each many times the window so that the lines
// filtered twice (a window's height at either end) cost little. Every band
// gives the same bits as one sweep, so the count may follow the threads.
inline int bandGrain(int count, int taps)
{
    const int threads = plexan::parallel::getThreadCount();
    if (threads <= 1)
        return std::max(count, 1);
    const int minimum = std::max(4 * taps, 16);
    return static_cast<int>(plexan::parallel::grainFor(count, 4 * threads, minimum));
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
    std::vector<T> saved;
    std::vector<const T*> shared;
    if (grain < rows && static_cast<const void*>(in[0]) == static_cast<const void*>(out[0])) {
        shared.assign(static_cast<std::size_t>(rows), nullptr);
        std::vector<int> copied;
        for (int p = grain; p < rows; p += grain)
            for (int r = std::max(0, p - c); r < std::min(rows, p + lag); ++r)
                if (copied.empty() || copied.back() < r)
                    copied.push_back(r);
        saved.resize(copied.size() * static_cast<std::size_t>(width));
        for (std::size_t n = 0; n < copied.size(); ++n) {
            T* copy = saved.data() + n * static_cast<std::size_t>(width);
            std::copy(in[copied[n]], in[copied[n]] + width, copy);
            shared[static_cast<std::size_t>(copied[n])] = copy;
        }
    }
    plexan::parallel::forEachChunk(0, rows, grain, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
        const int a = static_cast<int>(first);
        const int b = static_cast<int>(last);
        Ring<T> ring;
        ring.reserve(std::min(m, rows), static_cast<std::size_t>(width));
        std::vector<const T*> lines(v.size());
        slideWindow(
            rows, m, a, b,
            [&](int r) {
                const T* source = (r < a || r >= b) && !shared.empty() ? shared[static_cast<std::size_t>(r)] : in[r];
                convolveLine(source, ring[r], width, h.data(), static_cast<int>(h.size()));
                if (progress)
                    progress->advance();
            },
            [&](int i, int t0, int t1) {
                for (int t = t0; t < t1; ++t)
                    lines[t] = ring[i + t - m / 2];
                combine(lines.data(), out[i], width, v.data(), t0, t1);
                if (progress)
                    progress->advance();
            });
        after(a, b);
    });
}

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
    // One sweep over the planes: each plane is filtered in two dimensions
    // into a ring of planes, and output plane k is combined from the ring,
    // over the input plane, once plane k + m - 1 - m / 2 is in. With several
    // threads the planes are cut into slabs swept at once, each with its own
    // ring, filtering again the planes its window shares with its
    // neighbours; those input planes are copied first, as the neighbour
    // overwrites them. Every slab gives the same bits as one sweep.
    const int m = static_cast<int>(k3.size());
    const std::size_t planeSize = static_cast<std::size_t>(s1) * static_cast<std::size_t>(s2);
    if (s1 > 0 && s2 > 0 && s3 > 0 && !k2.empty() && !k3.empty() && ringFits<T>(std::min(m, s3), planeSize) &&
        ringFits<T>(std::min(static_cast<int>(k2.size()), s1), s2)) {
        const int c = m / 2;
        const int lag = m - 1 - c;
        const int threads = plexan::parallel::getThreadCount();
        const int grain = threads <= 1 ? s3
                                       : static_cast<int>(plexan::parallel::grainFor(s3, threads, std::max(2 * m, 4)));
        std::vector<const T*> saved(static_cast<std::size_t>(s3), nullptr);
        std::vector<T> copies;
        if (grain < s3) {
            std::vector<int> copied;
            for (int p = grain; p < s3; p += grain)
                for (int r = std::max(0, p - c); r < std::min(s3, p + lag); ++r)
                    if (copied.empty() || copied.back() < r)
                        copied.push_back(r);
            plexan::reserveLarge(copies, copied.size() * planeSize);
            copies.resize(copied.size() * planeSize);
            plexan::parallel::forEachChunk(0, static_cast<std::ptrdiff_t>(copied.size()), 1,
                                           [&](std::ptrdiff_t n, std::ptrdiff_t) {
                                               T* copy = copies.data() + static_cast<std::size_t>(n) * planeSize;
                                               const PixelMatrix<T>& plane = vm[copied[static_cast<std::size_t>(n)]];
                                               for (int i = 0; i < s1; ++i)
                                                   std::copy(plane[i].data(), plane[i].data() + s2,
                                                             copy + static_cast<std::size_t>(i) * s2);
                                           });
            for (std::size_t n = 0; n < copied.size(); ++n)
                saved[static_cast<std::size_t>(copied[n])] = copies.data() + n * planeSize;
        }
        const bool bands = grain >= s3;
        plexan::parallel::forEachChunk(0, s3, grain, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
            const int a = static_cast<int>(first);
            const int b = static_cast<int>(last);
            Ring<T> planes;
            planes.reserve(std::min(m, s3), planeSize);
            std::vector<const T*> in(static_cast<std::size_t>(s1));
            std::vector<T*> out(static_cast<std::size_t>(s1));
            const int rowGrain = bandGrain(s1, 1);
            slideWindow(
                s3, m, a, b,
                [&](int r) {
                    T* target = planes[r];
                    const T* copy = saved[static_cast<std::size_t>(r)];
                    for (int i = 0; i < s1; ++i) {
                        in[i] = copy ? copy + static_cast<std::size_t>(i) * s2 : vm[r][i].data();
                        out[i] = target + static_cast<std::size_t>(i) * s2;
                    }
                    // A plane filtered again for a neighbour's window counts
                    // no progress: the neighbour counts it.
                    const bool own = r >= a && r < b;
                    rowsThenColumns(in.data(), out.data(), s1, s2, k1, k2, own ? &progress : nullptr,
                                    [](int, int) {}, bands);
                },
                [&](int k, int t0, int t1) {
                    const auto across = [&](int i0, int i1) {
                        std::vector<const T*> window(k3.size());
                        for (int i = i0; i < i1; ++i) {
                            for (int t = t0; t < t1; ++t)
                                window[t] = planes[k + t - m / 2] + static_cast<std::size_t>(i) * s2;
                            combine(window.data(), vm[k][i].data(), s2, k3.data(), t0, t1);
                        }
                        scale(vm[k], nullptr, i0, i1);
                        progress.advance(i1 - i0);
                    };
                    if (bands)
                        plexan::parallel::forEachChunk(0, s1, rowGrain, [&](std::ptrdiff_t i0, std::ptrdiff_t i1) {
                            across(static_cast<int>(i0), static_cast<int>(i1));
                        });
                    else
                        across(0, s1);
                });
        });
        progress.finish();
        return;
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
