// Householder and Givens building blocks, bidiagonalisation, singular value
// decomposition, least-squares solve and pseudo-inverse of Matrix<T>.

#include "numerics/squarematrix.h"

#include "linalgsupport.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <typeinfo>
#include <utility>

using namespace linalg;

namespace {

template <typename T>
class Decomposition : public ::testing::Test {};
TYPED_TEST_SUITE(Decomposition, RealTypes);

// The n x n reflection I - beta v v^T embedded at rows/columns first.. of an
// identity of size size.
template <typename T>
SquareMatrix<T> reflection(const Vector<T>& v, T beta, int first, int size)
{
    SquareMatrix<T> h = identity<T>(size);
    for (int i = 0; i < v.getSize(); ++i)
        for (int j = 0; j < v.getSize(); ++j)
            h(first + i, first + j) -= beta * v[i] * v[j];
    return h;
}

TYPED_TEST(Decomposition, GivensZeroesTheSecondComponent)
{
    using T = TypeParam;
    std::mt19937 rng(21);
    std::vector<std::pair<T, T>> cases{{T(3), T(0)}, {T(0), T(2)}, {T(-1), T(1)}, {T(1e-3), T(-5)}};
    for (int k = 0; k < 20; ++k) {
        const Vector<T> ab = randomVector<T>(2, rng);
        cases.emplace_back(ab[0], ab[1]);
    }
    for (const auto& [a, b] : cases) {
        T c, s;
        Matrix<T>::givens(c, s, a, b);
        EXPECT_NEAR(c * c + s * s, T(1), tolerance<T>());
        EXPECT_NEAR(s * a + c * b, T(0), tolerance<T>()) << a << ", " << b;
        EXPECT_NEAR(std::abs(c * a - s * b), std::hypot(a, b), tolerance<T>());

        // Rotating rows 0, 1 (or columns 0, 1 of the transpose) clears (1, 0).
        Matrix<T> m(2, 3);
        m[0] = Vector<T>{a, T(1), T(-3)};
        m[1] = Vector<T>{b, T(2), T(4)};
        Matrix<T> mt = m.transpose();
        const T before = m.snorm();
        m.leftGivensRotate(c, s, 0, 1);
        mt.rightGivensRotate(c, s, 0, 1);
        EXPECT_NEAR(m(1, 0), T(0), tolerance<T>());
        EXPECT_EQ(m, mt.transpose()) << "left and right rotations mirror each other exactly";
        EXPECT_NEAR(m.snorm(), before, tolerance<T>() * 10) << "rotations keep the norm";
    }
}

TYPED_TEST(Decomposition, HouseholderTransformsAreReflections)
{
    using T = TypeParam;
    std::mt19937 rng(22);
    const Matrix<T> a = randomMatrix<T>(6, 5, rng);

    // A reflection of column 1 rows 2..5 clears rows 3..5 of that column and
    // equals the product with the explicit reflection matrix.
    Vector<T> v(a.getColumn(1).copy(2, 5));
    const Vector<T> x(v);
    T beta;
    v.householderVector(beta);
    EXPECT_EQ(v[0], T(1));
    Matrix<T> left(a);
    left.leftHouseholderTransform(v, beta, 2, 5, 0, 4);
    EXPECT_LE(maxAbsDiff<T>(left, reflection(v, beta, 2, 6) * a), tolerance<T>());
    for (int i = 3; i < 6; ++i)
        EXPECT_NEAR(left(i, 1), T(0), tolerance<T>());
    EXPECT_NEAR(std::abs(left(2, 1)), x.norm(), tolerance<T>());

    // The same from the right on row 4, columns 1..4; rows outside the block
    // are untouched.
    Vector<T> w(a.getRow(4).copy(1, 4));
    w.householderVector(beta);
    Matrix<T> right(a);
    right.rightHouseholderTransform(w, beta, 3, 5, 1, 4);
    Matrix<T> expected(a);
    expected.paste(3, 1, a.copy(3, 5, 1, 4) * reflection(w, beta, 0, 4));
    EXPECT_LE(maxAbsDiff<T>(right, expected), tolerance<T>());
    for (int j = 2; j < 5; ++j)
        EXPECT_NEAR(right(4, j), T(0), tolerance<T>());
    EXPECT_EQ(right.getRow(0), a.getRow(0));

    // A vector already along e0 reflects only when it points backwards.
    for (T x0 : {T(-2), T(2)}) {
        Vector<T> e{x0, T(0), T(0)};
        e.householderVector(beta);
        EXPECT_EQ(beta, x0 < 0 ? T(2) : T(0));
    }

    EXPECT_PLEXAN_THROW(left.leftHouseholderTransform(v, beta, 0, 1, 0, 4), SizeError,
                        "Matrix<T> Matrix<T>::leftHouseholderTransform(...)", "Undocumented size error");
    EXPECT_PLEXAN_THROW(left.rightHouseholderTransform(v, beta, 0, 1, 0, 1), SizeError,
                        "Matrix<T> Matrix<T>::rightHouseholderTransform(...)",
                        "Incompatible block and Householder vector dimensions");
}

TYPED_TEST(Decomposition, BidiagonalisationIsAnOrthogonalEquivalence)
{
    using T = TypeParam;
    std::mt19937 rng(23);
    for (auto [n, p] : {std::pair{1, 1}, {2, 2}, {3, 2}, {4, 4}, {7, 3}, {12, 12}}) {
        const Matrix<T> a = randomMatrix<T>(n, p, rng);
        Matrix<T> b(a);
        SquareMatrix<T> left, right;
        b.householderBidiag(&left, &right);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j)
                if (j != i && j != i + 1) {
                    EXPECT_EQ(b(i, j), T(0)) << "(" << i << ", " << j << ")";
                }
        EXPECT_LE(maxAbsDiff<T>(left * a * right, b), tolerance<T>() * n);
        EXPECT_LE(maxAbsDiff<T>(left * left.transpose(), identity<T>(n)), tolerance<T>());
        EXPECT_LE(maxAbsDiff<T>(right * right.transpose(), identity<T>(p)), tolerance<T>());
        // Without factors: the same bidiagonal matrix.
        Matrix<T> alone(a);
        alone.householderBidiag();
        EXPECT_EQ(alone, b);
    }
    Matrix<T> wide(2, 3);
    EXPECT_PLEXAN_THROW(wide.householderBidiag(), SizeError, "void Matrix<T>::householderBidiag(...)",
                        "Cannot perform bidiagonalization of (n,p) matrix with p > n");
}

