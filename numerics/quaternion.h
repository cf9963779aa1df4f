#pragma once
// Quaternion<T>: w + x i + y j + z k, stored scalar first. Unit quaternions
// stand for rotations of 3D space; SquareMatrix<T>(q) gives the matching
// rotation matrix. Instantiated for float, double and long double.

#include "numerics/vector.h"

template <typename T>
class Quaternion {
public:
    // The identity rotation (1, 0, 0, 0).
    Quaternion() = default;
    Quaternion(T w, T x, T y, T z) : m_w(w), m_x(x), m_y(y), m_z(z) {}
    // From (w, x, y, z); the vector must have 4 elements.
    explicit Quaternion(const Vector<T>& wxyz);
    // The rotation by angle (radians, counter-clockwise looking down the axis)
    // about axis, which need not be unit length; a zero axis gives the identity.
    static Quaternion fromAxisAngle(const Vector<T>& axis, T angle);

    T getW() const { return m_w; }
    T getX() const { return m_x; }
    T getY() const { return m_y; }
    T getZ() const { return m_z; }
    void setW(T w) { m_w = w; }
    void setX(T x) { m_x = x; }
    void setY(T y) { m_y = y; }
    void setZ(T z) { m_z = z; }
    // (w, x, y, z).
    Vector<T> toVector() const { return Vector<T>{m_w, m_x, m_y, m_z}; }

    T snorm() const { return m_w * m_w + m_x * m_x + m_y * m_y + m_z * m_z; }
    T norm() const;
    // Divides by the norm when it is greater than 0.
    void normalize();
    Quaternion conjugate() const { return Quaternion(m_w, -m_x, -m_y, -m_z); }
    // The multiplicative inverse; MathError for the zero quaternion.
    Quaternion inverse() const;
    // Axis (unit length) and angle in [0, 2 pi] of a unit quaternion; the
    // identity gives the axis (1, 0, 0) and angle 0.
    void getAxisAngle(Vector<T>& axis, T& angle) const;
    // q v q^-1 for a vector of size 3, that is the rotation of v by a unit q.
    Vector<T> rotate(const Vector<T>& v) const;

    // Hamilton product: (p * q) rotates by q first, then by p.
    Quaternion operator*(const Quaternion& q) const;
    Quaternion operator+(const Quaternion& q) const
    {
        return Quaternion(m_w + q.m_w, m_x + q.m_x, m_y + q.m_y, m_z + q.m_z);
    }
    Quaternion operator-(const Quaternion& q) const
    {
        return Quaternion(m_w - q.m_w, m_x - q.m_x, m_y - q.m_y, m_z - q.m_z);
    }
    Quaternion operator-() const { return Quaternion(-m_w, -m_x, -m_y, -m_z); }
    Quaternion operator*(T s) const { return Quaternion(m_w * s, m_x * s, m_y * s, m_z * s); }
    bool operator==(const Quaternion& q) const
    {
        return m_w == q.m_w && m_x == q.m_x && m_y == q.m_y && m_z == q.m_z;
    }
    bool operator!=(const Quaternion& q) const { return !(*this == q); }

private:
    T m_w = T(1);
    T m_x = T(0);
    T m_y = T(0);
    T m_z = T(0);
};

template <typename T>
Quaternion<T> operator*(T s, const Quaternion<T>& q)
{
    return q * s;
}

using Quaternionf = Quaternion<float>;
using Quaterniond = Quaternion<double>;
using Quaternionld = Quaternion<long double>;

extern template class Quaternion<float>;
extern template class Quaternion<double>;
extern template class Quaternion<long double>;
