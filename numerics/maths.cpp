#include "numerics/maths.h"

#include <cmath>

int Maths::nextPowerOfTwo(int n)
{
    if (n > (1 << 30)) {
        RangeError e;
        e.setWhere("int Maths::nextPowerOfTwo(const int)");
        e.setWhat("No power of two of type int is that large");
        throw e;
    }
    int power = 1;
    while (power < n)
        power <<= 1;
    return power;
}

float Maths::logFactorial(unsigned int n)
{
    float sum = 0.0f;
    for (unsigned int k = 2; k <= n; ++k)
        sum += std::log(static_cast<float>(k));
    return sum;
}

long Maths::factorial(unsigned int n)
{
    return static_cast<long>(std::floor(static_cast<double>(std::exp(logFactorial(n))) + 0.5));
}

float Maths::pdfPoisson(float lambda, unsigned int k)
{
    // k = 0 is exp(-lambda) also at lambda = 0, where k ln lambda is 0 * -inf.
    if (k == 0)
        return std::exp(-lambda);
    return std::exp(static_cast<float>(k) * std::log(lambda) - lambda - logFactorial(k));
}

template <typename T>
SquareMatrix<T> Maths::rotationMatrix(T a)
{
    const T c = std::cos(a);
    const T s = std::sin(a);
    SquareMatrix<T> m(2);
    m(0, 0) = c, m(0, 1) = -s;
    m(1, 0) = s, m(1, 1) = c;
    return m;
}

template <typename T>
SquareMatrix<T> Maths::xRotationMatrix3D(T a)
{
    const T c = std::cos(a);
    const T s = std::sin(a);
    SquareMatrix<T> m;
    m.setIdentity(3);
    m(1, 1) = c, m(1, 2) = -s;
    m(2, 1) = s, m(2, 2) = c;
    return m;
}

template <typename T>
SquareMatrix<T> Maths::yRotationMatrix3D(T a)
{
    const T c = std::cos(a);
    const T s = std::sin(a);
    SquareMatrix<T> m;
    m.setIdentity(3);
    m(0, 0) = c, m(0, 2) = s;
    m(2, 0) = -s, m(2, 2) = c;
    return m;
}

template <typename T>
SquareMatrix<T> Maths::zRotationMatrix3D(T a)
{
    const T c = std::cos(a);
    const T s = std::sin(a);
    SquareMatrix<T> m;
    m.setIdentity(3);
    m(0, 0) = c, m(0, 1) = -s;
    m(1, 0) = s, m(1, 1) = c;
    return m;
}

template <typename T>
T Maths::rotationAngle(const Matrix<T>& m)
{
    return std::atan2(m(1, 0), m(0, 0));
}

template <typename T>
void Maths::decomposeRotationMatrix3D(const Matrix<T>& m, T& a, T& b, T& c)
{
    const Vector<T>& r0 = m[0];
    const Vector<T>& r1 = m[1];
    const Vector<T>& r2 = m[2];
    // (cs, sn) = (cos a, sin a) of the x rotation that clears r1[2].
    T cs = T(1);
    T sn = T(0);
    if (std::abs(r1[2]) < T(1e-6)) {
        cs = T(1);
        sn = T(0);
    } else if (std::abs(r2[2]) > std::abs(r1[2])) {
        const T t = -r1[2] / r2[2];
        cs = T(1) / std::sqrt(T(1) + t * t);
        sn = t * cs;
    } else {
        const T t = -r2[2] / r1[2];
        sn = T(1) / std::sqrt(T(1) + t * t);
        cs = t * sn;
    }
    a = std::atan2(sn, cs);
    b = std::atan2(r0[2], r2[2] * cs - r1[2] * sn);
    c = std::atan2(r1[0] * cs + r2[0] * sn, r1[1] * cs + r2[1] * sn);
}

#define PLEXAN_INSTANTIATE(T)                                                                  \
    template SquareMatrix<T> Maths::rotationMatrix<T>(T);                                      \
    template SquareMatrix<T> Maths::xRotationMatrix3D<T>(T);                                   \
    template SquareMatrix<T> Maths::yRotationMatrix3D<T>(T);                                   \
    template SquareMatrix<T> Maths::zRotationMatrix3D<T>(T);                                   \
    template T Maths::rotationAngle<T>(const Matrix<T>&);                                      \
    template void Maths::decomposeRotationMatrix3D<T>(const Matrix<T>&, T&, T&, T&);
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
