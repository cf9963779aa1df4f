#include "imageprocessing/runningextremefilter.h"

#include "imageprocessing/matrixpasses.h"
#include "numerics/parallel.h"

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

} // namespace

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::filter(PixelMatrix<T>& m, const PixelMatrix<T>* mask)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    using Op = ExtremeOp<Maximum>;
    ProgressSteps progress(*this, 2LL * m.getSize1(), Maximum ? "Maximum filter" : "Minimum filter");
    extremeRows<Op>(m, mask, h, progress);
    std::vector<T*> rows = rowPointers(m);
    std::vector<const T*> maskRows;
    if (mask)
        maskRows = rowPointers(*mask);
    extremeAcrossColumns<Op>(rows.data(), mask ? maskRows.data() : nullptr, m.getSize1(), m.getSize2(), h,
                             m.getSize1(), &progress);
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
