#pragma once
// FusionSurfaceStructure<T>: how a fusion treats one outlined structure
// (identified by its model name in every stack): whether it is a reference
// structure, which drives alignment, registration and warping, and the size
// of the quadrilateral mesh its contours are resampled into (height levels
// of width vertices; below 1, the model's own mesh size is used).

#include <string>

template <typename T>
struct FusionSurfaceStructure {
    std::string name;
    bool reference = false;
    int resamplingHeight = -1;
    int resamplingWidth = -1;
    // Stored for the user; the fusion does not read it.
    T resamplingError = T(-1);
};
