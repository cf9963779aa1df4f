#pragma once
// MaskPixelMatrixProcessing<T>: a pixel-matrix operation that can be
// restricted to a region given by a mask of the image's size: elements whose
// mask value is 0 lie outside the region. The filter only refers to the mask:
// the caller keeps it alive while the filter is used.
//
// Instantiated for char, unsigned char, short, unsigned short, int,
// unsigned int, float, double and long double.

#include "image/pixelmatrixprocessing.h"

template <typename T>
class MaskPixelMatrixProcessing : public PixelMatrixProcessing<T> {
public:
    MaskPixelMatrixProcessing() = default;
    ~MaskPixelMatrixProcessing() override;

    void setMask(const PixelMatrix<T>& mask) { m_mask = &mask; }
    // Null when no mask is set.
    const PixelMatrix<T>* getMask() const { return m_mask; }
    bool hasMask() const { return m_mask != nullptr; }
    // Forgets the mask.
    void unsetMask() { m_mask = nullptr; }

private:
    const PixelMatrix<T>* m_mask = nullptr;
};

#define PLEXAN_EXTERN_MASKPIXELMATRIXPROCESSING(T) extern template class MaskPixelMatrixProcessing<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_EXTERN_MASKPIXELMATRIXPROCESSING)
#undef PLEXAN_EXTERN_MASKPIXELMATRIXPROCESSING
