#include "imageprocessing/derichegradient.h"

#include "imageprocessing/matrixpasses.h"

#include <cmath>

using namespace plexan::lines;

template <typename T>
void DericheGradient<T>::setAlpha(T alpha)
{
    m_alpha = alpha;
    const T e = std::exp(-alpha);
    const T oneMinusE = T(1) - e;
    m_d[0] = T(0);
    m_d[1] = T(1);
    m_d[2] = T(-1);
    m_d[3] = T(0);
    m_dScale = -(oneMinusE * oneMinusE);
    const T c = oneMinusE * oneMinusE * oneMinusE * oneMinusE / (T(1) + T(2) * alpha * e - e * e);
    m_s[0] = c;
    m_s[1] = c * e * (alpha - T(1));
    m_s[2] = c * e * (alpha + T(1));
    m_s[3] = -c * e * e;
    m_sScale = T(1);
    m_b1 = T(2) * e;
    m_b2 = -e * e;
}

template <typename T>
void DericheGradient<T>::recursiveFiltering1D(Vector<T>& x, T a0, T a1, T a2, T a3, T b1, T b2, T scale)
{
    std::vector<T> scratch;
    recursiveLine(x.data(), x.getSize(), Recursion<T>{a0, a1, a2, a3, b1, b2, scale}, scratch);
}

template <typename T>
void DericheGradient<T>::filterPixels(PixelMatrix<T>& m, int axis, bool derive)
{
    const Recursion<T> r = derive ? Recursion<T>{m_d[0], m_d[1], m_d[2], m_d[3], m_b1, m_b2, m_dScale}
                                  : Recursion<T>{m_s[0], m_s[1], m_s[2], m_s[3], m_b1, m_b2, m_sScale};
    Workspace<T> ws;
    if (axis == 2) {
        rowPass(m, nullptr, ws, nullptr, [&r, &ws](const T* in, const T*, T* out, int n) {
            std::copy(in, in + n, out);
            recursiveLine(out, n, r, ws.scratch);
        });
    } else {
        columnPass(m, nullptr, ws, nullptr, [&r, &ws](const T* const* in, const T* const*, T* const* out, int n, int w) {
            recursiveAcross(in, out, n, w, r, ws.scratch);
        });
    }
}

template <typename T>
void DericheGradient<T>::filterVoxels(VoxelMatrix<T>& v, int axis, bool derive)
{
    if (axis == 3) {
        const Recursion<T> r = derive ? Recursion<T>{m_d[0], m_d[1], m_d[2], m_d[3], m_b1, m_b2, m_dScale}
                                      : Recursion<T>{m_s[0], m_s[1], m_s[2], m_s[3], m_b1, m_b2, m_sScale};
        Workspace<T> ws;
        planePass(v, nullptr, ws, nullptr, [&r, &ws](const T* const* in, const T* const*, T* const* out, int n, int w) {
            recursiveAcross(in, out, n, w, r, ws.scratch);
        });
        return;
    }
    for (int k = 0; k < v.getSize3(); ++k)
        filterPixels(v[k], axis, derive);
}

template <typename T>
void DericheGradient<T>::derivative2D(PixelMatrix<T>& m, int axis, const char* title)
{
    ProgressSteps progress(*this, 2, title);
    filterPixels(m, 2, axis == 2);
    progress.advance();
    filterPixels(m, 1, axis == 1);
    progress.advance();
    progress.finish();
}

template <typename T>
void DericheGradient<T>::derivative3D(VoxelMatrix<T>& v, int axis, const char* title)
{
    ProgressSteps progress(*this, 3, title);
    filterVoxels(v, 2, axis == 2);
    progress.advance();
    filterVoxels(v, 1, axis == 1);
    progress.advance();
    filterVoxels(v, 3, axis == 3);
    progress.advance();
    progress.finish();
}

template <typename T>
void DericheGradient<T>::gradient1(PixelMatrix<T>& m)
{
    derivative2D(m, 1, "Deriche gradient");
}

template <typename T>
void DericheGradient<T>::gradient2(PixelMatrix<T>& m)
{
    derivative2D(m, 2, "Deriche gradient");
}

template <typename T>
void DericheGradient<T>::hGradient(PixelMatrix<T>& m)
{
    derivative2D(m, 2, "Deriche gradient");
}

template <typename T>
void DericheGradient<T>::vGradient(PixelMatrix<T>& m)
{
    derivative2D(m, 1, "Deriche gradient");
}

template <typename T>
void DericheGradient<T>::gradient1(VoxelMatrix<T>& v)
{
    derivative3D(v, 1, "Deriche gradient");
}

template <typename T>
void DericheGradient<T>::gradient2(VoxelMatrix<T>& v)
{
    derivative3D(v, 2, "Deriche gradient");
}

template <typename T>
void DericheGradient<T>::gradient3(VoxelMatrix<T>& v)
{
    derivative3D(v, 3, "Deriche gradient");
}

template class DericheGradient<float>;
template class DericheGradient<double>;
template class DericheGradient<long double>;
