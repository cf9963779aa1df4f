#include "image/imageconversion.h"

#include "image/image.h"

#include <algorithm>
#include <cstddef>
#include <iostream>

bool ImageConversion::apply(Image& image) const
{
    const bool indexed = image.isIndexed();
    if (indexed == m_indexed && image.getDepth() == m_targetDepth && image.isGrayscale() == m_grayscale)
        return true;
    if (indexed && m_grayscale && m_targetDepth == 8) {
        Colormap& map = *image.getColormap();
        map.convertToGrayscale();
        if (!m_indexed) {
            unsigned char grey[256] = {};
            for (int v = 0; v < std::min(256, map.getSize()); ++v)
                grey[v] = map.getRed()[v];
            if (image.hasData()) {
                unsigned char* p = image.getData();
                const std::size_t count = image.dataLength();
                for (std::size_t k = 0; k < count; ++k)
                    p[k] = grey[p[k]];
            }
            image.deleteColormap();
        }
        return true;
    }
    std::cerr << "Orvo Image Lib: Conversion not implemented" << std::endl;
    return false;
}
