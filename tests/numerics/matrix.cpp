#include "numerics/squarematrix.h"
#include "numerics/tensa.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

template <typename T>
Matrix<T> randomMatrix(int n, int p, std::mt19937& rng)
{
    Matrix<T> m(static_cast<unsigned>(n), static_cast<unsigned>(p));
    std::uniform_int_distribution<int> d(-9, 9);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j)
            m(i, j) = static_cast<T>(std::is_unsigned_v<T> ? d(rng) + 9 : d(rng));
    return m;
}

template <typename T>
class MatrixArithmetic : public ::testing::Test {};
using Types = ::testing::Types<short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(MatrixArithmetic, Types);

TYPED_TEST(MatrixArithmetic, ProductsAgreeWithTheDefinition)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    for (auto [n, q, p] : {std::tuple{1, 1, 1}, {2, 3, 4}, {5, 5, 5}, {7, 2, 9}}) {
        const Matrix<T> a = randomMatrix<T>(n, q, rng);
        const Matrix<T> b = randomMatrix<T>(q, p, rng);
        const Matrix<T> c = a * b;
        ASSERT_EQ(c.getSize1(), n);
        ASSERT_EQ(c.getSize2(), p);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j) {
                T s = 0;
                for (int k = 0; k < q; ++k)
                    s = static_cast<T>(s + a(i, k) * b(k, j));
                EXPECT_EQ(c(i, j), s);
            }
        const Vector<T> v = b.getColumn(0);
        const Vector<T> av = a * v;
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(av[i], c(i, 0));
        Matrix<T> d(a);
        d *= b;
        EXPECT_EQ(d, c);
        // (AB)^T = B^T A^T
        EXPECT_EQ(c.transpose(), b.transpose() * a.transpose());
    }
}

TYPED_TEST(MatrixArithmetic, ElementWiseAndReductions)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    const Matrix<T> a = randomMatrix<T>(4, 6, rng);
    const Matrix<T> b = randomMatrix<T>(4, 6, rng);
    const Matrix<T> sum = a + b, prod = a.pointwiseProduct(b);
    T lo = a(0, 0), hi = a(0, 0), snorm = 0;
    for (int i = 0; i < 4; ++i) {
        T rowSum = 0;
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(Vector<T>({sum(i, j), prod(i, j)}),
                      Vector<T>({static_cast<T>(a(i, j) + b(i, j)), static_cast<T>(a(i, j) * b(i, j))}));
            rowSum = static_cast<T>(rowSum + a(i, j));
            lo = std::min(lo, a(i, j));
            hi = std::max(hi, a(i, j));
            snorm = static_cast<T>(snorm + a(i, j) * a(i, j));
        }
        EXPECT_EQ(a.sum()[i], rowSum);
    }
    EXPECT_EQ(a.range(), Vector<T>({lo, hi}));
    EXPECT_EQ(a.snorm(), snorm);
    Matrix<T> c(a);
    c += b;
    c -= b;
    EXPECT_EQ(c, a);
    EXPECT_EQ(a.cat()[6 + 2], a(1, 2));
}

TEST(Matrix, StatisticsShapesAndBlocks)
{
    Matrix<double> m(2, 2);
    m(0, 0) = 1, m(0, 1) = 2, m(1, 0) = 3, m(1, 1) = 4;
    EXPECT_DOUBLE_EQ(m.mean2(), 2.5);
    EXPECT_DOUBLE_EQ(m.var2(), 1.25);
    EXPECT_EQ(m.mean(), Vector<double>({1.5, 3.5}));
    EXPECT_EQ(Matrix<double>(0, 3).var2(), 0);
    EXPECT_PLEXAN_THROW(Matrix<int>(2, 2).mean2(), TypeError, "int Matrix<int>::mean2() const",
                        "Method not available for type 'int'");
    EXPECT_PLEXAN_THROW(Matrix<double>().range(), SizeError, "Vector<T> Matrix<T>::range() const",
                        "This matrix is empty.");

    Matrix<int> g(3, 4);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            g(i, j) = 10 * i + j;
    g.setSize(3, 4); // the same size keeps the contents
    const Matrix<int> block = g.copy(1, 2, 1, 3);
    EXPECT_EQ(block.getSize(), Vector<int>({2, 3}));
    Matrix<int> target(4, 5);
    target.setZeros();
    target.paste(2, 2, block);
    EXPECT_EQ(target(3, 4), 23);
    EXPECT_EQ(target(2, 2), 11);
    EXPECT_EQ(target(1, 1), 0);
    EXPECT_PLEXAN_THROW(target.paste(3, 0, block), SizeError, "void Matrix<T>::paste(...)",
                        "Cannot paste block at specified position");
    EXPECT_EQ(Matrix<int>(Vector<int>{1, 2, 3}, true).transpose(), Matrix<int>(Vector<int>{1, 2, 3}, false));
    EXPECT_EQ(Matrix<int>(Vector<int>{1, 2, 3}, false).getSize(), Vector<int>({3, 1}));
    EXPECT_PLEXAN_THROW(g.setColumn(0, Vector<int>{1}), SizeError,
                        "void Matrix<T>::setColumn(const int,const Vector<T>&)",
                        "Incompatible matrix column and vector dimensions");
    g.swapRows(0, 2);
    EXPECT_EQ(g(0, 0), 20);
}

