#include "numerics/squarematrix.h"

#include "linalgsupport.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace linalg;

namespace {

// Determinant by cofactor expansion along the first row: an independent
// reference for small matrices.
template <typename T>
T cofactorDet(const Matrix<T>& a)
{
    const int n = a.getSize1();
    if (n == 1)
        return a(0, 0);
    T d = T(0);
    for (int j = 0; j < n; ++j) {
        Matrix<T> minor(static_cast<unsigned>(n - 1), static_cast<unsigned>(n - 1));
        for (int i = 1; i < n; ++i)
            for (int k = 0, c = 0; k < n; ++k)
                if (k != j)
                    minor(i - 1, c++) = a(i, k);
        const T term = a(0, j) * cofactorDet(minor);
        d += j % 2 == 0 ? term : -term;
    }
    return d;
}

template <typename T>
class SquareMatrixLinearAlgebra : public ::testing::Test {};
TYPED_TEST_SUITE(SquareMatrixLinearAlgebra, RealTypes);

TYPED_TEST(SquareMatrixLinearAlgebra, LuFactorsReproduceTheRowPermutedMatrix)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    for (int n : {1, 2, 3, 4, 7, 16, 40}) {
        for (int trial = 0; trial < 4; ++trial) {
            const SquareMatrix<T> a(randomMatrix<T>(n, n, rng));
            SquareMatrix<T> lu(a);
            Vector<int> index;
            const int parity = lu.luDecomp(index, T(0));
            ASSERT_EQ(index.getSize(), n);
            // Replay the interchanges on a copy of A.
            SquareMatrix<T> permuted(a);
            int swaps = 0;
            for (int j = 0; j < n; ++j) {
                ASSERT_GE(index[j], j);
                ASSERT_LT(index[j], n);
                if (index[j] != j) {
                    permuted.swapRows(j, index[j]);
                    ++swaps;
                }
            }
            EXPECT_EQ(parity, swaps % 2 == 0 ? 1 : -1);
            SquareMatrix<T> l = identity<T>(n), u(static_cast<unsigned>(n));
            u.setZeros();
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j)
                    (i > j ? l : u)(i, j) = lu(i, j);
            EXPECT_LE(maxAbsDiff<T>(l * u, permuted), tolerance<T>() * n) << "n = " << n;
        }
    }
}

TYPED_TEST(SquareMatrixLinearAlgebra, DeterminantAgreesWithCofactorExpansion)
{
    using T = TypeParam;
    std::mt19937 rng(12);
    for (int n : {1, 2, 3, 4, 5, 6}) {
        for (int trial = 0; trial < 5; ++trial) {
            const SquareMatrix<T> a = wellConditioned<T>(n, rng);
            const T reference = cofactorDet<T>(a);
            EXPECT_NEAR(a.det(), reference, tolerance<T>() * std::abs(reference)) << "n = " << n;
        }
    }
}

TYPED_TEST(SquareMatrixLinearAlgebra, InverseAndLuSolveUndoTheMatrix)
{
    using T = TypeParam;
    std::mt19937 rng(13);
    for (int n : {1, 2, 3, 5, 12, 30}) {
        const SquareMatrix<T> a = wellConditioned<T>(n, rng);
        const SquareMatrix<T> inv = a.inverse();
        EXPECT_LE(maxAbsDiff<T>(a * inv, identity<T>(n)), tolerance<T>()) << "n = " << n;
        EXPECT_LE(maxAbsDiff<T>(inv * a, identity<T>(n)), tolerance<T>()) << "n = " << n;

        SquareMatrix<T> lu(a);
        Vector<int> index;
        lu.luDecomp(index, T(0));
        const Vector<T> b = randomVector<T>(n, rng);
        Vector<T> x(b);
        lu.luSolve(x, index);
        EXPECT_LE(maxAbsDiff<T>(a * x, b), tolerance<T>() * n);
        EXPECT_LE(maxAbsDiff<T>(x, inv * b), tolerance<T>());
    }
}

TYPED_TEST(SquareMatrixLinearAlgebra, SingularMatrices)
{
    using T = TypeParam;
    SquareMatrix<T> twins(3); // rows 0 and 2 are equal
    twins(0, 0) = 1, twins(0, 1) = 2, twins(0, 2) = 3;
    twins(1, 0) = 4, twins(1, 1) = 5, twins(1, 2) = 6;
    twins.setRow(2, twins.getRow(0));
    EXPECT_EQ(twins.det(), T(0));
    // A pivot at or below 2^-23 * 20 counts as zero, whatever the precision.
    SquareMatrix<T> tiny;
    tiny.setDiagonal(Vector<T>{T(1), T(2e-6)});
    EXPECT_EQ(tiny.det(), T(0));
    tiny(1, 1) = T(3e-6);
    EXPECT_NEAR(tiny.det(), T(3e-6), T(1e-9));

    Vector<int> index;
    SquareMatrix<T> work(twins);
    EXPECT_PLEXAN_THROW(work.luDecomp(index, T(0)), MathError, "int SquareMatrix<T>::luDecomp(...)",
                        "This matrix is singular");
    try {
        twins.inverse();
        ADD_FAILURE() << "inverse of a singular matrix returned";
    } catch (const MathError& e) {
        EXPECT_EQ(e.getWhere(), "int SquareMatrix<T>::luDecomp(...)");
        EXPECT_EQ(e.getCalls(), "[1] SquareMatrix<T> SquareMatrix<T>::inverse() const");
    }
}

