#include "numerics/matrix.h"
#include "numerics/hugepages.h"

#include "numerics/parallel.h"
#include "numerics/smallbuffer.h"
#include "numerics/squarematrix.h"
#include "numerics/tensa.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void throwSize(const char* where, const char* what)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

using plexan::SmallBuffer;

// PLEXAN_ROW_CLONES marks a plain function to be compiled for AVX-512 and
// AVX2 as well as the baseline, the processor picking its version when the
// program loads; `flatten` inlines the kernel templates into each version.
// Contraction is off for this file, so every version rounds alike.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define PLEXAN_ROW_CLONES __attribute__((target_clones("avx512f", "avx2", "default"), flatten))
#endif
#endif
#ifndef PLEXAN_ROW_CLONES
#define PLEXAN_ROW_CLONES
#endif

// w = sum over rows i of v[i] * rows[i] (in row order), then every row i
// loses v[i] * beta * w: a reflection applied from the left to `count` rows
// of `width` elements. w has room for width values.
template <typename T>
inline void reflectRowsKernel(T* const* rows, int count, const T* v, T beta, T* w, int width)
{
    for (int j = 0; j < width; ++j)
        w[j] = T(0);
    for (int i = 0; i < count; ++i) {
        const T vi = v[i];
        const T* row = rows[i];
        for (int j = 0; j < width; ++j)
            w[j] += vi * row[j];
    }
    for (int j = 0; j < width; ++j)
        w[j] = beta * w[j];
    for (int i = 0; i < count; ++i) {
        const T vi = v[i];
        T* row = rows[i];
        for (int j = 0; j < width; ++j)
            row[j] -= vi * w[j];
    }
}

template <typename T>
inline void reflectRows(T* const* rows, int count, const T* v, T beta, T* w, int width)
{
    reflectRowsKernel(rows, count, v, beta, w, width);
}

PLEXAN_ROW_CLONES void reflectRows(double* const* rows, int count, const double* v, double beta, double* w, int width)
{
    reflectRowsKernel(rows, count, v, beta, w, width);
}

PLEXAN_ROW_CLONES void reflectRows(float* const* rows, int count, const float* v, float beta, float* w, int width)
{
    reflectRowsKernel(rows, count, v, beta, w, width);
}

// The rotations of neighbouring rows (rows[r], rows[r + 1]) by (c[r], s[r]),
// r = 0 .. count - 1 in that order, as Matrix::leftGivensRotate applies them
// one by one to rows of width elements. A block of columns goes through all
// of them at once with the row shared by two successive rotations held in
// registers, so every row is read and written once for the whole sequence;
// each element sees the same operations in the same order.
template <typename T>
inline void rotateNeighbourRowsKernel(T* const* rows, int count, const T* c, const T* s, int width)
{
    constexpr int block = 64;
    // Columns j0 .. j0 + w - 1; full blocks pass w as a constant.
    const auto columns = [&](int j0, int w) {
        T carry[block];
        const T* top = rows[0] + j0;
        for (int j = 0; j < w; ++j)
            carry[j] = top[j];
        for (int r = 0; r < count; ++r) {
            T* out = rows[r] + j0;
            const T* next = rows[r + 1] + j0;
            const T cr = c[r];
            const T sr = s[r];
            for (int j = 0; j < w; ++j) {
                const T a = carry[j];
                const T b = next[j];
                out[j] = cr * a - sr * b;
                carry[j] = sr * a + cr * b;
            }
        }
        T* last = rows[count] + j0;
        for (int j = 0; j < w; ++j)
            last[j] = carry[j];
    };
    int j0 = 0;
    for (; j0 + block <= width; j0 += block)
        columns(j0, block);
    if (j0 < width)
        columns(j0, width - j0);
}

template <typename T>
inline void rotateNeighbourRows(T* const* rows, int count, const T* c, const T* s, int width)
{
    rotateNeighbourRowsKernel(rows, count, c, s, width);
}

PLEXAN_ROW_CLONES void rotateNeighbourRows(double* const* rows, int count, const double* c, const double* s,
                                           int width)
{
    rotateNeighbourRowsKernel(rows, count, c, s, width);
}

PLEXAN_ROW_CLONES void rotateNeighbourRows(float* const* rows, int count, const float* c, const float* s, int width)
{
    rotateNeighbourRowsKernel(rows, count, c, s, width);
}

// Rows of at most this many elements go through the kernels above inlined
// with their width known, unrolled: the call through the processor's version
// and the vector loops' set-up would cost more than the arithmetic. Every
// element sees the same operations either way.
constexpr int narrowWidth = 4;

template <typename T>
inline void reflectNarrowRows(T* const* rows, int count, const T* v, T beta, T* w, int width)
{
    switch (width) {
    case 1:
        reflectRowsKernel(rows, count, v, beta, w, 1);
        break;
    case 2:
        reflectRowsKernel(rows, count, v, beta, w, 2);
        break;
    case 3:
        reflectRowsKernel(rows, count, v, beta, w, 3);
        break;
    default:
        reflectRowsKernel(rows, count, v, beta, w, 4);
        break;
    }
}

template <typename T>
inline void rotateNarrowNeighbourRows(T* const* rows, int count, const T* c, const T* s, int width)
{
    switch (width) {
    case 1:
        rotateNeighbourRowsKernel(rows, count, c, s, 1);
        break;
    case 2:
        rotateNeighbourRowsKernel(rows, count, c, s, 2);
        break;
    case 3:
        rotateNeighbourRowsKernel(rows, count, c, s, 3);
        break;
    default:
        rotateNeighbourRowsKernel(rows, count, c, s, 4);
        break;
    }
}

