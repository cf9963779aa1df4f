#include "statistics/targetshapesetgroupregistration.h"

#include "numerics/exception.h"
#include "statistics/shapesetregistration.h"

template <typename T>
void TargetShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>& group)
{
    if (!m_target)
        throw UsageError("void TargetShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>&)", "No target shape set");
    const int n = group.getNumShapeSets();
    this->reset(n);
    const ShapeSet<T> targetReferences = m_target->referenceShapeSet();
    for (int i = 0; i < n; ++i)
        group[i].referenceShapeSet().matchSurfaces(targetReferences);
    this->recordError(group);
    this->notifyStarted("Registering shapes...");
    for (int i = 0; i < n; ++i) {
        if (this->isCanceled()) {
            this->notifyCanceled("");
            return;
        }
        ShapeSetRegistration<T> registration;
        registration.apply(group[i], *m_target);
        this->compose(i, registration.getRotationMatrix(), registration.getTranslationVector());
        this->notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(n));
    }
    this->recordError(group);
    this->notifyFinished("");
}

#define PLEXAN_INSTANTIATE(T) template class TargetShapeSetGroupRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
