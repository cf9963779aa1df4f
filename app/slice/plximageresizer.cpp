#include "app/slice/plximageresizer.h"

#include "image/image.h"
#include "imageprocessing/meanfilter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool canceled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// A new image of the same header (colormap, calibration) at another size.
Image sameKind(const Image& image, int width, int height)
{
    ImageHeader header = image.getHeader();
    header.setWidth(width);
    header.setHeight(height);
    Image out;
    out.setHeader(header);
    return out;
}

} // namespace

PLXImageResizer::PLXImageResizer(PLXImagePointer image, const QSize& targetSize, QObject* parent)
    : QObject(parent), m_image(std::move(image)), m_target(targetSize)
{
}

QSize PLXImageResizer::fittingSize(const QSize& size, const QSize& target)
{
    if (target.isEmpty() || size.isEmpty())
        return size;
    const std::int64_t w = size.width(), h = size.height();
    // Width-limited unless that makes the height exceed the target.
    if (w * target.height() >= h * target.width()) {
        const int height = static_cast<int>(std::lround(double(h) * target.width() / double(w)));
        return {target.width(), std::max(height, 1)};
    }
    const int width = static_cast<int>(std::lround(double(w) * target.height() / double(h)));
    return {std::max(width, 1), target.height()};
}

Image PLXImageResizer::halve(const Image& image, const std::atomic<bool>* cancel)
{
    const int width = image.getWidth() / 2;
    const int height = image.getHeight() / 2;
    Image out = sameKind(image, width, height);
    if (width < 1 || height < 1)
        return out;
    const int bpp = image.bytesPerPixel();
    const bool indexed = image.isIndexed();
    for (int y = 0; y < height; ++y) {
        if (canceled(cancel))
            return {};
        const unsigned char* a = image.getRow(2 * y);
        const unsigned char* b = image.getRow(2 * y + 1);
        unsigned char* d = out.getRow(y);
        if (indexed) {
            for (int x = 0; x < width; ++x)
                d[x] = a[2 * x];
        } else if (image.getDepth() == 16) {
            for (int x = 0; x < width; ++x) {
                std::uint16_t s[4];
                std::memcpy(&s[0], a + 4 * x, 4);
                std::memcpy(&s[2], b + 4 * x, 4);
                const std::uint16_t m =
                    static_cast<std::uint16_t>((std::uint32_t(s[0]) + s[1] + s[2] + s[3] + 2) / 4);
                std::memcpy(d + 2 * x, &m, 2);
            }
        } else {
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < bpp; ++c) {
                    const int i = 2 * x * bpp + c;
                    d[x * bpp + c] =
                        static_cast<unsigned char>((a[i] + a[i + bpp] + b[i] + b[i + bpp] + 2) / 4);
                }
        }
    }
    return out;
}

Image PLXImageResizer::resize(const Image& image, int width, int height, const std::atomic<bool>* cancel)
{
    const int w0 = image.getWidth();
    const int h0 = image.getHeight();
    Image out = sameKind(image, width, height);
    if (width < 1 || height < 1 || w0 < 1 || h0 < 1)
        return out;
    const int bpp = image.bytesPerPixel();
    const bool wide = image.getDepth() == 16;
    const bool nearest = image.isIndexed();
    const int channels = wide ? 1 : bpp;
    const double sx = double(w0) / width;
    const double sy = double(h0) / height;
    // Pixel centres map onto pixel centres.
    std::vector<int> x0(width), x1(width);
    std::vector<float> fx(width);
    for (int x = 0; x < width; ++x) {
        const double u = std::clamp((x + 0.5) * sx - 0.5, 0.0, double(w0 - 1));
        x0[x] = nearest ? std::min(int(u + 0.5), w0 - 1) : int(u);
        x1[x] = nearest ? x0[x] : std::min(x0[x] + 1, w0 - 1);
        fx[x] = nearest ? 0.0f : float(u - x0[x]);
    }
    for (int y = 0; y < height; ++y) {
        if (canceled(cancel))
            return {};
        const double v = std::clamp((y + 0.5) * sy - 0.5, 0.0, double(h0 - 1));
        int ya = nearest ? std::min(int(v + 0.5), h0 - 1) : int(v);
        const int yb = nearest ? ya : std::min(ya + 1, h0 - 1);
        const float fy = nearest ? 0.0f : float(v - ya);
        const unsigned char* ra = image.getRow(ya);
        const unsigned char* rb = image.getRow(yb);
        unsigned char* d = out.getRow(y);
        for (int x = 0; x < width; ++x) {
            const float f = fx[x];
            for (int c = 0; c < channels; ++c) {
                float p, q, r, s;
                if (wide) {
                    std::uint16_t t[4];
                    std::memcpy(&t[0], ra + 2 * x0[x], 2);
                    std::memcpy(&t[1], ra + 2 * x1[x], 2);
                    std::memcpy(&t[2], rb + 2 * x0[x], 2);
                    std::memcpy(&t[3], rb + 2 * x1[x], 2);
                    p = t[0], q = t[1], r = t[2], s = t[3];
                } else {
                    p = ra[x0[x] * bpp + c];
                    q = ra[x1[x] * bpp + c];
                    r = rb[x0[x] * bpp + c];
                    s = rb[x1[x] * bpp + c];
                }
                const float value = (1.0f - fy) * ((1.0f - f) * p + f * q) + fy * ((1.0f - f) * r + f * s);
                if (wide) {
                    const std::uint16_t t = static_cast<std::uint16_t>(value + 0.5f);
                    std::memcpy(d + 2 * x, &t, 2);
                } else {
                    d[x * bpp + c] = static_cast<unsigned char>(value + 0.5f);
                }
            }
        }
    }
    return out;
}

void PLXImageResizer::run()
{
    if (m_image && m_image->hasData()) {
        if (m_target.isEmpty())
            buildPyramid();
        else
            reduceToTarget();
    }
    emit finished();
}

void PLXImageResizer::buildPyramid()
{
    PLXImagePointer last = m_image;
    while (!m_canceled && last->getWidth() >= minimumSize && last->getHeight() >= minimumSize) {
        auto half = std::make_shared<Image>(halve(*last, &m_canceled));
        if (m_canceled)
            return;
        last = half;
        emit imageAvailable(last);
    }
}

void PLXImageResizer::reduceToTarget()
{
    const QSize size = fittingSize(QSize(m_image->getWidth(), m_image->getHeight()), m_target);
    if (size == QSize(m_image->getWidth(), m_image->getHeight()))
        return;
    const Image* source = m_image.get();
    Image smoothed;
    if (m_image->getWidth() > 2 * size.width()) {
        // Average away what the sampling would alias.
        smoothed = *m_image;
        MeanFilter(m_image->getWidth() / (2 * size.width())).apply(smoothed);
        source = &smoothed;
    }
    if (m_canceled)
        return;
    auto reduced = std::make_shared<Image>(resize(*source, size.width(), size.height(), &m_canceled));
    if (m_canceled)
        return;
    emit imageChanged(reduced);
}
