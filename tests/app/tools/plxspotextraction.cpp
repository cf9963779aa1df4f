// Spot extraction: a synthetic stack of Gaussian blobs at known sub-voxel
// places, written as TIFF slices, goes through the whole run (settings,
// filtering in the worker, threshold with its preview on the slice canvas,
// labelling, models); the spots found are checked against the blobs drawn.

#include "app/tools/plxspotextractionprocess.h"

#include "app/plxactionhistory.h"
#include "app/plxrootmediator.h"
#include "app/plxrootwindow.h"
#include "app/plxstackserver.h"
#include "app/slice/plximageproxy.h"
#include "app/slice/plxsliceeditwidget.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/tools/plxspotextractiondialog.h"
#include "app/tools/plxspotthresholddialog.h"
#include "numerics/progressmonitor.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"
#include "support/dialogscript.h"
#include "toolsfixtures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <numbers>
#include <set>
#include <tuple>

using namespace toolstest;

namespace {

constexpr int width = 40;
constexpr int height = 32;
constexpr int depth = 10;

struct Blob {
    double x, y, z;
};

// Well apart (more than ten voxels), at sub-voxel places, none on a border.
const std::vector<Blob> blobs = {{10.3, 8.6, 3.4}, {28.7, 9.2, 5.8}, {12.4, 22.1, 6.3}, {30.2, 23.5, 2.7}};

// Background 40 with a gentle ramp, blobs of height 150 and sigma 1.3, and
// a few grey levels of deterministic noise.
int level(int x, int y, int z)
{
    double v = 40.0 + 0.5 * x;
    for (const Blob& b : blobs) {
        const double d2 = (x - b.x) * (x - b.x) + (y - b.y) * (y - b.y) + (z - b.z) * (z - b.z);
        v += 150.0 * std::exp(-d2 / (2.0 * 1.3 * 1.3));
    }
    const unsigned hash = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u) ^
                          (static_cast<unsigned>(z) * 83492791u);
    v += static_cast<double>(hash % 7) - 3.0;
    return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
}

struct SpotStack : ImageStack {
    SpotStack()
    {
        for (int z = 0; z < depth; ++z)
            addSlice(width, height, [z](int x, int y) { return level(x, y, z); });
        stack->setDefaultRelativePosition(1.0f);
    }
};

// Chooses the settings in the dialog as a user would.
struct Settings {
    PLXSpotExtractionSmoothing smoothing = PLXSpotExtractionSmoothing::Gaussian;
    int smoothingRadius = 1;
    PLXSpotExtractionTopHat tophat = PLXSpotExtractionTopHat::Spherical;
    bool isotropy = false;
    bool separate = true;
    bool spheres = false;
    bool resize = false;
    int resizedColumns = 0;
};

DialogScript& answerSettings(DialogScript& script, const Settings& s)
{
    return script.modal([s](QDialog& d) {
        auto& dialog = dynamic_cast<PLXSpotExtractionDialog&>(d);
        dialog.getSmoothingType()->setCurrentIndex(static_cast<int>(s.smoothing));
        dialog.getSmoothingRadius()->setValue(s.smoothingRadius);
        dialog.getTopHatType()->setCurrentIndex(static_cast<int>(s.tophat));
        dialog.getIsotropyGroup()->setChecked(s.isotropy);
        dialog.getSeparateModels()->setChecked(s.separate);
        dialog.getEquivalentSpheres()->setChecked(s.spheres);
        dialog.getResizingGroup()->setChecked(s.resize);
        if (s.resize)
            dialog.getSizeBox(1)->setValue(s.resizedColumns);
        return dialog.getRunButton()->isEnabled();
    });
}

// Accepts the threshold dialog at the given threshold.
DialogScript& answerThreshold(DialogScript& script, int threshold)
{
    return script.modal([threshold](QDialog& d) {
        dynamic_cast<PLXSpotThresholdDialog&>(d).setThreshold(threshold);
        return true;
    });
}

