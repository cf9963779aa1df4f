#include "numerics/vector.h"

#include "numerics/matrix.h"
#include "numerics/numbers.h"
#include "numerics/tensa.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace {

using plexan::isReal;

template <typename T>
T absValue(T x)
{
    if constexpr (std::is_unsigned_v<T> || std::is_same_v<T, bool>)
        return x;
    else
        return x < T(0) ? static_cast<T>(-x) : x;
}

[[noreturn]] void throwSize(const char* where, const char* what)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

template <typename T>
void requireNotEmpty(const Vector<T>& v, const char* where)
{
    if (v.getSize() == 0)
        throwSize(where, "This vector is empty.");
}

template <typename T>
void requireSameSize(const Vector<T>& a, const Vector<T>& b, const char* where, const char* what)
{
    if (a.getSize() != b.getSize())
        throwSize(where, what);
}

template <typename T>
int compareElements(const void* a, const void* b)
{
    const T& x = *static_cast<const T*>(a);
    const T& y = *static_cast<const T*>(b);
    if (x == y)
        return 0;
    return x < y ? -1 : 1;
}

} // namespace

// Structure -----------------------------------------------------------------

template <typename T>
void Vector<T>::sort()
{
    if (m_size > 1)
        std::qsort(m_data, static_cast<std::size_t>(m_size), sizeof(T), compareElements<T>);
}

// Reductions ----------------------------------------------------------------

template <typename T>
T Vector<T>::min() const
{
    requireNotEmpty(*this, "T Vector<T>::min() const");
    T m = m_data[0];
    for (int i = 1; i < m_size; ++i)
        if (m_data[i] < m)
            m = m_data[i];
    return m;
}

template <typename T>
T Vector<T>::max() const
{
    requireNotEmpty(*this, "T Vector<T>::max() const");
    T m = m_data[0];
    for (int i = 1; i < m_size; ++i)
        if (m_data[i] > m)
            m = m_data[i];
    return m;
}

template <typename T>
int Vector<T>::minPos() const
{
    requireNotEmpty(*this, "int Vector<T>::minPos() const");
    int k = 0;
    for (int i = 1; i < m_size; ++i)
        if (m_data[i] < m_data[k])
            k = i;
    return k;
}

template <typename T>
int Vector<T>::maxPos() const
{
    requireNotEmpty(*this, "int Vector<T>::maxPos() const");
    int k = 0;
    for (int i = 1; i < m_size; ++i)
        if (m_data[i] > m_data[k])
            k = i;
    return k;
}

template <typename T>
Vector<T> Vector<T>::range() const
{
    requireNotEmpty(*this, "Vector<T> Vector<T>::range() const");
    T lo = m_data[0];
    T hi = m_data[0];
    for (int i = 1; i < m_size; ++i) {
        if (m_data[i] < lo)
            lo = m_data[i];
        if (m_data[i] > hi)
            hi = m_data[i];
    }
    return Vector{lo, hi};
}

template <typename T>
T Vector<T>::sum() const
{
    requireNotEmpty(*this, "T Vector<T>::sum() const");
    T s = m_data[0];
    for (int i = 1; i < m_size; ++i)
        s = static_cast<T>(s + m_data[i]);
    return s;
}

template <typename T>
T Vector<T>::prod() const
{
    requireNotEmpty(*this, "T Vector<T>::prod() const");
    T p = m_data[0];
    for (int i = 1; i < m_size; ++i)
        p = static_cast<T>(p * m_data[i]);
    return p;
}

template <typename T>
T Vector<T>::mean() const
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("T Vector<T>::mean() const");
    } else {
        requireNotEmpty(*this, "T Vector<T>::mean() const");
        return sum() / static_cast<T>(m_size);
    }
}

