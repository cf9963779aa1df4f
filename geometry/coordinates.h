#pragma once
// The coordinate types geometry is instantiated for, and the wider types its
// sums and distances are accumulated in.

#include <type_traits>

// X(type) for each coordinate type of the geometric classes.
#define PLEXAN_FOR_EACH_COORDINATE_TYPE(X) X(int) X(float) X(double) X(long double)

namespace plexan {

// The type sums of coordinates are accumulated in: double for int and float
// (exact integer sums, no single-precision drift), the type itself otherwise.
template <typename T>
using Accumulator = std::conditional_t<std::is_same_v<T, long double>, long double, double>;

// The type squared distances are compared in: integer coordinates are
// compared in double (exact up to 2^53), real ones in their own precision.
template <typename T>
using DistanceType = std::conditional_t<std::is_integral_v<T>, double, T>;

// Converts an accumulated real value back to a coordinate: integer
// coordinates round to the nearest integer, real ones are cast.
template <typename T, typename R>
inline T toCoordinate(R x)
{
    if constexpr (std::is_integral_v<T>)
        return static_cast<T>(x < R(0) ? x - R(0.5) : x + R(0.5));
    else
        return static_cast<T>(x);
}

} // namespace plexan
