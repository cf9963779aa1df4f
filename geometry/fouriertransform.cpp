#include "geometry/fouriertransform.h"

#include <fftw3.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

std::mutex& fourierPlannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

namespace {

// One precision of the transform library behind a common set of names. Plans
// are made on split arrays (real and imaginary parts apart) and in place; the
// inverse transform is the forward plan run with the two parts exchanged.
template <typename T> struct Fftw;

#define PLEXAN_FFTW_TRAITS(type, prefix)                                                   \
    template <> struct Fftw<type> {                                                        \
        using Handle = prefix##_plan;                                                      \
        static type* allocate(int n)                                                       \
        {                                                                                  \
            return static_cast<type*>(prefix##_malloc(sizeof(type) * static_cast<size_t>(n))); \
        }                                                                                  \
        static void release(type* p) { prefix##_free(p); }                                 \
        static Handle plan(int n, type* re, type* im)                                      \
        {                                                                                  \
            prefix##_iodim dim{n, 1, 1};                                                   \
            return prefix##_plan_guru_split_dft(1, &dim, 0, nullptr, re, im, re, im,       \
                                                FFTW_ESTIMATE);                            \
        }                                                                                  \
        static void execute(Handle h, type* re, type* im)                                  \
        {                                                                                  \
            prefix##_execute_split_dft(h, re, im, re, im);                                 \
        }                                                                                  \
        static void destroy(Handle h) { prefix##_destroy_plan(h); }                        \
    };

PLEXAN_FFTW_TRAITS(float, fftwf)
PLEXAN_FFTW_TRAITS(double, fftw)
PLEXAN_FFTW_TRAITS(long double, fftwl)
#undef PLEXAN_FFTW_TRAITS

} // namespace

// The plans work on arrays of their own, the real parts followed by the
// imaginary ones: a plan may only be run on arrays laid out as those it was
// made on (same alignment, same distance from real to imaginary parts), which
// the callers' vectors need not be. The backward plan is the forward
// transform made with the two parts exchanged.
template <typename T>
struct FourierTransform<T>::Plan {
    typename Fftw<T>::Handle forward = nullptr;
    typename Fftw<T>::Handle backward = nullptr;
    T* data = nullptr; // 2 n values: real parts, then imaginary parts
};

template <typename T>
FourierTransform<T>::FourierTransform(int n)
{
    setSize(n);
}

template <typename T>
FourierTransform<T>::~FourierTransform()
{
    release();
}

template <typename T>
FourierTransform<T>::FourierTransform(FourierTransform&& other) noexcept
    : m_size(std::exchange(other.m_size, 0)), m_plan(std::exchange(other.m_plan, nullptr))
{
}

template <typename T>
FourierTransform<T>& FourierTransform<T>::operator=(FourierTransform&& other) noexcept
{
    if (this != &other) {
        release();
        m_size = std::exchange(other.m_size, 0);
        m_plan = std::exchange(other.m_plan, nullptr);
    }
    return *this;
}

template <typename T>
void FourierTransform<T>::release()
{
    if (m_plan) {
        {
            std::lock_guard<std::mutex> lock(fourierPlannerMutex());
            if (m_plan->forward)
                Fftw<T>::destroy(m_plan->forward);
            if (m_plan->backward)
                Fftw<T>::destroy(m_plan->backward);
        }
        Fftw<T>::release(m_plan->data);
        delete m_plan;
        m_plan = nullptr;
    }
    m_size = 0;
}

template <typename T>
void FourierTransform<T>::setSize(int n)
{
    if (n == m_size && (m_plan || n <= 0))
        return;
    release();
    if (n <= 0)
        return;
    auto plan = std::make_unique<Plan>();
    plan->data = Fftw<T>::allocate(2 * n);
    if (plan->data) {
        // Estimated plans leave the arrays alone and cost microseconds.
        std::lock_guard<std::mutex> lock(fourierPlannerMutex());
        plan->forward = Fftw<T>::plan(n, plan->data, plan->data + n);
        plan->backward = Fftw<T>::plan(n, plan->data + n, plan->data);
    }
    if (!plan->forward || !plan->backward) {
        {
            std::lock_guard<std::mutex> lock(fourierPlannerMutex());
            if (plan->forward)
                Fftw<T>::destroy(plan->forward);
            if (plan->backward)
                Fftw<T>::destroy(plan->backward);
        }
        Fftw<T>::release(plan->data);
        ValueError e;
        e.setWhere("void FourierTransform<T>::setSize(int)");
        e.setWhat("Cannot plan a Fourier transform of " + std::to_string(n) + " points");
        throw e;
    }
    m_plan = plan.release();
    m_size = n;
}

template <typename T>
void FourierTransform<T>::forward(Vector<T>& re, Vector<T>& im)
{
    transform(re, im, false, "void FourierTransform<T>::forward(Vector<T>&, Vector<T>&)");
}

template <typename T>
void FourierTransform<T>::backward(Vector<T>& re, Vector<T>& im)
{
    transform(re, im, true, "void FourierTransform<T>::backward(Vector<T>&, Vector<T>&)");
}

template <typename T>
void FourierTransform<T>::transform(Vector<T>& re, Vector<T>& im, bool inverse, const char* where)
{
    if (re.getSize() != im.getSize()) {
        SizeError e;
        e.setWhere(where);
        e.setWhat("Incompatible vector dimensions");
        throw e;
    }
    const int n = re.getSize();
    if (n == 0)
        return;
    if (n != m_size || !m_plan)
        setSize(n);

    T* re0 = m_plan->data;
    T* im0 = m_plan->data + n;
    std::copy(re.data(), re.data() + n, re0);
    std::copy(im.data(), im.data() + n, im0);
    if (inverse)
        Fftw<T>::execute(m_plan->backward, im0, re0);
    else
        Fftw<T>::execute(m_plan->forward, re0, im0);
    std::copy(re0, re0 + n, re.data());
    std::copy(im0, im0 + n, im.data());
}

template class FourierTransform<float>;
template class FourierTransform<double>;
template class FourierTransform<long double>;
