#include "app/slice/plxdisplayimage.h"

#include "image/colormapexpansion.h"
#include "image/image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

int PLXDisplayImage::rangeOf(const Image& image)
{
    if (image.getDepth() != 16 || !image.hasData())
        return 255;
    std::uint16_t largest = 1;
    const unsigned char* data = image.getData();
    const std::size_t count = image.dataLength() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint16_t v;
        std::memcpy(&v, data + 2 * i, 2);
        largest = std::max(largest, v);
    }
    return largest;
}

std::vector<unsigned char> PLXDisplayImage::windowTable(int range, const CanvasMode& mode)
{
    range = std::max(range, 1);
    std::vector<unsigned char> table(static_cast<std::size_t>(range) + 1);
    const double black = std::clamp(mode.black, 0.0, 1.0) * range;
    const double white = std::clamp(mode.white, 0.0, 1.0) * range;
    for (int v = 0; v <= range; ++v) {
        double level;
        if (white <= black)
            level = v < black ? 0.0 : 255.0;
        else
            level = std::clamp((v - black) / (white - black) * 255.0, 0.0, 255.0);
        table[static_cast<std::size_t>(v)] = static_cast<unsigned char>(level + 0.5);
    }
    return table;
}

QImage PLXDisplayImage::toQImage(const Image& image, const CanvasMode& mode, int range)
{
    if (!image.hasData() || image.getWidth() < 1 || image.getHeight() < 1)
        return {};
    if (image.isIndexed()) {
        Image direct;
        ColormapExpansion(24).apply(direct, image);
        return toQImage(direct, mode, 255);
    }
    const int width = image.getWidth();
    const int height = image.getHeight();
    const int depth = image.getDepth();
    if (range <= 0)
        range = rangeOf(image);
    const std::vector<unsigned char> table = windowTable(depth == 16 ? range : 255, mode);
    const int top = static_cast<int>(table.size()) - 1;

    if (depth == 8 || depth == 16) {
        QImage out(width, height, QImage::Format_Grayscale8);
        for (int y = 0; y < height; ++y) {
            const unsigned char* src = image.getRow(y);
            uchar* dst = out.scanLine(y);
            if (depth == 8) {
                for (int x = 0; x < width; ++x)
                    dst[x] = table[src[x]];
            } else {
                for (int x = 0; x < width; ++x) {
                    std::uint16_t v;
                    std::memcpy(&v, src + 2 * x, 2);
                    dst[x] = table[std::min<int>(v, top)];
                }
            }
        }
        return out;
    }
    QImage out(width, height, QImage::Format_RGB888);
    const int bpp = image.bytesPerPixel();
    for (int y = 0; y < height; ++y) {
        const unsigned char* src = image.getRow(y);
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                dst[3 * x + c] = table[src[x * bpp + c]];
    }
    return out;
}
