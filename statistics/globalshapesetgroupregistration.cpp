#include "statistics/globalshapesetgroupregistration.h"

#include "geometry/quadmesh.h"
#include "numerics/exception.h"
#include "statistics/shapesetregistration.h"

#include <cmath>

template <typename T>
void GlobalShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>& group)
{
    const int n = group.getNumShapeSets();
    this->reset(n);
    m_sweeps = 0;
    std::vector<ShapeSet<T>> references;
    references.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        references.push_back(group[i].referenceShapeSet());
        const ShapeSet<T>& set = references.back();
        for (int s = 0; s < set.getNumShapes(); ++s)
            if (set[s] && !dynamic_cast<const QuadMesh<T>*>(set[s]))
                throw ValueError("void GlobalShapeSetGroupRegistration<T>::apply(ShapeSetGroup<T>&)",
                                 "At least some references are not quadrangular surfaces");
    }
    for (int i = 1; i < n; ++i)
        references[static_cast<std::size_t>(i)].matchSurfaces(references[0]);
    this->recordError(group);

    this->notifyStarted("Registering shapes...");
    const T eps = m_tolerance;
    const unsigned int block =
        (static_cast<unsigned int>(std::ceil(std::sqrt(static_cast<double>(n)))) + 3u) * static_cast<unsigned int>(n);
    unsigned int total = block;
    unsigned int step = 0;
    while (n > 1 && m_sweeps < m_maximumSweeps) {
        if (this->isCanceled()) {
            this->notifyCanceled("");
            return;
        }
        for (int i = 0; i < n; ++i) {
            ShapeSetGroup<T> others;
            for (int j = 0; j < n; ++j)
                if (j != i)
                    others.addShapeSet(references[static_cast<std::size_t>(j)]);
            const ShapeSet<T> average = others.average();
            ShapeSetRegistration<T> registration;
            registration.setTolerance(m_tolerance);
            registration.apply(group[i], average);
            this->compose(i, registration.getRotationMatrix(), registration.getTranslationVector());
            if (++step >= total)
                total += block;
            this->notifyProgressed(step, total);
        }
        ++m_sweeps;
        const T previous = this->m_means.back();
        this->recordError(group);
        const T next = this->m_means.back();
        if (!(std::abs(previous - next) / (eps + previous) > eps))
            break;
    }
    this->notifyFinished("");
}

#define PLEXAN_INSTANTIATE(T) template class GlobalShapeSetGroupRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
