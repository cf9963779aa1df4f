#pragma once
// Passes of one-dimensional kernels along the axes of pixel and voxel
// matrices: along rows (contiguous lines, one at a time), along columns and
// along planes (blocks of neighbouring lines at once, see linefilters.h).
//
// Internal to the image processing library.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/linefilters.h"
#include "imageprocessing/progresssteps.h"

#include <type_traits>
#include <vector>

namespace plexan::lines {

template <typename T>
std::vector<T*> rowPointers(PixelMatrix<T>& m)
{
    std::vector<T*> rows(m.getSize1());
    for (int i = 0; i < m.getSize1(); ++i)
        rows[i] = m[i].data();
    return rows;
}

template <typename T>
std::vector<const T*> rowPointers(const PixelMatrix<T>& m)
{
    std::vector<const T*> rows(m.getSize1());
    for (int i = 0; i < m.getSize1(); ++i)
        rows[i] = m[i].data();
    return rows;
}

// Row i of every plane of v, plane 0 first: the lines along k of that row.
template <typename T>
std::vector<T*> planeRowPointers(VoxelMatrix<T>& v, int i)
{
    std::vector<T*> rows(v.getSize3());
    for (int k = 0; k < v.getSize3(); ++k)
        rows[k] = v[k][i].data();
    return rows;
}

template <typename T>
std::vector<const T*> planeRowPointers(const VoxelMatrix<T>& v, int i)
{
    std::vector<const T*> rows(v.getSize3());
    for (int k = 0; k < v.getSize3(); ++k)
        rows[k] = v[k][i].data();
    return rows;
}

// lineKernel(in, mask, out, n) on every row of m (mask row or null), through
// a line buffer; one progress unit per row.
template <typename T, typename LineKernel>
void rowPass(PixelMatrix<T>& m, std::type_identity_t<const PixelMatrix<T>*> mask, Workspace<T>& ws, ProgressSteps* progress,
             LineKernel&& lineKernel)
{
    const int n = m.getSize2();
    ws.result.resize(n > 0 ? n : 1);
    for (int i = 0; i < m.getSize1(); ++i) {
        T* row = m[i].data();
        lineKernel(row, mask ? (*mask)[i].data() : nullptr, ws.result.data(), n);
        std::copy(ws.result.data(), ws.result.data() + n, row);
        if (progress)
            progress->advance();
    }
}

// kernel(in, mask, out, n, w) over blocks of the columns of m; progress
// counts one unit per row of the matrix for the whole pass.
template <typename T, typename Kernel>
void columnPass(PixelMatrix<T>& m, std::type_identity_t<const PixelMatrix<T>*> mask, Workspace<T>& ws, ProgressSteps* progress,
                Kernel&& kernel)
{
    std::vector<T*> rows = rowPointers(m);
    std::vector<const T*> maskRows;
    if (mask)
        maskRows = rowPointers(*mask);
    const int width = m.getSize2();
    const long long units = m.getSize1();
    long long columns = 0, reported = 0;
    // The rows of the pass are spread over its column blocks.
    acrossLines(rows.data(), mask ? maskRows.data() : nullptr, m.getSize1(), width, ws, kernel, [&](int w) {
        columns += w;
        const long long target = units * columns / width;
        if (progress)
            progress->advance(target - reported);
        reported = target;
    });
}

// kernel(in, mask, out, n, w) along k, for every row i of the planes; one
// progress unit per row.
template <typename T, typename Kernel>
void planePass(VoxelMatrix<T>& v, std::type_identity_t<const VoxelMatrix<T>*> mask, Workspace<T>& ws, ProgressSteps* progress,
               Kernel&& kernel)
{
    for (int i = 0; i < v.getSize1(); ++i) {
        std::vector<T*> rows = planeRowPointers(v, i);
        std::vector<const T*> maskRows;
        if (mask)
            maskRows = planeRowPointers(*mask, i);
        acrossLines(rows.data(), mask ? maskRows.data() : nullptr, v.getSize3(), v.getSize2(), ws, kernel);
        if (progress)
            progress->advance();
    }
}

} // namespace plexan::lines
