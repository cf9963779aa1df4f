#pragma once
// Helpers shared by the image file tests: a scratch directory, a TIFF file
// assembled byte by byte (no libtiff involved) and a TIFF writer that calls
// libtiff directly, with the options our own writer never uses.

#include <gtest/gtest.h>

#include <tiffio.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tiffsupport {

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
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A single-strip TIFF written field by field: the pixel data at offset 8,
// then the directory, then the values that do not fit in an entry.
class TiffBytes {
public:
    enum Type : std::uint16_t { Short = 3, Long = 4, Rational = 5 };

    explicit TiffBytes(bool bigEndian) : m_big(bigEndian) {}

    TiffBytes& set(std::uint16_t tag, Type type, std::vector<std::uint32_t> values)
    {
        for (auto& e : m_entries)
            if (e.tag == tag) {
                e = {tag, type, std::move(values)};
                return *this;
            }
        m_entries.push_back({tag, type, std::move(values)});
        return *this;
    }
    TiffBytes& rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den)
    {
        return set(tag, Rational, {num, den});
    }
    TiffBytes& remove(std::uint16_t tag)
    {
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (m_entries[i].tag == tag)
                m_entries.erase(m_entries.begin() + static_cast<long>(i));
        return *this;
    }
    // Sets the data and the strip tags describing it as one strip.
    TiffBytes& data(const std::string& pixels)
    {
        m_data = pixels;
        set(273, Long, {8});
        set(279, Long, {static_cast<std::uint32_t>(pixels.size())});
        return *this;
    }
    // A plain image: sizes, samples, photometric, one strip holding `pixels`.
    static TiffBytes image(bool bigEndian, std::uint32_t width, std::uint32_t height,
                           std::uint16_t bits, std::uint16_t samples, std::uint16_t photometric,
                           const std::string& pixels)
    {
        TiffBytes t(bigEndian);
        t.set(256, Long, {width}).set(257, Long, {height});
        t.set(258, Short, std::vector<std::uint32_t>(samples, bits));
        t.set(259, Short, {1}).set(262, Short, {photometric}).set(277, Short, {samples});
        t.set(278, Long, {height});
        t.data(pixels);
        return t;
    }

    std::string bytes() const
    {
        std::vector<Entry> entries = m_entries;
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
        std::string out = m_big ? "MM" : "II";
        put16(out, 42);
        put32(out, 0);
        out += m_data;
        if (out.size() % 2)
            out += '\0';
        const std::uint32_t ifd = static_cast<std::uint32_t>(out.size());
        patch32(out, 4, ifd);
        std::uint32_t tail = ifd + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
        std::string table, extra;
        put16(table, static_cast<std::uint16_t>(entries.size()));
        for (const Entry& e : entries) {
            std::string payload;
            for (std::uint32_t v : e.values) {
                if (e.type == Short)
                    put16(payload, static_cast<std::uint16_t>(v));
                else
                    put32(payload, v);
            }
            const std::uint32_t count = static_cast<std::uint32_t>(
                e.type == Rational ? e.values.size() / 2 : e.values.size());
            put16(table, e.tag);
            put16(table, e.type);
            put32(table, count);
            if (payload.size() <= 4) {
                payload.resize(4, '\0');
                table += payload;
            } else {
                put32(table, tail + static_cast<std::uint32_t>(extra.size()));
                extra += payload;
            }
        }
        put32(table, 0);
        return out + table + extra;
    }