// The mean of a model's vertices as (x, y, slice).
std::array<double, 4> centroid(const Stack& stack, const Model& model)
{
    double x = 0, y = 0, z = 0, n = 0;
    for (const ModelItem* item : model.getItems())
        for (int i = 0; i < item->getSize(); ++i) {
            x += item->getVertices()[i][0];
            y += item->getVertices()[i][1];
            z += stack.findSlice(item->getSlice());
            n += 1;
        }
    return {x / n, y / n, z / n, n};
}

// Every blob has exactly one model whose centroid lies within one voxel.
void expectBlobsFound(const PLXStack& stack)
{
    ASSERT_EQ(stack.getNumModels(), static_cast<int>(blobs.size()));
    std::set<const Blob*> matched;
    for (int m = 0; m < stack.getNumModels(); ++m) {
        const auto c = centroid(stack, *stack.getModel(m));
        const Blob* nearest = nullptr;
        for (const Blob& b : blobs)
            if (std::abs(c[0] - b.x) <= 1.0 && std::abs(c[1] - b.y) <= 1.0 && std::abs(c[2] - b.z) <= 1.0)
                nearest = &b;
        ASSERT_NE(nearest, nullptr) << "spot at " << c[0] << ", " << c[1] << ", " << c[2];
        matched.insert(nearest);
    }
    EXPECT_EQ(matched.size(), blobs.size());
}

class StepCanceller : public ProgressMonitor {
public:
    StepCanceller(PLXSpotExtractionProcess& process, std::string step) : m_process(process), m_step(std::move(step)) {}
    std::vector<std::string> steps() const
    {
        const std::lock_guard lock(m_mutex);
        return m_steps;
    }

protected:
    // Called in the worker thread as the step is announced.
    void subjectProgressed(const std::string& text) override
    {
        {
            const std::lock_guard lock(m_mutex);
            m_steps.push_back(text);
        }
        if (text == m_step)
            m_process.cancel();
    }

private:
    PLXSpotExtractionProcess& m_process;
    std::string m_step;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_steps;
};

} // namespace

// The four blobs become four models named after the basename, each centred
// within one voxel of its blob, in one step that one undo removes.
TEST(PLXSpotExtraction, FindsTheBlobsOfASyntheticStackAndUndoesInOneStep)
{
    SpotStack s;
    PLXStack& stack = *s.stack;
    DialogScript script;
    answerSettings(script, Settings());
    answerThreshold(script, 128);
    PLXSpotExtractionProcess process;
    process.run(stack);
    EXPECT_EQ(script.unexpected(), 0);
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[1].title, QStringLiteral("Spot extraction"));

    expectBlobsFound(stack);
    std::set<std::string> names;
    for (int m = 0; m < stack.getNumModels(); ++m) {
        names.insert(stack.getModel(m)->getName());
        EXPECT_EQ(stack.getModel(m)->getProperties().getGeometry(), MPrimitive::Polypoint);
        // Items lie on the slices that list them.
        for (const ModelItem* item : stack.getModel(m)->getItems())
            EXPECT_GE(item->getSlice()->findItem(item), 0);
    }
    EXPECT_EQ(names, (std::set<std::string>{"spot001", "spot002", "spot003", "spot004"}));
    EXPECT_TRUE(stack.isModified());
    EXPECT_EQ(stack.history().getNumUndoSteps(), 1);

    stack.history().undo();
    EXPECT_EQ(stack.getNumModels(), 0);
    for (int z = 0; z < stack.getNumSlices(); ++z)
        EXPECT_EQ(stack.getSlice(z)->getNumItems(), 0) << "slice " << z;
    stack.history().redo();
    expectBlobsFound(stack);
}

