#pragma once
// SeparableFilterBase<T>: convolution of pixel and voxel matrices with a
// separable kernel, one axis after the other.
//
// A 2D image has every row convolved with hMask, then every column with
// vMask; a 3D image is convolved along rows with kernel1, along columns with
// kernel2 and along k with kernel3. Each line is convolved as by
// Vector<T>::conv: the kernel is reversed and centred on its middle tap (size
// / 2), and taps that fall outside the line contribute nothing, without
// renormalisation. Then, when the final factor is not 1, every element is
// divided by it (setDivideBy) or multiplied by it (setMultiplyBy).
//
// With a mask set, each line is convolved with the masked convolution of
// Vector<T> and its mask line: elements whose mask is 0 keep their value and
// masked taps borrow the mirror sample; the final factor then applies to the
// elements inside the mask only.
//
// Element types: float, double, long double.

#include "image/maskpixelmatrixprocessing.h"
#include "image/maskvoxelmatrixprocessing.h"
#include "numerics/matrix.h"

template <typename T>
class SeparableFilterBase : public MaskPixelMatrixProcessing<T>, public MaskVoxelMatrixProcessing<T> {
public:
    using MaskPixelMatrixProcessing<T>::setMask;
    using MaskVoxelMatrixProcessing<T>::setMask;

    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& v) override;
    void maskedApply(PixelMatrix<T>& m, const PixelMatrix<T>& mask);
    void maskedApply(VoxelMatrix<T>& v, const VoxelMatrix<T>& mask);

    // The 2D kernel: element (i, j) = vMask[i] x hMask[j].
    Matrix<T> kernel2D() const { return m_vMask.outerProduct(m_hMask); }

    const Vector<T>& getHMask() const { return m_hMask; }
    const Vector<T>& getVMask() const { return m_vMask; }
    const Vector<T>& getKernel1() const { return m_kernel1; }
    const Vector<T>& getKernel2() const { return m_kernel2; }
    const Vector<T>& getKernel3() const { return m_kernel3; }
    T getFactor() const { return m_factor; }
    bool isDividing() const { return m_divide; }

protected:
    SeparableFilterBase() = default;

    void setHMask(const Vector<T>& k) { m_hMask = k; }
    void setVMask(const Vector<T>& k) { m_vMask = k; }
    void setKernel1(const Vector<T>& k) { m_kernel1 = k; }
    void setKernel2(const Vector<T>& k) { m_kernel2 = k; }
    void setKernel3(const Vector<T>& k) { m_kernel3 = k; }
    // One kernel for every axis.
    void setKernels(const Vector<T>& k);
    void setDivideBy(T factor)
    {
        m_factor = factor;
        m_divide = true;
    }
    void setMultiplyBy(T factor)
    {
        m_factor = factor;
        m_divide = false;
    }

private:
    // Applies the final factor to rows first .. last - 1 (last < 0: to the end).
    void scale(PixelMatrix<T>& m, const PixelMatrix<T>* mask, int first = 0, int last = -1) const;

    Vector<T> m_hMask;
    Vector<T> m_vMask;
    Vector<T> m_kernel1;
    Vector<T> m_kernel2;
    Vector<T> m_kernel3;
    T m_factor = T(1);
    bool m_divide = true;
};

extern template class SeparableFilterBase<float>;
extern template class SeparableFilterBase<double>;
extern template class SeparableFilterBase<long double>;
