#include "imageprocessing/gaussianfilter.h"

#include <algorithm>
#include <cmath>

template <typename T>
void GaussianFilter<T>::setSigma(T sigma)
{
    m_sigma = sigma;
    computeKernel();
}

template <typename T>
void GaussianFilter<T>::computeKernel()
{
    const int r = std::max(0, static_cast<int>(std::ceil(2.0 * static_cast<double>(m_sigma))));
    Vector<T> k(static_cast<unsigned int>(2 * r + 1));
    k[r] = T(1);
    T sum = T(0);
    for (int i = 1; i <= r; ++i) {
        const T tap = std::exp(-T(i * i) / (T(2) * m_sigma * m_sigma));
        k[r - i] = tap;
        k[r + i] = tap;
        sum += tap;
    }
    k /= T(1) + T(2) * sum;
    this->setKernels(k);
}

template class GaussianFilter<float>;
template class GaussianFilter<double>;
template class GaussianFilter<long double>;
