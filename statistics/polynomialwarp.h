#pragma once
// PolynomialWarp<T>: the non-rigid map x -> x + P(x) of 3D space, P being
// three polynomials of a chosen degree in the three coordinates, one per
// coordinate, fitted by least squares (over a basis made orthogonal on the
// points) to the displacements from source points to their target points.
// Degree 1 is an affine map.
//
// The polynomials are expressed in coordinates centred on the source points
// and scaled by their RMS radius, and fitted in double (long double for long
// double shapes), which keeps the fit well conditioned for coordinates far
// from the origin.
//
// Where the Jacobian determinant det(I + dP/dx) is not positive the warp
// folds space; apply() counts those vertices.

#include "geometry/shape.h"
#include "geometry/coordinates.h"
#include "numerics/polynomial.h"

template <typename T>
class PolynomialWarp {
public:
    using Real = plexan::Accumulator<T>;

    explicit PolynomialWarp(int degree = 1);

    void setDegree(int degree);
    int getDegree() const { return m_degree; }

    // Fits the warp that carries every vertex of source onto the vertex of
    // target at the same position: both in 3D, with the same vertex count
    // (SizeError otherwise) and at least one vertex.
    void fit(const Shape<T>& source, const Shape<T>& target);

    Vector<T> transform(const Vector<T>& x) const;
    T jacobianDeterminant(const Vector<T>& x) const;
    // Moves every vertex of shape (and of a mesh's caps), adding the number
    // of vertices moved to evaluations and the number where the Jacobian
    // determinant is not positive to jacobianErrors.
    void apply(Shape<T>& shape, long long& evaluations, long long& jacobianErrors) const;
    void apply(Shape<T>& shape) const;

    // The displacement polynomial of one coordinate, in the normalised
    // coordinates (x - centre) / scale.
    const Polynomial<Real>& getPolynomial(int axis) const { return m_polynomials[axis]; }
    const Vector<Real>& getCentre() const { return m_centre; }
    Real getScale() const { return m_scale; }

private:
    void evaluate(const Vector<T>& x, Real* displacement, Real* jacobian) const;

    int m_degree = 1;
    Vector<Real> m_centre;
    Real m_scale = 1;
    Polynomial<Real> m_polynomials[3];
    Polynomial<Real> m_derivatives[3][3];
    mutable Vector<Real> m_point;
};

#define PLEXAN_EXTERN_POLYNOMIAL_WARP(T) extern template class PolynomialWarp<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_POLYNOMIAL_WARP)
#undef PLEXAN_EXTERN_POLYNOMIAL_WARP
