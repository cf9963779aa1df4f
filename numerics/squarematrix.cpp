#include "numerics/squarematrix.h"

#include "numerics/quaternion.h"
#include "numerics/smallbuffer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace {

// The tolerance under which det() and inverse() take an LU pivot for zero:
// twenty times the single-precision machine epsilon, for every element type.
constexpr long double kLuTolerance = 2.384185791015625e-6L;

template <typename E>
[[noreturn]] void raise(const char* where, const char* what = nullptr)
{
    E e;
    e.setWhere(where);
    if (what)
        e.setWhat(what);
    throw e;
}

constexpr const char* kDimensions = "Incompatible matrix and vector dimensions";

} // namespace

template <typename T>
SquareMatrix<T>::SquareMatrix(const Matrix<T>& m)
{
    if (m.getSize1() != m.getSize2()) {
        SizeError e;
        e.setWhere("SquareMatrix<T>::SquareMatrix(const Matrix<T>&)");
        throw e;
    }
    Matrix<T>::operator=(m);
}

template <typename T>
SquareMatrix<T>::SquareMatrix(const Quaternion<T>& q, bool homogeneous)
    : Matrix<T>(homogeneous ? 4u : 3u, homogeneous ? 4u : 3u)
{
    const T w = q.getW();
    const T x = q.getX();
    const T y = q.getY();
    const T z = q.getZ();
    Matrix<T>& m = *this;
    m(0, 0) = w * w + x * x - y * y - z * z;
    m(0, 1) = T(2) * (x * y - w * z);
    m(0, 2) = T(2) * (x * z + w * y);
    m(1, 0) = T(2) * (x * y + w * z);
    m(1, 1) = w * w - x * x + y * y - z * z;
    m(1, 2) = T(2) * (y * z - w * x);
    m(2, 0) = T(2) * (x * z - w * y);
    m(2, 1) = T(2) * (y * z + w * x);
    m(2, 2) = w * w - x * x - y * y + z * z;
    if (homogeneous) {
        for (int i = 0; i < 3; ++i) {
            m(i, 3) = T(0);
            m(3, i) = T(0);
        }
        m(3, 3) = T(1);
    }
}

template <typename T>
SquareMatrix<T>& SquareMatrix<T>::operator=(const Matrix<T>& m)
{
    Matrix<T>::operator=(m); // through the virtual setSize, which refuses n != p
    return *this;
}

template <typename T>
void SquareMatrix<T>::setSize(int n, int p)
{
    if (n != p) {
        SizeError e;
        e.setWhere("void SquareMatrix<T>::setSize(const int, const int)");
        e.setWhat("Arguments n and p have distinct values.");
        throw e;
    }
    Matrix<T>::setSize(n, n);
}

// Shapes ----------------------------------------------------------------------

template <typename T>
void SquareMatrix<T>::setIdentity()
{
    setDiagonal(T(1));
}

template <typename T>
void SquareMatrix<T>::setIdentity(int n)
{
    setSize(n);
    setIdentity();
}

template <typename T>
void SquareMatrix<T>::setZeros(int n)
{
    setSize(n);
    this->fill(T(0));
}

template <typename T>
void SquareMatrix<T>::setOnes(int n)
{
    setSize(n);
    this->fill(T(1));
}

template <typename T>
void SquareMatrix<T>::setHilbert(int n)
{
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>("void SquareMatrix<T>::setHilbert(const int)");
    } else {
        setSize(n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                (*this)(i, j) = T(1) / static_cast<T>(i + j + 1);
    }
}

template <typename T>
void SquareMatrix<T>::setDiagonal(const T& x)
{
    this->fill(T(0));
    for (int i = 0; i < this->m_n; ++i)
        (*this)(i, i) = x;
}

template <typename T>
void SquareMatrix<T>::setDiagonal(const Vector<T>& d)
{
    setSize(d.getSize());
    this->fill(T(0));
    pasteDiagonal(d);
}

namespace {

// Size of the k-th diagonal of an n x n matrix (0 when it does not exist).
int diagonalSize(int n, int k)
{
    return n > k ? n - k : 0;
}

} // namespace

