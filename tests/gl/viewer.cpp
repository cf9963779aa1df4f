#include "gl/curvepaintergl.h"
#include "gl/glwarmup.h"
#include "gl/quadmeshpaintergl.h"
#include "gl/shapeviewerpaintergl.h"
#include "gl/trimeshpaintergl.h"
#include "gl/verticespaintergl.h"
#include "gl/viewercanvasgl.h"
#include "gl/viewermediator.h"
#include "gl/viewerposepanel.h"
#include "gl/viewrotation.h"
#include "glscene.h"
#include "numerics/maths.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QImageReader>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <cmath>
#include <numbers>

namespace {

// The rotation Rx(a) Ry(b) Rz(c) of angles in degrees.
Matrix<double> rotation(double a, double b, double c)
{
    const double k = std::numbers::pi / 180;
    return Maths::xRotationMatrix3D(a * k) * Maths::yRotationMatrix3D(b * k) * Maths::zRotationMatrix3D(c * k);
}

Matrix<double> rotation(const Vector<float>& angles)
{
    return rotation(angles[0], angles[1], angles[2]);
}

void expectSameRotation(const Matrix<double>& a, const Matrix<double>& b, double tolerance)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(a[i][j], b[i][j], tolerance) << i << ", " << j;
}

// A left-button drag of (dx, dy) pixels in one move, as the window system
// delivers it.
void drag(QWidget& widget, int dx, int dy, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF from(100, 100), to(100 + dx, 100 + dy);
    QMouseEvent press(QEvent::MouseButtonPress, from, widget.mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      modifiers);
    QMouseEvent move(QEvent::MouseMove, to, widget.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, modifiers);
    QMouseEvent release(QEvent::MouseButtonRelease, to, widget.mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        modifiers);
    QApplication::sendEvent(&widget, &press);
    QApplication::sendEvent(&widget, &move);
    QApplication::sendEvent(&widget, &release);
}

