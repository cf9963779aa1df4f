#include "numerics/polynomial.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr long long kMaxTerms = 1LL << 24;

template <typename E>
[[noreturn]] void raise(const char* where, const std::string& what)
{
    E e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

// Parses "e1,e2,...": decimal integers, optionally signed and surrounded by
// blanks, separated by commas. Returns false on anything else.
bool parseExponents(const std::string& text, std::vector<int>& out)
{
    out.clear();
    std::size_t i = 0;
    const std::size_t n = text.size();
    for (;;) {
        while (i < n && text[i] == ' ')
            ++i;
        bool negative = false;
        if (i < n && (text[i] == '-' || text[i] == '+'))
            negative = text[i++] == '-';
        const std::size_t start = i;
        long long value = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i] - '0');
            if (value > 1000000000LL)
                return false;
            ++i;
        }
        if (i == start)
            return false;
        out.push_back(static_cast<int>(negative ? -value : value));
        while (i < n && text[i] == ' ')
            ++i;
        if (i == n)
            return true;
        if (text[i] != ',')
            return false;
        ++i;
    }
}

} // namespace

template <typename T>
Polynomial<T>::Polynomial(int degree, int dimension)
{
    reset(degree, dimension);
}

template <typename T>
void Polynomial<T>::reset(int degree, int dimension)
{
    if (degree != m_degree || dimension != m_dimension) {
        static constexpr const char* where = "void Polynomial<T>::reset(const int, const int)";
        if (degree < 0 || dimension < 0)
            raise<ValueError>(where, "Negative degree or dimension");
        // Pascal's rule, stopping as soon as a count exceeds the limit.
        std::vector<long long> counts(static_cast<std::size_t>(dimension + 1) * static_cast<std::size_t>(degree + 1));
        auto at = [&](int v, int r) -> long long& {
            return counts[static_cast<std::size_t>(v) * static_cast<std::size_t>(degree + 1) + static_cast<std::size_t>(r)];
        };
        for (int v = 0; v <= dimension; ++v)
            for (int r = 0; r <= degree; ++r) {
                at(v, r) = v == 0 || r == 0 ? 1 : at(v - 1, r) + at(v, r - 1);
                if (at(v, r) > kMaxTerms)
                    raise<SizeError>(where, "Too many terms for degree " + std::to_string(degree) + " and dimension "
                                                + std::to_string(dimension));
            }
        m_degree = degree;
        m_dimension = dimension;
        m_counts = std::move(counts);
        m_coeffs.setSize(dimension == 0 ? 0 : static_cast<int>(countTerms(dimension, degree)));
    }
    m_coeffs.setZeros();
}

template <typename T>
int Polynomial<T>::locate(const int* exponents) const
{
    if (m_dimension == 0)
        return -1;
    long long position = 0;
    int remaining = m_degree;
    for (int level = 0; level < m_dimension; ++level) {
        const int e = exponents[level];
        if (e < 0 || e > remaining)
            return -1;
        // Skip the blocks of first exponents remaining, ..., e + 1: together
        // C(remaining - e + v, v + 1) terms, which is countTerms(v + 1, remaining - e - 1).
        const int v = m_dimension - level - 1;
        if (e < remaining)
            position += countTerms(v + 1, remaining - e - 1);
        remaining -= e;
    }
    return static_cast<int>(position);
}

template <typename T>
int Polynomial<T>::locate(const std::string& exponents) const
{
    std::vector<int> e;
    if (!parseExponents(exponents, e))
        raise<ValueError>("int Polynomial<T>::locate(const std::string&) const",
                          "Malformed exponent list \"" + exponents + "\"");
    if (static_cast<int>(e.size()) != m_dimension)
        return -1;
    return locate(e.data());
}

template <typename T>
std::vector<int> Polynomial<T>::getExponents(int k) const
{
    if (k < 0 || k >= numTerms())
        raise<RangeError>("std::vector<int> Polynomial<T>::getExponents(const int) const", "Term index out of range");
    std::vector<int> e(static_cast<std::size_t>(m_dimension), 0);
    long long position = k;
    int remaining = m_degree;
    for (int level = 0; level < m_dimension; ++level) {
        const int v = m_dimension - level - 1;
        int a = remaining;
        while (position >= countTerms(v, remaining - a)) {
            position -= countTerms(v, remaining - a);
            --a;
        }
        e[static_cast<std::size_t>(level)] = a;
        remaining -= a;
    }
    return e;
}

template <typename T>
T Polynomial<T>::getCoeff(const int* exponents) const
{
    const int k = locate(exponents);
    if (k < 0)
        raise<RangeError>("T Polynomial<T>::getCoeff(...) const", "No such term in this polynomial");
    return m_coeffs[k];
}

template <typename T>
T Polynomial<T>::getCoeff(const std::string& exponents) const
{
    const int k = locate(exponents);
    if (k < 0)
        raise<RangeError>("T Polynomial<T>::getCoeff(...) const", "No such term in this polynomial: " + exponents);
    return m_coeffs[k];
}

