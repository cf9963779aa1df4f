// The slice editor's framework and its drawing and selection tools, driven
// through the canvas with mouse and key events: the document each gesture
// leaves, one undo step per gesture, the selection events, the status line
// and the slice lock.

#include "app/slice/plxcreationdelegate.h"
#include "app/slice/plxselectiondelegate.h"
#include "editortesting.h"
#include "numerics/exception.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

using namespace editortest;

namespace {

// A delegate that takes every left press, to see the filter's routing.
class Grabber : public PLXImageWidgetMediatorDelegate {
public:
    using PLXImageWidgetMediatorDelegate::PLXImageWidgetMediatorDelegate;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        if (event->button() == Qt::LeftButton)
            event->accept();
    }
};

// Counts the presses that get through to a widget.
class PressCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
};

using SliceDrawing = EditorTest;

} // namespace

TEST_F(SliceDrawing, DelegatesFilterOnlyWhileActiveAndRefuseDoubleActivation)
{
    PressCounter behind;
    canvas()->installEventFilter(&behind);
    QObject owner;
    Grabber grabber(&owner);
    canvas()->installEventFilter(&grabber);

    click(5, 5);
    EXPECT_EQ(grabber.presses, 0) << "an inactive delegate hears nothing";
    EXPECT_EQ(behind.presses, 1);

    grabber.activate();
    try {
        grabber.activate();
        ADD_FAILURE() << "activating twice";
    } catch (const ProgramError& e) {
        EXPECT_EQ(e.getWhat(), "Activating already active delegate");
        EXPECT_EQ(e.getWhere(), "void PLXImageWidgetMediatorDelegate::activate()");
    }
    click(5, 5);
    click(5, 5, Qt::MiddleButton);
    EXPECT_EQ(grabber.presses, 2);
    EXPECT_EQ(behind.presses, 2) << "the accepted left press is consumed, the middle one passes";

    grabber.setBlocking(true);
    click(5, 5, Qt::MiddleButton);
    EXPECT_EQ(behind.presses, 2) << "a blocking delegate swallows what it leaves";

    grabber.deactivate();
    try {
        grabber.deactivate();
        ADD_FAILURE() << "deactivating twice";
    } catch (const ProgramError& e) {
        EXPECT_EQ(e.getWhat(), "Dectivating inactive delegate");
    }
    canvas()->removeEventFilter(&grabber);
    canvas()->removeEventFilter(&behind);
}

TEST_F(SliceDrawing, PolygonClickedPointByPointIsOneUndoStepCounterClockwise)
{
    const std::string before = text();
    editor->drawManual("organ");
    EXPECT_EQ(mode(), "CREATE");
    ASSERT_EQ(lock->count(), 1);
    EXPECT_TRUE(lock->at(0).at(0).toBool());
    ASSERT_NE(canvas()->getExtraItem(), nullptr);

    // Clockwise on the screen (y down): the editor turns it around.
    click(20, 20);
    click(20, 20); // the same spot twice: one vertex
    click(20, 80);
    click(90, 80);
    EXPECT_EQ(coordinates(*canvas()->getExtraItem()), (Points{{20, 20}, {20, 80}, {90, 80}}));
    EXPECT_EQ(slice()->getNumItems(), 0) << "the item being drawn is in no list yet";
    key(Qt::Key_Return);

    ASSERT_EQ(slice()->getNumItems(), 1);
    const ModelItem* item = slice()->getItem(0);
    EXPECT_EQ(item->getModel(), organ);
    Points drawn = coordinates(*item);
    EXPECT_LT(shoelace({{20, 20}, {20, 80}, {90, 80}}), 0);
    EXPECT_GT(shoelace(drawn), 0) << "counter-clockwise (y pointing down)";
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, (Points{{20, 20}, {20, 80}, {90, 80}}));
    EXPECT_EQ(canvas()->getExtraItem(), nullptr);
    EXPECT_EQ(mode(), "READY");
    EXPECT_EQ(editor->getActiveTool(), nullptr);
    ASSERT_EQ(lock->count(), 2);
    EXPECT_FALSE(lock->at(1).at(0).toBool());
    expectOneUndoStep(before);
}

