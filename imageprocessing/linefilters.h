#pragma once
// The one-dimensional kernels behind the separable filters, on raw storage.
//
// Each filter pass runs along one axis of an image. Along a row the line is
// contiguous and the "line" kernels below work on it directly. Along columns
// or planes the lines are strided, so instead of gathering one line at a time
// the "across" kernels take a block of neighbouring lines at once: line
// position i is the contiguous run in[i][0 .. width - 1], and every inner loop
// runs over that run, which the compiler vectorises. For every element the
// arithmetic is exactly that of the one-line kernel, in the same order, so the
// two forms give identical results.
//
// Internal to the image processing library: included by its .cpp files only.

#include "imageprocessing/vectorclones.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <type_traits>
#include <vector>

namespace plexan::lines {

// Scratch storage reused from one block of lines to the next.
template <typename T>
struct Workspace {
    std::vector<T> result;
    std::vector<T> scratch;
    std::vector<const T*> in;
    std::vector<const T*> mask;
    std::vector<T*> out;
};

// The width of a block of n lines so that it stays within about 256 KiB.
template <typename T>
int blockWidth(int n, int width)
{
    const std::size_t budget = 256 * 1024 / sizeof(T);
    int b = static_cast<int>(budget / static_cast<std::size_t>(std::max(n, 1)));
    b = std::max(32, b / 32 * 32);
    return std::min(b, width);
}

struct NoProgress {
    void operator()(int) const {}
};

// Runs kernel(in, mask, out, n, blockWidth) on successive blocks of columns of
// the n lines rows[0 .. n - 1] (each `width` long), then writes each block
// back and calls done(blockWidth). maskRows may be null; otherwise the kernel
// receives the matching block of the mask, else a null mask.
template <typename T, typename Kernel, typename Done = NoProgress>
void acrossLines(T* const* rows, const T* const* maskRows, int n, int width, Workspace<T>& ws,
                 Kernel&& kernel, Done&& done = Done())
{
    if (n < 1 || width < 1)
        return;
    const int bw = blockWidth<T>(n, width);
    ws.result.resize(static_cast<std::size_t>(n) * bw);
    ws.in.resize(n);
    ws.out.resize(n);
    ws.mask.resize(maskRows ? n : 0);
    for (int j0 = 0; j0 < width; j0 += bw) {
        const int w = std::min(bw, width - j0);
        for (int i = 0; i < n; ++i) {
            ws.in[i] = rows[i] + j0;
            ws.out[i] = ws.result.data() + static_cast<std::size_t>(i) * bw;
            if (maskRows)
                ws.mask[i] = maskRows[i] + j0;
        }
        kernel(ws.in.data(), maskRows ? ws.mask.data() : nullptr, ws.out.data(), n, w);
        for (int i = 0; i < n; ++i)
            std::copy(ws.out[i], ws.out[i] + w, rows[i] + j0);
        done(w);
    }
}

// Box sums ------------------------------------------------------------------
//
// Running sum over [j - h, j + h]: s starts as v[0] + ... + v[2h - 1]; for j
// = h .. n - h - 1, s += v[j + h], out[j] = s, s -= v[j - h]. The first and
// last h positions (all of them when n <= 2h) take (2h + 1) v[j], as if the
// window were filled with the centre value.

template <typename T>
inline T timesWindow(int h, T v)
{
    return static_cast<T>((2 * h + 1) * v);
}

template <typename T>
void boxSumLine(const T* v, T* out, int n, int h)
{
    const int lo = std::min(h, n);
    const int hi = std::max(lo, n - h);
    for (int j = 0; j < lo; ++j)
        out[j] = timesWindow(h, v[j]);
    for (int j = hi; j < n; ++j)
        out[j] = timesWindow(h, v[j]);
    if (hi <= lo)
        return;
    T s = v[0];
    for (int k = 1; k < 2 * h; ++k)
        s = static_cast<T>(s + v[k]);
    for (int j = h; j < n - h; ++j) {
        s = static_cast<T>(s + v[j + h]);
        out[j] = s;
        s = static_cast<T>(s - v[j - h]);
    }
}

template <typename T>
void boxSumAcross(const T* const* in, T* const* out, int n, int w, int h, std::vector<T>& sum)
{
    const int lo = std::min(h, n);
    const int hi = std::max(lo, n - h);
    for (int i = 0; i < n; ++i) {
        if (i >= lo && i < hi)
            continue;
        const T* x = in[i];
        T* y = out[i];
        for (int j = 0; j < w; ++j)
            y[j] = timesWindow(h, x[j]);
    }
    if (hi <= lo)
        return;
    sum.resize(w);
    T* s = sum.data();
    std::copy(in[0], in[0] + w, s);
    for (int k = 1; k < 2 * h; ++k) {
        const T* x = in[k];
        for (int j = 0; j < w; ++j)
            s[j] = static_cast<T>(s[j] + x[j]);
    }
    for (int i = h; i < n - h; ++i) {
        const T* enter = in[i + h];
        const T* leave = in[i - h];
        T* y = out[i];
        for (int j = 0; j < w; ++j) {
            const T t = static_cast<T>(s[j] + enter[j]);
            y[j] = t;
            s[j] = static_cast<T>(t - leave[j]);
        }
    }
}

// Running extremes ----------------------------------------------------------
//
// The minimum (or maximum) over the window [i - h, i + h] clipped to the
// line. The window is cut into blocks of 2h + 1 positions of the line padded
// with h neutral values at each end; every window then covers the end of one
// block and the start of the next, so its extreme is that of a suffix
// extreme and a prefix extreme: three comparisons per element whatever h.
// With a mask, elements whose mask is 0 take no part and keep their value.

struct MinOp {
    template <typename T>
    static T pick(T a, T b) { return b < a ? b : a; }
    template <typename T>
    static T neutral()
    {
        if constexpr (std::numeric_limits<T>::has_infinity)
            return std::numeric_limits<T>::infinity();
        else
            return std::numeric_limits<T>::max();
    }
};

struct MaxOp {
    template <typename T>
    static T pick(T a, T b) { return a < b ? b : a; }
    template <typename T>
    static T neutral()
    {
        if constexpr (std::numeric_limits<T>::has_infinity)
            return -std::numeric_limits<T>::infinity();
        else
            return std::numeric_limits<T>::lowest();
    }
};

// The unmasked line by doubling spans: the padded line is copied once; each
// pass makes every position the extreme of a span twice as long as before
// (its own and the one right after it), up to the longest power of two
// within the window; the output then picks from the span starting at the
// window's first position and the one ending at its last, which overlap.
// Every pass runs over the whole line with no dependence from one position
// to the next, so it fills vector registers, where a running extreme waits
// on the position before. scratch holds 2 (n + 2h) elements; out may be v
// itself, which is read whole before the first output is written.
template <typename Op, typename T>
void extremeLinePlain(const T* v, T* out, int n, int h, T* scratch)
{
    const T id = Op::template neutral<T>();
    const int window = 2 * h + 1;
    const int length = n + 2 * h;
    T* from = scratch;
    T* to = scratch + length;
    std::fill_n(from, h, id);
    std::copy(v, v + n, from + h);
    std::fill_n(from + h + n, h, id);
    // from[p], p <= length - span, is the extreme of the padded line's
    // positions p .. p + span - 1.
    int span = 1;
    for (; 2 * span <= window; span *= 2) {
        const T* __restrict a = from;
        T* __restrict b = to;
        const int valid = length - 2 * span + 1;
        for (int p = 0; p < valid; ++p)
            b[p] = Op::pick(a[p], a[p + span]);
        std::swap(from, to);
    }
    const T* __restrict first = from;
    const T* __restrict last = from + (window - span);
    T* __restrict y = out;
    for (int i = 0; i < n; ++i)
        y[i] = Op::pick(first[i], last[i]);
}

template <typename Op, typename T>
void extremeLinePlain(const T* v, T* out, int n, int h, std::vector<T>& scratch)
{
    scratch.resize(2 * static_cast<std::size_t>(n + 2 * h));
    extremeLinePlain<Op>(v, out, n, h, scratch.data());
}

template <typename Op, typename T>
void extremeLine(const T* v, const T* mask, T* out, int n, int h, std::vector<T>& scratch)
{
    if (!mask) {
        extremeLinePlain<Op>(v, out, n, h, scratch);
        return;
    }
    const T id = Op::template neutral<T>();
    const int window = 2 * h + 1;
    const int length = n + 2 * h;
    scratch.resize(length);
    T* suffix = scratch.data();
    auto value = [&](int p) -> T {
        const int i = p - h;
        if (i < 0 || i >= n || (mask && mask[i] == T(0)))
            return id;
        return v[i];
    };
    for (int p = length - 1; p >= 0; --p) {
        const T x = value(p);
        suffix[p] = (p % window == window - 1 || p == length - 1) ? x : Op::pick(suffix[p + 1], x);
    }
    T prefix = id;
    for (int p = 0; p < length; ++p) {
        const T x = value(p);
        prefix = p % window == 0 ? x : Op::pick(prefix, x);
        const int i = p - 2 * h;
        if (i >= 0)
            out[i] = (mask && mask[i] == T(0)) ? v[i] : Op::pick(suffix[i], prefix);
    }
}

template <typename Op, typename T>
void extremeAcross(const T* const* in, const T* const* mask, T* const* out, int n, int w, int h,
                   std::vector<T>& scratch)
{
    const T id = Op::template neutral<T>();
    const int window = 2 * h + 1;
    const int length = n + 2 * h;
    // Rows 0 .. length - 1 of suffix extremes, then one row of the running
    // prefix extreme and one of neutral values.
    scratch.resize(static_cast<std::size_t>(length + 2) * w);
    T* base = scratch.data();
    auto row = [&](int p) { return base + static_cast<std::size_t>(p) * w; };
    T* prefix = row(length);
    T* neutral = row(length + 1);
    std::fill(neutral, neutral + w, id);
    // The masked value of padded position p, written into tmp when masked.
    auto value = [&](int p, T* tmp) -> const T* {
        const int i = p - h;
        if (i < 0 || i >= n)
            return neutral;
        if (!mask)
            return in[i];
        const T* x = in[i];
        const T* m = mask[i];
        for (int j = 0; j < w; ++j)
            tmp[j] = m[j] == T(0) ? id : x[j];
        return tmp;
    };
    for (int p = length - 1; p >= 0; --p) {
        T* s = row(p);
        const T* x = value(p, s);
        if (p % window == window - 1 || p == length - 1) {
            if (x != s)
                std::copy(x, x + w, s);
        } else {
            const T* next = row(p + 1);
            for (int j = 0; j < w; ++j)
                s[j] = Op::pick(next[j], x[j]);
        }
    }
    // The prefix row doubles as the temporary of masked values: pick() reads
    // each x[j] before writing prefix[j].
    for (int p = 0; p < length; ++p) {
        if (p % window == 0) {
            const T* x = value(p, prefix);
            if (x != prefix)
                std::copy(x, x + w, prefix);
        } else if (p >= h && p < n + h) {
            const int i = p - h;
            const T* x = in[i];
            if (mask) {
                const T* m = mask[i];
                for (int j = 0; j < w; ++j)
                    prefix[j] = Op::pick(prefix[j], m[j] == T(0) ? id : x[j]);
            } else {
                for (int j = 0; j < w; ++j)
                    prefix[j] = Op::pick(prefix[j], x[j]);
            }
        }
        const int i = p - 2 * h;
        if (i < 0)
            continue;
        const T* s = row(i);
        T* y = out[i];
        if (mask) {
            const T* m = mask[i];
            const T* x = in[i];
            for (int j = 0; j < w; ++j)
                y[j] = m[j] == T(0) ? x[j] : Op::pick(s[j], prefix[j]);
        } else {
            for (int j = 0; j < w; ++j)
                y[j] = Op::pick(s[j], prefix[j]);
        }
    }
}

// Convolution -----------------------------------------------------------------
//
// Correlation with a kernel k of m taps centred on tap c = m / 2 (callers pass
// the reversed kernel for a convolution): out[i] = sum over t of
// v[i + t - c] k[t], accumulated from 0 in increasing t; taps whose sample
// falls outside the line are skipped (no renormalisation).

// Outputs are computed in chunks of kChunk neighbours whose sums stay in
// registers while the taps go by.
inline constexpr int kChunk = 16;
// Along a row, and for a combined line, outputs are summed in registers over
// chunks of 256 bytes: eight vector registers of AVX2, enough sums in flight
// to hide the adds' latency.
template <typename T>
inline constexpr int kRowChunk = static_cast<int>(256 / sizeof(T));

// out[q] = sum over t in [t0, t1) of line(t)[q] k[t] for q < R, accumulated
// from 0 in increasing t. Float and double sums are vectors of VB bytes (16
// for the baseline, 32 for AVX2, 64 for AVX-512) kept in registers and
// stored straight to out: summed in an array, GCC cleared the array with a
// string store and copied it out through the stack for every chunk, some 40
// cycles a chunk, a quarter of a Gaussian volume's time.
template <int R, int VB, typename T, typename Line>
inline void sumChunk(T* out, int t0, int t1, const T* k, Line&& line)
{
    if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
        // V as it sits anywhere in a line: aligned as one element, read and
        // written over the line's elements.
        typedef T V __attribute__((vector_size(VB), aligned(alignof(T)), may_alias));
        constexpr int L = static_cast<int>(VB / sizeof(T));
        static_assert(R % L == 0, "whole vectors");
        V acc[R / L];
#pragma GCC unroll 16
        for (int g = 0; g < R / L; ++g)
            acc[g] = V{};
        for (int t = t0; t < t1; ++t) {
            const V* x = reinterpret_cast<const V*>(line(t));
            const T kt = k[t];
#pragma GCC unroll 16
            for (int g = 0; g < R / L; ++g)
                acc[g] = acc[g] + x[g] * kt;
        }
        V* o = reinterpret_cast<V*>(out);
#pragma GCC unroll 16
        for (int g = 0; g < R / L; ++g)
            o[g] = acc[g];
    } else {
        T acc[R] = {};
        for (int t = t0; t < t1; ++t) {
            const T* x = line(t);
            const T kt = k[t];
            for (int q = 0; q < R; ++q)
                acc[q] = static_cast<T>(acc[q] + x[q] * kt);
        }
        std::copy(acc, acc + R, out);
    }
}

