#pragma once
// VoxelMatrixPainterGL<T>: draws a voxel matrix as vertex symbols placed on
// a grid that fills a bounding box: voxel (row i, column j, plane k) of an
// n1 x n2 x n3 matrix sits at the centre of its cell, x from the column, y
// from the row and z from the plane. The conversion parameters choose what
// is drawn: the voxels whose value is at least the threshold, taking every
// step-th voxel along each axis (default threshold 1, step 1). Solid
// symbols get half the smallest cell side (times the step) as their size,
// so that neighbouring symbols touch; dots keep the attribute's size.
//
// The painter holds a non-owning reference to the matrix; the symbol
// positions are rebuilt at the next draw after any setter.

#include "gl/paintergl.h"
#include "gl/shapepainterattributesgl.h"
#include "geometry/vertices.h"
#include "image/voxelmatrix.h"

template <typename T>
class VoxelMatrixPainterGL : public PainterGL<T> {
public:
    VoxelMatrixPainterGL() = default;

    BoundingBox<T> boundingBox() const override { return m_box; }
    // Opaque unless a transparency other than exactly 255 is defined.
    bool isOpaque() const override;
    void glDraw() override;

    void setVoxelMatrix(const VoxelMatrix<T>& matrix);
    // The spatial box the matrix fills (3-D).
    void setBoundingBox(const BoundingBox<T>& box);
    void setAttributes(const ShapePainterAttributesGL& attributes) { m_attributes = attributes; }
    const ShapePainterAttributesGL& getAttributes() const { return m_attributes; }
    // A step below 1 counts as 1.
    void setConversionParameters(T threshold, int step);
    T getThreshold() const { return m_threshold; }
    int getStep() const { return m_step; }

    // The symbol positions drawn (rebuilt when out of date).
    const Vertices<T>& getSymbols();
    // The size given to solid symbols.
    T getSymbolSize() const { return m_symbolSize; }

private:
    void rebuild();

    const VoxelMatrix<T>* m_matrix = nullptr;
    BoundingBox<T> m_box;
    ShapePainterAttributesGL m_attributes;
    T m_threshold = T(1);
    int m_step = 1;
    Vertices<T> m_symbols;
    T m_symbolSize = T(1);
    bool m_dirty = true;
};

extern template class VoxelMatrixPainterGL<float>;
extern template class VoxelMatrixPainterGL<double>;
extern template class VoxelMatrixPainterGL<long double>;
