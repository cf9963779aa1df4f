#include "image/imageheader.h"

#include <ostream>
#include <utility>

ImageHeader::ImageHeader(const ImageHeader& other)
    : m_format(other.m_format),
      m_width(other.m_width),
      m_height(other.m_height),
      m_depth(other.m_depth),
      m_colormap(other.m_colormap ? std::make_unique<Colormap>(*other.m_colormap) : nullptr),
      m_calibration(other.m_calibration)
{
}

ImageHeader& ImageHeader::operator=(const ImageHeader& other)
{
    if (this != &other) {
        ImageHeader copy(other);
        swap(copy);
    }
    return *this;
}

void ImageHeader::swap(ImageHeader& other) noexcept
{
    std::swap(m_format, other.m_format);
    std::swap(m_width, other.m_width);
    std::swap(m_height, other.m_height);
    std::swap(m_depth, other.m_depth);
    std::swap(m_colormap, other.m_colormap);
    std::swap(m_calibration, other.m_calibration);
}

void ImageHeader::clear()
{
    m_format = ImageFormat::None;
    m_width = 0;
    m_height = 0;
    m_depth = 0;
    m_colormap.reset();
    m_calibration.clear();
}

void ImageHeader::setColormap(const Colormap& colormap)
{
    if (m_colormap.get() != &colormap)
        m_colormap = std::make_unique<Colormap>(colormap);
}

bool ImageHeader::operator==(const ImageHeader& other) const
{
    if (m_format != other.m_format || m_width != other.m_width || m_height != other.m_height ||
        m_depth != other.m_depth || !(m_calibration == other.m_calibration))
        return false;
    if (hasColormap() != other.hasColormap())
        return false;
    return !hasColormap() || *m_colormap == *other.m_colormap;
}

void ImageHeader::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << '\n';
    stream << "Format:   " << imageFormatName(m_format) << '\n'
           << "Width:    " << m_width << '\n'
           << "Height:   " << m_height << '\n'
           << "Depth:    " << m_depth << '\n'
           << "Colormap: ";
    if (m_colormap)
        stream << m_colormap->getSize() << " cells\n";
    else
        stream << " none\n";
    m_calibration.print("", stream);
}
