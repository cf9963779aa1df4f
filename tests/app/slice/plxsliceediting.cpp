// The slice editor's point editing, the tolerance at each zoom, and the
// commands' enabling from the selection summary, driven through the canvas.

#include "app/slice/plxeditiondelegate.h"
#include "app/slice/plxselectiondelegate.h"
#include "editortesting.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include <map>

using namespace editortest;

namespace {

using SliceEditing = EditorTest;

QStringList texts(const QList<QAction*>& actions)
{
    QStringList list;
    for (const QAction* action : actions)
        if (!action->isSeparator())
            list << action->text();
    return list;
}

} // namespace

TEST_F(SliceEditing, ToleranceIsOneOverZoomPlusTheClickTolerance)
{
    EXPECT_EQ(editor->getTolerance(), 11);
    view->setZoomFactor(0.5);
    EXPECT_EQ(editor->getTolerance(), 12);
    view->setZoomFactor(0.3);
    EXPECT_EQ(editor->getTolerance(), 13) << "1 / 0.3 = 3.33";
    PLXPreferences::setClickTolerance(4);
    view->setZoomFactor(4.0);
    EXPECT_EQ(editor->getTolerance(), 4);
}

TEST_F(SliceEditing, AtZoomHalfDeletionReachesTwelvePixelsAndMovingTen)
{
    view->setZoomFactor(0.5);
    // Canvas pixels cover about two image pixels: find the canvas rows
    // that land 10, 12 and 14 image pixels below the vertex's.
    const QPoint corner(60, 20);
    const QPoint vertex = canvas()->toModel(corner);
    std::map<int, QPoint> below;
    for (int w = 1; w < 10; ++w)
        below[canvas()->toModel(corner + QPoint(0, w)).y() - vertex.y()] = corner + QPoint(0, w);
    ASSERT_TRUE(below.count(10) && below.count(12) && below.count(14));
    const auto sendAt = [this](QEvent::Type type, const QPoint& world, Qt::MouseButtons buttons) {
        send(type, world, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons);
    };
    const auto clickAt = [&](const QPoint& world) {
        sendAt(QEvent::MouseButtonPress, world, Qt::LeftButton);
        sendAt(QEvent::MouseButtonRelease, world, Qt::NoButton);
    };
    const auto dragFrom = [&](const QPoint& world, const QPoint& to) {
        sendAt(QEvent::MouseButtonPress, world, Qt::LeftButton);
        sendAt(QEvent::MouseMove, to, Qt::LeftButton);
        sendAt(QEvent::MouseButtonRelease, to, Qt::NoButton);
    };

    ModelItem* outline =
        addItem(organ, slice(), {{20, 100}, {vertex.x(), vertex.y()}, {140, 100}, {140, 140}, {20, 140}});
    outline->getSelection().set(true);
    editor->updateSelection();
    editor->editPointsAction()->trigger();
    ASSERT_EQ(editor->getActiveTool(), editor->getEditionDelegate());
    EXPECT_EQ(editor->getTolerance(), 12);
    const std::string start = text();

    // Moving takes a vertex within 10 pixels only, whatever the zoom.
    dragFrom(below[12], QPoint(80, 10));
    EXPECT_EQ(text(), start);
    EXPECT_EQ(history().getNumUndoSteps(), 0);
    dragFrom(below[10], QPoint(80, 10));
    const QPoint moved = canvas()->toModel(QPoint(80, 10));
    EXPECT_EQ(coordinates(*outline)[1], (std::pair{moved.x(), moved.y()}));
    expectOneUndoStep(start);

    // Deleting reaches 12 pixels: the tolerance at this zoom.
    outline->moveVertex(1, Vector<int>{vertex.x(), vertex.y()});
    editor->getEditionDelegate()->setEditMode(PLXEditionDelegate::Mode::Delete);
    EXPECT_EQ(mode(), "DELETE");
    clickAt(below[14]);
    EXPECT_EQ(outline->getSize(), 5);
    clickAt(below[12]);
    EXPECT_EQ(coordinates(*outline), (Points{{20, 100}, {140, 100}, {140, 140}, {20, 140}}));
    EXPECT_EQ(history().getNumUndoSteps(), 2);
}

TEST_F(SliceEditing, InsertingFindsTheEdgeWithinTheTolerance)
{
    ModelItem* outline = addItem(duct, slice(), {{20, 20}, {100, 20}, {100, 100}});
    outline->getSelection().set(true, 0, true);
    editor->updateSelection();
    editor->editPointsAction()->trigger();
    editor->getEditionDelegate()->setEditMode(PLXEditionDelegate::Mode::Insert);
    EXPECT_EQ(mode(), "INSERT");
    const std::string before = text();
    click(60, 32); // 12 off the first edge: beyond 11
    click(60, 60); // the closing edge of an open outline does not count
    EXPECT_EQ(text(), before);
    click(60, 30);
    EXPECT_EQ(coordinates(*outline), (Points{{20, 20}, {60, 30}, {100, 20}, {100, 100}}));
    expectOneUndoStep(before);
    click(108, 60);
    EXPECT_EQ(coordinates(*outline), (Points{{20, 20}, {60, 30}, {100, 20}, {108, 60}, {100, 100}}));
    EXPECT_EQ(history().getNumUndoSteps(), 2);
}