template <int VB = 16, typename T>
void correlateLine(const T* v, T* out, int n, const T* k, int m)
{
    const int c = m / 2;
    // Positions whose every tap falls inside the line: [c, n - (m - 1 - c)).
    const int lo = std::min(c, n);
    const int hi = std::min(n, std::max(lo, n - (m - 1 - c)));
    auto edge = [&](int j) {
        const int t0 = std::max(0, c - j);
        const int t1 = std::min(m, n - j + c);
        T s = T(0);
        for (int t = t0; t < t1; ++t)
            s = static_cast<T>(s + v[j + t - c] * k[t]);
        out[j] = s;
    };
    for (int j = 0; j < lo; ++j)
        edge(j);
    // The interior in chunks of kRowChunk outputs whose sums stay in
    // registers while the taps go by (out must not overlap v). Summed in
    // place over whole lines, the sums were stored and loaded again at
    // every tap: on AVX2 the stores bounded the loop.
    int j = lo;
    constexpr int R = kRowChunk<T>;
    for (; j + R <= hi; j += R)
        sumChunk<R, VB>(out + j, 0, m, k, [&](int t) { return v + (j + t - c); });
    // The last fewer than R, tap by tap in place.
    if (j < hi) {
        const int b = hi - j;
        T* __restrict o = out + j;
        std::fill_n(o, b, T(0));
        for (int t = 0; t < m; ++t) {
            const T* __restrict x = v + (j + t - c);
            const T kt = k[t];
            for (int q = 0; q < b; ++q)
                o[q] = static_cast<T>(o[q] + x[q] * kt);
        }
    }
    for (int j = hi; j < n; ++j)
        edge(j);
}

