#pragma once
// VoxelMatrix<T>: a 3D image, a stack of size3 planes that are each a
// PixelMatrix<T> of size1 rows x size2 columns, with the physical size of its
// voxels. Element (i, j, k) is row i (image y), column j (image x) of plane k
// (slice index, z). Planes are separate objects and cat() gives the
// flattening order; a large volume keeps its voxels in one block of huge
// pages, plane after plane and row after row, and lends each plane its part
// (the planes' rows are still the only way in). Whole-volume operations run
// plane by plane in increasing k, row by row. Copies are deep.
//
// Voxel-matrix files (".vm") hold a 48-byte header (three zero int32, then
// format version, data type identifier, the three sizes, the length unit
// exponent and the three voxel sizes as float32) followed by the voxels, plane
// after plane and row after row, in their in-memory representation. The
// legacy format 0 starts directly with the three sizes (not all zero) and has
// no type nor calibration.
//
// Instantiated for char, unsigned char, short, unsigned short, int,
// unsigned int, float, double and long double.

#include "image/pixelmatrix.h"
#include "image/voxelcalibration.h"
#include "numerics/hugepages.h"

#include <iosfwd>
#include <iostream>
#include <memory>
#include <string>

template <typename T>
class VoxelMatrix {
public:
    VoxelMatrix() = default;
    // Contents undefined.
    VoxelMatrix(int size1, int size2, int size3) { setSize(size1, size2, size3); }
    // Loads a voxel-matrix file; a failure is rethrown as a plain Exception
    // with the same texts, recording this constructor in its calls.
    explicit VoxelMatrix(const std::string& fileName);
    VoxelMatrix(const VoxelMatrix& other);
    VoxelMatrix(VoxelMatrix&& other) noexcept;
    VoxelMatrix& operator=(const VoxelMatrix& other);
    VoxelMatrix& operator=(VoxelMatrix&& other) noexcept;
    ~VoxelMatrix() = default;

    void swap(VoxelMatrix& other) noexcept;

    // Sizes --------------------------------------------------------------------

    // Nothing when the sizes are unchanged; otherwise every plane is dropped
    // and s3 planes of s1 x s2 are made (contents undefined; negative sizes
    // count as 0; s3 < 1 leaves no planes).
    void setSize(int s1, int s2, int s3);
    // (size1, size2, size3): SizeError unless it holds three values.
    void setSize(const Vector<int>& size);
    int getSize1() const { return m_size1; }
    int getSize2() const { return m_size2; }
    int getSize3() const { return m_size3; }
    Vector<int> getSize() const { return Vector<int>{m_size1, m_size2, m_size3}; }
    // Size n for n = 1, 2, 3; ValueError otherwise.
    int getSize(int n) const;
    template <typename U>
    bool sameSizeAs(const VoxelMatrix<U>& other) const
    {
        return m_size1 == other.getSize1() && m_size2 == other.getSize2() && m_size3 == other.getSize3();
    }
    bool contains(int i, int j, int k) const
    {
        return i >= 0 && i < m_size1 && j >= 0 && j < m_size2 && k >= 0 && k < m_size3;
    }
    bool isEmpty() const { return m_size1 < 1 || m_size2 < 1 || m_size3 < 1; }
    // After loadHeader() the matrix knows its sizes and calibration but holds
    // no planes; setSize() with the same sizes then allocates them.
    bool hasPlanes() const { return m_planes != nullptr; }

    const VoxelCalibration& getVoxelCalibration() const { return m_calibration; }
    VoxelCalibration& getVoxelCalibration() { return m_calibration; }
    void setVoxelCalibration(const VoxelCalibration& c) { m_calibration = c; }

    // Access, unchecked ----------------------------------------------------------

    PixelMatrix<T>& operator[](int k) { return m_planes[k]; }
    const PixelMatrix<T>& operator[](int k) const { return m_planes[k]; }
    T& operator()(int i, int j, int k) { return m_planes[k][i][j]; }
    const T& operator()(int i, int j, int k) const { return m_planes[k][i][j]; }

    // Equal sizes and equal elements (a NaN makes them unequal, except for a
    // matrix compared with itself). Calibrations are not compared.
    bool operator==(const VoxelMatrix& other) const;
    bool operator!=(const VoxelMatrix& other) const { return !(*this == other); }

    // Filling and structure ------------------------------------------------------

    void fill(const T& value);
    void setZeros() { fill(T(0)); }
    void setOnes() { fill(T(1)); }
    // Replaces every element v by f(v).
    void apply(T (*f)(T));
    // Plane k becomes plane size3 - 1 - k.
    void reverse();
    // Copies block plane kk into plane k + kk at row offset i and column offset
    // j. A block plane that does not fit raises SizeError; the planes pasted
    // before it stay pasted. The caller keeps k + block size3 <= size3.
    void paste(int i, int j, int k, const VoxelMatrix& block);
    // The inclusive block rows i1..i2, columns j1..j2, planes k1..k2, with this
    // matrix's calibration.
    VoxelMatrix copy(int i1, int i2, int j1, int j2, int k1, int k2) const;
    // Every element, element (i, j, k) at (k x size1 + i) x size2 + j.
    Vector<T> cat() const;

