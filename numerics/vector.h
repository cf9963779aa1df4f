#pragma once
// Vector<T>: an owned one-dimensional array of T with the numeric operations of
// the library. Copies are deep. Sizes (not indices) are checked on every
// operation that combines two operands.
//
// Numeric operations are instantiated for char, unsigned char, short,
// unsigned short, int, unsigned int, float, double, long double and bool.
// Storage, access and the structural operations defined in this header also
// serve other element types such as pointers (a vector of models, say).
// Operations needing real arithmetic refuse integer and bool types with a
// TypeError.

#include "numerics/elementtype.h"
#include "numerics/exception.h"

#include <initializer_list>
#include <iostream>
#include <string>
#include <utility>

template <typename T> class Matrix;
template <typename T> class Numbers;

template <typename T>
class Vector {
public:
    using value_type = T;

    Vector() = default;
    explicit Vector(unsigned int n) { allocate(static_cast<int>(n)); }
    Vector(std::initializer_list<T> values)
    {
        allocate(static_cast<int>(values.size()));
        int i = 0;
        for (const T& v : values)
            m_data[i++] = v;
    }
    // Copies are always deep, also of a shallow vector.
    Vector(const Vector& other)
    {
        allocate(other.m_size);
        copyFrom(other.m_data, other.m_size);
    }
    Vector(Vector&& other) noexcept
    {
        if (!other.ownsStorage()) {
            allocate(other.m_size);
            copyFrom(other.m_data, other.m_size);
        } else {
            std::swap(m_size, other.m_size);
            std::swap(m_data, other.m_data);
        }
    }
    virtual ~Vector() { release(); }

    Vector& operator=(const Vector& other)
    {
        if (this != &other) {
            setSize(other.m_size);
            copyFrom(other.m_data, other.m_size);
        }
        return *this;
    }
    Vector& operator=(Vector&& other)
    {
        if (this == &other)
            return *this;
        if (!ownsStorage() || !other.ownsStorage()) {
            setSize(other.m_size);
            copyFrom(other.m_data, other.m_size);
        } else {
            std::swap(m_size, other.m_size);
            std::swap(m_data, other.m_data);
        }
        return *this;
    }

    // Size and access -------------------------------------------------------

    // Reallocates (contents not kept) when n differs from the size; a shallow
    // vector refuses.
    void setSize(int n)
    {
        if (n == m_size)
            return;
        if (m_shallow) {
            UsageError e;
            e.setWhere("void Vector<T>::setSize(const int)");
            e.setWhat("This is a shallow vector (cannot be resized)");
            throw e;
        }
        release();
        allocate(n);
    }
    int getSize() const { return m_size; }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    T& operator[](int i) { return m_data[i]; }
    const T& operator[](int i) const { return m_data[i]; }
    bool isShallow() const { return m_shallow; }
    bool isEmpty() const { return m_size == 0; }

