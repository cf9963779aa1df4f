// The density-mapping window maps what the batch tool maps: the same levels
// and the same voxel matrix for the same input; its isosurfaces lie in the
// stacks' frame (the level of p percent encloses about 100 - p percent of
// the points); a mask zeroes the density outside the organ; saving never
// writes over a stack and leaves nothing behind on failure.

#include "../apptesting.h"
#include "app/plxstackserver.h"
#include "app/tools/plxdensitymap.h"
#include "app/tools/plxdensitywindow.h"
#include "app/tools/plxtablewidget.h"
#include "gl/viewercanvasgl.h"
#include "numerics/progressmonitor.h"
#include "support/dialogscript.h"
#include "support/qtprinters.h"
#include "support/screenshots.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>

using namespace apptest;

namespace {

struct CliMap {
    QString levels; // the percentile table
    QByteArray volume;
};

CliMap runDensity(const QStringList& arguments, const QString& out)
{
    QProcess cli;
    cli.start(PLEXAN_CLI, QStringList{"density", QString::fromStdString(sampleFile()), "--model", "nuclei", "-o", out,
                                      "--percentiles", "50,90"} +
                              arguments);
    EXPECT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QString text = QString::fromUtf8(cli.readAllStandardOutput());
    QFile file(out);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return {text.mid(text.indexOf("\n\n") + 2), file.readAll()};
}

void configure(PLXDensityWindow& window, bool histogram, int k, int nx, int ny, int nz)
{
    window.getModelBox()->setCurrentText("nuclei");
    window.getMethodBox()->setCurrentIndex(histogram ? 1 : 0);
    window.getRankBox()->setValue(k);
    window.getGridBox(0)->setValue(nx);
    window.getGridBox(1)->setValue(ny);
    window.getGridBox(2)->setValue(nz);
    window.getPercentilesEdit()->setText("50, 90");
}

QByteArray saved(const PLXDensityMap& map, const QString& name)
{
    QString error;
    EXPECT_TRUE(map.save(name, &error)) << error.toStdString();
    QFile file(name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// The grid sample of voxel (i, j, k).
Vector<float> sample(const Grid<float>& grid, int i, int j, int k)
{
    const Vector<float> r = grid.getResolutions();
    const BoundingBox<float>& box = grid.getBoundingBox();
    return Vector<float>{box.min(0) + (i + 0.5f) * r[0], box.min(1) + (j + 0.5f) * r[1], box.min(2) + (k + 0.5f) * r[2]};
}

} // namespace

TEST(DensityWindow, MapsWhatTheBatchToolMaps)
{
    auto stack = sampleStack();
    PLXDensityWindow window({stack.get()}, nullptr, false);
    ASSERT_EQ(window.getStacks(), std::vector<PLXStack*>{stack.get()});
    ASSERT_GE(window.getModelBox()->findText("nuclei"), 0);
    EXPECT_LT(window.getModelBox()->findText("organ"), 0) << "only point models are mapped";
    QTemporaryDir dir;
    const struct {
        bool histogram;
        QStringList arguments;
    } cases[] = {{false, {"--grid", "16", "12", "8", "--k", "3"}}, {true, {"--grid", "16", "12", "8", "--histogram"}}};
    for (const auto& c : cases) {
        configure(window, c.histogram, 3, 16, 12, 8);
        window.compute();
        ASSERT_TRUE(window.getMap().hasMap());
        const CliMap cli = runDensity(c.arguments, dir.filePath("cli.vm"));
        EXPECT_EQ(QString::fromStdString(window.getLevelTable()->getTable().toTsv()), cli.levels) << c.histogram;
        EXPECT_EQ(saved(window.getMap(), dir.filePath("window.vm")), cli.volume) << c.histogram;
    }
}

TEST(DensityWindow, IsosurfacesEncloseTheirShareOfThePoints)
{
    auto stack = sampleStack();
    PLXDensityWindow window({stack.get()}, nullptr, false);
    configure(window, false, 3, 24, 24, 16);
    window.getPercentilesEdit()->setText("25, 50");
    window.compute();
    const PLXDensityMap& map = window.getMap();
    ASSERT_TRUE(map.hasMap());
    ASSERT_EQ(map.getSurfaces().size(), 2u);
    const Vertices<float>& points = *map.getPatterns().front();
    const float p[] = {25.0f, 50.0f};
    for (int q = 0; q < 2; ++q) {
        const TriMesh<float>& surface = *map.getSurfaces()[static_cast<std::size_t>(q)];
        ASSERT_GT(surface.getNumVertices(), 0);
        int inside = 0;
        for (int i = 0; i < points.getNumVertices(); ++i)
            inside += surface.contains(points[i]) ? 1 : 0;
        const double share = 100.0 * inside / points.getNumVertices();
        // The interpolated density and the faceted surface differ a little:
        // a surface misplaced by a voxel or scaled wrongly misses widely.
        EXPECT_NEAR(share, 100.0 - p[q], 12.0) << "percentile " << p[q];
    }
}

// Cancels the map as soon as the isosurface extraction reports its first
// step, as the progress dialog's Cancel would, and keeps what it was told.
class CancelInIsosurface : public ProgressMonitor {
public:
    explicit CancelInIsosurface(PLXDensityMap& map) : m_map(map) {}
    std::vector<std::string> started, canceled;

protected:
    void subjectStarted(const std::string& text) override { started.push_back(text); }
    void subjectCanceled(const std::string& text) override { canceled.push_back(text); }
    void subjectProgressed(unsigned int, unsigned int) override
    {
        if (!started.empty() && started.back() == "Marching cubes")
            m_map.cancel();
    }

private:
    PLXDensityMap& m_map;
};

// Regression: a cancel during an isosurface waited for the whole extraction,
// which never heard of it.
TEST(DensityWindow, CancelReachesTheIsosurfaceExtraction)
{
    auto stack = sampleStack();
    PLXDensityMap map;
    PLXDensityMap::Config config;
    config.stacks = {stack.get()};
    config.modelName = "nuclei";
    config.neighbourRank = 3;
    config.grid[0] = 24;
    config.grid[1] = 24;
    config.grid[2] = 16;
    map.setConfig(config);
    CancelInIsosurface monitor(map);
    map.addMonitor(monitor);
    EXPECT_FALSE(map.compute());
    map.removeMonitor(monitor);
    EXPECT_FALSE(map.hasMap());
    EXPECT_EQ(std::count(monitor.started.begin(), monitor.started.end(), "Marching cubes"), 1)
        << "the extraction of the second level never starts";
    EXPECT_EQ(monitor.canceled.size(), 1u) << "the extraction itself stops and says so";
}

TEST(DensityWindow, MaskKeepsTheDensityInsideTheOrgan)
{
    auto stack = sampleStack();
    PLXDensityWindow window({stack.get()}, nullptr, false);
    configure(window, false, 3, 10, 10, 6);
    window.getMarginBox()->setValue(0.6); // the box reaches beyond the organ
    ASSERT_GE(window.getMaskBox()->findText("organ"), 0);
    window.getMaskBox()->setCurrentText("organ");
    window.compute();
    const PLXDensityMap& map = window.getMap();
    ASSERT_TRUE(map.hasMap());
    ASSERT_NE(map.getMask(), nullptr);
    const VoxelMatrix<float>& density = map.getDensity();
    int kept = 0, zeroed = 0;
    for (int k = 0; k < density.getSize3(); ++k)
        for (int i = 0; i < density.getSize1(); ++i)
            for (int j = 0; j < density.getSize2(); ++j) {
                const bool in = map.getMask()->contains(sample(map.getGrid(), i, j, k));
                if (!in) {
                    EXPECT_EQ(density(i, j, k), 0.0f) << i << " " << j << " " << k;
                }
                kept += in && density(i, j, k) > 0.0f;
                zeroed += !in;
            }
    EXPECT_GT(kept, 0);
    EXPECT_GT(zeroed, 0);
}

TEST(DensityWindow, SavesNeverOverAStackNorHalfWritten)
{
    QTemporaryDir dir;
    auto stack = sampleStack();
    const QString file = dir.filePath("specimen.sdf");
    ASSERT_TRUE(stack->write(file));
    stack->setFilename(file);
    QFile original(file);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    PLXDensityWindow window({stack.get()}, nullptr, false);
    configure(window, true, 1, 4, 4, 4);
    window.compute();
    ASSERT_TRUE(window.getMap().hasMap());

    QString error;
    EXPECT_FALSE(window.getMap().save(file, &error));
    EXPECT_TRUE(error.contains("one of the stacks")) << error.toStdString();
    // Through the dialog the name gets its extension: the stack stays.
    DialogScript script;
    script.value(file);
    window.saveMap();
    EXPECT_EQ(script.requests().size(), 1u);
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);

    EXPECT_FALSE(window.getMap().save(dir.filePath("missing/map.vm"), &error));
    // A name without the extension gets it.
    script.value(dir.filePath("map"));
    window.saveMap();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"map.vm", "specimen.sdf", "specimen.sdf.vm"}));
}

