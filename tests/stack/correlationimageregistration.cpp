#include "stack/correlationimageregistration.h"

#include "image/image.h"
#include "image/imagereader.h"
#include "image/imagesourcefile.h"
#include "numerics/progressmonitor.h"
#include "stack/principalaxesimageregistration.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

const double pi = 3.141592653589793;

// A section of the sample specimen, as grey levels.
PixelMatrix<double> sampleSection(int k)
{
    char name[32];
    std::snprintf(name, sizeof name, "/data/sample/images/slice%02d.tif", k);
    Image image;
    ImageReader().read(image, ImageSourceFile(std::string(PLEXAN_SOURCE_DIR) + name));
    PixelMatrix<double> grey;
    grey.convertFromImage(image);
    return grey;
}

// Keys' cubic convolution kernel.
double cubic(double x)
{
    x = std::fabs(x);
    if (x < 1)
        return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2)
        return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
}

// The image seen through a rigid move: pixel p of the result shows what the
// image shows at R(a) (p - c) + c + t (c the image centre, R as the
// registration's: a positive angle turns clockwise as displayed), by cubic
// convolution; `outside` beyond the image.
PixelMatrix<double> moved(const PixelMatrix<double>& image, double degrees, double ti, double tj, double outside)
{
    const int n1 = image.getSize1(), n2 = image.getSize2();
    const double a = degrees * pi / 180, c = std::cos(a), s = std::sin(a);
    PixelMatrix<double> out(n1, n2);
    for (int i = 0; i < n1; ++i)
        for (int j = 0; j < n2; ++j) {
            const double di = i - n1 / 2.0, dj = j - n2 / 2.0;
            const double qi = c * di + s * dj + n1 / 2.0 + ti;
            const double qj = -s * di + c * dj + n2 / 2.0 + tj;
            const int i0 = static_cast<int>(std::floor(qi)), j0 = static_cast<int>(std::floor(qj));
            double v = 0;
            for (int u = -1; u <= 2; ++u)
                for (int w = -1; w <= 2; ++w) {
                    const int ii = i0 + u, jj = j0 + w;
                    const bool inside = ii >= 0 && jj >= 0 && ii < n1 && jj < n2;
                    v += (inside ? image(ii, jj) : outside) * cubic(qi - ii) * cubic(qj - jj);
                }
            out(i, j) = v;
        }
    return out;
}

void addNoise(PixelMatrix<double>& m, double sigma, std::mt19937& random)
{
    std::normal_distribution<double> noise(0.0, sigma);
    for (int i = 0; i < m.getSize1(); ++i)
        for (int j = 0; j < m.getSize2(); ++j)
            m(i, j) += noise(random);
}

// A rigid move: angle (degrees) and translation (i, j).
struct Move {
    double angle, ti, tj;
};

// Copies k and k - 1 show the image through moves m1 and m0: copy 1's pixel
// p shows image point M1(p) = R(a1)(p - c) + c + t1, which copy 0 shows at
// M0^-1(M1(p)) = R(a1 - a0)(p - c) + c + R(-a0)(t1 - t0).
Move relative(const Move& m0, const Move& m1)
{
    const double a = -m0.angle * pi / 180, c = std::cos(a), s = std::sin(a);
    const double di = m1.ti - m0.ti, dj = m1.tj - m0.tj;
    return {m1.angle - m0.angle, c * di + s * dj, -s * di + c * dj};
}

double angleDifference(double a, double b)
{
    return std::remainder(a - b, 360.0);
}

void expectMove(const CorrelationImageRegistration& r, const Move& expected, double degrees, double pixels,
                const std::string& what)
{
    EXPECT_NEAR(angleDifference(r.getAngle(), expected.angle), 0.0, degrees) << what;
    EXPECT_NEAR(r.translation()[0], expected.ti, pixels) << what;
    EXPECT_NEAR(r.translation()[1], expected.tj, pixels) << what;
    // The rotation matrix is the angle's.
    EXPECT_NEAR(std::atan2(r.rotation()(0, 1), r.rotation()(0, 0)) * 180 / pi, r.getAngle(), 1e-9) << what;
    EXPECT_NEAR(r.rotation()(1, 0), -r.rotation()(0, 1), 1e-12) << what;
}

