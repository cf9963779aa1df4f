#pragma once
// SeparableFilter<T>: a separable convolution whose kernels and final factor
// the caller sets (see SeparableFilterBase).

#include "imageprocessing/separablefilterbase.h"

template <typename T>
class SeparableFilter : public SeparableFilterBase<T> {
public:
    SeparableFilter() = default;

    using SeparableFilterBase<T>::setHMask;
    using SeparableFilterBase<T>::setVMask;
    using SeparableFilterBase<T>::setKernel1;
    using SeparableFilterBase<T>::setKernel2;
    using SeparableFilterBase<T>::setKernel3;
    using SeparableFilterBase<T>::setKernels;
    using SeparableFilterBase<T>::setDivideBy;
    using SeparableFilterBase<T>::setMultiplyBy;
};
