#include "image/colormapexpansion.h"

#include "image/image.h"

#include <algorithm>
#include <cstddef>

void ColormapExpansion::setTargetDepth(int depth)
{
    if (depth != 8 && depth != 24 && depth != 32) {
        DepthError e;
        e.setWhere("void ColormapExpansion::setTargetDepth(const int)");
        e.setWhat("Invalid target depth " + std::to_string(depth) + " (8, 24 or 32 expected)");
        throw e;
    }
    m_targetDepth = depth;
}

void ColormapExpansion::apply(Image& image) const
{
    apply(image, image);
}

void ColormapExpansion::apply(Image& out, const Image& in) const
{
    if (!in.isIndexed() || (m_targetDepth == 8 && !in.getColormap()->isGrayscale())) {
        if (&out != &in)
            out = in;
        return;
    }
    const Colormap& map = *in.getColormap();
    // Colours of the 256 indices; indices beyond the colormap are black.
    unsigned char table[256][3] = {};
    for (int v = 0; v < std::min(256, map.getSize()); ++v) {
        table[v][0] = map.getRed()[v];
        table[v][1] = map.getGreen()[v];
        table[v][2] = map.getBlue()[v];
    }
    ImageHeader header(in.getHeader());
    header.deleteColormap();
    header.setDepth(m_targetDepth);
    Image result;
    result.setHeader(header);
    if (in.hasData()) {
        const std::size_t count = static_cast<std::size_t>(in.getWidth()) * static_cast<std::size_t>(in.getHeight());
        const unsigned char* p = in.getData();
        unsigned char* o = result.getData();
        switch (m_targetDepth) {
        case 8:
            for (std::size_t k = 0; k < count; ++k)
                o[k] = table[p[k]][0];
            break;
        case 24:
            for (std::size_t k = 0; k < count; ++k, o += 3) {
                o[0] = table[p[k]][0];
                o[1] = table[p[k]][1];
                o[2] = table[p[k]][2];
            }
            break;
        default:
            for (std::size_t k = 0; k < count; ++k, o += 4) {
                o[0] = table[p[k]][0];
                o[1] = table[p[k]][1];
                o[2] = table[p[k]][2];
                o[3] = 0;
            }
            break;
        }
    } else {
        result.destroy();
    }
    out.swap(result);
}
