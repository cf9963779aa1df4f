#pragma once
// PrincipalAxesImageRegistration<T>: the rigid transform that brings the
// source image onto the target by matching their centroids and principal
// orientations (MatrixPrincipalAxesAnalysis).
//
// With image-centred rotation (the default) the transform is
//     x -> R (x - c) + c + t,   c = (size1 / 2, size2 / 2) of the source,
// which turns the source about its image centre and carries its centroid
// onto the target's; without it, x -> R x + t with t the difference of the
// centroids. Since principal axes are known only up to a quarter turn, the
// rotation found is the one below 90 degrees that aligns them.
//
// Calling order: setSource, setTarget, run, then rotation() and translation().

#include "stack/rigidregistration.h"

template <typename T>
class PrincipalAxesImageRegistration : public RigidRegistration<T> {
public:
    PrincipalAxesImageRegistration() = default;

    void setImageCenteredRotation(bool flag) { m_imageCenteredRotation = flag; }
    bool isImageCenteredRotation() const { return m_imageCenteredRotation; }

    // UsageError "Source and target images must be set before running" when
    // either is missing.
    void run();

private:
    bool m_imageCenteredRotation = true;
};

#define PLEXAN_EXTERN_PAIR(T) extern template class PrincipalAxesImageRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_PAIR)
#undef PLEXAN_EXTERN_PAIR
