#include "statistics/polynomialwarp.h"

#include "numerics/exception.h"
#include "statistics/shapetransform.h"

#include <cmath>
#include <vector>

namespace {

template <typename T>
std::vector<const Vector<T>*> verticesOf(const Shape<T>& shape)
{
    std::vector<const Vector<T>*> out;
    out.reserve(static_cast<std::size_t>(shape.getNumVertices()));
    for (ConstVertexIterator<T> it(shape); it.current(); ++it)
        out.push_back(it.current());
    return out;
}

} // namespace

template <typename T>
PolynomialWarp<T>::PolynomialWarp(int degree)
{
    setDegree(degree);
    m_centre.setZeros(3);
    m_point.setZeros(3);
}

template <typename T>
void PolynomialWarp<T>::setDegree(int degree)
{
    if (degree < 0)
        throw ValueError("void PolynomialWarp<T>::setDegree(int)", "The degree must not be negative");
    m_degree = degree;
    for (int a = 0; a < 3; ++a) {
        m_polynomials[a].reset(degree, 3);
        for (int b = 0; b < 3; ++b)
            m_derivatives[a][b] = m_polynomials[a].derivative(b);
    }
}

template <typename T>
void PolynomialWarp<T>::fit(const Shape<T>& source, const Shape<T>& target)
{
    const char* where = "void PolynomialWarp<T>::fit(const Shape<T>&,const Shape<T>&)";
    const auto from = verticesOf(source);
    const auto to = verticesOf(target);
    if (from.size() != to.size())
        throw SizeError(where, "Source and target shapes have distinct sizes");
    if (from.empty())
        throw SizeError(where, "No points to fit");
    const std::size_t n = from.size();
    for (std::size_t i = 0; i < n; ++i)
        if (from[i]->getSize() != 3 || to[i]->getSize() != 3)
            throw SizeError(where, "Incompatible vector dimensions");

    Real centre[3] = {0, 0, 0};
    for (const Vector<T>* x : from)
        for (int a = 0; a < 3; ++a)
            centre[a] += static_cast<Real>((*x)[a]);
    for (Real& c : centre)
        c /= static_cast<Real>(n);
    Real radius = 0;
    for (const Vector<T>* x : from)
        for (int a = 0; a < 3; ++a) {
            const Real d = static_cast<Real>((*x)[a]) - centre[a];
            radius += d * d;
        }
    radius = std::sqrt(radius / static_cast<Real>(n));
    m_scale = radius > Real(0) ? radius : Real(1);
    for (int a = 0; a < 3; ++a)
        m_centre[a] = centre[a];

    std::vector<Vector<Real>> points(n, Vector<Real>(3u));
    Vector<Real> displacements[3] = {Vector<Real>(static_cast<unsigned int>(n)),
                                     Vector<Real>(static_cast<unsigned int>(n)),
                                     Vector<Real>(static_cast<unsigned int>(n))};
    for (std::size_t i = 0; i < n; ++i)
        for (int a = 0; a < 3; ++a) {
            points[i][a] = (static_cast<Real>((*from[i])[a]) - centre[a]) / m_scale;
            displacements[a][static_cast<int>(i)] =
                static_cast<Real>((*to[i])[a]) - static_cast<Real>((*from[i])[a]);
        }
    std::vector<Polynomial<Real>> basis;
    Polynomial<Real>::buildBasis(m_degree, 3, basis);
    Polynomial<Real>::gramSchmidt(basis, points, basis);
    for (int a = 0; a < 3; ++a) {
        m_polynomials[a].approximate(basis, points, displacements[a]);
        for (int b = 0; b < 3; ++b)
            m_derivatives[a][b] = m_polynomials[a].derivative(b);
    }
}

template <typename T>
void PolynomialWarp<T>::evaluate(const Vector<T>& x, Real* displacement, Real* jacobian) const
{
    if (x.getSize() != 3)
        throw SizeError("Vector<T> PolynomialWarp<T>::transform(const Vector<T>&) const",
                        "Incompatible vector dimensions");
    for (int a = 0; a < 3; ++a)
        m_point[a] = (static_cast<Real>(x[a]) - m_centre[a]) / m_scale;
    if (displacement)
        for (int a = 0; a < 3; ++a)
            displacement[a] = m_polynomials[a].eval(m_point);
    if (jacobian)
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                jacobian[3 * a + b] = (a == b ? Real(1) : Real(0)) + m_derivatives[a][b].eval(m_point) / m_scale;
}

namespace {

template <typename R>
R determinant3(const R* m)
{
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}

} // namespace

template <typename T>
Vector<T> PolynomialWarp<T>::transform(const Vector<T>& x) const
{
    Real d[3];
    evaluate(x, d, nullptr);
    Vector<T> y(3u);
    for (int a = 0; a < 3; ++a)
        y[a] = static_cast<T>(static_cast<Real>(x[a]) + d[a]);
    return y;
}

template <typename T>
T PolynomialWarp<T>::jacobianDeterminant(const Vector<T>& x) const
{
    Real j[9];
    evaluate(x, nullptr, j);
    return static_cast<T>(determinant3(j));
}

template <typename T>
void PolynomialWarp<T>::apply(Shape<T>& shape, long long& evaluations, long long& jacobianErrors) const
{
    plexan::transformShape(shape, [&](Vector<T>& x) {
        Real d[3];
        Real j[9];
        evaluate(x, d, j);
        ++evaluations;
        if (!(determinant3(j) > Real(0)))
            ++jacobianErrors;
        for (int a = 0; a < 3; ++a)
            x[a] = static_cast<T>(static_cast<Real>(x[a]) + d[a]);
    });
}

template <typename T>
void PolynomialWarp<T>::apply(Shape<T>& shape) const
{
    long long evaluations = 0;
    long long errors = 0;
    apply(shape, evaluations, errors);
}

#define PLEXAN_INSTANTIATE(T) template class PolynomialWarp<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
