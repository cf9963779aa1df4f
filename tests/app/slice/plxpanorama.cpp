// The panorama, the overview and the stack and slice lists: what they show
// and what the user's clicks report.

#include "app/slice/plximageproxy.h"
#include "app/slice/plximageserver.h"
#include "app/slice/plxoverviewwidget.h"
#include "app/slice/plxpanorama.h"
#include "app/slice/plxslicelistwidget.h"
#include "app/slice/plxstacklistwidget.h"
#include "slicefixtures.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace slicefixtures;

namespace {

class SliceViewsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QTemporaryDir m_dir;
};

StackSlice* sliceArgument(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<StackSlice*>();
}

} // namespace

TEST_F(SliceViewsTest, ThePanoramaShowsEverySliceAsAThumbnailAndReportsClicks)
{
    TestStack t(m_dir, 5, 300, 150, 8, true);
    PLXImageServer server;
    server.setBaseSize(QSize(256, 256));
    server.setAutoDelete(false);
    PLXPanorama panorama;
    panorama.resize(460, 500);
    panorama.setStack(&t.stack, &server);
    ASSERT_EQ(panorama.getNumThumbnails(), 5);
    // Nothing is loaded for a panorama nobody looks at.
    EXPECT_EQ(server.numPendingJobs() + server.numRunningJobs() + server.numFinishedJobs(), 0);
    panorama.show();
    ASSERT_TRUE(waitFor([&] {
        for (int i = 0; i < 5; ++i)
            if (!panorama.getProxy(i).isLoaded())
                return false;
        return true;
    }));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(panorama.getProxy(i).getImage().getWidth(), 256); // the thumbnail replaced the image
    panorama.setSlice(t.stack.getSlice(3));

    QWidget* sheet = panorama.widget();
    const QImage shot = sheet->grab().toImage();
    for (int i = 0; i < 5; ++i) {
        const QRect cell = panorama.cellRect(i);
        // 300 x 150 fitted into 128 x 128: 128 x 64, centred.
        const QPoint centre = cell.topLeft() + QPoint(64, 64);
        EXPECT_EQ(shot.pixel(centre), qRgb(uniformLevel(i), uniformLevel(i), uniformLevel(i))) << i;
        EXPECT_EQ(shot.pixel(centre - QPoint(0, 40)), QColor(Qt::darkGray).rgb()); // above the thumbnail
        EXPECT_GT(cell.height(), PLXPanorama::thumbnailSide);                      // room for the slice name
    }
    // The current slice is framed.
    EXPECT_EQ(shot.pixel(panorama.cellRect(3).topLeft() + QPoint(-2, 40)), qRgb(255, 210, 0));

    QSignalSpy selected(&panorama, &PLXPanorama::sliceSelected);
    QSignalSpy activated(&panorama, &PLXPanorama::sliceActivated);
    QTest::mouseClick(sheet, Qt::LeftButton, {}, panorama.cellRect(2).center());
    QTest::mouseDClick(sheet, Qt::LeftButton, {}, panorama.cellRect(4).center());
    QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(2, 2)); // between cells
    ASSERT_GE(selected.count(), 1);
    EXPECT_EQ(sliceArgument(selected, 0), t.stack.getSlice(2));
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(sliceArgument(activated, 0), t.stack.getSlice(4));

    panorama.setLabelsEnabled(false);
    EXPECT_EQ(panorama.cellRect(0).height(), PLXPanorama::thumbnailSide);

    // A slice removed from the stack leaves the panorama on rebuild; the
    // others keep their thumbnails.
    const PLXImagePointer kept = panorama.getProxy(0).getImagePointer();
    delete t.stack.removeSlice(1);
    panorama.rebuild();
    EXPECT_EQ(panorama.getNumThumbnails(), 4);
    EXPECT_EQ(panorama.getProxy(0).getImagePointer(), kept);
    panorama.clear();
    EXPECT_EQ(panorama.getNumThumbnails(), 0);
}

