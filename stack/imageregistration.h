#pragma once
// ImageRegistration<T>: the base of the registrations that bring a source
// image onto a target image. Both images are referenced, not owned: they must
// outlive the registration's use. Matrix indices are (i, j): row, column.

#include "image/pixelmatrix.h"

template <typename T>
class ImageRegistration {
public:
    ImageRegistration() = default;
    virtual ~ImageRegistration() = default;

    void setSource(const PixelMatrix<T>& source) { m_source = &source; }
    void setTarget(const PixelMatrix<T>& target) { m_target = &target; }
    const PixelMatrix<T>* getSource() const { return m_source; }
    const PixelMatrix<T>* getTarget() const { return m_target; }

protected:
    const PixelMatrix<T>* m_source = nullptr;
    const PixelMatrix<T>* m_target = nullptr;
};

#define PLEXAN_EXTERN_IMAGEREGISTRATION(T) extern template class ImageRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_IMAGEREGISTRATION)
#undef PLEXAN_EXTERN_IMAGEREGISTRATION
