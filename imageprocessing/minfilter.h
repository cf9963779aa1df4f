#pragma once
// MinFilter<T>: grey-level minimum over square and cubic neighbourhoods, with
// an optional mask; see RunningExtremeFilter for the rules. Ball mode is not
// accepted.

#include "imageprocessing/runningextremefilter.h"

template <typename T>
class MinFilter : public RunningExtremeFilter<T, false> {
public:
    MinFilter() = default;
    explicit MinFilter(int halfSize) { this->setHalfSize(halfSize); }
};