    // Makes this vector a view on n elements it does not own: it will neither
    // resize nor free them. Used by the image classes.
    void setShallow(T* data, int n)
    {
        release();
        m_data = data;
        m_size = n;
        m_shallow = data != nullptr;
    }

    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }

    // Filling ---------------------------------------------------------------

    void fill(const T& x)
    {
        for (int i = 0; i < m_size; ++i)
            m_data[i] = x;
    }
    void setZeros() { fill(T(0)); }
    void setZeros(int n)
    {
        setSize(n);
        setZeros();
    }
    void setOnes() { fill(T(1)); }
    void setOnes(int n)
    {
        setSize(n);
        setOnes();
    }
    void setCanonical(int k)
    {
        setZeros();
        m_data[k] = T(1);
    }
    void setSequence(const T& step) { setSequence(T(0), step); }
    void setSequence(const T& start, const T& step)
    {
        for (int i = 0; i < m_size; ++i)
            m_data[i] = static_cast<T>(start + i * step);
    }
    template <typename F>
    void apply(F f)
    {
        for (int i = 0; i < m_size; ++i)
            m_data[i] = f(m_data[i]);
    }

    // Structure -------------------------------------------------------------

    // Elements i1..i2 inclusive.
    Vector copy(int i1, int i2) const
    {
        Vector out(static_cast<unsigned int>(i2 - i1 + 1));
        for (int i = i1; i <= i2; ++i)
            out.m_data[i - i1] = m_data[i];
        return out;
    }
    // Overwrites elements i .. i + size(v) - 1.
    void paste(int i, const Vector& v)
    {
        if (i + v.m_size > m_size) {
            SizeError e;
            e.setWhere("Vector Vector<T>::paste(...)");
            e.setWhat("Vector to large to be pasted at specified position");
            throw e;
        }
        for (int k = 0; k < v.m_size; ++k)
            m_data[i + k] = v.m_data[k];
    }
    void prepend(const Vector& v) { join(v, *this, "void Vector<T>::prepend(const Vector&)"); }
    void append(const Vector& v) { join(*this, v, "void Vector<T>::append(const Vector&)"); }
    void append(const T& x)
    {
        Vector one(1u);
        one.m_data[0] = x;
        append(one);
    }
    // Exchanges storage when both own theirs, elements otherwise.
    void swap(Vector& v)
    {
        if (ownsStorage() && v.ownsStorage()) {
            exchangeStorage(v);
            return;
        }
        if (m_size == v.m_size) {
            for (int i = 0; i < m_size; ++i)
                std::swap(m_data[i], v.m_data[i]);
            return;
        }
        if (m_shallow || v.m_shallow) {
            UsageError e;
            e.setWhere("void Vector<T>::swap(Vector&)");
            e.setWhat("Vector size differ and at least one of them is shallow");
            throw e;
        }
        // A row of a matrix's block leaves it with its elements.
        detach();
        v.detach();
        exchangeStorage(v);
    }
    void reverse()
    {
        for (int i = 0, j = m_size - 1; i < j; ++i, --j)
            std::swap(m_data[i], m_data[j]);
    }
    // Element-wise conversion; floating to integer truncates toward zero.
    template <typename U>
    Vector<U> toType() const
    {
        Vector<U> out(static_cast<unsigned int>(m_size));
        for (int i = 0; i < m_size; ++i)
            out[i] = static_cast<U>(m_data[i]);
        return out;
    }

    // Ascending, by qsort with a three-way comparison.
    void sort();

    // Reductions (an empty vector raises SizeError "This vector is empty.") --

    T min() const;
    T max() const;
    int minPos() const;
    int maxPos() const;
    Vector range() const; // (minimum, maximum)
    T sum() const;
    T prod() const;
    T mean() const;
    T sse() const; // sum of squared deviations from the mean
    T var() const; // population variance, divisor n
    T std() const;
    T median() const;
    T mad() const;                 // median absolute deviation
    T sem(bool sample = true) const; // standard error of the mean
    Numbers<T> numbers() const;
    Vector csum() const;
    Vector cprod() const;
    Vector diff(int k = 1) const;
    int find(const T& x) const; // -1 when absent
    bool isIncreasing() const;
    bool isDecreasing() const;
    bool isSymmetrical() const;
    bool isAntiSymmetrical() const;
    T percentile(float q) const;
    Vector<unsigned int> histogram(T origin, T width, unsigned int nbins) const;
    Vector<unsigned int> histogram(T origin, T width, unsigned int nbins, const Vector& mask) const;

    // Arithmetic ------------------------------------------------------------

    Vector operator+(const Vector& v) const;
    Vector operator-(const Vector& v) const;
    Vector operator/(const Vector& v) const;
    Vector pointwiseProduct(const Vector& v) const;
    void operator+=(const Vector& v);
    void operator-=(const Vector& v);
    void operator/=(const Vector& v);
    Vector operator-() const;
    Vector operator+(const T& x) const;
    Vector operator-(const T& x) const;
    Vector operator*(const T& x) const;
    Vector operator/(const T& x) const;
    void operator+=(const T& x);
    void operator-=(const T& x);
    void operator*=(const T& x);
    void operator/=(const T& x);
    bool operator==(const Vector& v) const;
    bool operator!=(const Vector& v) const { return !(*this == v); }

    // Geometry --------------------------------------------------------------

    T scalarProduct(const Vector& v) const;
    T snorm() const;
    T norm() const;
    void normalize();
    T sdistance(const Vector& v) const;
    T distance(const Vector& v) const;
    T angle(const Vector& v) const; // radians
    Vector vectorProduct(const Vector& v) const;
    Matrix<T> outerProduct(const Vector& v) const;
    int closestAxis() const;

    // Correlation with a kernel centred at size/2, zero padding outside.
    Vector corr(const Vector& kernel) const;
    Vector conv(const Vector& kernel) const;
    // Masked forms: elements with mask 0 are kept; masked taps borrow the
    // mirror sample.
    Vector corr(const Vector& kernel, const Vector& mask) const;
    Vector conv(const Vector& kernel, const Vector& mask) const;

    // The comparison tolerance of the element type.
    static T epsilon();

    // Householder vector of this vector, in place, with its beta.
    void householderVector(T& beta);
    void householderVector(T& beta, Vector& v) const;

    // Printf-style text output, see Tensa for the settings.
    void print(const std::string& label = "", std::ostream& stream = std::cout) const;

