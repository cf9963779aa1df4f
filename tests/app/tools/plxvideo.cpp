// Movies of the 3D view: the cameras of a turntable and of a flight through
// poses, the frame writer, and the encoder run without a shell.

#include "app/tools/plxcamerapath.h"
#include "app/tools/plxframewriter.h"
#include "app/tools/plxvideoencoder.h"
#include "numerics/maths.h"
#include "renderingtesting.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>

using namespace rendertest;

namespace {

// The view's rotation Rx(a) Ry(b) Rz(c), angles in degrees.
Matrix<double> rotation(double a, double b, double c)
{
    const double k = std::numbers::pi / 180;
    return Maths::xRotationMatrix3D(a * k) * Maths::yRotationMatrix3D(b * k) * Maths::zRotationMatrix3D(c * k);
}

Matrix<double> rotation(const Vector<float>& angles)
{
    return rotation(angles[0], angles[1], angles[2]);
}

Matrix<double> transposed(const Matrix<double>& m)
{
    Matrix<double> t(3, 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            t[i][j] = m[j][i];
    return t;
}

void expectSameRotation(const Matrix<double>& a, const Matrix<double>& b, double tolerance = 1e-4)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(a[i][j], b[i][j], tolerance) << i << ", " << j;
}

PLXCamera camera(float a, float b, float c)
{
    PLXCamera cam;
    cam.rotation = Vector<float>{a, b, c};
    return cam;
}

// Frames of width x height filled with colours, written as the recorder does.
void writeFrames(const QString& directory, int count, int width, int height)
{
    PLXFrameWriter writer(directory);
    for (int k = 0; k < count; ++k) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(60 * k % 360, 200, 200));
        writer.write(image);
    }
    ASSERT_TRUE(writer.finish());
}

} // namespace

// Frame k is the start turned by 360 k / n degrees about the view's
// vertical axis: Ry(360 k / n) applied after the start's orientation.
TEST(CameraPath, TurntableMakesOneFullTurnAboutTheViewsVerticalAxis)
{
    PLXCamera start = camera(25, -40, 15);
    start.zoom = 150;
    start.translation = Vector<int>{10, -20};
    const int n = 12;
    const std::vector<PLXCamera> frames = PLXCameraPath::turntable(start, n);
    ASSERT_EQ(frames.size(), 12u);
    for (int k = 0; k < n; ++k) {
        expectSameRotation(rotation(frames[k].rotation), rotation(0, 360.0 * k / n, 0) * rotation(start.rotation));
        EXPECT_EQ(frames[k].zoom, 150);
        EXPECT_EQ(frames[k].translation, start.translation);
    }
    EXPECT_EQ(PLXCameraPath::frameCount(2.0, 5), 10);
    EXPECT_EQ(PLXCameraPath::frameCount(0.01, 5), 1);
    EXPECT_EQ(PLXCameraPath::frameCount(1.3, 10), 13);
}

// A flight passes through every pose; between two it turns about one axis,
// halfway at half time (the half turn applied twice is the whole one), by
// the shorter way; the rest moves linearly.
TEST(CameraPath, FlightPassesThroughThePosesTurningTheShorterWay)
{
    std::vector<PLXCamera> poses{camera(10, 20, 30), camera(-50, 60, 5), camera(80, -10, -120)};
    poses[1].translation = Vector<int>{20, -10};
    poses[1].zoom = 200;
    poses[1].ambient = 255;
    const std::vector<PLXCamera> frames = PLXCameraPath::flight(poses, 5);
    ASSERT_EQ(frames.size(), 5u);
    for (int p = 0; p < 3; ++p)
        expectSameRotation(rotation(frames[2 * p].rotation), rotation(poses[p].rotation));
    for (int leg = 0; leg < 2; ++leg) {
        const Matrix<double> from = rotation(poses[leg].rotation);
        const Matrix<double> half = rotation(frames[2 * leg + 1].rotation) * transposed(from);
        expectSameRotation(half * half, rotation(poses[leg + 1].rotation) * transposed(from));
        // At most a quarter turn: half of the shorter way.
        const double trace = half[0][0] + half[1][1] + half[2][2];
        EXPECT_GE(trace, 1.0 - 1e-9);
    }
    EXPECT_EQ(frames[1].translation, (Vector<int>{10, -5}));
    EXPECT_EQ(frames[1].zoom, 150);
    EXPECT_EQ(frames[1].ambient, 168);
    EXPECT_EQ(frames[3].ambient, 168);

    // From 170 to -170 degrees about y: through 180, not through 0.
    const std::vector<PLXCamera> wrap = PLXCameraPath::flight({camera(0, 170, 0), camera(0, -170, 0)}, 3);
    expectSameRotation(rotation(wrap[1].rotation), rotation(0, 180, 0));
    // One frame is the first pose; no pose, no frame.
    ASSERT_EQ(PLXCameraPath::flight(poses, 1).size(), 1u);
    expectSameRotation(rotation(PLXCameraPath::flight(poses, 1)[0].rotation), rotation(poses[0].rotation));
    EXPECT_TRUE(PLXCameraPath::flight({}, 10).empty());
}

