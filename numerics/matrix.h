#pragma once
// Matrix<T>: a dense n x p matrix stored as n row vectors; element (i, j) is
// element j of row i. A small matrix gives each row its own allocation; a
// large one (an image, say) keeps its rows one after the other in one block
// of huge pages and lends each row its part, so that walking down a column
// does not cost a page-table walk per row. Copies are deep; sizes are checked
// on every operation that combines two operands, indices never.

#include "numerics/vector.h"

#include <cstddef>
#include <iostream>
#include <string>

template <typename T> class SquareMatrix;

template <typename T>
class Matrix {
public:
    Matrix() = default;
    Matrix(unsigned int n, unsigned int p) { allocate(static_cast<int>(n), static_cast<int>(p)); }
    // A 1 x size(v) matrix holding v when row is true, size(v) x 1 otherwise.
    Matrix(const Vector<T>& v, bool row);
    Matrix(const Matrix& other);
    Matrix(Matrix&& other) noexcept;
    virtual ~Matrix() { release(); }

    Matrix& operator=(const Matrix& other);
    Matrix& operator=(Matrix&& other);

    // Reallocates (contents undefined) unless both sizes are unchanged.
    virtual void setSize(int n, int p);
    // Makes this an n x p matrix whose rows are the consecutive runs of p
    // elements from data: storage it does not own, which must outlive it (a
    // volume lends its planes their part of its block this way). Moving such
    // a matrix, into or out of, copies its elements; resizing it gives it
    // storage of its own.
    void lend(T* data, int n, int p);
    bool isLent() const { return m_lent; }
    void setSize(const Vector<int>& size) { setSize(size[0], size[1]); }
    Vector<int> getSize() const { return Vector<int>{m_n, m_p}; }
    void getSize(int& n, int& p) const
    {
        n = m_n;
        p = m_p;
    }
    // n for d = 1, p for d = 2, 0 otherwise.
    int getSize(int d) const { return d == 1 ? m_n : d == 2 ? m_p : 0; }
    int getSize1() const { return m_n; }
    int getSize2() const { return m_p; }

    T& operator()(int i, int j) { return m_rows[i][j]; }
    const T& operator()(int i, int j) const { return m_rows[i][j]; }
    Vector<T>& operator[](int i) { return m_rows[i]; }
    const Vector<T>& operator[](int i) const { return m_rows[i]; }

    Vector<T> getRow(int i) const { return m_rows[i]; }
    Vector<T> getColumn(int j) const;
    void getColumn(Vector<T>& column, int j) const;
    void setRow(int i, const Vector<T>& v);
    void setColumn(int j, const Vector<T>& v);
    // The inclusive block rows i1..i2, columns j1..j2.
    Matrix copy(int i1, int i2, int j1, int j2) const;
    void paste(int i, int j, const Matrix& block);
    // All rows, one after the other.
    Vector<T> cat() const;
    Matrix transpose() const;
    // Rows of the same matrix exchange their storage, whether their own or
    // lent by the block; a shallow row exchanges elements.
    void swapRows(int i, int j)
    {
        if (m_rows[i].m_shallow || m_rows[j].m_shallow)
            m_rows[i].swap(m_rows[j]);
        else
            m_rows[i].exchangeStorage(m_rows[j]);
    }

    void fill(const T& x);
    void setZeros() { fill(T(0)); }
    void setZeros(int n, int p)
    {
        setSize(n, p);
        setZeros();
    }
    void setOnes() { fill(T(1)); }
    void setOnes(int n, int p)
    {
        setSize(n, p);
        setOnes();
    }
    template <typename F>
    void apply(F f)
    {
        for (int i = 0; i < m_n; ++i)
            m_rows[i].apply(f);
    }

    // Per-row reductions, one value per row.
    Vector<T> min() const;
    Vector<T> max() const;
    Vector<T> sum() const;
    Vector<T> prod() const;
    Vector<T> mean() const;
    Vector<T> var() const;
    Vector<T> std() const;
    // Whole-matrix values; the last three are 0 for an empty matrix.
    T snorm() const;
    T mean2() const;
    T var2() const; // population variance, divisor n * p
    T std2() const;
    Vector<T> range() const; // (minimum, maximum) over all elements
    Vector<unsigned int> histogram(T origin, T width, unsigned int nbins) const;

