#pragma once
// Helpers shared by the image tests: random contents, the histogram bin by its
// definition, a scratch directory, TIFF files assembled byte by byte (no
// libtiff involved) and a libtiff writer for the layouts our writer never uses.

#include "image/image.h"
#include "image/voxelmatrix.h"

#include "support/expect.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

template <typename T>
void PrintTo(const PixelMatrix<T>& m, std::ostream* os)
{
    PrintTo(static_cast<const Matrix<T>&>(m), os);
}

namespace imagetest {

// Values in [lo, hi], integers for integer types and bools.
template <typename T>
T randomValue(std::mt19937& rng, int lo = 0, int hi = 100)
{
    if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(std::uniform_real_distribution<double>(lo, hi)(rng));
    else
        return static_cast<T>(std::uniform_int_distribution<int>(lo, hi)(rng));
}

template <typename T>
PixelMatrix<T> randomPixelMatrix(int rows, int cols, std::mt19937& rng, int lo = 0, int hi = 100)
{
    PixelMatrix<T> m(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            m(i, j) = randomValue<T>(rng, lo, hi);
    return m;
}

template <typename T>
VoxelMatrix<T> randomVoxelMatrix(int s1, int s2, int s3, std::mt19937& rng, int lo = 0, int hi = 100)
{
    VoxelMatrix<T> m(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                m(i, j, k) = randomValue<T>(rng, lo, hi);
    return m;
}

// The histogram bin of v by its definition: the largest b < n whose lower
// edge origin + b x width is <= v (bin 0 for values below the origin).
template <typename T>
int referenceBin(T v, T origin, T width, unsigned int n)
{
    int bin = 0;
    for (unsigned int b = 1; b < n; ++b)
        if (static_cast<long double>(origin) + static_cast<long double>(b) * static_cast<long double>(width) <=
            static_cast<long double>(v))
            bin = static_cast<int>(b);
    return bin;
}

// Every byte drawn at random; with colormapCells > 0 a random colormap.
inline Image randomImage(int width, int height, int depth, unsigned seed, int colormapCells = 0)
{
    Image image(width, height, depth);
    std::mt19937 rng(seed);
    for (std::size_t k = 0; k < image.dataLength(); ++k)
        image.getData()[k] = static_cast<unsigned char>(rng() & 0xff);
    if (colormapCells > 0) {
        Colormap colormap(colormapCells);
        for (int i = 0; i < colormapCells; ++i)
            colormap.setCell(i, rng() & 0xff, rng() & 0xff, rng() & 0xff);
        image.setColormap(colormap);
    }
    return image;
}

// Cell i is (i, 255 - i, i / 2).
inline Colormap colourMap()
{
    Colormap map(256);
    for (int i = 0; i < 256; ++i)
        map.setCell(i, static_cast<unsigned char>(i), static_cast<unsigned char>(255 - i),
                    static_cast<unsigned char>(i / 2));
    return map;
}

inline std::vector<unsigned char> bytesOf(const Image& image)
{
    const unsigned char* p = image.getData();
    return p ? std::vector<unsigned char>(p, p + image.dataLength()) : std::vector<unsigned char>();
}

inline std::string dataFile(const std::string& name)
{
    return std::string(PLEXAN_TEST_DATA_DIR) + "/image/" + name;
}

// A fresh directory removed with everything in it at the end of the test.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        static int count = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("plexan-image-" + std::to_string(getpid()) + "-" + std::to_string(count++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDirectory() { std::filesystem::remove_all(m_path); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void writeBytes(const std::string& file, const std::string& bytes)
{
    // A new file rather than a truncated one: file systems flush a file that
    // is truncated and written again, which slows the loops that rewrite one
    // file thousands of times.
    std::error_code error;
    std::filesystem::remove(file, error);
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A TIFF directory: tag -> (field type 3 short, 4 long or 5 rational, values).
using TiffTags = std::map<std::uint16_t, std::pair<std::uint16_t, std::vector<std::uint32_t>>>;

// A grey single-strip image whose dataBytes bytes follow the file header.
inline TiffTags plainTiffTags(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                              std::uint16_t samples, std::uint32_t dataBytes)
{
    return {{256, {4, {width}}}, {257, {4, {height}}}, {258, {3, std::vector<std::uint32_t>(samples, bits)}},
            {259, {3, {1}}},     {262, {3, {1}}},      {273, {4, {8}}},
            {277, {3, {samples}}}, {278, {4, {height}}}, {279, {4, {dataBytes}}}};
}

// The file: header, data at offset 8, the directory, then the values too
// long for an entry.
inline std::string tiffBytes(bool big, const TiffTags& tags, const std::string& data)
{
    const auto put = [big](std::string& s, std::size_t v, int n) {
        for (int b = 0; b < n; ++b)
            s += static_cast<char>(v >> 8 * (big ? n - 1 - b : b));
    };
    std::string out = big ? "MM" : "II";
    put(out, 42, 2);
    const std::size_t ifd = 8 + data.size() + data.size() % 2;
    put(out, ifd, 4);
    out += data;
    out.resize(ifd, '\0');
    put(out, tags.size(), 2);
    const std::size_t tail = ifd + 6 + 12 * tags.size();
    std::string extra;
    for (const auto& [tag, field] : tags) {
        std::string payload;
        for (std::uint32_t v : field.second)
            put(payload, v, field.first == 3 ? 2 : 4);
        put(out, tag, 2);
        put(out, field.first, 2);
        put(out, field.first == 5 ? field.second.size() / 2 : field.second.size(), 4);
        if (payload.size() > 4) {
            put(out, tail + extra.size(), 4);
            extra += payload;
        } else {
            out += payload + std::string(4 - payload.size(), '\0');
        }
    }
    put(out, 0, 4);
    return out + extra;
}

// What to ask libtiff to write.
struct LibtiffLayout {
    bool bigEndian = false;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint32_t rowsPerStrip = 0; // 0: libtiff's choice
    std::uint32_t tile = 0;         // tile side (a multiple of 16), 0 for strips
};

// Writes pixels (rows from the top, samples interleaved, 16-bit samples in
// the machine's order) through libtiff; a palette image takes the
// 3 x 2^bits 16-bit entries of colormap. Returns false when libtiff refused.
inline bool writeWithLibtiff(const std::string& file, int width, int height, int bits, int samples,
                             int photometric, std::vector<unsigned char> pixels, const LibtiffLayout& layout = {},
                             std::vector<std::uint16_t> colormap = {})
{
    TIFF* tif = TIFFOpen(file.c_str(), layout.bigEndian ? "wb" : "wl");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(samples));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, std::uint16_t(photometric));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const std::uint16_t alpha[1] = {EXTRASAMPLE_ASSOCALPHA};
    if (samples == 4)
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, alpha);
    if (photometric == PHOTOMETRIC_PALETTE)
        TIFFSetField(tif, TIFFTAG_COLORMAP, colormap.data(), colormap.data() + (1 << bits),
                     colormap.data() + (2 << bits));
    const std::size_t pixelBytes = std::size_t(bits / 8) * samples;
    const std::size_t lineBytes = pixelBytes * width;
    bool ok = true;
    if (const std::uint32_t side = layout.tile) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, side);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, side);
        std::vector<unsigned char> tile(side * side * pixelBytes);
        for (std::uint32_t y0 = 0; ok && y0 < std::uint32_t(height); y0 += side)
            for (std::uint32_t x0 = 0; ok && x0 < std::uint32_t(width); x0 += side) {
                std::fill(tile.begin(), tile.end(), 0);
                for (std::uint32_t l = 0; l < side && y0 + l < std::uint32_t(height); ++l)
                    std::memcpy(tile.data() + l * side * pixelBytes, pixels.data() + (y0 + l) * lineBytes + x0 * pixelBytes,
                                std::min<std::size_t>(side, width - x0) * pixelBytes);
                ok = TIFFWriteTile(tif, tile.data(), x0, y0, 0, 0) >= 0;
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, layout.rowsPerStrip ? layout.rowsPerStrip : TIFFDefaultStripSize(tif, 0));
        // libtiff swaps 16-bit samples in place when the file's byte order
        // is not the machine's: pixels is our own copy.
        for (int y = 0; ok && y < height; ++y)
            ok = TIFFWriteScanline(tif, pixels.data() + y * lineBytes, y, 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

} // namespace imagetest