// The reflection I - beta v v^T (v of count values) from the left on rows
// i1 .. i1 + count - 1, columns j1 .. j1 + width - 1, of the rows row(i).
template <typename T, typename Row>
void reflectBlockLeft(Row row, int i1, const T* v, int count, T beta, int j1, int width)
{
    if (width <= 0 || beta == T(0))
        return;
    // w = beta * v^T A, accumulated row by row so that the inner loops run
    // along contiguous rows; each column still sums over i in order.
    SmallBuffer<T, 16> w(static_cast<std::size_t>(width));
    SmallBuffer<T*, 16> rows(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        rows[i] = row(i1 + i) + j1;
    if (width <= narrowWidth)
        reflectNarrowRows(rows.data(), count, v, beta, w.data(), width);
    else
        reflectRows(rows.data(), count, v, beta, w.data(), width);
}

// The reflection I - beta v v^T (v of width values) from the right on rows
// i1 .. i2, columns j1 .. j1 + width - 1, of the rows row(i).
template <typename T, typename Row>
void reflectBlockRight(Row row, int i1, int i2, const T* vv, T beta, int j1, int width)
{
    if (width <= 0 || beta == T(0))
        return;
    // Four rows at a time: their dot products are independent chains the
    // processor overlaps, each summed in column order as for one row.
    int i = i1;
    for (; i + 3 <= i2; i += 4) {
        T* r0 = row(i) + j1;
        T* r1 = row(i + 1) + j1;
        T* r2 = row(i + 2) + j1;
        T* r3 = row(i + 3) + j1;
        T s0 = T(0), s1 = T(0), s2 = T(0), s3 = T(0);
        for (int j = 0; j < width; ++j) {
            const T vj = vv[j];
            s0 += vj * r0[j];
            s1 += vj * r1[j];
            s2 += vj * r2[j];
            s3 += vj * r3[j];
        }
        s0 = beta * s0;
        s1 = beta * s1;
        s2 = beta * s2;
        s3 = beta * s3;
        for (int j = 0; j < width; ++j) {
            const T vj = vv[j];
            r0[j] -= vj * s0;
            r1[j] -= vj * s1;
            r2[j] -= vj * s2;
            r3[j] -= vj * s3;
        }
    }
    for (; i <= i2; ++i) {
        T* r = row(i) + j1;
        T s = T(0);
        for (int j = 0; j < width; ++j)
            s += vv[j] * r[j];
        s = beta * s;
        for (int j = 0; j < width; ++j)
            r[j] -= vv[j] * s;
    }
}

// Copies of at least this many bytes are shared among the threads; below
// it a copy is too short to pay for waking them.
constexpr std::size_t parallelCopyBytes = std::size_t(2) << 20;

// to = from for one row: its bytes moved at once when the sizes agree, as
// they do but for a row resized on its own (an element-by-element loop over
// bytes cannot be widened, its target might be the vector itself).
template <typename T>
inline void copyRow(Vector<T>& to, const Vector<T>& from)
{
    static_assert(std::is_trivially_copyable_v<T>);
    const int size = from.getSize();
    if (to.getSize() != size)
        to = from;
    else if (size > 0)
        std::memmove(to.data(), from.data(), static_cast<std::size_t>(size) * sizeof(T));
}

// to[i] = from[i] for the n rows of p elements. A large copy is cut into one
// run of consecutive rows per thread, the first one normally taken by the
// calling thread, as a loop over bands of the same rows is shared out: each
// thread then finds most of the rows it works on next in its own core's
// cache, and the workers are awake when that loop starts.
template <typename T>
void copyRows(Vector<T>* to, const Vector<T>* from, int n, int p)
{
    const int threads = plexan::parallel::getThreadCount();
    const std::size_t bytes = static_cast<std::size_t>(n) * static_cast<std::size_t>(std::max(p, 0)) * sizeof(T);
    if (threads == 1 || n < 2 || bytes < parallelCopyBytes) {
        for (int i = 0; i < n; ++i)
            copyRow(to[i], from[i]);
        return;
    }
    plexan::parallel::forEachChunk(0, n, plexan::parallel::grainFor(n, threads),
                                   [&](std::ptrdiff_t first, std::ptrdiff_t last) {
                                       for (std::ptrdiff_t i = first; i < last; ++i)
                                           copyRow(to[i], from[i]);
                                   });
}

} // namespace

template <typename T>
void Matrix<T>::allocate(int n, int p)
{
    m_n = n > 0 ? n : 0;
    m_p = p;
    m_rows = m_n > 0 ? new Vector<T>[m_n] : nullptr;
    const std::size_t bytes = static_cast<std::size_t>(m_n) * static_cast<std::size_t>(p > 0 ? p : 0) * sizeof(T);
    if constexpr (std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>) {
        if (bytes >= plexan::sharedBlockBytes) {
            try {
                m_block = static_cast<T*>(plexan::allocateLarge(bytes));
            } catch (...) {
                delete[] m_rows;
                m_rows = nullptr;
                m_n = 0;
                m_p = 0;
                throw;
            }
            m_blockBytes = bytes;
            borrowRows(m_block);
            return;
        }
    }
    for (int i = 0; i < m_n; ++i)
        m_rows[i].setSize(p);
}

template <typename T>
void Matrix<T>::release() noexcept
{
    delete[] m_rows;
    m_rows = nullptr;
    plexan::freeLarge(m_block, m_blockBytes);
    m_block = nullptr;
    m_blockBytes = 0;
    m_lent = false;
}

template <typename T>
void Matrix<T>::lend(T* data, int n, int p)
{
    release();
    n = n > 0 ? n : 0;
    p = p > 0 ? p : 0;
    m_rows = n > 0 ? new Vector<T>[n] : nullptr;
    m_n = n;
    m_p = p;
    m_lent = true;
    borrowRows(data);
}

template <typename T>
void Matrix<T>::borrowRows(T* data)
{
    for (int i = 0; i < m_n; ++i)
        m_rows[i].borrow(data + static_cast<std::ptrdiff_t>(i) * m_p, m_p);
}

template <typename T>
Matrix<T>::Matrix(const Vector<T>& v, bool row)
{
    const int size = v.getSize();
    if (row) {
        allocate(1, size);
        setRow(0, v);
    } else {
        allocate(size, 1);
        setColumn(0, v);
    }
}

template <typename T>
Matrix<T>::Matrix(const Matrix& other)
{
    allocate(other.m_n, other.m_p);
    copyRows(m_rows, other.m_rows, m_n, m_p);
}

template <typename T>
Matrix<T>::Matrix(Matrix&& other) noexcept
{
    if (other.m_lent) {
        allocate(other.m_n, other.m_p);
        copyRows(m_rows, other.m_rows, m_n, m_p);
        return;
    }
    std::swap(m_n, other.m_n);
    std::swap(m_p, other.m_p);
    std::swap(m_rows, other.m_rows);
    std::swap(m_block, other.m_block);
    std::swap(m_blockBytes, other.m_blockBytes);
}

template <typename T>
Matrix<T>& Matrix<T>::operator=(const Matrix& other)
{
    if (this != &other) {
        setSize(other.m_n, other.m_p);
        copyRows(m_rows, other.m_rows, m_n, m_p);
    }
    return *this;
}

template <typename T>
Matrix<T>& Matrix<T>::operator=(Matrix&& other)
{
    if (this == &other)
        return *this;
    // The virtual setSize has the last word on shapes (a square matrix
    // refuses a rectangular one), so moves go through it too.
    if (other.m_n != m_n || other.m_p != m_p)
        setSize(other.m_n, other.m_p);
    // Lent storage stays with its owner: the elements move instead.
    if (m_lent || other.m_lent) {
        copyRows(m_rows, other.m_rows, m_n, m_p);
        return *this;
    }
    std::swap(m_rows, other.m_rows);
    std::swap(m_block, other.m_block);
    std::swap(m_blockBytes, other.m_blockBytes);
    return *this;
}