template <typename T>
T Vector<T>::sse() const
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("T Vector<T>::sse() const");
    } else {
        requireNotEmpty(*this, "T Vector<T>::sse() const");
        const T m = mean();
        T s = 0;
        for (int i = 0; i < m_size; ++i) {
            const T d = m_data[i] - m;
            s += d * d;
        }
        return s;
    }
}

template <typename T>
T Vector<T>::var() const
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("T Vector<T>::var() const");
    } else {
        requireNotEmpty(*this, "T Vector<T>::var() const");
        return sse() / static_cast<T>(m_size);
    }
}

template <typename T>
T Vector<T>::std() const
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("T Vector<T>::std() const");
    } else {
        requireNotEmpty(*this, "T Vector<T>::std() const");
        return std::sqrt(var());
    }
}

template <typename T>
T Vector<T>::median() const
{
    requireNotEmpty(*this, "T Vector<T>::median() const");
    if (m_size == 1)
        return m_data[0];
    if (m_size == 2)
        return static_cast<T>((m_data[0] + m_data[1]) / 2);
    Vector sorted(*this);
    sorted.sort();
    const int h = m_size / 2;
    if (m_size % 2 == 1)
        return sorted.m_data[h];
    return static_cast<T>((sorted.m_data[h - 1] + sorted.m_data[h]) / 2);
}

template <typename T>
T Vector<T>::mad() const
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("T Vector<T>::mad() const");
    } else {
        requireNotEmpty(*this, "T Vector<T>::mad() const");
        const T m = median();
        Vector deviations(static_cast<unsigned int>(m_size));
        for (int i = 0; i < m_size; ++i)
            deviations.m_data[i] = std::abs(m_data[i] - m);
        return deviations.median();
    }
}

template <typename T>
T Vector<T>::sem(bool sample) const
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("T Vector<T>::sem(const bool) const");
    } else {
        requireNotEmpty(*this, "T Vector<T>::sem(const bool) const");
        const T root = std::sqrt(sse());
        if (!sample)
            return root / static_cast<T>(m_size);
        if (m_size == 1)
            throwSize("T Vector<T>::sem(const bool) const", "This vector contains a single value.");
        return root / (std::sqrt(static_cast<T>(m_size)) * std::sqrt(static_cast<T>(m_size - 1)));
    }
}

template <typename T>
Numbers<T> Vector<T>::numbers() const
{
    requireNotEmpty(*this, "Numbers<T> Vector<T>::numbers() const");
    Numbers<T> n;
    const T s = sum();
    n.setCount(static_cast<unsigned int>(m_size));
    n.setMinimum(min());
    n.setMaximum(max());
    n.setMedian(median());
    n.setSum(s);
    n.setMean(static_cast<T>(s / static_cast<T>(m_size)));
    return n;
}

template <typename T>
Vector<T> Vector<T>::csum() const
{
    Vector out(static_cast<unsigned int>(m_size));
    T s = T(0);
    for (int i = 0; i < m_size; ++i) {
        s = static_cast<T>(s + m_data[i]);
        out.m_data[i] = s;
    }
    return out;
}

template <typename T>
Vector<T> Vector<T>::cprod() const
{
    Vector out(static_cast<unsigned int>(m_size));
    T p = T(1);
    for (int i = 0; i < m_size; ++i) {
        p = static_cast<T>(p * m_data[i]);
        out.m_data[i] = p;
    }
    return out;
}

template <typename T>
Vector<T> Vector<T>::diff(int k) const
{
    if (m_size <= k)
        throwSize("Vector<T> Vector<T>::diff(const int) const",
                  "This vector does not contain enough elements");
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size - k; ++i)
        out.m_data[i] = static_cast<T>(m_data[i + k] - m_data[i]);
    for (int i = m_size - k; i < m_size; ++i)
        out.m_data[i] = T(0);
    return out;
}

template <typename T>
int Vector<T>::find(const T& x) const
{
    requireNotEmpty(*this, "int Vector<T>::find(const T&) const");
    for (int i = 0; i < m_size; ++i)
        if (m_data[i] == x)
            return i;
    return -1;
}

