#pragma once
// SnakeDriver<T, U>: runs a snake until it converges.
//
// After every step the number of contour vertices (about the contour length)
// is recorded. Every 50 steps the 50 values are compared with the previous 50
// (zeros the first time): with d their differences, the snake has converged
// when |mean(d)| / sqrt(var(d) / 50) < 1.96, or when the two windows are
// equal. Convergence is therefore only seen after 100 steps at the earliest,
// and at multiples of 50.
//
// In adaptive mode, whenever the mean search distance rises, the
// regularisation weights are lowered and alpha too (updateConfig); a change
// of alpha by 0.1 or more since the edge map was made recomputes it.
//
// Progress: "Starting snake", then (step, steps) after every step, then "The
// snake has converged" or "The snake has not converged"; a cancellation stops
// the run, which then returns false.

#include "imageprocessing/snake.h"
#include "numerics/progresssubject.h"

template <typename T, typename U>
class SnakeDriver : public ProgressSubject {
public:
    // At most maxIterations steps (rows + columns of the image when negative).
    // Returns whether the snake converged. The collapse of the contour
    // propagates.
    bool run(Snake<T, U>& snake, int maxIterations);
    // One adaptive update: regMin and regMax times 0.995 while regMax stays
    // above 0.5, alpha divided by 0.995 while it stays below 2.
    void updateConfig(SnakeConfig& config) const;
};

extern template class SnakeDriver<float, float>;
extern template class SnakeDriver<double, double>;
