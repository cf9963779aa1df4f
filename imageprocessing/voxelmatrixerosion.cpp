#include "imageprocessing/voxelmatrixerosion.h"

#include "imageprocessing/greymorphology.h"
#include "imageprocessing/progresssteps.h"

#include <limits>

template <typename T>
VoxelMatrixErosion<T>::VoxelMatrixErosion() : m_structElt(3, 3, 3), m_borderValue(std::numeric_limits<T>::max())
{
    m_structElt.setZeros();
}

template <typename T>
void VoxelMatrixErosion<T>::setStructElt(const VoxelMatrix<T>& element)
{
    const char* where = "void VoxelMatrixErosion<T>::setStructElt(...)";
    if (element.getSize1() + element.getSize2() + element.getSize3() == 0)
        throw SizeError(where, "Empty structuring element");
    if (element.getSize1() % 2 == 0 || element.getSize2() % 2 == 0 || element.getSize3() % 2 == 0)
        throw SizeError(where, "Structuring element with even size(s)");
    m_structElt = element;
}

template <typename T>
void VoxelMatrixErosion<T>::apply(VoxelMatrix<T>& m)
{
    ProgressSteps progress(*this, static_cast<long long>(m.getSize1()) * m.getSize3(), "");
    plexan::morphology::pad(m, m_work, plexan::morphology::halfSizes(m_structElt), m_borderValue);
    plexan::morphology::apply<T, false>(m, m_work, m_structElt, m_borderValue, progress);
    m_work.setSize(0, 0, 0);
    progress.finish();
}

template <typename T>
T VoxelMatrixErosion<T>::localMinimum(int i, int j, int k) const
{
    const plexan::morphology::HalfSizes h = plexan::morphology::halfSizes(m_structElt);
    if (i < 0 || j < 0 || k < 0 || i + 2 * h.p >= m_work.getSize1() || j + 2 * h.q >= m_work.getSize2()
        || k + 2 * h.r >= m_work.getSize3())
        return m_borderValue;
    return plexan::morphology::at<T, false>(m_work, m_structElt, m_borderValue, i, j, k);
}

template class VoxelMatrixErosion<short>;
template class VoxelMatrixErosion<unsigned short>;
template class VoxelMatrixErosion<int>;
template class VoxelMatrixErosion<unsigned int>;
template class VoxelMatrixErosion<float>;
template class VoxelMatrixErosion<double>;
template class VoxelMatrixErosion<long double>;
