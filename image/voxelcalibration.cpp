#include "image/voxelcalibration.h"

void VoxelCalibration::setVoxelSize(const Vector<float>& size)
{
    if (size.getSize() != 3) {
        SizeError e;
        e.setWhere("void VoxelCalibration::setVoxelSize(const Vector<float>&)");
        e.setWhat("Size vector does not contain three values as expected");
        throw e;
    }
    m_voxelSize = size;
}