TYPED_TEST(SquareMatrixLinearAlgebra, PivotTiesGoToTheLastRow)
{
    using T = TypeParam;
    // Both rows weigh |2| / 2 = 1 in column 0: the second row is the pivot.
    SquareMatrix<T> a(2);
    a(0, 0) = 2, a(0, 1) = 1, a(1, 0) = 2, a(1, 1) = -1;
    SquareMatrix<T> lu(a);
    Vector<int> index;
    EXPECT_EQ(lu.luDecomp(index, T(0)), -1);
    EXPECT_EQ(index, Vector<int>({1, 1}));
    EXPECT_EQ(lu(0, 0), T(2));
    EXPECT_EQ(lu(0, 1), T(-1));
    EXPECT_EQ(lu(1, 0), T(1));
    EXPECT_EQ(lu(1, 1), T(2));
    EXPECT_EQ(a.det(), T(-4));
}

// Eigen-decomposition ----------------------------------------------------------

template <typename T>
void expectEigenDecomposition(const SquareMatrix<T>& a, const Vector<T>& values, const SquareMatrix<T>& v)
{
    const int n = a.getSize();
    const T scale = std::max(T(1), a.std2() * n);
    EXPECT_LE(maxAbsDiff<T>(a * v, v * diagonalMatrix(values)), tolerance<T>() * scale) << "n = " << n;
    EXPECT_LE(maxAbsDiff<T>(v.transpose() * v, identity<T>(n)), tolerance<T>()) << "n = " << n;
    for (int i = 1; i < n; ++i)
        EXPECT_GE(values[i - 1], values[i]);
    EXPECT_NEAR(values.sum(), a.trace(), tolerance<T>() * scale);
    if (n > 0) {
        EXPECT_GT(v.det(), T(0)) << "eigenvectors must form a right-handed system";
    }
}

TYPED_TEST(SquareMatrixLinearAlgebra, JacobiDiagonalisesSymmetricMatrices)
{
    using T = TypeParam;
    std::mt19937 rng(14);
    for (int n : {1, 2, 3, 4, 6, 10, 20}) {
        for (int trial = 0; trial < 5; ++trial) {
            const SquareMatrix<T> a = randomSymmetric<T>(n, rng);
            Vector<T> values;
            SquareMatrix<T> v;
            a.eigenJacobi(values, v, true);
            expectEigenDecomposition(a, values, v);
            EXPECT_TRUE(n != 3 || v.isRHSystem());
        }
    }
    // Repeated eigenvalues: Q diag(2, 2, 2, -1, -1) Q^T, exactly symmetric,
    // with Q from the Jacobi vectors of a random symmetric matrix.
    for (int trial = 0; trial < 5; ++trial) {
        Vector<T> values;
        SquareMatrix<T> q, v;
        randomSymmetric<T>(5, rng).eigenJacobi(values, q, false);
        const Vector<T> d{2, 2, 2, -1, -1};
        SquareMatrix<T> a(q * diagonalMatrix(d) * q.transpose());
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < i; ++j)
                a(i, j) = a(j, i);
        a.eigenJacobi(values, v, true);
        expectEigenDecomposition(a, values, v);
        EXPECT_LE(maxAbsDiff<T>(values, d), tolerance<T>() * 5);
    }
}

// The values and vectors go into the caller's objects, which may hold an
// earlier result, another size or anything else: the result is that of fresh
// ones to the last bit. Sizes straddle the largest one worked on in storage
// local to the call; the matrix may also receive its own vectors.
TYPED_TEST(SquareMatrixLinearAlgebra, JacobiIntoStorageThatHeldOtherResults)
{
    using T = TypeParam;
    std::mt19937 rng(15);
    const T nan = std::numeric_limits<T>::quiet_NaN();
    Vector<T> values;
    SquareMatrix<T> vectors;
    for (int n : {3, 3, 2, 8, 9, 3, 12, 1, 3}) {
        const SquareMatrix<T> a = randomSymmetric<T>(n, rng);
        for (bool sort : {true, false}) {
            Vector<T> freshValues;
            SquareMatrix<T> freshVectors;
            a.eigenJacobi(freshValues, freshVectors, sort);
            if (sort) {
                expectEigenDecomposition(a, freshValues, freshVectors);
            }

            a.eigenJacobi(values, vectors, sort);
            EXPECT_EQ(values, freshValues) << "n = " << n;
            EXPECT_EQ(vectors, freshVectors);
            values.fill(nan);
            vectors.fill(nan);
            a.eigenJacobi(values, vectors, sort);
            EXPECT_EQ(values, freshValues);
            EXPECT_EQ(vectors, freshVectors);

            SquareMatrix<T> m(a);
            m.eigenJacobi(values, m, sort);
            EXPECT_EQ(values, freshValues);
            EXPECT_EQ(m, freshVectors);
        }
    }
}

