#include "imageprocessing/gradientoperator.h"

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"

#include <cmath>
#include <utility>
#include <vector>

template <typename T>
void GradientOperator<T>::apply(PixelMatrix<T>& m)
{
    PixelMatrix<T> gy(m);
    hGradient(m);
    vGradient(gy);
    norm(m, m, gy);
}

template <typename T>
void GradientOperator<T>::apply(VoxelMatrix<T>& v)
{
    VoxelMatrix<T> g2(v);
    VoxelMatrix<T> g3(v);
    gradient1(v);
    gradient2(g2);
    gradient3(g3);
    norm(v, v, g2, g3);
}

template <typename T>
void GradientOperator<T>::norm(PixelMatrix<T>& out, const PixelMatrix<T>& a, const PixelMatrix<T>& b) const
{
    const int rows = a.getSize1();
    const int columns = a.getSize2();
    out.setSize(rows, columns);
    for (int i = 0; i < rows; ++i) {
        const T* x = a[i].data();
        const T* y = b[i].data();
        T* z = out[i].data();
        for (int j = 0; j < columns; ++j)
            z[j] = std::sqrt(x[j] * x[j] + y[j] * y[j]);
    }
}

template <typename T>
void GradientOperator<T>::norm(VoxelMatrix<T>& out, const VoxelMatrix<T>& a, const VoxelMatrix<T>& b,
                               const VoxelMatrix<T>& c) const
{
    const int s2 = a.getSize2();
    out.setSize(a.getSize1(), s2, a.getSize3());
    for (int k = 0; k < a.getSize3(); ++k)
        for (int i = 0; i < a.getSize1(); ++i) {
            const T* x = a[k][i].data();
            const T* y = b[k][i].data();
            const T* w = c[k][i].data();
            T* z = out[k][i].data();
            for (int j = 0; j < s2; ++j)
                z[j] = std::sqrt(x[j] * x[j] + y[j] * y[j] + w[j] * w[j]);
        }
}

template <typename T>
void GradientOperator<T>::norm(PixelMatrix<T>& m)
{
    apply(m);
}

template <typename T>
void GradientOperator<T>::angle(PixelMatrix<T>& out, const PixelMatrix<T>& gx, const PixelMatrix<T>& gy) const
{
    const int rows = gx.getSize1();
    const int columns = gx.getSize2();
    out.setSize(rows, columns);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            out(i, j) = std::atan2(gy(i, j), gx(i, j));
}

template <typename T>
void GradientOperator<T>::angle(PixelMatrix<T>& m)
{
    PixelMatrix<T> gy(m);
    hGradient(m);
    vGradient(gy);
    angle(m, m, gy);
}

namespace {

template <typename T>
void clearBorder(PixelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    if (rows == 0 || columns == 0)
        return;
    for (int j = 0; j < columns; ++j) {
        m(0, j) = T(0);
        m(rows - 1, j) = T(0);
    }
    for (int i = 0; i < rows; ++i) {
        m(i, 0) = T(0);
        m(i, columns - 1) = T(0);
    }
}

// Keeps the norm of interior elements where it beats the neighbour behind
// (strictly) and ahead (or equals it), the offsets of the neighbour ahead
// being chosen per element by direction(gx, gy, di, dj).
template <typename T, typename Direction>
void suppress(PixelMatrix<T>& norm, const PixelMatrix<T>& gx, const PixelMatrix<T>& gy, Direction&& direction)
{
    const PixelMatrix<T> n(norm);
    for (int i = 1; i < n.getSize1() - 1; ++i)
        for (int j = 1; j < n.getSize2() - 1; ++j) {
            const T v = n(i, j);
            if (v == T(0))
                continue;
            int di = 0, dj = 0;
            direction(gx(i, j), gy(i, j), di, dj);
            if (!(v > n(i - di, j - dj) && v >= n(i + di, j + dj)))
                norm(i, j) = T(0);
        }
    clearBorder(norm);
}

} // namespace

template <typename T>
void GradientOperator<T>::nonmaxSuppressionN4(PixelMatrix<T>& norm, const PixelMatrix<T>& gx,
                                              const PixelMatrix<T>& gy) const
{
    suppress(norm, gx, gy, [](T x, T y, int& di, int& dj) {
        if (std::abs(x) >= std::abs(y)) {
            di = 0;
            dj = x >= T(0) ? 1 : -1;
        } else {
            di = y >= T(0) ? 1 : -1;
            dj = 0;
        }
    });
}

