#pragma once
// ProgressSteps: counts the units of work of a run (lines, rows, planes) and
// tells the subject about every whole percent of the total, so that a run
// sends at most a hundred progress notifications whatever its size. Units
// may be counted from the threads of a parallel loop; the notifications
// come from the thread that made the counter only.
//
// Internal to the image processing library.

#include "numerics/parallel.h"

class ProgressSteps : public plexan::parallel::ProgressCounter {
public:
    using ProgressCounter::ProgressCounter;
};