// The Select menu offers the models on the slice: a model's first outline
// drawn there adds it at once, and undoing that outline takes it away again
// (the menu once kept the models of the slice as it was first shown).
TEST_F(SliceDrawing, TheSelectMenuFollowsTheModelsDrawnOnTheSlice)
{
    const auto offered = [this] {
        QStringList names;
        for (QAction* a : editor->getSelectMenu()->actions())
            if (!a->isSeparator() && a != editor->selectAllAction())
                names << a->text();
        return names;
    };
    EXPECT_TRUE(offered().isEmpty());
    editor->drawManual("organ");
    for (const auto& [x, y] : Points{{20, 20}, {20, 80}, {90, 80}})
        click(x, y);
    key(Qt::Key_Return);
    ASSERT_EQ(slice()->getNumItems(), 1);
    EXPECT_EQ(offered(), QStringList{"organ"});
    history().undo();
    EXPECT_TRUE(offered().isEmpty());
    history().redo();
    EXPECT_EQ(offered(), QStringList{"organ"});
    // Choosing it selects the outline.
    editor->getSelectMenu()->actions().back()->trigger();
    EXPECT_TRUE(slice()->getItem(0)->getSelection().isComplete());
}

TEST_F(SliceDrawing, TooFewVerticesAreRefusedWithTheUserErrorBox)
{
    DialogScript script;
    script.button("OK").button("OK");
    editor->drawManual("organ");
    click(20, 20);
    click(40, 20);
    key(Qt::Key_Return);
    editor->drawManual("duct");
    doubleClick(30, 30);
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[0].title, "User error");
    EXPECT_EQ(script.requests()[0].text,
              "Cannot create a closed contour with less than 3 points.\n\nCreation canceled.");
    EXPECT_EQ(script.requests()[1].text,
              "Cannot create an open contour with less than 2 points.\n\nCreation canceled.");
    EXPECT_EQ(slice()->getNumItems(), 0);
    EXPECT_EQ(history().getNumUndoSteps(), 0);
    EXPECT_EQ(canvas()->getExtraItem(), nullptr);
    EXPECT_EQ(mode(), "READY");
}

TEST_F(SliceDrawing, FreehandDragAppendsEveryPositionAndDecimatesWhenPreferred)
{
    Points path;
    for (int x = 10; x <= 30; ++x)
        path.emplace_back(x, 40);
    for (int y = 41; y <= 60; ++y)
        path.emplace_back(30, y);
    path.emplace_back(30, 60); // no move: no vertex
    path.emplace_back(250, 60); // outside the image: no vertex

    editor->drawManual("duct");
    drag(path);
    key(Qt::Key_Return);
    ASSERT_EQ(slice()->getNumItems(), 1);
    EXPECT_EQ(slice()->getItem(0)->getSize(), 41);

    PLXPreferences::enableAutoDecimation(true);
    editor->drawManual("duct");
    drag(path);
    key(Qt::Key_Return);
    ASSERT_EQ(slice()->getNumItems(), 2);
    EXPECT_EQ(coordinates(*slice()->getItem(1)), (Points{{10, 40}, {30, 40}, {30, 60}}))
        << "collinear positions go, the corner stays";

    // A straight stroke would decimate to its two ends: it is kept as drawn.
    editor->drawManual("duct");
    drag({{10, 100}, {11, 100}, {12, 100}, {13, 100}});
    key(Qt::Key_Return);
    ASSERT_EQ(slice()->getNumItems(), 3);
    EXPECT_EQ(slice()->getItem(2)->getSize(), 4);

    // Point sets take clicks only, not the positions dragged over.
    editor->drawManual("nuclei");
    drag({{50, 50}, {51, 50}, {52, 50}});
    key(Qt::Key_Return);
    ASSERT_EQ(slice()->getNumItems(), 4);
    EXPECT_EQ(coordinates(*slice()->getItem(3)), (Points{{50, 50}}));
}