template <typename T>
void Polynomial<T>::setCoeff(const int* exponents, T value)
{
    const int k = locate(exponents);
    if (k < 0)
        raise<RangeError>("void Polynomial<T>::setCoeff(...)", "No such term in this polynomial");
    m_coeffs[k] = value;
}

template <typename T>
void Polynomial<T>::setCoeff(const std::string& exponents, T value)
{
    const int k = locate(exponents);
    if (k < 0)
        raise<RangeError>("void Polynomial<T>::setCoeff(...)", "No such term in this polynomial: " + exponents);
    m_coeffs[k] = value;
}

template <typename T>
void Polynomial<T>::setCoeffs(const Vector<T>& coeffs)
{
    if (coeffs.getSize() != numTerms())
        raise<SizeError>("void Polynomial<T>::setCoeffs(const Vector<T>&)",
                         "Incompatible coefficient vector and polynomial dimensions");
    m_coeffs = coeffs;
}

// Arithmetic -------------------------------------------------------------------

template <typename T>
void Polynomial<T>::checkMatching(const Polynomial& q, const char* where) const
{
    if (q.m_degree != m_degree || q.m_dimension != m_dimension)
        raise<SizeError>(where, "Incompatible polynomial degrees or dimensions");
}

template <typename T>
Polynomial<T> Polynomial<T>::operator+(const Polynomial& q) const
{
    checkMatching(q, "Polynomial<T> Polynomial<T>::operator+(const Polynomial&) const");
    Polynomial out(*this);
    out.m_coeffs += q.m_coeffs;
    return out;
}

template <typename T>
Polynomial<T> Polynomial<T>::operator-(const Polynomial& q) const
{
    checkMatching(q, "Polynomial<T> Polynomial<T>::operator-(const Polynomial&) const");
    Polynomial out(*this);
    out.m_coeffs -= q.m_coeffs;
    return out;
}

template <typename T>
void Polynomial<T>::operator+=(const Polynomial& q)
{
    checkMatching(q, "void Polynomial<T>::operator+=(const Polynomial&)");
    m_coeffs += q.m_coeffs;
}

template <typename T>
void Polynomial<T>::operator-=(const Polynomial& q)
{
    checkMatching(q, "void Polynomial<T>::operator-=(const Polynomial&)");
    m_coeffs -= q.m_coeffs;
}

template <typename T>
Polynomial<T> Polynomial<T>::operator*(T x) const
{
    Polynomial out(*this);
    out.m_coeffs *= x;
    return out;
}

template <typename T>
Polynomial<T> Polynomial<T>::operator/(T x) const
{
    Polynomial out(*this);
    out.m_coeffs /= x;
    return out;
}

template <typename T>
void Polynomial<T>::operator*=(T x)
{
    m_coeffs *= x;
}

template <typename T>
void Polynomial<T>::operator/=(T x)
{
    m_coeffs /= x;
}

// Evaluation and calculus --------------------------------------------------------

// The terms of variables level.. of degree at most `remaining`, whose
// coefficients start at c: a Horner scheme in x[level] over the blocks of
// its exponents remaining, ..., 0, each block evaluated the same way over the
// next variables. Advances c past the terms used.
template <typename T>
T Polynomial<T>::evalLevel(const T*& c, int level, int remaining, const T* x) const
{
    const T xl = x[level];
    if (level == m_dimension - 1) {
        T s = c[0];
        for (int i = 1; i <= remaining; ++i)
            s = s * xl + c[i];
        c += remaining + 1;
        return s;
    }
    T s = evalLevel(c, level + 1, 0, x);
    for (int e = remaining - 1; e >= 0; --e)
        s = s * xl + evalLevel(c, level + 1, remaining - e, x);
    return s;
}

template <typename T>
T Polynomial<T>::eval(const Vector<T>& point) const
{
    if (point.getSize() != m_dimension)
        raise<SizeError>("T Polynomial<T>::eval(const Vector<T>&) const",
                         "Incompatible point and polynomial dimensions");
    if (m_dimension == 0)
        return T(0);
    const T* c = m_coeffs.data();
    return evalLevel(c, 0, m_degree, point.data());
}

template <typename T>
Polynomial<T> Polynomial<T>::derivative(int k) const
{
    if (k < 0 || k >= m_dimension)
        raise<RangeError>("Polynomial<T> Polynomial<T>::derivative(const int) const", "Index of derivation out of range");
    if (m_degree == 0)
        return Polynomial(0, m_dimension);
    Polynomial out(m_degree - 1, m_dimension);
    for (int t = 0; t < numTerms(); ++t) {
        if (m_coeffs[t] == T(0))
            continue;
        std::vector<int> e = getExponents(t);
        const int ek = e[static_cast<std::size_t>(k)];
        if (ek == 0)
            continue;
        e[static_cast<std::size_t>(k)] = ek - 1;
        out.m_coeffs[out.locate(e.data())] += m_coeffs[t] * static_cast<T>(ek);
    }
    return out;
}

template <typename T>
T Polynomial<T>::innerProduct(const Polynomial& q, const std::vector<Vector<T>>& points) const
{
    T s = T(0);
    if (&q == this) {
        for (const Vector<T>& x : points) {
            const T v = eval(x);
            s += v * v;
        }
    } else {
        for (const Vector<T>& x : points)
            s += eval(x) * q.eval(x);
    }
    return s;
}

