#pragma once
// GaussianFilter<T>: separable Gaussian smoothing.
//
// The kernel has radius r = ceil(2 sigma) and 2r + 1 taps: tap r is 1 and taps
// r +- i are exp(-i^2 / (2 sigma^2)), all divided by their sum, so that they
// sum to 1. The same kernel serves every axis. Like every separable filter,
// taps falling outside the image contribute nothing (no renormalisation at the
// borders).
//
// Element types: float, double, long double.

#include "imageprocessing/separablefilterbase.h"

template <typename T>
class GaussianFilter : public SeparableFilterBase<T> {
public:
    explicit GaussianFilter(T sigma = T(1)) { setSigma(sigma); }

    // Stores sigma and recomputes the kernel.
    void setSigma(T sigma);
    T getSigma() const { return m_sigma; }
    const Vector<T>& getKernel() const { return this->getHMask(); }
    int getRadius() const { return (this->getHMask().getSize() - 1) / 2; }

private:
    void computeKernel();

    T m_sigma = T(1);
};

extern template class GaussianFilter<float>;
extern template class GaussianFilter<double>;
extern template class GaussianFilter<long double>;
