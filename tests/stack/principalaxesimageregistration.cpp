#include "stack/principalaxesimageregistration.h"

#include "stack/stackreconstruction.h"
#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace stacktest;

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

// The registration found for a slice (the source) on the previous slice (the
// target) places both blobs at the same spot of the reconstructed stack.
TEST(PrincipalAxesImageRegistration, ResultBecomesTheSliceRegistration)
{
    const int rows = 150, columns = 180;
    const PixelMatrix<double> target = blob(rows, columns, 70, 95, 40 * pi / 180);
    const PixelMatrix<double> source = blob(rows, columns, 84, 81, 15 * pi / 180);
    PrincipalAxesImageRegistration<double> r;
    r.setSource(source);
    r.setTarget(target);
    r.run();
    const Registration g = r.toRegistration();
    EXPECT_NEAR(g.getRotationAngle(), -25.0, 1.0);
    EXPECT_EQ(g.getHorizontalShift(), int(r.translation()[1]));
    EXPECT_EQ(g.getVerticalShift(), int(r.translation()[0]));

    Stack stack;
    stack.addSlice(newSlice("target", rows, columns));
    stack.addSlice(newSlice("source", rows, columns));
    stack.getSlice(0)->setRegistration(Registration(3, -4, 12));
    stack.getSlice(1)->setRegistration(g);
    const StackReconstruction<double> reconstruction(stack);
    auto place = [&](int k, double i, double j) {
        const Vector<double>& m = reconstruction.getMaps()[k];
        return std::pair<double, double>{m[0] * j + m[1] * i + m[2], m[3] * j + m[4] * i + m[5]};
    };
    // The centres, and points 20 pixels along each long axis.
    const std::pair<double, double> pairs[][2] = {
        {place(0, 70, 95), place(1, 84, 81)},
        {place(0, 70 + 20 * std::cos(40 * pi / 180), 95 + 20 * std::sin(40 * pi / 180)),
         place(1, 84 + 20 * std::cos(15 * pi / 180), 81 + 20 * std::sin(15 * pi / 180))}};
    for (const auto& pair : pairs) {
        // Truncating the shifts moves the slice by less than a pixel.
        EXPECT_NEAR(pair[0].first, pair[1].first, 1.5);
        EXPECT_NEAR(pair[0].second, pair[1].second, 1.5);
    }
}

TEST(PrincipalAxesImageRegistration, NeedsBothImages)
{
    PrincipalAxesImageRegistration<float> r;
    EXPECT_TRUE(r.isImageCenteredRotation());
    EXPECT_PLEXAN_THROW(r.run(), UsageError, "void PrincipalAxesImageRegistration<T>::run()",
                        "Source and target images must be set before running");
    // Before a run: the identity.
    EXPECT_EQ(r.toRegistration(), Registration());
}
