#include "imageprocessing/runningextremefilter.h"

#include "imageprocessing/matrixpasses.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace plexan::lines;

namespace {

template <bool Maximum>
using ExtremeOp = std::conditional_t<Maximum, MaxOp, MinOp>;

template <bool Maximum>
std::string signature(const char* arguments)
{
    return std::string("void ") + (Maximum ? "MaxFilter" : "MinFilter") + "<T>::apply(" + arguments + ")";
}

[[noreturn]] void throwMaskSize(const std::string& where)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat("Incompatible mask size");
    throw e;
}

} // namespace

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::apply(PixelMatrix<T>& m)
{
    filter(m, this->MaskPixelMatrixProcessing<T>::getMask());
}

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::apply(VoxelMatrix<T>& v)
{
    filter(v, this->MaskVoxelMatrixProcessing<T>::getMask());
}

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::apply(PixelMatrix<T>& m, const PixelMatrix<T>& mask)
{
    if (mask.getSize1() != m.getSize1() || mask.getSize2() != m.getSize2())
        throwMaskSize(signature<Maximum>("PixelMatrix<T>&, const PixelMatrix<T>&"));
    filter(m, &mask);
}

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::apply(VoxelMatrix<T>& v, const VoxelMatrix<T>& mask)
{
    if (!mask.sameSizeAs(v))
        throwMaskSize(signature<Maximum>("VoxelMatrix<T>&, const VoxelMatrix<T>&"));
    filter(v, &mask);
}

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::apply(const Vector<T>& in, Vector<T>& out)
{
    const int h = getHalfSize();
    if (h < 1) {
        out = in;
        return;
    }
    out.setSize(in.getSize());
    std::vector<T> scratch;
    extremeLine<ExtremeOp<Maximum>>(in.data(), static_cast<const T*>(nullptr), out.data(), in.getSize(), h,
                                    scratch);
}

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::apply(const Vector<T>& in, Vector<T>& out, const Vector<T>& mask)
{
    if (mask.getSize() != in.getSize())
        throwMaskSize(signature<Maximum>("const Vector<T>&, Vector<T>&, const Vector<T>&"));
    const int h = getHalfSize();
    if (h < 1) {
        out = in;
        return;
    }
    out.setSize(in.getSize());
    std::vector<T> scratch;
    extremeLine<ExtremeOp<Maximum>>(in.data(), mask.data(), out.data(), in.getSize(), h, scratch);
}

