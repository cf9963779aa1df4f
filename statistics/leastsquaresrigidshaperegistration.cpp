#include "statistics/leastsquaresrigidshaperegistration.h"

template <typename T>
void LeastSquaresRigidShapeRegistration<T>::compute(const Shape<T>& moving, const Shape<T>& target)
{
    moving.computeLSRegistration(this->m_translation, this->m_rotation, target);
}

#define PLEXAN_INSTANTIATE(T) template class LeastSquaresRigidShapeRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