template <typename T>
bool allFinite(const Matrix<T>& m)
{
    for (int i = 0; i < m.getSize1(); ++i)
        for (int j = 0; j < m.getSize2(); ++j)
            if (!std::isfinite(m(i, j)))
                return false;
    return true;
}

// A = L^T diag(s) R^T with orthogonal L (rows: left singular vectors) and R
// (columns: right singular vectors).
template <typename T>
void expectFactors(const Matrix<T>& a, const Vector<T>& s, const SquareMatrix<T>& left,
                   const SquareMatrix<T>& right)
{
    const int n = a.getSize1();
    const int p = a.getSize2();
    ASSERT_EQ(s.getSize(), p);
    ASSERT_EQ(left.getSize(), n);
    ASSERT_EQ(right.getSize(), p);
    ASSERT_TRUE(allFinite<T>(left) && allFinite<T>(right)) << n << " x " << p;
    const T scale = std::max(T(1), std::sqrt(a.snorm()));
    Matrix<T> sigma(static_cast<unsigned>(n), static_cast<unsigned>(p));
    sigma.setZeros();
    for (int i = 0; i < p; ++i) {
        EXPECT_GE(s[i], T(0));
        sigma(i, i) = s[i];
    }
    EXPECT_LE(maxAbsDiff<T>(left.transpose() * sigma * right.transpose(), a), tolerance<T>() * scale * n)
        << n << " x " << p;
    EXPECT_LE(maxAbsDiff<T>(left * left.transpose(), identity<T>(n)), tolerance<T>() * n);
    EXPECT_LE(maxAbsDiff<T>(right.transpose() * right, identity<T>(p)), tolerance<T>() * n);
}