template <typename T>
void Matrix<T>::setSize(int n, int p)
{
    if (n == m_n && p == m_p)
        return;
    release();
    allocate(n, p);
}

template <typename T>
Vector<T> Matrix<T>::getColumn(int j) const
{
    Vector<T> column;
    getColumn(column, j);
    return column;
}

template <typename T>
void Matrix<T>::getColumn(Vector<T>& column, int j) const
{
    column.setSize(m_n);
    for (int i = 0; i < m_n; ++i)
        column[i] = m_rows[i][j];
}

template <typename T>
void Matrix<T>::setRow(int i, const Vector<T>& v)
{
    if (v.getSize() != m_p)
        throwSize("void Matrix<T>::setRow(const int,const Vector<T>&)",
                  "Incompatible matrix row and vector dimensions");
    m_rows[i] = v;
}

template <typename T>
void Matrix<T>::setColumn(int j, const Vector<T>& v)
{
    if (v.getSize() != m_n)
        throwSize("void Matrix<T>::setColumn(const int,const Vector<T>&)",
                  "Incompatible matrix column and vector dimensions");
    for (int i = 0; i < m_n; ++i)
        m_rows[i][j] = v[i];
}

template <typename T>
Matrix<T> Matrix<T>::copy(int i1, int i2, int j1, int j2) const
{
    Matrix out(static_cast<unsigned int>(i2 - i1 + 1), static_cast<unsigned int>(j2 - j1 + 1));
    for (int i = i1; i <= i2; ++i)
        for (int j = j1; j <= j2; ++j)
            out.m_rows[i - i1][j - j1] = m_rows[i][j];
    return out;
}

template <typename T>
void Matrix<T>::paste(int i, int j, const Matrix& block)
{
    if (i + block.m_n > m_n || j + block.m_p > m_p)
        throwSize("void Matrix<T>::paste(...)", "Cannot paste block at specified position");
    for (int r = 0; r < block.m_n; ++r) {
        T* dst = m_rows[i + r].data() + j;
        const T* src = block.m_rows[r].data();
        std::copy(src, src + block.m_p, dst);
    }
}

template <typename T>
Vector<T> Matrix<T>::cat() const
{
    Vector<T> out(static_cast<unsigned int>(m_n > 0 && m_p > 0 ? m_n * m_p : 0));
    for (int i = 0; i < m_n; ++i)
        std::copy(m_rows[i].begin(), m_rows[i].end(), out.data() + static_cast<std::ptrdiff_t>(i) * m_p);
    return out;
}

template <typename T>
Matrix<T> Matrix<T>::transpose() const
{
    Matrix out(static_cast<unsigned int>(m_p), static_cast<unsigned int>(m_n));
    for (int i = 0; i < m_n; ++i)
        for (int j = 0; j < m_p; ++j)
            out.m_rows[j][i] = m_rows[i][j];
    return out;
}

template <typename T>
void Matrix<T>::fill(const T& x)
{
    for (int i = 0; i < m_n; ++i)
        m_rows[i].fill(x);
}

#define PLEXAN_ROW_REDUCTION(name)                                                       \
    template <typename T>                                                                \
    Vector<T> Matrix<T>::name() const                                                    \
    {                                                                                    \
        Vector<T> out(static_cast<unsigned int>(m_n));                                   \
        for (int i = 0; i < m_n; ++i)                                                    \
            out[i] = m_rows[i].name();                                                   \
        return out;                                                                      \
    }
PLEXAN_ROW_REDUCTION(min)
PLEXAN_ROW_REDUCTION(max)
PLEXAN_ROW_REDUCTION(sum)
PLEXAN_ROW_REDUCTION(prod)
PLEXAN_ROW_REDUCTION(mean)
PLEXAN_ROW_REDUCTION(var)
PLEXAN_ROW_REDUCTION(std)
#undef PLEXAN_ROW_REDUCTION

template <typename T>
T Matrix<T>::snorm() const
{
    T s = T(0);
    for (int i = 0; i < m_n; ++i)
        s = static_cast<T>(s + m_rows[i].snorm());
    return s;
}

template <typename T>
T Matrix<T>::mean2() const
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("T Matrix<T>::mean2() const");
    } else {
        if (m_n < 1 || m_p < 1)
            return T(0);
        T s = T(0);
        for (int i = 0; i < m_n; ++i)
            s += m_rows[i].sum();
        return s / static_cast<T>(m_n * m_p);
    }
}

template <typename T>
T Matrix<T>::var2() const
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("T Matrix<T>::var2() const");
    } else {
        if (m_n < 1 || m_p < 1)
            return T(0);
        const T m = mean2();
        T s = T(0);
        for (int i = 0; i < m_n; ++i)
            for (const T& x : m_rows[i])
                s += (x - m) * (x - m);
        return s / static_cast<T>(m_n * m_p);
    }
}

template <typename T>
T Matrix<T>::std2() const
{
    if constexpr (!plexan::isReal<T>)
        plexan::refuseType<T>("T Matrix<T>::std2() const");
    else
        return std::sqrt(var2());
}

template <typename T>
Vector<T> Matrix<T>::range() const
{
    if (m_n < 1 || m_p < 1)
        throwSize("Vector<T> Matrix<T>::range() const", "This matrix is empty.");
    Vector<T> r = m_rows[0].range();
    for (int i = 1; i < m_n; ++i) {
        const Vector<T> ri = m_rows[i].range();
        if (ri[0] < r[0])
            r[0] = ri[0];
        if (ri[1] > r[1])
            r[1] = ri[1];
    }
    return r;
}

template <typename T>
Vector<unsigned int> Matrix<T>::histogram(T origin, T width, unsigned int nbins) const
{
    Vector<unsigned int> counts(nbins);
    counts.setZeros();
    for (int i = 0; i < m_n; ++i)
        counts += m_rows[i].histogram(origin, width, nbins);
    return counts;
}

// Arithmetic ----------------------------------------------------------------

namespace {

template <typename T>
void requireSameSize(const Matrix<T>& a, const Matrix<T>& b, const char* where)
{
    if (a.getSize1() != b.getSize1() || a.getSize2() != b.getSize2())
        throwSize(where, "The dimensions of the two matrices differ");
}

} // namespace