template <int VB = 16, typename T>
void correlateAcross(const T* const* in, T* const* out, int n, int w, const T* k, int m)
{
    const int c = m / 2;
    for (int i = 0; i < n; ++i) {
        T* y = out[i];
        const int t0 = std::max(0, c - i);
        const int t1 = std::min(m, n - i + c);
        int j = 0;
        for (; j + kChunk <= w; j += kChunk)
            sumChunk<kChunk, VB>(y + j, t0, t1, k, [&](int t) { return in[i + t - c] + j; });
        for (; j < w; ++j) {
            T s = T(0);
            for (int t = t0; t < t1; ++t)
                s = static_cast<T>(s + in[i + t - c][j] * k[t]);
            y[j] = s;
        }
    }
}

// One output line of correlateAcross from its own lines: out[j] = sum over
// t in [t0, t1) of lines[t][j] k[t], accumulated from 0 in increasing t, so
// that a line combined from a ring of filtered lines equals the one the
// blocked pass computes.
template <int VB = 16, typename T>
void combineLines(const T* const* lines, T* out, int w, const T* k, int t0, int t1)
{
    int j = 0;
    auto line = [&](int t) { return lines[t] + j; };
    for (; j + kRowChunk<T> <= w; j += kRowChunk<T>)
        sumChunk<kRowChunk<T>, VB>(out + j, t0, t1, k, line);
    for (; j + kChunk <= w; j += kChunk)
        sumChunk<kChunk, VB>(out + j, t0, t1, k, line);
    for (; j < w; ++j) {
        T s = T(0);
        for (int t = t0; t < t1; ++t)
            s = static_cast<T>(s + lines[t][j] * k[t]);
        out[j] = s;
    }
}