TYPED_TEST(SquareMatrixLinearAlgebra, JacobiKnownCases)
{
    using T = TypeParam;
    // Already diagonal: no rotation; sorting negates each vector moved down.
    SquareMatrix<T> d;
    d.setDiagonal(Vector<T>{1, 3, 2});
    Vector<T> values;
    SquareMatrix<T> v;
    d.eigenJacobi(values, v, true);
    EXPECT_EQ(values, Vector<T>({3, 2, 1}));
    // (3, 1, 2) with vectors (e1, -e0, e2), then (3, 2, 1) with (e1, e2, e0).
    SquareMatrix<T> expected(3);
    expected.setZeros();
    expected(1, 0) = 1, expected(2, 1) = 1, expected(0, 2) = 1;
    EXPECT_EQ(v, expected);
    d.eigenJacobi(values, v, false);
    EXPECT_EQ(values, Vector<T>({1, 3, 2}));
    EXPECT_EQ(v, identity<T>(3));

    // Equal values keep their order: the first of equal maxima stays.
    Vector<T> equal{5, 5};
    SquareMatrix<T> axes = identity<T>(2);
    SquareMatrix<T>::eigenSort(equal, axes);
    EXPECT_EQ(axes, identity<T>(2));
}

// Tridiagonal systems ----------------------------------------------------------

TYPED_TEST(SquareMatrixLinearAlgebra, TridiagonalSolversAgreeWithDenseAlgebra)
{
    using T = TypeParam;
    std::mt19937 rng(16);
    for (int n : {1, 2, 3, 8, 50}) {
        Vector<T> l = randomVector<T>(n - 1 > 0 ? n - 1 : 0, rng);
        Vector<T> u = randomVector<T>(n - 1 > 0 ? n - 1 : 0, rng);
        Vector<T> d = randomVector<T>(n, rng);
        d += T(3); // diagonally dominant
        SquareMatrix<T> dense;
        dense.setTridiagonal(l, d, u);
        const SquareMatrix<T> denseInverse = dense.inverse();
        const Vector<T> b = randomVector<T>(n, rng);
        Vector<T> x(b);
        SquareMatrix<T>::tridiagSolve(x, d, u, l);
        EXPECT_LE(maxAbsDiff<T>(x, denseInverse * b), tolerance<T>()) << "n = " << n;
        SquareMatrix<T> inv;
        SquareMatrix<T>::tridiagInverse(inv, d, u, l);
        EXPECT_LE(maxAbsDiff<T>(inv, denseInverse), tolerance<T>()) << "n = " << n;

        if (n < 2)
            continue;
        const T alpha = T(0.7);
        const T beta = T(-0.4);
        SquareMatrix<T> cyclic(dense);
        cyclic(n - 1, 0) += alpha;
        cyclic(0, n - 1) += beta;
        Vector<T> y(b);
        SquareMatrix<T>::cyclicTridiagSolve(y, d, u, l, alpha, beta);
        EXPECT_LE(maxAbsDiff<T>(cyclic * y, b), tolerance<T>() * 4) << "n = " << n;
        EXPECT_LE(maxAbsDiff<T>(y, cyclic.inverse() * b), tolerance<T>()) << "n = " << n;
    }
}

