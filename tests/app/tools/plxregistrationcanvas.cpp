#include "app/tools/plxregistrationcanvas.h"

#include "app/plxprogressproxy.h"
#include "app/plxworker.h"
#include "stack/stackreconstruction.h"
#include "support/qtprinters.h"
#include "toolsfixtures.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cmath>

using namespace toolstest;

namespace {

const double pi = 3.141592653589793;

// Two slices of 101 x 101 pixels shown at 201 x 201 (a desktop of 201 x 201
// at 100 %): the converter scales coordinates by 200 / 100 exactly, so
// x image pixels are 2x display pixels and display x is image
// floor(x / 2 + 0.5). The canvas is 300 x 240: the background's left column
// is at (300 - 201) / 2 = 49, its top row at (240 - 201) / 2 = 19, its
// centre at (149.5, 119.5).
struct TwoSlices {
    explicit TwoSlices(const std::function<int(int, int)>& background = [](int, int) { return 20; },
                       const std::function<int(int, int)>& foreground = [](int, int) { return 60; }, int size = 101,
                       int desktop = 201)
    {
        images.addSlice(size, size, background);
        images.addSlice(size, size, foreground);
        canvas.resize(300, 240);
        canvas.setDesktopSize(QSize(desktop, desktop));
        canvas.setScale(100);
        canvas.setSlices(images.stack->getSlice(0), images.stack->getSlice(1));
    }
    ImageStack images;
    PLXRegistrationCanvas canvas;
};

Registration emitted(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<Registration>();
}

} // namespace

// The left button moves the foreground by the mouse's displacement in
// display pixels; the shifts emitted are in image pixels. Moves keep adding
// up in display pixels, so that half-pixel steps are not lost.
TEST(PLXRegistrationCanvas, TranslationAddsTheMouseDisplacementInDisplayPixels)
{
    qRegisterMetaType<Registration>();
    TwoSlices s;
    ASSERT_EQ(s.canvas.getForegroundImage().size(), QSize(201, 201));
    QSignalSpy spy(&s.canvas, &PLXRegistrationCanvas::registrationChanged);

    press(s.canvas, QPointF(100, 100), Qt::LeftButton);
    EXPECT_EQ(s.canvas.getMouseMode(), PLXRegistrationCanvas::MouseMode::Translate);
    move(s.canvas, QPointF(107, 103), Qt::LeftButton);
    move(s.canvas, QPointF(108, 103), Qt::LeftButton);
    move(s.canvas, QPointF(100, 90), Qt::LeftButton);
    release(s.canvas, QPointF(100, 90), Qt::LeftButton);
    move(s.canvas, QPointF(150, 150), Qt::NoButton);
    ASSERT_EQ(spy.count(), 3);
    // Display (7, 3): image (floor(3.5 + 0.5), floor(1.5 + 0.5)) = (4, 2).
    EXPECT_EQ(emitted(spy, 0), Registration(4, 2, 0.0f));
    // Display (8, 3): (floor(4.5), 2) = (4, 2): emitted all the same.
    EXPECT_EQ(emitted(spy, 1), Registration(4, 2, 0.0f));
    // Display (0, -10): (0, floor(-4.5)) = (0, -5).
    EXPECT_EQ(emitted(spy, 2), Registration(0, -5, 0.0f));
    EXPECT_EQ(s.canvas.getDisplayRegistration(), Registration(0, -10, 0.0f));

    // Seven moves of one display pixel: 3.5 image pixels, shown as 4 (one
    // conversion of the sum, not seven of 0.5).
    s.canvas.setRegistration(Registration());
    press(s.canvas, QPointF(10, 10), Qt::LeftButton);
    for (int i = 1; i <= 7; ++i)
        move(s.canvas, QPointF(10 + i, 10), Qt::LeftButton);
    EXPECT_EQ(s.canvas.getRegistration(), Registration(4, 0, 0.0f));
    // Taking back what was emitted keeps the display shift.
    s.canvas.setRegistration(s.canvas.getRegistration());
    EXPECT_EQ(s.canvas.getDisplayRegistration(), Registration(7, 0, 0.0f));
    // Another registration is shown at its own place: 2 x 5 display pixels.
    s.canvas.setRegistration(Registration(5, -3, 12.5f));
    EXPECT_EQ(s.canvas.getDisplayRegistration(), Registration(10, -6, 12.5f));
}

