#pragma once
// SliceOutlines: the outlines of the regions of a grey-level slice image, as
// plexan-cli segment draws them.
//
// The image is binarised at a threshold (a given level, or the image's own
// isodata threshold), its foreground is split into 4-connected components,
// and the outer boundary of every component of at least the minimum number
// of pixels becomes one closed outline (holes are not outlined: they lie
// inside their component's outline).
//
// Outlines run along the pixels' edges, not through the centres of the
// boundary pixels: a region of N pixels gets an outline of area about N
// pixels rather than N minus half its boundary (which would shrink small
// sections by several percent). Outline vertices are whole pixels (x the
// column, y the row), so the edges half a pixel outside the boundary centres
// are rounded to whole pixels; the area stays unbiased. Collinear vertices
// are removed, and a positive decimation simplifies each outline to that
// tolerance in pixels (Douglas-Peucker).

#include "geometry/curve.h"
#include "image/pixelmatrix.h"

#include <array>
#include <vector>

struct SliceOutlineSettings {
    // Use the isodata threshold of each image instead of level.
    bool isodata = false;
    double level = 0.0;
    // Foreground is the values at or above the threshold (below it when
    // false).
    bool above = true;
    // Components of fewer pixels are left out.
    int minPixels = 1;
    // Douglas-Peucker tolerance in pixels (0: none).
    int decimation = 0;
};

struct SliceOutlines {
    // The threshold used.
    double threshold = 0.0;
    // Closed 2-D curves of (x, y) pixel vertices, counter-clockwise with y
    // pointing down (the orientation of the stack files' outlines), in the
    // raster order of the components' first pixels.
    std::vector<Curve<int>> outlines;
    // The foreground pixels of each outlined component, and their centre
    // (x, y).
    std::vector<long long> pixels;
    std::vector<std::array<double, 2>> centres;
};

// The outlines of image (values as read from the slice's image).
SliceOutlines traceSliceOutlines(const PixelMatrix<float>& image, const SliceOutlineSettings& settings);

// The threshold isodata finds for the image: bins of one grey level for
// images of 8-bit values, 256 bins over the range for wider ones.
double isodataThreshold(const PixelMatrix<float>& image);
