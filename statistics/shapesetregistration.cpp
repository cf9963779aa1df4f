#include "statistics/shapesetregistration.h"

#include "numerics/exception.h"
#include "statistics/leastsquaresrigidshaperegistration.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
void ShapeSetRegistration<T>::matchedVertices(const ShapeSet<T>& set, const ShapeSet<T>& targetReferences,
                                              Vertices<T>& setVertices, Vertices<T>& targetVertices)
{
    ShapeSet<T> references = set.referenceShapeSet();
    references.matchSurfaces(targetReferences);
    correspondingVertices(references, targetReferences, setVertices, targetVertices);
}

template <typename T>
bool ShapeSetRegistration<T>::isRounding(const SquareMatrix<T>& rotation, const Vector<T>& translation,
                                         const Vertices<T>& from, const Vertices<T>& to)
{
    using R = plexan::Accumulator<T>;
    R largest = R(0);
    for (const Vertices<T>* list : {&from, &to})
        for (int i = 0; i < list->getNumVertices(); ++i)
            for (int a = 0; a < (*list)[i].getSize(); ++a)
                largest = std::max(largest, static_cast<R>(std::abs((*list)[i][a])));
    const R bound = R(16) * static_cast<R>(std::numeric_limits<T>::epsilon()) * largest;
    for (int i = 0; i < from.getNumVertices(); ++i) {
        const Vector<T>& x = from[i];
        for (int a = 0; a < x.getSize(); ++a) {
            R moved = static_cast<R>(translation[a]) - static_cast<R>(x[a]);
            for (int b = 0; b < x.getSize(); ++b)
                moved += static_cast<R>(rotation(a, b)) * static_cast<R>(x[b]);
            if (std::abs(moved) > bound)
                return false;
        }
    }
    return true;
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
    for (int iteration = 0; iteration < m_maximumIterations; ++iteration) {
        Vertices<T> from;
        Vertices<T> to;
        correspondingVertices(movingReferences, targetReferences, from, to);
        LeastSquaresRigidShapeRegistration<T> fit;
        fit.fit(from, to);
        const SquareMatrix<T>& r = fit.getRotationMatrix();
        if (isRounding(r, fit.getTranslationVector(), from, to)) {
            // The sets are registered to the precision of T: the set stays,
            // and so does its distance, which ends the rounds.
            m_dynamics.push_back(e);
            break;
        }
        fit.apply(moving);
        m_rotation = SquareMatrix<T>(r * m_rotation);
        m_translation = r * m_translation + fit.getTranslationVector();

        movingReferences.matchSurfaces(targetReferences);
        const T next = meanDistance(movingReferences, targetReferences);
        m_dynamics.push_back(next);
        const bool converged = std::abs(e - next) / (eps + e) <= eps;
        e = next;
        if (converged)
            break;
    }
}

#define PLEXAN_INSTANTIATE(T) template class ShapeSetRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