// Recursive second-order filtering --------------------------------------------
//
// causal:      y1[i] = a0 x[i] + a1 x[i-1] + b1 y1[i-1] + b2 y1[i-2]
// anti-causal: y2[i] = a2 x[i+1] + a3 x[i+2] + b1 y2[i+1] + b2 y2[i+2]
// with y1[0] = a0 x[0], y1[1] = a0 x[1] + a1 x[0] + b1 y1[0], y2[n-1] = 0,
// y2[n-2] = a2 x[n-1]; the result is scale (y1 + y2), unscaled when scale is 1.

template <typename T>
struct Recursion {
    T a0, a1, a2, a3, b1, b2, scale;
};

template <typename T>
void recursiveLine(T* x, int n, const Recursion<T>& r, std::vector<T>& scratch)
{
    if (n < 1)
        return;
    scratch.resize(2 * static_cast<std::size_t>(n));
    T* y1 = scratch.data();
    T* y2 = y1 + n;
    y1[0] = r.a0 * x[0];
    if (n > 1)
        y1[1] = r.a0 * x[1] + r.a1 * x[0] + r.b1 * y1[0];
    for (int i = 2; i < n; ++i)
        y1[i] = r.a0 * x[i] + r.a1 * x[i - 1] + r.b1 * y1[i - 1] + r.b2 * y1[i - 2];
    y2[n - 1] = T(0);
    if (n > 1)
        y2[n - 2] = r.a2 * x[n - 1];
    for (int i = n - 3; i >= 0; --i)
        y2[i] = r.a2 * x[i + 1] + r.a3 * x[i + 2] + r.b1 * y2[i + 1] + r.b2 * y2[i + 2];
    if (r.scale == T(1))
        for (int i = 0; i < n; ++i)
            x[i] = y1[i] + y2[i];
    else
        for (int i = 0; i < n; ++i)
            x[i] = r.scale * (y1[i] + y2[i]);
}

