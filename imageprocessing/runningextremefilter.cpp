#include "imageprocessing/runningextremefilter.h"

#include "imageprocessing/matrixpasses.h"

#include <string>

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

template <typename T, bool Maximum>
void RunningExtremeFilter<T, Maximum>::filter(PixelMatrix<T>& m, const PixelMatrix<T>* mask)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    using Op = ExtremeOp<Maximum>;
    ProgressSteps progress(*this, 2LL * m.getSize1(), Maximum ? "Maximum filter" : "Minimum filter");
    Workspace<T> ws;
    rowPass(m, mask, ws, &progress,
            [h, &ws](const T* in, const T* mk, T* out, int n) { extremeLine<Op>(in, mk, out, n, h, ws.scratch); });
    columnPass(m, mask, ws, &progress, [h, &ws](const T* const* in, const T* const* mk, T* const* out, int n, int w) {
        extremeAcross<Op>(in, mk, out, n, w, h, ws.scratch);
    });
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
    Workspace<T> ws;
    auto line = [h, &ws](const T* in, const T* mk, T* out, int n) { extremeLine<Op>(in, mk, out, n, h, ws.scratch); };
    auto across = [h, &ws](const T* const* in, const T* const* mk, T* const* out, int n, int w) {
        extremeAcross<Op>(in, mk, out, n, w, h, ws.scratch);
    };
    for (int k = 0; k < v.getSize3(); ++k) {
        const PixelMatrix<T>* planeMask = mask ? &(*mask)[k] : nullptr;
        rowPass(v[k], planeMask, ws, &progress, line);
        columnPass(v[k], planeMask, ws, &progress, across);
    }
    for (int i = 0; i < v.getSize1(); ++i) {
        std::vector<T*> rows = planeRowPointers(v, i);
        std::vector<const T*> maskRows;
        if (mask)
            maskRows = planeRowPointers(*mask, i);
        acrossLines(rows.data(), mask ? maskRows.data() : nullptr, v.getSize3(), v.getSize2(), ws, across);
        progress.advance(v.getSize3());
    }
    progress.finish();
}

#define PLEXAN_INSTANTIATE_EXTREME_FILTER(T)                                                       \
    template class RunningExtremeFilter<T, false>;                                                 \
    template class RunningExtremeFilter<T, true>;
PLEXAN_FOR_EACH_EXTREME_FILTER_TYPE(PLEXAN_INSTANTIATE_EXTREME_FILTER)