// The right button turns the foreground about its own centre (the
// background's centre displaced by the shifts). The angle is the turn of the
// mouse about that centre added to the registration's angle, floored to a
// tenth of a degree; moves that leave it in the same tenth emit nothing.
TEST(PLXRegistrationCanvas, RotationFloorsToTenthsAndStaysQuietWithinOne)
{
    qRegisterMetaType<Registration>();
    TwoSlices s;
    s.canvas.setRegistration(Registration(10, -5, 0.0f));
    // Display shift (20, -10): the centre is (149.5 + 20, 119.5 - 10).
    const QPointF centre(169.5, 109.5);
    QSignalSpy spy(&s.canvas, &PLXRegistrationCanvas::registrationChanged);
    const auto at = [&](double x, double y) { return centre + QPointF(x, y); };
    const auto degrees = [](double x, double y) { return std::atan2(y, x) * 180 / pi; };

    press(s.canvas, at(200.5, 0.5), Qt::RightButton);
    EXPECT_EQ(s.canvas.getMouseMode(), PLXRegistrationCanvas::MouseMode::Rotate);
    move(s.canvas, at(173.5, 100.5), Qt::RightButton);
    // 29.94 degrees: 29.9.
    double turn = degrees(173.5, 100.5) - degrees(200.5, 0.5);
    EXPECT_NEAR(turn, 29.94, 0.005);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(emitted(spy, 0), Registration(10, -5, 29.9f));
    EXPECT_NEAR(s.canvas.getContinuousAngle(), turn, 1e-9);

    // Straight outward: no turn. One pixel across at three times the
    // distance: 0.05 degree more, 29.99, still 29.9.
    move(s.canvas, at(520.5, 301.5), Qt::RightButton);
    move(s.canvas, at(519.5, 301.5), Qt::RightButton);
    EXPECT_EQ(spy.count(), 1);
    turn += degrees(519.5, 301.5) - degrees(520.5, 301.5);
    EXPECT_NEAR(turn, 29.99, 0.005);
    // 30.02: 30.0.
    move(s.canvas, at(520.5, 302.5), Qt::RightButton);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_FLOAT_EQ(emitted(spy, 1).getRotationAngle(), 30.0f);
    EXPECT_EQ(emitted(spy, 1).getHorizontalShift(), 10);
    release(s.canvas, at(520.5, 302.5), Qt::RightButton);

    // Turning about the canvas's centre instead would have given another
    // angle: from the background's centre the same moves turn by 27.5
    // degrees or so.
    EXPECT_GT(std::abs(degrees(173.5 + 20, 100.5 - 10) - degrees(200.5 + 20, 0.5 - 10) - 29.94), 1.0);
}