void wheel(QWidget& widget, int delta)
{
    QWheelEvent event(QPointF(50, 50), widget.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

Pose makePose(Vector<int> r, Vector<int> t, int zoom, int a, int d, int s)
{
    Pose pose;
    pose.setRotation(r);
    pose.setTranslation(t);
    pose.setZoom(zoom);
    pose.setAmbientLight(a);
    pose.setDiffuseLight(d);
    pose.setSpecularLight(s);
    return pose;
}

void expectSamePose(const Pose& a, const Pose& b)
{
    EXPECT_EQ(a.getRotation(), b.getRotation());
    EXPECT_EQ(a.getTranslation(), b.getTranslation());
    EXPECT_EQ(a.getZoom(), b.getZoom());
    EXPECT_EQ(a.getAmbientLight(), b.getAmbientLight());
    EXPECT_EQ(a.getDiffuseLight(), b.getDiffuseLight());
    EXPECT_EQ(a.getSpecularLight(), b.getSpecularLight());
}

} // namespace

// Canvas -----------------------------------------------------------------------------

TEST(ViewerCanvasDisplay, TheViewportIsACentredSquareOfTheLongerSide)
{
    EXPECT_EQ(ViewerCanvasGL::viewport(800, 600), QRect(0, -100, 800, 800));
    EXPECT_EQ(ViewerCanvasGL::viewport(600, 800), QRect(-100, 0, 800, 800));

    // Drawn: a point half-way up lands where the square viewport puts it,
    // not where a stretched one would.
    GLScene scene(800, 600);
    Vertices<float> points(3, 2);
    points[0] = Vector<float>{0.5f, 0.5f, 0.0f};
    points[1] = Vector<float>{-0.5f, -0.5f, 0.0f};
    VerticesPainterGL<float> painter;
    ShapePainterAttributesGL a;
    a.setColor(255, 0, 0);
    a.setVertexSymbol(VertexSymbolSphere);
    a.setSymbolSize(0.04f);
    painter.setAttributes(a);
    painter.setShape(points);
    scene.canvas.addPainter(&painter);
    const QImage image = scene.frame();
    ASSERT_EQ(image.size(), QSize(800, 600));
    const double centre[2] = {0, 0};
    const double radius = 0.6 * std::sqrt(2.0);
    const QPoint p = scene.project(0.5, 0.5, centre, radius);
    EXPECT_EQ(qRed(image.pixel(p)), 255);
    const int stretchedY = static_cast<int>(300 - 0.5 / radius * 300);
    EXPECT_EQ(qRed(image.pixel(p.x(), stretchedY)), 0);
    EXPECT_GT(stretchedY - p.y(), 40);
}

TEST(ViewerCanvasDisplay, WheelAndControlDragZoomWithinBounds)
{
    ViewerCanvasGL canvas;
    canvas.resize(200, 150);
    canvas.show();
    wheel(canvas, 120);
    EXPECT_FLOAT_EQ(canvas.getZoom(), 1.0f - 120 / 800.0f);
    wheel(canvas, 120 * 100);
    EXPECT_FLOAT_EQ(canvas.getZoom(), 0.01f);
    wheel(canvas, -120 * 100);
    EXPECT_FLOAT_EQ(canvas.getZoom(), 5.0f);
    canvas.setZoom(100);
    drag(canvas, 50, 0, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(canvas.getZoom(), 1.0f + 3.0f * 50 / 200);
    drag(canvas, -1000, 0, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(canvas.getZoom(), 0.01f);
    // The pose panel may zoom beyond the mouse's range.
    canvas.setZoom(1000);
    EXPECT_FLOAT_EQ(canvas.getZoom(), 10.0f);
}

TEST(ViewerCanvasDisplay, DoubleClickResetsThePoseAndAnnouncesIt)
{
    ViewerCanvasGL canvas;
    canvas.resize(200, 200);
    canvas.show();
    canvas.setRotation(Vector<float>{10, 20, 30});
    canvas.setZoom(250);
    canvas.setTranslation(Vector<int>{10, -5});
    std::vector<Pose> announced;
    QObject::connect(&canvas, &ViewerCanvasGL::poseChanged, [&](const Pose& p) { announced.push_back(p); });
    QTest::mouseDClick(&canvas, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(canvas.getRotation(), (Vector<float>{0, 0, 0}));
    EXPECT_EQ(canvas.getTranslationX(), 0.0f);
    EXPECT_EQ(canvas.getTranslationY(), 0.0f);
    EXPECT_EQ(canvas.getZoom(), 1.0f);
    ASSERT_FALSE(announced.empty());
    expectSamePose(announced.back(), makePose({0, 0, 0}, {0, 0}, 100, 80, 128, 128));
}

TEST(ViewerCanvasDisplay, PosesConvertBothWays)
{
    ViewerCanvasGL canvas;
    const std::vector<Pose> poses = {makePose({0, 0, 0}, {0, 0}, 100, 0, 0, 0),
                                     makePose({90, -45, 180}, {37, -12}, 250, 80, 128, 255),
                                     makePose({-180, 1, -1}, {-100, 100}, 5, 255, 1, 17),
                                     makePose({30, 60, 90}, {3, 99}, 1000, 10, 20, 30)};
    for (const Pose& pose : poses) {
        canvas.setPose(pose);
        expectSamePose(canvas.getPose(), pose);
        // The view's own units: tx = -t (1/zoom + 1) / 100, lights / 255.
        const double zoom = pose.getZoom() / 100.0;
        EXPECT_NEAR(canvas.getTranslationX(), -pose.getTranslation()[0] * (1 / zoom + 1) / 100, 1e-6);
        EXPECT_NEAR(canvas.getTranslationY(), -pose.getTranslation()[1] * (1 / zoom + 1) / 100, 1e-6);
        EXPECT_NEAR(canvas.getZoom(), zoom, 1e-6);
        EXPECT_NEAR(canvas.getDiffuseLight(), pose.getDiffuseLight() / 255.0, 1e-6);
        // The projection box: centred on (tx R, ty R), half side R / zoom.
        double box[6];
        canvas.projectionBox(box);
        const double r = canvas.getRadius();
        EXPECT_NEAR(box[0], canvas.getTranslationX() * r - r / zoom, 1e-5);
        EXPECT_NEAR(box[3], canvas.getTranslationY() * r + r / zoom, 1e-5);
        EXPECT_NEAR(box[4], 5 * r, 1e-6); // perspective of strength 1: eye 6 R away
        EXPECT_NEAR(box[5], 7 * r, 1e-6);
    }
}

TEST(ViewerCanvasDisplay, DragsTurnAndMoveTheViewInItsOwnFrame)
{
    ViewerCanvasGL canvas;
    canvas.resize(200, 200);
    canvas.show();
    int rotations = 0;
    QObject::connect(&canvas, &ViewerCanvasGL::rotationChanged, [&] { ++rotations; });

    // 40 pixels right: 10 degrees about the view's vertical axis, applied
    // after the current orientation.
    canvas.setRotation(Vector<float>{90, 0, 0});
    drag(canvas, 40, 0);
    expectSameRotation(rotation(canvas.getRotation()), rotation(0, 10, 0) * rotation(90, 0, 0), 0.01);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(canvas.getRotation()[k], Maths::fround(canvas.getRotation()[k], 0.25f));
    // 20 pixels down: 5 degrees about the view's x axis.
    canvas.setRotation(Vector<float>{0, 30, 0});
    drag(canvas, 0, 20);
    expectSameRotation(rotation(canvas.getRotation()), rotation(5, 0, 0) * rotation(0, 30, 0), 0.01);
    // With Shift, 30 pixels: 30 degrees about the view axis.
    canvas.setRotation(Vector<float>{0, 0, 0});
    drag(canvas, 30, 0, Qt::ShiftModifier);
    EXPECT_EQ(canvas.getRotation(), (Vector<float>{0, 0, 30}));
    EXPECT_EQ(rotations, 3);

    // With Alt the view moves: tx -= dx / width, ty += dy / height.
    drag(canvas, 20, 10, Qt::AltModifier);
    EXPECT_FLOAT_EQ(canvas.getTranslationX(), -0.1f);
    EXPECT_FLOAT_EQ(canvas.getTranslationY(), 0.05f);
    EXPECT_EQ(canvas.getPose().getTranslation(), (Vector<int>{5, -3})); // -round(t 100 / 2)
}

TEST(ViewerCanvasDisplay, SoftwareRenderingSkipsMultisamplingWhileTheCameraMoves)
{
    GLScene scene(160, 160);
    TriMesh<float> triangle(3, 3);
    triangle[0] = Vector<float>{-1, -1, 0};
    triangle[1] = Vector<float>{1, -0.6f, 0};
    triangle[2] = Vector<float>{-0.2f, 1, 0};
    triangle.addTriangle(0, 1, 2);
    TriMeshPainterGL<float> painter;
    ShapePainterAttributesGL a;
    a.setColor(255, 0, 0);
    a.setDisplayMode(DisplayModeSurface);
    painter.setAttributes(a);
    painter.setShape(triangle);
    scene.canvas.addPainter(&painter);
    // Edge pixels partly covered show partial red only when multisampled.
    auto partial = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qRed(image.pixel(x, y)) > 20 && qRed(image.pixel(x, y)) < 235;
        return count;
    };
    scene.frame();
    ASSERT_TRUE(scene.canvas.isSoftwareRenderer()); // llvmpipe under Xvfb
    scene.canvas.setRotation(Vector<float>{0, 0, 10});
    EXPECT_TRUE(scene.canvas.isMoving());
    EXPECT_EQ(partial(scene.frame()), 0);
    QTest::qWait(400);
    EXPECT_FALSE(scene.canvas.isMoving());
    EXPECT_GT(partial(scene.frame()), 20);
}

TEST(ViewerCanvasDisplay, SceneCentreRadiusAndBoxFollowThePainters)
{
    ViewerCanvasGL canvas;
    canvas.updateBoundingBox();
    EXPECT_EQ(canvas.getRadius(), 1.0f);
    EXPECT_EQ(canvas.getCentre(), (Vector<float>{0, 0, 0}));

    // A plane curve and a point set merge into one box.
    Curve<float> curve(2, 2);
    curve[0] = Vector<float>{-2, 0};
    curve[1] = Vector<float>{2, 1};
    Vertices<float> points(3, 1);
    points[0] = Vector<float>{0, 3, 4};
    CurvePainterGL<float> a;
    VerticesPainterGL<float> b;
    a.setShape(curve);
    b.setShape(points);
    canvas.setPainters({&a, &b, &a});
    canvas.updateBoundingBox();
    EXPECT_EQ(canvas.getCentre(), (Vector<float>{0, 1.5f, 2}));
    EXPECT_FLOAT_EQ(canvas.getRadius(), 0.6f * std::sqrt(16.0f + 9.0f + 16.0f));
    // Scaling 110: 10 % of each width added on each side.
    const BoundingBox<float>& drawn = canvas.getBoundingBoxPainter().getBoundingBox();
    EXPECT_EQ(drawn.getVertex1(), (Vector<float>{-2.4f, -0.3f, -0.4f}));
    EXPECT_EQ(drawn.getVertex2(), (Vector<float>{2.4f, 3.3f, 4.4f}));
    canvas.setBoundingBoxScaling(100);
    EXPECT_EQ(canvas.getBoundingBoxPainter().getBoundingBox().getVertex2(), (Vector<float>{2, 3, 4}));

    canvas.removePainter(&a); // the first of two
    EXPECT_EQ(canvas.getPainters(), (QList<PainterGL<float>*>{&b, &a}));
    canvas.removePainters();
    canvas.updateBoundingBox();
    EXPECT_EQ(canvas.getRadius(), 1.0f);
    EXPECT_EQ(canvas.getCentre(), (Vector<float>{0, 0, 0}));
}

TEST(ViewerCanvasDisplay, SnapshotsAreSavedAsPngOrReported)
{
    GLScene scene(120, 90);
    QTemporaryDir dir;
    const QString name = dir.filePath("view.png");
    DialogScript script;
    script.value(name);
    scene.canvas.snapshot();
    QImageReader reader(name);
    EXPECT_EQ(reader.format(), "png");
    EXPECT_EQ(reader.size(), QSize(120, 90));
    EXPECT_EQ(script.requests()[0].title, "Enter output filename");
    EXPECT_EQ(script.requests()[0].items, QStringList({"Portable Network Graphics (*.png)"}));

    // A directory that does not exist: reported, nothing left behind.
    const QString bad = dir.filePath("missing/view.png");
    script.value(bad).button("OK");
    scene.canvas.snapshot();
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[2].icon, QMessageBox::Critical);
    EXPECT_EQ(script.requests()[2].text, "Could not write file\n\n" + bad);
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"view.png"}));
    EXPECT_EQ(script.unexpected(), 0);
}

