#pragma once
// ImageSourceVoxelMatrixPlane: one plane of a float voxel-matrix file (.vm),
// shown as an 8-bit image (each value truncated to its low byte). Setting the
// file name reads the file's header to learn the plane size; only files of
// float elements can serve.

#include "image/imagesource.h"

#include <string>

class ImageSourceVoxelMatrixPlane : public ImageSource {
public:
    ImageSourceVoxelMatrixPlane() = default;

    std::unique_ptr<ImageSource> clone() const override;
    int getType() const override { return VoxelMatrixPlaneType; }
    bool isDefined() const override { return !m_filename.empty() && m_plane >= 0; }
    // Rows and columns of the file's planes (0 before a file is set).
    int getSize1() const override { return m_size[0]; }
    int getSize2() const override { return m_size[1]; }
    // The depth of the voxels in the file: 32 bits.
    int getDepth() const override { return 32; }
    const Colormap* getColormap() const override { return nullptr; }

    // Stores the name and reads the file's sizes; on failure the name stays
    // set, the sizes become 0 and the exception propagates.
    void setVoxelMatrixFilename(const std::string& name);
    const std::string& getVoxelMatrixFilename() const { return m_filename; }
    void setPlane(int plane) { m_plane = plane; }
    int getPlane() const { return m_plane; }
    // Number of planes in the file (0 before a file is set).
    int getPlaneCount() const { return m_size[2]; }

private:
    std::string m_filename;
    int m_size[3] = {0, 0, 0};
    int m_plane = -1;
};
