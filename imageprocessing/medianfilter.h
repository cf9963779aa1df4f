#pragma once
// MedianFilter<T>: median over square (2D) and cubic (3D) neighbourhoods.
//
// Only interior elements (at least h from every border) are recomputed; the
// border elements keep their values. Along each row the median is read from a
// sorted table of the n = (2h + 1)^2 (or ^3) window values that slides one
// column at a time instead of sorting every window: the (2h + 1) (or
// (2h + 1)^2) values of the leaving column are replaced, in a cyclic slot
// order, by those of the entering one, each with replaceItem. Byte images
// slide a histogram of the window instead, and the 3 x 3 case, the most used,
// takes the median of nine from the sorted column triples, two rows at a
// time. Every route gives the same medians.
//
// Images are filtered in bands of rows on every thread (numerics/parallel.h),
// volumes in chunks of rows of their planes; each works from the input as it
// was before filtering, so the medians are the same whatever the number of
// threads.
//
// With more than one iteration (IteratedFilter) the filter is applied that
// many times in a row.
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double, and unsigned char.

#include "image/pixelmatrixprocessing.h"
#include "image/voxelmatrixprocessing.h"
#include "imageprocessing/iteratedfilter.h"
#include "imageprocessing/neighbourhoodfilter.h"

#include <iostream>
#include <vector>

class ProgressSteps;

template <typename T>
class MedianFilter : public PixelMatrixProcessing<T>,
                     public VoxelMatrixProcessing<T>,
                     public NeighbourhoodFilter,
                     public IteratedFilter {
public:
    MedianFilter() = default;
    explicit MedianFilter(int halfSize) { setHalfSize(halfSize); }

    // standardApply for one iteration, else iteratedApply.
    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& v) override;
    void standardApply(PixelMatrix<T>& m);
    void standardApply(VoxelMatrix<T>& v);
    void iteratedApply(PixelMatrix<T>& m);
    void iteratedApply(VoxelMatrix<T>& v);

    // The sort table for a square or cubic window of the current half-size:
    // n + 2 entries of (value, slot) in increasing value, entry 0 a sentinel at
    // the lowest finite value of T, every other entry at the highest.
    void setup2DCase();
    void setup3DCase();
    // Gives the slot a new value and moves its entry to its sorted place.
    void replaceItem(unsigned int slot, T value);
    // The middle entry of the table.
    T getMedian() const { return m_values[(m_count + 1) / 2]; }
    void printSortTable(std::ostream& stream = std::cout) const;

private:
    void setupTable(int count);
    void resetTable();
    // Output rows [first, last) of m, filtered in place; `above` and `below`
    // are the input rows first - 1 and last as they were before filtering.
    void median3x3Band(PixelMatrix<T>& m, int first, int last, const T* above, const T* below,
                       ProgressSteps& progress);
    // The same for any half-size h; above and below point to the h input rows
    // above and the h below the band.
    void windowBand(PixelMatrix<T>& m, int first, int last, const T* const* above, const T* const* below,
                    ProgressSteps& progress);

    int m_count = 0;                    // n, the number of window values
    std::vector<T> m_values;            // n + 2 sorted values, sentinels at both ends
    std::vector<unsigned int> m_slots;  // the slot of each entry
    std::vector<unsigned int> m_places; // the entry of each slot
};

#define PLEXAN_EXTERN_MEDIAN_FILTER(T) extern template class MedianFilter<T>;
PLEXAN_EXTERN_MEDIAN_FILTER(unsigned char)
PLEXAN_EXTERN_MEDIAN_FILTER(short)
PLEXAN_EXTERN_MEDIAN_FILTER(unsigned short)
PLEXAN_EXTERN_MEDIAN_FILTER(int)
PLEXAN_EXTERN_MEDIAN_FILTER(unsigned int)
PLEXAN_EXTERN_MEDIAN_FILTER(float)
PLEXAN_EXTERN_MEDIAN_FILTER(double)
PLEXAN_EXTERN_MEDIAN_FILTER(long double)
#undef PLEXAN_EXTERN_MEDIAN_FILTER
