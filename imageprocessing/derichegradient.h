#pragma once
// DericheGradient<T>: image derivatives by Deriche's recursive filters.
//
// Each derivative filters the lines along its axis with the derivative filter
// and the lines along every other axis with the smoothing filter, both second
// order recursive filters (a causal and an anti-causal pass summed) whose
// coefficients follow from alpha, with e = exp(-alpha):
//   derivative: a = (0, 1, -1, 0), scale -(1 - e)^2;
//   smoothing:  c = (1 - e)^4 / (1 + 2 alpha e - e^2),
//               a = (c, c e (alpha - 1), c e (alpha + 1), -c e^2), scale 1;
//   feedback:   b1 = 2e, b2 = -e^2.
// A smaller alpha smooths more. The lines start and end with zero history.
//
// Element types: float, double, long double.

#include "imageprocessing/gradientoperator.h"
#include "numerics/vector.h"

template <typename T>
class DericheGradient : public GradientOperator<T> {
public:
    explicit DericheGradient(T alpha = T(1)) { setAlpha(alpha); }

    // Stores alpha and recomputes the coefficients.
    void setAlpha(T alpha);
    T getAlpha() const { return m_alpha; }

    void gradient1(PixelMatrix<T>& m) override;
    void gradient2(PixelMatrix<T>& m) override;
    void hGradient(PixelMatrix<T>& m) override;
    void vGradient(PixelMatrix<T>& m) override;
    void gradient1(VoxelMatrix<T>& v) override;
    void gradient2(VoxelMatrix<T>& v) override;
    void gradient3(VoxelMatrix<T>& v) override;

    // One line, in place: causal
    //   y1[i] = a0 x[i] + a1 x[i-1] + b1 y1[i-1] + b2 y1[i-2]
    // and anti-causal
    //   y2[i] = a2 x[i+1] + a3 x[i+2] + b1 y2[i+1] + b2 y2[i+2],
    // starting from y1[0] = a0 x[0] and y2[n-1] = 0; x becomes scale (y1 + y2).
    static void recursiveFiltering1D(Vector<T>& x, T a0, T a1, T a2, T a3, T b1, T b2, T scale);

    // The coefficients: derivative filter d0..d3 and its scale, smoothing
    // filter s0..s3 and its scale, feedback b1, b2.
    T getDerivativeCoefficient(int k) const { return m_d[k]; }
    T getDerivativeScale() const { return m_dScale; }
    T getSmoothingCoefficient(int k) const { return m_s[k]; }
    T getSmoothingScale() const { return m_sScale; }
    T getB1() const { return m_b1; }
    T getB2() const { return m_b2; }

private:
    // Filters m along its rows (axis 2) or columns (axis 1), with the
    // derivative filter when derive is true, else with the smoothing one.
    void filterPixels(PixelMatrix<T>& m, int axis, bool derive);
    // The same along axis 1, 2 or 3 of a voxel matrix.
    void filterVoxels(VoxelMatrix<T>& v, int axis, bool derive);
    void derivative2D(PixelMatrix<T>& m, int axis, const char* title);
    void derivative3D(VoxelMatrix<T>& v, int axis, const char* title);

    T m_alpha = T(1);
    T m_d[4] = {};
    T m_dScale = T(1);
    T m_s[4] = {};
    T m_sScale = T(1);
    T m_b1 = T(0);
    T m_b2 = T(0);
};

extern template class DericheGradient<float>;
extern template class DericheGradient<double>;
extern template class DericheGradient<long double>;
