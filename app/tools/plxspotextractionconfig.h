#pragma once
// PLXSpotExtractionConfig: the settings of one spot extraction (see
// PLXSpotExtractionProcess): optional resampling of the volume, the three
// filters with their types and radii (in voxels), the volume's size and voxel
// size, and how the spots become models.
//
// Sizes and voxel sizes are (rows, columns, slices); the voxel size is in the
// stack's length unit.

#include "numerics/vector.h"

#include <string>

enum class PLXSpotExtractionSmoothing { Average = 0, Median = 1, Gaussian = 2 };
enum class PLXSpotExtractionTopHat { Flat = 0, Spherical = 1 };

struct PLXSpotExtractionConfig {
    bool resizeState = false;
    bool smoothingFilterEnabled = true;
    bool tophatFilterEnabled = true;
    bool isotropyFilterEnabled = true;
    PLXSpotExtractionSmoothing smoothingFilterType = PLXSpotExtractionSmoothing::Median;
    PLXSpotExtractionTopHat tophatFilterType = PLXSpotExtractionTopHat::Spherical;
    int smoothingFilterRadius = 1;
    int tophatFilterRadius = 3;
    int isotropyFilterRadius = 4;
    Vector<int> volumeSize{0, 0, 0};
    Vector<double> resolution{0.0, 0.0, 0.0};
    Vector<int> newSize{0, 0, 0};
    Vector<double> newResolution{0.0, 0.0, 0.0};
    std::string basename;
    bool separateModelsEnabled = true;
    bool equivalentSpheresEnabled = false;

    // The settings of the last run from the settings store, over these:
    // the volume's size and voxel size stay; the resampled ones are taken
    // only when they were chosen for a volume of this size. Values out of
    // range keep these.
    void restore();
    // Keeps these settings for the next run.
    void store() const;

    // The texts of the filter types, in code order.
    static const char* smoothingName(PLXSpotExtractionSmoothing type);
    static const char* tophatName(PLXSpotExtractionTopHat type);
};
