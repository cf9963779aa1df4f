#pragma once
// Slice images written to a temporary directory for the tests that read them.

#include "image/image.h"
#include "image/imagesourcefile.h"
#include "image/imagewriter.h"

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace stacktest {

class ImageFiles {
public:
    ImageFiles()
        : m_directory(std::filesystem::temp_directory_path() /
                      ("plexan-stack-test-" + std::to_string(::getpid()) + "-" +
                       std::to_string(s_count++)))
    {
        std::filesystem::create_directories(m_directory);
    }
    ~ImageFiles() { std::filesystem::remove_all(m_directory); }

    // Writes a width x height image of the given depth whose byte b of pixel
    // (x, y) is value(x, y, b), and returns a source naming it.
    ImageSourceFile write(const std::string& name, int width, int height, int depth,
                          const std::function<int(int, int, int)>& value)
    {
        Image image(width, height, depth);
        const int bpp = depth / 8;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int b = 0; b < bpp; ++b)
                    image.getRow(y)[x * bpp + b] = static_cast<unsigned char>(value(x, y, b));
        const std::string file = (m_directory / name).string();
        ImageWriter().write(image, file, true);
        return ImageSourceFile(file);
    }

private:
    std::filesystem::path m_directory;
    static inline int s_count = 0;
};

} // namespace stacktest