// Mediator, pose panel and motions together ----------------------------------------------------

namespace {

class RecordingMediator : public ViewerMediator {
public:
    int recorders = 0;

protected:
    void startVideoRecorder() override { ++recorders; }
};

struct Viewer {
    Viewer()
    {
        auto* layout = new QHBoxLayout(&window);
        canvas = new ViewerCanvasGL(&window);
        panel = new ViewerPosePanel(&window);
        layout->addWidget(canvas, 1);
        layout->addWidget(panel);
        mediator.setCanvas(canvas);
        mediator.setPosePanel(panel);
        mediator.initialize();
        window.resize(700, 500);
    }
    QWidget window;
    ViewerCanvasGL* canvas;
    ViewerPosePanel* panel;
    RecordingMediator mediator;
};

QStringList texts(const QMenu& menu)
{
    QStringList list;
    for (const QAction* a : menu.actions())
        list << a->text();
    return list;
}

} // namespace

TEST(ViewerMediatorDisplay, PanelAndCanvasFollowEachOther)
{
    Viewer v;
    EXPECT_EQ(v.panel->getAmbientLight(), 80);
    EXPECT_FLOAT_EQ(v.canvas->getDiffuseLight(), 128 / 255.0f);
    EXPECT_EQ(v.panel->getBoundingBoxScaling(), 110);

    // The user turns the panel's zoom: the view follows.
    v.panel->findChildren<QSpinBox*>()[5]->setValue(300); // rotation x3, translation x2, zoom
    EXPECT_FLOAT_EQ(v.canvas->getZoom(), 3.0f);
    // The user drags the view: the panel shows the new pose.
    v.window.show();
    drag(*v.canvas, 40, 0);
    EXPECT_EQ(v.panel->getRotation(), (Vector<float>{0, 10, 0}));
    // A motion step turns both.
    v.mediator.getSpinningMotion().setRotation(v.canvas->getRotation());
    v.mediator.getSpinningMotion().step();
    EXPECT_EQ(v.canvas->getRotation(), v.mediator.getSpinningMotion().getRotation());
    EXPECT_EQ(v.panel->getRotation(), (Vector<float>{0, 11, 0}));
    // Standard poses reach the panel too.
    v.mediator.getStandardPoseAction(2)->trigger();
    EXPECT_EQ(v.panel->getRotation(), (Vector<float>{0, 90, 0}));
    EXPECT_EQ(v.panel->getZoom(), 100);
    EXPECT_FLOAT_EQ(v.canvas->getAmbientLight(), 80 / 255.0f); // lights kept
    v.mediator.getReverseStandardPoseAction(3)->trigger();
    EXPECT_EQ(v.canvas->getRotation(), (Vector<float>{-90, 0, 0}));
}