namespace {

using plexan::parallel::forEachChunk;
using plexan::parallel::getThreadCount;
using plexan::parallel::grainFor;

// Chunks per thread: enough that a core slowed by other work holds no one up.
constexpr int chunksPerThread = 4;

// The running extreme along every row of m, rows in parallel; one progress
// unit per row.
template <typename Op, typename T>
void extremeRows(PixelMatrix<T>& m, const PixelMatrix<T>* mask, int h, ProgressSteps& progress)
{
    const int rows = m.getSize1();
    const int n = m.getSize2();
    const std::ptrdiff_t grain = grainFor(rows, chunksPerThread * getThreadCount(), 8);
    forEachChunk(0, rows, grain, [&](std::ptrdiff_t a, std::ptrdiff_t b) {
        Workspace<T> ws;
        ws.result.resize(n > 0 ? n : 1);
        for (int i = static_cast<int>(a); i < b; ++i) {
            T* row = m[i].data();
            extremeLine<Op>(row, mask ? (*mask)[i].data() : nullptr, ws.result.data(), n, h, ws.scratch);
            std::copy(ws.result.data(), ws.result.data() + n, row);
            progress.advance();
        }
    });
}

// The running extreme down the `n` lines rows[0 .. n - 1] (each `width`
// long, mask lines or null), in parallel over bands of columns; `units`
// progress units spread over the columns.
template <typename Op, typename T>
void extremeAcrossColumns(T* const* rows, const T* const* maskRows, int n, int width, int h, long long units,
                          ProgressSteps* progress)
{
    if (n < 1 || width < 1)
        return;
    const std::ptrdiff_t bands = (width + 31) / 32;
    const std::ptrdiff_t grain = 32 * grainFor(bands, chunksPerThread * getThreadCount());
    forEachChunk(0, width, grain, [&](std::ptrdiff_t j0, std::ptrdiff_t j1) {
        Workspace<T> ws;
        std::vector<T*> band(static_cast<std::size_t>(n));
        std::vector<const T*> maskBand(maskRows ? static_cast<std::size_t>(n) : 0);
        for (int i = 0; i < n; ++i) {
            band[i] = rows[i] + j0;
            if (maskRows)
                maskBand[i] = maskRows[i] + j0;
        }
        // The units of the columns done so far, block by block.
        long long covered = j0;
        acrossLines(
            band.data(), maskRows ? maskBand.data() : nullptr, n, static_cast<int>(j1 - j0), ws,
            [h, &ws](const T* const* in, const T* const* mk, T* const* out, int count, int w) {
                extremeAcross<Op>(in, mk, out, count, w, h, ws.scratch);
            },
            [&](int w) {
                const long long before = units * covered / width;
                covered += w;
                if (progress)
                    progress->advance(units * covered / width - before);
            });
    });
}

// Unmasked lines, in place -----------------------------------------------------
//
// Spans doubled along a line as in extremeLine, and down lines the same way
// in a stream of lines; the extreme of a window does not depend on the
// order of its picks, unless it holds a NaN. Each line is read before any
// output overwrites it, so no copy of the result goes back; the kernels for
// float and double are compiled for every vector width.

// The line v of n elements; scratch holds 2 (n + 2h) elements.
template <typename Op, typename T>
void lineInPlace(T* v, int n, int h, T* scratch)
{
    extremeLinePlain<Op>(v, v, n, h, scratch);
}

// The levels of spans doubled within a window of 2h + 1 lines: level l
// (1 .. levels) spans 2^l lines, the last one `span`, and keeps a ring of
// size[l] lines, as long as the level above or the output reads them:
// 2^l + 1 lines, window - span + 1 for the last level.
struct SpanLevels {
    static constexpr int maxLevels = 31;
    int window;
    int levels = 0;
    int span = 1;
    int size[maxLevels + 1] = {};

    explicit SpanLevels(int h) : window(2 * h + 1)
    {
        for (; 2 * span <= window; span *= 2)
            ++levels;
        for (int l = 1; l <= levels; ++l)
            size[l] = l < levels ? (1 << l) + 1 : window - span + 1;
    }

