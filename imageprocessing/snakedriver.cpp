#include "imageprocessing/snakedriver.h"

#include <cmath>
#include <vector>

namespace {

constexpr int kWindow = 50;

// The convergence test on two windows of vertex counts.
bool windowsAgree(const std::vector<float>& previous, const std::vector<float>& current)
{
    double mean = 0.0;
    for (int k = 0; k < kWindow; ++k)
        mean += static_cast<double>(previous[k] - current[k]);
    mean /= kWindow;
    double var = 0.0;
    for (int k = 0; k < kWindow; ++k) {
        const double e = static_cast<double>(previous[k] - current[k]) - mean;
        var += e * e;
    }
    var /= kWindow;
    if (var == 0.0)
        return mean == 0.0; // equal windows: nothing moves any more
    return std::abs(mean) / std::sqrt(var / kWindow) < 1.96;
}

} // namespace

template <typename T, typename U>
void SnakeDriver<T, U>::updateConfig(SnakeConfig& config) const
{
    if (config.getRegMax() * 0.995f > 0.5f) {
        config.setRegMin(config.getRegMin() * 0.995f);
        config.setRegMax(config.getRegMax() * 0.995f);
    }
    if (config.getAlpha() / 0.995f < 2.0f)
        config.setAlpha(config.getAlpha() / 0.995f);
}

template <typename T, typename U>
bool SnakeDriver<T, U>::run(Snake<T, U>& snake, int maxIterations)
{
    SnakeConfig config = snake.getConfig();
    float alpha0 = config.getAlpha();
    std::vector<float> previous(kWindow, 0.0f);
    std::vector<float> current(kWindow, 0.0f);
    int recorded = 0;
    if (maxIterations < 0) {
        const PixelMatrix<T>& image = snake.getImageMatrix();
        maxIterations = image.getSize1() + image.getSize2();
    }
    notifyStarted("Starting snake");
    float previousDistance = 0.0f;
    for (int it = 1; it <= maxIterations; ++it) {
        snake.runStep();
        notifyProgressed(static_cast<unsigned int>(it), static_cast<unsigned int>(maxIterations));
        if (isCanceled())
            return false;
        const float distance = snake.getDataDistance();
        if (config.isAdaptive() && it > 1 && distance > previousDistance) {
            updateConfig(config);
            if (std::abs(alpha0 - config.getAlpha()) >= 0.1f) {
                notifyProgressed("Updating gradient image");
                snake.setConfig(config, true);
                notifyProgressed("Gradient image updated");
                alpha0 = config.getAlpha();
            } else {
                snake.setConfig(config, false);
            }
        }
        previousDistance = distance;
        current[recorded++] = static_cast<float>(snake.getCurve().getNumVertices());
        if (recorded == kWindow) {
            if (windowsAgree(previous, current)) {
                notifyFinished("The snake has converged");
                return true;
            }
            previous.swap(current);
            recorded = 0;
        }
    }
    notifyFinished("The snake has not converged");
    return false;
}

template class SnakeDriver<float, float>;
template class SnakeDriver<double, double>;