template <typename T>
Matrix<T> Matrix<T>::operator+(const Matrix& m) const
{
    requireSameSize(*this, m, "Matrix<T> Matrix<T>::operator+(const Matrix&) const");
    Matrix out(*this);
    for (int i = 0; i < m_n; ++i)
        out.m_rows[i] += m.m_rows[i];
    return out;
}

template <typename T>
Matrix<T> Matrix<T>::operator-(const Matrix& m) const
{
    requireSameSize(*this, m, "Matrix<T> Matrix<T>::operator-(const Matrix&) const");
    Matrix out(*this);
    for (int i = 0; i < m_n; ++i)
        out.m_rows[i] -= m.m_rows[i];
    return out;
}

template <typename T>
Matrix<T> Matrix<T>::pointwiseProduct(const Matrix& m) const
{
    requireSameSize(*this, m, "Matrix<T> Matrix<T>::pointwiseProduct(const Matrix&) const");
    Matrix out(*this);
    for (int i = 0; i < m_n; ++i) {
        T* o = out.m_rows[i].data();
        const T* b = m.m_rows[i].data();
        for (int j = 0; j < m_p; ++j)
            o[j] = static_cast<T>(o[j] * b[j]);
    }
    return out;
}

template <typename T>
void Matrix<T>::operator+=(const Matrix& m)
{
    requireSameSize(*this, m, "void Matrix<T>::operator+=(const Matrix&)");
    for (int i = 0; i < m_n; ++i)
        m_rows[i] += m.m_rows[i];
}

template <typename T>
void Matrix<T>::operator-=(const Matrix& m)
{
    requireSameSize(*this, m, "void Matrix<T>::operator-=(const Matrix&)");
    for (int i = 0; i < m_n; ++i)
        m_rows[i] -= m.m_rows[i];
}

namespace {

// out = a * b; sums run over k in increasing order for every element.
template <typename T>
void multiply(const Matrix<T>& a, const Matrix<T>& b, Matrix<T>& out)
{
    const int n = a.getSize1();
    const int q = a.getSize2();
    const int p = b.getSize2();
    for (int i = 0; i < n; ++i) {
        T* o = out[i].data();
        for (int j = 0; j < p; ++j)
            o[j] = T(0);
        const T* ai = a[i].data();
        for (int k = 0; k < q; ++k) {
            const T aik = ai[k];
            const T* bk = b[k].data();
            for (int j = 0; j < p; ++j)
                o[j] = static_cast<T>(o[j] + aik * bk[j]);
        }
    }
}

} // namespace

template <typename T>
Matrix<T> Matrix<T>::operator*(const Matrix& m) const
{
    if (m_p != m.m_n)
        throwSize("Matrix<T> Matrix<T>::operator*(const Matrix&) const",
                  "The dimensions of the two matrices are not compatible");
    Matrix out(static_cast<unsigned int>(m_n), static_cast<unsigned int>(m.m_p));
    multiply(*this, m, out);
    return out;
}

template <typename T>
void Matrix<T>::operator*=(const Matrix& m)
{
    if (m_p != m.m_n)
        throwSize("void Matrix<T>::operator*=(const Matrix&)",
                  "The dimensions of the two matrices are not compatible");
    Matrix out(static_cast<unsigned int>(m_n), static_cast<unsigned int>(m.m_p));
    multiply(*this, m, out);
    *this = std::move(out);
}

template <typename T>
Vector<T> Matrix<T>::operator*(const Vector<T>& v) const
{
    if (v.getSize() != m_p)
        throwSize("Vector<T> Matrix<T>::operator*(const Vector<T>&)", "Incompatible vector and matrix dimensions");
    Vector<T> out(static_cast<unsigned int>(m_n));
    for (int i = 0; i < m_n; ++i) {
        const T* row = m_rows[i].data();
        T s = T(0);
        for (int j = 0; j < m_p; ++j)
            s = static_cast<T>(s + row[j] * v[j]);
        out[i] = s;
    }
    return out;
}

#define PLEXAN_SCALAR_OPERATOR(op)                                                       \
    template <typename T>                                                                \
    Matrix<T> Matrix<T>::operator op(const T& x) const                                   \
    {                                                                                    \
        Matrix out(*this);                                                               \
        out op## = x;                                                                    \
        return out;                                                                      \
    }                                                                                    \
    template <typename T>                                                                \
    void Matrix<T>::operator op##=(const T& x)                                           \
    {                                                                                    \
        for (int i = 0; i < m_n; ++i)                                                    \
            m_rows[i] op## = x;                                                          \
    }
PLEXAN_SCALAR_OPERATOR(+)
PLEXAN_SCALAR_OPERATOR(-)
PLEXAN_SCALAR_OPERATOR(*)
PLEXAN_SCALAR_OPERATOR(/)
#undef PLEXAN_SCALAR_OPERATOR

template <typename T>
Matrix<T> Matrix<T>::operator-() const
{
    Matrix out(static_cast<unsigned int>(m_n), static_cast<unsigned int>(m_p));
    for (int i = 0; i < m_n; ++i)
        out.m_rows[i] = -m_rows[i];
    return out;
}

template <typename T>
bool Matrix<T>::operator==(const Matrix& m) const
{
    if (m_n != m.m_n || m_p != m.m_p)
        return false;
    for (int i = 0; i < m_n; ++i)
        if (m_rows[i] != m.m_rows[i])
            return false;
    return true;
}

// Row sorting ---------------------------------------------------------------

template <typename T>
void Matrix<T>::sortRows(int col)
{
    if (m_n >= 2)
        sortRows(0, m_n - 1, col);
}

template <typename T>
void Matrix<T>::sortRows(int r1, int r2, int col)
{
    if (r1 > r2)
        std::swap(r1, r2);
    const int count = r2 - r1 + 1;
    if (count < 2)
        return;
    // Sort (row, value) pairs, then bring each row to its place by swaps.
    std::vector<std::pair<int, T>> keys(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r)
        keys[static_cast<std::size_t>(r)] = {r1 + r, m_rows[r1 + r][col]};
    std::stable_sort(keys.begin(), keys.end(),
                     [](const std::pair<int, T>& a, const std::pair<int, T>& b) { return a.second < b.second; });
    // where[r] = current position of the row originally at r; at[pos] = original row at pos.
    std::vector<int> where(static_cast<std::size_t>(m_n));
    std::vector<int> at(static_cast<std::size_t>(m_n));
    std::iota(where.begin(), where.end(), 0);
    std::iota(at.begin(), at.end(), 0);
    for (int target = 0; target < count; ++target) {
        const int pos = r1 + target;
        const int original = keys[static_cast<std::size_t>(target)].first;
        const int current = where[static_cast<std::size_t>(original)];
        if (current != pos) {
            swapRows(pos, current);
            const int displaced = at[static_cast<std::size_t>(pos)];
            at[static_cast<std::size_t>(current)] = displaced;
            where[static_cast<std::size_t>(displaced)] = current;
            at[static_cast<std::size_t>(pos)] = original;
            where[static_cast<std::size_t>(original)] = pos;
        }
    }
}