TEST_F(SliceEditing, DeletionStopsAtTheSmallestOutline)
{
    DialogScript script;
    script.button("OK").button("OK").button("OK");
    ModelItem* triangle = addItem(organ, slice(), {{20, 20}, {100, 20}, {60, 90}});
    ModelItem* line = addItem(duct, slice(), {{20, 120}, {180, 120}});
    ModelItem* point = addItem(nuclei, slice(), {{150, 50}});

    for (ModelItem* item : {triangle, line, point}) {
        editor->cancelAction()->trigger();
        item->getSelection().set(true);
        editor->updateSelection();
        editor->editPointsAction()->trigger();
        ASSERT_EQ(editor->getEditionDelegate()->getItem(), item);
        editor->getEditionDelegate()->setEditMode(PLXEditionDelegate::Mode::Delete);
        const Vector<int>& first = item->getVertices()[0];
        // Dragging over the vertex asks once, not at every position.
        drag({{first[0], first[1]}, {first[0] + 1, first[1]}, {first[0] + 2, first[1]}});
    }
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[0].title, "Warning");
    EXPECT_EQ(script.requests()[0].text, "You cannot remove any vertex from this contour.\n\n"
                                         "Reason: cannot make a closed contour with less than 3 vertices.");
    EXPECT_EQ(script.requests()[1].text, "You cannot remove any vertex from this contour.\n\n"
                                         "Reason: cannot make an open contour with less than 2 vertices.");
    EXPECT_EQ(script.requests()[2].text, "You cannot remove this vertex.\n\nReason: it is the last one.");
    EXPECT_EQ(triangle->getSize() + line->getSize() + point->getSize(), 6);
    EXPECT_EQ(history().getNumUndoSteps(), 0);
}

TEST_F(SliceEditing, DraggingInDeleteModeRemovesEveryVertexPassed)
{
    ModelItem* outline = addItem(duct, slice(), {{20, 50}, {40, 50}, {60, 50}, {80, 50}, {100, 50}});
    outline->getSelection().set(true);
    editor->updateSelection();
    editor->editPointsAction()->trigger();
    editor->getEditionDelegate()->setEditMode(PLXEditionDelegate::Mode::Delete);
    drag({{40, 50}, {50, 50}, {60, 50}, {70, 50}, {80, 50}});
    // Each removal is its own step.
    EXPECT_EQ(coordinates(*outline), (Points{{20, 50}, {100, 50}}));
    EXPECT_EQ(history().getNumUndoSteps(), 3);
}

TEST_F(SliceEditing, EditionToolBarLockAndEnd)
{
    ModelItem* first = addItem(organ, slice(), {{20, 20}, {100, 20}, {60, 90}});
    ModelItem* last = addItem(organ, slice(), {{120, 20}, {180, 20}, {150, 90}});
    addItem(organ, slice(), {{20, 120}, {50, 120}, {30, 140}});
    first->getSelection().set(true);
    last->getSelection().set(true, 0, true);
    editor->updateSelection();
    EXPECT_FALSE(editor->editPointsAction()->isEnabled()) << "two items selected";
    editor->getEditionDelegate()->activate();
    PLXEditionDelegate* edition = editor->getEditionDelegate();
    EXPECT_EQ(edition->getItem(), last) << "the last item with a selection";
    EXPECT_EQ(mode(), "MOVE");
    ASSERT_NE(edition->getToolBar(), nullptr);
    EXPECT_EQ(edition->getToolBar()->parentWidget(), canvas());
    EXPECT_EQ(edition->getToolBar()->pos(), QPoint(10, 10));
    EXPECT_EQ(texts(edition->getToolBar()->actions()),
              (QStringList{"Move points", "Insert points", "Delete points", "End edition"}));
    EXPECT_EQ(lock->count(), 1);
    edition->getToolBar()->actions()[1]->trigger();
    EXPECT_EQ(edition->getEditMode(), PLXEditionDelegate::Mode::Insert);
    EXPECT_EQ(mode(), "INSERT");
    edition->getToolBar()->actions().last()->trigger();
    EXPECT_FALSE(edition->isActive());
    EXPECT_EQ(edition->getToolBar(), nullptr);
    EXPECT_EQ(mode(), "READY");
    EXPECT_EQ(lock->count(), 2);

    // Escape ends it too, and a move left half-way is taken back.
    editor->getEditionDelegate()->activate();
    press(120, 20);
    move(130, 30);
    EXPECT_EQ(coordinates(*last)[0], (std::pair{130, 30}));
    key(Qt::Key_Escape);
    EXPECT_FALSE(edition->isActive());
    EXPECT_EQ(coordinates(*last)[0], (std::pair{120, 20}));
    EXPECT_EQ(history().getNumUndoSteps(), 0);
}