TEST_F(SliceViewsTest, TheOverviewFramesTheViewAndMovesItsCentreToTheMouse)
{
    TestStack t(m_dir, 1, 200, 100);
    PLXImageServer server;
    PLXOverviewWidget overview;
    overview.resize(200, 200);
    overview.setImageServer(&server);
    overview.setSlice(t.stack.getSlice(0));
    QSignalSpy visible(&overview, &PLXOverviewWidget::visibilityChanged);
    overview.show();
    ASSERT_TRUE(waitFor([&] { return overview.getImageProxy().isLoaded(); }));
    EXPECT_EQ(overview.imageRect(), QRect(0, 50, 200, 100));
    overview.setLocalViewRect(QRect(0, 0, 50, 40));

    const QImage shot = overview.grab().toImage();
    EXPECT_EQ(shot.pixel(100, 100), qRgb(level(100, 50), level(100, 50), level(100, 50)));
    EXPECT_EQ(shot.pixel(25, 50), qRgb(255, 210, 0)); // the top of the view's frame

    QSignalSpy moved(&overview, &PLXOverviewWidget::localViewOriginChanged);
    QTest::mousePress(&overview, Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_EQ(moved.count(), 1);
    // Image point (100, 50) becomes the centre of a 50 x 40 view.
    EXPECT_EQ(moved.at(0).at(0).toPoint(), QPoint(75, 30));
    QTest::mouseRelease(&overview, Qt::LeftButton, {}, QPoint(100, 100));

    overview.hide();
    ASSERT_GE(visible.count(), 2);
    EXPECT_FALSE(visible.last().at(0).toBool());
    overview.clearImageServer();
    EXPECT_FALSE(overview.getImageProxy().hasImage());
}

TEST_F(SliceViewsTest, ListsReportTheUsersSelectionsOnly)
{
    TestStack first(m_dir, 3, 10, 10);
    QTemporaryDir other;
    TestStack second(other, 2, 10, 10);
    first.stack.setName("first");
    second.stack.setName("second");

    PLXStackListWidget stacks;
    stacks.show();
    QSignalSpy stackSpy(&stacks, &PLXStackListWidget::stackSelectionChanged);
    stacks.addStack(&first.stack, "/data/first.sdf");
    stacks.addStack(&second.stack);
    stacks.addStack(&first.stack); // listed already
    ASSERT_EQ(stacks.count(), 2);
    stacks.selectStack(&second.stack);
    EXPECT_EQ(stackSpy.count(), 0);
    EXPECT_EQ(stacks.getSelectedStacks(), QList<Stack*>{&second.stack});
    QTest::mouseClick(stacks.viewport(), Qt::LeftButton, {}, stacks.visualItemRect(stacks.item(0)).center());
    EXPECT_GE(stackSpy.count(), 1);
    EXPECT_EQ(stacks.getSelectedStacks(), QList<Stack*>{&first.stack});
    first.stack.setName("renamed");
    stacks.updateStack(&first.stack, "/data/renamed.sdf");
    EXPECT_EQ(stacks.item(0)->text(), "renamed");
    stacks.removeStack(&first.stack);
    EXPECT_EQ(stacks.count(), 1);
    EXPECT_EQ(stacks.getStack(0), &second.stack);

    PLXSliceListWidget slices;
    slices.show();
    QSignalSpy sliceSpy(&slices, &PLXSliceListWidget::sliceSelectionChanged);
    slices.setStack(&first.stack);
    ASSERT_EQ(slices.count(), 3);
    slices.selectSlice(first.stack.getSlice(1));
    EXPECT_EQ(sliceSpy.count(), 0);
    auto* inserted = new StackSlice("new");
    first.stack.addSlice(inserted, 0);
    slices.rebuild();
    ASSERT_EQ(slices.count(), 4);
    EXPECT_EQ(slices.getSlice(0), inserted);
    EXPECT_EQ(slices.getSelectedSlices(), QList<StackSlice*>{first.stack.getSlice(2)});
    EXPECT_EQ(sliceSpy.count(), 0);
    QTest::mouseClick(slices.viewport(), Qt::LeftButton, {}, slices.visualItemRect(slices.item(3)).center());
    EXPECT_GE(sliceSpy.count(), 1);
    EXPECT_EQ(slices.getSelectedSlices(), QList<StackSlice*>{first.stack.getSlice(3)});
    slices.clear();
    EXPECT_EQ(slices.count(), 0);
}
