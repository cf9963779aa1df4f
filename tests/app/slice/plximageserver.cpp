// The image server: shared loads, reduced copies, late proxies, image choice
// by size, cancellation and failures, checked against images computed here
// from the pixels written to disk.

#include "app/slice/plximageproxy.h"
#include "app/slice/plximagereader.h"
#include "app/slice/plximageresizer.h"
#include "app/slice/plximageserver.h"
#include "app/slice/plximageserverdata.h"
#include "image/colormap.h"
#include "image/image.h"
#include "image/imagesourcefile.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// Grey levels that differ between neighbours, so that a wrong block or
// rounding shows.
Image makeImage(int width, int height, int depth)
{
    Image image(width, height, depth);
    const int bpp = image.bytesPerPixel();
    for (int y = 0; y < height; ++y) {
        unsigned char* row = image.getRow(y);
        for (int x = 0; x < width; ++x) {
            if (depth == 16) {
                const std::uint16_t v = static_cast<std::uint16_t>((x * 131 + y * 977 + x * y) % 65536);
                std::memcpy(row + 2 * x, &v, 2);
            } else {
                for (int c = 0; c < bpp; ++c)
                    row[x * bpp + c] = static_cast<unsigned char>((x * 7 + y * 13 + c * 50 + x * y) % 256);
            }
        }
    }
    return image;
}

int sample(const Image& image, int x, int y, int c)
{
    if (image.getDepth() == 16) {
        std::uint16_t v;
        std::memcpy(&v, image.getRow(y) + 2 * x, 2);
        return v;
    }
    return image.getRow(y)[x * image.bytesPerPixel() + c];
}

int channels(const Image& image)
{
    return image.getDepth() == 16 ? 1 : image.bytesPerPixel();
}

// The half of an image, block by block, as the pyramid must make it.
void expectHalfOf(const Image& half, const Image& full)
{
    ASSERT_EQ(half.getWidth(), full.getWidth() / 2);
    ASSERT_EQ(half.getHeight(), full.getHeight() / 2);
    ASSERT_EQ(half.getDepth(), full.getDepth());
    for (int y = 0; y < half.getHeight(); ++y)
        for (int x = 0; x < half.getWidth(); ++x)
            for (int c = 0; c < channels(full); ++c) {
                const int sum = sample(full, 2 * x, 2 * y, c) + sample(full, 2 * x + 1, 2 * y, c) +
                                sample(full, 2 * x, 2 * y + 1, c) + sample(full, 2 * x + 1, 2 * y + 1, c);
                ASSERT_EQ(sample(half, x, y, c), (sum + 2) / 4) << "at " << x << "," << y << " channel " << c;
            }
}

class ImageServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    std::string write(const Image& image, const QString& name)
    {
        const std::string path = (m_dir.path() + "/" + name).toStdString();
        image.writeFile(path, "", true);
        return path;
    }

    static bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }
    static QString keyOf(const std::string& path) { return PLXImageProxy::key(ImageSourceFile(path)); }

    QTemporaryDir m_dir;
};

// Counts the jobs the server makes: one job, one read.
class CountingServer : public PLXImageServer {
public:
    int jobs = 0;

protected:
    PLXImageServerData* newData(PLXImageProxy& proxy) override
    {
        ++jobs;
        return PLXImageServer::newData(proxy);
    }
};

} // namespace

