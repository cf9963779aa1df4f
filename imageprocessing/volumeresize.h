#pragma once
// VolumeResize<T>: MatrixResize for voxel matrices, over three axes with
// nearest-neighbour or trilinear interpolation; the same corner-to-corner
// grids, cases and low-pass filtering (h from the largest of the three
// ratios).
//
// Element types: float, double, long double.

#include "image/voxelmatrixprocessing.h"
#include "imageprocessing/matrixresize.h"

template <typename T>
class VolumeResize : public VoxelMatrixProcessing<T> {
public:
    VolumeResize() = default;
    VolumeResize(int size1, int size2, int size3) { setSize(size1, size2, size3); }

    void apply(VoxelMatrix<T>& v) override;

    void setSize(const Vector<int>& size);
    void setSize(int size1, int size2, int size3) { setSize(Vector<int>{size1, size2, size3}); }
    const Vector<int>& getSize() const { return m_size; }
    void setInterpolationMode(int mode) { m_mode = mode; }
    int getInterpolationMode() const { return m_mode; }
    void setLowPassFilteringEnabled(bool enabled) { m_lowPass = enabled; }
    bool isLowPassFilteringEnabled() const { return m_lowPass; }

    void enlargement(VoxelMatrix<T>& v);
    void reduction(VoxelMatrix<T>& v);
    void mixedResize(VoxelMatrix<T>& v);
    void nearestEnlargement(VoxelMatrix<T>& v);
    void trilinearEnlargement(VoxelMatrix<T>& v);
    void nearestReduction(VoxelMatrix<T>& v);
    void trilinearReduction(VoxelMatrix<T>& v);

private:
    void sample(VoxelMatrix<T>& v, int s1, int s2, int s3, bool linear);
    void lowPass(VoxelMatrix<T>& v);

    Vector<int> m_size{0, 0, 0};
    int m_mode = NearestInterpolationMode;
    bool m_lowPass = false;
};

extern template class VolumeResize<float>;
extern template class VolumeResize<double>;
extern template class VolumeResize<long double>;
