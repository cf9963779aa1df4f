#pragma once
// Helpers shared by the statistics tests: random point patterns and a
// progress monitor that records what it is told.

#include "geometry/vertices.h"
#include "numerics/progressmonitor.h"

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace statisticstesting {

// n points drawn uniformly in [low, high)^3.
template <typename T>
Vertices<T> randomPattern(std::mt19937& rng, int n, double low, double high)
{
    std::uniform_real_distribution<double> u(low, high);
    Vertices<T> points(3, n);
    for (int i = 0; i < n; ++i)
        for (int a = 0; a < 3; ++a)
            points[i][a] = static_cast<T>(u(rng));
    return points;
}

class RecordingMonitor : public ProgressMonitor {
public:
    std::vector<std::string> started;
    std::vector<std::string> finished;
    std::vector<std::string> texts;
    std::vector<std::pair<unsigned int, unsigned int>> steps;

protected:
    void subjectStarted(const std::string& text) override { started.push_back(text); }
    void subjectFinished(const std::string& text) override { finished.push_back(text); }
    void subjectProgressed(const std::string& text) override { texts.push_back(text); }
    void subjectProgressed(unsigned int i, unsigned int n) override { steps.emplace_back(i, n); }
};

} // namespace statisticstesting
