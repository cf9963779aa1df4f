#include "imageprocessing/volumeresize.h"

#include "image/linearinterpolation.h"
#include "image/nearestinterpolation.h"
#include "imageprocessing/progresssteps.h"
#include "imageprocessing/sumfilter.h"

#include <algorithm>
#include <cmath>

namespace {

inline float gridStep(int m, int n)
{
    return n > 1 ? static_cast<float>(m - 1) / static_cast<float>(n - 1) : 0.0f;
}

// The largest coordinate sampled on an axis of m points. The last grid line
// is sampled just inside it, in the last cell, so that bilinear sampling
// interpolates there too rather than falling back to the nearest sample.
inline float lastCoordinate(int m, bool linear)
{
    const float last = static_cast<float>(std::max(m - 1, 0));
    return linear && m > 1 ? std::nextafter(last, 0.0f) : last;
}

} // namespace

template <typename T>
void VolumeResize<T>::setSize(const Vector<int>& size)
{
    if (size.getSize() != 3 || size[0] < 0 || size[1] < 0 || size[2] < 0) {
        SizeError e;
        e.setWhere("void VolumeResize<T>::setSize(const Vector<int>&)");
        e.setWhat("Invalid target size");
        throw e;
    }
    m_size = size;
}

template <typename T>
void VolumeResize<T>::apply(VoxelMatrix<T>& v)
{
    const Vector<int> size = v.getSize();
    if (m_size == size)
        return;
    if (m_size[0] >= size[0] && m_size[1] >= size[1] && m_size[2] >= size[2])
        enlargement(v);
    else if (m_size[0] <= size[0] && m_size[1] <= size[1] && m_size[2] <= size[2])
        reduction(v);
    else
        mixedResize(v);
}

template <typename T>
void VolumeResize<T>::enlargement(VoxelMatrix<T>& v)
{
    if (m_mode == NearestInterpolationMode)
        nearestEnlargement(v);
    else
        trilinearEnlargement(v);
}

template <typename T>
void VolumeResize<T>::reduction(VoxelMatrix<T>& v)
{
    if (m_mode == NearestInterpolationMode)
        nearestReduction(v);
    else
        trilinearReduction(v);
}

template <typename T>
void VolumeResize<T>::mixedResize(VoxelMatrix<T>& v)
{
    // One axis at a time: each step enlarges or reduces only.
    const Vector<int> target = m_size;
    try {
        m_size = Vector<int>{target[0], v.getSize2(), v.getSize3()};
        apply(v);
        m_size = Vector<int>{target[0], target[1], v.getSize3()};
        apply(v);
        m_size = target;
        apply(v);
    } catch (...) {
        m_size = target;
        throw;
    }
}

template <typename T>
void VolumeResize<T>::nearestEnlargement(VoxelMatrix<T>& v)
{
    sample(v, m_size[0], m_size[1], m_size[2], false);
}

template <typename T>
void VolumeResize<T>::trilinearEnlargement(VoxelMatrix<T>& v)
{
    sample(v, m_size[0], m_size[1], m_size[2], true);
}

template <typename T>
void VolumeResize<T>::nearestReduction(VoxelMatrix<T>& v)
{
    lowPass(v);
    sample(v, m_size[0], m_size[1], m_size[2], false);
}

template <typename T>
void VolumeResize<T>::trilinearReduction(VoxelMatrix<T>& v)
{
    lowPass(v);
    sample(v, m_size[0], m_size[1], m_size[2], true);
}

template <typename T>
void VolumeResize<T>::lowPass(VoxelMatrix<T>& v)
{
    if (!m_lowPass || m_size[0] < 1 || m_size[1] < 1 || m_size[2] < 1)
        return;
    const float ratio = std::max({static_cast<float>(v.getSize1()) / static_cast<float>(m_size[0]),
                                  static_cast<float>(v.getSize2()) / static_cast<float>(m_size[1]),
                                  static_cast<float>(v.getSize3()) / static_cast<float>(m_size[2])});
    const int h = static_cast<int>(std::floor(ratio));
    if (h < 1)
        return;
    SumFilter<T>(h).apply(v);
    const T volume = static_cast<T>((2 * h + 1) * (2 * h + 1) * (2 * h + 1));
    v /= volume;
}

template <typename T>
void VolumeResize<T>::sample(VoxelMatrix<T>& v, int s1, int s2, int s3, bool linear)
{
    const float step1 = gridStep(v.getSize1(), s1);
    const float step2 = gridStep(v.getSize2(), s2);
    const float step3 = gridStep(v.getSize3(), s3);
    const float last1 = lastCoordinate(v.getSize1(), linear);
    const float last2 = lastCoordinate(v.getSize2(), linear);
    const float last3 = lastCoordinate(v.getSize3(), linear);
    ProgressSteps progress(*this, s3, "Resizing");
    VoxelMatrix<T> out(s1, s2, s3);
    out.setVoxelCalibration(v.getVoxelCalibration());
    const NearestInterpolation<T> nearest;
    const LinearInterpolation<T> trilinear;
    for (int k = 0; k < s3; ++k) {
        const float x3 = std::min(static_cast<float>(k) * step3, last3);
        for (int i = 0; i < s1; ++i) {
            const float x1 = std::min(static_cast<float>(i) * step1, last1);
            T* y = out[k][i].data();
            if (linear)
                for (int j = 0; j < s2; ++j)
                    y[j] = trilinear.LinearInterpolation<T>::eval(x1, std::min(static_cast<float>(j) * step2, last2), x3, v);
            else
                for (int j = 0; j < s2; ++j)
                    y[j] = nearest.NearestInterpolation<T>::eval(x1, static_cast<float>(j) * step2, x3, v);
        }
        progress.advance();
    }
    v.swap(out);
    progress.finish();
}

template class VolumeResize<float>;
template class VolumeResize<double>;
template class VolumeResize<long double>;