    // Arithmetic, in place (the product is element by element) --------------------

    void operator+=(const VoxelMatrix& m);
    void operator-=(const VoxelMatrix& m);
    void operator*=(const VoxelMatrix& m);
    void operator+=(const T& x);
    void operator-=(const T& x);
    void operator*=(const T& x);
    // Divides by x (not a multiplication by 1 / x).
    void operator/=(const T& x);

    // Projections along the planes, size1 x size2; SizeError when empty -----------

    // Sums accumulated in T in increasing k.
    PixelMatrix<T> sum() const;
    PixelMatrix<T> min() const;
    PixelMatrix<T> max() const;

    // (minimum, maximum) of all voxels; SizeError when empty.
    Vector<T> range() const;
    // Binned as PixelMatrix<T>::histogram; the masked form counts the voxels
    // whose mask voxel is non-zero (the mask must have this matrix's sizes).
    Vector<unsigned int> histogram(T origin, T binWidth, unsigned int nBins) const;
    Vector<unsigned int> histogram(T origin, T binWidth, unsigned int nBins, const VoxelMatrix& mask) const;

    // The same sizes with every element cast to U (floating values truncated
    // toward zero, no clamping); the calibration is not carried over.
    template <typename U>
    VoxelMatrix<U> toType() const
    {
        VoxelMatrix<U> out(m_size1, m_size2, m_size3);
        for (int k = 0; k < planeCount(); ++k)
            for (int i = 0; i < m_size1; ++i) {
                const T* in = m_planes[k][i].data();
                U* o = out[k][i].data();
                for (int j = 0; j < m_size2; ++j)
                    o[j] = static_cast<U>(in[j]);
            }
        return out;
    }

    // The title line when not empty, then "-- Plane k" and each plane's print.
    void print(const std::string& title = "", std::ostream& stream = std::cout) const;

    // Files ------------------------------------------------------------------------

    // Identifier of the element type in voxel-matrix files: 0 unsigned char
    // and unsigned short (told apart by the file's length), 1 char (signed),
    // 4 short, 2 int, 3 unsigned int, 5 float, 6 double, 7 long double. Files
    // of identifier 0 load into any of the four small integer types (older
    // files wrote 0 for all four).
    static int dataTypeId();

    // Writes the file under format 1. Refuses to replace an existing file
    // unless overwrite is true; an existing file is replaced only once the
    // new one has been written completely.
    void save(const std::string& fileName, bool overwrite) const;
    // Reads a format 0 or format 1 file. Sizes are checked against the file
    // length before anything is allocated; on any error before the voxels are
    // read the matrix is left unchanged. A read failure while reading voxels
    // (the file shrank or the device failed) leaves an empty matrix.
    void load(const std::string& fileName);
    // Reads the rest of a format 1 file whose three leading zeros have been
    // read.
    void load(std::ifstream& stream);
    // Reads the sizes (and for format 1 checks the type and reads the
    // calibration) without allocating planes; see hasPlanes().
    void loadHeader(const std::string& fileName);
    void saveUnderFormat0(std::ofstream& stream) const;
    void saveUnderFormat1(std::ofstream& stream) const;

private:
    struct Header;
    // Number of allocated planes: size3, or 0 after loadHeader().
    int planeCount() const { return m_planes ? m_size3 : 0; }
    void allocatePlanes();
    // Reads and checks the rest of a format 1 header.
    Header readFormat1Header(std::ifstream& stream, const char* where) const;
    // Reads the voxels announced by a checked header into this matrix.
    void readVoxels(std::ifstream& stream, const Header& header, const char* where);
    void writeVoxels(std::ofstream& stream, const char* where) const;

    struct FreeBlock {
        std::size_t bytes = 0;
        void operator()(T* data) const noexcept { plexan::freeLarge(data, bytes); }
    };

    int m_size1 = 0;
    int m_size2 = 0;
    int m_size3 = 0;
    std::unique_ptr<T, FreeBlock> m_block; // lent to the planes, when large
    std::unique_ptr<PixelMatrix<T>[]> m_planes;
    VoxelCalibration m_calibration;
};

using VoxelMatrixc = VoxelMatrix<char>;
using VoxelMatrixuc = VoxelMatrix<unsigned char>;
using VoxelMatrixs = VoxelMatrix<short>;
using VoxelMatrixus = VoxelMatrix<unsigned short>;
using VoxelMatrixi = VoxelMatrix<int>;
using VoxelMatrixui = VoxelMatrix<unsigned int>;
using VoxelMatrixf = VoxelMatrix<float>;
using VoxelMatrixd = VoxelMatrix<double>;
using VoxelMatrixld = VoxelMatrix<long double>;

#define PLEXAN_EXTERN_VOXELMATRIX(T) extern template class VoxelMatrix<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_EXTERN_VOXELMATRIX)
#undef PLEXAN_EXTERN_VOXELMATRIX