TEST_F(ImageServerTest, TwoProxiesOfOneSourceShareOneReadAndItsPyramid)
{
    const Image written = makeImage(300, 200, 8);
    const std::string path = write(written, "a.tif");
    CountingServer server;
    PLXImageProxy first, second;
    QSignalSpy changed(&second, &PLXImageProxy::imageChanged);
    for (PLXImageProxy* proxy : {&first, &second}) {
        proxy->setImageSource(ImageSourceFile(path));
        proxy->setImageServer(&server);
        proxy->attachToServer();
    }
    EXPECT_EQ(first.key(), second.key());
    ASSERT_TRUE(waitFor([&] { return first.isLoaded() && second.isLoaded(); }));
    EXPECT_EQ(server.jobs, 1);
    EXPECT_EQ(server.numFinishedJobs(), 1);

    // 300 x 200, then halves while the last is at least 64 on both sides.
    ASSERT_EQ(first.getNumImages(), 3);
    EXPECT_EQ(first.getImage().getWidth(), 300);
    ASSERT_EQ(first.getImage().dataLength(), written.dataLength());
    EXPECT_EQ(std::memcmp(first.getImage().getData(), written.getData(), written.dataLength()), 0);
    // Image i of the list is the one asked for with a width just below its own.
    const auto image = [&](int i) { return first.getImagePointer(QSize((300 >> i) - 1, 1)); };
    for (int i = 1; i < 3; ++i) {
        ASSERT_EQ(image(i)->getWidth(), 300 >> i);
        expectHalfOf(*image(i), *image(i - 1));
    }
    for (int i = 0; i < 3; ++i) {
        const QSize size((300 >> i) - 1, 1);
        EXPECT_EQ(first.getImagePointer(size), second.getImagePointer(size))
            << "one image shared, not two reads";
    }
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(ImageServerTest, ImagesUnder64PixelsGetNoReducedCopies)
{
    struct Case {
        int width, height, images;
    };
    for (const Case& c :
         {Case{63, 300, 1}, Case{300, 63, 1}, Case{64, 64, 2}, Case{128, 100, 2}, Case{512, 64, 2}}) {
        const std::string path =
            write(makeImage(c.width, c.height, 8), QString("s%1x%2.tif").arg(c.width).arg(c.height));
        PLXImageServer server;
        PLXImageProxy proxy;
        proxy.setImageSource(ImageSourceFile(path));
        proxy.setImageServer(&server);
        proxy.attachToServer();
        ASSERT_TRUE(waitFor([&] { return proxy.isLoaded(); }));
        EXPECT_EQ(proxy.getNumImages(), c.images) << c.width << " x " << c.height;
    }
}

TEST_F(ImageServerTest, HalvesOfEveryDepthAreRoundedBlockMeans)
{
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        const Image image = makeImage(37, 21, depth); // odd sizes: the last row and column drop
        expectHalfOf(PLXImageResizer::halve(image), image);
    }
}

TEST_F(ImageServerTest, ALateProxyGetsTheImagesAtOnceWithoutANewRead)
{
    const std::string path = write(makeImage(256, 256, 8), "late.tif");
    CountingServer server;
    PLXImageProxy first;
    first.setImageSource(ImageSourceFile(path));
    first.setImageServer(&server);
    first.attachToServer();
    ASSERT_TRUE(waitFor([&] { return first.isLoaded(); }));

    PLXImageProxy late;
    late.setImageSource(ImageSourceFile(path));
    late.setImageServer(&server);
    late.attachToServer();
    // No event processed in between: everything came with the attachment.
    EXPECT_TRUE(late.isLoaded());
    ASSERT_EQ(late.getNumImages(), first.getNumImages());
    EXPECT_EQ(late.getImagePointer(), first.getImagePointer());
    EXPECT_EQ(late.getImagePointer(QSize(1, 1)), first.getImagePointer(QSize(1, 1)));
    EXPECT_EQ(server.jobs, 1);
}

TEST_F(ImageServerTest, ImageBySizeIsTheSmallestWiderThanAskedElseTheFullOne)
{
    PLXImageProxy proxy;
    EXPECT_PLEXAN_THROW(proxy.getImage(), ProgramError, "const Image& PLXImageProxy::getImage() const",
                        "This proxy has no image");
    EXPECT_PLEXAN_THROW(proxy.getImage(QSize(10, 10)), ProgramError,
                        "const Image& PLXImageProxy::getImage(const QSize&) const",
                        "This proxy has no image");
    EXPECT_PLEXAN_THROW(proxy.getImageServer(), ProgramError,
                        "PLXImageServer& PLXImageProxy::getImageServer() const",
                        "This proxy has no image server");

    const std::vector<int> widths{400, 200, 100, 50};
    for (int w : widths)
        proxy.setImage(Image(w, w / 2, 8));
    // Holding an image already: not appended again.
    proxy.setImage(proxy.getImagePointer(QSize(120, 1)));
    ASSERT_EQ(proxy.getNumImages(), 4);
    EXPECT_EQ(proxy.getImage().getWidth(), 400);
    for (int asked = 1; asked <= 1000; ++asked) {
        // Reference: the last image wider than asked, the full one if none is.
        int expected = widths[0];
        for (int w : widths)
            if (w > asked)
                expected = w;
        ASSERT_EQ(proxy.getImage(QSize(asked, 1)).getWidth(), expected) << "asked " << asked;
    }
}

