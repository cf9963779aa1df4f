#pragma once
// MeanFilter: box mean of byte images of every depth.
//
// An indexed image is first made direct: a grey one becomes an 8-bit grey
// image, a colour one a 24-bit image. Then every channel (one for 8- and
// 16-bit images, red, green and blue for 24-bit ones, all four bytes for
// 32-bit ones) is replaced by its (2h + 1) x (2h + 1) box sum divided by
// (2h + 1)^2 in integer division. The box sum is that of SumFilter: running
// sums along rows then columns, an element within h of the end of its line
// taking (2h + 1) times its own value. A half-size below 1 does nothing.

#include "imageprocessing/imageprocessing.h"
#include "imageprocessing/neighbourhoodfilter.h"

class MeanFilter : public ImageProcessing, public NeighbourhoodFilter {
public:
    MeanFilter() = default;
    explicit MeanFilter(int halfSize) { setHalfSize(halfSize); }

    void apply(Image& image) override;
    void apply(Image& out, const Image& in) override;

    // With optimisation on, 8-bit images go through optMeanFilter8 (the same
    // results).
    void setOptimization(bool on) { m_optimization = on; }
    bool isOptimized() const { return m_optimization; }

    void meanFilter8(Image& image);
    void optMeanFilter8(Image& image);
    void meanFilter16(Image& image);
    void meanFilter24(Image& image);
    void meanFilter32(Image& image);

private:
    bool m_optimization = false;
};
