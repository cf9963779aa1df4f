#pragma once
// SquareMatrix<T>: a Matrix<T> whose two sizes stay equal, with the shapes,
// decompositions and solvers that need a square matrix. Instantiated for int,
// float, double and long double; the int form refuses real arithmetic.

#include "numerics/matrix.h"

template <typename T> class Quaternion;

template <typename T>
class SquareMatrix : public Matrix<T> {
public:
    SquareMatrix() = default;
    explicit SquareMatrix(unsigned int n) : Matrix<T>(n, n) {}
    // The matrix must be square (SizeError otherwise).
    SquareMatrix(const Matrix<T>& m);
    // Rotation matrix of a unit quaternion: 3 x 3, or 4 x 4 homogeneous.
    SquareMatrix(const Quaternion<T>& q, bool homogeneous = false);
    SquareMatrix(const SquareMatrix&) = default;
    SquareMatrix(SquareMatrix&&) noexcept = default;
    SquareMatrix& operator=(const SquareMatrix&) = default;
    SquareMatrix& operator=(SquareMatrix&&) = default;
    SquareMatrix& operator=(const Matrix<T>& m);

    // Refuses n != p.
    void setSize(int n, int p) override;
    void setSize(int n) { Matrix<T>::setSize(n, n); }
    int getSize() const { return this->m_n; }

    // Shapes --------------------------------------------------------------------
    using Matrix<T>::setZeros;
    using Matrix<T>::setOnes;
    void setIdentity();
    void setIdentity(int n);
    void setZeros(int n);
    void setOnes(int n);
    void setHilbert(int n);
    void setDiagonal(const T& x);
    void setDiagonal(const Vector<T>& d);
    void setUpperBidiagonal(const Vector<T>& d, const Vector<T>& u);
    void setLowerBidiagonal(const Vector<T>& d, const Vector<T>& l);
    void setTridiagonal(const Vector<T>& l, const Vector<T>& d, const Vector<T>& u);
    void pasteDiagonal(const Vector<T>& v);
    void pasteUpperDiagonal(const Vector<T>& v);
    void pasteUpperDiagonal2(const Vector<T>& v);
    void pasteLowerDiagonal(const Vector<T>& v);
    void pasteLowerDiagonal2(const Vector<T>& v);
    Vector<T> diagonal() const;
    Vector<T> upperDiagonal() const;
    Vector<T> lowerDiagonal() const;
    T trace() const;
    bool isSymmetrical() const;
    bool isAntiSymmetrical() const;
    // For a 3 x 3 matrix of column axes c0, c1, c2: (c0 x c1) . c2 >= 0.
    bool isRHSystem() const;

    // Decompositions and solvers ----------------------------------------------
    // Crout LU with implicit scaled partial pivoting, in place; returns the
    // parity of the row interchanges (+1 or -1).
    int luDecomp(Vector<int>& index, T tol);
    void luSolve(Vector<T>& b, const Vector<int>& index) const;
    T det() const;
    SquareMatrix inverse() const;
    // Cyclic Jacobi for symmetric matrices: eigenvectors as columns.
    void eigenJacobi(Vector<T>& values, SquareMatrix& vectors, bool sort = true) const;
    static void eigenSort(Vector<T>& values, SquareMatrix& vectors);
    void jacobiRotate(int i, int j, int k, int l, T s, T tau);
    // The vectors are the diagonals: d (n), u super (n - 1), l sub (n - 1).
    static void tridiagSolve(Vector<T>& x, const Vector<T>& d, const Vector<T>& u, const Vector<T>& l);
    static void tridiagInverse(SquareMatrix& inv, const Vector<T>& d, const Vector<T>& u, const Vector<T>& l);
    // alpha is the bottom-left corner element, beta the top-right one.
    static void cyclicTridiagSolve(Vector<T>& x, const Vector<T>& d, const Vector<T>& u, const Vector<T>& l,
                                   T alpha, T beta);
};

extern template class SquareMatrix<int>;
extern template class SquareMatrix<float>;
extern template class SquareMatrix<double>;
extern template class SquareMatrix<long double>;
