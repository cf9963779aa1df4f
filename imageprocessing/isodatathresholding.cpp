#include "imageprocessing/isodatathresholding.h"

#include <cmath>
#include <vector>

namespace {

// origin + b x width, the lower edge of bin b, in the arithmetic the matrix
// histograms use.
template <typename T>
bool edgeAbove(T origin, T width, unsigned int b, T x)
{
    if constexpr (plexan::isReal<T>)
        return origin + static_cast<T>(b) * width > x;
    else
        return static_cast<long long>(origin) + static_cast<long long>(b) * static_cast<long long>(width)
            > static_cast<long long>(x);
}

} // namespace

template <typename T>
IsodataThresholding<T>::IsodataThresholding()
{
    if constexpr (plexan::isReal<T>)
        m_origin = T(-0.5);
    else
        m_origin = T(0);
    m_binWidth = T(1);
}

template <typename T>
void IsodataThresholding<T>::setBins(T origin, T binWidth, unsigned int nBins)
{
    m_origin = origin;
    m_binWidth = binWidth;
    m_nBins = nBins;
}

template <typename T>
unsigned int IsodataThresholding<T>::computeThreshold(const Vector<unsigned int>& h) const
{
    const int n = h.getSize();
    int lo = 0;
    while (lo < n && h[lo] == 0)
        ++lo;
    if (lo == n)
        return 0;
    int hi = n - 1;
    while (h[hi] == 0)
        --hi;
    if (lo == hi)
        return static_cast<unsigned int>(lo);

    int t = (lo + hi) / 2;
    // The split moves monotonically in practice; the bound only guards
    // against a histogram on which it would oscillate.
    for (int iteration = 0; iteration <= n; ++iteration) {
        if (t <= lo)
            return static_cast<unsigned int>(lo + 1);
        unsigned int count1 = 0;
        unsigned int count2 = 0;
        double sum1 = 0;
        double sum2 = 0;
        for (int i = lo; i < t; ++i) {
            count1 += h[i];
            sum1 += h[i] * static_cast<unsigned int>(i);
        }
        for (int i = t; i <= hi; ++i) {
            count2 += h[i];
            sum2 += h[i] * static_cast<unsigned int>(i);
        }
        if (count1 == 0 || count2 == 0) // only on counts beyond 32 bits
            return static_cast<unsigned int>(t);
        const double mean1 = sum1 / count1;
        const double mean2 = sum2 / count2;
        const int next = static_cast<int>(std::trunc((mean1 + mean2) / 2));
        if (next == t)
            return static_cast<unsigned int>(t);
        t = next;
    }
    return static_cast<unsigned int>(t);
}

template <typename T>
void IsodataThresholding<T>::accumulate(const T* row, int n, unsigned int* counts) const
{
    const unsigned int nBins = m_nBins;
    const T origin = m_origin;
    const T width = m_binWidth;
    const unsigned int last = nBins - 1;
    for (int j = 0; j < n; ++j) {
        const T x = row[j];
        unsigned int b;
        if (!(width > T(0))) {
            // Degenerate bins: the same binary search as the matrix histogram.
            unsigned int lo = 0;
            unsigned int hi = nBins;
            while (lo + 1 < hi) {
                const unsigned int mid = (lo + hi) / 2;
                if (edgeAbove(origin, width, mid, x))
                    hi = mid;
                else
                    lo = mid;
            }
            b = lo;
        } else {
            // A first guess from the division, corrected against the bin edges
            // so that every value lands where the matrix histogram puts it.
            if constexpr (plexan::isReal<T>) {
                const T q = (x - origin) / width;
                if (!(q == q))
                    b = last; // NaN is above every edge
                else if (q <= T(0))
                    b = 0;
                else if (q >= static_cast<T>(last))
                    b = last;
                else
                    b = static_cast<unsigned int>(q);
            } else {
                const long long d = static_cast<long long>(x) - static_cast<long long>(origin);
                const long long q = d >= 0 ? d / width : 0;
                b = q >= static_cast<long long>(last) ? last : static_cast<unsigned int>(q);
            }
            while (b < last && !edgeAbove(origin, width, b + 1, x))
                ++b;
            while (b > 0 && edgeAbove(origin, width, b, x))
                --b;
        }
        ++counts[b];
    }
}

template <typename T>
T IsodataThresholding<T>::computeThreshold(const PixelMatrix<T>& m) const
{
    Vector<unsigned int> histogram(m_nBins);
    histogram.setZeros();
    if (m_nBins > 0)
        for (int i = 0; i < m.getSize1(); ++i)
            accumulate(m[i].data(), m.getSize2(), histogram.data());
    return static_cast<T>(static_cast<T>(computeThreshold(histogram)) * m_binWidth + m_origin);
}

template <typename T>
T IsodataThresholding<T>::computeThreshold(const VoxelMatrix<T>& m) const
{
    Vector<unsigned int> histogram(m_nBins);
    histogram.setZeros();
    if (m_nBins > 0)
        for (int k = 0; k < m.getSize3(); ++k)
            for (int i = 0; i < m.getSize1(); ++i)
                accumulate(m[k][i].data(), m.getSize2(), histogram.data());
    return static_cast<T>(static_cast<T>(computeThreshold(histogram)) * m_binWidth + m_origin);
}

template <typename T>
void IsodataThresholding<T>::apply(PixelMatrix<T>& m)
{
    this->setThreshold(computeThreshold(m));
    Thresholding<T>::apply(m);
}

template <typename T>
void IsodataThresholding<T>::apply(VoxelMatrix<T>& m)
{
    this->setThreshold(computeThreshold(m));
    Thresholding<T>::apply(m);
}

template class IsodataThresholding<int>;
template class IsodataThresholding<float>;
template class IsodataThresholding<double>;
template class IsodataThresholding<long double>;
