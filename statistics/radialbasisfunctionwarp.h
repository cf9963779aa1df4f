#pragma once
// RadialBasisFunctionWarp<T>: a thin-plate spline of 3D space,
//
//     f(x) = x + sum_i w_i phi(|u - u_i|) + a + A u,   u = (x - centre) / scale,
//
// with the 3D thin-plate kernel phi(r) = r (the fundamental solution of the
// biharmonic operator in three dimensions: among all interpolants it has
// the least bending energy). Fitting solves for the weights and the affine
// part so that every control point goes exactly onto its destination, with
// the side conditions sum w_i = 0 and sum w_i u_i = 0; a regularisation
// lambda > 0 (added to the kernel's diagonal) trades exactness for
// smoothness. Coordinates are centred on the control points and scaled by
// their RMS radius, and the system is solved in double (long double for
// long double shapes).
//
// Repeated control points are kept once. Beyond the maximum number of
// control points an evenly spaced subset is used, which keeps the dense
// solve (cubic in the number of points) bounded.

#include "geometry/coordinates.h"
#include "geometry/shape.h"

#include <vector>

template <typename T>
class RadialBasisFunctionWarp {
public:
    using Real = plexan::Accumulator<T>;

    void setRegularization(T lambda) { m_lambda = lambda; }
    T getRegularization() const { return m_lambda; }
    void setMaximumControlPoints(int n) { m_maximumControlPoints = n; }
    int getMaximumControlPoints() const { return m_maximumControlPoints; }

    // Fits the spline carrying every vertex of source onto the vertex of
    // target at the same position: both in 3D with the same vertex count
    // (SizeError otherwise). MathError when the control points are
    // degenerate (all in one plane).
    void fit(const Shape<T>& source, const Shape<T>& target);
    int getNumControlPoints() const { return static_cast<int>(m_controls.size() / 3); }

    Vector<T> transform(const Vector<T>& x) const;
    // Moves every vertex of shape (and of a mesh's caps).
    void apply(Shape<T>& shape) const;

    static Real kernel(Real r) { return r; }

private:
    void displacement(const T* x, Real* d) const;

    T m_lambda = T(0);
    int m_maximumControlPoints = 1500;
    Real m_centre[3] = {0, 0, 0};
    Real m_scale = 1;
    // Control points (normalised), 3 per point; weights, 3 per point; affine
    // part, 4 rows of 3 (constant, then one per coordinate).
    std::vector<Real> m_controls;
    std::vector<Real> m_weights;
    Real m_affine[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
};

#define PLEXAN_EXTERN_RBF_WARP(T) extern template class RadialBasisFunctionWarp<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_RBF_WARP)
#undef PLEXAN_EXTERN_RBF_WARP