TYPED_TEST(SquareMatrixLinearAlgebra, TridiagonalFailures)
{
    using T = TypeParam;
    const Vector<T> ones{1, 1, 1};
    const Vector<T> pair{1, 1};
    Vector<T> x{1, 2, 3};
    // Zero first pivot, then a pivot eliminated to zero: (1 1; 1 1) block.
    for (const Vector<T>& d : {Vector<T>{0, 1, 1}, ones}) {
        EXPECT_PLEXAN_THROW(SquareMatrix<T>::tridiagSolve(x, d, pair, pair), MathError,
                            "void SquareMatrix<T>::tridiagSolve(...)", "Null pivoting element found.");
        SquareMatrix<T> inv;
        const Exception e = plainException([&] { SquareMatrix<T>::tridiagInverse(inv, d, pair, pair); });
        EXPECT_EQ(e.getWhere() + " | " + e.getWhat(), "void SquareMatrix<T>::tridiagInverse(...) | Null pivoting "
                                                      "element found. Try another inversion method.");
    }
    EXPECT_EQ(x, Vector<T>({1, 2, 3})) << "a failed solve leaves the right-hand side alone";
    EXPECT_PLEXAN_THROW(SquareMatrix<T>::tridiagSolve(x, ones, ones, pair), SizeError,
                        "void SquareMatrix<T>::tridiagSolve(...)", "Incompatible matrix and vector dimensions");
    // The periodic second difference has constant vectors in its kernel.
    Vector<T> b{1, 0, 0, 0};
    EXPECT_PLEXAN_THROW(SquareMatrix<T>::cyclicTridiagSolve(b, Vector<T>{2, 2, 2, 2}, Vector<T>{-1, -1, -1},
                                                            Vector<T>{-1, -1, -1}, T(-1), T(-1)),
                        MathError, "void SquareMatrix<T>::cyclicTridiagSolve(...)",
                        "Singular cyclic tridiagonal matrix.");
    EXPECT_EQ(b, Vector<T>({1, 0, 0, 0}));
}

// Shapes -----------------------------------------------------------------------

TEST(SquareMatrixShapes, DiagonalsRoundTrip)
{
    const Vector<double> l{7, 8, 9}, d{1, 2, 3, 4}, u{5, 6, 7};
    SquareMatrix<double> m;
    m.setTridiagonal(l, d, u);
    EXPECT_EQ(m.diagonal(), d);
    EXPECT_EQ(m.upperDiagonal(), u);
    EXPECT_EQ(m.lowerDiagonal(), l);
    EXPECT_EQ(m(0, 2) + m(3, 0), 0);
    m.pasteUpperDiagonal2(Vector<double>{-1, -2});
    m.pasteLowerDiagonal2(Vector<double>{-3, -4});
    EXPECT_EQ(m(0, 2), -1);
    EXPECT_EQ(m(3, 1), -4);
    SquareMatrix<double> upper, lower;
    upper.setUpperBidiagonal(d, u);
    lower.setLowerBidiagonal(d, u);
    EXPECT_EQ(SquareMatrix<double>(upper.transpose()), lower);
    EXPECT_TRUE(SquareMatrix<double>(upper + lower).isSymmetrical());
    EXPECT_FALSE(upper.isAntiSymmetrical() || m.isSymmetrical());
    EXPECT_TRUE(SquareMatrix<double>(upper - lower).isAntiSymmetrical());

    EXPECT_PLEXAN_THROW(m.pasteLowerDiagonal2(u), SizeError,
                        "void SquareMatrix<T>::pasteLowerDiagonal2(const Vector<T>&)",
                        "Incompatible matrix and vector dimensions");
    EXPECT_PLEXAN_THROW(m.setTridiagonal(l, d, d), SizeError,
                        "void SquareMatrix<T>::setTridiagonal(const Vector<T>&,const Vector<T>&,const Vector<T>&)",
                        "Undocumented size error");
    EXPECT_EQ(m.getSize(), 4) << "a refused shape leaves the matrix alone";
    SquareMatrix<float> h;
    h.setHilbert(4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(h(i, j), 1.0f / static_cast<float>(i + j + 1));

    SquareMatrix<double> axes;
    axes.setIdentity(3);
    EXPECT_TRUE(axes.isRHSystem());
    axes.swapRows(0, 1);
    EXPECT_FALSE(axes.isRHSystem());
    EXPECT_PLEXAN_THROW(SquareMatrix<double>(2).isRHSystem(), SizeError, "bool SquareMatrix<T>::isRHSystem() const",
                        "The matrix is not 3 x 3");
}

TEST(SquareMatrixShapes, IntegerMatricesRefuseRealArithmetic)
{
    SquareMatrix<int> m;
    m.setIdentity(2);
    Vector<int> index, values, x{1, 2};
    SquareMatrix<int> vectors;
    const std::string what = "Method not available for type 'int'";
    EXPECT_PLEXAN_THROW(m.luDecomp(index, 0), TypeError, "int SquareMatrix<int>::luDecomp(...)", what);
    EXPECT_PLEXAN_THROW(m.eigenJacobi(values, vectors, true), TypeError,
                        "void SquareMatrix<int>::eigenJacobi(Vector<int>&,SquareMatrix<int>&,const bool) const", what);
    EXPECT_PLEXAN_THROW(SquareMatrix<int>::cyclicTridiagSolve(x, x, Vector<int>{1}, Vector<int>{1}, 0, 0), TypeError,
                        "void SquareMatrix<int>::cyclicTridiagSolve(...)", what);
}

} // namespace