TEST_F(SliceEditing, CommandsAndMenusFollowTheSelection)
{
    ModelItem* polygon = addItem(organ, slice(), {{20, 20}, {100, 20}, {60, 90}});
    ModelItem* polygon2 = addItem(organ, slice(), {{120, 20}, {180, 20}, {150, 90}});
    ModelItem* line = addItem(duct, slice(), {{20, 120}, {180, 120}});
    ModelItem* points = addItem(nuclei, slice(), {{150, 50}, {160, 60}});
    const auto enabled = [this] {
        QStringList list;
        for (QAction* action :
             {editor->deleteAction(), editor->editPointsAction(), editor->decimateAction(),
              editor->douglasPeuckerAction(), editor->changeOriginAction(), editor->resampleAction(),
              editor->runSnakeAction(), editor->smoothAction(), editor->splitAction(), editor->propertiesAction()})
            if (action->isEnabled())
                list << action->text();
        if (editor->getEditMenu()->isEnabled())
            list << "[Edit]";
        if (editor->getSelectMenu()->isEnabled())
            list << "[Select]";
        if (editor->getConvertMenu()->isEnabled())
            list << "[Convert]";
        return list;
    };
    const auto select = [this](ModelItem* item, std::vector<int> vertices) {
        ModelItemSelection s(item->getSize());
        for (int v : vertices)
            s.set(true, v, false);
        item->getSelection() = s;
    };

    editor->updateSelection();
    EXPECT_EQ(enabled(), (QStringList{"Properties...", "[Select]"}));
    EXPECT_TRUE(editor->cancelAction()->isEnabled());
    EXPECT_TRUE(editor->selectAllAction()->isEnabled());
    EXPECT_TRUE(editor->getDrawMenu()->isEnabled());

    select(polygon, {0, 1, 2});
    editor->updateSelection();
    EXPECT_EQ(enabled(), (QStringList{"Delete", "Edit points", "Decimate", "Decimate (Douglas-Peucker)",
                                      "Change origin", "Resample", "Run Snake", "Smooth (Fourier)",
                                      "Split contour", "Properties...", "[Edit]", "[Convert]"}));
    select(polygon, {0});
    editor->updateSelection();
    EXPECT_EQ(enabled(), (QStringList{"Delete", "Edit points", "Decimate", "Properties...", "[Edit]",
                                      "[Convert]"}));
    select(polygon, {});
    select(line, {0, 1});
    editor->updateSelection();
    EXPECT_EQ(enabled(), (QStringList{"Delete", "Edit points", "Decimate", "Decimate (Douglas-Peucker)",
                                      "Properties...", "[Edit]", "[Convert]"}));
    select(polygon2, {0, 1, 2});
    editor->updateSelection();
    EXPECT_EQ(enabled(), (QStringList{"Delete", "Decimate", "[Edit]"})) << "two geometries";
    select(polygon, {0, 1, 2});
    select(line, {});
    editor->updateSelection();
    EXPECT_EQ(enabled(), (QStringList{"Delete", "Decimate", "[Edit]", "[Convert]"}));
    select(polygon, {});
    select(polygon2, {});
    select(points, {0, 1});
    editor->updateSelection();
    EXPECT_EQ(enabled(), (QStringList{"Delete", "Edit points", "Decimate", "[Edit]", "[Convert]"}));

    // Convert offers the models of the selection's geometry only.
    QStringList convertible;
    for (QAction* action : editor->getConvertMenu()->actions())
        if (action->isEnabled())
            convertible << action->text();
    EXPECT_EQ(convertible, QStringList{"nuclei"});

    QMenu* menu = editor->getContextMenu();
    QStringList top;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            top << action->text();
    EXPECT_EQ(top.mid(0, 5), (QStringList{"Draw", "Edit", "Select", "Convert", "Delete"}));
    EXPECT_EQ(texts(editor->getManualMenu()->actions()), (QStringList{"organ", "duct", "nuclei"}));
    EXPECT_EQ(texts(editor->getSelectMenu()->actions()), (QStringList{"Select all", "organ", "duct", "nuclei"}));
    QAction extra("Annotate slice");
    editor->addContextualMenuAction(&extra);
    EXPECT_TRUE(editor->getContextMenu()->actions().contains(&extra));
}