template <typename T>
void recursiveAcross(const T* const* x, T* const* out, int n, int w, const Recursion<T>& r,
                     std::vector<T>& scratch)
{
    // out holds the causal pass, scratch the anti-causal one.
    scratch.resize(static_cast<std::size_t>(n) * w);
    auto y2 = [&](int i) { return scratch.data() + static_cast<std::size_t>(i) * w; };
    const T a0 = r.a0, a1 = r.a1, a2 = r.a2, a3 = r.a3, b1 = r.b1, b2 = r.b2;
    for (int j = 0; j < w; ++j)
        out[0][j] = a0 * x[0][j];
    if (n > 1)
        for (int j = 0; j < w; ++j)
            out[1][j] = a0 * x[1][j] + a1 * x[0][j] + b1 * out[0][j];
    for (int i = 2; i < n; ++i) {
        const T* xi = x[i];
        const T* xp = x[i - 1];
        const T* p1 = out[i - 1];
        const T* p2 = out[i - 2];
        T* y = out[i];
        for (int j = 0; j < w; ++j)
            y[j] = a0 * xi[j] + a1 * xp[j] + b1 * p1[j] + b2 * p2[j];
    }
    std::fill(y2(n - 1), y2(n - 1) + w, T(0));
    if (n > 1)
        for (int j = 0; j < w; ++j)
            y2(n - 2)[j] = a2 * x[n - 1][j];
    for (int i = n - 3; i >= 0; --i) {
        const T* x1 = x[i + 1];
        const T* x2 = x[i + 2];
        const T* n1 = y2(i + 1);
        const T* n2 = y2(i + 2);
        T* y = y2(i);
        for (int j = 0; j < w; ++j)
            y[j] = a2 * x1[j] + a3 * x2[j] + b1 * n1[j] + b2 * n2[j];
    }
    for (int i = 0; i < n; ++i) {
        T* y = out[i];
        const T* z = y2(i);
        if (r.scale == T(1))
            for (int j = 0; j < w; ++j)
                y[j] = y[j] + z[j];
        else
            for (int j = 0; j < w; ++j)
                y[j] = r.scale * (y[j] + z[j]);
    }
}

} // namespace plexan::lines