// A turn across the 0/360 boundary keeps the angle in [0, 360), both ways.
TEST(PLXRegistrationCanvas, RotationAcrossZeroStaysWithinOneTurn)
{
    qRegisterMetaType<Registration>();
    TwoSlices s;
    const QPointF centre(149.5, 119.5);
    const auto at = [&](double x, double y) { return centre + QPointF(x, y); };
    QSignalSpy spy(&s.canvas, &PLXRegistrationCanvas::registrationChanged);

    press(s.canvas, at(200.5, 0.5), Qt::RightButton);
    // -5.98 degrees: 354.02, shown 354.0.
    move(s.canvas, at(200.5, -20.5), Qt::RightButton);
    // +11.68: 5.69, shown 5.6.
    move(s.canvas, at(200.5, 20.5), Qt::RightButton);
    // Half a turn and more, in steps across the far side: -185.69 in all,
    // 179.9 or so.
    move(s.canvas, at(-0.5, 200.5), Qt::RightButton);
    move(s.canvas, at(-200.5, 0.5), Qt::RightButton);
    move(s.canvas, at(-0.5, -200.5), Qt::RightButton);
    move(s.canvas, at(200.5, 0.5), Qt::RightButton);
    ASSERT_EQ(spy.count(), 6);
    EXPECT_FLOAT_EQ(emitted(spy, 0).getRotationAngle(), 354.0f);
    EXPECT_FLOAT_EQ(emitted(spy, 1).getRotationAngle(), 5.6f);
    for (int i = 0; i < spy.count(); ++i) {
        const float a = emitted(spy, i).getRotationAngle();
        EXPECT_GE(a, 0.0f);
        EXPECT_LT(a, 360.0f);
    }
    // Back where the drag began: a whole turn, the angle of the start.
    const double end = s.canvas.getContinuousAngle();
    EXPECT_LT(std::min(end, 360.0 - end), 1e-9);
    EXPECT_FLOAT_EQ(emitted(spy, 5).getRotationAngle(), 0.0f);
}

// "Bigger" and "Smaller" step by 10 points between 10 and 100; the maximum
// display size follows the desktop's size, and the registration stays where
// it is in image pixels.
TEST(PLXRegistrationCanvas, ScaleStepsByTenBetweenTenAndOneHundred)
{
    ImageStack images;
    images.addSlice(101, 101, [](int, int) { return 0; });
    images.addSlice(101, 101, [](int, int) { return 0; });
    PLXRegistrationCanvas canvas;
    canvas.setDesktopSize(QSize(320, 256));
    EXPECT_EQ(canvas.getScale(), 80);
    EXPECT_EQ(canvas.getMaximumDisplaySize(), QSize(256, 205));  // 204.8
    canvas.setSlices(images.stack->getSlice(0), images.stack->getSlice(1));
    canvas.setRegistration(Registration(6, -4, 3.5f));
    const Registration before = canvas.getDisplayRegistration();

    EXPECT_TRUE(canvas.increaseScale());
    EXPECT_EQ(canvas.getScale(), 90);
    EXPECT_EQ(canvas.getMaximumDisplaySize(), QSize(288, 230));  // 230.4
    EXPECT_TRUE(canvas.increaseScale());
    EXPECT_EQ(canvas.getScale(), 100);
    EXPECT_FALSE(canvas.increaseScale());
    EXPECT_EQ(canvas.getScale(), 100);
    EXPECT_EQ(canvas.getMaximumDisplaySize(), QSize(320, 256));
    // Square images fit the height: 256 display pixels for 101.
    EXPECT_EQ(canvas.getForegroundImage().size(), QSize(256, 256));
    EXPECT_EQ(canvas.getRegistration(), Registration(6, -4, 3.5f));
    // 6 x 255 / 100 = 15.3: 15 display pixels; -4 x 2.55 = -10.2: -10.
    EXPECT_EQ(canvas.getDisplayRegistration(), Registration(15, -10, 3.5f));
    EXPECT_NE(canvas.getDisplayRegistration(), before);

    int steps = 0;
    while (canvas.decreaseScale())
        ++steps;
    EXPECT_EQ(steps, 9);
    EXPECT_EQ(canvas.getScale(), 10);
    EXPECT_EQ(canvas.getMaximumDisplaySize(), QSize(32, 26));  // 25.6
    EXPECT_EQ(canvas.getRegistration(), Registration(6, -4, 3.5f));
}