template <typename T>
bool Vector<T>::isIncreasing() const
{
    requireNotEmpty(*this, "bool Vector<T>::isIncreasing() const");
    for (int i = 1; i < m_size; ++i)
        if (m_data[i] < m_data[i - 1])
            return false;
    return true;
}

template <typename T>
bool Vector<T>::isDecreasing() const
{
    requireNotEmpty(*this, "bool Vector<T>::isDecreasing() const");
    if (m_size == 1)
        return false;
    for (int i = 1; i < m_size; ++i)
        if (m_data[i] > m_data[i - 1])
            return false;
    return true;
}

template <typename T>
bool Vector<T>::isSymmetrical() const
{
    for (int i = 0, j = m_size - 1; i < j; ++i, --j)
        if (!(m_data[i] == m_data[j]))
            return false;
    return true;
}

template <typename T>
bool Vector<T>::isAntiSymmetrical() const
{
    if (m_size < 2)
        return false;
    for (int i = 0, j = m_size - 1; i < j; ++i, --j)
        if (!(m_data[i] == static_cast<T>(-m_data[j])))
            return false;
    return true;
}

template <typename T>
T Vector<T>::percentile(float q) const
{
    if (!isIncreasing()) {
        UsageError e;
        e.setWhere("T Vector::percentile(const float) const");
        e.setWhat("This vector is not sorted in increasing order");
        throw e;
    }
    const int k = static_cast<int>(std::floor(q * static_cast<float>(m_size - 1) / 100.0f + 0.5f));
    return m_data[k];
}

namespace {

// The bin of x: the largest b in [0, nbins - 1] whose lower edge is <= x.
template <typename T>
unsigned int binOf(T x, T origin, T width, unsigned int nbins)
{
    unsigned int lo = 0;
    unsigned int hi = nbins;
    while (lo + 1 < hi) {
        const unsigned int mid = (lo + hi) / 2;
        bool above;
        if constexpr (isReal<T>)
            above = origin + static_cast<T>(mid) * width > x;
        else
            above = static_cast<long long>(origin) + static_cast<long long>(mid) * static_cast<long long>(width)
                > static_cast<long long>(x);
        if (above)
            hi = mid;
        else
            lo = mid;
    }
    return lo;
}

} // namespace

template <typename T>
Vector<unsigned int> Vector<T>::histogram(T origin, T width, unsigned int nbins) const
{
    Vector<unsigned int> counts(nbins);
    counts.setZeros();
    if (nbins == 0)
        return counts;
    for (int i = 0; i < m_size; ++i)
        ++counts[static_cast<int>(binOf(m_data[i], origin, width, nbins))];
    return counts;
}

template <typename T>
Vector<unsigned int> Vector<T>::histogram(T origin, T width, unsigned int nbins, const Vector& mask) const
{
    requireSameSize(*this, mask, "Vectorui Vector<T>::histogram(...)", "Incompatible mask size");
    Vector<unsigned int> counts(nbins);
    counts.setZeros();
    if (nbins == 0)
        return counts;
    for (int i = 0; i < m_size; ++i)
        if (mask.m_data[i] != T(0))
            ++counts[static_cast<int>(binOf(m_data[i], origin, width, nbins))];
    return counts;
}

// Arithmetic ----------------------------------------------------------------

template <typename T>
Vector<T> Vector<T>::operator+(const Vector& v) const
{
    requireSameSize(*this, v, "Vector Vector<T>::operator+(const Vector&) const", "Incompatible vector dimensions");
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size; ++i)
        out.m_data[i] = static_cast<T>(m_data[i] + v.m_data[i]);
    return out;
}

template <typename T>
Vector<T> Vector<T>::operator-(const Vector& v) const
{
    requireSameSize(*this, v, "Vector<T> Vector<T>::operator-(const Vector&) const", "Incompatible vector dimensions");
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size; ++i)
        out.m_data[i] = static_cast<T>(m_data[i] - v.m_data[i]);
    return out;
}