// Every smoothing and top-hat, and a resampled volume, find the same blobs.
TEST(PLXSpotExtraction, EveryFilterChainFindsTheBlobs)
{
    std::vector<Settings> chains(3);
    chains[0].smoothing = PLXSpotExtractionSmoothing::Average;
    chains[0].tophat = PLXSpotExtractionTopHat::Flat;
    chains[1].smoothing = PLXSpotExtractionSmoothing::Median;
    chains[2].resize = true;
    chains[2].resizedColumns = 60;
    for (const Settings& chain : chains) {
        SCOPED_TRACE(static_cast<int>(&chain - chains.data()));
        SpotStack s;
        DialogScript script;
        answerSettings(script, chain);
        answerThreshold(script, 128);
        PLXSpotExtractionProcess process;
        process.run(*s.stack);
        EXPECT_EQ(script.unexpected(), 0);
        expectBlobsFound(*s.stack);
    }
}

// With the isotropy filter the volume becomes the isotropy index, a ratio
// of covariance eigenvalues: its range lies within [0, 1].
TEST(PLXSpotExtraction, IsotropyFilterGivesAnIndexBetweenZeroAndOne)
{
    SpotStack s;
    Settings settings;
    settings.isotropy = true;
    DialogScript script;
    answerSettings(script, settings);
    double minimum = -1.0, maximum = -1.0;
    PLXSpotExtractionProcess process;
    script.modal([&](QDialog&) {
        minimum = process.getMinimum();
        maximum = process.getMaximum();
        return false;
    });
    process.run(*s.stack);
    EXPECT_EQ(script.unexpected(), 0);
    EXPECT_GE(minimum, 0.0);
    EXPECT_LE(maximum, 1.0 + 1e-12);
    EXPECT_GT(maximum, minimum);
    EXPECT_EQ(s.stack->getNumModels(), 0);
}

// Equivalent spheres in one model: one point per spot at the centroid of
// its voxels, drawn as a sphere of the spot's volume.
TEST(PLXSpotExtraction, EquivalentSpheresKeepTheSpotsVolumeAndCentre)
{
    SpotStack voxels;
    {
        DialogScript script;
        answerSettings(script, Settings());
        answerThreshold(script, 128);
        PLXSpotExtractionProcess process;
        process.run(*voxels.stack);
    }
    SpotStack spheres;
    {
        Settings settings;
        settings.separate = false;
        settings.spheres = true;
        DialogScript script;
        answerSettings(script, settings);
        answerThreshold(script, 128);
        PLXSpotExtractionProcess process;
        process.run(*spheres.stack);
    }
    ASSERT_EQ(voxels.stack->getNumModels(), static_cast<int>(blobs.size()));
    ASSERT_EQ(spheres.stack->getNumModels(), 1);
    const Model& all = *spheres.stack->getModel(0);
    EXPECT_EQ(all.getName(), "spot");
    ASSERT_EQ(all.getNumItems(), static_cast<int>(blobs.size()));
    std::set<int> colours;
    for (int m = 0; m < voxels.stack->getNumModels(); ++m) {
        const auto c = centroid(*voxels.stack, *voxels.stack->getModel(m));
        const ModelItem& item = *all.getItems()[static_cast<std::size_t>(m)];
        ASSERT_EQ(item.getSize(), 1);
        EXPECT_EQ(item.getVertices()[0][0], std::lround(c[0]));
        EXPECT_EQ(item.getVertices()[0][1], std::lround(c[1]));
        EXPECT_EQ(spheres.stack->findSlice(item.getSlice()), std::lround(c[2]));
        // Unit voxels: a ball of diameter d holds pi d^3 / 6 of them.
        const double d = item.getProperties().getPointSize();
        EXPECT_NEAR(std::numbers::pi * d * d * d / 6.0, c[3], 1e-3 * c[3]);
        const Vector<int> rgb = item.getProperties().getColor();
        colours.insert(rgb[0] * 65536 + rgb[1] * 256 + rgb[2]);
    }
    EXPECT_EQ(colours.size(), blobs.size());
}