// Both images are shown at one physical scale, as large as fits: a slice of
// 100 x 50 pixels of 1 um beside one of 50 x 50 pixels of 2 um, on 200 x 200
// display pixels, are 200 x 100 and 200 x 200 display pixels. The stages are
// reported in order, background first.
TEST(PLXRegistrationCanvas, DisplayImagesShareOnePhysicalScale)
{
    ImageStack images;
    images.addSlice(100, 50, [](int x, int) { return x; }, 1.0f);
    images.addSlice(50, 50, [](int, int y) { return y; }, 2.0f);
    PLXRegistrationCanvas canvas;
    canvas.setDesktopSize(QSize(200, 200));
    canvas.setScale(100);
    QSignalSpy stages(&canvas.getWorker().getProgress(), qOverload<const QString&>(&PLXProgressProxy::progressed));
    canvas.setSlices(images.stack->getSlice(0), images.stack->getSlice(1));
    EXPECT_EQ(canvas.getBackgroundImage().size(), QSize(200, 100));
    EXPECT_EQ(canvas.getForegroundImage().size(), QSize(200, 200));
    // Corners stay in place: the last column of the background is level 99.
    EXPECT_EQ(qGray(canvas.getBackgroundImage().pixel(199, 50)), 99);
    EXPECT_EQ(qGray(canvas.getForegroundImage().pixel(100, 199)), 49);
    QStringList texts;
    for (const QList<QVariant>& signal : stages)
        texts << signal.at(0).toString();
    EXPECT_EQ(texts, QStringList({"Loading background slice image...", "Low-pass filtering background slice image...",
                                  "Resizing background slice image...", "Loading foreground slice image...",
                                  "Low-pass filtering foreground slice image...",
                                  "Resizing foreground slice image..."}));
    // The converter takes the foreground's image pixels to its display pixels.
    EXPECT_EQ(canvas.getConverter().getWorldWidth(), 200);
    EXPECT_EQ(canvas.getConverter().getModelWidth(), 50);
}

// A reduced image is low-pass filtered first: a one-pixel checkerboard shown
// at a quarter of its size is an even grey, not a pattern of whatever pixels
// the samples hit.
TEST(PLXRegistrationCanvas, ReducedImagesAreSmoothedFirst)
{
    ImageStack images;
    const auto checker = [](int x, int y) { return (x + y) % 2 ? 255 : 0; };
    images.addSlice(400, 400, checker);
    images.addSlice(400, 400, checker);
    PLXRegistrationCanvas canvas;
    canvas.setDesktopSize(QSize(100, 100));
    canvas.setScale(100);
    canvas.setSlices(images.stack->getSlice(0), images.stack->getSlice(1));
    const QImage& shown = canvas.getForegroundImage();
    ASSERT_EQ(shown.size(), QSize(100, 100));
    for (int y = 2; y < 98; ++y)
        for (int x = 2; x < 98; ++x)
            ASSERT_NEAR(qGray(shown.pixel(x, y)), 127, 12) << x << "," << y;
    // Without the filter the same samples give the pattern back.
    const QImage raw = PLXRegistrationCanvas::displayImage(
        [&] {
            Image image(400, 400, 8);
            for (int y = 0; y < 400; ++y)
                for (int x = 0; x < 400; ++x)
                    image.getRow(y)[x] = static_cast<unsigned char>(checker(x, y));
            return image;
        }(),
        QSize(100, 100), 0);
    int far = 0;
    for (int y = 2; y < 98; ++y)
        for (int x = 2; x < 98; ++x)
            far += std::abs(qGray(raw.pixel(x, y)) - 127) > 40;
    EXPECT_GT(far, 1000);
}

