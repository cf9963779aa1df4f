#pragma once
// PixelMatrix<T>: a 2D image of numbers, a Matrix<T> of rows x columns.
// Element (i, j) is row i, column j; taken from or given to an Image, rows
// are image lines from the top (i = y) and columns pixels along a line
// (j = x), so rows = image height and columns = image width.
//
// Instantiated for char, unsigned char, short, unsigned short, int,
// unsigned int, float, double, long double and bool.

#include "image/imagechannel.h"
#include "numerics/matrix.h"

#include <utility>

class Image;
class RandomGenerator;

template <typename T>
class PixelMatrix : public Matrix<T> {
public:
    PixelMatrix() = default;
    // Contents undefined; negative sizes count as 0.
    PixelMatrix(int rows, int columns)
        : Matrix<T>(static_cast<unsigned int>(rows > 0 ? rows : 0),
                    static_cast<unsigned int>(columns > 0 ? columns : 0))
    {
    }
    PixelMatrix(const Matrix<T>& m) : Matrix<T>(m) {}
    PixelMatrix(Matrix<T>&& m) noexcept : Matrix<T>(std::move(m)) {}
    // convertFromImage(image).
    explicit PixelMatrix(const Image& image);
    PixelMatrix(const PixelMatrix&) = default;
    PixelMatrix(PixelMatrix&&) noexcept = default;
    PixelMatrix& operator=(const PixelMatrix&) = default;
    PixelMatrix& operator=(PixelMatrix&&) = default;
    PixelMatrix& operator=(const Matrix<T>& m)
    {
        Matrix<T>::operator=(m);
        return *this;
    }
    ~PixelMatrix() override = default;

    bool contains(int i, int j) const { return i >= 0 && i < this->m_n && j >= 0 && j < this->m_p; }

    // Sets the first and last column of every row and the first and last row.
    void fillBorder(T value) { fillBorder(1, value); }
    // The same for the outer `width` columns and rows on each side; nothing
    // when width < 1.
    void fillBorder(int width, T value);

    // Uniform integer draws converted to T, row by row: in [0, 255], in
    // [0, max], or in [min, max] from the given generator.
    void randomise();
    void randomise(int max);
    void randomise(int min, int max, RandomGenerator& generator);

    using Matrix<T>::histogram;
    // Counts of the elements whose mask element is non-zero, binned as by
    // Vector<T>::histogram: value v falls in the largest bin b < nBins with
    // origin + b x binWidth <= v. The mask must have this matrix's size.
    Vector<unsigned int> histogram(T origin, T binWidth, unsigned int nBins, const PixelMatrix& mask) const;

    // Image conversions ---------------------------------------------------------

    // Sizes the matrix to (image height, image width) and takes one element
    // per pixel: the byte of an 8-bit image (the colour index of an indexed
    // one), the sample of a 16-bit image, the mean (r + g + b) / 3 of a 24- or
    // 32-bit pixel.
    void convertFromImage(const Image& image);
    // One channel: the colormap component of the index of an indexed image,
    // the byte at offset c of 24- and 32-bit pixels; 8-bit grey and 16-bit
    // images convert as above. A channel the image does not have (the alpha
    // of an indexed or 24-bit image) only sizes the matrix.
    void convertFromImage(const Image& image, ImageChannel c);

    // An 8-bit image of columns x rows: each element truncated toward zero and
    // reduced to its low 8 bits (300.7 gives 44); no clamping.
    void convertToImage(Image& out) const;
    // Stretches the matrix's own range (min, max) linearly onto lo..hi:
    // trunc((v - min) x scale) + lo with scale = (hi - lo) / (max - min) in
    // single precision. A constant matrix gives lo everywhere.
    void convertToImage(Image& out, unsigned char lo, unsigned char hi) const;
    // Windowed stretch: v <= vmin gives lo, v >= vmax gives hi, otherwise
    // trunc((v - vmin) x scale) + lo with scale = (hi - lo) / (vmax - vmin).
    void convertToImage(Image& out, T vmin, T vmax, unsigned char lo, unsigned char hi) const;
};

using PixelMatrixc = PixelMatrix<char>;
using PixelMatrixuc = PixelMatrix<unsigned char>;
using PixelMatrixs = PixelMatrix<short>;
using PixelMatrixus = PixelMatrix<unsigned short>;
using PixelMatrixi = PixelMatrix<int>;
using PixelMatrixui = PixelMatrix<unsigned int>;
using PixelMatrixf = PixelMatrix<float>;
using PixelMatrixd = PixelMatrix<double>;
using PixelMatrixld = PixelMatrix<long double>;
using PixelMatrixb = PixelMatrix<bool>;

#define PLEXAN_EXTERN_PIXELMATRIX(T) extern template class PixelMatrix<T>;
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_EXTERN_PIXELMATRIX)
#undef PLEXAN_EXTERN_PIXELMATRIX