template <typename T>
void expectSvd(const Matrix<T>& a)
{
    SquareMatrix<T> left, right;
    const Vector<T> s = a.svd(&left, &right);
    expectFactors<T>(a, s, left, right);
    const T scale = std::max(T(1), std::sqrt(a.snorm()));
    // The values alone do not depend on accumulating the factors.
    EXPECT_LE(maxAbsDiff<T>(a.svd(), s), tolerance<T>() * scale);
    EXPECT_LE(maxAbsDiff<T>(a.svd(&left, nullptr), s), tolerance<T>() * scale);
}

TYPED_TEST(Decomposition, SvdReconstructsRandomMatrices)
{
    using T = TypeParam;
    std::mt19937 rng(24);
    for (auto [n, p] : {std::pair{1, 1}, {2, 1}, {2, 2}, {3, 3}, {3, 2}, {5, 3}, {8, 8}, {20, 7}, {30, 30}})
        for (int trial = 0; trial < 3; ++trial)
            expectSvd(randomMatrix<T>(n, p, rng));
}

TYPED_TEST(Decomposition, SvdOfSpecialMatrices)
{
    using T = TypeParam;
    std::mt19937 rng(25);
    // Rank 2 products, a zero matrix, zero rows and columns, a diagonal with
    // negative and repeated entries, a graded matrix.
    for (auto [n, p] : {std::pair{6, 4}, {5, 5}, {9, 3}}) {
        const Matrix<T> lowRank = randomMatrix<T>(n, 2, rng) * randomMatrix<T>(2, p, rng);
        expectSvd(lowRank);
        const Vector<T> s = lowRank.svd();
        int negligible = 0;
        for (int i = 0; i < p; ++i)
            negligible += s[i] < tolerance<T>() ? 1 : 0;
        EXPECT_EQ(negligible, p - 2);
    }
    Matrix<T> zero(4, 3);
    zero.setZeros();
    expectSvd(zero);
    EXPECT_EQ(zero.svd(), Vector<T>({0, 0, 0}));

    Matrix<T> holes = randomMatrix<T>(5, 4, rng);
    holes.setColumn(1, Vector<T>{0, 0, 0, 0, 0});
    expectSvd(holes);

    Matrix<T> diag(4, 4);
    diag.setZeros();
    diag(0, 0) = -3, diag(1, 1) = 2, diag(2, 2) = -2, diag(3, 3) = T(0.5);
    expectSvd(diag);

    Matrix<T> graded = randomMatrix<T>(6, 6, rng);
    for (int i = 0; i < 6; ++i)
        graded[i] *= static_cast<T>(std::pow(10.0, -i));
    expectSvd(graded);
}

template <typename T>
void fillNaN(Matrix<T>& m)
{
    m.fill(std::numeric_limits<T>::quiet_NaN());
}

// The factors go into the caller's matrices, which may hold an earlier
// decomposition, another size or anything else: nothing of it may reach the
// result, which is that of fresh factors to the last bit. The shapes straddle
// the sizes up to which the work happens in storage local to the call.
TYPED_TEST(Decomposition, SvdIntoFactorsThatHeldOtherMatrices)
{
    using T = TypeParam;
    std::mt19937 rng(31);
    SquareMatrix<T> left, right;
    int run = 0;
    for (auto [n, p] : {std::pair{3, 3}, {3, 3}, {5, 3}, {3, 3}, {8, 8}, {9, 7}, {3, 3}, {17, 16}, {16, 4}, {2, 2},
                        {65, 1}, {1, 1}, {4, 3}, {3, 3}}) {
        Matrix<T> a = randomMatrix<T>(n, p, rng);
        if (++run % 4 == 0 && p > 1)
            a.setColumn(p - 1, a.getColumn(0)); // rank-deficient
        if (run % 5 == 0)
            a.setZeros();
        SquareMatrix<T> freshLeft, freshRight;
        const Vector<T> s = a.svd(&freshLeft, &freshRight);
        expectFactors<T>(a, s, freshLeft, freshRight);

        EXPECT_EQ(a.svd(&left, &right), s) << n << " x " << p;
        EXPECT_EQ(left, freshLeft);
        EXPECT_EQ(right, freshRight);
        expectFactors<T>(a, s, left, right);

        fillNaN<T>(left);
        fillNaN<T>(right);
        EXPECT_EQ(a.svd(&left, &right), s);
        EXPECT_EQ(left, freshLeft);
        EXPECT_EQ(right, freshRight);

        fillNaN<T>(right);
        EXPECT_EQ(a.svd(nullptr, &right), s);
        EXPECT_EQ(right, freshRight);
        fillNaN<T>(left);
        EXPECT_EQ(a.svd(&left, nullptr), s);
        EXPECT_EQ(left, freshLeft);

        // The bidiagonalisation into the same factors.
        Matrix<T> freshB(a);
        freshB.householderBidiag(&freshLeft, &freshRight);
        EXPECT_LE(maxAbsDiff<T>(freshLeft * a * freshRight, freshB), tolerance<T>() * std::max(n, 4));
        fillNaN<T>(right);
        Matrix<T> b(a);
        b.householderBidiag(&left, &right);
        EXPECT_EQ(b, freshB);
        EXPECT_EQ(left, freshLeft);
        EXPECT_EQ(right, freshRight);
    }
}