private:
    friend class Matrix<T>;

    // A large matrix keeps its rows in one block of its own and lends each
    // row its part: such a row frees nothing and moves its elements rather
    // than its storage, but unlike a shallow vector it can be resized (it
    // then takes storage of its own).
    bool ownsStorage() const { return !m_shallow && !m_borrowed; }
    void borrow(T* data, int n)
    {
        release();
        m_data = data;
        m_size = n;
        m_borrowed = data != nullptr;
    }
    void detach()
    {
        if (!m_borrowed)
            return;
        const T* lent = m_data;
        allocate(m_size);
        copyFrom(lent, m_size);
    }
    void exchangeStorage(Vector& v) noexcept
    {
        std::swap(m_size, v.m_size);
        std::swap(m_data, v.m_data);
        std::swap(m_borrowed, v.m_borrowed);
    }
    void allocate(int n)
    {
        m_size = n > 0 ? n : 0;
        m_data = m_size > 0 ? new T[m_size] : nullptr;
        m_shallow = false;
        m_borrowed = false;
    }
    void release()
    {
        if (ownsStorage())
            delete[] m_data;
        m_data = nullptr;
        m_size = 0;
        m_shallow = false;
        m_borrowed = false;
    }
    void copyFrom(const T* src, int n)
    {
        for (int i = 0; i < n; ++i)
            m_data[i] = src[i];
    }
    void join(const Vector& first, const Vector& second, const char* where)
    {
        if (m_shallow) {
            UsageError e;
            e.setWhere(where);
            e.setWhat("This is a shallow vector (cannot be resized)");
            throw e;
        }
        Vector both(static_cast<unsigned int>(first.m_size + second.m_size));
        for (int i = 0; i < first.m_size; ++i)
            both.m_data[i] = first.m_data[i];
        for (int i = 0; i < second.m_size; ++i)
            both.m_data[first.m_size + i] = second.m_data[i];
        release();
        exchangeStorage(both);
    }

    int m_size = 0;
    T* m_data = nullptr;
    bool m_shallow = false;
    bool m_borrowed = false;
};

template <typename T>
Vector<T> operator*(const T& x, const Vector<T>& v)
{
    return v * x;
}

using Vectorc = Vector<char>;
using Vectoruc = Vector<unsigned char>;
using Vectors = Vector<short>;
using Vectorus = Vector<unsigned short>;
using Vectori = Vector<int>;
using Vectorui = Vector<unsigned int>;
using Vectorf = Vector<float>;
using Vectord = Vector<double>;
using Vectorld = Vector<long double>;
using Vectorb = Vector<bool>;

#define PLEXAN_EXTERN_VECTOR(T) extern template class Vector<T>;
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_EXTERN_VECTOR)
#undef PLEXAN_EXTERN_VECTOR