TEST(DensityWindow, BadConfigurationsAreReportedAndKeepTheMap)
{
    auto stack = sampleStack();
    PLXDensityWindow window({stack.get()}, nullptr, false);
    configure(window, false, 3, 6, 6, 4);
    window.compute();
    ASSERT_TRUE(window.getMap().hasMap());
    const float level = window.getMap().getLevels()[0];

    DialogScript script;
    script.button("OK").button("OK");
    window.getPercentilesEdit()->setText("50, 120");
    window.compute();
    window.getPercentilesEdit()->setText("50");
    window.getRankBox()->setValue(1000); // more than the sample's nuclei
    window.compute();
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_TRUE(script.requests()[0].text.contains("120")) << script.requests()[0].text.toStdString();
    EXPECT_TRUE(script.requests()[1].text.contains("1000")) << script.requests()[1].text.toStdString();
    EXPECT_EQ(window.getMap().getLevels()[0], level);
}

TEST(DensityWindowDisplay, ShowsTheSamplesNucleiAndLevels)
{
    auto stack = sampleStack();
    PLXDensityWindow window({stack.get()});
    configure(window, false, 3, 24, 24, 16);
    window.show();
    window.compute();
    ASSERT_TRUE(window.getMap().hasMap());
    QCoreApplication::processEvents();
    const QImage view = window.getCanvas()->grabFramebuffer();
    // Something other than the background is drawn at the centre.
    const QImage full = window.grab().toImage();
    EXPECT_FALSE(view.isNull());
    EXPECT_GT(support::colouredPixels(view), 50);
    EXPECT_TRUE(support::keepScreenshot(full, "density-window.png"));
}