TEST_F(ImageServerTest, CancellingPublishesNoReducedCopyAndTheNextJobRuns)
{
    const std::string a = write(makeImage(512, 512, 8), "a.tif");
    const std::string b = write(makeImage(200, 100, 8), "b.tif");
    const std::string c = write(makeImage(100, 100, 8), "c.tif");
    PLXImageServer server;
    PLXImageProxy pa, pb, pc;
    for (auto [proxy, path] : {std::pair{&pa, a}, std::pair{&pb, b}, std::pair{&pc, c}}) {
        proxy->setImageSource(ImageSourceFile(path));
        proxy->setImageServer(&server);
        proxy->attachToServer();
    }
    EXPECT_EQ(server.numRunningJobs(), 1);
    EXPECT_EQ(server.numPendingJobs(), 2);
    QSignalSpy canceledA(&pa, &PLXImageProxy::loadingCanceled);
    QSignalSpy canceledC(&pc, &PLXImageProxy::loadingCanceled);

    // A pending job is cancelled at once and never read.
    server.findData(pc.key())->cancel();
    EXPECT_EQ(canceledC.count(), 1);
    EXPECT_EQ(server.findData(pc.key()), nullptr);
    // The running one stops before its reduced copies.
    server.findData(pa.key())->cancel();
    ASSERT_TRUE(waitFor([&] { return pb.isLoaded(); }));
    EXPECT_EQ(canceledA.count(), 1);
    EXPECT_EQ(pa.getNumImages(), 0);
    EXPECT_FALSE(pa.isLoaded());
    EXPECT_FALSE(pc.hasImage());
    EXPECT_EQ(pb.getNumImages(), 2);
    EXPECT_EQ(server.numFinishedJobs(), 1);

    // A cancelled proxy may ask again: a new job reads the image.
    pa.attachToServer();
    ASSERT_TRUE(waitFor([&] { return pa.isLoaded(); }));
    EXPECT_EQ(pa.getNumImages(), 5); // 512 down to 32
}

TEST_F(ImageServerTest, JobsGoWithTheirLastProxyOnlyInAutoDeleteMode)
{
    const std::string a = write(makeImage(1024, 1024, 16), "a.tif");
    const std::string b = write(makeImage(100, 100, 8), "b.tif");
    {
        // Detaching from a running job stops it; the next one runs.
        PLXImageServer server;
        auto pa = std::make_unique<PLXImageProxy>();
        PLXImageProxy pb;
        for (auto [proxy, path] : {std::pair{pa.get(), a}, std::pair{&pb, b}}) {
            proxy->setImageSource(ImageSourceFile(path));
            proxy->setImageServer(&server);
            proxy->attachToServer();
        }
        pa.reset();
        EXPECT_EQ(server.findData(keyOf(a)), nullptr);
        ASSERT_TRUE(waitFor([&] { return pb.isLoaded(); }));
        pb.detachFromServer();
        EXPECT_EQ(server.numFinishedJobs(), 0);
    }
    {
        PLXImageServer server;
        server.setAutoDelete(false);
        PLXImageProxy proxy;
        proxy.setImageSource(ImageSourceFile(b));
        proxy.setImageServer(&server);
        proxy.attachToServer();
        ASSERT_TRUE(waitFor([&] { return proxy.isLoaded(); }));
        const PLXImagePointer image = proxy.getImagePointer();
        proxy.detachFromServer();
        EXPECT_EQ(server.numFinishedJobs(), 1);
        proxy.clearImage();
        proxy.attachToServer();
        EXPECT_EQ(proxy.getImagePointer(), image);
    }
}

TEST_F(ImageServerTest, WithABaseSizeTheFittingCopyReplacesTheFullImage)
{
    // A horizontal ramp: smoothing and linear resampling keep it a ramp away
    // from the borders, so the expected values follow from the geometry.
    Image ramp(600, 300, 16);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 600; ++x) {
            const std::uint16_t v = static_cast<std::uint16_t>(100 * x);
            std::memcpy(ramp.getRow(y) + 2 * x, &v, 2);
        }
    PLXImageServer server;
    server.setBaseSize(QSize(256, 256));
    PLXImageProxy proxy;
    QSignalSpy changed(&proxy, &PLXImageProxy::imageChanged);
    proxy.setImageSource(ImageSourceFile(write(ramp, "ramp.tif")));
    proxy.setImageServer(&server);
    proxy.attachToServer();
    ASSERT_TRUE(waitFor([&] { return proxy.isLoaded(); }));
    ASSERT_EQ(proxy.getNumImages(), 1);
    const Image& thumb = proxy.getImage();
    EXPECT_EQ(thumb.getWidth(), 256);
    EXPECT_EQ(thumb.getHeight(), 128);
    EXPECT_EQ(thumb.getDepth(), 16);
    EXPECT_EQ(changed.count(), 2); // the full image, then its replacement
    const double scale = 600.0 / 256.0;
    for (int x = 4; x < 252; ++x) {
        const double source = (x + 0.5) * scale - 0.5;
        EXPECT_NEAR(sample(thumb, x, 64, 0), 100 * source, 1.0) << "column " << x;
    }
    EXPECT_EQ(PLXImageResizer::fittingSize(QSize(600, 300), QSize(256, 256)), QSize(256, 128));
    EXPECT_EQ(PLXImageResizer::fittingSize(QSize(300, 600), QSize(256, 256)), QSize(128, 256));
    EXPECT_EQ(PLXImageResizer::fittingSize(QSize(1000, 1), QSize(256, 256)), QSize(256, 1));
}