TEST(Matrix, FailureTableForOperands)
{
    Matrix<double> a(2, 3), b(3, 2);
    a.setOnes();
    EXPECT_PLEXAN_THROW(a -= b, SizeError, "void Matrix<T>::operator-=(const Matrix&)",
                        "The dimensions of the two matrices differ");
    EXPECT_PLEXAN_THROW(a *= a, SizeError, "void Matrix<T>::operator*=(const Matrix&)",
                        "The dimensions of the two matrices are not compatible");
    EXPECT_PLEXAN_THROW(a * Vector<double>{1}, SizeError, "Vector<T> Matrix<T>::operator*(const Vector<T>&)",
                        "Incompatible vector and matrix dimensions");
    EXPECT_EQ(a.getSize(), Vector<int>({2, 3}));
    EXPECT_EQ(a(1, 2), 1);
}

TEST(Matrix, SortRowsOrdersByAColumn)
{
    std::mt19937 rng(9);
    for (int trial = 0; trial < 20; ++trial) {
        Matrix<int> m = randomMatrix<int>(9, 3, rng);
        // Tag each row with its original index to check that rows move whole.
        for (int i = 0; i < 9; ++i)
            m(i, 2) = i;
        const Matrix<int> original = m;
        m.sortRows(1);
        std::vector<int> seen(9, 0);
        for (int i = 0; i < 9; ++i) {
            EXPECT_TRUE(i == 0 || m(i - 1, 1) <= m(i, 1));
            EXPECT_EQ(m.getRow(i), original.getRow(m(i, 2)));
            EXPECT_EQ(++seen[static_cast<std::size_t>(m(i, 2))], 1) << "a row taken twice";
        }

        Matrix<int> part = original;
        part.sortRows(6, 2, 0); // rows 2..6, given in reverse order
        for (int i = 0; i < 9; ++i)
            if (i < 2 || i > 6) {
                EXPECT_EQ(part.getRow(i), original.getRow(i));
            }
        for (int i = 3; i <= 6; ++i)
            EXPECT_LE(part(i - 1, 0), part(i, 0));
    }
}

TEST(Matrix, PrintWritesOneLinePerRow)
{
    Matrix<int> m(2, 2);
    m(0, 0) = 1, m(0, 1) = 2, m(1, 0) = 3, m(1, 1) = 4;
    Tensa::setIOTranspose(true);
    testing::internal::CaptureStdout();
    m.print("M");
    Tensa::setIOTranspose(false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "M\n   1.00   2.00\n   3.00   4.00\n");
}

TEST(SquareMatrix, KeepsBothSizesEqual)
{
    SquareMatrix<double> s(3);
    EXPECT_PLEXAN_THROW(s.setSize(2, 3), SizeError, "void SquareMatrix<T>::setSize(const int, const int)",
                        "Arguments n and p have distinct values.");
    EXPECT_PLEXAN_THROW(SquareMatrix<double>(Matrix<double>(2, 3)), SizeError,
                        "SquareMatrix<T>::SquareMatrix(const Matrix<T>&)", "Undocumented size error");
    Matrix<double> sq(2, 2);
    sq.setOnes();
    s = sq;
    EXPECT_EQ(s.getSize(), 2);
    // Assignment through a Matrix reference still respects the square shape.
    Matrix<double>& base = s;
    EXPECT_THROW(base = Matrix<double>(2, 3), SizeError);
}

} // namespace