// The stack list follows the open stacks: a stack opened later comes
// unchecked (the map's input does not change behind the user's back), and
// closing a stack the map was computed from drops the map before the stack
// goes (no dangling specimen).
TEST(DensityWindow, StackListFollowsOpenedAndClosedStacks)
{
    PLXStack* first = sampleStack().release();
    PLXStackServer::stackServer.addStack(first);
    PLXDensityWindow window({first}, nullptr, false);
    configure(window, true, 3, 8, 6, 4);
    window.compute();
    ASSERT_TRUE(window.getMap().hasMap());

    PLXStack* second = sampleStack().release();
    second->setName("second");
    PLXStackServer::stackServer.addStack(second);
    EXPECT_EQ(window.getStacks(), std::vector<PLXStack*>{first});
    EXPECT_TRUE(window.getMap().hasMap()) << "opening another stack keeps the map";
    window.setStackChecked(*second, true);
    EXPECT_EQ(window.getStacks(), (std::vector<PLXStack*>{first, second}));

    PLXStackServer::stackServer.removeStack(second);
    EXPECT_EQ(window.getStacks(), std::vector<PLXStack*>{first});
    EXPECT_TRUE(window.getMap().hasMap()) << "the closed stack was not one of the map's";

    PLXStackServer::stackServer.removeStack(first);
    EXPECT_TRUE(window.getStacks().empty());
    EXPECT_FALSE(window.getMap().hasMap());
}
