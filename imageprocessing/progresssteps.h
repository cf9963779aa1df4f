#pragma once
// ProgressSteps: counts the units of work of a run (lines, rows, planes) and
// tells the subject about every whole percent of the total, so that a run
// sends at most a hundred progress notifications whatever its size. Units
// may be counted from the threads of a parallel loop; the notifications
// come from the thread that made the counter only.
//
// Internal to the image processing library.

#include "numerics/parallel.h"

#include <algorithm>

class ProgressSteps : public plexan::parallel::ProgressCounter {
public:
    using ProgressCounter::ProgressCounter;
};

// Units counted by one thread and passed on to the shared counter a block at
// a time (the rest by flush()), so that the threads of a loop do not pass
// the counter's cache line back and forth for every row. Without a counter
// it counts nothing.
class ProgressBatch {
public:
    ProgressBatch(plexan::parallel::ProgressCounter* counter, long long block)
        : m_counter(counter), m_block(std::max(1LL, block))
    {
    }
    void advance(long long units = 1)
    {
        m_pending += units;
        if (m_pending >= m_block)
            flush();
    }
    void flush()
    {
        if (m_counter && m_pending > 0)
            m_counter->advance(m_pending);
        m_pending = 0;
    }

private:
    plexan::parallel::ProgressCounter* m_counter;
    long long m_block;
    long long m_pending = 0;
};
