#include "imageprocessing/snakedriver.h"

#include "numerics/progressmonitor.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

namespace {

// A bright disc of radius 20 centred at (x, y) = (50, 45) on a dark image
// of 100 x 110 (rows x columns).
template <typename T>
PixelMatrix<T> disc()
{
    PixelMatrix<T> m(100, 110);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 110; ++j)
            m(i, j) = std::hypot(j - 50.0, i - 45.0) <= 20.0 ? T(200) : T(0);
    return m;
}

template <typename U>
Curve<U> circle(U x, U y, U radius, int n)
{
    Curve<U> c(2, n);
    for (int k = 0; k < n; ++k) {
        const double t = 2 * std::numbers::pi * k / n;
        c[k][0] = x + radius * static_cast<U>(std::cos(t));
        c[k][1] = y + radius * static_cast<U>(std::sin(t));
    }
    return c;
}

template <typename U>
double meanEdgeDistance(const Curve<U>& c)
{
    double sum = 0;
    for (int k = 0; k < c.getNumVertices(); ++k)
        sum += std::abs(std::hypot(c[k][0] - 50.0, c[k][1] - 45.0) - 20.0);
    return sum / c.getNumVertices();
}

// Counts the notifications of a run.
class Recorder : public ProgressMonitor {
public:
    unsigned int steps = 0;
    std::string started, finished;

protected:
    void subjectStarted(const std::string& text) override { started = text; }
    void subjectFinished(const std::string& text) override { finished = text; }
    void subjectProgressed(unsigned int, unsigned int) override { ++steps; }
};

template <typename T>
class SnakeTest : public ::testing::Test {};
using SnakeTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(SnakeTest, SnakeTypes);

// From outside and inside the disc, and adaptive from outside.
TYPED_TEST(SnakeTest, ClosesOnTheEdgeOfADisc)
{
    using T = TypeParam;
    const PixelMatrix<T> image = disc<T>();
    for (T radius : {T(30), T(9), T(27)}) {
        SnakeConfig config;
        config.setAdaptive(radius == T(27));
        Snake<T, T> snake(config);
        snake.setPixelMatrix(image);
        const Curve<T> start = circle<T>(T(51), T(44), radius, 24);
        snake.setCurve(start);
        snake.init();
        // One vertex per whole pixel of length.
        EXPECT_EQ(snake.getCurve().getNumVertices(), static_cast<int>(std::floor(start.length())));
        SnakeDriver<T, T> driver;
        Recorder recorder;
        driver.addMonitor(recorder);
        const bool converged = driver.run(snake, 400);
        EXPECT_LT(meanEdgeDistance(snake.getCurve()), 1.0) << "from radius " << radius;
        EXPECT_NEAR(snake.getCurve().getNumVertices(), 2 * std::numbers::pi * 20, 6.0);
        EXPECT_EQ(recorder.started, "Starting snake");
        if (converged) {
            EXPECT_EQ(recorder.finished, "The snake has converged");
            EXPECT_GE(recorder.steps, 100u);
            EXPECT_EQ(recorder.steps % 50, 0u);
        } else {
            EXPECT_EQ(recorder.finished, "The snake has not converged");
            EXPECT_EQ(recorder.steps, 400u);
        }
        EXPECT_LE(snake.getConfig().getAlpha(), 2.0f);
        EXPECT_GE(snake.getConfig().getRegMax(), 0.5f);
    }
}

TYPED_TEST(SnakeTest, ShortContoursCollapse)
{
    using T = TypeParam;
    const PixelMatrix<T> image = disc<T>();
    Snake<T, T> snake;
    snake.setPixelMatrix(image);
    snake.setCurve(circle<T>(T(50), T(45), T(0.4), 6)); // length about 2.4
    EXPECT_PLEXAN_THROW(snake.init(), SizeError, "void Snake::resampleCurve()", "The snake has collapsed.");
}

TEST(Snake, ForcesFollowTheNearerEdge)
{
    // A vertical edge line at column 10 of the edge map, which the image
    // step between columns 9 and 11 produces.
    PixelMatrix<double> image(30, 40);
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 40; ++j)
            image(i, j) = j < 10 ? 0.0 : j == 10 ? 100.0 : 200.0;
    Snake<double, double> snake;
    snake.setPixelMatrix(image);
    snake.setCurve(circle<double>(20, 15, 5, 30));
    snake.init();
    ASSERT_GE(snake.getGradNorm()(15, 10), 20.0);
    const Vector<double> right{1, 0};
    double fx = 0, fy = 0;
    int d = 0;
    // On the edge: no force.
    snake.computeForce(Vector<double>{10.5, 15.5}, right, fx, fy, d);
    EXPECT_EQ(fx, 0.0);
    EXPECT_EQ(d, 0);
    // Three pixels right of it, searching to the right: the edge behind wins.
    snake.computeForce(Vector<double>{13.5, 15.5}, right, fx, fy, d);
    EXPECT_EQ(fx, -0.5);
    EXPECT_EQ(d, 3);
    // Left of it, searching to the right: forward.
    snake.computeForce(Vector<double>{7.5, 15.5}, right, fx, fy, d);
    EXPECT_EQ(fx, 0.5);
    EXPECT_EQ(d, 3);
    // Leaving the image forward and finding nothing behind within distance.
    SnakeConfig near;
    near.setDistance(5);
    snake.setConfig(near, false);
    snake.computeForce(Vector<double>{37.5, 15.5}, right, fx, fy, d);
    EXPECT_EQ(fx, 0.0);
    EXPECT_EQ(d, 5);
}