    // The lines of the rings.
    int ringLines() const
    {
        int lines = 0;
        for (int l = 1; l <= levels; ++l)
            lines += size[l];
        return lines;
    }
};

// The lines of scratch that acrossInPlace needs for half-size h: the rings
// and one line of neutral values.
int acrossLines(int h)
{
    return SpanLevels(h).ringLines() + 1;
}

// Down the n lines rows[0 .. n - 1], w elements of each, in place, by the
// spans doubled as along a line, streamed: at step s the padded line s is
// read, every level makes the one line its newest inputs complete, and
// output i = s - 2h is written, after the last read of line i (at step
// i + h + 1). Level l's line r, the extreme of padded lines r .. r + 2^l - 1,
// stays in its ring (SpanLevels) while the level above or the output reads
// it. scratch holds acrossLines(h) w elements. prepare(i), when given, is
// called on line i just before its first read (the line filter of a plane,
// whose lines are then read down while in the first-level cache).
struct NoPreparation {
    void operator()(int) const {}
};

template <typename Op, typename T, typename Prepare = NoPreparation>
void acrossInPlace(T* const* rows, int n, int w, int h, T* scratch, Prepare&& prepare = Prepare())
{
    const T id = Op::template neutral<T>();
    const int length = n + 2 * h;
    const SpanLevels spans(h);
    const int levels = spans.levels;
    const int* size = spans.size;
    T* ring[SpanLevels::maxLevels + 1] = {};
    std::size_t used = 0;
    for (int l = 1; l <= levels; ++l) {
        ring[l] = scratch + used * w;
        used += static_cast<std::size_t>(size[l]);
    }
    T* neutral = scratch + used * w;
    std::fill(neutral, neutral + w, id);
    auto input = [&](int p) -> const T* { return p >= h && p < n + h ? rows[p - h] : neutral; };
    auto line = [&](int l, int r) { return ring[l] + static_cast<std::size_t>(r % size[l]) * w; };
    for (int s = 1; s < length; ++s) {
        if (s >= h && s < n + h)
            prepare(s - h);
        {
            const T* __restrict a = input(s - 1);
            const T* __restrict b = input(s);
            T* __restrict y = line(1, s - 1);
            for (int j = 0; j < w; ++j)
                y[j] = Op::pick(a[j], b[j]);
        }
        for (int l = 2; l <= levels; ++l) {
            const int r = s - (1 << l) + 1;
            if (r < 0)
                break;
            const T* __restrict a = line(l - 1, r);
            const T* __restrict b = line(l - 1, r + (1 << (l - 1)));
            T* __restrict y = line(l, r);
            for (int j = 0; j < w; ++j)
                y[j] = Op::pick(a[j], b[j]);
        }
        const int i = s - 2 * h;
        if (i < 0)
            continue;
        const T* __restrict a = line(levels, i);
        const T* __restrict b = line(levels, i + spans.window - spans.span);
        T* __restrict y = rows[i];
        for (int j = 0; j < w; ++j)
            y[j] = Op::pick(a[j], b[j]);
    }
}

template <typename Op, typename T>
void lineKernel(Op, T* v, int n, int h, T* scratch)
{
    lineInPlace<Op>(v, n, h, scratch);
}

template <typename Op, typename T>
void acrossKernel(Op, T* const* rows, int n, int w, int h, T* scratch)
{
    acrossInPlace<Op>(rows, n, w, h, scratch);
}

// Along the n lines rows[0 .. n - 1] of w elements, then down them, in one
// stream: lineScratch holds 2 (w + 2h) elements.
template <typename Op, typename T>
void planeInPlace(T* const* rows, int n, int w, int h, T* scratch, T* lineScratch)
{
    acrossInPlace<Op>(rows, n, w, h, scratch, [&](int i) { lineInPlace<Op>(rows[i], w, h, lineScratch); });
}

template <typename Op, typename T>
void planeKernel(Op, T* const* rows, int n, int w, int h, T* scratch, T* lineScratch)
{
    planeInPlace<Op>(rows, n, w, h, scratch, lineScratch);
}

#define PLEXAN_EXTREME_CLONES(T, Op)                                                               \
    PLEXAN_VECTOR_CLONES void lineKernel(Op, T* v, int n, int h, T* scratch)                      \
    {                                                                                              \
        lineInPlace<Op>(v, n, h, scratch);                                                         \
    }                                                                                              \
    PLEXAN_VECTOR_CLONES void acrossKernel(Op, T* const* rows, int n, int w, int h, T* scratch)   \
    {                                                                                              \
        acrossInPlace<Op>(rows, n, w, h, scratch);                                                 \
    }                                                                                              \
    PLEXAN_VECTOR_CLONES void planeKernel(Op, T* const* rows, int n, int w, int h, T* scratch,    \
                                          T* lineScratch)                                          \
    {                                                                                              \
        planeInPlace<Op>(rows, n, w, h, scratch, lineScratch);                                     \
    }
PLEXAN_EXTREME_CLONES(float, MinOp)
PLEXAN_EXTREME_CLONES(float, MaxOp)
PLEXAN_EXTREME_CLONES(double, MinOp)
PLEXAN_EXTREME_CLONES(double, MaxOp)
#undef PLEXAN_EXTREME_CLONES

// The width of a block of columns whose scratch for half-size h stays
// within about 256 KiB: whole lines for small windows.
template <typename T>
int acrossWidth(int h, int width)
{
    return blockWidth<T>(acrossLines(h), width);
}

// A workspace of at least n elements kept by each thread for the next
// chunk, so that chunks may be small (a plane, a few rows) without each
// allocating and first touching its quarter of a megabyte again: memory
// returned to the system and faulted in anew costs more than the filtering.
template <typename T>
T* threadScratch(std::size_t n)
{
    thread_local std::vector<T> scratch;
    if (scratch.size() < n)
        scratch.resize(n);
    return scratch.data();
}

// Chunks of about this many elements (a fifth of a millisecond of work):
// small enough that two threads finish within a chunk of each other,
// large enough that handing them out costs nothing.
constexpr long long chunkElements = 1 << 18;

// The grain for `count` items of `itemElements` elements each: chunks of
// about chunkElements elements, and at least chunksPerThread per thread.
std::ptrdiff_t itemGrain(long long count, long long itemElements)
{
    const std::ptrdiff_t bySize = std::max<long long>(1, chunkElements / std::max<long long>(1, itemElements));
    return std::min(bySize, grainFor(count, chunksPerThread * getThreadCount()));
}

// The unmasked volume: every plane along its rows and then down its columns,
// planes in parallel; then along k, rows of the planes in parallel.
template <typename Op, typename T>
void extremeVolume(VoxelMatrix<T>& v, int h, ProgressSteps& progress)
{
    const int s1 = v.getSize1();
    const int s2 = v.getSize2();
    const int s3 = v.getSize3();
    if (s1 < 1 || s2 < 1 || s3 < 1)
        return;
    // Lines go down columns and along k in blocks of columns. A plane's
    // lines go down its columns in one block when they fit, each filtered
    // along just before it is first read; otherwise they are all filtered
    // along first.
    const int block = acrossWidth<T>(h, s2);
    const bool oneBlock = block >= s2;
    const std::size_t lineScratch = 2 * static_cast<std::size_t>(s2 + 2 * h);
    const std::size_t blockScratch = static_cast<std::size_t>(acrossLines(h)) * block;
    const std::size_t planeScratch = oneBlock ? blockScratch + lineScratch : std::max(lineScratch, blockScratch);
    const long long planeElements = static_cast<long long>(s1) * s2;
    forEachChunk(0, s3, itemGrain(s3, planeElements), [&](std::ptrdiff_t k0, std::ptrdiff_t k1) {
        T* scratch = threadScratch<T>(planeScratch);
        std::vector<T*> rows(static_cast<std::size_t>(s1));
        for (int k = static_cast<int>(k0); k < k1; ++k) {
            if (oneBlock) {
                for (int i = 0; i < s1; ++i)
                    rows[i] = v[k][i].data();
                planeKernel(Op(), rows.data(), s1, s2, h, scratch, scratch + blockScratch);
                progress.advance(2LL * s1);
                continue;
            }
            for (int i = 0; i < s1; ++i)
                lineKernel(Op(), v[k][i].data(), s2, h, scratch);
            for (int j0 = 0; j0 < s2; j0 += block) {
                for (int i = 0; i < s1; ++i)
                    rows[i] = v[k][i].data() + j0;
                acrossKernel(Op(), rows.data(), s1, std::min(block, s2 - j0), h, scratch);
            }
            progress.advance(2LL * s1);
        }
    });
    const long long rowElements = static_cast<long long>(s2) * s3;
    forEachChunk(0, s1, itemGrain(s1, rowElements), [&](std::ptrdiff_t i0, std::ptrdiff_t i1) {
        T* scratch = threadScratch<T>(blockScratch);
        std::vector<T*> rows(static_cast<std::size_t>(s3));
        for (int i = static_cast<int>(i0); i < i1; ++i) {
            for (int j0 = 0; j0 < s2; j0 += block) {
                for (int k = 0; k < s3; ++k)
                    rows[k] = v[k][i].data() + j0;
                acrossKernel(Op(), rows.data(), s3, std::min(block, s2 - j0), h, scratch);
            }
            progress.advance(s3);
        }
    });
}

// The unmasked image: its rows in parallel, then its columns in parallel
// bands, each band's lines streamed as for a volume.
template <typename Op, typename T>
void extremePlane(PixelMatrix<T>& m, int h, ProgressSteps& progress)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    if (rows < 1 || columns < 1)
        return;
    const std::size_t lineScratch = 2 * static_cast<std::size_t>(columns + 2 * h);
    forEachChunk(0, rows, itemGrain(rows, columns), [&](std::ptrdiff_t i0, std::ptrdiff_t i1) {
        T* scratch = threadScratch<T>(lineScratch);
        for (int i = static_cast<int>(i0); i < i1; ++i) {
            lineKernel(Op(), m[i].data(), columns, h, scratch);
            progress.advance();
        }
    });
    // Bands of 16 columns or a multiple, a few a thread, each filtered 64
    // columns at a time: a quarter of a kilobyte a row for float, and a
    // progress step after each.
    const std::ptrdiff_t grain = 16 * grainFor((columns + 15) / 16, chunksPerThread * getThreadCount());
    constexpr int progressWidth = 64;
    forEachChunk(0, columns, grain, [&](std::ptrdiff_t j0, std::ptrdiff_t j1) {
        T* scratch = threadScratch<T>(static_cast<std::size_t>(acrossLines(h)) * progressWidth);
        std::vector<T*> lines(static_cast<std::size_t>(rows));
        for (std::ptrdiff_t a = j0; a < j1; a += progressWidth) {
            const std::ptrdiff_t b = std::min<std::ptrdiff_t>(a + progressWidth, j1);
            for (int i = 0; i < rows; ++i)
                lines[i] = m[i].data() + a;
            acrossKernel(Op(), lines.data(), rows, static_cast<int>(b - a), h, scratch);
            progress.advance(static_cast<long long>(rows) * b / columns - static_cast<long long>(rows) * a / columns);
        }
    });
}

} // namespace

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::filter(PixelMatrix<T>& m, const PixelMatrix<T>* mask)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    using Op = ExtremeOp<Maximum>;
    ProgressSteps progress(*this, 2LL * m.getSize1(), Maximum ? "Maximum filter" : "Minimum filter");
    if (!mask) {
        extremePlane<Op>(m, h, progress);
        progress.finish();
        return;
    }
    extremeRows<Op>(m, mask, h, progress);
    std::vector<T*> rows = rowPointers(m);
    std::vector<const T*> maskRows = rowPointers(*mask);
    extremeAcrossColumns<Op>(rows.data(), maskRows.data(), m.getSize1(), m.getSize2(), h, m.getSize1(), &progress);
    progress.finish();
}

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::filter(VoxelMatrix<T>& v, const VoxelMatrix<T>* mask)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    using Op = ExtremeOp<Maximum>;
    ProgressSteps progress(*this, 3LL * v.getSize1() * v.getSize3(), Maximum ? "Maximum filter" : "Minimum filter");
    if (!mask) {
        extremeVolume<Op>(v, h, progress);
        progress.finish();
        return;
    }
    const int s1 = v.getSize1();
    const int s2 = v.getSize2();
    const int s3 = v.getSize3();
    // Every plane in two dimensions, planes in parallel; then along k, rows of
    // the planes in parallel. A chunk holds several planes, so that its
    // workspace (a block of columns, a quarter of a megabyte) is allocated
    // and first touched once for all of them, not once per plane: freed and
    // taken again for every plane it cost more than the filtering itself.
    const std::ptrdiff_t planeGrain = grainFor(s3, chunksPerThread * getThreadCount());
    forEachChunk(0, s3, planeGrain, [&](std::ptrdiff_t k0, std::ptrdiff_t k1) {
        Workspace<T> ws;
        auto line = [h, &ws](const T* in, const T* mk, T* out, int n) {
            extremeLine<Op>(in, mk, out, n, h, ws.scratch);
        };
        auto across = [h, &ws](const T* const* in, const T* const* mk, T* const* out, int n, int w) {
            extremeAcross<Op>(in, mk, out, n, w, h, ws.scratch);
        };
        for (int k = static_cast<int>(k0); k < k1; ++k) {
            const PixelMatrix<T>* planeMask = mask ? &(*mask)[k] : nullptr;
            rowPass(v[k], planeMask, ws, &progress, line);
            columnPass(v[k], planeMask, ws, &progress, across);
        }
    });
    const std::ptrdiff_t grain = grainFor(s1, chunksPerThread * getThreadCount(), 4);
    forEachChunk(0, s1, grain, [&](std::ptrdiff_t i0, std::ptrdiff_t i1) {
        Workspace<T> ws;
        for (int i = static_cast<int>(i0); i < i1; ++i) {
            std::vector<T*> rows = planeRowPointers(v, i);
            std::vector<const T*> maskRows;
            if (mask)
                maskRows = planeRowPointers(*mask, i);
            acrossLines(rows.data(), mask ? maskRows.data() : nullptr, s3, s2, ws,
                        [h, &ws](const T* const* in, const T* const* mk, T* const* out, int n, int w) {
                            extremeAcross<Op>(in, mk, out, n, w, h, ws.scratch);
                        });
            progress.advance(s3);
        }
    });
    progress.finish();
}

#define PLEXAN_INSTANTIATE_EXTREME_FILTER(T)                                                       \
    template class RunningExtremeFilter<T, false>;                                                 \
    template class RunningExtremeFilter<T, true>;
PLEXAN_FOR_EACH_EXTREME_FILTER_TYPE(PLEXAN_INSTANTIATE_EXTREME_FILTER)
