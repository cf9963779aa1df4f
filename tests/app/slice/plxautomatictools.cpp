// The slice editor's automatic tools: outlining a dark object by
// thresholding a dragged region, and snakes on one slice or propagated over
// the sample stack in a worker thread, cancellable, each run one undo step.

#include "app/plxprogressdialog.h"
#include "app/slice/plxsnakedelegate.h"
#include "editortesting.h"
#include "image/imagesourcefile.h"
#include "imageprocessing/snakeconfig.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstring>

using namespace editortest;

namespace {

class AutomaticTools : public EditorTest {
protected:
    // Shows the second slice with a dark box (x 60..99, y 40..69) on a light
    // background, and a dark dot at (150, 120).
    void showDarkBox()
    {
        Image image(200, 150, 8);
        std::memset(image.getData(), 200, image.dataLength());
        for (int y = 40; y < 70; ++y)
            std::memset(image.getRow(y) + 60, 20, 40);
        image.getRow(120)[150] = 20;
        const std::string path = (m_dir.path() + "/box.tif").toStdString();
        image.writeFile(path, "", true);
        slice(1)->setImageSource(ImageSourceFile(path));
        editor->setSlice(slice(1));
        view->setZoomFactor(1.0);
    }

    QAction* automatic(const QString& model) const
    {
        for (QAction* action : editor->getAutomaticMenu()->actions())
            if (action->text() == model)
                return action;
        return nullptr;
    }
};

} // namespace

TEST_F(AutomaticTools, ThresholdingOutlinesTheDarkObjectOfTheRegion)
{
    showDarkBox();
    DialogScript script;
    script.value(0).value(0);
    const std::string before = text();
    ASSERT_NE(automatic("organ"), nullptr);
    automatic("organ")->trigger();
    EXPECT_EQ(mode(), "CREATE");
    press(40, 20);
    move(80, 60);
    EXPECT_EQ(canvas()->getRubberBand(), QRect(QPoint(40, 20), QPoint(80, 60)));
    move(130, 100);
    release(130, 100);

    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[0].title, "Automatic thresholding");
    EXPECT_EQ(script.requests()[0].text, "Enter smoothing level:");
    EXPECT_EQ(script.requests()[0].maximum.toInt(), 50);
    EXPECT_EQ(script.requests()[1].text, "Enter decimation level:");
    EXPECT_EQ(script.requests()[1].maximum.toInt(), 100);
    ASSERT_EQ(slice(1)->getNumItems(), 1);
    const ModelItem* item = slice(1)->getItem(0);
    EXPECT_EQ(item->getModel(), organ);
    Points corners = coordinates(*item);
    EXPECT_GT(shoelace(corners), 0) << "counter-clockwise";
    std::sort(corners.begin(), corners.end());
    EXPECT_EQ(corners, (Points{{60, 40}, {60, 69}, {99, 40}, {99, 69}})) << "straight runs collapse to corners";
    EXPECT_EQ(editor->getStatusBar()->getMessage(), "Curve created with 4 vertices");
    EXPECT_EQ(editor->getActiveTool(), nullptr);
    EXPECT_EQ(mode(), "READY");
    expectOneUndoStep(before);

    // The dialogs propose the last values; a smoothed region still finds the box.
    script.clear();
    script.value(2).value(5);
    automatic("organ")->trigger();
    drag({{40, 20}, {130, 100}});
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[0].value.toInt(), 0);
    ASSERT_EQ(slice(1)->getNumItems(), 2);
    script.clear();
    script.cancel();
    automatic("organ")->trigger();
    drag({{40, 20}, {130, 100}});
    EXPECT_EQ(script.requests()[0].value.toInt(), 2);
    EXPECT_EQ(slice(1)->getNumItems(), 2) << "cancelled";
    for (int i = 0; i < slice(1)->getItem(1)->getSize(); ++i) {
        const Vector<int>& v = slice(1)->getItem(1)->getVertices()[i];
        EXPECT_TRUE(v[0] >= 57 && v[0] <= 102 && v[1] >= 37 && v[1] <= 72) << v[0] << "," << v[1];
    }
}

TEST_F(AutomaticTools, ThresholdingReportsRegionsWithoutAnOutline)
{
    showDarkBox();
    DialogScript script;
    // A uniform region has nothing below its threshold.
    script.value(0).button("OK");
    automatic("organ")->trigger();
    drag({{120, 10}, {190, 30}});
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[1].text, "No starting point found. Retry with another ROI.");

    // A one-pixel object gives a one-vertex outline: too few points.
    script.clear();
    script.value(0).value(0).button("OK");
    automatic("organ")->trigger();
    drag({{140, 110}, {160, 130}});
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[2].title, "Automatic thresholding result");
    EXPECT_EQ(script.requests()[2].text,
              "The detected contour does not contain enough points\nHint: try using a smaller decimation level");
    EXPECT_EQ(slice(1)->getNumItems(), 0);
    EXPECT_EQ(history().getNumUndoSteps(), 0);
}

// Snakes on the sample -----------------------------------------------------------------------

