#include "numerics/polynomial.h"

#include "linalgsupport.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace linalg;

namespace {

// Every exponent tuple of at most `degree` in `dimension` variables, in
// decreasing lexicographic order, by brute force.
std::vector<std::vector<int>> allExponents(int degree, int dimension)
{
    std::vector<std::vector<int>> out;
    std::vector<int> e(static_cast<std::size_t>(dimension), 0);
    // Odometer over [0, degree]^dimension, most significant digit first.
    for (;;) {
        int sum = 0;
        for (int x : e)
            sum += x;
        if (sum <= degree)
            out.push_back(e);
        int i = dimension - 1;
        while (i >= 0 && e[static_cast<std::size_t>(i)] == degree)
            e[static_cast<std::size_t>(i--)] = 0;
        if (i < 0)
            break;
        ++e[static_cast<std::size_t>(i)];
    }
    std::reverse(out.begin(), out.end());
    return out;
}

// Direct evaluation: sum of c * prod x_k^e_k with std::pow.
template <typename T>
T directEval(const Polynomial<T>& p, const Vector<T>& x)
{
    T s = T(0);
    for (int k = 0; k < p.numTerms(); ++k) {
        const std::vector<int> e = p.getExponents(k);
        T term = p.getCoeffs()[k];
        for (int v = 0; v < p.getDimension(); ++v)
            term *= std::pow(x[v], static_cast<T>(e[static_cast<std::size_t>(v)]));
        s += term;
    }
    return s;
}

template <typename T>
Polynomial<T> randomPolynomial(int degree, int dimension, std::mt19937& rng)
{
    Polynomial<T> p(degree, dimension);
    p.setCoeffs(randomVector<T>(p.numTerms(), rng));
    return p;
}

template <typename T>
std::vector<Vector<T>> randomPoints(int count, int dimension, std::mt19937& rng)
{
    std::vector<Vector<T>> points;
    for (int i = 0; i < count; ++i)
        points.push_back(randomVector<T>(dimension, rng));
    return points;
}

TEST(Polynomial, TermOrderLocateAndCoefficients)
{
    // The index against brute-force enumeration for several shapes.
    for (int dimension = 1; dimension <= 4; ++dimension)
        for (int degree = 0; degree <= 5; ++degree) {
            const Polynomial<float> q(degree, dimension);
            const auto expected = allExponents(degree, dimension);
            ASSERT_EQ(q.numTerms(), static_cast<int>(expected.size()));
            for (int k = 0; k < q.numTerms(); ++k) {
                const std::vector<int>& e = expected[static_cast<std::size_t>(k)];
                EXPECT_EQ(q.getExponents(k), e);
                EXPECT_EQ(q.locate(e.data()), k);
            }
        }
    Polynomial<double> p(3, 2);
    EXPECT_EQ(p.locate(" 0 , 3 "), 6);
    for (const char* absent : {"3,1", "1", "-1,0"})
        EXPECT_EQ(p.locate(absent), -1) << absent;
    EXPECT_PLEXAN_THROW(p.locate("1;0"), ValueError, "int Polynomial<T>::locate(const std::string&) const",
                        "Malformed exponent list \"1;0\"");
    EXPECT_PLEXAN_THROW(p.getCoeff("4,0"), RangeError, "T Polynomial<T>::getCoeff(...) const",
                        "No such term in this polynomial: 4,0");
    p.setCoeff("2,1", 5.0);
    const int e[] = {0, 0};
    p.setCoeff(e, -1.0);
    EXPECT_EQ(p.eval(Vector<double>{2, 3}), 59.0) << "5 x^2 y - 1 at (2, 3)";
    p.reset(3, 2);
    EXPECT_EQ(p.getCoeffs(), Vector<double>(10u) * 0.0) << "reset zeroes the coefficients";
    EXPECT_PLEXAN_THROW(Polynomial<double>(-1, 2), ValueError, "void Polynomial<T>::reset(const int, const int)",
                        "Negative degree or dimension");
    EXPECT_THROW(Polynomial<double>(1000, 40), SizeError);
    EXPECT_PLEXAN_THROW(p.eval(Vector<double>{1}), SizeError, "T Polynomial<T>::eval(const Vector<T>&) const",
                        "Incompatible point and polynomial dimensions");
}

template <typename T>
class PolynomialAlgebra : public ::testing::Test {};
TYPED_TEST_SUITE(PolynomialAlgebra, RealTypes);

TYPED_TEST(PolynomialAlgebra, EvaluationAgreesWithPowers)
{
    using T = TypeParam;
    std::mt19937 rng(51);
    for (int dimension = 1; dimension <= 4; ++dimension)
        for (int degree = 0; degree <= 5; ++degree) {
            const Polynomial<T> p = randomPolynomial<T>(degree, dimension, rng);
            for (const Vector<T>& x : randomPoints<T>(5, dimension, rng))
                EXPECT_NEAR(p.eval(x), directEval(p, x), tolerance<T>() * p.numTerms());
        }
}

TYPED_TEST(PolynomialAlgebra, DerivativeAndArithmetic)
{
    using T = TypeParam;
    std::mt19937 rng(52);
    for (int dimension = 1; dimension <= 3; ++dimension)
        for (int degree = 1; degree <= 4; ++degree) {
            const Polynomial<T> p = randomPolynomial<T>(degree, dimension, rng);
            for (int k = 0; k < dimension; ++k) {
                const Polynomial<T> d = p.derivative(k);
                EXPECT_EQ(d.getDegree(), degree - 1);
                for (const Vector<T>& x : randomPoints<T>(3, dimension, rng)) {
                    // Term by term: c e_k x_k^(e_k - 1) prod_{v != k} x_v^e_v.
                    T expected = T(0);
                    for (int t = 0; t < p.numTerms(); ++t) {
                        const std::vector<int> e = p.getExponents(t);
                        if (e[static_cast<std::size_t>(k)] == 0)
                            continue;
                        T term = p.getCoeffs()[t] * static_cast<T>(e[static_cast<std::size_t>(k)]);
                        for (int v = 0; v < dimension; ++v)
                            term *= std::pow(x[v], static_cast<T>(e[static_cast<std::size_t>(v)] - (v == k)));
                        expected += term;
                    }
                    EXPECT_NEAR(d.eval(x), expected, tolerance<T>() * p.numTerms() * degree);
                }
            }
            const Polynomial<T> q = randomPolynomial<T>(degree, dimension, rng);
            const Vector<T> x = randomVector<T>(dimension, rng);
            EXPECT_NEAR((p + q).eval(x), p.eval(x) + q.eval(x), tolerance<T>() * 10);
            EXPECT_NEAR((p - q * T(2)).eval(x), p.eval(x) - T(2) * q.eval(x), tolerance<T>() * 10);
            EXPECT_NEAR((T(3) * p / T(2)).eval(x), T(1.5) * p.eval(x), tolerance<T>() * 10);
        }
    EXPECT_EQ(randomPolynomial<T>(0, 2, rng).derivative(1).getCoeffs(), Vector<T>({0})) << "of degree 0";
    EXPECT_PLEXAN_THROW(Polynomial<T>(2, 2).derivative(2), RangeError,
                        "Polynomial<T> Polynomial<T>::derivative(const int) const", "Index of derivation out of range");
    Polynomial<T> a(2, 2);
    EXPECT_PLEXAN_THROW(a += Polynomial<T>(1, 2), SizeError, "void Polynomial<T>::operator+=(const Polynomial&)",
                        "Incompatible polynomial degrees or dimensions");
}

TYPED_TEST(PolynomialAlgebra, GramSchmidtMakesTheBasisOrthogonal)
{
    using T = TypeParam;
    std::mt19937 rng(53);
    std::vector<Polynomial<T>> basis;
    Polynomial<T>::buildBasis(2, 3, basis);
    ASSERT_EQ(basis.size(), 10u);
    for (int k = 0; k < 10; ++k) {
        Vector<T> expected(10u);
        expected.setCanonical(9 - k);
        EXPECT_EQ(basis[static_cast<std::size_t>(k)].getCoeffs(), expected);
    }
    const std::vector<Vector<T>> points = randomPoints<T>(40, 3, rng);
    std::vector<Polynomial<T>> orthogonal;
    Polynomial<T>::gramSchmidt(basis, points, orthogonal);
    ASSERT_EQ(orthogonal.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        const T ni = orthogonal[i].innerProduct(orthogonal[i], points);
        EXPECT_GT(ni, T(0.01));
        for (std::size_t j = 0; j < i; ++j) {
            const T nj = orthogonal[j].innerProduct(orthogonal[j], points);
            EXPECT_NEAR(orthogonal[i].innerProduct(orthogonal[j], points) / std::sqrt(ni * nj), T(0),
                        tolerance<T>() * 10);
        }
    }
    // Modified Gram-Schmidt keeps the leading term: q_i - p_i is made of
    // earlier basis terms only.
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(orthogonal[i].getCoeffs()[9 - static_cast<int>(i)], T(1));

    std::vector<Polynomial<T>> mixed{Polynomial<T>(2, 3), Polynomial<T>(2, 2)};
    EXPECT_PLEXAN_THROW(Polynomial<T>::gramSchmidt(mixed, points, orthogonal), SizeError,
                        "void Polynomial<T>::gramSchmidt(...)", "Dimension mismatch");
    std::vector<Vector<T>> ragged{Vector<T>{1, 2, 3}, Vector<T>{1, 2}};
    EXPECT_PLEXAN_THROW(Polynomial<T>::gramSchmidt(basis, ragged, orthogonal), SizeError,
                        "void Polynomial<T>::gramSchmidt(...)", "Size mismatch");
}

TYPED_TEST(PolynomialAlgebra, ApproximationReproducesPolynomials)
{
    using T = TypeParam;
    std::mt19937 rng(54);
    for (auto [dimension, degree] : {std::pair{1, 1}, {1, 4}, {2, 1}, {2, 3}, {3, 2}, {3, 3}}) {
        const Polynomial<T> p = randomPolynomial<T>(degree, dimension, rng);
        const std::vector<Vector<T>> points = randomPoints<T>(3 * p.numTerms() + 5, dimension, rng);
        Vector<T> values(static_cast<unsigned>(points.size()));
        for (std::size_t i = 0; i < points.size(); ++i)
            values[static_cast<int>(i)] = p.eval(points[i]);
        Polynomial<T> fit;
        fit.approximate(points, values, degree);
        ASSERT_EQ(fit.getDegree(), degree);
        ASSERT_EQ(fit.getDimension(), dimension);
        const T tol = std::is_same_v<T, float> ? T(2e-2) : tolerance<T>() * 1000;
        EXPECT_LE(maxAbsDiff<T>(fit.getCoeffs(), p.getCoeffs()), tol) << dimension << "D, degree " << degree;
    }
    Polynomial<T> fit;
    std::vector<Polynomial<T>> basis;
    Polynomial<T>::buildBasis(1, 1, basis);
    EXPECT_PLEXAN_THROW(fit.approximate(basis, randomPoints<T>(3, 1, rng), Vector<T>{1, 2}), SizeError,
                        "void Polynomial<T>::approximate(const vector<Polynomial>&,const vector<Vector<T> >&,const "
                        "Vector<T>&)",
                        "Sizes of input vectors x and y differ.");
}

TEST(Polynomial, CollinearPointsDiscardABasisPolynomial)
{
    // Three points on the line y = 2x: x and y are one and the same function
    // on them, so one of the three basis polynomials 1, y, x is discarded.
    const std::vector<Vector<double>> points{Vector<double>{0, 0}, Vector<double>{1, 2}, Vector<double>{3, 6}};
    const Vector<double> values{1, 4, 10}; // 1 + 3x on the line
    Polynomial<double> fit;
    testing::internal::CaptureStderr();
    fit.approximate(points, values, 1);
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warning, "Polynomial<T>::gramSchmidt(...): warning: 1 polynomial(s) discarded.\nepsilon = 3e-15\n");
    for (std::size_t i = 0; i < points.size(); ++i)
        EXPECT_NEAR(fit.eval(points[i]), values[static_cast<int>(i)], 1e-12);
}

TEST(Polynomial, PrintListsShapeAndCoefficients)
{
    Polynomial<double> p(1, 2);
    p.setCoeffs(Vector<double>{1.5, -2, 3});
    std::ostringstream out;
    p.print("P", out);
    EXPECT_EQ(out.str(), "P\n  Dimension 2\n  Degree    1\n  Terms     3\n  Coeffs    1.5 -2 3 \n");
}

} // namespace
