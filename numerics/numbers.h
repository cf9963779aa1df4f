#pragma once
// A summary record of a set of values: seven fields, each absent until set.

#include <iosfwd>
#include <optional>

template <typename T>
class Numbers {
public:
    void clear() { *this = Numbers(); }

    bool hasCount() const { return m_count.has_value(); }
    bool hasMinimum() const { return m_minimum.has_value(); }
    bool hasMaximum() const { return m_maximum.has_value(); }
    bool hasMedian() const { return m_median.has_value(); }
    bool hasSum() const { return m_sum.has_value(); }
    bool hasMean() const { return m_mean.has_value(); }
    bool hasStddev() const { return m_stddev.has_value(); }

    // An absent field reads as 0.
    unsigned int getCount() const { return m_count.value_or(0u); }
    T getMinimum() const { return m_minimum.value_or(T()); }
    T getMaximum() const { return m_maximum.value_or(T()); }
    T getMedian() const { return m_median.value_or(T()); }
    T getSum() const { return m_sum.value_or(T()); }
    T getMean() const { return m_mean.value_or(T()); }
    T getStddev() const { return m_stddev.value_or(T()); }

    void setCount(unsigned int count) { m_count = count; }
    void setMinimum(T value) { m_minimum = value; }
    void setMaximum(T value) { m_maximum = value; }
    void setMedian(T value) { m_median = value; }
    void setSum(T value) { m_sum = value; }
    void setMean(T value) { m_mean = value; }
    void setStddev(T value) { m_stddev = value; }

private:
    std::optional<unsigned int> m_count;
    std::optional<T> m_minimum;
    std::optional<T> m_maximum;
    std::optional<T> m_median;
    std::optional<T> m_sum;
    std::optional<T> m_mean;
    std::optional<T> m_stddev;
};

// Seven lines: "Count:   ", "Minimum: ", "Median:  ", "Maximum: ", "Sum:     ",
// "Mean:    ", "StdDev:  ", each followed by the value ("NA" when absent).
template <typename T>
std::ostream& operator<<(std::ostream& os, const Numbers<T>& numbers);