template <typename T>
void SquareMatrix<T>::setUpperBidiagonal(const Vector<T>& d, const Vector<T>& u)
{
    const int n = d.getSize();
    if (u.getSize() != diagonalSize(n, 1))
        raise<SizeError>("void SquareMatrix<T>::setUpperBidiagonal(const Vector<T>&,const Vector<T>&)");
    setDiagonal(d);
    pasteUpperDiagonal(u);
}

template <typename T>
void SquareMatrix<T>::setLowerBidiagonal(const Vector<T>& d, const Vector<T>& l)
{
    const int n = d.getSize();
    if (l.getSize() != diagonalSize(n, 1))
        raise<SizeError>("void SquareMatrix<T>::setLowerBidiagonal(const Vector<T>&,const Vector<T>&)");
    setDiagonal(d);
    pasteLowerDiagonal(l);
}

template <typename T>
void SquareMatrix<T>::setTridiagonal(const Vector<T>& l, const Vector<T>& d, const Vector<T>& u)
{
    const int n = d.getSize();
    if (l.getSize() != diagonalSize(n, 1) || u.getSize() != diagonalSize(n, 1))
        raise<SizeError>(
            "void SquareMatrix<T>::setTridiagonal(const Vector<T>&,const Vector<T>&,const Vector<T>&)");
    setDiagonal(d);
    pasteLowerDiagonal(l);
    pasteUpperDiagonal(u);
}

// Writes v along the diagonal at offset k: above the main one for k > 0,
// below it for k < 0.
#define PLEXAN_PASTE_DIAGONAL(name, k)                                                  \
    template <typename T>                                                               \
    void SquareMatrix<T>::name(const Vector<T>& v)                                      \
    {                                                                                   \
        const int offset = k;                                                           \
        const int size = diagonalSize(this->m_n, offset < 0 ? -offset : offset);        \
        if (v.getSize() != size)                                                        \
            raise<SizeError>("void SquareMatrix<T>::" #name "(const Vector<T>&)", kDimensions); \
        for (int i = 0; i < size; ++i) {                                                \
            if (offset >= 0)                                                            \
                (*this)(i, i + offset) = v[i];                                          \
            else                                                                        \
                (*this)(i - offset, i) = v[i];                                          \
        }                                                                               \
    }
PLEXAN_PASTE_DIAGONAL(pasteDiagonal, 0)
PLEXAN_PASTE_DIAGONAL(pasteUpperDiagonal, 1)
PLEXAN_PASTE_DIAGONAL(pasteUpperDiagonal2, 2)
PLEXAN_PASTE_DIAGONAL(pasteLowerDiagonal, -1)
PLEXAN_PASTE_DIAGONAL(pasteLowerDiagonal2, -2)
#undef PLEXAN_PASTE_DIAGONAL

template <typename T>
Vector<T> SquareMatrix<T>::diagonal() const
{
    Vector<T> out(static_cast<unsigned int>(this->m_n));
    for (int i = 0; i < this->m_n; ++i)
        out[i] = (*this)(i, i);
    return out;
}

template <typename T>
Vector<T> SquareMatrix<T>::upperDiagonal() const
{
    const int size = diagonalSize(this->m_n, 1);
    Vector<T> out(static_cast<unsigned int>(size));
    for (int i = 0; i < size; ++i)
        out[i] = (*this)(i, i + 1);
    return out;
}

template <typename T>
Vector<T> SquareMatrix<T>::lowerDiagonal() const
{
    const int size = diagonalSize(this->m_n, 1);
    Vector<T> out(static_cast<unsigned int>(size));
    for (int i = 0; i < size; ++i)
        out[i] = (*this)(i + 1, i);
    return out;
}

template <typename T>
T SquareMatrix<T>::trace() const
{
    T s = T(0);
    for (int i = 0; i < this->m_n; ++i)
        s += (*this)(i, i);
    return s;
}

template <typename T>
bool SquareMatrix<T>::isSymmetrical() const
{
    for (int i = 0; i < this->m_n; ++i)
        for (int j = i + 1; j < this->m_n; ++j)
            if ((*this)(i, j) != (*this)(j, i))
                return false;
    return true;
}

template <typename T>
bool SquareMatrix<T>::isAntiSymmetrical() const
{
    for (int i = 0; i < this->m_n; ++i)
        for (int j = i; j < this->m_n; ++j)
            if ((*this)(i, j) != -(*this)(j, i))
                return false;
    return true;
}

template <typename T>
bool SquareMatrix<T>::isRHSystem() const
{
    if (this->m_n != 3)
        raise<SizeError>("bool SquareMatrix<T>::isRHSystem() const", "The matrix is not 3 x 3");
    const Matrix<T>& m = *this;
    // (c0 x c1) . c2 over the columns c0, c1, c2.
    const T x = m(1, 0) * m(2, 1) - m(2, 0) * m(1, 1);
    const T y = m(2, 0) * m(0, 1) - m(0, 0) * m(2, 1);
    const T z = m(0, 0) * m(1, 1) - m(1, 0) * m(0, 1);
    return x * m(0, 2) + y * m(1, 2) + z * m(2, 2) >= T(0);
}

// LU decomposition, determinant, inverse -------------------------------------

template <typename T>
int SquareMatrix<T>::luDecomp(Vector<int>& index, T tol)
{
    static constexpr const char* where = "int SquareMatrix<T>::luDecomp(...)";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const int n = this->m_n;
        index.setSize(n);
        std::vector<T> scale(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            T big = T(0);
            for (const T& x : (*this)[i])
                if (std::abs(x) > big)
                    big = std::abs(x);
            if (big == T(0))
                raise<MathError>(where, "This matrix is singular");
            scale[static_cast<std::size_t>(i)] = T(1) / big;
        }
        // Crout's elimination, run column by column in its right-looking form:
        // every element receives the same subtractions a_ik * a_kj in the same
        // order of k, but the updates run along contiguous rows.
        int interchanges = 0;
        for (int j = 0; j < n; ++j) {
            int pivot = j;
            T best = T(0);
            for (int i = j; i < n; ++i) {
                const T weight = scale[static_cast<std::size_t>(i)] * std::abs((*this)(i, j));
                if (weight >= best) { // ties: the last row wins
                    best = weight;
                    pivot = i;
                }
            }
            if (pivot != j) {
                this->swapRows(pivot, j);
                ++interchanges;
                scale[static_cast<std::size_t>(pivot)] = scale[static_cast<std::size_t>(j)];
            }
            index[j] = pivot;
            const T ajj = (*this)(j, j);
            if (std::abs(ajj) <= tol)
                raise<MathError>(where, "This matrix is singular");
            const T* rj = (*this)[j].data();
            for (int i = j + 1; i < n; ++i) {
                T* ri = (*this)[i].data();
                const T lij = ri[j] / ajj;
                ri[j] = lij;
                for (int k = j + 1; k < n; ++k)
                    ri[k] -= lij * rj[k];
            }
        }
        return interchanges % 2 == 0 ? 1 : -1;
    }
}