// Text output ---------------------------------------------------------------

template <typename T>
void Matrix<T>::print(const std::string& label, std::ostream& stream) const
{
    if (!label.empty())
        stream << label << std::endl;
    const bool transpose = Tensa::getIOTranspose();
    Tensa::setIOTranspose(false);
    for (int i = 0; i < m_n; ++i)
        m_rows[i].print("", stream);
    Tensa::setIOTranspose(transpose);
}

// Linear algebra --------------------------------------------------------------
//
// Givens rotations and Householder reflections, Householder bidiagonalisation,
// the Golub-Kahan singular value decomposition and the least-squares solve and
// pseudo-inverse built on it. Real element types only: the integer and bool
// instantiations refuse.

namespace {

[[noreturn]] void throwMath(const char* where, const char* what)
{
    MathError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

} // namespace

template <typename T>
void Matrix<T>::givens(T& c, T& s, T a, T b)
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("void Matrix<T>::givens(T&,T&,const T,const T)");
    } else {
        if (b == T(0)) {
            c = T(1);
            s = T(0);
        } else if (std::abs(a) > std::abs(b)) {
            const T tau = -b / a;
            c = T(1) / std::sqrt(T(1) + tau * tau);
            s = tau * c;
        } else {
            const T tau = -a / b;
            s = T(1) / std::sqrt(T(1) + tau * tau);
            c = tau * s;
        }
    }
}

template <typename T>
void Matrix<T>::leftGivensRotate(T c, T s, int i, int k)
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("void Matrix<T>::leftGivensRotate(const T,const T,const int,const int)");
    } else {
        T* ri = m_rows[i].data();
        T* rk = m_rows[k].data();
        for (int j = 0; j < m_p; ++j) {
            const T a = ri[j];
            const T b = rk[j];
            ri[j] = c * a - s * b;
            rk[j] = s * a + c * b;
        }
    }
}

template <typename T>
void Matrix<T>::rightGivensRotate(T c, T s, int i, int k)
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("void Matrix<T>::rightGivensRotate(const T,const T,const int,const int)");
    } else {
        for (int r = 0; r < m_n; ++r) {
            T* row = m_rows[r].data();
            const T a = row[i];
            const T b = row[k];
            row[i] = c * a - s * b;
            row[k] = s * a + c * b;
        }
    }
}

template <typename T>
void Matrix<T>::leftHouseholderTransform(const Vector<T>& v, T beta)
{
    leftHouseholderTransform(v, beta, 0, m_n - 1, 0, m_p - 1);
}

template <typename T>
void Matrix<T>::leftHouseholderTransform(const Vector<T>& v, T beta, int i1, int i2, int j1, int j2)
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("Matrix<T> Matrix<T>::leftHouseholderTransform(...)");
    } else {
        if (v.getSize() != i2 - i1 + 1) {
            SizeError e;
            e.setWhere("Matrix<T> Matrix<T>::leftHouseholderTransform(...)");
            throw e;
        }
        reflectBlockLeft([this](int r) { return m_rows[r].data(); }, i1, v.data(), v.getSize(), beta, j1,
                         j2 - j1 + 1);
    }
}

template <typename T>
void Matrix<T>::rightHouseholderTransform(const Vector<T>& v, T beta)
{
    rightHouseholderTransform(v, beta, 0, m_n - 1, 0, m_p - 1);
}

template <typename T>
void Matrix<T>::rightHouseholderTransform(const Vector<T>& v, T beta, int i1, int i2, int j1, int j2)
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("Matrix<T> Matrix<T>::rightHouseholderTransform(...)");
    } else {
        const int width = j2 - j1 + 1;
        if (v.getSize() != width)
            throwSize("Matrix<T> Matrix<T>::rightHouseholderTransform(...)",
                      "Incompatible block and Householder vector dimensions");
        reflectBlockRight([this](int r) { return m_rows[r].data(); }, i1, i2, v.data(), beta, j1, width);
    }
}

namespace {

// Where the left transforms of a decomposition go: into the whole left
// factor, or only into its product with one vector, which is all a
// least-squares solve needs (n values to update instead of n rows).
template <typename T>
struct LeftTransforms {
    SquareMatrix<T>* factor = nullptr;
    Vector<T>* product = nullptr;

    // The reflection I - beta v v^T on rows k .. k + |v| - 1.
    void reflect(const Vector<T>& v, T beta, int k) const
    {
        if (factor)
            factor->leftHouseholderTransform(v, beta, k, k + v.getSize() - 1, 0, factor->getSize1() - 1);
        if (product && beta != T(0)) {
            T* u = product->data() + k;
            T w = T(0);
            for (int i = 0; i < v.getSize(); ++i)
                w += v[i] * u[i];
            w = beta * w;
            for (int i = 0; i < v.getSize(); ++i)
                u[i] -= v[i] * w;
        }
    }

    // Rows i and k rotated as by Matrix::leftGivensRotate.
    void rotate(T c, T s, int i, int k) const
    {
        if (factor)
            factor->leftGivensRotate(c, s, i, k);
        if (product) {
            T& a = (*product)[i];
            T& b = (*product)[k];
            const T x = a;
            const T y = b;
            a = c * x - s * y;
            b = s * x + c * y;
        }
    }

    void negate(int i) const
    {
        if (factor)
            (*factor)[i] *= T(-1);
        if (product)
            (*product)[i] = -(*product)[i];
    }
};

// The rotations (first + r, first + r + 1) by (c[r], s[r]), r = 0 .. count - 1
// in that order, of the rows of m.
template <typename T>
void rotateRowSequence(Matrix<T>& m, int first, const T* c, const T* s, int count)
{
    if (count < 1)
        return;
    SmallBuffer<T*, 16> rows(static_cast<std::size_t>(count) + 1);
    for (int r = 0; r <= count; ++r)
        rows[r] = m[first + r].data();
    if (m.getSize2() <= narrowWidth)
        rotateNarrowNeighbourRows(rows.data(), count, c, s, m.getSize2());
    else
        rotateNeighbourRows(rows.data(), count, c, s, m.getSize2());
}

// Where the right transforms of a decomposition go: into the transpose of
// the right factor, or, for a least-squares solve, onto a tape from which
// they act, last first, on the one vector the solution needs (a value pair
// per rotation instead of a pair of rows of p). A tape grown far beyond what
// a decomposition records (a few p^2 values) is played into a factor of its
// own, which takes what follows.
template <typename T>
class RightTransforms {
public:
    // Into rt (the transpose of the right factor, from the identity); none
    // when rt is null.
    explicit RightTransforms(Matrix<T>* rt) : m_rt(rt) {}
    // Onto a tape, for p columns, with room for what a decomposition
    // usually records (a 300 x 300 matrix: 787 steps, 205,201 values).
    explicit RightTransforms(int p) : m_p(p), m_limit(16 * static_cast<std::size_t>(p) * p + 4096)
    {
        m_steps.reserve(4 * static_cast<std::size_t>(p));
        m_values.reserve(3 * static_cast<std::size_t>(p) * p);
    }

