#include "stack/slice.h"

#include "image/image.h"
#include "image/imagereader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Resamples image to width x height. Grey and colour samples are
// interpolated bilinearly between the centres of the source pixels; colour
// indices cannot be, so indexed images take the nearest pixel.
void resizeImage(Image& image, int width, int height)
{
    const int w0 = image.getWidth();
    const int h0 = image.getHeight();
    if ((w0 == width && h0 == height) || !image.hasData() || w0 <= 0 || h0 <= 0)
        return;
    ImageHeader header = image.getHeader();
    header.setWidth(width);
    header.setHeight(height);
    Image out;
    out.setHeader(header);
    if (width <= 0 || height <= 0) {
        image = std::move(out);
        return;
    }

    const int bpp = image.bytesPerPixel();
    const bool wide = image.getDepth() == 16; // one 16-bit sample per pixel
    const bool nearest = image.isIndexed();
    const int channels = wide ? 1 : bpp;
    const float sx = static_cast<float>(w0) / static_cast<float>(width);
    const float sy = static_cast<float>(h0) / static_cast<float>(height);

    // Source columns and weights, computed once per output column.
    std::vector<int> x0(static_cast<std::size_t>(width));
    std::vector<int> x1(static_cast<std::size_t>(width));
    std::vector<float> fx(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const float u = std::clamp((static_cast<float>(x) + 0.5f) * sx - 0.5f, 0.0f,
                                   static_cast<float>(w0 - 1));
        if (nearest) {
            x0[x] = x1[x] = std::min(static_cast<int>(u + 0.5f), w0 - 1);
            fx[x] = 0.0f;
        } else {
            x0[x] = static_cast<int>(u);
            x1[x] = std::min(x0[x] + 1, w0 - 1);
            fx[x] = u - static_cast<float>(x0[x]);
        }
    }
    for (int y = 0; y < height; ++y) {
        const float v = std::clamp((static_cast<float>(y) + 0.5f) * sy - 0.5f, 0.0f,
                                   static_cast<float>(h0 - 1));
        int ya = static_cast<int>(v);
        int yb = std::min(ya + 1, h0 - 1);
        float fy = v - static_cast<float>(ya);
        if (nearest) {
            ya = yb = std::min(static_cast<int>(v + 0.5f), h0 - 1);
            fy = 0.0f;
        }
        const unsigned char* ra = image.getRow(ya);
        const unsigned char* rb = image.getRow(yb);
        unsigned char* dst = out.getRow(y);
        for (int x = 0; x < width; ++x) {
            const float f = fx[x];
            for (int c = 0; c < channels; ++c) {
                float a, b, cc, d;
                if (wide) {
                    std::uint16_t s[4];
                    std::memcpy(&s[0], ra + 2 * x0[x], 2);
                    std::memcpy(&s[1], ra + 2 * x1[x], 2);
                    std::memcpy(&s[2], rb + 2 * x0[x], 2);
                    std::memcpy(&s[3], rb + 2 * x1[x], 2);
                    a = s[0], b = s[1], cc = s[2], d = s[3];
                } else {
                    a = ra[x0[x] * bpp + c];
                    b = ra[x1[x] * bpp + c];
                    cc = rb[x0[x] * bpp + c];
                    d = rb[x1[x] * bpp + c];
                }
                const float value =
                    (1.0f - fy) * ((1.0f - f) * a + f * b) + fy * ((1.0f - f) * cc + f * d);
                if (wide) {
                    const std::uint16_t s = static_cast<std::uint16_t>(value + 0.5f);
                    std::memcpy(dst + 2 * x, &s, 2);
                } else {
                    dst[x * bpp + c] = static_cast<unsigned char>(value + 0.5f);
                }
            }
        }
    }
    image = std::move(out);
}

} // namespace

Slice::Slice(const Slice& other)
    : m_name(other.m_name), m_annotation(other.m_annotation),
      m_source(other.m_source ? other.m_source->clone() : nullptr),
      m_calibration(other.m_calibration)
{
}

Slice& Slice::operator=(const Slice& other)
{
    if (this != &other) {
        m_name = other.m_name;
        m_annotation = other.m_annotation;
        m_source = other.m_source ? other.m_source->clone() : nullptr;
        m_calibration = other.m_calibration;
    }
    return *this;
}

Slice::~Slice() = default;

void Slice::setImageSource(const ImageSource& source)
{
    m_source = source.clone();
}

const ImageSource& Slice::getImageSource() const
{
    if (!m_source)
        throw ProgramError("const ImageSource& Slice::getImageSource() const",
                           "This slice has no image source");
    return *m_source;
}

bool Slice::isEmpty() const
{
    return !m_source || !m_source->isDefined();
}

int Slice::width() const
{
    if (!m_source)
        return 0;
    const int columns = m_source->getSize2();
    const float aspect = m_calibration.getAspectRatio();
    if (aspect <= 1.0f)
        return columns;
    return static_cast<int>(std::lround(static_cast<float>(columns) / aspect));
}

int Slice::height() const
{
    if (!m_source)
        return 0;
    const int rows = m_source->getSize1();
    const float aspect = m_calibration.getAspectRatio();
    if (aspect <= 1.0f)
        return static_cast<int>(std::lround(static_cast<float>(rows) * aspect));
    return rows;
}

BoundingBox<int> Slice::boundingBox() const
{
    return BoundingBox<int>(Vector<int>{0, 0}, Vector<int>{width() - 1, height() - 1});
}

void Slice::sizeForSize(int& w, int& h) const
{
    const std::int64_t sw = width();
    const std::int64_t sh = height();
    if (sw <= 0 || sh <= 0)
        return;
    const std::int64_t lhs = sw * h;
    const std::int64_t rhs = sh * w;
    if (lhs > rhs)
        h = static_cast<int>(std::lround(static_cast<double>(sh) * w / static_cast<double>(sw)));
    else if (lhs < rhs)
        w = static_cast<int>(std::lround(static_cast<double>(sw) * h / static_cast<double>(sh)));
}

void Slice::load(Image& image) const
{
    ImageReader().read(image, getImageSource());
    resizeImage(image, width(), height());
}
