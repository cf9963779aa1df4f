#include "stack/calibrationcurve.h"

#include "image/pixelmatrix.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <random>

namespace {

StandardSample sample(int x1, int y1, int x2, int y2, double known)
{
    StandardSample s;
    s.setRegion(BoundingBox<int>(Vector<int>{x1, y1}, Vector<int>{x2, y2}));
    s.setKnownValue(known);
    return s;
}

} // namespace

TEST(CalibrationCurve, FitsReproducePolynomialsOfTheirDegree)
{
    std::mt19937 rng(53);
    std::uniform_real_distribution<double> coefficient(-2.0, 2.0), level(0.0, 65535.0);
    for (CalibrationCurve::FitType type :
         {CalibrationCurve::Linear, CalibrationCurve::Polynomial2, CalibrationCurve::Polynomial3}) {
        const int degree = int(type) + 1;
        for (int run = 0; run < 10; ++run) {
            // A polynomial in the grey level scaled to [0, 1].
            std::vector<double> c(degree + 1);
            for (double& x : c)
                x = coefficient(rng);
            auto f = [&](double x) {
                double y = 0;
                for (int d = degree; d >= 0; --d)
                    y = y * (x / 65535.0) + c[d];
                return y;
            };
            CalibrationCurve curve;
            curve.setFitType(type);
            for (int k = 0; k < 8; ++k) {
                StandardSample& s = curve.addSample(StandardSample());
                const double x = level(rng);
                s.setMeasuredValue(x);
                s.setKnownValue(f(x));
            }
            for (double x : {0.0, 1000.0, 30000.0, 65535.0})
                EXPECT_NEAR(curve.eval(x), f(x), 1e-8);
        }
    }
}

TEST(CalibrationCurve, LeastSquaresLineThroughNoisySamples)
{
    // Known values 1, 2, 4 at grey levels 0, 1, 2: the least-squares line is
    // 5/6 + 3/2 x (normal equations of the three points).
    CalibrationCurve curve("wedge");
    for (auto [x, y] : {std::pair{0.0, 1.0}, {1.0, 2.0}, {2.0, 4.0}})
        curve.addSample(sample(0, 0, 0, 0, y)).setMeasuredValue(x);
    EXPECT_NEAR(curve.eval(0.0), 5.0 / 6.0, 1e-12);
    EXPECT_NEAR(curve.eval(3.0), 5.0 / 6.0 + 4.5, 1e-12);
    // A cubic asked of two distinct levels falls back to the line through them.
    CalibrationCurve two;
    two.setFitType(CalibrationCurve::Polynomial3);
    for (auto [x, y] : {std::pair{10.0, 1.0}, {10.0, 3.0}, {20.0, 5.0}})
        two.addSample(sample(0, 0, 0, 0, y)).setMeasuredValue(x);
    EXPECT_EQ(two.getCoefficients().size(), 2u);
    EXPECT_NEAR(two.eval(15.0), 3.5, 1e-12);
}

TEST(CalibrationCurve, MeasuresSampleRegionsOnTheImage)
{
    PixelMatrix<double> image(20, 30);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            image(y, x) = x + 100.0 * y;
    CalibrationCurve curve;
    curve.addSample(sample(2, 3, 4, 5, 0.0));      // mean x 3, mean y 4
    curve.addSample(sample(28, 18, 40, 40, 0.0));  // clipped to x 28..29, y 18..19
    curve.addSample(sample(50, 50, 60, 60, 0.0));  // outside
    curve.measure(image);
    EXPECT_DOUBLE_EQ(curve.getSample(0).getMeasuredValue(), 403.0);
    EXPECT_DOUBLE_EQ(curve.getSample(1).getMeasuredValue(), 28.5 + 1850.0);
    EXPECT_FALSE(curve.getSample(2).isMeasured());

    CalibrationCurve empty;
    EXPECT_PLEXAN_THROW(empty.eval(1.0), UsageError, "void CalibrationCurve::fit() const",
                        "The calibration curve has no measured sample");
    CalibrationCurve::FitType type = CalibrationCurve::Linear;
    EXPECT_FALSE(CalibrationCurve::toFitType("polynomial2", type));
}