template <typename T>
void SquareMatrix<T>::luSolve(Vector<T>& b, const Vector<int>& index) const
{
    static constexpr const char* where = "void SquareMatrix<T>::luSolve(Vector<T>&,const Vector<int>&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const int n = this->m_n;
        if (b.getSize() != n || index.getSize() != n)
            raise<SizeError>(where, kDimensions);
        // Forward substitution with the unit lower factor, undoing the row
        // interchanges as they come; leading zeros of b are skipped.
        int first = -1;
        for (int i = 0; i < n; ++i) {
            const int ip = index[i];
            T sum = b[ip];
            b[ip] = b[i];
            if (first >= 0) {
                const T* ri = (*this)[i].data();
                for (int j = first; j < i; ++j)
                    sum -= ri[j] * b[j];
            } else if (sum != T(0)) {
                first = i;
            }
            b[i] = sum;
        }
        for (int i = n - 1; i >= 0; --i) {
            const T* ri = (*this)[i].data();
            T sum = b[i];
            for (int j = i + 1; j < n; ++j)
                sum -= ri[j] * b[j];
            b[i] = sum / ri[i];
        }
    }
}

template <typename T>
T SquareMatrix<T>::det() const
{
    SquareMatrix lu(*this);
    Vector<int> index;
    int parity = 1;
    try {
        parity = lu.luDecomp(index, static_cast<T>(kLuTolerance));
    } catch (MathError&) {
        return T(0);
    }
    T d = static_cast<T>(parity);
    for (int i = 0; i < this->m_n; ++i)
        d *= lu(i, i);
    return d;
}

