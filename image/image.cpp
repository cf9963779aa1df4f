#include "image/image.h"

#include "image/imagereader.h"
#include "image/imagewriter.h"
#include "image/pixelmatrix.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

std::uint16_t sample16(const unsigned char* p)
{
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

[[noreturn]] void throwDepth(const char* where, const char* what)
{
    DepthError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

// Colours of the 256 possible indices of an indexed image; indices beyond
// the colormap are black.
struct IndexTable {
    unsigned char rgb[256][3] = {};
    explicit IndexTable(const Colormap& map)
    {
        const int n = std::min(map.getSize(), 256);
        for (int i = 0; i < n; ++i) {
            rgb[i][0] = map.getRed()[i];
            rgb[i][1] = map.getGreen()[i];
            rgb[i][2] = map.getBlue()[i];
        }
    }
};

} // namespace

Image::Image(const Image& other) : m_header(other.m_header)
{
    if (other.m_data) {
        m_data.reset(new unsigned char[other.dataLength()]);
        std::memcpy(m_data.get(), other.m_data.get(), other.dataLength());
        setRows();
    }
}

Image::Image(Image&& other) noexcept
    : m_header(std::move(other.m_header)), m_data(std::move(other.m_data)), m_rows(std::move(other.m_rows))
{
    other.m_header.clear();
    other.m_rows.clear();
}

Image& Image::operator=(const Image& other)
{
    if (this != &other) {
        Image copy(other);
        swap(copy);
    }
    return *this;
}

Image& Image::operator=(Image&& other) noexcept
{
    if (this != &other) {
        Image moved(std::move(other));
        swap(moved);
    }
    return *this;
}

void Image::swap(Image& other) noexcept
{
    m_header.swap(other.m_header);
    std::swap(m_data, other.m_data);
    std::swap(m_rows, other.m_rows);
}

void Image::reset()
{
    destroy();
    m_header.clear();
}

void Image::destroy()
{
    m_data.reset();
    m_rows.clear();
}

int Image::bytesPerPixel() const
{
    const int depth = getDepth();
    return depth == 8 || depth == 16 || depth == 24 || depth == 32 ? depth / 8 : 0;
}

void Image::setRows()
{
    const int height = getHeight();
    const std::size_t line = static_cast<std::size_t>(bytesPerLine());
    m_rows.resize(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        m_rows[static_cast<std::size_t>(y)] = m_data.get() + static_cast<std::size_t>(y) * line;
}

void Image::init(int width, int height, int depth)
{
    if (m_data && width == getWidth() && height == getHeight() && depth == getDepth())
        return;
    destroy();
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        m_header.setWidth(0);
        m_header.setHeight(0);
        m_header.setDepth(0);
        throwDepth("void Image::init(...)", "Invalid depth value");
    }
    if (width < 0 || height < 0 || width > INT_MAX / (depth / 8)) {
        SizeError e;
        e.setWhere("void Image::init(...)");
        e.setWhat("Invalid image size " + std::to_string(width) + " x " + std::to_string(height));
        throw e;
    }
    const std::size_t length = static_cast<std::size_t>(height) * static_cast<std::size_t>(width) *
                               static_cast<std::size_t>(depth / 8);
    try {
        m_data.reset(new unsigned char[length]);
        m_header.setWidth(width);
        m_header.setHeight(height);
        m_header.setDepth(depth);
        setRows();
    } catch (const std::bad_alloc&) {
        destroy();
        SizeError e;
        e.setWhere("void Image::init(...)");
        e.setWhat("Not enough memory for an image of " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels");
        throw e;
    }
}

void Image::clear()
{
    if (m_data)
        std::memset(m_data.get(), 0, dataLength());
}

void Image::setHeader(const ImageHeader& header)
{
    init(header.getWidth(), header.getHeight(), header.getDepth());
    m_header = header;
}

void Image::paste(const Image& src, int x, int y)
{
    if (src.getDepth() != getDepth())
        throwDepth("void Image::paste(...)", "Incompatible image depths");
    if (isIndexed() && (!src.isIndexed() || *src.getColormap() != *getColormap())) {
        ColormapError e;
        e.setWhere("void Image::paste(...)");
        e.setWhat("Incompatible image colormaps");
        throw e;
    }
    if (x < 0 || y < 0 || x + src.getWidth() > getWidth() || y + src.getHeight() > getHeight()) {
        SizeError e;
        e.setWhere("void Image::paste(...)");
        e.setWhat("Incompatible size and position");
        throw e;
    }
    if (!m_data || !src.m_data)
        return;
    const std::size_t line = static_cast<std::size_t>(src.bytesPerLine());
    const std::size_t offset = static_cast<std::size_t>(x) * static_cast<std::size_t>(bytesPerPixel());
    for (int r = 0; r < src.getHeight(); ++r)
        std::memcpy(getRow(y + r) + offset, src.getRow(r), line);
}

ImageColorContent Image::colorContent(unsigned char r, unsigned char g, unsigned char b)
{
    if (r == g && g == b)
        return ImageColorContent::Grayscale;
    if (g == 0 && b == 0)
        return ImageColorContent::RedOnly;
    if (r == 0 && b == 0)
        return ImageColorContent::GreenOnly;
    if (r == 0 && g == 0)
        return ImageColorContent::BlueOnly;
    return ImageColorContent::Color;
}

ImageColorContent Image::colorContent() const
{
    const int depth = getDepth();
    if (depth == 8 && hasColormap()) {
        const Colormap& map = *getColormap();
        if (map.isGrayscale())
            return ImageColorContent::Grayscale;
        if (map.isRedOnly())
            return ImageColorContent::RedOnly;
        if (map.isGreenOnly())
            return ImageColorContent::GreenOnly;
        if (map.isBlueOnly())
            return ImageColorContent::BlueOnly;
        return ImageColorContent::Color;
    }
    if ((depth != 24 && depth != 32) || !m_data || dataLength() == 0)
        return ImageColorContent::Grayscale;
    const int step = bytesPerPixel();
    const unsigned char* p = m_data.get();
    const ImageColorContent first = colorContent(p[0], p[1], p[2]);
    const std::size_t length = dataLength();
    for (std::size_t k = 0; k < length; k += static_cast<std::size_t>(step))
        if (colorContent(p[k], p[k + 1], p[k + 2]) != first)
            return ImageColorContent::Color;
    return first;
}

void Image::setGrayscale(int n)
{
    if (getDepth() != 8)
        throwDepth("void Image::setGrayscale(const int)", "Grayscale colormaps need 8 bits images");
    if (n < 1) {
        deleteColormap();
        return;
    }
    Colormap map(n);
    map.makeGrayscale();
    setColormap(map);
}

void Image::make8bitsGrayscale()
{
    const int depth = getDepth();
    if (depth == 8) {
        if (hasColormap())
            getColormap()->convertToGrayscale();
        return;
    }
    if ((depth != 16 && depth != 24 && depth != 32) || !m_data)
        return;
    Image out;
    out.m_header = m_header;
    out.deleteColormap();
    out.init(getWidth(), getHeight(), 8);
    const std::size_t count = static_cast<std::size_t>(getWidth()) * static_cast<std::size_t>(getHeight());
    const unsigned char* in = m_data.get();
    unsigned char* o = out.m_data.get();
    if (depth == 16) {
        unsigned int m = 0;
        for (std::size_t k = 0; k < count; ++k)
            m = std::max<unsigned int>(m, sample16(in + 2 * k));
        if (m >= 256) {
            // floor(v x 255 / m + 0.5), exactly, in integers.
            const unsigned int twice = 2 * m;
            for (std::size_t k = 0; k < count; ++k)
                o[k] = static_cast<unsigned char>((510u * sample16(in + 2 * k) + m) / twice);
        } else {
            for (std::size_t k = 0; k < count; ++k)
                o[k] = static_cast<unsigned char>(sample16(in + 2 * k));
        }
    } else {
        const std::size_t step = static_cast<std::size_t>(depth / 8);
        for (std::size_t k = 0; k < count; ++k, in += step)
            o[k] = static_cast<unsigned char>((in[0] + in[1] + in[2]) / 3);
    }
    swap(out);
}

void Image::make24bits()
{
    const int depth = getDepth();
    if (depth == 24)
        return;
    if (depth != 8)
        throwDepth("void Image::make24bits()", "Cannot convert non-8 bits images");
    Image out;
    out.m_header = m_header;
    out.deleteColormap();
    out.init(getWidth(), getHeight(), 24);
    if (m_data) {
        const std::size_t count = dataLength();
        const unsigned char* in = m_data.get();
        unsigned char* o = out.m_data.get();
        if (hasColormap()) {
            const IndexTable table(*getColormap());
            for (std::size_t k = 0; k < count; ++k, o += 3) {
                const unsigned char* rgb = table.rgb[in[k]];
                o[0] = rgb[0];
                o[1] = rgb[1];
                o[2] = rgb[2];
            }
        } else {
            for (std::size_t k = 0; k < count; ++k, o += 3)
                o[0] = o[1] = o[2] = in[k];
        }
    } else {
        out.destroy();
    }
    swap(out);
}

void Image::make32bits()
{
    if (getDepth() != 24)
        return;
    Image out;
    out.m_header = m_header;
    out.init(getWidth(), getHeight(), 32);
    if (m_data) {
        const std::size_t count = static_cast<std::size_t>(getWidth()) * static_cast<std::size_t>(getHeight());
        const unsigned char* in = m_data.get();
        unsigned char* o = out.m_data.get();
        for (std::size_t k = 0; k < count; ++k, in += 3, o += 4) {
            o[0] = in[0];
            o[1] = in[1];
            o[2] = in[2];
            o[3] = 0;
        }
    } else {
        out.destroy();
    }
    swap(out);
}

Image Image::channel(ImageChannel c) const
{
    const int index = static_cast<int>(c);
    const int depth = getDepth();
    Image out;
    out.m_header = m_header;
    out.deleteColormap();
    if (depth == 16 && index < 3) {
        out = *this;
        out.make8bitsGrayscale();
        return out;
    }
    out.init(getWidth(), getHeight(), 8);
    out.clear();
    if (!m_data)
        return out;
    const std::size_t count = static_cast<std::size_t>(getWidth()) * static_cast<std::size_t>(getHeight());
    const unsigned char* in = m_data.get();
    unsigned char* o = out.m_data.get();
    if ((depth == 24 && index < 3) || depth == 32) {
        const std::size_t step = static_cast<std::size_t>(depth / 8);
        in += index;
        for (std::size_t k = 0; k < count; ++k, in += step)
            o[k] = *in;
    } else if (depth == 8 && index < 3) {
        if (hasColormap()) {
            const IndexTable table(*getColormap());
            for (std::size_t k = 0; k < count; ++k)
                o[k] = table.rgb[in[k]][index];
        } else {
            std::memcpy(o, in, count);
        }
    }
    return out;
}

void Image::setChannel(ImageChannel c, const PixelMatrix<unsigned char>& m)
{
    const char* where = "void Image::setChannel(...)";
    if (m.getSize1() != getHeight() || m.getSize2() != getWidth()) {
        SizeError e;
        e.setWhere(where);
        e.setWhat("This image and pixelMatrix have different sizes");
        throw e;
    }
    const int index = static_cast<int>(c);
    const int depth = getDepth();
    if (depth == 16)
        throwDepth(where, "Cannot set a channel of a 16 bits image");
    if (isIndexed()) {
        ColormapError e;
        e.setWhere(where);
        e.setWhat("Cannot set a channel of an indexed image");
        throw e;
    }
    if (index == 3 && depth != 32) {
        ValueError e;
        e.setWhere(where);
        e.setWhat("This image has no alpha channel");
        throw e;
    }
    if (!m_data)
        return;
    const int step = bytesPerPixel();
    for (int y = 0; y < getHeight(); ++y) {
        const unsigned char* src = m[y].data();
        unsigned char* dst = getRow(y) + index * (step > 1 ? 1 : 0);
        if (step == 1) {
            std::memcpy(dst, src, static_cast<std::size_t>(getWidth()));
            continue;
        }
        for (int x = 0; x < getWidth(); ++x, dst += step)
            *dst = src[x];
    }
}

void Image::readFile(const std::string& name, const std::string& dir)
{
    ImageReader().read(*this, dir + name);
}

void Image::writeFile(const std::string& name, const std::string& dir, bool overwrite) const
{
    ImageWriter().write(*this, dir.empty() ? name : dir + "/" + name, overwrite);
}

bool Image::operator==(const Image& other) const
{
    if (m_header != other.m_header || hasData() != other.hasData())
        return false;
    return !hasData() || std::memcmp(m_data.get(), other.m_data.get(), dataLength()) == 0;
}

void Image::print(const std::string& title, bool withData, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << '\n';
    stream << "Rows:     " << getHeight() << '\n';
    stream << "Cols:     " << getWidth() << '\n';
    stream << "Depth:    " << getDepth() << '\n';
    stream << "Colormap: ";
    if (hasColormap())
        stream << getColormap()->getSize() << " cells\n";
    else
        stream << " none\n";
    stream << "Size:     " << dataLength() << " octets\n";
    stream << "Format:   " << imageFormatName(getImageFormat()) << '\n';
    if (!m_data) {
        stream << "[No data allocated yet.]\n";
        return;
    }
    if (!withData) {
        stream << "Data: (not shown).\n";
        return;
    }
    stream << "Data:\n";
    char text[32];
    const int depth = getDepth();
    for (int y = 0; y < getHeight(); ++y) {
        const unsigned char* p = getRow(y);
        for (int x = 0; x < getWidth(); ++x) {
            switch (depth) {
            case 8:
                std::snprintf(text, sizeof text, "%4d", p[x]);
                break;
            case 16:
                std::snprintf(text, sizeof text, "%4d", sample16(p + 2 * x));
                break;
            case 24:
                std::snprintf(text, sizeof text, "(%3d.%3d.%3d) ", p[3 * x], p[3 * x + 1], p[3 * x + 2]);
                break;
            default:
                std::snprintf(text, sizeof text, "(%3d.%3d.%3d.%3d) ", p[4 * x], p[4 * x + 1],
                              p[4 * x + 2], p[4 * x + 3]);
                break;
            }
            stream << text;
        }
        stream << '\n';
    }
}