private:
    struct Entry {
        std::uint16_t tag;
        Type type;
        std::vector<std::uint32_t> values;
    };
    void put16(std::string& s, std::uint16_t v) const
    {
        if (m_big) {
            s += static_cast<char>(v >> 8);
            s += static_cast<char>(v & 0xff);
        } else {
            s += static_cast<char>(v & 0xff);
            s += static_cast<char>(v >> 8);
        }
    }
    void put32(std::string& s, std::uint32_t v) const
    {
        if (m_big) {
            put16(s, static_cast<std::uint16_t>(v >> 16));
            put16(s, static_cast<std::uint16_t>(v & 0xffff));
        } else {
            put16(s, static_cast<std::uint16_t>(v & 0xffff));
            put16(s, static_cast<std::uint16_t>(v >> 16));
        }
    }
    void patch32(std::string& s, std::size_t at, std::uint32_t v) const
    {
        std::string b;
        put32(b, v);
        s.replace(at, 4, b);
    }

    bool m_big;
    std::vector<Entry> m_entries;
    std::string m_data;
};

// What to ask libtiff to write.
struct LibtiffLayout {
    bool bigEndian = false;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint32_t rowsPerStrip = 0; // 0: libtiff's choice
    std::uint32_t tile = 0;         // tile side (a multiple of 16), 0 for strips
    float xResolution = 0;          // 0: no tag
    float yResolution = 0;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
};

// Writes `pixels` (rows from the top, samples interleaved, 16-bit samples in
// the machine's order) through libtiff. For a palette image `colormap` holds
// the 3 x 2^bits 16-bit entries. Returns false when libtiff refused.
inline bool writeWithLibtiff(const std::string& file, int width, int height, int bits,
                             int samples, int photometric, std::vector<unsigned char> pixels,
                             const LibtiffLayout& layout = {},
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
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, layout.planar);
    if (samples == 4) {
        const std::uint16_t extra[1] = {EXTRASAMPLE_ASSOCALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (layout.xResolution > 0)
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, layout.xResolution);
    if (layout.yResolution > 0)
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, layout.yResolution);
    if (photometric == PHOTOMETRIC_PALETTE) {
        const std::size_t n = std::size_t(1) << bits;
        TIFFSetField(tif, TIFFTAG_COLORMAP, colormap.data(), colormap.data() + n,
                     colormap.data() + 2 * n);
    }
    const std::size_t pixelBytes = std::size_t(bits / 8) * samples;
    const std::size_t lineBytes = pixelBytes * width;
    bool ok = true;
    if (layout.tile) {
        const std::uint32_t side = layout.tile;
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, side);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, side);
        std::vector<unsigned char> tile(side * side * pixelBytes);
        for (std::uint32_t y0 = 0; ok && y0 < std::uint32_t(height); y0 += side)
            for (std::uint32_t x0 = 0; ok && x0 < std::uint32_t(width); x0 += side) {
                std::fill(tile.begin(), tile.end(), 0);
                for (std::uint32_t l = 0; l < side && y0 + l < std::uint32_t(height); ++l) {
                    const std::size_t n =
                        std::min<std::size_t>(side, width - x0) * pixelBytes;
                    std::memcpy(tile.data() + l * side * pixelBytes,
                                pixels.data() + (y0 + l) * lineBytes + x0 * pixelBytes, n);
                }
                ok = TIFFWriteTile(tif, tile.data(), x0, y0, 0, 0) >= 0;
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     layout.rowsPerStrip ? layout.rowsPerStrip : TIFFDefaultStripSize(tif, 0));
        if (layout.planar == PLANARCONFIG_SEPARATE) {
            std::vector<unsigned char> line(width);
            for (int s = 0; ok && s < samples; ++s)
                for (int y = 0; ok && y < height; ++y) {
                    for (int x = 0; x < width; ++x)
                        line[x] = pixels[y * lineBytes + x * samples + s];
                    ok = TIFFWriteScanline(tif, line.data(), y, std::uint16_t(s)) == 1;
                }
        } else {
            // libtiff swaps 16-bit samples in place when the file's byte
            // order is not the machine's: `pixels` is our own copy.
            for (int y = 0; ok && y < height; ++y)
                ok = TIFFWriteScanline(tif, pixels.data() + y * lineBytes, y, 0) == 1;
        }
    }
    TIFFClose(tif);
    return ok;
}

} // namespace tiffsupport