    Matrix operator+(const Matrix& m) const;
    Matrix operator-(const Matrix& m) const;
    Matrix pointwiseProduct(const Matrix& m) const;
    void operator+=(const Matrix& m);
    void operator-=(const Matrix& m);
    Matrix operator*(const Matrix& m) const;
    void operator*=(const Matrix& m);
    Vector<T> operator*(const Vector<T>& v) const;
    Matrix operator+(const T& x) const;
    Matrix operator-(const T& x) const;
    Matrix operator*(const T& x) const;
    Matrix operator/(const T& x) const;
    void operator+=(const T& x);
    void operator-=(const T& x);
    void operator*=(const T& x);
    void operator/=(const T& x);
    Matrix operator-() const;
    bool operator==(const Matrix& m) const;
    bool operator!=(const Matrix& m) const { return !(*this == m); }

    // Reorders the rows so that column col ascends (rows r1..r2 only, given in
    // either order, for the second form).
    void sortRows(int col);
    void sortRows(int r1, int r2, int col);

    template <typename U>
    Matrix<U> toType() const
    {
        Matrix<U> out(static_cast<unsigned int>(m_n), static_cast<unsigned int>(m_p));
        for (int i = 0; i < m_n; ++i)
            out[i] = m_rows[i].template toType<U>();
        return out;
    }

    void print(const std::string& label = "", std::ostream& stream = std::cout) const;

    // Linear algebra: Householder bidiagonalisation, Golub-Kahan singular value
    // decomposition, least-squares solve and pseudo-inverse, and their Givens
    // and Householder building blocks. Real element types only.

    // In place; left (n x n) and right (p x p) accumulate the transforms when
    // not null. Requires p <= n.
    void householderBidiag(SquareMatrix<T>* left = nullptr, SquareMatrix<T>* right = nullptr);
    // Singular values, unsorted; rows of left are the left singular vectors and
    // columns of right the right ones: A = left^T diag(s) right^T. Factors of
    // the right size are filled in their own storage; either may be this
    // matrix, and one matrix given for both ends as the right factor.
    Vector<T> svd(SquareMatrix<T>* left = nullptr, SquareMatrix<T>* right = nullptr) const;
    // Least squares, rank-revealing.
    Vector<T> solve(const Vector<T>& b) const;
    Matrix pinverse() const;
    void leftHouseholderTransform(const Vector<T>& v, T beta);
    void leftHouseholderTransform(const Vector<T>& v, T beta, int i1, int i2, int j1, int j2);
    void rightHouseholderTransform(const Vector<T>& v, T beta);
    void rightHouseholderTransform(const Vector<T>& v, T beta, int i1, int i2, int j1, int j2);
    void leftGivensRotate(T c, T s, int i, int k);
    void rightGivensRotate(T c, T s, int i, int k);
    static void givens(T& c, T& s, T a, T b);

protected:
    void allocate(int n, int p);
    void release() noexcept;
    // Row i borrows the p elements from data + i p.
    void borrowRows(T* data);

    int m_n = 0;
    int m_p = 0;
    Vector<T>* m_rows = nullptr;
    T* m_block = nullptr; // the rows' elements, for a large matrix
    std::size_t m_blockBytes = 0;
    bool m_lent = false; // the rows' elements belong to another object
};

template <typename T>
Matrix<T> operator*(const T& x, const Matrix<T>& m)
{
    return m * x;
}

using Matrixc = Matrix<char>;
using Matrixuc = Matrix<unsigned char>;
using Matrixs = Matrix<short>;
using Matrixus = Matrix<unsigned short>;
using Matrixi = Matrix<int>;
using Matrixui = Matrix<unsigned int>;
using Matrixf = Matrix<float>;
using Matrixd = Matrix<double>;
using Matrixld = Matrix<long double>;
using Matrixb = Matrix<bool>;

#define PLEXAN_EXTERN_MATRIX(T) extern template class Matrix<T>;
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_EXTERN_MATRIX)
#undef PLEXAN_EXTERN_MATRIX
