#include "stack/principalaxesimageregistration.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double pi = 3.141592653589793;

// An elongated Gaussian blob centred at (ci, cj) whose long axis points along
// (cos a, sin a) in (i, j).
PixelMatrix<double> blob(int rows, int columns, double ci, double cj, double a)
{
    PixelMatrix<double> m(rows, columns);
    const double c = std::cos(a), s = std::sin(a);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const double u = (i - ci) * c + (j - cj) * s;
            const double v = -(i - ci) * s + (j - cj) * c;
            m(i, j) = 200.0 * std::exp(-(u * u) / (2 * 18.0 * 18.0) - (v * v) / (2 * 5.0 * 5.0));
        }
    return m;
}

struct Case {
    double targetAngle; // degrees
    double turn;        // degrees, source to target
    double ti, tj;      // translation, (i, j)
};

} // namespace

TEST(PrincipalAxesImageRegistration, RecoversAKnownRigidTransform)
{
    const int rows = 160, columns = 200;
    const double ci = rows / 2.0, cj = columns / 2.0;
    for (const Case& k : {Case{50, 20, 6, -9}, Case{30, -15, -12.5, 4}, Case{70, 35, 0, 0}}) {
        // The target blob, and the source blob that the transform
        // x -> R (x - c) + c + t carries onto it.
        const double d = k.turn * pi / 180;
        const double ti = 88, tj = 93;
        const double ri = ti - ci - k.ti, rj = tj - cj - k.tj;
        const double si = std::cos(d) * ri + std::sin(d) * rj + ci;
        const double sj = -std::sin(d) * ri + std::cos(d) * rj + cj;
        const PixelMatrix<double> target = blob(rows, columns, ti, tj, k.targetAngle * pi / 180);
        const PixelMatrix<double> source = blob(rows, columns, si, sj, (k.targetAngle - k.turn) * pi / 180);

        PrincipalAxesImageRegistration<double> r;
        r.setSource(source);
        r.setTarget(target);
        r.run();
        // The slice registration turns the other way, shifts in (x, y).
        EXPECT_NEAR(r.toRegistration().getRotationAngle(), -k.turn, 1.0);
        EXPECT_EQ(r.toRegistration().getVerticalShift(), int(r.translation()[0]));
        const Matrix<double>& rotation = r.rotation();
        EXPECT_NEAR(std::atan2(rotation(1, 0), rotation(0, 0)) * 180 / pi, k.turn, 1.0);
        EXPECT_NEAR(r.translation()[0], k.ti, 1.0);
        EXPECT_NEAR(r.translation()[1], k.tj, 1.0);

        // Without image-centred rotation the translation joins the centroids.
        r.setImageCenteredRotation(false);
        r.run();
        EXPECT_NEAR(r.translation()[0], ti - si, 0.5);
        EXPECT_NEAR(r.translation()[1], tj - sj, 0.5);
    }
}

TEST(PrincipalAxesImageRegistration, NeedsBothImages)
{
    PrincipalAxesImageRegistration<float> r;
    EXPECT_PLEXAN_THROW(r.run(), UsageError, "void PrincipalAxesImageRegistration<T>::run()",
                        "Source and target images must be set before running");
    // Before a run: the identity.
    EXPECT_EQ(r.toRegistration(), Registration());
}