template <typename T>
SquareMatrix<T> SquareMatrix<T>::inverse() const
{
    SquareMatrix lu(*this);
    Vector<int> index;
    try {
        lu.luDecomp(index, static_cast<T>(kLuTolerance));
    } catch (MathError& e) {
        e.addCall("SquareMatrix<T> SquareMatrix<T>::inverse() const");
        throw e;
    }
    // Solves for the n unit vectors at once: row i of `out` holds element i
    // of every solution, so each substitution step is one contiguous row
    // update, and each column sees exactly the operations of luSolve.
    const int n = this->m_n;
    SquareMatrix out;
    out.setIdentity(n);
    for (int i = 0; i < n; ++i) {
        out.swapRows(i, index[i]);
        T* oi = out[i].data();
        const T* li = lu[i].data();
        for (int j = 0; j < i; ++j) {
            const T lij = li[j];
            if (lij == T(0))
                continue;
            const T* oj = out[j].data();
            for (int k = 0; k < n; ++k)
                oi[k] -= lij * oj[k];
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        T* oi = out[i].data();
        const T* ui = lu[i].data();
        for (int j = i + 1; j < n; ++j) {
            const T uij = ui[j];
            if (uij == T(0))
                continue;
            const T* oj = out[j].data();
            for (int k = 0; k < n; ++k)
                oi[k] -= uij * oj[k];
        }
        const T uii = ui[i];
        for (int k = 0; k < n; ++k)
            oi[k] = oi[k] / uii;
    }
    return out;
}

// Symmetric eigen-decomposition -----------------------------------------------

namespace {

// Guards against a matrix that never becomes exactly diagonal. Sweeps converge
// quadratically and reach exact zeros (by underflow at the latest) within a
// few tens of sweeps.
constexpr int kMaxJacobiSweeps = 200;

// The pair (g, h) of a Jacobi rotation by s, with tau = s / (1 + c).
template <typename T>
inline void rotatePair(T& g, T& h, T s, T tau)
{
    const T x = g;
    const T y = h;
    g = x - s * (y + x * tau);
    h = y + s * (x - y * tau);
}

// The working copy of the matrix and the two accumulators of eigenJacobi,
// inside the call for matrices up to this size.
constexpr int kJacobiLocalSize = 8;

} // namespace

template <typename T>
void SquareMatrix<T>::jacobiRotate(int i, int j, int k, int l, T s, T tau)
{
    Matrix<T>& a = *this;
    rotatePair(a(i, j), a(k, l), s, tau);
}

template <typename T>
void SquareMatrix<T>::eigenJacobi(Vector<T>& values, SquareMatrix& vectors, bool sort) const
{
    static constexpr const char* where = "void SquareMatrix<T>::eigenJacobi(Vector<T>&,SquareMatrix<T>&,const bool) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const int n = this->m_n;
        // The working copy a (rows one after the other), then b and z.
        const std::size_t size = static_cast<std::size_t>(n) * static_cast<std::size_t>(n + 2);
        plexan::SmallBuffer<T, kJacobiLocalSize * (kJacobiLocalSize + 2)> storage(size);
        T* const store = storage.data();
        const auto a = [store, n](int i, int j) -> T& { return store[static_cast<std::ptrdiff_t>(i) * n + j]; };
        T* const b = store + static_cast<std::ptrdiff_t>(n) * n;
        T* const z = b + n;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                a(i, j) = (*this)(i, j);
        vectors.setSize(n, n);
        vectors.setIdentity();
        values.setSize(n);
        for (int i = 0; i < n; ++i) {
            values[i] = b[i] = a(i, i);
            z[i] = T(0);
        }
        for (int sweep = 0;; ++sweep) {
            T off = T(0);
            for (int p = 0; p < n; ++p)
                for (int q = p + 1; q < n; ++q)
                    off += std::abs(a(p, q));
            if (off == T(0))
                break;
            if (!std::isfinite(off))
                raise<MathError>(where, "The matrix has elements that are not finite or too large");
            if (sweep == kMaxJacobiSweeps)
                break;
            for (int p = 0; p + 1 < n; ++p) {
                for (int q = p + 1; q < n; ++q) {
                    const T apq = a(p, q);
                    if (apq == T(0))
                        continue;
                    const T theta = (values[q] - values[p]) * T(0.5) / apq;
                    const T root = std::sqrt(theta * theta + T(1));
                    const T t = theta > T(0) ? T(1) / (theta + root) : T(1) / (theta - root);
                    const T c = T(1) / std::sqrt(t * t + T(1));
                    const T s = t * c;
                    const T tau = s / (T(1) + c);
                    const T h = t * apq;
                    z[p] -= h;
                    z[q] += h;
                    values[p] -= h;
                    values[q] += h;
                    a(p, q) = T(0);
                    for (int j = 0; j < p; ++j)
                        rotatePair(a(j, p), a(j, q), s, tau);
                    for (int j = p + 1; j < q; ++j)
                        rotatePair(a(p, j), a(j, q), s, tau);
                    for (int j = q + 1; j < n; ++j)
                        rotatePair(a(p, j), a(q, j), s, tau);
                    for (int j = 0; j < n; ++j)
                        vectors.jacobiRotate(j, p, j, q, s, tau);
                }
            }
            for (int i = 0; i < n; ++i) {
                b[i] += z[i];
                values[i] = b[i];
                z[i] = T(0);
            }
        }
        if (sort)
            eigenSort(values, vectors);
    }
}

