#pragma once
// RigidRegistration<T>: a registration whose result is a rotation R (2 x 2)
// and a translation t, both in (i, j) index order.

#include "numerics/matrix.h"
#include "stack/imageregistration.h"
#include "stack/registration.h"

template <typename T>
class RigidRegistration : public ImageRegistration<T> {
public:
    RigidRegistration();

    const Vector<T>& translation() const { return m_translation; }
    const Matrix<T>& rotation() const { return m_rotation; }

    // The result as the source slice's registration on the target (previous)
    // slice: angle atan2(R01, R00) in degrees, horizontal shift t[1] and
    // vertical shift t[0], truncated toward zero. This matches the
    // registration of a transform that turns the source about its image
    // centre (see PrincipalAxesImageRegistration).
    Registration toRegistration() const;

protected:
    Vector<T> m_translation;
    Matrix<T> m_rotation;
};

#define PLEXAN_EXTERN_RIGIDREGISTRATION(T) extern template class RigidRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_RIGIDREGISTRATION)
#undef PLEXAN_EXTERN_RIGIDREGISTRATION