TEST_F(SliceDrawing, KeysRemoveAppendAndCancelAndTheRightButtonCancels)
{
    editor->drawManual("organ");
    click(10, 10);
    click(60, 10);
    key(Qt::Key_Backspace);
    EXPECT_EQ(coordinates(*canvas()->getExtraItem()), (Points{{10, 10}}));
    move(70, 70, Qt::NoButton);
    key(Qt::Key_X);
    move(10, 70, Qt::NoButton);
    key(Qt::Key_X);
    EXPECT_EQ(coordinates(*canvas()->getExtraItem()), (Points{{10, 10}, {70, 70}, {10, 70}}));
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    ASSERT_NE(canvas()->getExtraItem(), nullptr);
    key(Qt::Key_Backspace); // the only vertex: the drawing ends
    EXPECT_EQ(canvas()->getExtraItem(), nullptr);
    EXPECT_EQ(editor->getActiveTool(), nullptr);

    editor->drawManual("organ");
    click(10, 10);
    click(50, 50);
    click(90, 10, Qt::RightButton);
    EXPECT_EQ(editor->getActiveTool(), nullptr);
    EXPECT_EQ(mode(), "READY");
    EXPECT_EQ(slice()->getNumItems(), 0);
    EXPECT_EQ(history().getNumUndoSteps(), 0);
    EXPECT_EQ(lock->count(), 4) << "two locks, each released";
}

TEST_F(SliceDrawing, PointsJoinTheirBuddyOnTheSlice)
{
    ModelItem* buddy = addItem(nuclei, slice(), {{5, 5}});
    addItem(nuclei, slice(1), {{7, 7}});
    const std::string before = text();
    editor->drawManual("nuclei");
    click(40, 40);
    click(60, 40);
    doubleClick(80, 40);
    ASSERT_EQ(slice()->getNumItems(), 1);
    EXPECT_EQ(coordinates(*buddy), (Points{{5, 5}, {40, 40}, {60, 40}, {80, 40}}));
    expectOneUndoStep(before);

    // An item of other properties is no buddy.
    buddy->getProperties().setColor(0, 255, 0);
    editor->drawManual("nuclei");
    click(20, 100);
    key(Qt::Key_Enter);
    EXPECT_EQ(slice()->getNumItems(), 2);
}

TEST_F(SliceDrawing, ShowingAnotherSliceCancelsTheDrawing)
{
    editor->drawManual("organ");
    click(10, 10);
    view->setSlice(slice(1));
    EXPECT_EQ(editor->getSlice(), slice(1));
    EXPECT_EQ(editor->getActiveTool(), nullptr);
    EXPECT_EQ(canvas()->getExtraItem(), nullptr);
    EXPECT_EQ(slice()->getNumItems() + slice(1)->getNumItems(), 0);
    ASSERT_GE(lock->count(), 2);
    EXPECT_FALSE(lock->last().at(0).toBool());
    // The selection tool works on the new slice.
    ModelItem* item = addItem(organ, slice(1), {{10, 10}, {50, 10}, {50, 50}});
    click(30, 10);
    EXPECT_TRUE(item->getSelection().isComplete());
}

// Selection --------------------------------------------------------------------------------