template <typename T>
Vector<T> Vector<T>::operator/(const Vector& v) const
{
    requireSameSize(*this, v, "Vector<T> Vector<T>::operator/(const Vector&) const", "Incompatible vector dimensions");
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size; ++i)
        out.m_data[i] = static_cast<T>(m_data[i] / v.m_data[i]);
    return out;
}

template <typename T>
Vector<T> Vector<T>::pointwiseProduct(const Vector& v) const
{
    requireSameSize(*this, v, "Vector pointwiseProduct(const Vector&) const", "The two vectors have different sizes");
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size; ++i)
        out.m_data[i] = static_cast<T>(m_data[i] * v.m_data[i]);
    return out;
}

template <typename T>
void Vector<T>::operator+=(const Vector& v)
{
    requireSameSize(*this, v, "void Vector<T>::operator+=(const Vector&)", "Incompatible vector dimensions");
    for (int i = 0; i < m_size; ++i)
        m_data[i] = static_cast<T>(m_data[i] + v.m_data[i]);
}

template <typename T>
void Vector<T>::operator-=(const Vector& v)
{
    requireSameSize(*this, v, "void Vector<T>::operator-=(const Vector&)", "Incompatible vector dimensions");
    for (int i = 0; i < m_size; ++i)
        m_data[i] = static_cast<T>(m_data[i] - v.m_data[i]);
}

template <typename T>
void Vector<T>::operator/=(const Vector& v)
{
    requireSameSize(*this, v, "void Vector<T>::operator/=(const Vector&)", "Incompatible vector dimensions");
    for (int i = 0; i < m_size; ++i)
        m_data[i] = static_cast<T>(m_data[i] / v.m_data[i]);
}

template <typename T>
Vector<T> Vector<T>::operator-() const
{
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size; ++i)
        out.m_data[i] = static_cast<T>(-m_data[i]);
    return out;
}

#define PLEXAN_SCALAR_OPERATOR(op)                                                       \
    template <typename T>                                                                \
    Vector<T> Vector<T>::operator op(const T& x) const                                   \
    {                                                                                    \
        Vector out(static_cast<unsigned int>(m_size));                                   \
        for (int i = 0; i < m_size; ++i)                                                 \
            out.m_data[i] = static_cast<T>(m_data[i] op x);                              \
        return out;                                                                      \
    }                                                                                    \
    template <typename T>                                                                \
    void Vector<T>::operator op##=(const T& x)                                           \
    {                                                                                    \
        for (int i = 0; i < m_size; ++i)                                                 \
            m_data[i] = static_cast<T>(m_data[i] op x);                                  \
    }
PLEXAN_SCALAR_OPERATOR(+)
PLEXAN_SCALAR_OPERATOR(-)
PLEXAN_SCALAR_OPERATOR(*)
PLEXAN_SCALAR_OPERATOR(/)
#undef PLEXAN_SCALAR_OPERATOR

template <typename T>
bool Vector<T>::operator==(const Vector& v) const
{
    if (m_size != v.m_size)
        return false;
    for (int i = 0; i < m_size; ++i)
        if (!(m_data[i] == v.m_data[i]))
            return false;
    return true;
}

// Geometry ------------------------------------------------------------------

template <typename T>
T Vector<T>::scalarProduct(const Vector& v) const
{
    requireSameSize(*this, v, "T Vector<T>::scalarProduct(const Vector&) const", "The two vectors have different sizes");
    T s = T(0);
    for (int i = 0; i < m_size; ++i)
        s = static_cast<T>(s + m_data[i] * v.m_data[i]);
    return s;
}

template <typename T>
T Vector<T>::snorm() const
{
    T s = T(0);
    for (int i = 0; i < m_size; ++i)
        s = static_cast<T>(s + m_data[i] * m_data[i]);
    return s;
}