// Cancelled half way (at the erosion), the run asks no threshold and leaves
// the stack as it was.
TEST(PLXSpotExtraction, CancelHalfWayLeavesTheStackUnchanged)
{
    SpotStack s;
    PLXStack& stack = *s.stack;
    DialogScript script;
    answerSettings(script, Settings());
    PLXSpotExtractionProcess process;
    StepCanceller canceller(process, "Running: erosion...");
    process.addMonitor(canceller);
    process.run(stack);
    process.removeMonitor(canceller);
    EXPECT_EQ(script.requests().size(), 1u) << "no threshold asked";
    EXPECT_EQ(script.unexpected(), 0);
    const std::vector<std::string> steps = canceller.steps();
    EXPECT_TRUE(std::find(steps.begin(), steps.end(), "Running: Gaussian filter...") != steps.end());
    EXPECT_TRUE(std::find(steps.begin(), steps.end(), "Running: dilatation...") == steps.end());
    EXPECT_EQ(stack.getNumModels(), 0);
    EXPECT_FALSE(stack.history().isUndoable());
    EXPECT_FALSE(stack.isModified());
}

// Refusing the threshold, or the settings, creates nothing; a stack whose
// slices differ in size is not offered the extraction.
TEST(PLXSpotExtraction, RefusalsAndIrregularStacksLeaveTheStackUnchanged)
{
    SpotStack s;
    PLXStack& stack = *s.stack;
    {
        DialogScript script;
        answerSettings(script, Settings());
        script.cancel();
        PLXSpotExtractionProcess process;
        process.run(stack);
        EXPECT_EQ(script.requests().size(), 2u);
    }
    {
        DialogScript script;
        script.cancel();
        PLXSpotExtractionProcess process;
        process.run(stack);
        EXPECT_EQ(script.requests().size(), 1u);
    }
    EXPECT_EQ(stack.getNumModels(), 0);
    EXPECT_FALSE(stack.history().isUndoable());

    ImageStack irregular;
    irregular.addSlice(20, 20, [](int, int) { return 0; });
    irregular.addSlice(24, 20, [](int, int) { return 0; });
    DialogScript none;
    PLXSpotExtractionProcess process;
    process.run(*irregular.stack);
    EXPECT_TRUE(none.requests().empty());
}

// The preview on the shown slice is exactly what the extraction keeps of
// that slice at the accepted threshold, and it follows the slider.
TEST(PLXSpotExtraction, PreviewShowsWhatTheExtractionKeeps)
{
    SpotStack s;
    PLXStack& stack = *s.stack;
    PLXSliceEditWidget view;
    const int shown = 6;
    view.setSlice(stack.getSlice(shown));
    PLXSliceEditWidgetCanvas* canvas = view.getCanvas();
    // An outline a drawing tool was making when Find spots was chosen.
    ModelItem drawing;
    canvas->setExtraItem(&drawing);

    using Pixel = std::pair<int, int>;
    std::set<Pixel> previewed;
    std::vector<int> counts;
    DialogScript script;
    answerSettings(script, Settings());
    script.modal([&](QDialog& d) {
        auto& dialog = dynamic_cast<PLXSpotThresholdDialog&>(d);
        const auto preview = [&] {
            std::set<Pixel> pixels;
            const ModelItem* item = canvas->getExtraItem();
            if (item)
                for (int i = 0; i < item->getSize(); ++i)
                    pixels.emplace(item->getVertices()[i][0], item->getVertices()[i][1]);
            return pixels;
        };
        EXPECT_NE(canvas->getExtraItem(), &drawing) << "a preview as the dialog opens";
        for (int t : {40, 90, 128, 200}) {
            dialog.setThreshold(t);
            counts.push_back(static_cast<int>(preview().size()));
        }
        dialog.setThreshold(110);
        previewed = preview();
        return true;
    });
    PLXSpotExtractionProcess process;
    process.setCanvas(canvas);
    process.run(stack);
    EXPECT_EQ(script.unexpected(), 0);
    EXPECT_EQ(canvas->getExtraItem(), &drawing) << "the preview goes with the dialog";
    canvas->clearExtraItem();

    // Higher thresholds keep fewer pixels, and some are kept.
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_TRUE(std::is_sorted(counts.rbegin(), counts.rend()));
    EXPECT_GT(counts.front(), counts.back());
    EXPECT_FALSE(previewed.empty());

    std::set<Pixel> extracted;
    for (const ModelItem* item : stack.getSlice(shown)->getItems())
        for (int i = 0; i < item->getSize(); ++i)
            extracted.emplace(item->getVertices()[i][0], item->getVertices()[i][1]);
    EXPECT_EQ(previewed, extracted);
}

