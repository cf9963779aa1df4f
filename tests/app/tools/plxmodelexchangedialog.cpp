#include "app/tools/plxmodelexchangedialog.h"

#include "../apptesting.h"
#include "app/plxactionhistory.h"
#include "app/plxsettingskeys.h"
#include "app/tools/plxmodelexchangeactiondialog.h"
#include "modelfixtures.h"
#include "support/dialogscript.h"
#include "toolsfixtures.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>

using namespace apptest;
using namespace modeltest;

namespace {

// Two open stacks of three slices: "source" with models A (two items,
// green) and B (one item), "target" with a model A of one item.
struct Exchange {
    Exchange()
    {
        source = emptyStack("source", 3).release();
        target = emptyStack("target", 3).release();
        Model* a = addModel(*source, "A");
        a->getItemProperties().setColor(0, 255, 0);
        a->getProperties().setOpacity(90);
        addItem(*source, *a, 0, square(1, 1, 5, 5));
        addItem(*source, *a, 2, square(2, 2, 6, 6));
        addItem(*source, *addModel(*source, "B", MPrimitive::Polyline), 1, {{0, 0}, {9, 9}});
        addItem(*target, *addModel(*target, "A"), 1, square(10, 10, 20, 20));
        PLXStackServer::stackServer.addStack(source);
        PLXStackServer::stackServer.addStack(target);
        dialog = std::make_unique<PLXModelExchangeDialog>();
    }
    // Answers the next action dialog with the choice.
    static std::function<bool(QDialog&)> choose(PLXModelExchangeActionDialog::Choice choice, bool forAll = false,
                                                QString* title = nullptr)
    {
        return [=](QDialog& d) {
            auto& ask = dynamic_cast<PLXModelExchangeActionDialog&>(d);
            if (title)
                *title = ask.windowTitle();
            ask.getAllModelsBox()->setChecked(forAll);
            ask.getButton(choice)->click();
            return true;
        };
    }
    ServerCleanup cleanup;
    PLXStack* source;
    PLXStack* target;
    std::unique_ptr<PLXModelExchangeDialog> dialog;
};

} // namespace

// A model the target lacks is copied: properties, items on the slices at
// the same positions with their own vertices; the transfer is one step that
// the dialog's Undo and Redo take back and forth.
TEST(PLXModelExchangeDialog, CopiesAModelTheTargetLacks)
{
    DialogScript script;
    Exchange x;
    PLXModelExchangeDialog& d = *x.dialog;
    EXPECT_EQ(d.windowTitle(), "Model transfer");
    ASSERT_EQ(d.getStack(PLXModelExchangeDialog::Left), x.source);
    ASSERT_EQ(d.getStack(PLXModelExchangeDialog::Right), x.target);
    EXPECT_FALSE(d.getUndoButton()->isEnabled());
    Recorder recorder("r", nullptr);

    d.selectModels(PLXModelExchangeDialog::Left, {"B"});
    QTest::mouseClick(d.getTransferButton(PLXModelExchangeDialog::Left), Qt::LeftButton);
    EXPECT_TRUE(script.requests().empty());
    ASSERT_EQ(modelNames(*x.target), std::vector<std::string>({"A", "B"}));
    const Model& copy = *x.target->getModel(1);
    const Model& original = *x.source->getModel(1);
    EXPECT_EQ(copy.getProperties(), original.getProperties());
    ASSERT_EQ(copy.getNumItems(), 1);
    const ModelItem& item = *copy.getItem(0);
    EXPECT_EQ(item.getSlice(), x.target->getSlice(1));
    EXPECT_TRUE(x.target->getSlice(1)->hasItem(&item));
    EXPECT_EQ(item.getVertices()[1], (Vector<int>{9, 9}));
    // The copy's vertices are its own.
    EXPECT_NE(&item.getVertices()[1][0], &original.getItem(0)->getVertices()[1][0]);
    EXPECT_EQ(count_if(recorder.codes.begin(), recorder.codes.end(),
                       [](int c) { return c == PLXEvent::ModelCreateEvent; }),
              1);
    EXPECT_EQ(count_if(recorder.codes.begin(), recorder.codes.end(),
                       [](int c) { return c == PLXEvent::ModelItemCreateEvent; }),
              1);
    EXPECT_TRUE(x.target->isModified());
    EXPECT_FALSE(x.source->isModified());
    EXPECT_EQ(d.getModelList(PLXModelExchangeDialog::Right)->count(), 2);

    ASSERT_TRUE(d.getUndoButton()->isEnabled());
    QTest::mouseClick(d.getUndoButton(), Qt::LeftButton);
    EXPECT_EQ(modelNames(*x.target), std::vector<std::string>({"A"}));
    EXPECT_EQ(x.target->getSlice(1)->getNumItems(), 1);
    EXPECT_EQ(d.getModelList(PLXModelExchangeDialog::Right)->count(), 1);
    QTest::mouseClick(d.getRedoButton(), Qt::LeftButton);
    EXPECT_EQ(modelNames(*x.target), std::vector<std::string>({"A", "B"}));
    EXPECT_EQ(x.target->getSlice(1)->getNumItems(), 2);
    EXPECT_EQ(script.unexpected(), 0);
}