// The NCC of source and target over the source pixels p (in the mask) whose
// image q = R(p - c) + c + t under a quarter turn (k of them) and a whole
// shift lands on a target pixel; both images of one even size, so that q is
// a pixel.
double bruteForceNcc(const PixelMatrix<double>& source, const PixelMatrix<double>& target, int quarterTurns, int ti,
                     int tj, const PixelMatrix<bool>* mask)
{
    const int n = source.getSize1();
    double count = 0, s = 0, w = 0, ss = 0, ww = 0, sw = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (mask && !(*mask)(i, j))
                continue;
            int di = i - n / 2, dj = j - n / 2;
            for (int q = 0; q < quarterTurns; ++q) {  // R(90): (di, dj) -> (dj, -di)
                const int t = di;
                di = dj;
                dj = -t;
            }
            const int qi = di + n / 2 + ti, qj = dj + n / 2 + tj;
            if (qi < 0 || qj < 0 || qi >= n || qj >= n)
                continue;
            const double a = source(i, j), b = target(qi, qj);
            count += 1;
            s += a;
            w += b;
            ss += a * a;
            ww += b * b;
            sw += a * b;
        }
    return (sw - s * w / count) / std::sqrt((ss - s * s / count) * (ww - w * w / count));
}

class Recorder : public ProgressMonitor {
public:
    std::vector<std::string> events;
    bool cancelAtFirstProgress = false;

protected:
    void subjectStarted(const std::string& text) override { events.push_back("started " + text); }
    void subjectFinished(const std::string&) override { events.push_back("finished"); }
    void subjectCanceled(const std::string&) override { events.push_back("canceled"); }
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        EXPECT_LE(i, n);
        events.push_back("progressed");
        if (cancelAtFirstProgress)
            currentSubject()->cancel();
    }
};

} // namespace

// Noisy copies of one section, each seen through a known random move (some
// of them turned by up to a half turn): every pair is brought back to a
// thousandth of a degree and a hundredth of a pixel or so, and the score is
// the NCC at the answer.
TEST(CorrelationImageRegistration, RecoversKnownMovesOfNoisyCopies)
{
    const PixelMatrix<double> section = sampleSection(15);
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> small(-8.0, 8.0), shift(-12.0, 12.0), any(-180.0, 180.0);
    std::vector<Move> moves;
    for (int k = 0; k < 5; ++k)
        moves.push_back({k == 2 || k == 4 ? any(random) : small(random), shift(random), shift(random)});
    std::vector<PixelMatrix<double>> copies;
    for (const Move& m : moves) {
        copies.push_back(moved(section, m.angle, m.ti, m.tj, 1.0));
        addNoise(copies.back(), 4.0, random);
    }
    CorrelationImageRegistration r;
    for (std::size_t k = 1; k < copies.size(); ++k) {
        r.setSource(copies[k]);
        r.setTarget(copies[k - 1]);
        ASSERT_TRUE(r.run());
        const Move expected = relative(moves[k - 1], moves[k]);
        expectMove(r, expected, 0.05, 0.05, "copy " + std::to_string(k));
        EXPECT_GT(r.getCorrelation(), 0.99);
        EXPECT_EQ(r.getCorrelation(), r.correlation(r.getAngle(), r.translation()));
        EXPECT_LT(r.correlation(expected.angle + 1.0, Vector<double>{expected.ti, expected.tj}), r.getCorrelation());
    }
}

// Images of one section that are already aligned stay where they are: the
// same image, and two noisy shots of it.
TEST(CorrelationImageRegistration, AlignedImagesStayWhereTheyAre)
{
    const PixelMatrix<double> section = sampleSection(20);
    CorrelationImageRegistration r;
    r.setSource(section);
    r.setTarget(section);
    ASSERT_TRUE(r.run());
    expectMove(r, {0.0, 0.0, 0.0}, 1e-3, 1e-3, "same image");
    EXPECT_NEAR(r.getCorrelation(), 1.0, 1e-12);

    std::mt19937 random(3);
    PixelMatrix<double> one = section;
    PixelMatrix<double> two = section;
    addNoise(one, 6.0, random);
    addNoise(two, 6.0, random);
    r.setSource(one);
    r.setTarget(two);
    ASSERT_TRUE(r.run());
    expectMove(r, {0.0, 0.0, 0.0}, 0.02, 0.02, "two shots");
}

