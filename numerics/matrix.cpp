#include "numerics/matrix.h"

#include "numerics/tensa.h"

#include <algorithm>
#include <cmath>
#include <numeric>
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

} // namespace

template <typename T>
void Matrix<T>::allocate(int n, int p)
{
    m_n = n > 0 ? n : 0;
    m_p = p;
    m_rows = m_n > 0 ? new Vector<T>[m_n] : nullptr;
    for (int i = 0; i < m_n; ++i)
        m_rows[i].setSize(p);
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
    for (int i = 0; i < m_n; ++i)
        m_rows[i] = other.m_rows[i];
}

template <typename T>
Matrix<T>::Matrix(Matrix&& other) noexcept
    : m_n(other.m_n), m_p(other.m_p), m_rows(other.m_rows)
{
    other.m_n = 0;
    other.m_p = 0;
    other.m_rows = nullptr;
}

template <typename T>
Matrix<T>& Matrix<T>::operator=(const Matrix& other)
{
    if (this != &other) {
        setSize(other.m_n, other.m_p);
        for (int i = 0; i < m_n; ++i)
            m_rows[i] = other.m_rows[i];
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
    std::swap(m_rows, other.m_rows);
    return *this;
}

template <typename T>
void Matrix<T>::setSize(int n, int p)
{
    if (n == m_n && p == m_p)
        return;
    delete[] m_rows;
    m_rows = nullptr;
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

#define PLEXAN_INSTANTIATE(T) template class Matrix<T>;
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
