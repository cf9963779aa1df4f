// The fusion window runs a fusion of open stacks in a worker: specimens
// that differ by a shift coincide once aligned, a completed run shows its
// summary, and a run cancelled half way leaves the previous results, the
// stacks untouched and nothing leaked (the sanitizer build checks that).

#include "../apptesting.h"
#include "app/plxworker.h"
#include "app/tools/plxfusionwindow.h"
#include "geometry/quadmesh.h"
#include "numerics/progressmonitor.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "statistics/fusion.h"
#include "support/dialogscript.h"
#include "support/qtprinters.h"
#include "support/screenshots.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QImage>
#include <QTableWidget>
#include <QTextBrowser>

#include "gl/viewercanvasgl.h"

#include <algorithm>
#include <cmath>

using namespace apptest;

namespace {

// The sample moved by (dx, dy) pixels on every slice: the same specimen
// elsewhere in its images.
std::unique_ptr<PLXStack> shiftedSample(const std::string& name, int dx, int dy)
{
    auto stack = sampleStack();
    stack->setName(name);
    for (int m = 0; m < stack->getNumModels(); ++m)
        for (int i = 0; i < stack->getModel(m)->getNumItems(); ++i) {
            ModelItem& item = *stack->getModel(m)->getItem(i);
            for (int v = 0; v < item.getSize(); ++v) {
                const Vector<int>& p = item.getVertices()[v];
                item.moveVertex(v, Vector<int>{p[0] + dx, p[1] + dy});
            }
        }
    stack->updateReconstruction();
    return stack;
}

struct Specimens {
    std::unique_ptr<PLXStack> a = shiftedSample("a", 0, 0);
    std::unique_ptr<PLXStack> b = shiftedSample("b", 6, -4);
    std::unique_ptr<PLXStack> c = shiftedSample("c", -5, 7);
    std::vector<std::string> texts{stackText(*a), stackText(*b), stackText(*c)};

    void check() const
    {
        EXPECT_EQ(stackText(*a), texts[0]);
        EXPECT_EQ(stackText(*b), texts[1]);
        EXPECT_EQ(stackText(*c), texts[2]);
        EXPECT_FALSE(a->isModified() || b->isModified() || c->isModified());
    }
};

void configure(PLXFusionWindow& window, Specimens& s)
{
    for (PLXStack* stack : {s.a.get(), s.b.get(), s.c.get()})
        window.setStackChecked(*stack, true);
    window.setReference("organ", true, 8, 16);
}

// Cancels the window's run once its progress reaches half way.
class HalfWayCanceller : public ProgressMonitor {
public:
    explicit HalfWayCanceller(PLXFusionWindow& window) : m_window(window) {}
    int steps = 0;
    bool cancelled = false;

protected:
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        ++steps;
        if (!cancelled && n > 0 && 2 * i >= n) {
            cancelled = true;
            m_window.cancel();
        }
    }

private:
    PLXFusionWindow& m_window;
};

} // namespace