TEST(ViewerMediatorDisplay, MenusMotionsAndTheirDialogs)
{
    Viewer v;
    QMenu file, pose;
    v.mediator.populateFileMenu(&file);
    v.mediator.populatePoseMenu(&pose);
    EXPECT_EQ(texts(file), QStringList({"Snapshot", "Record"}));
    EXPECT_EQ(texts(pose), QStringList({"Standard pose 1", "Standard pose 2", "Standard pose 3",
                                        "Reverse standard pose 1", "Reverse standard pose 2",
                                        "Reverse standard pose 3", "", "Toggle animation", "Toggle random motion",
                                        "Toggle spinning motion", "Set motion angle...", "Set motion timeout..."}));

    DialogScript script;
    script.value(15).value(200).cancel();
    v.mediator.getMotionAngleAction()->trigger();
    v.mediator.getMotionTimeoutAction()->trigger();
    v.mediator.getMotionAngleAction()->trigger(); // cancelled: unchanged
    EXPECT_EQ(v.mediator.getRandomMotion().getAngleStep(), 15.0f);
    EXPECT_EQ(v.mediator.getSpinningMotion().getAngleStep(), 15.0f);
    EXPECT_EQ(v.mediator.getRandomMotion().getTimeout(), 200);
    EXPECT_EQ(v.mediator.getSpinningMotion().getTimeout(), 200);
    const auto& r = script.requests();
    EXPECT_EQ(r[0].text, "Enter motion angle (in degrees):");
    EXPECT_EQ(r[0].minimum.toInt(), -180);
    EXPECT_EQ(r[0].maximum.toInt(), 180);
    EXPECT_EQ(r[1].text, "Enter motion interval (msec):");
    EXPECT_EQ(r[1].maximum.toInt(), 10000);

    // The two motions never run together; R toggles the random one.
    v.mediator.getSpinningMotionAction()->trigger();
    EXPECT_TRUE(v.mediator.getSpinningMotion().isActive());
    QTest::keyClick(v.canvas, Qt::Key_R);
    EXPECT_TRUE(v.mediator.getRandomMotion().isActive());
    EXPECT_FALSE(v.mediator.getSpinningMotion().isActive());
    v.mediator.getSpinningMotionAction()->trigger();
    EXPECT_FALSE(v.mediator.getRandomMotion().isActive());
    v.mediator.getRandomMotionAction()->trigger();
    v.mediator.getRandomMotionAction()->trigger();
    EXPECT_FALSE(v.mediator.getRandomMotion().isActive());
    EXPECT_FALSE(v.mediator.getSpinningMotion().isActive());
}