// A name the target holds: Replace, Duplicate or Append, as asked.
TEST(PLXModelExchangeDialog, ReplaceDuplicateOrAppend)
{
    DialogScript script;
    Exchange x;
    PLXModelExchangeDialog& d = *x.dialog;
    QString title;
    d.selectModels(PLXModelExchangeDialog::Left, {"A"});

    script.modal(Exchange::choose(PLXModelExchangeActionDialog::Append, false, &title));
    d.transfer(PLXModelExchangeDialog::Left);
    EXPECT_EQ(title, "Action for A");
    EXPECT_EQ(modelNames(*x.target), std::vector<std::string>({"A"}));
    const Model& theirs = *x.target->getModel(0);
    ASSERT_EQ(theirs.getNumItems(), 3);
    EXPECT_EQ(theirs.getItem(1)->getSlice(), x.target->getSlice(0));
    EXPECT_EQ(theirs.getItem(2)->getSlice(), x.target->getSlice(2));
    // The target's model keeps its own properties.
    EXPECT_FALSE(theirs.getItemProperties().getColor() == (Vector<int>{0, 255, 0}));
    x.target->history().undo();
    EXPECT_EQ(theirs.getNumItems(), 1);

    script.modal(Exchange::choose(PLXModelExchangeActionDialog::Replace));
    d.transfer(PLXModelExchangeDialog::Left);
    ASSERT_EQ(modelNames(*x.target), std::vector<std::string>({"A"}));
    EXPECT_EQ(x.target->getModel(0)->getItemProperties().getColor(), (Vector<int>{0, 255, 0}));
    EXPECT_EQ(x.target->getModel(0)->getNumItems(), 2);
    EXPECT_EQ(x.target->getSlice(1)->getNumItems(), 0);
    x.target->history().undo();
    EXPECT_EQ(x.target->getModel(0)->getNumItems(), 1);
    EXPECT_EQ(x.target->getSlice(1)->getNumItems(), 1);

    script.modal(Exchange::choose(PLXModelExchangeActionDialog::Duplicate));
    d.transfer(PLXModelExchangeDialog::Left);
    EXPECT_EQ(modelNames(*x.target), std::vector<std::string>({"A", "A (copy)"}));
    // Closing the question without a choice copies nothing.
    script.cancel();
    d.transfer(PLXModelExchangeDialog::Left);
    EXPECT_EQ(x.target->getNumModels(), 2);
    EXPECT_EQ(script.unexpected(), 0);
}