// Frames are numbered from 1 and all take the first frame's size.
TEST(FrameWriter, WritesNumberedPngsAtTheFirstFramesSize)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    PLXFrameWriter writer(dir.path());
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    const QSize sizes[] = {QSize(20, 10), QSize(31, 17), QSize(20, 10)};
    for (int k = 0; k < 3; ++k) {
        QImage image(sizes[k], QImage::Format_RGB32);
        image.fill(colours[k]);
        writer.write(image);
    }
    EXPECT_TRUE(writer.finish());
    EXPECT_EQ(writer.getNumFrames(), 3);
    EXPECT_EQ(PLXFrameWriter::frameName("/x", 7), "/x/0007.png");
    for (int k = 0; k < 3; ++k) {
        const QImage frame(dir.path() + QStringLiteral("/000%1.png").arg(k + 1));
        ASSERT_FALSE(frame.isNull()) << k;
        EXPECT_EQ(frame.size(), QSize(20, 10));
        EXPECT_EQ(QColor(frame.pixel(10, 5)), colours[k]);
    }
    // A frame that cannot be written stops the writer and says where.
    PLXFrameWriter nowhere(dir.path() + "/missing");
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    nowhere.write(image);
    EXPECT_FALSE(nowhere.finish());
    EXPECT_TRUE(nowhere.getError().contains(dir.path() + "/missing/0001.png"));
}

// Every file name goes to the encoder as one argument of its own: quotes,
// blanks, ";" and "$(...)" are only characters of a name.
TEST(VideoEncoder, FileNamesAreSingleArguments)
{
    const QString output = "/tmp/a b/it's \"odd\"; touch X $(touch Y) `z`.mov";
    const QString pattern = "/tmp/frames dir/%04d.png";
    const QStringList args = PLXVideoEncoder::arguments(pattern, 1, 7, output);
    EXPECT_EQ(args.last(), "file:" + output);
    EXPECT_EQ(args.count(pattern), 1);
    auto follows = [&](const QString& option, const QString& value) {
        const qsizetype at = args.indexOf(option);
        return at >= 0 && at + 1 < args.size() && args[at + 1] == value;
    };
    EXPECT_TRUE(follows("-i", pattern));
    EXPECT_TRUE(follows("-framerate", "7"));
    EXPECT_TRUE(follows("-r", "7"));
    EXPECT_TRUE(follows("-start_number", "1"));
    EXPECT_TRUE(follows("-c:v", "libx264"));
    EXPECT_TRUE(follows("-pix_fmt", "yuv420p"));
    EXPECT_TRUE(args.contains("-an"));

    EXPECT_EQ(PLXVideoEncoder::withKnownExtension("/x/a.MOV"), "/x/a.MOV");
    EXPECT_EQ(PLXVideoEncoder::withKnownExtension("/x/a"), "/x/a.mp4");
    EXPECT_EQ(PLXVideoEncoder::withKnownExtension("/x/a.sdf"), "/x/a.sdf.mp4");
}

// Odd frame sizes are padded to even ones; the rate is the one asked for;
// the name is taken as it is and nothing else is written.
TEST(VideoEncoder, MakesAVideoOfTheFramesUnderAnyName)
{
    if (!hasVideoTools())
        GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    QTemporaryDir frames, out;
    ASSERT_TRUE(frames.isValid() && out.isValid());
    writeFrames(frames.path(), 5, 33, 21);
    const QString dir = out.path() + "/my \"videos\"; ls";
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString name = dir + "/it's a \"movie\"; touch INJECTED $(touch INJECTED) `touch INJECTED` :x.mp4";
    PLXVideoEncoder encoder;
    ASSERT_TRUE(encoder.encode(frames.path(), 5, 7, name)) << encoder.getError().toStdString();
    const VideoInfo info = probeVideo(name);
    EXPECT_EQ(info.frames, 5);
    EXPECT_EQ(info.width, 34);
    EXPECT_EQ(info.height, 22);
    EXPECT_EQ(info.rate, "7/1");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(name).fileName()});
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_FALSE(QFile::exists("INJECTED"));
    EXPECT_FALSE(QFile::exists(QDir::homePath() + "/INJECTED"));
}

// A failed encoding leaves no partial file and an existing video as it was.
TEST(VideoEncoder, FailuresAreReportedAndLeaveNoPartialFile)
{
    QTemporaryDir frames, out;
    ASSERT_TRUE(frames.isValid() && out.isValid());
    writeFrames(frames.path(), 2, 8, 8);
    const QString name = out.path() + "/kept.mp4";
    QFile kept(name);
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("old video");
    kept.close();

    PLXVideoEncoder failing("/bin/false");
    EXPECT_FALSE(failing.encode(frames.path(), 2, 5, name));
    EXPECT_TRUE(failing.getError().startsWith("The video encoder /bin/false failed")) << failing.getError().toStdString();
    EXPECT_FALSE(failing.wasCanceled());
    PLXVideoEncoder missing(out.path() + "/no such encoder");
    EXPECT_FALSE(missing.encode(frames.path(), 2, 5, name));
    EXPECT_EQ(missing.getError(), "The video encoder " + out.path() + "/no such encoder could not be started.");
    PLXVideoEncoder silent("/bin/true");
    EXPECT_FALSE(silent.encode(frames.path(), 2, 5, name));
    EXPECT_EQ(silent.getError(), "The video encoder /bin/true made no video.");
    PLXVideoEncoder nowhere;
    EXPECT_FALSE(nowhere.encode(frames.path(), 2, 5, out.path() + "/no folder/v.mp4"));
    EXPECT_EQ(nowhere.getError(), "The folder of " + out.path() + "/no folder/v.mp4 does not exist.");

    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old video");
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.mp4"});
}
