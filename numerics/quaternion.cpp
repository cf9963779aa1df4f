#include "numerics/quaternion.h"

#include <cmath>

template <typename T>
Quaternion<T>::Quaternion(const Vector<T>& wxyz)
{
    if (wxyz.getSize() != 4) {
        SizeError e;
        e.setWhere("Quaternion<T>::Quaternion(const Vector<T>&)");
        e.setWhat("A quaternion needs a vector of 4 elements");
        throw e;
    }
    m_w = wxyz[0];
    m_x = wxyz[1];
    m_y = wxyz[2];
    m_z = wxyz[3];
}

template <typename T>
Quaternion<T> Quaternion<T>::fromAxisAngle(const Vector<T>& axis, T angle)
{
    if (axis.getSize() != 3) {
        SizeError e;
        e.setWhere("Quaternion<T> Quaternion<T>::fromAxisAngle(const Vector<T>&,const T)");
        e.setWhat("A rotation axis needs a vector of 3 elements");
        throw e;
    }
    const T length = axis.norm();
    if (length == T(0))
        return Quaternion();
    const T s = std::sin(angle / T(2)) / length;
    return Quaternion(std::cos(angle / T(2)), axis[0] * s, axis[1] * s, axis[2] * s);
}

template <typename T>
T Quaternion<T>::norm() const
{
    return std::sqrt(snorm());
}

template <typename T>
void Quaternion<T>::normalize()
{
    const T n = norm();
    if (n > T(0)) {
        m_w /= n;
        m_x /= n;
        m_y /= n;
        m_z /= n;
    }
}

template <typename T>
Quaternion<T> Quaternion<T>::inverse() const
{
    const T n2 = snorm();
    if (n2 == T(0)) {
        MathError e;
        e.setWhere("Quaternion<T> Quaternion<T>::inverse() const");
        e.setWhat("The zero quaternion has no inverse");
        throw e;
    }
    return Quaternion(m_w / n2, -m_x / n2, -m_y / n2, -m_z / n2);
}

template <typename T>
void Quaternion<T>::getAxisAngle(Vector<T>& axis, T& angle) const
{
    const T s = std::sqrt(m_x * m_x + m_y * m_y + m_z * m_z);
    axis.setSize(3);
    angle = T(2) * std::atan2(s, m_w);
    if (s == T(0)) {
        axis[0] = T(1);
        axis[1] = T(0);
        axis[2] = T(0);
        angle = T(0);
        return;
    }
    axis[0] = m_x / s;
    axis[1] = m_y / s;
    axis[2] = m_z / s;
}

template <typename T>
Vector<T> Quaternion<T>::rotate(const Vector<T>& v) const
{
    if (v.getSize() != 3) {
        SizeError e;
        e.setWhere("Vector<T> Quaternion<T>::rotate(const Vector<T>&) const");
        e.setWhat("A rotation needs a vector of 3 elements");
        throw e;
    }
    const Quaternion r = *this * Quaternion(T(0), v[0], v[1], v[2]) * inverse();
    return Vector<T>{r.m_x, r.m_y, r.m_z};
}

template <typename T>
Quaternion<T> Quaternion<T>::operator*(const Quaternion& q) const
{
    return Quaternion(m_w * q.m_w - m_x * q.m_x - m_y * q.m_y - m_z * q.m_z,
                      m_w * q.m_x + m_x * q.m_w + m_y * q.m_z - m_z * q.m_y,
                      m_w * q.m_y - m_x * q.m_z + m_y * q.m_w + m_z * q.m_x,
                      m_w * q.m_z + m_x * q.m_y - m_y * q.m_x + m_z * q.m_w);
}

template class Quaternion<float>;
template class Quaternion<double>;
template class Quaternion<long double>;
