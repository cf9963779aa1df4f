#pragma once
// ComponentLabelling<T>: labels the connected components of the non-zero
// elements of a pixel matrix (4-connectivity) or voxel matrix
// (6-connectivity) in place. The background stays 0 and the components are
// numbered 1 .. getNumLabels() in the raster order of their first element
// (plane by plane, row by row, column by column).
//
// Two passes over runs of foreground elements along the rows: the first
// gives every run a provisional label, merging the labels of the runs it
// touches in the row above (and in the same row of the previous plane) in an
// equivalence table whose roots are always the smallest label of their
// class; the table then maps every label to the consecutive number of its
// root, and the second pass writes the numbers.
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double.

#include "image/pixelmatrix.h"
#include "image/pixelmatrixprocessing.h"
#include "image/voxelmatrix.h"
#include "image/voxelmatrixprocessing.h"
#include "numerics/vector.h"

#include <vector>

template <typename T>
class ComponentLabelling : public PixelMatrixProcessing<T>, public VoxelMatrixProcessing<T> {
public:
    ComponentLabelling() = default;

    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& m) override;

    // The number of components found by the last apply.
    int getNumLabels() const { return m_numLabels; }

    // A new provisional label, its own parent; the table grows by the growth
    // step when full.
    int newLabel();
    // Merges the classes of a, b and c: the smallest of their roots becomes
    // the parent of the other roots, and is returned.
    int equivLabel(int a, int b, int c);

protected:
    // A run of foreground elements [begin, end) of one row and its label.
    struct Run {
        int begin;
        int end;
        int label;
    };

    void reset(long long elements);
    int findRoot(int label);
    // Merges the classes of two roots; returns the new root (the smaller).
    int unite(int rootA, int rootB);
    // Makes room for the runs of one more row, so that appending them does
    // not move the runs of the rows they are compared with.
    void reserveRow(int columns);
    // Appends the runs of row, labelled against the runs [above, aboveEnd)
    // and [before, beforeEnd) of the neighbouring rows already labelled.
    void labelRow(const T* row, int n, const Run* above, const Run* aboveEnd, const Run* before,
                  const Run* beforeEnd);
    // Replaces every label of the table by the consecutive number of its root.
    void resolve();
    // Writes the final numbers of the runs [first, last) into row.
    void writeRow(T* row, int n, const Run* first, const Run* last) const;

    Vector<int> m_equivalence; // entry l: parent of label l; entry 0 = 0
    int m_capacity = 0;
    int m_count = 0; // provisional labels used so far
    int m_growth = 0;
    int m_numLabels = 0;
    std::vector<Run> m_runs;
    std::vector<long long> m_rowStart; // first run of every row, plus the end
};

#define PLEXAN_EXTERN_LABELLING(T) extern template class ComponentLabelling<T>;
PLEXAN_EXTERN_LABELLING(short)
PLEXAN_EXTERN_LABELLING(unsigned short)
PLEXAN_EXTERN_LABELLING(int)
PLEXAN_EXTERN_LABELLING(unsigned int)
PLEXAN_EXTERN_LABELLING(float)
PLEXAN_EXTERN_LABELLING(double)
PLEXAN_EXTERN_LABELLING(long double)
#undef PLEXAN_EXTERN_LABELLING
