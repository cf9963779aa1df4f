#include "image/pixelmatrix.h"

#include "image/image.h"
#include "numerics/randomgenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

std::uint16_t sample16(const unsigned char* p)
{
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// x truncated toward zero; values beyond the int range and NaN give 0.
template <typename F>
int truncated(F x)
{
    if (!(x > F(-2147483648.0) && x < F(2147483648.0)))
        return 0;
    return static_cast<int>(x);
}

// The low 8 bits of v truncated toward zero.
template <typename T>
unsigned char lowByte(T v)
{
    if constexpr (std::is_floating_point_v<T>) {
        if (!(v > T(-9.2e18) && v < T(9.2e18)))
            return 0;
        return static_cast<unsigned char>(static_cast<long long>(v));
    } else {
        return static_cast<unsigned char>(v);
    }
}

// Sizes out as the 8-bit image of a rows x columns matrix; it loses any
// colormap so that it reads as grey.
void prepareImage(Image& out, int rows, int columns)
{
    out.init(columns, rows, 8);
    out.deleteColormap();
}

} // namespace

template <typename T>
PixelMatrix<T>::PixelMatrix(const Image& image)
{
    convertFromImage(image);
}

template <typename T>
void PixelMatrix<T>::fillBorder(int width, T value)
{
    if (width < 1)
        return;
    const int rows = this->m_n;
    const int cols = this->m_p;
    const int w = std::min(width, std::max(rows, cols));
    for (int i = 0; i < rows; ++i) {
        T* row = this->m_rows[i].data();
        if (i < w || i >= rows - w) {
            std::fill(row, row + cols, value);
            continue;
        }
        const int edge = std::min(w, cols);
        std::fill(row, row + edge, value);
        std::fill(row + cols - edge, row + cols, value);
    }
}

template <typename T>
void PixelMatrix<T>::randomise()
{
    randomise(255);
}

template <typename T>
void PixelMatrix<T>::randomise(int max)
{
    RandomGenerator generator;
    randomise(0, max, generator);
}

template <typename T>
void PixelMatrix<T>::randomise(int min, int max, RandomGenerator& generator)
{
    for (int i = 0; i < this->m_n; ++i) {
        T* row = this->m_rows[i].data();
        for (int j = 0; j < this->m_p; ++j)
            row[j] = static_cast<T>(generator.uniformL(min, max));
    }
}

template <typename T>
Vector<unsigned int> PixelMatrix<T>::histogram(T origin, T binWidth, unsigned int nBins,
                                               const PixelMatrix& mask) const
{
    if (mask.m_n != this->m_n || mask.m_p != this->m_p) {
        SizeError e;
        e.setWhere("Vectorui PixelMatrix<T>::histogram(...)");
        e.setWhat("Incompatible mask size");
        throw e;
    }
    Vector<unsigned int> counts(nBins);
    counts.setZeros();
    for (int i = 0; i < this->m_n; ++i)
        counts += this->m_rows[i].histogram(origin, binWidth, nBins, mask.m_rows[i]);
    return counts;
}

template <typename T>
void PixelMatrix<T>::convertFromImage(const Image& image)
{
    const int rows = image.getHeight();
    const int cols = image.getWidth();
    this->setSize(rows, cols);
    if (!image.hasData()) {
        this->fill(T(0));
        return;
    }
    const int depth = image.getDepth();
    for (int i = 0; i < rows; ++i) {
        const unsigned char* in = image.getRow(i);
        T* out = this->m_rows[i].data();
        switch (depth) {
        case 8:
            for (int j = 0; j < cols; ++j)
                out[j] = static_cast<T>(in[j]);
            break;
        case 16:
            for (int j = 0; j < cols; ++j)
                out[j] = static_cast<T>(sample16(in + 2 * j));
            break;
        default: {
            const int step = depth / 8;
            for (int j = 0; j < cols; ++j, in += step)
                out[j] = static_cast<T>((in[0] + in[1] + in[2]) / 3);
            break;
        }
        }
    }
}

template <typename T>
void PixelMatrix<T>::convertFromImage(const Image& image, ImageChannel c)
{
    const int depth = image.getDepth();
    const int index = static_cast<int>(c);
    if ((depth == 8 && !image.hasColormap()) || depth == 16) {
        convertFromImage(image);
        return;
    }
    const int rows = image.getHeight();
    const int cols = image.getWidth();
    this->setSize(rows, cols);
    if (!image.hasData())
        return;
    if (depth == 8) {
        if (index > 2)
            return;
        const Colormap& map = *image.getColormap();
        const Vector<unsigned char>& component =
            index == 0 ? map.getRed() : index == 1 ? map.getGreen() : map.getBlue();
        T table[256] = {};
        for (int v = 0; v < std::min(256, map.getSize()); ++v)
            table[v] = static_cast<T>(component[v]);
        for (int i = 0; i < rows; ++i) {
            const unsigned char* in = image.getRow(i);
            T* out = this->m_rows[i].data();
            for (int j = 0; j < cols; ++j)
                out[j] = table[in[j]];
        }
        return;
    }
    const int step = depth / 8;
    if (index >= step)
        return;
    for (int i = 0; i < rows; ++i) {
        const unsigned char* in = image.getRow(i) + index;
        T* out = this->m_rows[i].data();
        for (int j = 0; j < cols; ++j, in += step)
            out[j] = static_cast<T>(*in);
    }
}

template <typename T>
void PixelMatrix<T>::convertToImage(Image& out) const
{
    prepareImage(out, this->m_n, this->m_p);
    for (int i = 0; i < this->m_n; ++i) {
        const T* in = this->m_rows[i].data();
        unsigned char* o = out.getRow(i);
        for (int j = 0; j < this->m_p; ++j)
            o[j] = lowByte(in[j]);
    }
}

template <typename T>
void PixelMatrix<T>::convertToImage(Image& out, unsigned char lo, unsigned char hi) const
{
    prepareImage(out, this->m_n, this->m_p);
    if (this->m_n < 1 || this->m_p < 1)
        return;
    const Vector<T> r = this->range();
    const T vmin = r[0];
    const T vmax = r[1];
    if (!(vmin < vmax)) {
        for (int i = 0; i < this->m_n; ++i)
            std::memset(out.getRow(i), lo, static_cast<std::size_t>(this->m_p));
        return;
    }
    const float scale = static_cast<float>(hi - lo) / static_cast<float>(vmax - vmin);
    for (int i = 0; i < this->m_n; ++i) {
        const T* in = this->m_rows[i].data();
        unsigned char* o = out.getRow(i);
        for (int j = 0; j < this->m_p; ++j)
            o[j] = static_cast<unsigned char>(truncated((in[j] - vmin) * scale) + lo);
    }
}

template <typename T>
void PixelMatrix<T>::convertToImage(Image& out, T vmin, T vmax, unsigned char lo, unsigned char hi) const
{
    prepareImage(out, this->m_n, this->m_p);
    const float scale = vmin < vmax ? static_cast<float>(hi - lo) / static_cast<float>(vmax - vmin) : 0.0f;
    for (int i = 0; i < this->m_n; ++i) {
        const T* in = this->m_rows[i].data();
        unsigned char* o = out.getRow(i);
        for (int j = 0; j < this->m_p; ++j) {
            const T v = in[j];
            if (v <= vmin)
                o[j] = lo;
            else if (v >= vmax)
                o[j] = hi;
            else
                o[j] = static_cast<unsigned char>(truncated((v - vmin) * scale) + lo);
        }
    }
}

#define PLEXAN_INSTANTIATE(T) template class PixelMatrix<T>;
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