    // The reflection I - beta v v^T on rows first .. first + |v| - 1.
    void reflect(const Vector<T>& v, T beta, int first)
    {
        if (m_rt) {
            m_rt->leftHouseholderTransform(v, beta, first, first + v.getSize() - 1, 0, m_rt->getSize2() - 1);
        } else if (m_p > 0 && beta != T(0)) {
            m_steps.push_back({Kind::Reflection, first, v.getSize(), m_values.size(), beta});
            m_values.insert(m_values.end(), v.data(), v.data() + v.getSize());
            spill();
        }
    }

    // Rows i and k rotated as by Matrix::leftGivensRotate.
    void rotate(T c, T s, int i, int k)
    {
        if (m_rt) {
            m_rt->leftGivensRotate(c, s, i, k);
        } else if (m_p > 0) {
            m_steps.push_back({Kind::Rotation, i, k, m_values.size(), T(0)});
            m_values.push_back(c);
            m_values.push_back(s);
            spill();
        }
    }

    // The rotations (first + r, first + r + 1) by (c[r], s[r]), r = 0 ..
    // count - 1 in that order.
    void rotateSequence(int first, const T* c, const T* s, int count)
    {
        if (m_rt) {
            rotateRowSequence(*m_rt, first, c, s, count);
        } else if (m_p > 0 && count > 0) {
            m_steps.push_back({Kind::Sequence, first, count, m_values.size(), T(0)});
            m_values.insert(m_values.end(), c, c + count);
            m_values.insert(m_values.end(), s, s + count);
            spill();
        }
    }

    // x = R^T y, R the product of the transforms (the transpose of the
    // right factor).
    void multiplyTransposed(const Vector<T>& y, Vector<T>& x) const
    {
        if (m_rt) {
            const int p = m_rt->getSize1();
            x.setZeros();
            T* xx = x.data();
            for (int i = 0; i < p; ++i) {
                if (y[i] == T(0))
                    continue;
                const T yi = y[i];
                const T* r = (*m_rt)[i].data();
                for (int j = 0; j < p; ++j)
                    xx[j] += r[j] * yi;
            }
            return;
        }
        x = y;
        T* z = x.data();
        for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
            const T* values = m_values.data() + step->at;
            if (step->kind == Kind::Reflection) {
                T w = T(0);
                for (int i = 0; i < step->count; ++i)
                    w += values[i] * z[step->first + i];
                w = step->beta * w;
                for (int i = 0; i < step->count; ++i)
                    z[step->first + i] -= values[i] * w;
            } else if (step->kind == Kind::Rotation) {
                transposedRotation(values[0], values[1], z[step->first], z[step->count]);
            } else {
                for (int r = step->count - 1; r >= 0; --r)
                    transposedRotation(values[r], values[step->count + r], z[step->first + r], z[step->first + r + 1]);
            }
        }
    }

private:
    enum class Kind { Reflection, Rotation, Sequence };
    // A reflection (rows first .. first + count - 1, its vector at `at`), a
    // rotation (rows first and count, c and s at `at`) or a sequence
    // (count rotations from row first, their c then their s at `at`).
    struct Step {
        Kind kind;
        int first;
        int count;
        std::size_t at;
        T beta;
    };

    // (a, b) by the transpose of the rotation (c, s).
    static void transposedRotation(T c, T s, T& a, T& b)
    {
        const T x = a;
        const T y = b;
        a = c * x + s * y;
        b = c * y - s * x;
    }

    // Past the limit, the tape goes into a factor that takes the rest.
    void spill()
    {
        if (m_values.size() <= m_limit)
            return;
        m_local.setIdentity(m_p);
        m_rt = &m_local;
        for (const Step& step : m_steps) {
            const T* values = m_values.data() + step.at;
            if (step.kind == Kind::Reflection) {
                Vector<T> v(static_cast<unsigned int>(step.count));
                std::copy(values, values + step.count, v.data());
                reflect(v, step.beta, step.first);
            } else if (step.kind == Kind::Rotation) {
                rotate(values[0], values[1], step.first, step.count);
            } else {
                rotateSequence(step.first, values, values + step.count, step.count);
            }
        }
        m_steps.clear();
        m_steps.shrink_to_fit();
        m_values.clear();
        m_values.shrink_to_fit();
    }

    Matrix<T>* m_rt = nullptr;
    int m_p = 0;
    std::size_t m_limit = 0;
    std::vector<Step> m_steps;
    std::vector<T> m_values;
    SquareMatrix<T> m_local;
};

// Householder bidiagonalisation in place of the n x p matrix (n >= p) whose
// rows are a[0 .. n - 1]. The left reflections go to left, the right ones
// to right (into the transpose of the right factor, where they act on
// contiguous rows).
template <typename T>
void bidiagonalise(T* const* a, int n, int p, const LeftTransforms<T>& left, RightTransforms<T>& right)
{
    const auto row = [a](int i) { return a[i]; };
    // The Householder vectors: views on one buffer of n values.
    SmallBuffer<T, 16> storage(static_cast<std::size_t>(n));
    Vector<T> v;
    T beta = T(0);
    for (int k = 0; k < p; ++k) {
        // Column k below the diagonal.
        v.setShallow(storage.data(), n - k);
        for (int i = k; i < n; ++i)
            v[i - k] = a[i][k];
        v.householderVector(beta);
        reflectBlockLeft(row, k, v.data(), n - k, beta, k, p - k);
        left.reflect(v, beta, k);
        for (int i = k + 1; i < n; ++i)
            a[i][k] = T(0);
        if (k < p - 2) {
            // Row k beyond the super-diagonal.
            v.setShallow(storage.data(), p - k - 1);
            for (int j = k + 1; j < p; ++j)
                v[j - k - 1] = a[k][j];
            v.householderVector(beta);
            reflectBlockRight(row, k, n - 1, v.data(), beta, k + 1, p - k - 1);
            right.reflect(v, beta, k + 1);
            for (int j = k + 2; j < p; ++j)
                a[k][j] = T(0);
        }
    }
}


