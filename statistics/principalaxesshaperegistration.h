#pragma once
// PrincipalAxesShapeRegistration<T>: the rigid transform that moves a shape's
// centre of gravity c to the origin and its principal axes, largest first,
// onto the coordinate axes: R has the eigenvectors of the inertia matrix as
// rows (decreasing eigenvalues, right-handed) and t = -R c.
//
// An eigenvector is defined up to its sign; each of the first two axes is
// turned so that the third moment of the vertices along it is not negative,
// and the third completes a right-handed frame, so that the same shape in
// any pose lands in the same place.

#include "statistics/rigidshaperegistration.h"

template <typename T>
class PrincipalAxesShapeRegistration : public RigidShapeRegistration<T> {
public:
    using RigidShapeRegistration<T>::fit;
    // Fits the transform of shape onto the coordinate frame.
    void fit(const Shape<T>& shape) { this->fit(shape, shape); }

protected:
    // The target plays no part.
    void compute(const Shape<T>& moving, const Shape<T>& target) override;
};

#define PLEXAN_EXTERN_PA_SHAPE_REGISTRATION(T) extern template class PrincipalAxesShapeRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_PA_SHAPE_REGISTRATION)
#undef PLEXAN_EXTERN_PA_SHAPE_REGISTRATION