TEST(ViewerMediatorDisplay, RecordingStartsOnlyWhenTheEncoderAnswers)
{
    Viewer v;
    DialogScript script;
    v.mediator.setEncoderProgram("plexan-test-no-such-encoder");
    script.button("OK");
    v.mediator.getRecordAction()->trigger();
    EXPECT_EQ(v.mediator.recorders, 0);
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, "QMessageBox::critical()");
    EXPECT_TRUE(script.requests()[0].text.startsWith("Please install ffmpeg software"));

    // A program that exits normally with status 0 stands for the encoder.
    v.mediator.setEncoderProgram("true");
    v.mediator.getRecordAction()->trigger();
    EXPECT_EQ(v.mediator.recorders, 1);
    EXPECT_EQ(script.requests().size(), 1u);
}

TEST(ViewerMediatorDisplay, AnimationTakesTheCanvasShapePainters)
{
    Viewer v;
    std::vector<std::unique_ptr<ShapeViewerPainterGL>> shapes;
    BoundingBoxPainterGL<float> box;
    v.canvas->addPainter(&box);
    for (int i = 0; i < 3; ++i) {
        shapes.push_back(std::make_unique<ShapeViewerPainterGL>(std::make_unique<CurvePainterGL<float>>()));
        v.canvas->addPainter(shapes.back().get());
    }
    v.mediator.getAnimationAction()->trigger();
    ViewerAnimation& animation = v.mediator.getAnimation();
    EXPECT_TRUE(animation.isActive());
    EXPECT_EQ(animation.getPainters().size(), 3);
    EXPECT_FALSE(shapes[2]->getProxy().isVisible());
    v.mediator.getAnimationAction()->trigger();
    EXPECT_FALSE(animation.isActive());
    EXPECT_TRUE(shapes[2]->getProxy().isVisible());
}

