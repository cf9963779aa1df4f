#include "stack/rigidregistration.h"

#include <cmath>

template <typename T>
RigidRegistration<T>::RigidRegistration() : m_translation{T(0), T(0)}, m_rotation(2, 2)
{
    m_rotation.setZeros();
    m_rotation(0, 0) = T(1);
    m_rotation(1, 1) = T(1);
}

template <typename T>
Registration RigidRegistration<T>::toRegistration() const
{
    const long double degrees =
        std::atan2(static_cast<long double>(m_rotation(0, 1)),
                   static_cast<long double>(m_rotation(0, 0))) *
        180.0L / 3.141592653589793L;
    return Registration(static_cast<int>(m_translation[1]), static_cast<int>(m_translation[0]),
                        static_cast<float>(degrees));
}

#define PLEXAN_INSTANTIATE(T) template class RigidRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
