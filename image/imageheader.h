#pragma once
// ImageHeader: what is known of an image besides its pixels: file format,
// width, height, depth (bits per pixel), an optional colormap (owned) and the
// pixel calibration. A value type: copies are deep.

#include "image/colormap.h"
#include "image/imageformat.h"
#include "image/pixelcalibration.h"

#include <iosfwd>
#include <memory>
#include <string>

class ImageHeader {
public:
    ImageHeader() = default;
    ImageHeader(const ImageHeader& other);
    ImageHeader(ImageHeader&& other) noexcept = default;
    ImageHeader& operator=(const ImageHeader& other);
    ImageHeader& operator=(ImageHeader&& other) noexcept = default;
    ~ImageHeader() = default;

    void swap(ImageHeader& other) noexcept;

    // Format None, zero sizes, calibration cleared, no colormap.
    void clear();

    ImageFormat getImageFormat() const { return m_format; }
    void setImageFormat(ImageFormat format) { m_format = format; }
    int getWidth() const { return m_width; }
    void setWidth(int width) { m_width = width; }
    int getHeight() const { return m_height; }
    void setHeight(int height) { m_height = height; }
    int getDepth() const { return m_depth; }
    void setDepth(int depth) { m_depth = depth; }

    bool hasColormap() const { return m_colormap != nullptr; }
    // Null when there is none.
    const Colormap* getColormap() const { return m_colormap.get(); }
    Colormap* getColormap() { return m_colormap.get(); }
    // Stores a copy.
    void setColormap(const Colormap& colormap);
    void deleteColormap() { m_colormap.reset(); }

    const PixelCalibration& getPixelCalibration() const { return m_calibration; }
    PixelCalibration& getPixelCalibration() { return m_calibration; }
    void setPixelCalibration(const PixelCalibration& calibration) { m_calibration = calibration; }

    // Equal fields; two absent colormaps are equal.
    bool operator==(const ImageHeader& other) const;
    bool operator!=(const ImageHeader& other) const { return !(*this == other); }

    void print(const std::string& title, std::ostream& stream) const;

private:
    ImageFormat m_format = ImageFormat::None;
    int m_width = 0;
    int m_height = 0;
    int m_depth = 0;
    std::unique_ptr<Colormap> m_colormap;
    PixelCalibration m_calibration;
};
