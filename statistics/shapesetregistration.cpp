#include "statistics/shapesetregistration.h"

#include "geometry/vertexstack.h"
#include "numerics/exception.h"
#include "statistics/leastsquaresrigidshaperegistration.h"

#include <cmath>

template <typename T>
ShapeSetRegistration<T>::ShapeSetRegistration()
{
    m_rotation.setIdentity(3);
    m_translation.setZeros(3);
}

template <typename T>
void ShapeSetRegistration<T>::correspondingVertices(const ShapeSet<T>& moving, const ShapeSet<T>& target,
                                                    Vertices<T>& movingVertices, Vertices<T>& targetVertices)
{
    int space = 3;
    const int n = std::min(moving.getNumShapes(), target.getNumShapes());
    for (int i = 0; i < n; ++i)
        if (moving[i] && target[i] && moving[i]->getSpace() > 0) {
            space = moving[i]->getSpace();
            break;
        }
    int total = 0;
    for (int i = 0; i < n; ++i)
        if (moving[i] && target[i])
            total += std::max(moving[i]->getNumVertices(), target[i]->getNumVertices());
    const int capacity = std::max(total, 1);
    movingVertices = Vertices<T>(space, 0, capacity, capacity);
    targetVertices = Vertices<T>(space, 0, capacity, capacity);
    for (int i = 0; i < n; ++i) {
        if (!moving[i] || !target[i])
            continue;
        for (ConstVertexIterator<T> it(*moving[i]); it.current(); ++it)
            movingVertices.append(*it.current());
        for (ConstVertexIterator<T> it(*target[i]); it.current(); ++it)
            targetVertices.append(*it.current());
    }
}

template <typename T>
T ShapeSetRegistration<T>::meanDistance(const ShapeSet<T>& moving, const ShapeSet<T>& target)
{
    const Vector<T> d = moving.rmsDistances(target);
    if (d.getSize() == 0)
        throw ValueError("void ShapeSetRegistration<T>::apply(ShapeSet<T>&,const ShapeSet<T>&)",
                         "The shape sets have no reference shape in common");
    return d.mean();
}

template <typename T>
T ShapeSetRegistration<T>::referenceScale(const ShapeSet<T>& set)
{
    const VertexStack<T> all = set.asVertexStack();
    const int n = all.getNumVertices();
    if (n == 0)
        return T(0);
    const Vector<T> c = all.cog();
    using R = plexan::Accumulator<T>;
    R sum = 0;
    for (ConstVertexIterator<T> it(all); it.current(); ++it)
        for (int a = 0; a < c.getSize(); ++a) {
            const R d = static_cast<R>((*it.current())[a]) - static_cast<R>(c[a]);
            sum += d * d;
        }
    return static_cast<T>(std::sqrt(sum / static_cast<R>(n)));
}

template <typename T>
void ShapeSetRegistration<T>::matchedVertices(const ShapeSet<T>& set, const ShapeSet<T>& targetReferences,
                                              Vertices<T>& setVertices, Vertices<T>& targetVertices)
{
    ShapeSet<T> references = set.referenceShapeSet();
    references.matchSurfaces(targetReferences);
    correspondingVertices(references, targetReferences, setVertices, targetVertices);
}

template <typename T>
void ShapeSetRegistration<T>::apply(ShapeSet<T>& moving, const ShapeSet<T>& target)
{
    m_rotation.setIdentity(3);
    m_translation.setZeros(3);
    m_dynamics.clear();
    if (&moving == &target)
        return;
    ShapeSet<T> movingReferences = moving.referenceShapeSet();
    ShapeSet<T> targetReferences = target.referenceShapeSet();
    const T eps = m_tolerance;

    movingReferences.matchSurfaces(targetReferences);
    T e = meanDistance(movingReferences, targetReferences);
    m_dynamics.push_back(e);
    // Below this distance the sets coincide to the precision of T: the
    // relative change of e is then mere rounding.
    const T floor = T(10) * eps * referenceScale(targetReferences);
    if (e <= floor)
        return;
    for (int iteration = 0; iteration < m_maximumIterations; ++iteration) {
        Vertices<T> from;
        Vertices<T> to;
        correspondingVertices(movingReferences, targetReferences, from, to);
        LeastSquaresRigidShapeRegistration<T> fit;
        fit.fit(from, to);
        fit.apply(moving);
        const SquareMatrix<T>& r = fit.getRotationMatrix();
        m_rotation = SquareMatrix<T>(r * m_rotation);
        m_translation = r * m_translation + fit.getTranslationVector();

        movingReferences.matchSurfaces(targetReferences);
        const T next = meanDistance(movingReferences, targetReferences);
        m_dynamics.push_back(next);
        const bool converged = std::abs(e - next) / (eps + e) <= eps || next <= floor;
        e = next;
        if (converged)
            break;
    }
}

#define PLEXAN_INSTANTIATE(T) template class ShapeSetRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