// Size and resolution of the resampled volume keep its extent; Run needs a
// basename; the channel is offered for colour images only.
TEST(PLXSpotExtraction, SettingsDialogRules)
{
    PLXSpotExtractionConfig config;
    config.volumeSize = Vector<int>{32, 40, 10};
    config.resolution = Vector<double>{0.5, 0.5, 2.0};
    PLXSpotExtractionDialog dialog(config, ImageColorContent::Grayscale, false);
    EXPECT_FALSE(dialog.getChannel()->isEnabled());
    dialog.getSizeBox(1)->setValue(80);
    EXPECT_DOUBLE_EQ(dialog.getResolutionBox(1)->value(), 0.25);
    dialog.getResolutionBox(2)->setValue(4.0);
    EXPECT_EQ(dialog.getSizeBox(2)->value(), 5);
    dialog.getResizingGroup()->setChecked(true);
    const PLXSpotExtractionConfig chosen = dialog.getConfig();
    EXPECT_TRUE(chosen.resizeState);
    EXPECT_EQ(chosen.newSize, (Vector<int>{32, 80, 5}));
    dialog.getBasename()->clear();
    EXPECT_FALSE(dialog.getRunButton()->isEnabled());
    QTest::keyClicks(dialog.getBasename(), "focus");
    EXPECT_TRUE(dialog.getRunButton()->isEnabled());
    EXPECT_EQ(dialog.getConfig().basename, "focus");

    PLXSpotExtractionDialog colour(config, ImageColorContent::Grayscale, true);
    EXPECT_TRUE(colour.getChannel()->isEnabled());
    colour.getChannel()->setCurrentIndex(2);
    EXPECT_EQ(colour.getContent(), ImageColorContent::GreenOnly);
}

// Find spots in the root window asks for the settings of the current stack.
TEST(PLXSpotExtraction, RootWindowFindSpotsAsksForTheSettings)
{
    SpotStack s;
    const QString path = s.dir.filePath(QStringLiteral("spots.sdf"));
    ASSERT_TRUE(StackWriter().write(*s.stack, path.toStdString()));
    auto* window = new PLXRootWindow;
    PLXStack* stack = window->getMediator()->openStack(path);
    ASSERT_NE(stack, nullptr);
    ASSERT_EQ(window->getMediator()->getCurrentStack(), stack);
    DialogScript script;
    PLXSpotExtractionConfig seen;
    script.modal([&](QDialog& d) {
        seen = dynamic_cast<PLXSpotExtractionDialog&>(d).getConfig();
        return false;
    });
    window->getMediator()->findSpotsAction()->trigger();
    EXPECT_EQ(script.unexpected(), 0);
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, QStringLiteral("Find spots"));
    EXPECT_EQ(seen.volumeSize, (Vector<int>{height, width, depth}));
    EXPECT_EQ(stack->getNumModels(), 0);
    delete window;
    PLXStackServer::stackServer.removeAllStacks();
}

