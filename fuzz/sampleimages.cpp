#include "fuzz/sampleimages.h"

#include "image/colormap.h"
#include "image/image.h"
#include "image/imagewriter.h"
#include "image/voxelmatrix.h"

#include <fstream>

namespace {

void writeTiff(const std::string& file, int width, int height, int depth, bool palette)
{
    Image image(width, height, depth);
    unsigned char* data = image.getData();
    for (std::size_t i = 0; i < image.dataLength(); ++i)
        data[i] = static_cast<unsigned char>(37 * i + 11);
    if (palette) {
        Colormap colormap(256);
        for (int i = 0; i < 256; ++i)
            colormap.setCell(i, static_cast<unsigned char>(i), static_cast<unsigned char>(255 - i),
                             static_cast<unsigned char>(3 * i));
        image.setColormap(colormap);
    }
    ImageWriter().write(image, file, true);
}

} // namespace

void writeSampleImages(const std::string& directory)
{
    const std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    writeTiff(prefix + "grey.tif", 5, 4, 8, false);
    writeTiff(prefix + "palette.tif", 5, 4, 8, true);
    writeTiff(prefix + "rgb.tif", 5, 4, 24, false);
    writeTiff(prefix + "wide.tif", 7, 4, 8, false);

    std::ofstream img(prefix + "slice.img", std::ios::binary | std::ios::trunc);
    img << "0000" << std::string(8, ' ');
    for (int i = 0; i < 512 * 512; ++i)
        img.put(static_cast<char>(i % 251));

    VoxelMatrix<float> volume(4, 5, 3);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 5; ++j)
                volume[k][i][j] = static_cast<float>(100 * k + 10 * i + j) + 0.5f;
    volume.save(prefix + "volume.vm", true);
}

const std::vector<std::string>& sampleImageNames()
{
    static const std::vector<std::string> names = {"grey.tif", "palette.tif", "rgb.tif",
                                                   "wide.tif", "slice.img",   "volume.vm"};
    return names;
}
