#pragma once
// MatrixResize<T>: resizes a pixel matrix to a target size by sampling the old
// grid at the positions of the new one, with nearest-neighbour or bilinear
// interpolation.
//
// The new grid spans the old one corner to corner: new row r samples the old
// row coordinate r (oldRows - 1) / (newRows - 1) (0 when the new size is 1),
// and likewise for columns, so the first and last rows and columns stay in
// place. A target no smaller on both axes is an enlargement, no larger on
// both a reduction, otherwise one axis is enlarged and the other reduced, one
// after the other. A reduction with low-pass filtering first averages every
// element over a (2h + 1) x (2h + 1) box, h = floor(max(oldRows / newRows,
// oldColumns / newColumns)).
//
// Element types: float, double, long double.

#include "image/pixelmatrixprocessing.h"

enum InterpolationMode { NearestInterpolationMode = 0, LinearInterpolationMode = 1 };

template <typename T>
class MatrixResize : public PixelMatrixProcessing<T> {
public:
    MatrixResize() = default;
    MatrixResize(int rows, int columns) { setSize(rows, columns); }

    void apply(PixelMatrix<T>& m) override;

    // The target size (rows, columns).
    void setSize(const Vector<int>& size);
    void setSize(int rows, int columns) { setSize(Vector<int>{rows, columns}); }
    const Vector<int>& getSize() const { return m_size; }
    // 0 for nearest neighbour, anything else for bilinear interpolation.
    void setInterpolationMode(int mode) { m_mode = mode; }
    int getInterpolationMode() const { return m_mode; }
    void setLowPassFilteringEnabled(bool enabled) { m_lowPass = enabled; }
    bool isLowPassFilteringEnabled() const { return m_lowPass; }

    // Resizing in each case with the chosen interpolation, and in each case
    // with a given one.
    void enlargement(PixelMatrix<T>& m);
    void reduction(PixelMatrix<T>& m);
    void mixedResize(PixelMatrix<T>& m);
    void nearestEnlargement(PixelMatrix<T>& m);
    void bilinearEnlargement(PixelMatrix<T>& m);
    void nearestReduction(PixelMatrix<T>& m);
    void bilinearReduction(PixelMatrix<T>& m);

    // Halves both sizes of a byte image (rounded down); each element is the
    // rounded mean of the 2 x 2 block it replaces.
    static void halve(PixelMatrix<unsigned char>& m);

private:
    void sample(PixelMatrix<T>& m, int rows, int columns, bool linear);
    void lowPass(PixelMatrix<T>& m);

    Vector<int> m_size{0, 0};
    int m_mode = NearestInterpolationMode;
    bool m_lowPass = false;
};

extern template class MatrixResize<float>;
extern template class MatrixResize<double>;
extern template class MatrixResize<long double>;