template <typename T>
void SquareMatrix<T>::eigenSort(Vector<T>& values, SquareMatrix& vectors)
{
    const int n = values.getSize();
    for (int i = 0; i + 1 < n; ++i) {
        int k = i;
        T largest = values[i];
        for (int j = i + 1; j < n; ++j)
            if (values[j] > largest) {
                largest = values[j];
                k = j;
            }
        if (k == i)
            continue;
        values[k] = values[i];
        values[i] = largest;
        // Exchanging two axes flips the handedness; negating the one moved to
        // position k restores it.
        for (int r = 0; r < vectors.getSize1(); ++r) {
            const T moved = vectors(r, i);
            vectors(r, i) = vectors(r, k);
            vectors(r, k) = -moved;
        }
    }
}

// Tridiagonal systems ---------------------------------------------------------

namespace {

// The Thomas factorisation of the tridiagonal matrix (l, d, u): pivots in bet,
// eliminated super-diagonal in gam (gam[j] = u[j - 1] / bet[j - 1]). Returns
// false on a pivot of magnitude at most eps.
template <typename T>
bool factorTridiagonal(const Vector<T>& d, const Vector<T>& u, const Vector<T>& l, std::vector<T>& gam,
                       std::vector<T>& bet)
{
    const int n = d.getSize();
    const T eps = Vector<T>::epsilon();
    gam.assign(static_cast<std::size_t>(n), T(0));
    bet.assign(static_cast<std::size_t>(n), T(0));
    if (n == 0)
        return true;
    bet[0] = d[0];
    if (std::abs(bet[0]) <= eps)
        return false;
    for (int j = 1; j < n; ++j) {
        gam[static_cast<std::size_t>(j)] = u[j - 1] / bet[static_cast<std::size_t>(j - 1)];
        bet[static_cast<std::size_t>(j)] = d[j] - l[j - 1] * gam[static_cast<std::size_t>(j)];
        if (std::abs(bet[static_cast<std::size_t>(j)]) <= eps)
            return false;
    }
    return true;
}

// Forward and back substitution with that factorisation; x holds the
// right-hand side and receives the solution.
template <typename T>
void substituteTridiagonal(T* x, int n, const Vector<T>& l, const std::vector<T>& gam, const std::vector<T>& bet)
{
    if (n == 0)
        return;
    x[0] = x[0] / bet[0];
    for (int j = 1; j < n; ++j)
        x[j] = (x[j] - l[j - 1] * x[j - 1]) / bet[static_cast<std::size_t>(j)];
    for (int j = n - 2; j >= 0; --j)
        x[j] -= gam[static_cast<std::size_t>(j + 1)] * x[j + 1];
}

template <typename T>
bool hasTridiagonalSizes(const Vector<T>& d, const Vector<T>& u, const Vector<T>& l)
{
    const int n = d.getSize();
    return u.getSize() == diagonalSize(n, 1) && l.getSize() == diagonalSize(n, 1);
}

} // namespace

