#pragma once
// Helpers shared by the linear-algebra tests: random matrices, tolerances per
// element type and element-wise distances.

#include "numerics/squarematrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <typeinfo>

namespace linalg {

using RealTypes = ::testing::Types<float, double, long double>;

// Uniform elements in [-1, 1].
template <typename T>
Matrix<T> randomMatrix(int n, int p, std::mt19937& rng)
{
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    Matrix<T> m(static_cast<unsigned>(n), static_cast<unsigned>(p));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j)
            m(i, j) = static_cast<T>(uniform(rng));
    return m;
}

template <typename T>
Vector<T> randomVector(int n, std::mt19937& rng)
{
    return randomMatrix<T>(1, n, rng)[0];
}

// Random matrix plus n on the diagonal: safely invertible in every precision.
template <typename T>
SquareMatrix<T> wellConditioned(int n, std::mt19937& rng)
{
    SquareMatrix<T> m(randomMatrix<T>(n, n, rng));
    for (int i = 0; i < n; ++i)
        m(i, i) += static_cast<T>(n);
    return m;
}

template <typename T>
SquareMatrix<T> randomSymmetric(int n, std::mt19937& rng)
{
    const Matrix<T> a = randomMatrix<T>(n, n, rng);
    return SquareMatrix<T>(a + a.transpose());
}

template <typename T>
SquareMatrix<T> identity(int n)
{
    SquareMatrix<T> m;
    m.setIdentity(n);
    return m;
}

// Rounding allowance per element type for results of O(1) magnitude.
template <typename T>
T tolerance()
{
    if constexpr (std::is_same_v<T, float>)
        return T(2e-4);
    else if constexpr (std::is_same_v<T, double>)
        return T(1e-11);
    else
        return T(1e-14);
}

template <typename T>
T maxAbsDiff(const Matrix<T>& a, const Matrix<T>& b)
{
    EXPECT_EQ(a.getSize(), b.getSize());
    T worst = T(0);
    for (int i = 0; i < a.getSize1(); ++i)
        for (int j = 0; j < a.getSize2(); ++j)
            worst = std::max(worst, static_cast<T>(std::abs(a(i, j) - b(i, j))));
    return worst;
}

template <typename T>
T maxAbsDiff(const Vector<T>& a, const Vector<T>& b)
{
    EXPECT_EQ(a.getSize(), b.getSize());
    T worst = T(0);
    for (int i = 0; i < a.getSize(); ++i)
        worst = std::max(worst, static_cast<T>(std::abs(a[i] - b[i])));
    return worst;
}

template <typename T>
SquareMatrix<T> diagonalMatrix(const Vector<T>& d)
{
    SquareMatrix<T> m;
    m.setDiagonal(d);
    return m;
}

// Runs f, expecting a failure passed on as a plain Exception; returns it.
template <typename F>
Exception plainException(F f)
{
    try {
        f();
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(Exception));
        return e;
    }
    ADD_FAILURE() << "no exception";
    return Exception();
}

} // namespace linalg