// A square matrix may receive its own factors, and one matrix may be given
// for both: it then holds the right factor, as if the left one had been
// computed and overwritten.
TYPED_TEST(Decomposition, SvdFactorsMayBeTheMatrixItself)
{
    using T = TypeParam;
    std::mt19937 rng(32);
    for (int n : {1, 3, 6, 20}) {
        const SquareMatrix<T> a(randomMatrix<T>(n, n, rng));
        SquareMatrix<T> left, right;
        const Vector<T> s = a.svd(&left, &right);
        expectFactors<T>(a, s, left, right);

        SquareMatrix<T> m(a), other;
        EXPECT_EQ(m.svd(&m, &other), s) << n;
        EXPECT_EQ(m, left);
        EXPECT_EQ(other, right);

        m = a;
        fillNaN<T>(other);
        EXPECT_EQ(m.svd(&other, &m), s);
        EXPECT_EQ(other, left);
        EXPECT_EQ(m, right);

        m = a;
        EXPECT_EQ(m.svd(&m, &m), s);
        EXPECT_EQ(m, right);

        SquareMatrix<T> both(static_cast<unsigned>(n + 1));
        fillNaN<T>(both);
        EXPECT_EQ(a.svd(&both, &both), s);
        EXPECT_EQ(both, right);

        // In place: the bidiagonal matrix, unless its right factor goes over it.
        SquareMatrix<T> bidiagonal(a), bl, br;
        bidiagonal.householderBidiag(&bl, &br);
        m = a;
        m.householderBidiag(nullptr, &m);
        EXPECT_EQ(m, br);
        m = a;
        fillNaN<T>(other);
        m.householderBidiag(&other, &other);
        EXPECT_EQ(other, br);
        m = a;
        fillNaN<T>(other);
        m.householderBidiag(nullptr, &other);
        EXPECT_EQ(m, bidiagonal);
        EXPECT_EQ(other, br);
    }
}

TYPED_TEST(Decomposition, SolveGivesTheLeastSquaresSolution)
{
    using T = TypeParam;
    std::mt19937 rng(27);
    // Square and invertible: the exact solution.
    for (int n : {1, 3, 10}) {
        const SquareMatrix<T> a = wellConditioned<T>(n, rng);
        const Vector<T> b = randomVector<T>(n, rng);
        EXPECT_LE(maxAbsDiff<T>(a.solve(b), a.inverse() * b), tolerance<T>());
    }
    // Overdetermined: the solution of the normal equations A^T A x = A^T b.
    for (auto [n, p] : {std::pair{5, 2}, {12, 4}, {40, 6}}) {
        const Matrix<T> a = randomMatrix<T>(n, p, rng);
        const Vector<T> b = randomVector<T>(n, rng);
        const Vector<T> x = a.solve(b);
        const Matrix<T> at = a.transpose();
        EXPECT_LE(maxAbsDiff<T>(x, SquareMatrix<T>(at * a).inverse() * (at * b)), tolerance<T>() * 10);
    }
}

