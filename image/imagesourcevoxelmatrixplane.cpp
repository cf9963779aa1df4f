#include "image/imagesourcevoxelmatrixplane.h"

#include "image/voxelmatrix.h"

std::unique_ptr<ImageSource> ImageSourceVoxelMatrixPlane::clone() const
{
    return std::make_unique<ImageSourceVoxelMatrixPlane>(*this);
}

void ImageSourceVoxelMatrixPlane::setVoxelMatrixFilename(const std::string& name)
{
    m_filename = name;
    m_size[0] = m_size[1] = m_size[2] = 0;
    try {
        VoxelMatrix<float> header;
        header.loadHeader(name);
        m_size[0] = header.getSize1();
        m_size[1] = header.getSize2();
        m_size[2] = header.getSize3();
    } catch (Exception& e) {
        e.addCall("void ImageSourceVoxelMatrixPlane::setVoxelMatrixFilename(const string&)");
        throw;
    }
}
