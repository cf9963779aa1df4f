#include "geometry/fourierdescriptors.h"

#include "geometry/curve.h"
#include "geometry/fouriertransform.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The amplitudes |c_m| of the descriptors, in double for the sums.
std::vector<double> amplitudes(const Vector<float>& re, const Vector<float>& im)
{
    const int n = re.getSize();
    std::vector<double> a(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
        a[k] = std::sqrt(static_cast<double>(re[k]) * re[k] + static_cast<double>(im[k]) * im[k]);
    return a;
}

// The amplitude of frequency k, positive and negative (once when they are the
// same descriptor, k = N/2).
inline double frequencyAmplitude(const std::vector<double>& a, int k)
{
    const int n = static_cast<int>(a.size());
    return n - k == k ? a[k] : a[k] + a[n - k];
}

double totalAmplitude(const std::vector<double>& a)
{
    double total = 0;
    for (std::size_t k = 1; k < a.size(); ++k)
        total += a[k];
    return total;
}

template <typename T>
void forward(const Curve<T>& curve, Vector<float>& re, Vector<float>& im, FourierTransform<float>& fft)
{
    const int n = curve.getNumVertices();
    const bool planar = curve.getSpace() > 1;
    re.setSize(n);
    im.setSize(n);
    for (int k = 0; k < n; ++k) {
        const T* v = curve.vertex(k).data();
        re[k] = static_cast<float>(v[0]) / static_cast<float>(n);
        im[k] = planar ? static_cast<float>(v[1]) / static_cast<float>(n) : 0.0f;
    }
    fft.forward(re, im);
}

template <typename T>
void backward(Vector<float> re, Vector<float> im, Curve<T>& curve, FourierTransform<float>& fft)
{
    fft.backward(re, im);
    const int n = re.getSize();
    Curve<T> result(2, n, 0, 0, false);
    for (int k = 0; k < n; ++k) {
        T* v = result.vertex(k).data();
        v[0] = plexan::toCoordinate<T>(re[k]);
        v[1] = plexan::toCoordinate<T>(im[k]);
    }
    curve = result;
}

} // namespace

template <typename T>
void FourierDescriptors<T>::computeForward(const Curve<T>& curve, Vector<float>& re, Vector<float>& im) const
{
    FourierTransform<float> fft;
    forward(curve, re, im, fft);
}

template <typename T>
void FourierDescriptors<T>::computeBackward(const Vector<float>& re, const Vector<float>& im,
                                            Curve<T>& curve) const
{
    FourierTransform<float> fft;
    backward(re, im, curve, fft);
}

template <typename T>
void FourierDescriptors<T>::cut(Vector<float>& re, Vector<float>& im, int n) const
{
    const int size = re.getSize() < im.getSize() ? re.getSize() : im.getSize();
    if (n < 0)
        n = 0;
    for (int k = n + 1; k < size - n; ++k) {
        re[k] = 0.0f;
        im[k] = 0.0f;
    }
}

template <typename T>
float FourierDescriptors<T>::fidelityFromNumDescriptors(const Vector<float>& re, const Vector<float>& im,
                                                        int n) const
{
    if (n <= 0)
        return 0.0f;
    const std::vector<double> a = amplitudes(re, im);
    const double total = totalAmplitude(a);
    if (total <= 0)
        return 1.0f;
    const int last = std::min(n, static_cast<int>(a.size()) / 2);
    double sum = 0;
    for (int k = 1; k <= last; ++k)
        sum += frequencyAmplitude(a, k);
    return static_cast<float>(sum / total);
}

template <typename T>
int FourierDescriptors<T>::numDescriptorsFromFidelity(const Vector<float>& re, const Vector<float>& im,
                                                      float fidelity) const
{
    const std::vector<double> a = amplitudes(re, im);
    const double total = totalAmplitude(a);
    const double target = static_cast<double>(fidelity) * total;
    if (!(target > 0))
        return 0;
    // A fidelity is a float: the running sum reaches it when it comes within
    // the float's rounding of it, so that the fidelity of n descriptors asks
    // for n again.
    const double reached = target - total * 0x1p-22;
    const int last = static_cast<int>(a.size()) / 2;
    double sum = 0;
    for (int k = 1; k <= last; ++k) {
        sum += frequencyAmplitude(a, k);
        if (sum >= reached)
            return k;
    }
    return last;
}

template <typename T>
float FourierDescriptors<T>::filter(Curve<T>& curve, int n) const
{
    FourierTransform<float> fft(curve.getNumVertices());
    Vector<float> re, im;
    forward(curve, re, im, fft);
    const float fidelity = fidelityFromNumDescriptors(re, im, n);
    cut(re, im, n);
    backward(std::move(re), std::move(im), curve, fft);
    return fidelity;
}

template <typename T>
int FourierDescriptors<T>::filter(Curve<T>& curve, float fidelity) const
{
    FourierTransform<float> fft(curve.getNumVertices());
    Vector<float> re, im;
    forward(curve, re, im, fft);
    const int n = numDescriptorsFromFidelity(re, im, fidelity);
    cut(re, im, n);
    backward(std::move(re), std::move(im), curve, fft);
    return n;
}

template class FourierDescriptors<int>;
template class FourierDescriptors<float>;
template class FourierDescriptors<double>;
template class FourierDescriptors<long double>;
