#pragma once
// LeastSquaresRigidShapeRegistration<T>: the rotation and translation, without
// scaling, that minimise the sum of squared distances between corresponding
// vertices: centres of gravity, cross-covariance of the centred vertices and
// its singular value decomposition, the rotation kept proper.

#include "statistics/rigidshaperegistration.h"

template <typename T>
class LeastSquaresRigidShapeRegistration : public RigidShapeRegistration<T> {
protected:
    void compute(const Shape<T>& moving, const Shape<T>& target) override;
};

#define PLEXAN_EXTERN_LS_RIGID_SHAPE_REGISTRATION(T) extern template class LeastSquaresRigidShapeRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_LS_RIGID_SHAPE_REGISTRATION)
#undef PLEXAN_EXTERN_LS_RIGID_SHAPE_REGISTRATION
