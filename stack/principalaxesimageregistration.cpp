#include "stack/principalaxesimageregistration.h"

#include "numerics/maths.h"
#include "stack/matrixprincipalaxesanalysis.h"

template <typename T>
void PrincipalAxesImageRegistration<T>::run()
{
    if (!this->m_source || !this->m_target)
        throw UsageError("void PrincipalAxesImageRegistration<T>::run()",
                         "Source and target images must be set before running");
    MatrixPrincipalAxesAnalysis<T> source;
    MatrixPrincipalAxesAnalysis<T> target;
    source.apply(*this->m_source);
    target.apply(*this->m_target);
    const Vector<T>& cS = source.getInertiaCenter();
    const Vector<T>& cT = target.getInertiaCenter();
    const T aS = source.getAngle();
    const T aT = target.getAngle();

    if (m_imageCenteredRotation) {
        const Matrix<T> r = Maths::rotationMatrix(aT) * Maths::rotationMatrix(aS).transpose();
        const Vector<T> centre{T(this->m_source->getSize1()) / T(2),
                               T(this->m_source->getSize2()) / T(2)};
        this->m_translation = r * (centre - cS) + cT - centre;
        this->m_rotation = r;
    } else {
        this->m_translation = cT - cS;
        this->m_rotation = Maths::rotationMatrix(aT - aS);
    }
}

#define PLEXAN_INSTANTIATE(T) template class PrincipalAxesImageRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
