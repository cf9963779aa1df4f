#include "imageprocessing/matrixresize.h"

#include "image/linearinterpolation.h"
#include "image/nearestinterpolation.h"
#include "imageprocessing/progresssteps.h"
#include "imageprocessing/sumfilter.h"

#include <algorithm>
#include <cmath>

namespace {

// Where a new grid of n points lands on an old one of m: corner to corner.
inline float gridStep(int m, int n)
{
    return n > 1 ? static_cast<float>(m - 1) / static_cast<float>(n - 1) : 0.0f;
}

// The largest coordinate sampled on an axis of m points. The last grid line
// is sampled just inside it, in the last cell, so that bilinear sampling
// interpolates there too rather than falling back to the nearest sample.
inline float lastCoordinate(int m, bool linear)
{
    const float last = static_cast<float>(std::max(m - 1, 0));
    return linear && m > 1 ? std::nextafter(last, 0.0f) : last;
}

[[noreturn]] void throwTargetSize(const char* where)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat("Invalid target size");
    throw e;
}

} // namespace

template <typename T>
void MatrixResize<T>::setSize(const Vector<int>& size)
{
    if (size.getSize() != 2 || size[0] < 0 || size[1] < 0)
        throwTargetSize("void MatrixResize<T>::setSize(const Vector<int>&)");
    m_size = size;
}

template <typename T>
void MatrixResize<T>::apply(PixelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    if (m_size[0] == rows && m_size[1] == columns)
        return;
    if (m_size[0] >= rows && m_size[1] >= columns)
        enlargement(m);
    else if (m_size[0] <= rows && m_size[1] <= columns)
        reduction(m);
    else
        mixedResize(m);
}

template <typename T>
void MatrixResize<T>::enlargement(PixelMatrix<T>& m)
{
    if (m_mode == NearestInterpolationMode)
        nearestEnlargement(m);
    else
        bilinearEnlargement(m);
}

template <typename T>
void MatrixResize<T>::reduction(PixelMatrix<T>& m)
{
    if (m_mode == NearestInterpolationMode)
        nearestReduction(m);
    else
        bilinearReduction(m);
}

template <typename T>
void MatrixResize<T>::mixedResize(PixelMatrix<T>& m)
{
    // Rows first, then columns: each step enlarges or reduces one axis only.
    const Vector<int> target = m_size;
    m_size = Vector<int>{target[0], m.getSize2()};
    try {
        apply(m);
        m_size = target;
        apply(m);
    } catch (...) {
        m_size = target;
        throw;
    }
}

template <typename T>
void MatrixResize<T>::nearestEnlargement(PixelMatrix<T>& m)
{
    sample(m, m_size[0], m_size[1], false);
}

template <typename T>
void MatrixResize<T>::bilinearEnlargement(PixelMatrix<T>& m)
{
    sample(m, m_size[0], m_size[1], true);
}

template <typename T>
void MatrixResize<T>::nearestReduction(PixelMatrix<T>& m)
{
    lowPass(m);
    sample(m, m_size[0], m_size[1], false);
}

template <typename T>
void MatrixResize<T>::bilinearReduction(PixelMatrix<T>& m)
{
    lowPass(m);
    sample(m, m_size[0], m_size[1], true);
}

template <typename T>
void MatrixResize<T>::lowPass(PixelMatrix<T>& m)
{
    if (!m_lowPass || m_size[0] < 1 || m_size[1] < 1)
        return;
    const float ratio = std::max(static_cast<float>(m.getSize1()) / static_cast<float>(m_size[0]),
                                 static_cast<float>(m.getSize2()) / static_cast<float>(m_size[1]));
    const int h = static_cast<int>(std::floor(ratio));
    if (h < 1)
        return;
    SumFilter<T>(h).apply(m);
    const T area = static_cast<T>((2 * h + 1) * (2 * h + 1));
    for (int i = 0; i < m.getSize1(); ++i)
        for (T& x : m[i])
            x /= area;
}

template <typename T>
void MatrixResize<T>::sample(PixelMatrix<T>& m, int rows, int columns, bool linear)
{
    const float si = gridStep(m.getSize1(), rows);
    const float sj = gridStep(m.getSize2(), columns);
    const float lastI = lastCoordinate(m.getSize1(), linear);
    const float lastJ = lastCoordinate(m.getSize2(), linear);
    ProgressSteps progress(*this, rows, "Resizing");
    PixelMatrix<T> out(rows, columns);
    const NearestInterpolation<T> nearest;
    const LinearInterpolation<T> bilinear;
    for (int i = 0; i < rows; ++i) {
        const float x1 = std::min(static_cast<float>(i) * si, lastI);
        T* y = out[i].data();
        // Qualified calls: no virtual dispatch per element.
        if (linear)
            for (int j = 0; j < columns; ++j)
                y[j] = bilinear.LinearInterpolation<T>::eval(x1, std::min(static_cast<float>(j) * sj, lastJ), m);
        else
            for (int j = 0; j < columns; ++j)
                y[j] = nearest.NearestInterpolation<T>::eval(x1, static_cast<float>(j) * sj, m);
        progress.advance();
    }
    m = std::move(out);
    progress.finish();
}

template <typename T>
void MatrixResize<T>::halve(PixelMatrix<unsigned char>& m)
{
    const int rows = m.getSize1() / 2;
    const int columns = m.getSize2() / 2;
    PixelMatrix<unsigned char> out(rows, columns);
    for (int i = 0; i < rows; ++i) {
        const unsigned char* a = m[2 * i].data();
        const unsigned char* b = m[2 * i + 1].data();
        unsigned char* y = out[i].data();
        for (int j = 0; j < columns; ++j)
            y[j] = static_cast<unsigned char>((a[2 * j] + a[2 * j + 1] + b[2 * j] + b[2 * j + 1] + 2) / 4);
    }
    m = std::move(out);
}

template class MatrixResize<float>;
template class MatrixResize<double>;
template class MatrixResize<long double>;
