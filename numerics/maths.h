#pragma once
// Maths: small numeric helpers shared across the library (rounding, powers of
// two, factorials and Poisson probabilities, plane and space rotations).
// Rotation helpers are instantiated for float, double and long double.

#include "numerics/squarematrix.h"

#include <cmath>
#include <type_traits>

class Maths {
public:
    static constexpr double pi = 3.141592653589793;

    // n >= 1 and a power of two.
    static bool isPowerOfTwo(int n) { return n >= 1 && (n & (n - 1)) == 0; }
    // The smallest power of two >= n; 1 for n < 2. RangeError above 2^30.
    static int nextPowerOfTwo(int n);

    template <typename T>
    static T sqr(T x)
    {
        return x * x;
    }
    // Rounds half up: floor(x + 0.5), so fround(-2.5) = -2. Float arguments
    // are rounded in double precision.
    template <typename T>
    static int fround(T x)
    {
        using R = std::conditional_t<std::is_same_v<T, long double>, long double, double>;
        return static_cast<int>(std::floor(static_cast<R>(x) + R(0.5)));
    }
    // The nearest multiple of step, halves rounded up.
    template <typename T>
    static T fround(T x, T step)
    {
        return static_cast<T>(fround(x / step)) * step;
    }
    // Element-wise fround, as values of the same type.
    template <typename T>
    static Vector<T> fround(const Vector<T>& v)
    {
        Vector<T> out(static_cast<unsigned int>(v.getSize()));
        for (int i = 0; i < v.getSize(); ++i)
            out[i] = static_cast<T>(fround(v[i]));
        return out;
    }

    static float toRadians(float degrees) { return static_cast<float>(degrees * pi / 180.0); }
    static float toDegrees(float radians) { return static_cast<float>(radians * 180.0 / pi); }

    // ln n! in single precision: the sum of ln k for k = 2..n (0 for n < 2).
    static float logFactorial(unsigned int n);
    // fround(exp(logFactorial(n))): a single-precision approximation, exact
    // for small n only (10! comes out as 3628798).
    static long factorial(unsigned int n);
    // The Poisson probability of k events at mean lambda, in single precision.
    static float pdfPoisson(float lambda, unsigned int k);

    // (cos a, -sin a; sin a, cos a): counter-clockwise rotation by a radians.
    template <typename T>
    static SquareMatrix<T> rotationMatrix(T a);
    template <typename T>
    static SquareMatrix<T> xRotationMatrix3D(T a);
    template <typename T>
    static SquareMatrix<T> yRotationMatrix3D(T a);
    template <typename T>
    static SquareMatrix<T> zRotationMatrix3D(T a);
    // The angle of a 2D rotation matrix: atan2(m10, m00).
    template <typename T>
    static T rotationAngle(const Matrix<T>& m);
    // Angles a, b, c with m = xRotation(a) * yRotation(b) * zRotation(c) for a
    // 3D rotation m (at gimbal lock, b = +-pi/2, a is 0).
    template <typename T>
    static void decomposeRotationMatrix3D(const Matrix<T>& m, T& a, T& b, T& c);
};
