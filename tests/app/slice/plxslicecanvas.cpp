// The slice canvas and the slice view: items in their models' styles over the
// image, the grey-level window, the image copy chosen for the zoom, position
// conversions, fitting, zooming about a point, and the editor's overlays.

#include "app/slice/plxdisplayimage.h"
#include "app/slice/plximageproxy.h"
#include "app/slice/plxslicecanvas.h"
#include "app/slice/plxsliceeditwidget.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "slicefixtures.h"
#include "stack/stackreader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QScrollArea>
#include <QSignalSpy>

#include <algorithm>
#include <cmath>

using namespace slicefixtures;

namespace {

QRgb grey(int v)
{
    return qRgb(v, v, v);
}

class SliceCanvasTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // Shows the slice and waits for its image.
    static void show(PLXSliceCanvas& canvas, StackSlice* slice)
    {
        canvas.setSlice(slice);
        canvas.show();
        ASSERT_TRUE(waitFor([&] {
            canvas.repaint();
            return canvas.getShownImage() && canvas.getImageProxy().isLoaded();
        }));
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SliceCanvasTest, ItemsAreDrawnInTheirStylesOverTheImage)
{
    TestStack t(m_dir, 1, 120, 90);
    StackSlice* slice = t.stack.getSlice(0);
    Model* organ = t.addModel("organ", MPrimitive::Polygon, 255, 0, 0);
    Model* duct = t.addModel("duct", MPrimitive::Polyline, 0, 255, 0);
    duct->getItemProperties().setLineWidth(3);
    Model* nuclei = t.addModel("nuclei", MPrimitive::Polypoint, 0, 0, 255);
    nuclei->getItemProperties().setVertexSymbol(VertexSymbol::Cube);
    nuclei->getItemProperties().setFilled(true);
    nuclei->getItemProperties().setPointSize(2);
    ModelItem* square = TestStack::addItem(organ, slice, {{20, 20}, {60, 20}, {60, 50}, {20, 50}});
    ModelItem* own = TestStack::addItem(organ, slice, {{80, 60}, {100, 60}, {100, 70}});
    own->getProperties().setColor(255, 255, 0); // the item's own colour wins
    TestStack::addItem(duct, slice, {{10, 80}, {100, 80}});
    TestStack::addItem(nuclei, slice, {{90, 30}});
    square->getSelection().set(true, 2, true);

    PLXSliceCanvas canvas;
    show(canvas, slice);
    ASSERT_EQ(canvas.size(), QSize(120, 90));
    const QImage shot = canvas.grab().toImage();

    for (const QPoint& p : {QPoint(20, 20), QPoint(40, 20), QPoint(20, 35), QPoint(60, 30), QPoint(35, 50)})
        EXPECT_EQ(shot.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();
    EXPECT_EQ(shot.pixel(90, 60), qRgb(255, 255, 0));
    for (int y : {79, 80, 81})
        EXPECT_EQ(shot.pixel(55, y), qRgb(0, 255, 0)) << "line width 3, row " << y;
    EXPECT_EQ(shot.pixel(55, 83), grey(level(55, 83)));
    for (const QPoint& p : {QPoint(90, 30), QPoint(89, 29), QPoint(91, 31)})
        EXPECT_EQ(shot.pixel(p), qRgb(0, 0, 255));
    // The selected vertex (60, 50): a square of the item's colour, bordered
    // in white against red.
    EXPECT_EQ(shot.pixel(57, 47), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(58, 48), qRgb(255, 0, 0));
    // The image shows through everywhere else, at its own grey levels.
    int checked = 0;
    for (int y = 0; y < 90; y += 7)
        for (int x = 0; x < 120; x += 7) {
            const bool nearItem = (x >= 15 && x <= 65 && y >= 15 && y <= 55) || (y >= 55 && y <= 85) ||
                                  (x >= 85 && x <= 95 && y >= 25 && y <= 35);
            if (nearItem)
                continue;
            ASSERT_EQ(shot.pixel(x, y), grey(level(x, y))) << x << "," << y;
            ++checked;
        }
    EXPECT_GT(checked, 80);
}

TEST_F(SliceCanvasTest, TheGreyLevelWindowStretchesTheLevelsBetweenBlackAndWhite)
{
    for (int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        TestStack t(m_dir, 1, 64, 64, depth);
        PLXSliceCanvas canvas;
        canvas.setCanvasMode(CanvasMode{0.25, 0.75});
        show(canvas, t.stack.getSlice(0));
        const QImage shot = canvas.grab().toImage();
        // 16-bit levels are 200 times the 8-bit ones; their range is the
        // largest level present, 255 * 200.
        const double range = depth == 8 ? 255.0 : 255.0 * 200.0;
        const double black = 0.25 * range, white = 0.75 * range;
        for (int y = 0; y < 64; y += 3)
            for (int x = 0; x < 64; x += 3) {
                const double v = level(x, y) * (depth == 8 ? 1.0 : 200.0);
                const int expected = static_cast<int>(
                    std::lround(std::clamp((v - black) / (white - black) * 255.0, 0.0, 255.0)));
                ASSERT_EQ(qRed(shot.pixel(x, y)), expected) << x << "," << y;
            }
    }
}

TEST_F(SliceCanvasTest, TheZoomPicksTheSmallestCopyWiderThanTheView)
{
    TestStack t(m_dir, 1, 512, 512);
    PLXSliceCanvas canvas;
    show(canvas, t.stack.getSlice(0));
    ASSERT_EQ(canvas.getImageProxy().getNumImages(), 5); // 512 down to 32
    struct Case {
        double zoom;
        int width;
    };
    for (const Case& c : {Case{2.0, 512}, Case{1.0, 512}, Case{0.5, 512}, Case{0.45, 256}, Case{0.25, 256},
                          Case{0.2, 128}, Case{0.05, 32}}) {
        canvas.setZoomFactor(c.zoom);
        canvas.repaint();
        EXPECT_EQ(canvas.width(), std::lround(512 * c.zoom));
        EXPECT_EQ(canvas.getShownImage()->getWidth(), c.width) << "zoom " << c.zoom;
    }
}

TEST_F(SliceCanvasTest, LargeImagesBecomePicturesInAWorkerWhileACopyShows)
{
    TestStack t(m_dir, 1, 2048, 1024); // more pixels than the GUI thread converts
    PLXSliceCanvas canvas;
    canvas.setSlice(t.stack.getSlice(0));
    canvas.show();
    const PLXImageProxy& proxy = canvas.getImageProxy();
    ASSERT_TRUE(waitFor([&] {
        canvas.repaint();
        return proxy.isLoaded() && canvas.getShownImage() == proxy.getImagePointer();
    }));
    QImage shot = canvas.grab().toImage();
    for (const QPoint& p : {QPoint(0, 0), QPoint(2047, 1023), QPoint(1500, 700), QPoint(333, 999)})
        EXPECT_EQ(shot.pixel(p), grey(level(p.x(), p.y())));

    // A new window: the half copy shows at once, the full picture follows.
    canvas.setCanvasMode(CanvasMode{0.5, 1.0});
    canvas.repaint();
    ASSERT_TRUE(canvas.getShownImage());
    EXPECT_EQ(canvas.getShownImage()->getWidth(), 1024);
    ASSERT_TRUE(waitFor([&] {
        canvas.repaint();
        return canvas.getShownImage() == proxy.getImagePointer();
    }));
    shot = canvas.grab().toImage();
    const int v = level(1500, 700);
    const int expected = v <= 127.5 ? 0 : static_cast<int>((v - 127.5) / 127.5 * 255.0 + 0.5);
    EXPECT_EQ(qRed(shot.pixel(1500, 700)), expected);
}

TEST_F(SliceCanvasTest, PositionsConvertBetweenWidgetAndImageThroughTheZoom)
{
    TestStack t(m_dir, 1, 40, 30);
    PLXSliceCanvas canvas;
    canvas.setSlice(t.stack.getSlice(0));
    for (double zoom : {1.0, 3.0, 0.5}) {
        canvas.setZoomFactor(zoom);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const QPoint world = canvas.toWorld(QPoint(x, y));
                ASSERT_LE(std::abs(world.x() - x * zoom), zoom) << zoom;
                ASSERT_LE(std::abs(world.y() - y * zoom), zoom) << zoom;
                if (zoom >= 1.0) {
                    ASSERT_EQ(canvas.toModel(world), QPoint(x, y));
                }
            }
    }
    EXPECT_TRUE(canvas.isInsideImage(QPoint(39, 29)));
    EXPECT_FALSE(canvas.isInsideImage(QPoint(40, 0)));
    EXPECT_FALSE(canvas.isInsideImage(QPoint(0, -1)));
}

TEST_F(SliceCanvasTest, AnUnreadableImageLeavesTheItemsAndSaysWhy)
{
    TestStack t(m_dir, 1, 50, 50);
    StackSlice* slice = t.stack.getSlice(0);
    Model* organ = t.addModel("organ", MPrimitive::Polygon, 255, 0, 0);
    TestStack::addItem(organ, slice, {{10, 10}, {40, 10}, {40, 40}});
    QFile::resize(m_dir.path() + "/slice0.tif", 100);
    PLXSliceCanvas canvas;
    canvas.setSlice(slice);
    canvas.show();
    ASSERT_TRUE(waitFor([&] { return canvas.getImageProxy().hasFailed(); }));
    const QImage shot = canvas.grab().toImage();
    EXPECT_EQ(shot.pixel(20, 10), qRgb(255, 0, 0));
    EXPECT_FALSE(canvas.getShownImage());
}

TEST_F(SliceCanvasTest, TheEditorDrawsItsExtraItemAndRubberLinesOnTop)
{
    TestStack t(m_dir, 1, 80, 80);
    StackSlice* slice = t.stack.getSlice(0);
    Model* organ = t.addModel("organ", MPrimitive::Polyline, 0, 255, 0);
    ModelItem drawing(organ, slice); // not listed: the item being drawn
    drawing.appendVertex(Vector<int>{10, 10});
    drawing.appendVertex(Vector<int>{70, 10});
    PLXSliceEditWidgetCanvas canvas;
    show(canvas, slice);
    canvas.setExtraItem(&drawing);
    canvas.setRubberLine(QPoint(10, 40), QPoint(70, 40));
    canvas.setRubberBand(QRect(QPoint(20, 50), QPoint(60, 70)));
    QImage shot = canvas.grab().toImage();
    EXPECT_EQ(shot.pixel(40, 10), qRgb(0, 255, 0));
    const QRgb line = shot.pixel(10, 40);
    EXPECT_TRUE(line == qRgb(0, 0, 0) || line == qRgb(255, 255, 255));
    const QRgb band = shot.pixel(20, 60);
    EXPECT_TRUE(band == qRgb(0, 0, 0) || band == qRgb(255, 255, 255));
    canvas.clearExtraItem();
    canvas.clearRubberLine();
    canvas.clearRubberBand();
    shot = canvas.grab().toImage();
    for (const QPoint& p : {QPoint(40, 10), QPoint(10, 40), QPoint(20, 60)})
        EXPECT_EQ(shot.pixel(p), grey(level(p.x(), p.y())));
}

TEST_F(SliceCanvasTest, TheViewFitsTheWindowThenZoomsAboutTheCursor)
{
    TestStack t(m_dir, 1, 200, 100);
    PLXSliceEditWidget view;
    view.resize(600, 400);
    view.show();
    QSignalSpy views(&view, &PLXSliceEditWidget::viewChanged);
    view.setSlice(t.stack.getSlice(0));
    EXPECT_TRUE(view.isFitMode());
    EXPECT_DOUBLE_EQ(view.getZoomFactor(), 3.0); // 600 / 200 is the narrower fit
    EXPECT_EQ(view.getVisibleModelRect(), QRect(0, 0, 200, 100));
    ASSERT_GE(views.count(), 1);
    EXPECT_EQ(views.last().at(0).toRect(), QRect(0, 0, 200, 100));

    view.resize(300, 400);
    EXPECT_DOUBLE_EQ(view.getZoomFactor(), 1.5);

    // Zooming about a point keeps that image point under it.
    PLXSliceCanvas* canvas = view.getCanvas();
    const QPoint anchor(200, 80);
    const QPoint onScreen = canvas->mapTo(view.getScrollArea()->viewport(), anchor);
    const QPoint model = canvas->toModel(anchor);
    view.zoomBy(4.0, anchor);
    EXPECT_FALSE(view.isFitMode());
    EXPECT_DOUBLE_EQ(view.getZoomFactor(), 6.0);
    const QPoint after = canvas->toModel(canvas->mapFrom(view.getScrollArea()->viewport(), onScreen));
    EXPECT_LE((after - model).manhattanLength(), 1);

    view.setOrigin(QPoint(50, 20));
    EXPECT_EQ(view.getVisibleModelRect().topLeft(), QPoint(50, 20));
    EXPECT_EQ(views.last().at(0).toRect(), view.getVisibleModelRect());

    view.getActualSizeAction()->trigger();
    EXPECT_DOUBLE_EQ(view.getZoomFactor(), 1.0);
    view.getFitAction()->trigger();
    EXPECT_DOUBLE_EQ(view.getZoomFactor(), 1.5);
}

// The sample specimen's fifth section at 100 %: the organ's outline and a
// nucleus in their model colours over the section's own grey levels, read
// here straight from the file (an uncompressed strip at byte 8).
TEST(SliceCanvasDisplay, TheSamplesFifthSectionAtActualSize)
{
    const QString dir = QStringLiteral(PLEXAN_SOURCE_DIR "/data/sample");
    Stack stack;
    ASSERT_TRUE(StackReader().read(stack, (dir + "/sample.sdf").toStdString()));
    StackSlice* slice = stack.getSlice(stack.findSlice("s05"));
    QFile file(dir + "/images/slice05.tif");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 8 + 256 * 256);
    const auto raw = [&](int x, int y) { return static_cast<unsigned char>(bytes[8 + 256 * y + x]); };

