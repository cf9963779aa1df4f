#include "image/imagesourcefile.h"

#include "image/imagereader.h"

ImageSourceFile::ImageSourceFile(const std::string& name)
{
    setFilename(name);
}

std::unique_ptr<ImageSource> ImageSourceFile::clone() const
{
    return std::make_unique<ImageSourceFile>(*this);
}

int ImageSourceFile::getSize1() const
{
    return m_header.getHeight();
}

int ImageSourceFile::getSize2() const
{
    return m_header.getWidth();
}

int ImageSourceFile::getDepth() const
{
    return m_header.getDepth();
}

const Colormap* ImageSourceFile::getColormap() const
{
    return m_header.getColormap();
}

void ImageSourceFile::setFilename(const std::string& name)
{
    m_filename = name;
    m_header = ImageHeader();
    try {
        ImageReader().read(m_header, name);
    } catch (Exception& e) {
        m_header = ImageHeader();
        e.addCall("void ImageSourceFile::setFilename(const string&)");
        throw;
    }
}