TYPED_TEST(Decomposition, RankDeficientSolveDropsTheNullSpace)
{
    using T = TypeParam;
    std::mt19937 rng(28);
    // Columns 0 and 2 are equal: the solution has equal components there
    // (no part along the null vector e0 - e2) and the residual is
    // orthogonal to the columns.
    Matrix<T> a = randomMatrix<T>(6, 3, rng);
    a.setColumn(2, a.getColumn(0));
    const Vector<T> b = randomVector<T>(6, rng);
    const Vector<T> x = a.solve(b);
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(std::isfinite(x[k]));
    EXPECT_NEAR(x[0], x[2], tolerance<T>() * 10);
    const Vector<T> normal = a.transpose() * (a * x - b);
    EXPECT_LE(maxAbsDiff<T>(normal, Vector<T>({0, 0, 0})), tolerance<T>() * 10);
    EXPECT_LE(maxAbsDiff<T>(x, a.pinverse() * b), tolerance<T>());

    // The zero system has the zero solution.
    Matrix<T> zero(3, 3);
    zero.setZeros();
    EXPECT_EQ(zero.solve(Vector<T>{1, 2, 3}), Vector<T>({0, 0, 0}));
}

// x solving a x = b by Gaussian elimination with partial pivoting, in long
// double: a reference independent of the decomposition.
template <typename T>
Vector<T> eliminate(const Matrix<T>& a, const Vector<T>& b)
{
    const int n = a.getSize1();
    std::vector<std::vector<long double>> m(n, std::vector<long double>(n + 1));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            m[i][j] = a(i, j);
        m[i][n] = b[i];
    }
    for (int k = 0; k < n; ++k) {
        int pivot = k;
        for (int i = k + 1; i < n; ++i)
            if (std::fabs(m[i][k]) > std::fabs(m[pivot][k]))
                pivot = i;
        std::swap(m[k], m[pivot]);
        for (int i = k + 1; i < n; ++i) {
            const long double f = m[i][k] / m[k][k];
            for (int j = k; j <= n; ++j)
                m[i][j] -= f * m[k][j];
        }
    }
    Vector<T> x(static_cast<unsigned>(n));
    for (int i = n - 1; i >= 0; --i) {
        long double sum = m[i][n];
        for (int j = i + 1; j < n; ++j)
            sum -= m[i][j] * static_cast<long double>(x[j]);
        x[i] = static_cast<T>(sum / m[i][i]);
    }
    return x;
}

// The solve carries only the product of the left factor with b and applies
// the rotations of each step to the right factor in blocks of columns; sizes
// around and past a block catch a rotation lost or applied twice at the
// block edges, and the pseudo-inverse, which builds the whole left factor,
// is the comparison for least-squares and rank-deficient systems.
TYPED_TEST(Decomposition, SolveMatchesEliminationAndThePseudoInverse)
{
    using T = TypeParam;
    std::mt19937 rng(30);
    for (int n : {15, 16, 17, 33, 50}) {
        const SquareMatrix<T> a = wellConditioned<T>(n, rng);
        const Vector<T> b = randomVector<T>(n, rng);
        EXPECT_LE(maxAbsDiff<T>(a.solve(b), eliminate<T>(a, b)), tolerance<T>()) << n;
    }
    for (auto [n, p] : {std::pair{45, 19}, {64, 33}}) {
        const Matrix<T> a = randomMatrix<T>(n, p, rng);
        const Vector<T> b = randomVector<T>(n, rng);
        const Vector<T> x = a.solve(b);
        EXPECT_LE(maxAbsDiff<T>(x, a.pinverse() * b), tolerance<T>() * 10) << n << " x " << p;
        Vector<T> zero(static_cast<unsigned>(p));
        zero.setZeros();
        EXPECT_LE(maxAbsDiff<T>(a.transpose() * (a * x - b), zero), tolerance<T>() * 10 * n);
    }
    // Rank 17 of 20 columns: two repeated columns and one sum of two others.
    Matrix<T> a = randomMatrix<T>(40, 20, rng);
    a.setColumn(11, a.getColumn(3));
    a.setColumn(18, a.getColumn(7));
    a.setColumn(15, a.getColumn(2) + a.getColumn(4));
    const Vector<T> b = randomVector<T>(40, rng);
    const Vector<T> x = a.solve(b);
    EXPECT_LE(maxAbsDiff<T>(x, a.pinverse() * b), tolerance<T>() * 10);
    EXPECT_NEAR(x[3], x[11], tolerance<T>() * 10);
}

