// The slice editor's automatic tools: outlining a dark object by
// thresholding a dragged region, and snakes on one slice or propagated over
// the sample stack in a worker thread, cancellable, each run one undo step.

#include "app/plxprogressdialog.h"
#include "app/slice/plxsnakeconfigdialog.h"
#include "app/slice/plxsnakedelegate.h"
#include "editortesting.h"
#include "image/imagesourcefile.h"
#include "imageprocessing/snakeconfig.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
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
    // Cancel once the first slice is done and another under way, whichever
    // it is by the time the event loop turns: on a fast machine a slice
    // took less than a turn, and waiting for one named slice missed it.
    const QString running = QStringLiteral("Running snake on slice ");
    const QString first = running + QString::fromStdString(current->getName());
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        auto* dialog = view->findChild<PLXProgressDialog*>();
        if (dialog && dialog->isVisible() && dialog->labelText().startsWith(running) &&
            dialog->labelText() != first) {
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

// Regression: running over the stack, propagation and the parameters were
// reachable from no control; the only way was a call from code.
TEST_F(SampleSnakes, ParametersAndRunOverTheStackAreChosenInTheEditMenuAndRemembered)
{
    QAction* parameters = nullptr;
    for (QAction* action : editor->getEditMenu()->actions())
        if (action->text() == "Snake parameters...")
            parameters = action;
    ASSERT_NE(parameters, nullptr) << "the Edit menu offers the snake's parameters";
    ASSERT_TRUE(parameters->isEnabled());

    // Cancel changes nothing.
    {
        DialogScript script;
        script.modal([](QDialog& d) {
            d.findChild<QCheckBox*>()->setChecked(true);
            return false;
        });
        parameters->trigger();
        EXPECT_EQ(script.requests().size(), 1u);
        EXPECT_FALSE(editor->getSnakeDelegate()->isRunOverStack());
        EXPECT_EQ(organ->getSnakeConfig()->getAlpha(), SnakeConfig().getAlpha());
    }

    // The dialog opens on the organ's own parameters; three slices, each
    // from the selected outline.
    DialogScript script;
    script.modal([](QDialog& d) {
        auto& dialog = dynamic_cast<PLXSnakeConfigDialog&>(d);
        EXPECT_EQ(dialog.getScaleBox()->value(), 4);
        EXPECT_EQ(dialog.getDistanceBox()->value(), 10);
        dialog.getAlphaBox()->setValue(2.0);
        dialog.getThresholdBox()->setValue(15.0);
        dialog.getOverStackBox()->setChecked(true);
        EXPECT_TRUE(dialog.getPropagationBox()->isEnabled());
        dialog.getPropagationBox()->setChecked(false);
        return true;
    });
    parameters->trigger();
    ASSERT_TRUE(organ->getSnakeConfig());
    EXPECT_FLOAT_EQ(organ->getSnakeConfig()->getAlpha(), 2.0f);
    EXPECT_FLOAT_EQ(organ->getSnakeConfig()->getGradThreshold(), 15.0f);
    EXPECT_EQ(organ->getSnakeConfig()->getScale(), 4u);
    EXPECT_TRUE(editor->getSnakeDelegate()->isRunOverStack());
    EXPECT_FALSE(editor->getSnakeDelegate()->isPropagationEnabled());

    const auto organOn = [this](int i) {
        int count = 0;
        for (const ModelItem* item : stack->getSlice(i)->getItems())
            count += item->getModel() == organ;
        return count;
    };
    std::vector<int> counts;
    for (int i = 0; i < stack->getNumSlices(); ++i)
        counts.push_back(organOn(i));
    const int before = organItems();
    script.value(1);
    editor->runSnakeAction()->trigger();
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[1].text, "nSlices");
    EXPECT_TRUE(editor->getSnakeDelegate()->getFailures().isEmpty());
    // Slices 14, 15 and 16, one new outline each, as one undo step.
    EXPECT_EQ(organItems(), before + 3);
    for (int i = 0; i < stack->getNumSlices(); ++i)
        EXPECT_EQ(organOn(i), counts[i] + (i >= 14 && i <= 16 ? 1 : 0)) << "slice " << i;
    EXPECT_EQ(stack->history().getNumUndoSteps(), 1);

    // A new editor (as after a restart) keeps the choices; a model without
    // parameters of its own is shown (and run with) the ones accepted last.
    PLXSliceEditWidget other;
    auto* second = new PLXSliceEditWidgetMediator(&other);
    EXPECT_TRUE(second->getSnakeDelegate()->isRunOverStack());
    EXPECT_FALSE(second->getSnakeDelegate()->isPropagationEnabled());
    const SnakeConfig remembered = PLXSnakeConfigDialog::rememberedConfig();
    EXPECT_FLOAT_EQ(remembered.getAlpha(), 2.0f);
    EXPECT_FLOAT_EQ(remembered.getGradThreshold(), 15.0f);
    EXPECT_EQ(remembered.getDistance(), 10);
    EXPECT_EQ(remembered.getScale(), 4u);
    DialogScript again;
    again.modal([](QDialog& d) {
        EXPECT_DOUBLE_EQ(dynamic_cast<PLXSnakeConfigDialog&>(d).getAlphaBox()->value(), 2.0);
        return false;
    });
    second->getSnakeDelegate()->configure();
    EXPECT_EQ(again.requests().size(), 1u);
}
