#pragma once
// The closed sets of element types the numeric templates are instantiated for,
// and the names under which those types appear in error messages.

#include <string>
#include <type_traits>

// X(type) for each of the ten element types of vectors and matrices.
#define PLEXAN_FOR_EACH_ELEMENT_TYPE(X)                                                   \
    X(char) X(unsigned char) X(short) X(unsigned short) X(int) X(unsigned int) X(float)  \
    X(double) X(long double) X(bool)

// The nine numeric types (no bool), as used by voxel matrices.
#define PLEXAN_FOR_EACH_NUMERIC_TYPE(X)                                                   \
    X(char) X(unsigned char) X(short) X(unsigned short) X(int) X(unsigned int) X(float)  \
    X(double) X(long double)

#define PLEXAN_FOR_EACH_REAL_TYPE(X) X(float) X(double) X(long double)

namespace plexan {

template <typename T>
inline constexpr bool isReal = std::is_floating_point_v<T>;

template <typename T> constexpr const char* typeName() { return "unknown"; }
#define PLEXAN_TYPE_NAME(type) \
    template <> constexpr const char* typeName<type>() { return #type; }
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_TYPE_NAME)
#undef PLEXAN_TYPE_NAME

// Writes a signature given with the template parameter T (such as
// "T Vector<T>::mean() const") with the concrete type in place of every T.
std::string concreteSignature(const std::string& signature, const std::string& type);

// Throws the TypeError by which operations needing real arithmetic refuse
// integer and bool element types.
[[noreturn]] void throwTypeNotAvailable(const std::string& signature, const std::string& type);

template <typename T>
[[noreturn]] void refuseType(const std::string& signature)
{
    throwTypeNotAvailable(signature, typeName<T>());
}

} // namespace plexan
