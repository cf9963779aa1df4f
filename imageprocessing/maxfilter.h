#pragma once
// MaxFilter<T>: grey-level maximum over square and cubic neighbourhoods, with
// an optional mask; the mirror image of MinFilter. Ball mode is not accepted.

#include "imageprocessing/runningextremefilter.h"

template <typename T>
class MaxFilter : public RunningExtremeFilter<T, true> {
public:
    MaxFilter() = default;
    explicit MaxFilter(int halfSize) { this->setHalfSize(halfSize); }
};
