#pragma once
// VoxelCalibration: the physical size of a voxel in a length unit. The voxel
// size follows the index order of VoxelMatrix: [0] height (along rows, y),
// [1] width (along columns, x), [2] depth (between planes, z); default 1, 1, 1
// metre.

#include "image/lengthunit.h"
#include "numerics/vector.h"

class VoxelCalibration {
public:
    VoxelCalibration() = default;

    void setLengthUnit(const LengthUnit& unit) { m_lengthUnit = unit; }
    const LengthUnit& getLengthUnit() const { return m_lengthUnit; }
    LengthUnit& getLengthUnit() { return m_lengthUnit; }

    // The vector must hold exactly three values (SizeError otherwise).
    void setVoxelSize(const Vector<float>& size);
    const Vector<float>& getVoxelSize() const { return m_voxelSize; }

    void setVoxelHeight(float height) { m_voxelSize[0] = height; }
    void setVoxelWidth(float width) { m_voxelSize[1] = width; }
    void setVoxelDepth(float depth) { m_voxelSize[2] = depth; }
    float getVoxelHeight() const { return m_voxelSize[0]; }
    float getVoxelWidth() const { return m_voxelSize[1]; }
    float getVoxelDepth() const { return m_voxelSize[2]; }

    bool operator==(const VoxelCalibration& other) const
    {
        return m_lengthUnit == other.m_lengthUnit && m_voxelSize == other.m_voxelSize;
    }
    bool operator!=(const VoxelCalibration& other) const { return !(*this == other); }

private:
    LengthUnit m_lengthUnit;
    Vector<float> m_voxelSize{1.0f, 1.0f, 1.0f};
};