// A picture of the viewer showing a capped ellipsoid tube, saved to
// PLEXAN_SCREENSHOT_DIR when that is set.
TEST(ViewerMediatorDisplay, ShowsACappedSurface)
{
    Viewer v;
    QuadMesh<float> mesh;
    const int height = 24, width = 36;
    for (int k = 0; k < height; ++k) {
        const double z = -0.9 + 1.8 * k / (height - 1);
        const double r = std::sqrt(1 - z * z);
        Curve<float> level(3, width);
        for (int c = 0; c < width; ++c) {
            const double a = 2 * std::numbers::pi * c / width;
            level[c] = Vector<float>{static_cast<float>(2 * r * std::cos(a)), static_cast<float>(r * std::sin(a)),
                                     static_cast<float>(1.5 * z)};
        }
        mesh.append(level);
    }
    mesh.buildCaps();
    auto proxy = std::make_unique<QuadMeshPainterGL<float>>();
    ShapePainterAttributesGL a;
    a.setColor(230, 160, 60);
    a.setDisplayMode(DisplayModeSurface);
    a.setBeginCapFlag(true);
    a.setEndCapFlag(true);
    proxy->setAttributes(a);
    proxy->setShape(mesh);
    ShapeViewerPainterGL painter(std::move(proxy));
    v.canvas->addPainter(&painter);
    v.canvas->updateBoundingBox();
    v.canvas->setRotation(Vector<float>{-60, 0, 30});
    v.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v.window));
    const QImage image = v.canvas->grabFramebuffer();
    // The surface covers the centre and is lit in its own hue.
    const QRgb centre = image.pixel(image.width() / 2, image.height() / 2);
    EXPECT_GT(qRed(centre), qBlue(centre) + 40);
    if (const QByteArray dir = qgetenv("PLEXAN_SCREENSHOT_DIR"); !dir.isEmpty())
        v.window.grab().save(QString::fromLocal8Bit(dir) + "/viewer.png");
}

// The GL warm-up draws on a context of its own in a thread of its own, and
// leaves the views drawing as before.
TEST(ViewerCanvasDisplay, TheGLWarmUpRunsBesideTheGuiThreadAndLeavesTheViewsDrawing)
{
    GLWarmUp::start();
    ASSERT_TRUE(QTest::qWaitFor([] { return GLWarmUp::isFinished(); }, 60000));
    EXPECT_TRUE(GLWarmUp::isWarm()) << "no context, or no frame, in the warm-up thread";
    GLWarmUp::start(); // once per process
    EXPECT_TRUE(GLWarmUp::isFinished());

    GLScene scene(60, 40);
    scene.canvas.setBackground(BackgroundGL(Vector<int>{200, 30, 60}, false));
    const QImage image = scene.frame();
    EXPECT_EQ(image.pixelColor(30, 20), QColor(200, 30, 60));
}
