#include "statistics/targetshapesetgroupwarping.h"

#include "numerics/exception.h"
#include "statistics/polynomialwarp.h"
#include "statistics/shapesetregistration.h"

template <typename T>
void TargetShapeSetGroupWarping<T>::apply(ShapeSetGroup<T>& group, int degree)
{
    if (!m_target)
        throw UsageError("void TargetShapeSetGroupWarping<T>::apply(ShapeSetGroup<T>&,int)", "No target shape set");
    m_evaluations = 0;
    m_jacobianErrors = 0;
    const ShapeSet<T> targetReferences = m_target->referenceShapeSet();
    const int n = group.getNumShapeSets();
    this->notifyStarted("Warping shapes...");
    for (int i = 0; i < n; ++i) {
        if (this->isCanceled()) {
            this->notifyCanceled("");
            return;
        }
        ShapeSet<T>& set = group[i];
        Vertices<T> from;
        Vertices<T> to;
        ShapeSetRegistration<T>::matchedVertices(set, targetReferences, from, to);
        if (from.getNumVertices() > 0) {
            PolynomialWarp<T> warp(degree);
            warp.fit(from, to);
            for (int s = 0; s < set.getNumShapes(); ++s)
                if (set[s])
                    warp.apply(*set[s], m_evaluations, m_jacobianErrors);
        }
        this->notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(n));
    }
    this->notifyFinished("");
}

#define PLEXAN_INSTANTIATE(T) template class TargetShapeSetGroupWarping<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
