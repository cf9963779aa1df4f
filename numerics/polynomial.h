#pragma once
// Polynomial<T>: a polynomial in `dimension` variables of total degree at most
// `degree`, with least-squares fitting over a basis made orthogonal on the
// data points. Instantiated for float, double and long double.
//
// Terms are ordered by decreasing lexicographic order of their exponent tuples
// (e1, ..., ed): with two variables and degree 2 the terms are x^2, xy, x,
// y^2, y, 1, so the constant term always comes last. A polynomial has
// C(degree + dimension, dimension) terms, none when its dimension is 0.

#include "numerics/vector.h"

#include <iostream>
#include <string>
#include <vector>

template <typename T>
class Polynomial {
public:
    // All coefficients 0. ValueError for a negative degree or dimension,
    // SizeError beyond 2^24 terms.
    explicit Polynomial(int degree = 0, int dimension = 0);

    // Rebuilds the term index when the degree or the dimension changes and
    // zeroes the coefficients in any case.
    void reset(int degree, int dimension);

    int getDegree() const { return m_degree; }
    int getDimension() const { return m_dimension; }
    int numTerms() const { return m_coeffs.getSize(); }

    // Position of the term with these `dimension` exponents; -1 when they do
    // not name a term of this polynomial.
    int locate(const int* exponents) const;
    // The same from decimal exponents separated by commas, such as "2,0";
    // ValueError when the text is not such a list.
    int locate(const std::string& exponents) const;
    // The exponents of the term at position k.
    std::vector<int> getExponents(int k) const;

    // RangeError for exponents that name no term.
    T getCoeff(const int* exponents) const;
    T getCoeff(const std::string& exponents) const;
    void setCoeff(const int* exponents, T value);
    void setCoeff(const std::string& exponents, T value);
    // All coefficients in term order.
    const Vector<T>& getCoeffs() const { return m_coeffs; }
    void setCoeffs(const Vector<T>& coeffs);

    // Sums need the same degree and dimension (SizeError otherwise).
    Polynomial operator+(const Polynomial& q) const;
    Polynomial operator-(const Polynomial& q) const;
    void operator+=(const Polynomial& q);
    void operator-=(const Polynomial& q);
    Polynomial operator*(T x) const;
    Polynomial operator/(T x) const;
    void operator*=(T x);
    void operator/=(T x);

    // The value at a point of `dimension` coordinates, by nested Horner
    // schemes along the term order (no powers are computed).
    T eval(const Vector<T>& point) const;
    // The partial derivative along variable k (0-based): a polynomial of
    // degree - 1 (the zero polynomial of degree 0 for a constant).
    Polynomial derivative(int k) const;
    // Sum over the points of p(x) q(x).
    T innerProduct(const Polynomial& q, const std::vector<Vector<T>>& points) const;

    // The numTerms monomials of a degree and dimension, with coefficient 1,
    // from the constant term up: basis[k] is the term at position
    // numTerms - 1 - k.
    static void buildBasis(int degree, int dimension, std::vector<Polynomial>& basis);
    // Modified Gram-Schmidt for the inner product over the points. Results
    // are orthogonal, not normalised; polynomials whose squared norm falls
    // to eps * (number of polynomials) or below stay in the output but are
    // reported on the standard error as discarded.
    static void gramSchmidt(const std::vector<Polynomial>& basis, const std::vector<Vector<T>>& points,
                            std::vector<Polynomial>& orthogonal);
    // Least-squares fit of values at the points over an orthogonal basis;
    // this polynomial takes the degree and dimension of the basis.
    void approximate(const std::vector<Polynomial>& basis, const std::vector<Vector<T>>& points,
                     const Vector<T>& values);
    // Least-squares fit of a polynomial of the given degree, in as many
    // variables as the points have coordinates.
    void approximate(const std::vector<Vector<T>>& points, const Vector<T>& values, int degree);

    void print(const std::string& label = "", std::ostream& stream = std::cout) const;

private:
    // Number of terms in v variables of degree at most r: C(r + v, v).
    long long countTerms(int v, int r) const
    {
        return m_counts[static_cast<std::size_t>(v) * static_cast<std::size_t>(m_degree + 1)
                        + static_cast<std::size_t>(r)];
    }
    T evalLevel(const T*& c, int level, int remaining, const T* x) const;
    void checkMatching(const Polynomial& q, const char* where) const;

    int m_degree = -1;
    int m_dimension = -1;
    Vector<T> m_coeffs;
    // The term index: block sizes C(r + v, v) for v = 0..dimension and
    // r = 0..degree. Terms whose first exponent is a form consecutive blocks
    // for a = degree, degree - 1, ..., 0, each laid out the same way over the
    // remaining variables.
    std::vector<long long> m_counts;
};

template <typename T>
Polynomial<T> operator*(T x, const Polynomial<T>& p)
{
    return p * x;
}

extern template class Polynomial<float>;
extern template class Polynomial<double>;
extern template class Polynomial<long double>;