class SampleSnakes : public ::testing::Test {
protected:
    void SetUp() override
    {
        stack = apptest::sampleStack();
        organ = stack->getModel(stack->findModel("organ"));
        SnakeConfig config;
        config.setScale(4);
        config.setDistance(10);
        organ->setSnakeConfig(config);
        view = std::make_unique<PLXSliceEditWidget>();
        view->resize(300, 300);
        editor = new PLXSliceEditWidgetMediator(view.get());
        view->show();
        current = stack->getSlice(15);
        editor->setSlice(current);
        for (ModelItem* item : current->getItems())
            if (item->getModel() == organ)
                outline = item;
        ASSERT_NE(outline, nullptr);
        outline->getSelection().set(true);
        editor->updateSelection();
    }
    void TearDown() override
    {
        view.reset();
        stack.reset();
    }

    int organItems() const { return organ->getNumItems(); }

    std::unique_ptr<PLXStack> stack;
    Model* organ = nullptr;
    std::unique_ptr<PLXSliceEditWidget> view;
    PLXSliceEditWidgetMediator* editor = nullptr;
    StackSlice* current = nullptr;
    ModelItem* outline = nullptr;
};

TEST_F(SampleSnakes, OneSliceRunMakesAnItemBesideTheOutline)
{
    const int before = organItems();
    const std::string text = apptest::stackText(*stack);
    QSignalSpy lock(view.get(), &PLXSliceEditWidget::lockRequested);
    QString modeSeen;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { modeSeen = editor->getStatusBar()->getMode(); });
    probe.start(1);
    editor->runSnakeAction()->trigger();
    probe.stop();
    EXPECT_EQ(modeSeen, "SNAKE");
    EXPECT_EQ(lock.count(), 2);
    EXPECT_EQ(organItems(), before + 1);
    EXPECT_TRUE(current->hasItem(outline)) << "the selected outline stays";
    const ModelItem* made = current->getItems().back();
    EXPECT_EQ(made->getModel(), organ);
    EXPECT_GT(made->getSize(), 10);
    // The organ's edge is where its outline was drawn: the snake stays near it.
    const BoundingBox<int> a = outline->boundingBox();
    const BoundingBox<int> b = made->boundingBox();
    for (int d = 0; d < 2; ++d) {
        EXPECT_NEAR(a.getVertex1()[d], b.getVertex1()[d], 12);
        EXPECT_NEAR(a.getVertex2()[d], b.getVertex2()[d], 12);
    }
    stack->history().undo();
    EXPECT_EQ(apptest::stackText(*stack), text);
}

TEST_F(SampleSnakes, PropagatedOverTheStackInAWorkerAsOneUndoStep)
{
    const int before = organItems();
    const std::string text = apptest::stackText(*stack);
    editor->getSnakeDelegate()->setRunOverStack(true);
    DialogScript script;
    script.value(0); // every slice
    // The GUI thread stays free while the snakes run.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);
    editor->runSnakeAction()->trigger();
    ticker.stop();
    EXPECT_GT(ticks, 0);
    ASSERT_GE(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].text, "nSlices");
    // The organ's end sections are too small for the reduced image: those
    // snakes collapse, and one box names their slices.
    const QStringList failures = editor->getSnakeDelegate()->getFailures();
    if (!failures.isEmpty()) {
        ASSERT_EQ(script.requests().size(), 2u);
        EXPECT_EQ(script.requests()[1].title, "Snake");
        EXPECT_TRUE(script.requests()[1].text.startsWith("Running snake on slice " + failures.front()))
            << script.requests()[1].text.toStdString();
        EXPECT_TRUE(script.requests()[1].text.endsWith("The snake has aborted. Suggestions:\n"
                                                       "- change the original contour;\n"
                                                       "- change the snake parameters."));
    }
    EXPECT_EQ(script.requests()[0].value.toInt(), 10);
    EXPECT_FALSE(editor->getSnakeDelegate()->wasCanceled());
    const int made = organItems() - before;
    EXPECT_EQ(made + editor->getSnakeDelegate()->getFailures().size(), 30);
    EXPECT_GT(made, 20);
    EXPECT_EQ(stack->history().getNumUndoSteps(), 1);
    const std::string after = apptest::stackText(*stack);
    stack->history().undo();
    EXPECT_EQ(apptest::stackText(*stack), text);
    stack->history().redo();
    EXPECT_EQ(apptest::stackText(*stack), after);
}

TEST_F(SampleSnakes, CancellingKeepsWhatWasMadeAsOneStep)
{
    const int before = organItems();
    const std::string text = apptest::stackText(*stack);
    editor->getSnakeDelegate()->setRunOverStack(true);
    DialogScript script;
    script.value(0);
    // Cancel once the third slice is under way.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        auto* dialog = view->findChild<PLXProgressDialog*>();
        if (dialog && dialog->isVisible() && dialog->labelText().contains("s14")) {
            canceller.stop();
            if (auto* button = dialog->findChild<QPushButton*>())
                button->click();
        }
    });
    canceller.start(1);
    editor->runSnakeAction()->trigger();
    canceller.stop();
    EXPECT_TRUE(editor->getSnakeDelegate()->wasCanceled());
    const int made = organItems() - before;
    EXPECT_GE(made, 1);
    EXPECT_LT(made, 30);
    EXPECT_EQ(editor->getActiveTool(), nullptr);
    EXPECT_EQ(stack->history().getNumUndoSteps(), 1);
    stack->history().undo();
    EXPECT_EQ(apptest::stackText(*stack), text);
}
