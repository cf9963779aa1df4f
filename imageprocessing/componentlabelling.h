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
// With several threads, slabs of planes go through the first pass at once,
// each with a table of its own; the tables are then joined, every slab's
// labels after those of the slabs before it, and the runs facing each other
// across a slab border are merged. The labels after the join still rise in
// raster order, so the numbers are those of one pass over the whole matrix.
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double.

#include "image/pixelmatrix.h"
#include "image/pixelmatrixprocessing.h"
#include "image/voxelmatrix.h"
#include "image/voxelmatrixprocessing.h"
#include "numerics/vector.h"

#include <vector>

class ProgressSteps;

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
    // A run of foreground elements [begin, end) of one row and its
    // provisional label.
    struct Run {
        int begin;
        int end;
        int label;
    };
    // The runs of the rows of one plane, row after row.
    struct PlaneRuns {
        std::vector<Run> runs;
        std::vector<int> rowStart; // first run of every row, plus the end
    };

    void reset(long long elements, long long maxRuns);
    int findRoot(int label);
    // Merges the classes of two roots; returns the new root (the smaller).
    int unite(int rootA, int rootB);
    // The runs of a row of n elements, written to out (room for (n + 1) / 2).
    static int findRuns(const T* row, int n, Run* out);
    // Labels the runs of row i of the current plane against the runs of row
    // i - 1 and of row i of the previous plane (null when there is none).
    void labelRow(const T* row, int n, int i, PlaneRuns& current, const PlaneRuns* previous);
    // Labels one plane, rows first to last.
    void labelPlane(const PixelMatrix<T>& plane, PlaneRuns& current, const PlaneRuns* previous,
                    ProgressSteps& progress);
    // Replaces every label of the table by the consecutive number of its root.
    void resolve();
    // Writes the final numbers into the rows of a plane, whose runs are found
    // again, taking their labels from the run labels from position next on,
    // plus offset, through the table; rowRuns is scratch.
    static void writePlane(PixelMatrix<T>& plane, const int* table, const std::vector<int>& runLabels, int offset,
                           size_t& next, std::vector<Run>& rowRuns, ProgressSteps& progress);
    // The first pass over planes [first, last) of m with this object's own
    // table; the runs of the first plane are kept in firstRuns.
    void labelSlab(const VoxelMatrix<T>& m, int first, int last, PlaneRuns& firstRuns, ProgressSteps& progress);
    // Slabs of planes labelled at once, then joined; see above.
    void applyInSlabs(VoxelMatrix<T>& m, int grain, ProgressSteps& progress);

    Vector<int> m_equivalence; // entry l: parent of label l; entry 0 = 0
    int m_capacity = 0;
    int m_count = 0; // provisional labels used so far
    int m_growth = 0;
    int m_numLabels = 0;
    // The provisional label of every run, in raster order; the first pass
    // keeps the runs themselves only for the current and previous planes.
    std::vector<int> m_runLabels;
    PlaneRuns m_planes[2];
    std::vector<Run> m_rowRuns;
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