template <typename T>
void SquareMatrix<T>::tridiagSolve(Vector<T>& x, const Vector<T>& d, const Vector<T>& u, const Vector<T>& l)
{
    static constexpr const char* where = "void SquareMatrix<T>::tridiagSolve(...)";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        if (!hasTridiagonalSizes(d, u, l) || x.getSize() != d.getSize())
            raise<SizeError>(where, kDimensions);
        std::vector<T> gam;
        std::vector<T> bet;
        if (!factorTridiagonal(d, u, l, gam, bet))
            raise<MathError>(where, "Null pivoting element found.");
        substituteTridiagonal(x.data(), x.getSize(), l, gam, bet);
    }
}

template <typename T>
void SquareMatrix<T>::tridiagInverse(SquareMatrix& inv, const Vector<T>& d, const Vector<T>& u,
                                     const Vector<T>& l)
{
    static constexpr const char* where = "void SquareMatrix<T>::tridiagInverse(...)";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        if (!hasTridiagonalSizes(d, u, l))
            raise<SizeError>(where, kDimensions);
        std::vector<T> gam;
        std::vector<T> bet;
        if (!factorTridiagonal(d, u, l, gam, bet))
            raise<Exception>(where, "Null pivoting element found. Try another inversion method.");
        const int n = d.getSize();
        inv.setSize(n, n);
        std::vector<T> column(static_cast<std::size_t>(n));
        for (int j = 0; j < n; ++j) {
            std::fill(column.begin(), column.end(), T(0));
            column[static_cast<std::size_t>(j)] = T(1);
            substituteTridiagonal(column.data(), n, l, gam, bet);
            for (int i = 0; i < n; ++i)
                inv(i, j) = column[static_cast<std::size_t>(i)];
        }
    }
}

template <typename T>
void SquareMatrix<T>::cyclicTridiagSolve(Vector<T>& x, const Vector<T>& d, const Vector<T>& u,
                                         const Vector<T>& l, T alpha, T beta)
{
    static constexpr const char* where = "void SquareMatrix<T>::cyclicTridiagSolve(...)";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const int n = d.getSize();
        if (n < 2 || !hasTridiagonalSizes(d, u, l) || x.getSize() != n)
            raise<SizeError>(where, kDimensions);
        // Sherman-Morrison: the cyclic matrix is the tridiagonal matrix with
        // modified corners d'[0], d'[n-1] plus the outer product of
        // (gamma, 0, ..., 0, alpha) and (1, 0, ..., 0, beta / gamma).
        const T gamma = -d[0];
        Vector<T> dd(d);
        dd[0] = d[0] - gamma;
        dd[n - 1] = d[n - 1] - alpha * beta / gamma;
        std::vector<T> gam;
        std::vector<T> bet;
        if (!factorTridiagonal(dd, u, l, gam, bet)) {
            MathError e;
            e.setWhere("void SquareMatrix<T>::tridiagSolve(...)");
            e.setWhat("Null pivoting element found.");
            e.addCall(where);
            throw e;
        }
        std::vector<T> y(x.begin(), x.end());
        std::vector<T> z(static_cast<std::size_t>(n), T(0));
        z[0] = gamma;
        z[static_cast<std::size_t>(n - 1)] = alpha;
        substituteTridiagonal(y.data(), n, l, gam, bet);
        substituteTridiagonal(z.data(), n, l, gam, bet);
        const T denominator = T(1) + z[0] + beta * z[static_cast<std::size_t>(n - 1)] / gamma;
        if (std::abs(denominator) <= Vector<T>::epsilon())
            raise<MathError>(where, "Singular cyclic tridiagonal matrix.");
        const T factor = (y[0] + beta * y[static_cast<std::size_t>(n - 1)] / gamma) / denominator;
        for (int i = 0; i < n; ++i)
            x[i] = y[static_cast<std::size_t>(i)] - factor * z[static_cast<std::size_t>(i)];
    }
}

template class SquareMatrix<int>;
template class SquareMatrix<float>;
template class SquareMatrix<double>;
template class SquareMatrix<long double>;
