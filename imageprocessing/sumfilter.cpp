#include "imageprocessing/sumfilter.h"

#include "imageprocessing/matrixpasses.h"

using namespace plexan::lines;

template <typename T>
void SumFilter<T>::apply(PixelMatrix<T>& m)
{
    if (isBallMode())
        applyCircularCase(m);
    else
        applySquareCase(m);
}

template <typename T>
void SumFilter<T>::apply(VoxelMatrix<T>& v)
{
    if (isBallMode())
        applySphericalCase(v);
    else
        applyCubicCase(v);
}

template <typename T>
void SumFilter<T>::applySquareCase(PixelMatrix<T>& m)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    ProgressSteps progress(*this, 2LL * m.getSize1(), "Sum filter");
    Workspace<T> ws;
    rowPass(m, nullptr, ws, &progress,
            [h](const T* in, const T*, T* out, int n) { boxSumLine(in, out, n, h); });
    columnPass(m, nullptr, ws, &progress, [h, &ws](const T* const* in, const T* const*, T* const* out, int n, int w) {
        boxSumAcross(in, out, n, w, h, ws.scratch);
    });
    progress.finish();
}

template <typename T>
void SumFilter<T>::applyCubicCase(VoxelMatrix<T>& v)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    ProgressSteps progress(*this, 3LL * v.getSize1() * v.getSize3(), "Sum filter");
    Workspace<T> ws;
    auto line = [h](const T* in, const T*, T* out, int n) { boxSumLine(in, out, n, h); };
    auto across = [h, &ws](const T* const* in, const T* const*, T* const* out, int n, int w) {
        boxSumAcross(in, out, n, w, h, ws.scratch);
    };
    for (int k = 0; k < v.getSize3(); ++k) {
        rowPass(v[k], nullptr, ws, &progress, line);
        columnPass(v[k], nullptr, ws, &progress, across);
    }
    // One unit per row of every plane: the k pass visits each row once for
    // all the planes.
    for (int i = 0; i < v.getSize1(); ++i) {
        std::vector<T*> rows = planeRowPointers(v, i);
        acrossLines(rows.data(), static_cast<const T* const*>(nullptr), v.getSize3(), v.getSize2(), ws, across);
        progress.advance(v.getSize3());
    }
    progress.finish();
}

// The disc sums are accumulated offset after offset, each over the whole
// matrix, so that every element adds its neighbours in the order of the offset
// list while the inner loop stays contiguous.
template <typename T>
void SumFilter<T>::applyCircularCase(PixelMatrix<T>& m)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    Vector<int> di, dj;
    initCircularNeighborhood(h, di, dj);
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    ProgressSteps progress(*this, di.getSize(), "Sum filter");
    PixelMatrix<T> out(rows, columns);
    out.fill(T(0));
    for (int n = 0; n < di.getSize(); ++n) {
        const int a = di[n];
        const int b = dj[n];
        const int j0 = std::max(0, -b);
        const int j1 = std::min(columns, columns - b);
        for (int i = std::max(0, -a); i < std::min(rows, rows - a); ++i) {
            const T* x = m[i + a].data() + (j0 + b);
            T* y = out[i].data() + j0;
            for (int j = 0; j < j1 - j0; ++j)
                y[j] = static_cast<T>(y[j] + x[j]);
        }
        progress.advance();
    }
    m = std::move(out);
    progress.finish();
}

template <typename T>
void SumFilter<T>::applySphericalCase(VoxelMatrix<T>& v)
{
    const int h = getHalfSize();
    if (h < 1)
        return;
    Vector<int> di, dj, dk;
    initSphericalNeighborhood(h, di, dj, dk);
    const int s1 = v.getSize1();
    const int s2 = v.getSize2();
    const int s3 = v.getSize3();
    ProgressSteps progress(*this, di.getSize(), "Sum filter");
    VoxelMatrix<T> out(s1, s2, s3);
    out.fill(T(0));
    for (int n = 0; n < di.getSize(); ++n) {
        const int a = di[n];
        const int b = dj[n];
        const int c = dk[n];
        const int j0 = std::max(0, -b);
        const int j1 = std::min(s2, s2 - b);
        for (int k = std::max(0, -c); k < std::min(s3, s3 - c); ++k)
            for (int i = std::max(0, -a); i < std::min(s1, s1 - a); ++i) {
                const T* x = v[k + c][i + a].data() + (j0 + b);
                T* y = out[k][i].data() + j0;
                for (int j = 0; j < j1 - j0; ++j)
                    y[j] = static_cast<T>(y[j] + x[j]);
            }
        progress.advance();
    }
    v.swap(out);
    progress.finish();
}

#define PLEXAN_INSTANTIATE_SUM_FILTER(T) template class SumFilter<T>;
PLEXAN_FOR_EACH_RANK_FILTER_TYPE(PLEXAN_INSTANTIATE_SUM_FILTER)
