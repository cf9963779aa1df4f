#pragma once
// AnyVoxelMatrix: a voxel matrix of whichever element type its data came in,
// so that 8-bit, 16-bit, integer and floating volumes keep their values from
// a file to another (an imported NIfTI volume of 16-bit integers stays one in
// its ".vm" file, and a stack's 16-bit slices stay 16-bit samples).
//
// Element types: unsigned char, char (signed 8-bit), unsigned short, short,
// unsigned int, int, float, double and long double; a default matrix is an
// empty float one. Voxel-matrix files of every identifier are read by
// content: identifier 0 holds unsigned 8- or 16-bit voxels (its length tells
// which), 1 signed 8-bit, 4 signed 16-bit, and so on (VoxelMatrix); format 0
// files, which name no type, are read as floats when their length fits 4-byte
// voxels.

#include "image/voxelmatrix.h"

#include <string>
#include <utility>
#include <variant>

class AnyVoxelMatrix {
public:
    enum class Type { UnsignedChar, Char, UnsignedShort, Short, UnsignedInt, Int, Float, Double, LongDouble };

    using Variant = std::variant<VoxelMatrix<unsigned char>, VoxelMatrix<char>, VoxelMatrix<unsigned short>,
                                 VoxelMatrix<short>, VoxelMatrix<unsigned int>, VoxelMatrix<int>, VoxelMatrix<float>,
                                 VoxelMatrix<double>, VoxelMatrix<long double>>;

    AnyVoxelMatrix() = default;
    template <typename T>
    AnyVoxelMatrix(VoxelMatrix<T> matrix) : m_matrix(std::move(matrix))
    {
    }

    Type getType() const { return static_cast<Type>(m_matrix.index()); }
    // "8-bit unsigned integers", "16-bit signed integers", "32-bit floats"...
    std::string getTypeName() const { return typeName(getType()); }
    static std::string typeName(Type type);
    // Bytes per voxel.
    int getElementSize() const;
    // Integers of at most 16 bits.
    bool isSmallInteger() const { return getType() <= Type::Short; }
    bool isFloating() const { return getType() >= Type::Float; }

    int getSize1() const;
    int getSize2() const;
    int getSize3() const;
    bool isEmpty() const;
    const VoxelCalibration& getVoxelCalibration() const;
    void setVoxelCalibration(const VoxelCalibration& calibration);

    // The smallest and largest values (NaNs left out; (0, 0) when empty or all
    // NaN).
    std::pair<double, double> range() const;
    // Whether every value is an integer from lo to hi (NaNs are not).
    bool holdsIntegersWithin(double lo, double hi) const;

    // The matrix when it holds T, null otherwise.
    template <typename T>
    const VoxelMatrix<T>* get() const
    {
        return std::get_if<VoxelMatrix<T>>(&m_matrix);
    }
    template <typename T>
    VoxelMatrix<T>* get()
    {
        return std::get_if<VoxelMatrix<T>>(&m_matrix);
    }
    // A copy with every value cast to U and the same calibration (exact for
    // every value U can hold).
    template <typename U>
    VoxelMatrix<U> toType() const
    {
        return std::visit(
            [](const auto& m) {
                VoxelMatrix<U> out = m.template toType<U>();
                out.setVoxelCalibration(m.getVoxelCalibration());
                return out;
            },
            m_matrix);
    }

    // Calls f with the VoxelMatrix<T> held.
    template <typename F>
    decltype(auto) visit(F&& f) const
    {
        return std::visit(std::forward<F>(f), m_matrix);
    }
    template <typename F>
    decltype(auto) visit(F&& f)
    {
        return std::visit(std::forward<F>(f), m_matrix);
    }

    // Reads a voxel-matrix file of any element type (the errors of
    // VoxelMatrix::load, and FileFormatError "Not a voxel matrix file" or
    // "Voxel matrix of an unknown element type" for files it cannot tell).
    void load(const std::string& file);
    // Writes the file under format 1 (VoxelMatrix::saveUnderFormat1).
    void saveUnderFormat1(std::ofstream& stream) const;

private:
    Variant m_matrix;
};