template <typename T>
T Vector<T>::norm() const
{
    if constexpr (!isReal<T>)
        plexan::refuseType<T>("T Vector<T>::norm() const");
    else
        return std::sqrt(snorm());
}

template <typename T>
void Vector<T>::normalize()
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("void Vector<T>::normalize()");
    } else {
        const T n = norm();
        if (n > T(0))
            for (int i = 0; i < m_size; ++i)
                m_data[i] /= n;
    }
}

template <typename T>
T Vector<T>::sdistance(const Vector& v) const
{
    requireSameSize(*this, v, "T Vector<T>::sdistance(const Vector&) const", "The two vectors have different sizes");
    T s = T(0);
    for (int i = 0; i < m_size; ++i) {
        const T d = static_cast<T>(v.m_data[i] - m_data[i]);
        s = static_cast<T>(s + d * d);
    }
    return s;
}

template <typename T>
T Vector<T>::distance(const Vector& v) const
{
    if constexpr (!isReal<T>)
        plexan::refuseType<T>("T Vector<T>::distance(const Vector&) const");
    else
        return std::sqrt(sdistance(v));
}

template <typename T>
T Vector<T>::angle(const Vector& v) const
{
    if constexpr (isReal<T>) {
        return std::acos(scalarProduct(v) / (norm() * v.norm()));
    } else {
        const auto a = toType<double>();
        const auto b = v.toType<double>();
        return static_cast<T>(std::acos(a.scalarProduct(b) / (a.norm() * b.norm())));
    }
}

template <typename T>
Vector<T> Vector<T>::vectorProduct(const Vector& v) const
{
    if (m_size != 3 || v.m_size != 3)
        throwSize("Vector vectorProduct(const Vector&) const", "At least one vector have a size different from 3");
    const T* a = m_data;
    const T* b = v.m_data;
    return Vector{static_cast<T>(a[1] * b[2] - a[2] * b[1]), static_cast<T>(a[2] * b[0] - a[0] * b[2]),
                  static_cast<T>(a[0] * b[1] - a[1] * b[0])};
}

template <typename T>
Matrix<T> Vector<T>::outerProduct(const Vector& v) const
{
    Matrix<T> out(static_cast<unsigned int>(m_size), static_cast<unsigned int>(v.m_size));
    for (int i = 0; i < m_size; ++i)
        for (int j = 0; j < v.m_size; ++j)
            out(i, j) = static_cast<T>(m_data[i] * v.m_data[j]);
    return out;
}

template <typename T>
int Vector<T>::closestAxis() const
{
    int k = 0;
    for (int i = 1; i < m_size; ++i)
        if (absValue(m_data[i]) > absValue(m_data[k]))
            k = i;
    return k;
}

template <typename T>
Vector<T> Vector<T>::corr(const Vector& kernel) const
{
    const int m = kernel.m_size;
    const int c = m / 2;
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size; ++i) {
        // Taps j whose sample i + j - c lies inside the vector.
        const int j0 = std::max(0, c - i);
        const int j1 = std::min(m, m_size - i + c);
        T s = T(0);
        for (int j = j0; j < j1; ++j)
            s = static_cast<T>(s + m_data[i + j - c] * kernel.m_data[j]);
        out.m_data[i] = s;
    }
    return out;
}

template <typename T>
Vector<T> Vector<T>::conv(const Vector& kernel) const
{
    Vector reversed(kernel);
    reversed.reverse();
    return corr(reversed);
}