// Where only the background, only the foreground or both show, the pixel is
// the mode's combination of the two levels (0 outside an image).
TEST(PLXRegistrationCanvas, TransparencyModesCombineTheTwoLevels)
{
    TwoSlices s;  // background 20, foreground 60
    // The foreground 60 display pixels to the right: the background alone
    // from x = 49 to 108, both to 249, the foreground alone from 250.
    s.canvas.setRegistration(Registration(30, 0, 0.0f));
    struct Case {
        ImageTransparencyMode mode;
        int background, foreground, both;
    };
    const Case cases[] = {
        {ImageTransparencyMode::Addition, 10, 30, 40},      // (b + f) / 2
        {ImageTransparencyMode::Subtraction, 20, 60, 40},   // |f - b|
        {ImageTransparencyMode::Multiplication, 0, 0, 4},   // 1200 / 256
        {ImageTransparencyMode::Minimum, 0, 0, 20},
        {ImageTransparencyMode::Maximum, 20, 60, 60},
    };
    for (const Case& c : cases) {
        s.canvas.setTransparencyMode(c.mode);
        const QImage shown = s.canvas.composedImage();
        EXPECT_EQ(qGray(shown.pixel(60, 120)), c.background) << int(c.mode);
        EXPECT_EQ(qGray(shown.pixel(280, 120)), c.foreground) << int(c.mode);
        EXPECT_EQ(qGray(shown.pixel(150, 120)), c.both) << int(c.mode);
        EXPECT_EQ(qGray(shown.pixel(150, 5)), 0) << int(c.mode);
    }
    // The ends of the range, and integer arithmetic throughout.
    using M = ImageTransparencyMode;
    EXPECT_EQ(PLXRegistrationCanvas::transparency(M::Addition, 255, 255), 255);
    EXPECT_EQ(PLXRegistrationCanvas::transparency(M::Addition, 0, 255), 127);
    EXPECT_EQ(PLXRegistrationCanvas::transparency(M::Subtraction, 0, 255), 255);
    EXPECT_EQ(PLXRegistrationCanvas::transparency(M::Subtraction, 255, 0), 255);
    EXPECT_EQ(PLXRegistrationCanvas::transparency(M::Multiplication, 255, 255), 254);
    EXPECT_EQ(PLXRegistrationCanvas::transparency(M::Multiplication, 128, 128), 64);
    EXPECT_EQ(PLXRegistrationCanvas::transparency(M::Multiplication, 1, 255), 0);
    // The table holds the same, row b, column f.
    s.canvas.setTransparencyMode(M::Subtraction);
    EXPECT_EQ(s.canvas.getTransparencyMap()[7 * 256 + 200], 193);
    EXPECT_EQ(s.canvas.getTransparencyMap()[200 * 256 + 7], 193);
}

// The canvas shows the foreground where the stack reconstruction puts it
// over the previous slice: a bright block of the foreground, turned and
// shifted, lands where the reconstruction maps it into the background.
TEST(PLXRegistrationCanvas, ForegroundShowsWhereTheReconstructionPlacesIt)
{
    // 101 x 101 images on a 101 x 101 desktop: one display pixel per image
    // pixel; the background's origin in the canvas is at (99, 69).
    const auto block = [](int x, int y) { return std::abs(x - 80) <= 2 && std::abs(y - 30) <= 2 ? 200 : 0; };
    TwoSlices s([](int, int) { return 0; }, block, 101, 101);
    ASSERT_EQ(s.canvas.getForegroundImage().size(), QSize(101, 101));
    s.canvas.setTransparencyMode(ImageTransparencyMode::Maximum);
    const QPoint origin((300 - 101) / 2, (240 - 101) / 2);

    for (const Registration& r : {Registration(7, -4, 90.0f), Registration(-12, 9, 30.0f), Registration(0, 0, 200.0f)}) {
        s.images.stack->getSlice(1)->setRegistration(r);
        const StackReconstruction<double> reconstruction(*s.images.stack);
        const Matrix<double>& m = reconstruction.getMaps();
        // The block's centre in the stack frame, then in the background's pixels.
        const double X = m(1, 0) * 80 + m(1, 1) * 30 + m(1, 2);
        const double Y = m(1, 3) * 80 + m(1, 4) * 30 + m(1, 5);
        const double x = (X - m(0, 2)) / m(0, 0);
        const double y = (Y - m(0, 5)) / m(0, 4);
        s.canvas.setRegistration(r);
        const QImage shown = s.canvas.composedImage();
        const QPoint at = origin + QPoint(int(std::lround(x)), int(std::lround(y)));
        EXPECT_EQ(qGray(shown.pixel(at)), 200) << r << " at " << at.x() << "," << at.y();
        // Nothing is left at the unregistered place.
        EXPECT_EQ(qGray(shown.pixel(origin + QPoint(80, 30))), 0) << r;
    }
}