TEST_F(SliceDrawing, ClicksSelectOutlinesWhollyAndPointsOneByOne)
{
    SelectionListener listener;
    ModelItem* square = addItem(organ, slice(), {{20, 20}, {80, 20}, {80, 80}, {20, 80}});
    ModelItem* points = addItem(nuclei, slice(), {{120, 30}, {150, 30}, {180, 30}});
    editor->updateSelection();

    click(50, 26); // 6 pixels off the top edge, far from any vertex
    EXPECT_TRUE(square->getSelection().isComplete());
    EXPECT_EQ(listener.count, 1);
    EXPECT_EQ(listener.last.getNumSelectedItems(), 1);
    EXPECT_EQ(editor->getSelectionInfo().getNumSelectedItems(), 1);

    click(152, 33);
    EXPECT_EQ(flags(*points), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(square->getSelection().getSize(), 0) << "a plain click elsewhere unselects";
    click(178, 30, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(flags(*points), (std::vector<bool>{false, true, true}));
    click(120, 30);
    EXPECT_EQ(flags(*points), (std::vector<bool>{true, false, false}));
    click(50, 20, Qt::LeftButton, Qt::ShiftModifier);
    click(50, 20, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(square->getSelection().getSize(), 0) << "a second hit inverts back";
    click(50, 20, Qt::LeftButton, Qt::ShiftModifier);

    const int events = listener.count;
    click(100, 120, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_TRUE(square->getSelection().isComplete()) << "a Shift-click on empty space keeps the selection";
    EXPECT_EQ(listener.count, events) << "nothing changed, nothing announced";
    click(100, 120);
    EXPECT_EQ(square->getSelection().getSize() + points->getSelection().getSize(), 0);
    EXPECT_EQ(history().getNumUndoSteps(), 0) << "selecting is no undo step";
}

TEST_F(SliceDrawing, RubberBandTogglesTheVerticesInside)
{
    ModelItem* square = addItem(organ, slice(), {{20, 20}, {80, 20}, {80, 80}, {20, 80}});
    ModelItem* points = addItem(nuclei, slice(), {{120, 30}, {150, 30}, {180, 30}});
    square->getSelection().set(true, 1, true);
    // Pressed with Shift away from everything: the selection stays as it is.
    press(70, 2, Qt::LeftButton, Qt::ShiftModifier);
    move(100, 50);
    EXPECT_TRUE(canvas()->hasRubberBand());
    EXPECT_EQ(canvas()->getRubberBand(), QRect(QPoint(70, 2), QPoint(100, 50)));
    move(160, 40);
    release(160, 40);
    EXPECT_FALSE(canvas()->hasRubberBand());
    EXPECT_EQ(flags(*square), (std::vector<bool>{false, false, false, false})) << "(80, 20) toggled off";
    EXPECT_EQ(flags(*points), (std::vector<bool>{true, true, false}));

    // A plain press clears first; the band then selects what it holds.
    drag({{70, 2}, {100, 50}, {85, 85}});
    EXPECT_EQ(flags(*square), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(flags(*points), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(editor->getSelectionInfo().getNumPartiallySelectedItems(), 1);
}

TEST_F(SliceDrawing, SelectCommandsDeleteDecimateAndConvertInOneStepEach)
{
    ModelItem* square = addItem(organ, slice(), {{20, 20}, {50, 20}, {80, 20}, {80, 80}, {20, 80}});
    ModelItem* points = addItem(nuclei, slice(), {{120, 30}, {150, 30}, {180, 30}});
    addItem(duct, slice(), {{10, 120}, {190, 120}});

    editor->getSelectionDelegate()->selectModelItems("organ");
    EXPECT_TRUE(square->getSelection().isComplete());
    EXPECT_EQ(points->getSelection().getSize(), 0);
    editor->selectAllAction()->trigger();
    EXPECT_EQ(editor->getSelectionInfo().getNumSelectedItems(), 3);
    editor->cancelAction()->trigger();
    EXPECT_TRUE(editor->getSelectionInfo().emptySelection());

    std::string before = text();
    editor->getSelectionDelegate()->selectModelItems("organ");
    editor->decimateAction()->trigger();
    EXPECT_EQ(coordinates(*square), (Points{{20, 20}, {80, 20}, {80, 80}, {20, 80}}));
    expectOneUndoStep(before, 0);

    // Two of three points, and the whole square: the square goes whole.
    before = text();
    click(150, 30);
    click(180, 30, Qt::LeftButton, Qt::ShiftModifier);
    editor->getSelectionDelegate()->selectModelItems("organ");
    editor->deleteAction()->trigger();
    EXPECT_EQ(coordinates(*points), (Points{{120, 30}}));
    EXPECT_EQ(slice()->findItem(square), -1);
    expectOneUndoStep(before, 1);

    before = text();
    editor->cancelAction()->trigger();
    editor->getSelectionDelegate()->selectModelItems("duct");
    editor->getSelectionDelegate()->convertSelection("organ");
    EXPECT_EQ(organ->getNumItems(), 1);
    EXPECT_EQ(duct->getNumItems(), 0);
    expectOneUndoStep(before, 2);
}