template <typename T>
Vector<T> Vector<T>::corr(const Vector& kernel, const Vector& mask) const
{
    requireSameSize(*this, mask, "Vector<T> Vector<T>::corr(const Vector&, const Vector&) const",
                    "The mask is not the same length as this vector");
    const int m = kernel.m_size;
    const int c = m / 2;
    const int reach = std::max(c, m - 1 - c);
    Vector out(static_cast<unsigned int>(m_size));
    for (int i = 0; i < m_size; ++i) {
        if (mask.m_data[i] == T(0)) {
            out.m_data[i] = m_data[i];
            continue;
        }
        T s = static_cast<T>(m_data[i] * kernel.m_data[c]);
        for (int d = 1; d <= reach; ++d) {
            const T wl = c - d >= 0 ? kernel.m_data[c - d] : T(0);
            const T wr = c + d < m ? kernel.m_data[c + d] : T(0);
            const int l = i - d;
            const int r = i + d;
            const bool leftIn = l >= 0 && mask.m_data[l] != T(0);
            const bool rightIn = r < m_size && mask.m_data[r] != T(0);
            // A masked or missing tap borrows the mirror sample.
            if (leftIn && rightIn)
                s = static_cast<T>(s + wl * m_data[l] + wr * m_data[r]);
            else if (leftIn)
                s = static_cast<T>(s + (wl + wr) * m_data[l]);
            else if (rightIn)
                s = static_cast<T>(s + (wl + wr) * m_data[r]);
        }
        out.m_data[i] = s;
    }
    return out;
}

template <typename T>
Vector<T> Vector<T>::conv(const Vector& kernel, const Vector& mask) const
{
    Vector reversed(kernel);
    reversed.reverse();
    return corr(reversed, mask);
}

template <typename T>
T Vector<T>::epsilon()
{
    if constexpr (std::is_same_v<T, float>)
        return 1e-6f;
    else if constexpr (std::is_same_v<T, double>)
        return 1e-15;
    else if constexpr (std::is_same_v<T, long double>)
        return 1e-18L;
    else if constexpr (std::is_same_v<T, bool>)
        return true;
    else
        plexan::refuseType<T>("T Vector<T>::epsilon()");
}

template <typename T>
void Vector<T>::householderVector(T& beta)
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("void Vector<T>::householderVector(T&)");
    } else {
        if (m_size == 0)
            return;
        T sigma = 0;
        for (int i = 1; i < m_size; ++i)
            sigma += m_data[i] * m_data[i];
        const T x0 = m_data[0];
        if (sigma == T(0)) {
            beta = x0 < T(0) ? T(2) : T(0);
            setCanonical(0);
            return;
        }
        const T mu = std::sqrt(x0 * x0 + sigma);
        const T v0 = x0 <= T(0) ? x0 - mu : -sigma / (x0 + mu);
        beta = T(2) * v0 * v0 / (sigma + v0 * v0);
        m_data[0] = T(1);
        for (int i = 1; i < m_size; ++i)
            m_data[i] /= v0;
    }
}

template <typename T>
void Vector<T>::householderVector(T& beta, Vector& v) const
{
    if constexpr (!isReal<T>) {
        plexan::refuseType<T>("void Vector<T>::householderVector(T&, Vector<T>&) const");
    } else {
        v = *this;
        v.householderVector(beta);
    }
}

// Text output ---------------------------------------------------------------

template <typename T>
void Vector<T>::print(const std::string& label, std::ostream& stream) const
{
    const bool transpose = Tensa::getIOTranspose();
    if (!label.empty()) {
        stream << label;
        if (transpose)
            stream << std::endl;
    }
    char format[64];
    std::snprintf(format, sizeof format, "%%%d.%dlf", Tensa::getIOWidth(), Tensa::getIOPrecision());
    const double epsilon = Tensa::getIOEpsilon();
    std::FILE* out = &stream == &std::cout ? stdout : stderr;
    stream.flush();
    for (int i = 0; i < m_size; ++i) {
        const double x = static_cast<double>(m_data[i]);
        std::fprintf(out, format, std::fabs(x) >= epsilon ? x : 0.0);
        if (transpose) {
            std::fflush(out);
            stream << std::endl;
        }
    }
    std::fflush(out);
    if (!transpose)
        stream << std::endl;
}

#define PLEXAN_INSTANTIATE(T) template class Vector<T>;
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