// The threshold dialog over the view of a spot stack with its preview.
TEST(PLXSpotExtractionDisplay, ThresholdDialogWithItsPreview)
{
    SpotStack s;
    PLXStack& stack = *s.stack;
    PLXSliceEditWidget view;
    view.resize(360, 300);
    view.show();
    view.setSlice(stack.getSlice(6));
    view.setZoomFactor(6.0);
    PLXSliceEditWidgetCanvas* canvas = view.getCanvas();
    QImage shot;
    DialogScript script;
    answerSettings(script, Settings());
    script.modal([&](QDialog& d) {
        auto& dialog = dynamic_cast<PLXSpotThresholdDialog&>(d);
        dialog.setThreshold(110);
        dialog.show();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                canvas->repaint();
                return canvas->getImageProxy().isLoaded() && canvas->getShownImage();
            },
            10000));
        const QImage viewShot = view.grab().toImage();
        const QImage dialogShot = dialog.grab().toImage();
        // The preview is drawn over the blob on this slice (the blob at
        // (12.4, 22.1, 6.3)), and not far from it.
        const QPoint blob = canvas->mapTo(&view, canvas->toWorld(QPoint(12, 22)));
        EXPECT_EQ(viewShot.pixel(blob + QPoint(1, 1)), qRgb(0, 255, 0));
        const QPoint away = canvas->mapTo(&view, canvas->toWorld(QPoint(20, 4)));
        EXPECT_NE(viewShot.pixel(away + QPoint(1, 1)), qRgb(0, 255, 0));
        shot = QImage(viewShot.width() + dialogShot.width() + 8, std::max(viewShot.height(), dialogShot.height()),
                      QImage::Format_RGB32);
        shot.fill(qRgb(200, 200, 200));
        QPainter painter(&shot);
        painter.drawImage(0, 0, viewShot);
        painter.drawImage(viewShot.width() + 8, 0, dialogShot);
        return false;
    });
    PLXSpotExtractionProcess process;
    process.setCanvas(canvas);
    process.run(stack);
    ASSERT_FALSE(shot.isNull());
    if (const QByteArray out = qgetenv("PLEXAN_SCREENSHOT_DIR"); !out.isEmpty())
        shot.save(QString::fromLocal8Bit(out) + "/spot-extraction.png");
}

namespace {

// The settings a user sees, field by field.
void expectSameSettings(const PLXSpotExtractionConfig& seen, const PLXSpotExtractionConfig& chosen)
{
    EXPECT_EQ(seen.resizeState, chosen.resizeState);
    EXPECT_EQ(seen.newSize, chosen.newSize);
    EXPECT_EQ(seen.smoothingFilterEnabled, chosen.smoothingFilterEnabled);
    EXPECT_EQ(seen.smoothingFilterType, chosen.smoothingFilterType);
    EXPECT_EQ(seen.smoothingFilterRadius, chosen.smoothingFilterRadius);
    EXPECT_EQ(seen.tophatFilterEnabled, chosen.tophatFilterEnabled);
    EXPECT_EQ(seen.tophatFilterType, chosen.tophatFilterType);
    EXPECT_EQ(seen.tophatFilterRadius, chosen.tophatFilterRadius);
    EXPECT_EQ(seen.isotropyFilterEnabled, chosen.isotropyFilterEnabled);
    EXPECT_EQ(seen.isotropyFilterRadius, chosen.isotropyFilterRadius);
    EXPECT_EQ(seen.basename, chosen.basename);
    EXPECT_EQ(seen.separateModelsEnabled, chosen.separateModelsEnabled);
    EXPECT_EQ(seen.equivalentSpheresEnabled, chosen.equivalentSpheresEnabled);
}

} // namespace