template <typename T>
void expectMoorePenrose(const Matrix<T>& a)
{
    const Matrix<T> g = a.pinverse();
    ASSERT_EQ(g.getSize(), Vector<int>({a.getSize2(), a.getSize1()}));
    const T tol = tolerance<T>() * 10;
    const Matrix<T> ag = a * g;
    const Matrix<T> ga = g * a;
    EXPECT_LE(maxAbsDiff<T>(ag * a, a), tol);
    EXPECT_LE(maxAbsDiff<T>(ga * g, g), tol);
    EXPECT_LE(maxAbsDiff<T>(ag.transpose(), ag), tol);
    EXPECT_LE(maxAbsDiff<T>(ga.transpose(), ga), tol);
}

TYPED_TEST(Decomposition, PseudoInverseSatisfiesMoorePenrose)
{
    using T = TypeParam;
    std::mt19937 rng(29);
    for (auto [n, p] : {std::pair{1, 1}, {3, 3}, {6, 4}, {15, 5}}) {
        expectMoorePenrose(randomMatrix<T>(n, p, rng));
        expectMoorePenrose<T>(randomMatrix<T>(n, 1, rng) * randomMatrix<T>(1, p, rng));
    }
    const SquareMatrix<T> a = wellConditioned<T>(5, rng);
    EXPECT_LE(maxAbsDiff<T>(a.pinverse(), a.inverse()), tolerance<T>());
}

TYPED_TEST(Decomposition, WideMatricesAreRefused)
{
    using T = TypeParam;
    const Matrix<T> wide(2, 3);
    const std::string svdWhat = "Vector<T> Matrix<T>::svd(...) const | Cannot perform svd of (n,p) matrix with p > n";
    EXPECT_PLEXAN_THROW(wide.svd(), SizeError, "Vector<T> Matrix<T>::svd(...) const",
                        "Cannot perform svd of (n,p) matrix with p > n");
    // solve and pinverse mark their passage and pass the failure on as a
    // plain Exception.
    Exception e = plainException([&] { wide.solve(Vector<T>{1, 2}); });
    EXPECT_EQ(e.getWhere() + " | " + e.getWhat(), svdWhat);
    EXPECT_EQ(e.getCalls(), "[1] Vector<T> Matrix<T>::solve(...) const");
    e = plainException([&] { wide.pinverse(); });
    EXPECT_EQ(e.getWhere() + " | " + e.getWhat(), svdWhat);
    EXPECT_EQ(e.getCalls(), "[1] Matrix<T> Matrix<T>::pinverse() const");
    EXPECT_PLEXAN_THROW(Matrix<T>(3, 2).solve(Vector<T>{1, 2}), SizeError, "Vector<T> Matrix<T>::solve(...) const",
                        "Incompatible vector and matrix dimensions");
    Matrix<T> bad(2, 2);
    bad.setZeros();
    bad(0, 1) = std::numeric_limits<T>::quiet_NaN();
    EXPECT_THROW(bad.svd(), MathError);
}

TEST(Decomposition, IntegerAndBoolMatricesRefuse)
{
    EXPECT_PLEXAN_THROW(Matrix<int>(2, 2).pinverse(), TypeError, "Matrix<int> Matrix<int>::pinverse() const",
                        "Method not available for type 'int'");
    bool c, s;
    EXPECT_PLEXAN_THROW(Matrix<bool>::givens(c, s, true, false), TypeError,
                        "void Matrix<bool>::givens(bool&,bool&,const bool,const bool)",
                        "Method not available for type 'bool'");
    EXPECT_THROW(Matrix<unsigned char>(2, 2).householderBidiag(), TypeError);
}

} // namespace