template <typename T>
void GradientOperator<T>::nonmaxSuppressionN8(PixelMatrix<T>& norm, const PixelMatrix<T>& gx,
                                              const PixelMatrix<T>& gy) const
{
    // tan(22.5 degrees): the sector boundaries between the eight directions.
    const T t = T(0.41421356237309504880L);
    suppress(norm, gx, gy, [t](T x, T y, int& di, int& dj) {
        const T ax = std::abs(x);
        const T ay = std::abs(y);
        di = 0;
        dj = 0;
        if (ay <= t * ax) {
            dj = x >= T(0) ? 1 : -1;
        } else if (ax <= t * ay) {
            di = y >= T(0) ? 1 : -1;
        } else {
            dj = x >= T(0) ? 1 : -1;
            di = y >= T(0) ? 1 : -1;
        }
    });
}

template <typename T>
void GradientOperator<T>::nonmaxSuppression(PixelMatrix<T>& m)
{
    PixelMatrix<T> gx(m);
    PixelMatrix<T> gy(m);
    hGradient(gx);
    vGradient(gy);
    norm(m, gx, gy);
    nonmaxSuppressionN8(m, gx, gy);
}

template <typename T>
void GradientOperator<T>::fineNonmaxSuppression(PixelMatrix<T>& norm, const PixelMatrix<T>& gx,
                                                const PixelMatrix<T>& gy) const
{
    const PixelMatrix<T> n(norm);
    const int rows = n.getSize1();
    const int columns = n.getSize2();
    for (int i = 1; i < rows - 1; ++i)
        for (int j = 1; j < columns - 1; ++j) {
            const T v = n(i, j);
            if (v == T(0))
                continue;
            const T ux = gx(i, j) / v;
            const T uy = gy(i, j) / v;
            const T ax = std::abs(ux);
            const T ay = std::abs(uy);
            const int sj = ux >= T(0) ? 1 : -1;
            const int si = uy >= T(0) ? 1 : -1;
            const T w00 = (T(1) - ax) * (T(1) - ay);
            const T w01 = ax * (T(1) - ay);
            const T w10 = (T(1) - ax) * ay;
            const T w11 = ax * ay;
            // One unit ahead along (ux, uy), then one unit behind.
            const T ahead = w00 * v + w01 * n(i, j + sj) + w10 * n(i + si, j) + w11 * n(i + si, j + sj);
            const T behind = w00 * v + w01 * n(i, j - sj) + w10 * n(i - si, j) + w11 * n(i - si, j - sj);
            if (!(v > ahead && v > behind))
                norm(i, j) = T(0);
        }
    clearBorder(norm);
}

template <typename T>
void GradientOperator<T>::fineNonmaxSuppression(PixelMatrix<T>& m, const PixelMatrix<T>& gy) const
{
    const PixelMatrix<T> gx(m);
    norm(m, gx, gy);
    fineNonmaxSuppression(m, gx, gy);
}

template <typename T>
void GradientOperator<T>::hysteresisThresholding(PixelMatrix<T>& m, T low, T high) const
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    std::vector<std::pair<int, int>> seeds;
    for (int i = 1; i < rows - 1; ++i)
        for (int j = 1; j < columns - 1; ++j) {
            T& v = m(i, j);
            if (v < low) {
                v = T(0);
            } else if (v >= high) {
                v = T(1);
                seeds.emplace_back(i, j);
            } else {
                v = T(-1);
            }
        }
    while (!seeds.empty()) {
        const auto [i, j] = seeds.back();
        seeds.pop_back();
        for (int a = i - 1; a <= i + 1; ++a)
            for (int b = j - 1; b <= j + 1; ++b) {
                // Candidates only exist in the interior.
                if (m(a, b) == T(-1) && a > 0 && a < rows - 1 && b > 0 && b < columns - 1) {
                    m(a, b) = T(1);
                    seeds.emplace_back(a, b);
                }
            }
    }
    for (int i = 1; i < rows - 1; ++i)
        for (int j = 1; j < columns - 1; ++j)
            if (m(i, j) == T(-1))
                m(i, j) = T(0);
}

template class GradientOperator<float>;
template class GradientOperator<double>;
template class GradientOperator<long double>;