// The settings of a run come back in the dialog of the next one (each "Find
// spots" makes a new process; they used to start from the defaults every
// time). Refused settings are not kept, and a resampled size comes back only
// for a volume of the size it was chosen for.
TEST(PLXSpotExtraction, SettingsAreRememberedBetweenRuns)
{
    SpotStack s;
    DialogScript script;
    PLXSpotExtractionConfig chosen;
    script.modal([&chosen](QDialog& d) {
        auto& dialog = dynamic_cast<PLXSpotExtractionDialog&>(d);
        dialog.getResizingGroup()->setChecked(true);
        dialog.getSizeBox(1)->setValue(20);
        dialog.getSmoothingType()->setCurrentIndex(0);
        dialog.getSmoothingRadius()->setValue(2);
        dialog.getTopHatType()->setCurrentIndex(0);
        dialog.getTopHatRadius()->setValue(4);
        dialog.getIsotropyGroup()->setChecked(false);
        dialog.getBasename()->setText(QStringLiteral("focus"));
        dialog.getSeparateModels()->setChecked(false);
        dialog.getEquivalentSpheres()->setChecked(true);
        chosen = dialog.getConfig();
        return true;
    });
    script.cancel(); // the threshold
    PLXSpotExtractionProcess().run(*s.stack);
    ASSERT_EQ(script.requests().size(), 2u);
    // What was chosen differs from the defaults everywhere.
    const PLXSpotExtractionConfig defaults;
    ASSERT_EQ(chosen.newSize, (Vector<int>{height, 20, depth}));
    ASSERT_NE(chosen.smoothingFilterType, defaults.smoothingFilterType);
    ASSERT_NE(chosen.tophatFilterRadius, defaults.tophatFilterRadius);
    ASSERT_NE(chosen.equivalentSpheresEnabled, defaults.equivalentSpheresEnabled);

    PLXSpotExtractionConfig seen;
    script.modal([&seen](QDialog& d) {
        auto& dialog = dynamic_cast<PLXSpotExtractionDialog&>(d);
        seen = dialog.getConfig();
        dialog.getBasename()->setText(QStringLiteral("refused"));
        dialog.getSmoothingRadius()->setValue(5);
        return false;
    });
    PLXSpotExtractionProcess().run(*s.stack);
    expectSameSettings(seen, chosen);
    script.modal([&seen](QDialog& d) {
        seen = dynamic_cast<PLXSpotExtractionDialog&>(d).getConfig();
        return false;
    });
    PLXSpotExtractionProcess().run(*s.stack);
    expectSameSettings(seen, chosen);

    // Another volume: the filters come back, the size is its own.
    ImageStack other;
    for (int z = 0; z < 3; ++z)
        other.addSlice(16, 12, [](int, int) { return 10; });
    script.modal([&seen](QDialog& d) {
        seen = dynamic_cast<PLXSpotExtractionDialog&>(d).getConfig();
        return false;
    });
    PLXSpotExtractionProcess().run(*other.stack);
    EXPECT_EQ(seen.volumeSize, (Vector<int>{12, 16, 3}));
    EXPECT_EQ(seen.newSize, seen.volumeSize);
    EXPECT_EQ(seen.tophatFilterRadius, chosen.tophatFilterRadius);
    EXPECT_EQ(seen.basename, chosen.basename);
    EXPECT_EQ(script.unexpected(), 0);
    EXPECT_EQ(s.stack->getNumModels(), 0);
}

// "Adding N spots" is said while the progress dialog is up, with the number
// of spots found (it used to come after the dialog had closed, unseen).
TEST(PLXSpotExtraction, TheSpotCountShowsWhileTheModelsAreMade)
{
    SpotStack s;
    DialogScript script;
    answerSettings(script, Settings());
    answerThreshold(script, 128);
    struct Watch : ProgressMonitor {
        std::string text;
        bool shown = false;
        void subjectProgressed(const std::string& t) override
        {
            if (t.rfind("Adding ", 0) != 0)
                return;
            text = t;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<QProgressDialog*>(w))
                    shown = shown || (p->isVisible() && p->windowTitle() == QStringLiteral("Find spots"));
        }
        void subjectProgressed(unsigned int, unsigned int) override {}
    } watch;
    PLXSpotExtractionProcess process;
    process.addMonitor(watch);
    process.run(*s.stack);
    process.removeMonitor(watch);
    EXPECT_EQ(script.unexpected(), 0);
    expectBlobsFound(*s.stack);
    EXPECT_EQ(watch.text, "Adding " + std::to_string(blobs.size()) + " spots");
    EXPECT_TRUE(watch.shown);
}
