#include "statistics/rigidshaperegistration.h"

#include "numerics/exception.h"
#include "statistics/shapetransform.h"

template <typename T>
RigidShapeRegistration<T>::RigidShapeRegistration()
{
    m_rotation.setIdentity(3);
    m_translation.setZeros(3);
}

template <typename T>
void RigidShapeRegistration<T>::fit(const Shape<T>& moving, const Shape<T>& target)
{
    if (moving.getNumVertices() != target.getNumVertices())
        throw SizeError("void RigidShapeRegistration<T>::fit(...)", "Moving and target shapes have distinct sizes");
    compute(moving, target);
}

template <typename T>
void RigidShapeRegistration<T>::setTransform(const SquareMatrix<T>& rotation, const Vector<T>& translation)
{
    m_rotation = rotation;
    m_translation = translation;
}

template <typename T>
Vector<T> RigidShapeRegistration<T>::transform(const Vector<T>& x) const
{
    return m_rotation * x + m_translation;
}

template <typename T>
void RigidShapeRegistration<T>::apply(Shape<T>& shape) const
{
    const int n = m_translation.getSize();
    const SquareMatrix<T>& r = m_rotation;
    const Vector<T>& t = m_translation;
    T y[8];
    plexan::transformShape(shape, [&](Vector<T>& x) {
        if (x.getSize() != n || n > 8)
            throw SizeError("void RigidShapeRegistration<T>::apply(Shape<T>&) const", "Incompatible vector dimensions");
        for (int a = 0; a < n; ++a) {
            T s = t[a];
            for (int b = 0; b < n; ++b)
                s += r(a, b) * x[b];
            y[a] = s;
        }
        for (int a = 0; a < n; ++a)
            x[a] = y[a];
    });
}

template <typename T>
void RigidShapeRegistration<T>::apply(ShapeSet<T>& set) const
{
    for (int i = 0; i < set.getNumShapes(); ++i)
        if (set[i])
            apply(*set[i]);
}

#define PLEXAN_INSTANTIATE(T) template class RigidShapeRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