TEST_F(ImageServerTest, AnUnreadableImageFailsWithItsReasonAndTheServerGoesOn)
{
    const std::string broken = write(makeImage(300, 300, 8), "broken.tif");
    const std::string good = write(makeImage(100, 100, 8), "good.tif");
    const ImageSourceFile source(broken); // its header is read now
    QFile::resize(QString::fromStdString(broken), 2000);
    PLXImageServer server;
    PLXImageProxy failing, other;
    QSignalSpy failed(&failing, &PLXImageProxy::loadingFailed);
    failing.setImageSource(source);
    other.setImageSource(ImageSourceFile(good));
    for (PLXImageProxy* proxy : {&failing, &other}) {
        proxy->setImageServer(&server);
        proxy->attachToServer();
    }
    ASSERT_TRUE(waitFor([&] { return other.isLoaded(); }));
    EXPECT_TRUE(failing.hasFailed());
    EXPECT_FALSE(failing.hasImage());
    ASSERT_EQ(failed.count(), 1);
    EXPECT_FALSE(failing.getErrorText().isEmpty());

    // A later view of the same source learns of the failure at once.
    PLXImageProxy late;
    late.setImageSource(source);
    late.setImageServer(&server);
    late.attachToServer();
    EXPECT_TRUE(late.hasFailed());
    EXPECT_EQ(late.getErrorText(), failing.getErrorText());
}

TEST_F(ImageServerTest, ProxiesOutliveTheirServerWithTheirImages)
{
    const std::string path = write(makeImage(100, 100, 8), "a.tif");
    const std::string big = write(makeImage(1024, 1024, 16), "big.tif");
    PLXImageProxy done, loading;
    {
        PLXImageServer server;
        done.setImageSource(ImageSourceFile(path));
        loading.setImageSource(ImageSourceFile(big));
        for (PLXImageProxy* proxy : {&done, &loading}) {
            proxy->setImageServer(&server);
            proxy->attachToServer();
        }
        ASSERT_TRUE(waitFor([&] { return done.isLoaded(); }));
        // `loading` may still be reading when the server goes.
    }
    EXPECT_FALSE(done.hasImageServer());
    EXPECT_FALSE(loading.hasImageServer());
    EXPECT_FALSE(done.isAttached());
    EXPECT_EQ(done.getImage().getWidth(), 100);
    done.detachFromServer(); // nothing left to detach from
}

TEST_F(ImageServerTest, ReadImagesLoseTheirColormap)
{
    Colormap colors(4);
    colors.setCell(0, 0, 0, 0);
    colors.setCell(1, 255, 0, 0);
    colors.setCell(2, 0, 90, 200);
    colors.setCell(3, 10, 20, 30);
    Colormap greys(4);
    for (int i = 0; i < 4; ++i)
        greys.setCell(i, i * 80, i * 80, i * 80);
    for (const Colormap* map : {&colors, &greys}) {
        Image image(5, 3, 8);
        for (int i = 0; i < 15; ++i)
            image.getData()[i] = static_cast<unsigned char>(i % 4);
        image.setColormap(*map);
        const Image indexed = image;
        PLXImageReader::removeColormap(image);
        EXPECT_FALSE(image.hasColormap());
        const bool grey = map == &greys;
        EXPECT_EQ(image.getDepth(), grey ? 8 : 24);
        for (int i = 0; i < 15; ++i) {
            const int cell = indexed.getData()[i];
            if (grey) {
                EXPECT_EQ(image.getData()[i], map->getRed()[cell]);
            } else {
                EXPECT_EQ(image.getData()[3 * i], map->getRed()[cell]);
                EXPECT_EQ(image.getData()[3 * i + 1], map->getGreen()[cell]);
                EXPECT_EQ(image.getData()[3 * i + 2], map->getBlue()[cell]);
            }
        }
    }
}
