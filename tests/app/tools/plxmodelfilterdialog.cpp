#include "app/tools/plxmodelfilterdialog.h"

#include "../apptesting.h"
#include "app/plxactionhistory.h"
#include "app/plxsettingskeys.h"
#include "modelfixtures.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

using namespace apptest;
using namespace modeltest;

namespace {

using Points = std::vector<std::pair<int, int>>;

Points points(const ModelItem& item)
{
    Points list;
    for (int i = 0; i < item.getSize(); ++i)
        list.emplace_back(item.getVertices()[i][0], item.getVertices()[i][1]);
    return list;
}

// Inside the reference square (0, 0)-(20, 20), away from its edges.
bool inside(const std::pair<int, int>& p)
{
    return p.first > 0 && p.first < 20 && p.second > 0 && p.second < 20;
}

Points insideOnly(const Points& list)
{
    Points kept;
    for (const auto& p : list)
        if (inside(p))
            kept.push_back(p);
    return kept;
}

struct Scene {
    Scene() : stack(emptyStack("cells", 3))
    {
        reference = addModel(*stack, "organ");
        addItem(*stack, *reference, 0, square(0, 0, 20, 20));
        addItem(*stack, *reference, 1, square(0, 0, 20, 20));
    }
    std::unique_ptr<PLXStack> stack;
    Model* reference;
};

} // namespace

// Models that the reference does not partially contain go, in one step.
TEST(PLXModelFilterDialog, RemovesModelsNotIntersectingTheReference)
{
    DialogScript script;
    Scene scene;
    PLXStack& stack = *scene.stack;
    Model* within = addModel(stack, "within");
    addItem(stack, *within, 0, square(30, 30, 40, 40));
    addItem(stack, *within, 1, square(5, 5, 8, 8));
    Model* outside = addModel(stack, "outside");
    addItem(stack, *outside, 0, square(30, 30, 40, 40));
    // Inside the square, but on a slice where the reference has nothing.
    Model* elsewhere = addModel(stack, "elsewhere");
    addItem(stack, *elsewhere, 2, square(5, 5, 8, 8));
    const std::string before = stackText(stack);

    PLXModelFilterDialog dialog(stack);
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    dialog.setReference("organ");
    dialog.setModelsToProcess({"within", "outside", "elsewhere", "organ"});
    ASSERT_TRUE(dialog.getApplyButton()->isEnabled());
    EXPECT_TRUE(dialog.getModelsButton()->isChecked());
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    ASSERT_EQ(stack.getNumModels(), 2);
    EXPECT_EQ(stack.getModel(0)->getName(), "organ");
    EXPECT_EQ(stack.getModel(1)->getName(), "within");
    EXPECT_EQ(dialog.getModelList()->count(), 2);
    EXPECT_EQ(stack.history().getNumUndoSteps(), 1);
    stack.history().undo();
    EXPECT_EQ(stackText(stack), before);
    EXPECT_EQ(dialog.getModelList()->count(), 4);
    EXPECT_EQ(script.unexpected(), 0);
}

// The vertices outside every reference outline of their slice go; items
// left too small for their geometry go whole.
TEST(PLXModelFilterDialog, RemovesPointsOutsideTheReference)
{
    DialogScript script;
    Scene scene;
    PLXStack& stack = *scene.stack;
    Model* cells = addModel(stack, "cells");
    const Points mostly = {{5, 5}, {10, 2}, {15, 5}, {30, 10}, {15, 15}, {-5, 12}};
    const Points twoIn = {{5, 5}, {30, 5}, {30, 30}, {15, 15}, {-4, 30}};
    const Points allIn = square(2, 2, 12, 12);
    ModelItem* a = addItem(stack, *cells, 0, mostly);
    addItem(stack, *cells, 0, twoIn);
    ModelItem* c = addItem(stack, *cells, 1, allIn);
    addItem(stack, *cells, 2, square(2, 2, 12, 12));  // no reference there
    Model* lines = addModel(stack, "lines", MPrimitive::Polyline);
    ModelItem* l2 = addItem(stack, *lines, 0, {{5, 5}, {30, 5}, {10, 10}});
    addItem(stack, *lines, 0, {{5, 5}, {30, 5}, {40, 10}});
    Model* dots = addModel(stack, "dots", MPrimitive::Polypoint);
    ModelItem* d1 = addItem(stack, *dots, 1, {{30, 30}, {7, 7}, {40, 2}});
    const std::string before = stackText(stack);

    PLXModelFilterDialog dialog(stack);
    dialog.setReference("organ");
    dialog.setModelsToProcess({"cells", "lines", "dots"});
    dialog.setRemoval(PLXModelFilterDialog::PointsNotIncluded);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);

    // Four of six vertices inside: the polygon keeps them.
    ASSERT_EQ(cells->getNumItems(), 2);
    EXPECT_EQ(cells->getItem(0), a);
    EXPECT_EQ(points(*a), insideOnly(mostly));
    EXPECT_EQ(points(*a).size(), 4u);
    // Two inside: too few for a polygon. All inside: untouched. None: gone.
    EXPECT_EQ(cells->getItem(1), c);
    EXPECT_EQ(points(*c), allIn);
    // A polyline keeps two vertices, not one; a point set keeps one.
    ASSERT_EQ(lines->getNumItems(), 1);
    EXPECT_EQ(lines->getItem(0), l2);
    EXPECT_EQ(points(*l2), Points({{5, 5}, {10, 10}}));
    ASSERT_EQ(dots->getNumItems(), 1);
    EXPECT_EQ(points(*d1), Points({{7, 7}}));
    // The reference itself is left alone.
    EXPECT_EQ(scene.reference->getNumItems(), 2);

    EXPECT_EQ(stack.history().getNumUndoSteps(), 1);
    stack.history().undo();
    // The text ignores selections, which the undo restores as well.
    EXPECT_EQ(stackText(stack), before);
    EXPECT_TRUE(a->getSelection().isEmpty());
    EXPECT_EQ(script.unexpected(), 0);
}

// The geometry is kept; the dialog closes with its stack.
TEST(PLXModelFilterDialog, KeepsItsGeometryAndClosesWithItsStack)
{
    DialogScript script;
    ServerCleanup cleanup;
    PLXStack* stack = Scene().stack.release();
    PLXStackServer::stackServer.addStack(stack);
    QPointer<PLXModelFilterDialog> dialog = PLXModelFilterDialog::open(*stack);
    ASSERT_TRUE(dialog);
    dialog->resize(dialog->sizeHint() + QSize(31, 17));
    const QSize size = dialog->size();
    PLXStackServer::stackServer.removeStack(stack);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog);
    EXPECT_FALSE(QSettings().value(PLXSettingsKeys::modelFilterDialogGeometry).toByteArray().isEmpty());

    auto other = emptyStack("other", 1);
    PLXModelFilterDialog again(*other);
    EXPECT_EQ(again.size(), size);
    EXPECT_EQ(script.unexpected(), 0);
}
