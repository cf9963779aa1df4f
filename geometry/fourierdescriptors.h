#pragma once
// FourierDescriptors<T>: smooths a closed 2-D outline by truncating its
// Fourier series. The vertices (x_k, y_k), k = 0 .. N-1, are read as the
// complex sequence x_k + i y_k; its descriptors are the Fourier coefficients
// c_m = (1/N) sum_k (x_k + i y_k) exp(-2 pi i k m / N), kept as two float
// vectors (real and imaginary parts). c_0 is the centre of gravity; the
// descriptors m and N-m are the positive and negative frequency m.
//
// The fidelity of n descriptors is the share of the amplitudes |c_m| of the
// frequencies 1 .. n (positive and negative, each counted once) in the sum of
// all amplitudes but c_0's; it reaches 1 once n covers every frequency
// (n >= N/2). T = int, float, double, long double; int outlines are rounded
// to the nearest integer on the way back.

#include "numerics/vector.h"

template <typename T> class Curve;

template <typename T>
class FourierDescriptors {
public:
    // The descriptors of curve (vertex count N, first two coordinates).
    void computeForward(const Curve<T>& curve, Vector<float>& re, Vector<float>& im) const;
    // Replaces curve by the closed 2-D curve of N vertices the descriptors
    // describe (a new vertex pool; other holders of the old pool keep it).
    void computeBackward(const Vector<float>& re, const Vector<float>& im, Curve<T>& curve) const;
    // Zeroes every frequency above n, keeping c_0 and the n lowest positive
    // and negative frequencies.
    void cut(Vector<float>& re, Vector<float>& im, int n) const;
    float fidelityFromNumDescriptors(const Vector<float>& re, const Vector<float>& im, int n) const;
    // The smallest n whose fidelity reaches the given one (0 when nothing is
    // asked for, N/2 when it cannot be reached).
    int numDescriptorsFromFidelity(const Vector<float>& re, const Vector<float>& im,
                                   float fidelity) const;

    // Keeps n descriptors; returns the fidelity reached.
    float filter(Curve<T>& curve, int n) const;
    // Keeps as few descriptors as reach the fidelity; returns their number.
    int filter(Curve<T>& curve, float fidelity) const;
};

extern template class FourierDescriptors<int>;
extern template class FourierDescriptors<float>;
extern template class FourierDescriptors<double>;
extern template class FourierDescriptors<long double>;