    PLXSliceEditWidget view;
    view.resize(400, 400);
    view.show();
    view.setSlice(slice);
    view.showActualSize();
    PLXSliceCanvas* canvas = view.getCanvas();
    ASSERT_TRUE(waitFor([&] {
        canvas->repaint();
        return canvas->getImageProxy().isLoaded() && canvas->getShownImage();
    }));
    ASSERT_EQ(canvas->size(), QSize(256, 256));
    const QImage shot = canvas->grab().toImage();
    for (const QPoint& p : {QPoint(196, 93), QPoint(198, 104), QPoint(111, 180), QPoint(71, 153)})
        EXPECT_EQ(shot.pixel(p), qRgb(230, 150, 90)) << "organ outline at " << p.x() << "," << p.y();
    EXPECT_EQ(shot.pixel(167, 125), qRgb(250, 230, 40)) << "nucleus";
    for (const QPoint& p :
         {QPoint(5, 5), QPoint(128, 40), QPoint(130, 130), QPoint(240, 250), QPoint(20, 200)}) {
        const int v = raw(p.x(), p.y());
        EXPECT_EQ(shot.pixel(p), qRgb(v, v, v)) << "image at " << p.x() << "," << p.y();
    }
    if (const QByteArray out = qgetenv("PLEXAN_SCREENSHOT_DIR"); !out.isEmpty())
        view.grab().save(QString::fromLocal8Bit(out) + "/slice-view-sample.png");
}