// Fitting --------------------------------------------------------------------------

template <typename T>
void Polynomial<T>::buildBasis(int degree, int dimension, std::vector<Polynomial>& basis)
{
    const Polynomial zero(degree, dimension);
    const int n = zero.numTerms();
    basis.assign(static_cast<std::size_t>(n), zero);
    for (int k = 0; k < n; ++k)
        basis[static_cast<std::size_t>(k)].m_coeffs[n - 1 - k] = T(1);
}

template <typename T>
void Polynomial<T>::gramSchmidt(const std::vector<Polynomial>& basis, const std::vector<Vector<T>>& points,
                                std::vector<Polynomial>& orthogonal)
{
    static constexpr const char* where = "void Polynomial<T>::gramSchmidt(...)";
    for (const Polynomial& p : basis) {
        if (p.m_degree != basis.front().m_degree)
            raise<SizeError>(where, "Degree mismatch");
        if (p.m_dimension != basis.front().m_dimension)
            raise<SizeError>(where, "Dimension mismatch");
    }
    for (const Vector<T>& x : points)
        if (x.getSize() != points.front().getSize() || (!basis.empty() && x.getSize() != basis.front().m_dimension))
            raise<SizeError>(where, "Size mismatch");

    const int count = static_cast<int>(basis.size());
    const int npoints = static_cast<int>(points.size());
    const T threshold = Vector<T>::epsilon() * static_cast<T>(count);
    std::vector<Polynomial> out(basis);
    std::vector<Vector<T>> values(static_cast<std::size_t>(count));
    std::vector<T> norms(static_cast<std::size_t>(count), T(0));
    int discarded = 0;
    for (int i = 0; i < count; ++i) {
        Polynomial& q = out[static_cast<std::size_t>(i)];
        Vector<T>& vi = values[static_cast<std::size_t>(i)];
        vi.setSize(npoints);
        for (int k = 0; k < npoints; ++k)
            vi[k] = q.eval(points[static_cast<std::size_t>(k)]);
        for (int j = 0; j < i; ++j) {
            const T nj = norms[static_cast<std::size_t>(j)];
            if (!(nj > threshold))
                continue;
            const Vector<T>& vj = values[static_cast<std::size_t>(j)];
            const T c = vi.scalarProduct(vj) / nj;
            q.m_coeffs -= out[static_cast<std::size_t>(j)].m_coeffs * c;
            for (int k = 0; k < npoints; ++k)
                vi[k] -= c * vj[k];
        }
        norms[static_cast<std::size_t>(i)] = vi.snorm();
        if (!(norms[static_cast<std::size_t>(i)] > threshold))
            ++discarded;
    }
    if (discarded > 0)
        std::cerr << "Polynomial<T>::gramSchmidt(...): warning: " << discarded << " polynomial(s) discarded."
                  << std::endl
                  << "epsilon = " << threshold << std::endl;
    orthogonal = std::move(out);
}

template <typename T>
void Polynomial<T>::approximate(const std::vector<Polynomial>& basis, const std::vector<Vector<T>>& points,
                                const Vector<T>& values)
{
    if (values.getSize() != static_cast<int>(points.size()))
        raise<SizeError>("void Polynomial<T>::approximate(const vector<Polynomial>&,const vector<Vector<T> >&,const "
                         "Vector<T>&)",
                         "Sizes of input vectors x and y differ.");
    if (basis.empty()) {
        m_coeffs.setZeros();
        return;
    }
    reset(basis.front().m_degree, basis.front().m_dimension);
    const T threshold = Vector<T>::epsilon() * static_cast<T>(numTerms());
    for (auto q = basis.rbegin(); q != basis.rend(); ++q) {
        T a = T(0);
        T b = T(0);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const T v = q->eval(points[i]);
            a += values[static_cast<int>(i)] * v;
            b += v * v;
        }
        if (std::abs(b) > threshold)
            *this += *q * (a / b);
    }
}

template <typename T>
void Polynomial<T>::approximate(const std::vector<Vector<T>>& points, const Vector<T>& values, int degree)
{
    if (points.empty())
        raise<SizeError>("void Polynomial<T>::approximate(const vector<Vector<T> >&,const Vector<T>&,const int)",
                         "No points to approximate");
    std::vector<Polynomial> basis;
    buildBasis(degree, points.front().getSize(), basis);
    gramSchmidt(basis, points, basis);
    approximate(basis, points, values);
}

template <typename T>
void Polynomial<T>::print(const std::string& label, std::ostream& stream) const
{
    stream << (label.empty() ? std::string("Polynomial ") : label) << std::endl;
    stream << "  Dimension " << m_dimension << std::endl;
    stream << "  Degree    " << m_degree << std::endl;
    stream << "  Terms     " << numTerms() << std::endl;
    stream << "  Coeffs    ";
    for (const T& c : m_coeffs)
        stream << c << ' ';
    stream << std::endl;
}

template class Polynomial<float>;
template class Polynomial<double>;
template class Polynomial<long double>;