// A round section of textured tissue has no principal axis: the principal
// axes turn it anyhow, the correlation finds its turn.
TEST(CorrelationImageRegistration, TurnsRoundSectionsThatHaveNoPrincipalAxis)
{
    // Blobs in fours, a quarter turn apart, whose weights (50, 30, 20, 40)
    // give opposite quarters the same sum: the grey levels' inertia is then
    // the same along every axis, and the image has no turn of its own.
    const int n = 160;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> position(-50.0, 50.0);
    struct Blob {
        double i, j, weight;
    };
    std::vector<Blob> blobs;
    while (blobs.size() < 40) {
        const double i = position(random), j = position(random);
        if (std::hypot(i, j) < 50.0)
            for (const auto& [bi, bj, w] : {Blob{i, j, 50}, Blob{j, -i, 30}, Blob{-i, -j, 20}, Blob{-j, i, 40}})
                blobs.push_back({bi, bj, w});
    }
    PixelMatrix<double> disc(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double di = i - n / 2.0, dj = j - n / 2.0;
            double v = 10.0;
            if (std::hypot(di, dj) < 64.0) {
                v = 120.0;
                for (const Blob& b : blobs)
                    v += b.weight * std::exp(-((di - b.i) * (di - b.i) + (dj - b.j) * (dj - b.j)) / 18.0);
            }
            disc(i, j) = v;
        }
    const Move m0{0.0, 0.0, 0.0}, m1{37.0, 3.5, -2.25};
    const PixelMatrix<double> target = moved(disc, m0.angle, m0.ti, m0.tj, 10.0);
    const PixelMatrix<double> source = moved(disc, m1.angle, m1.ti, m1.tj, 10.0);

    PrincipalAxesImageRegistration<double> axes;
    axes.setSource(source);
    axes.setTarget(target);
    axes.run();
    const double axesAngle = std::atan2(axes.rotation()(0, 1), axes.rotation()(0, 0)) * 180 / pi;
    EXPECT_GT(std::fabs(angleDifference(axesAngle, m1.angle)), 5.0);

    CorrelationImageRegistration r;
    r.setSource(source);
    r.setTarget(target);
    ASSERT_TRUE(r.run());
    expectMove(r, relative(m0, m1), 0.05, 0.05, "disc");
}

// Two halves moving differently: the mask picks the half whose move is
// found. The source's pixels show the target through one move on the left
// and another on the right.
TEST(CorrelationImageRegistration, TheMaskChoosesTheRegionThatMatters)
{
    const PixelMatrix<double> target = sampleSection(16);
    const int n1 = target.getSize1(), n2 = target.getSize2();
    const Move left{3.0, 4.0, -6.0}, right{-4.0, -7.0, 5.0};
    const PixelMatrix<double> leftView = moved(target, left.angle, left.ti, left.tj, 1.0);
    const PixelMatrix<double> rightView = moved(target, right.angle, right.ti, right.tj, 1.0);
    PixelMatrix<double> source(n1, n2);
    PixelMatrix<bool> leftMask(n1, n2), rightMask(n1, n2);
    for (int i = 0; i < n1; ++i)
        for (int j = 0; j < n2; ++j) {
            source(i, j) = j < n2 / 2 ? leftView(i, j) : rightView(i, j);
            leftMask(i, j) = j < n2 / 2 - 8;
            rightMask(i, j) = j >= n2 / 2 + 8;
        }
    CorrelationImageRegistration r;
    r.setSource(source);
    r.setTarget(target);
    r.setMask(leftMask);
    ASSERT_TRUE(r.hasMask());
    ASSERT_TRUE(r.run());
    expectMove(r, left, 0.05, 0.05, "left");
    r.setMask(rightMask);
    ASSERT_TRUE(r.run());
    expectMove(r, right, 0.05, 0.05, "right");
    r.clearMask();
    EXPECT_FALSE(r.hasMask());
}

// The search keeps within the maximum rotation, but the guesses are tried
// whatever their angle.
TEST(CorrelationImageRegistration, GuessesReachBeyondTheMaximumRotation)
{
    const PixelMatrix<double> section = sampleSection(12);
    const Move m1{90.0, 2.0, -3.0};
    const PixelMatrix<double> source = moved(section, m1.angle, m1.ti, m1.tj, 1.0);
    CorrelationImageRegistration r;
    r.setSource(source);
    r.setTarget(section);
    r.setMaximumRotation(10.0);
    EXPECT_EQ(r.getMaximumRotation(), 10.0);
    ASSERT_TRUE(r.run());
    EXPECT_GT(std::fabs(angleDifference(r.getAngle(), m1.angle)), 45.0);
    r.addGuess(85.0, Vector<double>{0.0, 0.0});
    ASSERT_TRUE(r.run());
    expectMove(r, m1, 0.05, 0.05, "guess");
    r.clearGuesses();
    r.setMaximumRotation(500.0);
    EXPECT_EQ(r.getMaximumRotation(), 180.0);
}