constexpr const char* svdWhere = "Vector<T> Matrix<T>::svd(...) const";

// The singular values of the bidiagonal matrix in the upper band of the
// p columns of the rows work[0 .. p - 1], by implicit-shift QR steps; the
// rotations go to left and to right.
template <typename T>
Vector<T> golubKahan(const T* const* work, int p, const LeftTransforms<T>& left, RightTransforms<T>& right)
{
    // The bidiagonal block lives in d (diagonal) and f (super-diagonal);
    // every rotation below touches only the entries it can change, plus
    // the bulge it chases along the band.
    Vector<T> d(static_cast<unsigned int>(p));
    SmallBuffer<T, 16> f(static_cast<std::size_t>(p > 1 ? p - 1 : 0));
    T sd = T(0);
    T sf = T(0);
    for (int i = 0; i < p; ++i) {
        d[i] = work[i][i];
        sd += d[i] * d[i];
    }
    for (int i = 0; i + 1 < p; ++i) {
        f[i] = work[i][i + 1];
        sf += f[i] * f[i];
    }
    const T norm = std::sqrt(sd + sf);
    if (!std::isfinite(norm))
        throwMath(svdWhere, "The matrix has elements that are not finite or too large");

    const T eps = Vector<T>::epsilon();
    const long maxSteps = 75L * p + 100;
    long steps = 0;
    T c = T(0);
    T s = T(0);
    // The rotations of one QR step, applied to the factors after the step.
    SmallBuffer<T, 16> rightC(static_cast<std::size_t>(p)), rightS(static_cast<std::size_t>(p));
    SmallBuffer<T, 16> leftC(static_cast<std::size_t>(p)), leftS(static_cast<std::size_t>(p));
    while (p > 1) {
        for (int i = 0; i + 1 < p; ++i)
            if (std::abs(f[i]) < eps * (std::abs(d[i]) + std::abs(d[i + 1])))
                f[i] = T(0);
        // Largest trailing diagonal part, then the unreduced block above it.
        int end = p - 1;
        while (end > 0 && f[end - 1] == T(0))
            --end;
        if (end == 0)
            break;
        int start = end - 1;
        while (start > 0 && f[start - 1] != T(0))
            --start;

        int zero = -1;
        for (int i = start; i <= end; ++i)
            if (std::abs(d[i]) < eps * norm) {
                zero = i;
                break;
            }
        if (zero >= 0) {
            d[zero] = T(0);
            if (zero < end) {
                // Zero row `zero` by rotations with the rows below it; the
                // bulge travels right along that row.
                T x = f[zero];
                f[zero] = T(0);
                for (int j = zero + 1; j <= end; ++j) {
                    Matrix<T>::givens(c, s, d[j], x);
                    d[j] = c * d[j] - s * x;
                    if (j < end) {
                        x = s * f[j];
                        f[j] = c * f[j];
                    }
                    left.rotate(c, s, j, zero);
                }
            } else {
                // Zero the last column of the block by rotations with the
                // columns to its left; the bulge travels up that column.
                T x = f[end - 1];
                f[end - 1] = T(0);
                for (int k = end - 1; k >= start; --k) {
                    Matrix<T>::givens(c, s, d[k], x);
                    d[k] = c * d[k] - s * x;
                    if (k > start) {
                        x = s * f[k - 1];
                        f[k - 1] = c * f[k - 1];
                    }
                    right.rotate(c, s, k, end);
                }
            }
            continue;
        }

        if (++steps > maxSteps)
            throwMath(svdWhere, "The singular value decomposition does not converge");

        // Implicit-shift QR step on the block start..end. The shift is the
        // eigenvalue of the trailing 2 x 2 block of B^T B closer to its
        // last diagonal element.
        const T dm = d[end - 1];
        const T dn = d[end];
        const T fm = f[end - 1];
        const T fmm = end - 1 > start ? f[end - 2] : T(0);
        const T t11 = dm * dm + fmm * fmm;
        const T t12 = dm * fm;
        const T t22 = dn * dn + fm * fm;
        const T delta = (t11 - t22) / T(2);
        const T root = std::sqrt(delta * delta + t12 * t12);
        const T denominator = delta >= T(0) ? delta + root : delta - root;
        const T mu = denominator != T(0) ? t22 - t12 * t12 / denominator : t22;

        T y = d[start] * d[start] - mu;
        T z = d[start] * f[start];
        for (int k = start; k < end; ++k) {
            // From the right on columns k, k + 1: clears the bulge above
            // the band (z at (k - 1, k + 1)) and makes one below it.
            Matrix<T>::givens(c, s, y, z);
            if (k > start)
                f[k - 1] = c * f[k - 1] - s * z;
            const T dk = d[k];
            const T fk = f[k];
            const T dk1 = d[k + 1];
            d[k] = c * dk - s * fk;
            f[k] = s * dk + c * fk;
            const T below = -(s * dk1);
            d[k + 1] = c * dk1;
            rightC[k - start] = c;
            rightS[k - start] = s;

            // From the left on rows k, k + 1: clears the bulge below the
            // band and makes one at (k, k + 2).
            Matrix<T>::givens(c, s, d[k], below);
            const T a = d[k];
            const T b = f[k];
            const T e = d[k + 1];
            d[k] = c * a - s * below;
            f[k] = c * b - s * e;
            d[k + 1] = s * b + c * e;
            if (k + 1 < end) {
                const T g = f[k + 1];
                z = -(s * g);
                f[k + 1] = c * g;
                y = f[k];
            }
            if (left.factor) {
                leftC[k - start] = c;
                leftS[k - start] = s;
            }
            if (left.product)
                left.rotate(c, s, k, k + 1);
        }
        right.rotateSequence(start, rightC.data(), rightS.data(), end - start);
        if (left.factor)
            rotateRowSequence<T>(*left.factor, start, leftC.data(), leftS.data(), end - start);
    }

    for (int i = 0; i < p; ++i)
        if (d[i] < T(0)) {
            d[i] = -d[i];
            left.negate(i);
        }
    return d;
}