// Regression: the Levels and Columns fields of the structure table, made
// when the table is filled, came last in the Tab order (after the Run
// button), and Tab inside the table went from cell to cell. Tab goes down
// the window as it shows: name, stacks, table, its fields row by row, then
// the strategy.
TEST(FusionWindow, TabGoesDownTheWindowAsItShows)
{
    auto stack = sampleStack();
    PLXFusionWindow window({stack.get()}, nullptr, false);
    window.show();
    QTableWidget& table = *window.getStructureTable();
    ASSERT_GE(table.rowCount(), 2);
    const auto tabStop = [](QWidget* w) {
        return (w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && !w->focusProxy();
    };
    QList<QWidget*> chain{&table};
    for (QWidget* w = table.nextInFocusChain(); w && w != &table; w = w->nextInFocusChain())
        if (tabStop(w) && window.isAncestorOf(w))
            chain << w;
    QList<QWidget*> shown = chain;
    const auto at = [&window](QWidget* w) { return w->mapTo(&window, QPoint(0, 0)); };
    std::stable_sort(shown.begin(), shown.end(), [&](QWidget* a, QWidget* b) {
        const QPoint p = at(a), q = at(b);
        return std::abs(p.y() - q.y()) > 3 ? p.y() < q.y() : p.x() < q.x();
    });
    // The chain is a loop: read it from the first field shown.
    const auto first = chain.indexOf(shown.front());
    ASSERT_GE(first, 0);
    std::rotate(chain.begin(), chain.begin() + first, chain.end());
    // Name, stacks, table, two fields per structure, then the strategy.
    ASSERT_GE(chain.size(), 3 + 2 * table.rowCount() + 2);
    for (int k = 0; k < chain.size(); ++k)
        EXPECT_EQ(chain[k], shown[k]) << "stop " << k << ": " << chain[k]->metaObject()->className() << " where "
                                      << shown[k]->metaObject()->className() << " shows";
}

TEST(FusionWindow, ShiftedSpecimensCoincideOnceAligned)
{
    Specimens s;
    PLXFusionWindow window({s.a.get(), s.b.get(), s.c.get()}, nullptr, false);
    configure(window, s);
    window.getRegistrationBox()->setChecked(false);
    const FusionConfig<float> config = window.getConfig();
    ASSERT_EQ(config.stacks.size(), 3u);
    ASSERT_EQ(config.surfaceStructures.size(), 1u);
    EXPECT_EQ(config.surfaceStructures[0].name, "organ");

    DialogScript script;
    QString log;
    script.modal([&](QDialog& dialog) {
        log = dialog.findChild<QTextBrowser*>("log")->toHtml();
        return true;
    });
    window.run();
    ASSERT_NE(window.getFusion(), nullptr);
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, "Spatial normalization summary");
    EXPECT_TRUE(log.contains("Error after alignment")) << log.toStdString();

    // The organ's meshes of the three specimens lie on one another: the
    // shift is all that told them apart (a pixel is 0.8 um).
    const auto& sets = window.getFusion()->getShapeSets();
    ASSERT_EQ(sets.size(), 3u);
    int organ = -1;
    for (int i = 0; i < sets[0]->getNumShapes(); ++i)
        if ((*sets[0])[i] && (*sets[0])[i]->getName() == "organ")
            organ = i;
    ASSERT_GE(organ, 0);
    const auto& first = dynamic_cast<const QuadMesh<float>&>(*(*sets[0])[organ]);
    for (int s2 = 1; s2 < 3; ++s2) {
        const auto& other = dynamic_cast<const QuadMesh<float>&>(*(*sets[static_cast<std::size_t>(s2)])[organ]);
        ASSERT_EQ(other.getNumVertices(), first.getNumVertices());
        double worst = 0.0;
        for (ConstVertexIterator<float> p(first), q(other); p.current(); ++p, ++q)
            for (int a = 0; a < 3; ++a)
                worst = std::max(worst, std::abs(static_cast<double>((*p.current())[a] - (*q.current())[a])));
        EXPECT_LT(worst, 1e-2) << "specimen " << s2;
    }
    s.check();
}

TEST(FusionWindow, ARunCancelledHalfWayKeepsThePreviousResultsAndTheStacks)
{
    Specimens s;
    PLXFusionWindow window({s.a.get(), s.b.get(), s.c.get()}, nullptr, false);
    configure(window, s);
    window.getWarpingBox()->setChecked(true);
    DialogScript script;
    script.modal([](QDialog&) { return true; });
    window.run();
    const Fusion<float>* previous = window.getFusion();
    ASSERT_NE(previous, nullptr);

    HalfWayCanceller canceller(window);
    QObject::connect(&window, &PLXFusionWindow::started,
                     [&] { window.getWorker()->getProgress().addMonitor(canceller); });
    window.run();
    EXPECT_TRUE(canceller.cancelled);
    EXPECT_EQ(window.getFusion(), previous) << "the cancelled run replaced the results";
    EXPECT_EQ(window.getWorker(), nullptr);
    EXPECT_EQ(script.requests().size(), 1u) << "no summary for a cancelled run";
    s.check();
}

// On screen: the three specimens registered, each in its colour, and their
// mean shape (written where PLEXAN_SCREENSHOT_DIR points).
TEST(FusionWindowDisplay, ShowsTheSpecimensAndTheirMean)
{
    Specimens s;
    PLXFusionWindow window({s.a.get(), s.b.get(), s.c.get()});
    configure(window, s);
    window.show();
    DialogScript script;
    script.modal([](QDialog&) { return true; });
    window.run();
    ASSERT_NE(window.getFusion(), nullptr);
    QCoreApplication::processEvents();
    const QImage view = window.getCanvas()->grabFramebuffer();
    EXPECT_GT(support::colouredPixels(view), 50);
    EXPECT_TRUE(support::keepScreenshot(window.grab().toImage(), "fusion-window.png"));
}