// The score is the normalised cross-correlation of the grey levels on the
// overlap (and the mask), as a plain sum over the pixels finds it where the
// transform maps pixels onto pixels: whole shifts and quarter turns.
TEST(CorrelationImageRegistration, ScoresAreTheCorrelationOnTheOverlap)
{
    const PixelMatrix<double> source = sampleSection(8);
    const PixelMatrix<double> target = sampleSection(9);
    PixelMatrix<bool> mask(source.getSize1(), source.getSize2());
    for (int i = 0; i < mask.getSize1(); ++i)
        for (int j = 0; j < mask.getSize2(); ++j)
            mask(i, j) = (i / 16 + j / 16) % 2 == 0;
    CorrelationImageRegistration r;
    r.setSource(source);
    r.setTarget(target);
    for (int turns = 0; turns < 4; ++turns)
        for (const auto& [ti, tj] : {std::pair{0, 0}, std::pair{7, -3}, std::pair{-40, 25}}) {
            const std::string what = std::to_string(turns) + " turns, shift " + std::to_string(ti) + ", " +
                                     std::to_string(tj);
            const Vector<double> t{static_cast<double>(ti), static_cast<double>(tj)};
            EXPECT_NEAR(r.correlation(90.0 * turns, t), bruteForceNcc(source, target, turns, ti, tj, nullptr), 1e-9)
                << what;
            r.setMask(mask);
            EXPECT_NEAR(r.correlation(90.0 * turns, t), bruteForceNcc(source, target, turns, ti, tj, &mask), 1e-9)
                << what;
            r.clearMask();
        }
    // Less than a quarter of the source on the target scores -1.
    EXPECT_EQ(r.correlation(0.0, Vector<double>{200.0, 0.0}), -1.0);
    EXPECT_GT(r.correlation(0.0, Vector<double>{120.0, 0.0}), -1.0);
    EXPECT_EQ(r.getCorrelation(), -1.0);
}

TEST(CorrelationImageRegistration, ReportsProgressAndStopsWhenCancelled)
{
    const PixelMatrix<double> source = sampleSection(10);
    const PixelMatrix<double> target = sampleSection(9);
    CorrelationImageRegistration r;
    r.setSource(source);
    r.setTarget(target);
    Recorder recorder;
    r.addMonitor(recorder);
    ASSERT_TRUE(r.run());
    ASSERT_GE(recorder.events.size(), 12u);
    EXPECT_EQ(recorder.events.front(), "started Registering by correlation...");
    EXPECT_EQ(recorder.events.back(), "finished");
    const double angle = r.getAngle();
    EXPECT_GT(std::fabs(angle), 1.0);

    recorder.events.clear();
    recorder.cancelAtFirstProgress = true;
    EXPECT_FALSE(r.run());
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"started Registering by correlation...", "progressed", "canceled"}));
    EXPECT_EQ(r.getAngle(), 0.0);
    EXPECT_EQ(r.getCorrelation(), -1.0);
    EXPECT_EQ(r.translation(), (Vector<double>{0.0, 0.0}));

    // Once reset, it runs again.
    r.reset();
    recorder.cancelAtFirstProgress = false;
    ASSERT_TRUE(r.run());
    EXPECT_EQ(r.getAngle(), angle);
}

TEST(CorrelationImageRegistration, RefusesWhatCannotBeCorrelated)
{
    const char* where = "bool CorrelationImageRegistration::run()";
    CorrelationImageRegistration r;
    EXPECT_PLEXAN_THROW(r.run(), UsageError, where, "Source and target images must be set before running");
    EXPECT_PLEXAN_THROW(r.correlation(0.0, Vector<double>{0.0, 0.0}), UsageError,
                        "double CorrelationImageRegistration::correlation(double, const Vector<double>&) const",
                        "Source and target images must be set before running");

    PixelMatrix<double> image(40, 50);
    image.randomise();
    r.setSource(image);
    r.setTarget(image);
    PixelMatrix<bool> square(40, 40);
    square.fill(true);
    r.setMask(square);
    EXPECT_PLEXAN_THROW(r.run(), UsageError, where, "The mask does not have the size of the source image");
    r.clearMask();

    PixelMatrix<double> small(15, 50);
    small.randomise();
    r.setSource(small);
    EXPECT_PLEXAN_THROW(r.run(), ValueError, where,
                        "Images smaller than 16 x 16 pixels cannot be registered by correlation");

    PixelMatrix<double> flat(40, 50);
    flat.fill(7.0);
    r.setSource(flat);
    EXPECT_PLEXAN_THROW(r.run(), ValueError, where, "The source image has no contrast");
    PixelMatrix<double> patched = flat;
    patched(0, 0) = 9.0;
    PixelMatrix<bool> mask(40, 50);
    mask.fill(true);
    mask(0, 0) = false;
    r.setSource(patched);
    r.setMask(mask);
    EXPECT_PLEXAN_THROW(r.run(), ValueError, where, "The source image has no contrast in the mask");
    r.clearMask();
    r.setSource(image);
    r.setTarget(flat);
    EXPECT_PLEXAN_THROW(r.run(), ValueError, where, "The target image has no contrast");
    EXPECT_PLEXAN_THROW(r.addGuess(0.0, Vector<double>{1.0}), SizeError,
                        "void CorrelationImageRegistration::addGuess(double, const Vector<double>&)",
                        "Incompatible vector dimensions");
}