// "apply for all models" answers the remaining questions of the transfer.
TEST(PLXModelExchangeDialog, OneAnswerForAllModels)
{
    DialogScript script;
    Exchange x;
    addModel(*x.target, "B");
    x.dialog->selectModels(PLXModelExchangeDialog::Left, {"A", "B"});
    script.modal(Exchange::choose(PLXModelExchangeActionDialog::Duplicate, true));
    x.dialog->transfer(PLXModelExchangeDialog::Left);
    EXPECT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(modelNames(*x.target), std::vector<std::string>({"A", "B", "A (copy)", "B (copy)"}));
    // One step for the whole transfer.
    x.target->history().undo();
    EXPECT_EQ(modelNames(*x.target), std::vector<std::string>({"A", "B"}));
    EXPECT_EQ(script.unexpected(), 0);
}

// A duplicate's name grows by " (copy)" each time the candidate meets the
// model scanned, in the target's order.
TEST(PLXModelExchangeDialog, DuplicateNames)
{
    auto stack = emptyStack("s", 1);
    EXPECT_EQ(PLXModelExchangeDialog::duplicateName(*stack, "A"), "A");
    addModel(*stack, "A");
    addModel(*stack, "A (copy)");
    EXPECT_EQ(PLXModelExchangeDialog::duplicateName(*stack, "A"), "A (copy) (copy)");
    addModel(*stack, "B");
    EXPECT_EQ(PLXModelExchangeDialog::duplicateName(*stack, "B"), "B (copy)");
}

// Stacks of different slice counts, or with slice images of different
// sizes at one position, exchange nothing and the user is told why.
TEST(PLXModelExchangeDialog, RefusesStacksOfDifferentSizes)
{
    DialogScript script;
    ServerCleanup cleanup;
    toolstest::ImageStack one, other, third;
    const auto blank = [](int, int) { return 0; };
    one.addSlice(12, 10, blank);
    one.addSlice(12, 10, blank);
    // Same count, but the second slice of "other" is 12 x 11.
    other.addSlice(12, 10, blank);
    other.addSlice(12, 11, blank);
    third.addSlice(12, 10, blank);
    one.stack->setName("one");
    other.stack->setName("other");
    third.stack->setName("third");
    addModel(*one.stack, "A");
    PLXStack* a = one.stack.release();
    PLXStack* b = other.stack.release();
    PLXStack* c = third.stack.release();
    for (PLXStack* stack : {a, b, c})
        PLXStackServer::stackServer.addStack(stack);
    PLXModelExchangeDialog d;
    d.setStack(PLXModelExchangeDialog::Left, a);
    d.setStack(PLXModelExchangeDialog::Right, b);
    d.selectModels(PLXModelExchangeDialog::Left, {"A"});
    script.button("OK").button("OK");
    d.transfer(PLXModelExchangeDialog::Left);
    d.setStack(PLXModelExchangeDialog::Right, c);
    d.selectModels(PLXModelExchangeDialog::Left, {"A"});
    d.transfer(PLXModelExchangeDialog::Left);
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[0].text,
              "Image size error.\n\nStacks \"one\" and \"other\" have slices with different image sizes.");
    EXPECT_EQ(script.requests()[1].text, "Stack size error:\n\nStacks \"one\" and \"third\" have different sizes.");
    EXPECT_EQ(b->getNumModels(), 0);
    EXPECT_EQ(c->getNumModels(), 0);
    // A stack never exchanges with itself.
    d.setStack(PLXModelExchangeDialog::Right, a);
    EXPECT_FALSE(d.checkStacks(a, a));
    EXPECT_EQ(script.unexpected(), 0);
}

// Position and size are kept.
TEST(PLXModelExchangeDialog, KeepsItsPlace)
{
    DialogScript script;
    Exchange x;
    x.dialog->show();
    x.dialog->resize(x.dialog->minimumSizeHint() + QSize(50, 40));
    const QSize size = x.dialog->size();
    x.dialog->close();
    EXPECT_EQ(QSettings().value(PLXSettingsKeys::modelTransferDialogSize).toSize(), size);
    PLXModelExchangeDialog again;
    EXPECT_EQ(again.size(), size);
}