// A copy of a matrix for a decomposition to work on: for a small matrix its
// rows one after the other inside this object, for a larger one a copy like
// any other (rows of their own, the copy shared among the threads).
template <typename T>
class WorkCopy {
public:
    explicit WorkCopy(const Matrix<T>& m) : m_rows(static_cast<std::size_t>(m.getSize1()))
    {
        const int n = m.getSize1();
        const int p = m.getSize2();
        if (static_cast<std::size_t>(n) * static_cast<std::size_t>(std::max(p, 0)) > localSize) {
            m_copy = m;
            for (int i = 0; i < n; ++i)
                m_rows[i] = m_copy[i].data();
            return;
        }
        for (int i = 0; i < n; ++i) {
            m_rows[i] = m_local + static_cast<std::ptrdiff_t>(i) * p;
            std::copy(m[i].data(), m[i].data() + p, m_rows[i]);
        }
    }
    T* const* rows() { return m_rows.data(); }

private:
    static constexpr std::size_t localSize = 64;
    T m_local[localSize];
    Matrix<T> m_copy;
    SmallBuffer<T*, 16> m_rows;
};

// Where the transpose of the right factor accumulates: in the caller's right
// factor itself when that is distinct from the left factor and from the
// matrix decomposed in place, in local otherwise; null without a right
// factor.
template <typename T>
SquareMatrix<T>* rightTransposeStorage(SquareMatrix<T>* left, SquareMatrix<T>* right, const Matrix<T>* decomposed,
                                       SquareMatrix<T>& local)
{
    if (!right)
        return nullptr;
    if (right == left || static_cast<const Matrix<T>*>(right) == decomposed)
        return &local;
    return right;
}

// The right factor from its transpose rt (see rightTransposeStorage).
template <typename T>
void finishRight(SquareMatrix<T>* right, SquareMatrix<T>* rt)
{
    if (!right)
        return;
    if (rt != right) {
        *right = rt->transpose();
        return;
    }
    const int p = right->getSize();
    for (int i = 0; i < p; ++i)
        for (int j = i + 1; j < p; ++j)
            std::swap((*right)(i, j), (*right)(j, i));
}

} // namespace

template <typename T>
void Matrix<T>::householderBidiag(SquareMatrix<T>* left, SquareMatrix<T>* right)
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("void Matrix<T>::householderBidiag(SquareMatrix<T>*,SquareMatrix<T>*)");
    } else {
        if (m_p > m_n)
            throwSize("void Matrix<T>::householderBidiag(...)",
                      "Cannot perform bidiagonalization of (n,p) matrix with p > n");
        if (left)
            left->setIdentity(m_n);
        SquareMatrix<T> local;
        SquareMatrix<T>* rt = rightTransposeStorage(left, right, this, local);
        if (rt)
            rt->setIdentity(m_p);
        SmallBuffer<T*, 16> rows(static_cast<std::size_t>(m_n));
        for (int i = 0; i < m_n; ++i)
            rows[i] = m_rows[i].data();
        RightTransforms<T> transforms(rt);
        bidiagonalise(rows.data(), m_n, m_p, LeftTransforms<T>{left, nullptr}, transforms);
        finishRight(right, rt);
    }
}

template <typename T>
Vector<T> Matrix<T>::svd(SquareMatrix<T>* left, SquareMatrix<T>* right) const
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(svdWhere);
    } else {
        if (m_p > m_n)
            throwSize(svdWhere, "Cannot perform svd of (n,p) matrix with p > n");
        WorkCopy<T> work(*this);
        if (left)
            left->setIdentity(m_n);
        // The work copy is made: the factors may be this matrix itself.
        SquareMatrix<T> local;
        SquareMatrix<T>* rt = rightTransposeStorage<T>(left, right, nullptr, local);
        if (rt)
            rt->setIdentity(m_p);
        const LeftTransforms<T> transforms{left, nullptr};
        RightTransforms<T> rightTransforms(rt);
        bidiagonalise(work.rows(), m_n, m_p, transforms, rightTransforms);
        Vector<T> d = golubKahan(work.rows(), m_p, transforms, rightTransforms);
        finishRight(right, rt);
        return d;
    }
}

// The decomposition carries only the product of the left factor with b, and
// the right transforms, kept on a tape, act on the scaled product alone.
template <typename T>
Vector<T> Matrix<T>::solve(const Vector<T>& b) const
{
    static constexpr const char* where = "Vector<T> Matrix<T>::solve(...) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        if (b.getSize() != m_n)
            throwSize(where, "Incompatible vector and matrix dimensions");
        try {
            if (m_p > m_n)
                throwSize(svdWhere, "Cannot perform svd of (n,p) matrix with p > n");
            Vector<T> x(static_cast<unsigned int>(m_p));
            if (m_p == 0)
                return x;
            WorkCopy<T> work(*this);
            Vector<T> u(b);
            const LeftTransforms<T> transforms{nullptr, &u};
            RightTransforms<T> right(m_p);
            bidiagonalise(work.rows(), m_n, m_p, transforms, right);
            const Vector<T> s = golubKahan(work.rows(), m_p, transforms, right);
            // Components along singular values below the threshold are
            // dropped: the minimum-norm least-squares solution.
            const T threshold = static_cast<T>(m_n) * s.max() * Vector<T>::epsilon();
            Vector<T> y(static_cast<unsigned int>(m_p));
            for (int i = 0; i < m_p; ++i)
                y[i] = s[i] > T(0) && s[i] >= threshold ? u[i] / s[i] : T(0);
            right.multiplyTransposed(y, x);
            return x;
        } catch (Exception& e) {
            e.addCall(where);
            throw e;
        }
    }
}

template <typename T>
Matrix<T> Matrix<T>::pinverse() const
{
    static constexpr const char* where = "Matrix<T> Matrix<T>::pinverse() const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        try {
            SquareMatrix<T> left;
            SquareMatrix<T> right;
            const Vector<T> s = svd(&left, &right);
            Matrix out(static_cast<unsigned int>(m_p), static_cast<unsigned int>(m_n));
            out.setZeros();
            if (m_p == 0)
                return out;
            const T threshold = static_cast<T>(m_n) * s.max() * Vector<T>::epsilon();
            Vector<T> inv(static_cast<unsigned int>(m_p));
            for (int k = 0; k < m_p; ++k)
                inv[k] = s[k] > T(0) && s[k] >= threshold ? T(1) / s[k] : T(0);
            // out = right * diag(inv) * (first p rows of left), row by row.
            for (int i = 0; i < m_p; ++i) {
                T* oi = out.m_rows[i].data();
                for (int k = 0; k < m_p; ++k) {
                    if (inv[k] == T(0))
                        continue;
                    const T a = right(i, k) * inv[k];
                    const T* lk = left[k].data();
                    for (int j = 0; j < m_n; ++j)
                        oi[j] += a * lk[j];
                }
            }
            return out;
        } catch (Exception& e) {
            e.addCall(where);
            throw e;
        }
    }
}

#define PLEXAN_INSTANTIATE(T) template class Matrix<T>;
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
