#include "numerics/parallel.h"
#include "numerics/squarematrix.h"
#include "numerics/tensa.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

// Random bytes in every element, and the whole matrix as one flat array of
// bytes, row after row, read element by element: the reference a copy is
// compared with.
template <typename T>
Matrix<T> randomBytes(int n, int p, std::mt19937& rng)
{
    Matrix<T> m(static_cast<unsigned>(n), static_cast<unsigned>(p));
    for (int i = 0; i < n; ++i) {
        auto* bytes = reinterpret_cast<unsigned char*>(m[i].data());
        for (std::size_t b = 0; b < static_cast<std::size_t>(p) * sizeof(T); ++b)
            bytes[b] = static_cast<unsigned char>(rng() >> 24);
    }
    return m;
}

template <typename T>
std::vector<unsigned char> flatBytes(const Matrix<T>& m)
{
    std::vector<unsigned char> out(static_cast<std::size_t>(m.getSize1()) * m.getSize2() * sizeof(T));
    unsigned char* to = out.data();
    for (int i = 0; i < m.getSize1(); ++i)
        for (int j = 0; j < m.getSize2(); ++j, to += sizeof(T))
            std::memcpy(to, &m(i, j), sizeof(T));
    return out;
}

// Each row of copy holds its part of bytes, in storage of its own.
template <typename T>
void expectDeepCopyOf(const Matrix<T>& copy, const Matrix<T>& source, const std::vector<unsigned char>& bytes,
                      const std::string& what)
{
    ASSERT_EQ(copy.getSize1(), source.getSize1()) << what;
    ASSERT_EQ(copy.getSize2(), source.getSize2()) << what;
    const std::size_t rowBytes = static_cast<std::size_t>(copy.getSize2()) * sizeof(T);
    for (int i = 0; i < copy.getSize1(); ++i) {
        if (rowBytes == 0)
            break;
        if (copy[i].getSize() != copy.getSize2() ||
            std::memcmp(copy[i].data(), bytes.data() + i * rowBytes, rowBytes) != 0) {
            ADD_FAILURE() << what << ": row " << i << " differs";
            break;
        }
        if (copy[i].data() == source[i].data()) {
            ADD_FAILURE() << what << ": row " << i << " shared with the source";
            break;
        }
    }
}

// Copies of a few megabytes and more are shared among the threads, below a
// size they are made by the calling thread. Whatever the path, a copy holds
// the source's bytes, each row in its own storage, and the source is left
// as it was: a row copied twice or not at all, a share that stopped short of
// the last rows, or a copy into the rows of the source, shows on matrices
// just below, at and just above that size (2 MiB), with fewer rows than
// threads, one row or one column, and on empty ones, at 1, 2 and 4 threads,
// by construction, by assignment onto a matrix of the same size and of
// another size.
TEST(Matrix, CopiesOnEveryThreadCountHoldTheSourceBytes)
{
    using plexan::parallel::ThreadCountScope;
    std::mt19937 rng(41);
    const auto check = [&](auto tag, int n, int p) {
        using T = decltype(tag);
        const Matrix<T> source = randomBytes<T>(n, p, rng);
        const std::vector<unsigned char> bytes = flatBytes(source);
        for (int threads : {1, 2, 4}) {
            ThreadCountScope scope(threads);
            const std::string what = std::to_string(n) + " x " + std::to_string(p) + " of " +
                                     std::to_string(sizeof(T)) + " bytes, " + std::to_string(threads) + " threads";
            const Matrix<T> constructed(source);
            expectDeepCopyOf(constructed, source, bytes, what + ", constructed");
            Matrix<T> same(static_cast<unsigned>(n), static_cast<unsigned>(p));
            same.fill(T(0));
            same = source;
            expectDeepCopyOf(same, source, bytes, what + ", assigned in place");
            Matrix<T> other(3, 5);
            other = source;
            expectDeepCopyOf(other, source, bytes, what + ", assigned over 3 x 5");
        }
        EXPECT_TRUE(flatBytes(source) == bytes) << n << " x " << p << ": source changed";
    };
    check((unsigned char)0, 1023, 2048);
    check((unsigned char)0, 1024, 2048);
    check((unsigned char)0, 1025, 2047);
    check((unsigned char)0, 3, 699051);
    check((unsigned char)0, 2, 1 << 20);
    check((unsigned char)0, 1, 3 << 20);
    check(double(0), 257, 1021);
    check(double(0), 262145, 1);
    check(float(0), 0, 0);
    check(float(0), 0, 600000);
    check(float(0), 600000, 0);
}