TEST(Snake, MembraneStepKeepsTheCentreAndShrinksACircle)
{
    // With no image forces the implicit step is a discrete heat flow: the
    // centre stays, the radius shrinks, and the system solved is the one
    // stated (checked by multiplying back).
    PixelMatrix<double> flat(60, 60);
    flat.fill(0.0);
    Snake<double, double> snake;
    snake.setPixelMatrix(flat);
    snake.setCurve(circle<double>(30, 30, 15, 94));
    snake.init();
    const Curve<double> before = snake.getCurve();
    snake.computeForces();
    snake.computeRegularizations();
    snake.computeNewPositions();
    const Curve<double>& after = snake.getCurve();
    const int n = after.getNumVertices();
    double cx = 0, cy = 0;
    for (int k = 0; k < n; ++k) {
        const double r = 1.0; // regMax
        for (int c = 0; c < 2; ++c) {
            const double lhs = (1 + 2 * r) * after[k][c] - r * after[(k + n - 1) % n][c] - r * after[(k + 1) % n][c];
            ASSERT_NEAR(lhs, before[k][c], 1e-9);
        }
        cx += after[k][0] / n;
        cy += after[k][1] / n;
    }
    EXPECT_NEAR(cx, 30.0, 1e-6);
    EXPECT_NEAR(cy, 30.0, 1e-6);
    EXPECT_LT(std::hypot(after[0][0] - 30, after[0][1] - 30), 15.0);
}

TEST(SnakeDriver, IterationLimitsAndConfiguration)
{
    // Nothing to find: the contour keeps shrinking and never converges.
    PixelMatrix<float> flat(100, 80);
    flat.fill(0.0f);
    Snake<float, float> snake;
    snake.setPixelMatrix(flat);
    snake.setCurve(circle<float>(40, 50, 35, 50));
    snake.init();
    SnakeDriver<float, float> driver;
    Recorder recorder;
    driver.addMonitor(recorder);
    EXPECT_FALSE(driver.run(snake, -1));
    EXPECT_LE(recorder.steps, 180u);
    EXPECT_EQ(recorder.finished, "The snake has not converged");

    Recorder none;
    SnakeDriver<float, float> idle;
    idle.addMonitor(none);
    EXPECT_FALSE(idle.run(snake, 0));
    EXPECT_EQ(none.steps, 0u);
    EXPECT_EQ(none.finished, "The snake has not converged");

    SnakeConfig config;
    config.setRegMax(0.503f);
    config.setAlpha(1.985f);
    driver.updateConfig(config);
    EXPECT_FLOAT_EQ(config.getRegMax(), 0.503f * 0.995f);
    EXPECT_FLOAT_EQ(config.getRegMin(), 0.5f * 0.995f);
    EXPECT_FLOAT_EQ(config.getAlpha(), 1.985f / 0.995f);
    driver.updateConfig(config);
    EXPECT_FLOAT_EQ(config.getRegMax(), 0.503f * 0.995f); // would fall below 0.5
    EXPECT_FLOAT_EQ(config.getAlpha(), 1.985f / 0.995f);  // would pass 2

    std::ostringstream text;
    SnakeConfig().print("Snake", text);
    EXPECT_EQ(text.str(), "Snake\nAlpha = 1\nReg min = 0.5\nReg max = 1\nDistance = 100\nGrad Threshold = 20\n");
}

// A contour that no longer moves: the first test compares its window with
// zeros and fails, the second finds equal windows, at step 100.
TEST(SnakeDriver, StillContourConvergesAtStepOneHundred)
{
    PixelMatrix<double> flat(60, 60);
    flat.fill(5.0);
    SnakeConfig config;
    config.setRegMax(0.0f); // no membrane; no edges, so no forces either
    config.setDistance(10);
    Snake<double, double> snake(config);
    snake.setPixelMatrix(flat);
    snake.setCurve(circle<double>(30, 30, 12, 75));
    snake.init();
    SnakeDriver<double, double> driver;
    Recorder recorder;
    driver.addMonitor(recorder);
    EXPECT_TRUE(driver.run(snake, 1000));
    EXPECT_EQ(recorder.steps, 100u);
    EXPECT_EQ(recorder.finished, "The snake has converged");
}

// Cancelling from the monitor stops the run at once.
class Canceller : public ProgressMonitor {
protected:
    void subjectProgressed(unsigned int i, unsigned int) override
    {
        if (i == 3)
            currentSubject()->cancel();
    }
};

TEST(SnakeDriver, CancellationStopsTheRun)
{
    const PixelMatrix<float> image = disc<float>();
    Snake<float, float> snake;
    snake.setPixelMatrix(image);
    snake.setCurve(circle<float>(50, 45, 30, 40));
    snake.init();
    SnakeDriver<float, float> driver;
    Canceller canceller;
    Recorder recorder;
    driver.addMonitor(canceller);
    driver.addMonitor(recorder);
    EXPECT_FALSE(driver.run(snake, 500));
    EXPECT_EQ(recorder.steps, 3u);
    EXPECT_EQ(recorder.finished, "");
}

} // namespace
