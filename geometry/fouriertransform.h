#pragma once
// FourierTransform<T>: the complex discrete Fourier transform of one sequence
// of n points, given as separate real and imaginary parts, computed in place.
//
//   forward:  X[k] = sum_j x[j] exp(-2 pi i j k / n)
//   backward: x[j] = sum_k X[k] exp(+2 pi i j k / n)
//
// Neither direction is normalised: backward(forward(x)) is n x. The plan for a
// size is made once (when the size is set or first met) and reused by every
// later transform of that size. Instantiated for float, double and long double.
//
// Planning and plan destruction share one library-wide lock, since the
// underlying planner is not thread-safe; transforming with an existing plan
// needs no lock, but one object must not be used by two threads at once.

#include "numerics/vector.h"

#include <mutex>

template <typename T>
class FourierTransform {
public:
    FourierTransform() = default;
    // Plans for n points (n of 0 or less: no plan).
    explicit FourierTransform(int n);
    ~FourierTransform();
    FourierTransform(const FourierTransform&) = delete;
    FourierTransform& operator=(const FourierTransform&) = delete;
    FourierTransform(FourierTransform&& other) noexcept;
    FourierTransform& operator=(FourierTransform&& other) noexcept;

    void setSize(int n);
    int getSize() const { return m_size; }

    // re and im must have the same size; a size other than getSize() plans for
    // it first. SizeError "Incompatible vector dimensions" otherwise.
    void forward(Vector<T>& re, Vector<T>& im);
    void backward(Vector<T>& re, Vector<T>& im);

private:
    struct Plan;
    void transform(Vector<T>& re, Vector<T>& im, bool inverse, const char* where);
    void release();

    int m_size = 0;
    Plan* m_plan = nullptr;
};

// The lock serialising every creation and destruction of transform plans in
// the process; code planning transforms of its own must take it too.
std::mutex& fourierPlannerMutex();

extern template class FourierTransform<float>;
extern template class FourierTransform<double>;
extern template class FourierTransform<long double>;