// A matrix whose rows view one buffer (as the Python bindings make them):
// its copy owns its rows, and a copy into it writes through the views into
// the buffer, on every thread count.
TEST(Matrix, CopiesFromAndIntoRowViewsOnEveryThreadCount)
{
    using plexan::parallel::ThreadCountScope;
    std::mt19937 rng(43);
    const int n = 700;
    const int p = 1000; // 2.8 MB of floats
    const Matrix<float> source = randomBytes<float>(n, p, rng);
    const std::vector<unsigned char> bytes = flatBytes(source);
    for (int threads : {1, 2, 4}) {
        ThreadCountScope scope(threads);
        std::vector<float> buffer(static_cast<std::size_t>(n) * p, 0.0f);
        Matrix<float> views(static_cast<unsigned>(n), static_cast<unsigned>(p));
        for (int i = 0; i < n; ++i)
            views[i].setShallow(buffer.data() + static_cast<std::size_t>(i) * p, p);
        views = source;
        EXPECT_TRUE(views[0].isShallow());
        EXPECT_EQ(std::memcmp(buffer.data(), bytes.data(), bytes.size()), 0) << threads << " threads";
        const Matrix<float> owned(views);
        expectDeepCopyOf(owned, views, bytes, std::to_string(threads) + " threads, copy of views");
        EXPECT_FALSE(owned[n - 1].isShallow());
    }
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

// A matrix of 4 MiB or more keeps its rows one after the other in one block.
// Its rows still behave as vectors of their own: sorting exchanges rows
// whole, a row moved out or exchanged with a vector of another size takes
// its elements along and outlives the matrix, a resized row gets storage of
// its own, and the matrix moves with its block.
TEST(Matrix, LargeMatrixRowsShareOneBlockAndStillActAsVectors)
{
    std::mt19937 rng(17);
    const int n = 1100;
    const int p = 1000; // 4.4 MB of floats
    Matrix<float> big = randomMatrix<float>(n, p, rng);
    for (int i = 0; i + 1 < n; ++i)
        ASSERT_EQ(big[i + 1].data(), big[i].data() + p) << "row " << i;
    EXPECT_FALSE(big[0].isShallow());

    // Sorting by column 0 against a sort of the rows as standard vectors.
    for (int i = 0; i < n; ++i)
        big(i, 1) = static_cast<float>(i); // tags each row
    std::vector<std::vector<float>> rows(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        rows[static_cast<std::size_t>(i)].assign(big[i].begin(), big[i].end());
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a[0] < b[0]; });
    big.sortRows(0);
    for (int i = 0; i < n; ++i)
        ASSERT_TRUE(std::equal(big[i].begin(), big[i].end(), rows[static_cast<std::size_t>(i)].begin()))
            << "row " << i;

    Vector<float> movedOut;
    Vector<float> exchanged{1.0f, 2.0f};
    Vector<float> grown;
    {
        Matrix<float> holder(std::move(big));
        EXPECT_EQ(big.getSize1(), 0);
        EXPECT_EQ(holder(7, 1), rows[7][1]);
        movedOut = std::move(holder[3]);
        EXPECT_EQ(holder.getRow(3), movedOut) << "a row moved out keeps its place";
        holder[4].swap(exchanged);
        EXPECT_EQ(holder[4], Vector<float>({1.0f, 2.0f}));
        holder[5].append(-1.0f);
        EXPECT_EQ(holder[5].getSize(), p + 1);
        grown = holder[5];
        holder.swapRows(5, 6); // a row of its own and a row of the block
        EXPECT_EQ(holder[6], grown);
        EXPECT_EQ(holder[5].getSize(), p);
        EXPECT_EQ(holder(5, 1), rows[6][1]);
    }
    // The block is gone: what left it must not point into it.
    EXPECT_TRUE(std::equal(movedOut.begin(), movedOut.end(), rows[3].begin()));
    EXPECT_TRUE(std::equal(exchanged.begin(), exchanged.end(), rows[4].begin()));
    EXPECT_EQ(grown[p], -1.0f);
    EXPECT_TRUE(std::equal(grown.begin(), grown.end() - 1, rows[5].begin()));
}

// A matrix lent storage writes into it and never lets it go: moves copy the
// elements, a resize gives the matrix storage of its own.
TEST(Matrix, LentStorageStaysWithItsOwner)
{
    std::vector<double> storage(12, 0.0);
    Matrix<double> lent;
    lent.lend(storage.data(), 3, 4);
    EXPECT_TRUE(lent.isLent());
    lent(2, 3) = 5.0;
    EXPECT_EQ(storage[11], 5.0);

    Matrix<double> moved(std::move(lent));
    EXPECT_FALSE(moved.isLent());
    EXPECT_NE(moved[0].data(), storage.data());
    EXPECT_EQ(moved(2, 3), 5.0);
    EXPECT_TRUE(lent.isLent());
    EXPECT_EQ(lent[0].data(), storage.data());

    Matrix<double> source(3, 4);
    source.setOnes();
    lent = std::move(source);
    EXPECT_EQ(storage[0], 1.0);
    EXPECT_EQ(lent[0].data(), storage.data());
    Matrix<double> target(3, 4);
    target = std::move(lent);
    EXPECT_NE(target[0].data(), storage.data());
    EXPECT_EQ(target(1, 1), 1.0);

    lent.setSize(2, 2);
    EXPECT_FALSE(lent.isLent());
    lent.setZeros();
    EXPECT_EQ(storage[0], 1.0);
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
