#include "app/tools/plxmodeldialog.h"

#include "../apptesting.h"
#include "app/plxactionhistory.h"
#include "app/plxeventserver.h"
#include "app/tools/plxmodeldialogmediator.h"
#include "app/tools/plxmodelitempropertieseditor.h"
#include "app/tools/plxmodelnameeditor.h"
#include "app/tools/plxmodelpropertieseditor.h"
#include "modelfixtures.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <algorithm>

using namespace apptest;
using namespace modeltest;

namespace {

QStringList listed(const PLXModelDialog& dialog)
{
    QStringList names;
    for (int row = 0; row < dialog.getModelList()->count(); ++row)
        names << dialog.getModelList()->item(row)->text();
    return names;
}

void typeName(PLXModelDialog& dialog, const QString& name)
{
    QLineEdit* field = dialog.getNameEditor()->getNameField();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, name);
}

int count(const std::vector<int>& codes, PLXEvent::Type type)
{
    return static_cast<int>(std::count(codes.begin(), codes.end(), int(type)));
}

QString duplicate(const QString& name)
{
    return "Error: duplicate identifier.\n\n   A model named " + name +
           " already exists in this stack.\n   Please enter another model name.";
}

const QString missing = "Error: missing identifier.\n\n   The model name is empty.\n   Please enter a model name.";

} // namespace

// The list is sorted by name below the creation entry; the modes enable
// what they may apply.
TEST(PLXModelDialog, ListAndModes)
{
    DialogScript script;
    auto stack = emptyStack("cells", 2);
    addModel(*stack, "nucleus");
    addModel(*stack, "Axon");
    addModel(*stack, "cortex");
    PLXModelDialog dialog;
    PLXModelDialogMediator& m = dialog.getMediator();
    m.setStack(stack.get());
    EXPECT_EQ(dialog.windowTitle(), "Models for stack \"cells\"");
    EXPECT_EQ(listed(dialog), QStringList({"Model", "Axon", "cortex", "nucleus"}));
    EXPECT_EQ(m.getMode(), PLXModelDialogMediator::Standard);
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    EXPECT_FALSE(dialog.getDeleteButton()->isEnabled());
    EXPECT_FALSE(dialog.getPropertiesEditor()->isEnabled());

    dialog.getModelList()->item(0)->setSelected(true);
    EXPECT_EQ(m.getMode(), PLXModelDialogMediator::Creation);
    EXPECT_TRUE(dialog.getApplyButton()->isEnabled());
    EXPECT_FALSE(dialog.getDeleteButton()->isEnabled());
    // A new model's properties are proposed.
    EXPECT_EQ(dialog.getPropertiesEditor()->getProperties(), Model().getProperties());
    EXPECT_EQ(dialog.getItemPropertiesEditor()->getProperties(), Model().getItemProperties());

    m.selectModels({"cortex", "nucleus"});
    EXPECT_EQ(m.getMode(), PLXModelDialogMediator::Selection);
    EXPECT_TRUE(dialog.getDeleteButton()->isEnabled());
    EXPECT_FALSE(dialog.getNameEditor()->isEnabled());
    m.selectModels({"Axon"});
    EXPECT_TRUE(dialog.getNameEditor()->isEnabled());
    EXPECT_EQ(dialog.getNameEditor()->getName(), "Axon");
    m.selectModels({});
    EXPECT_EQ(m.getMode(), PLXModelDialogMediator::Standard);
    EXPECT_EQ(script.unexpected(), 0);
}

// Creating: the name is checked (empty, taken), the model takes the edited
// properties, is announced, and the dialog goes back to the standard mode.
TEST(PLXModelDialog, CreationChecksTheName)
{
    DialogScript script;
    auto stack = emptyStack("cells", 2);
    addModel(*stack, "nucleus");
    PLXModelDialog dialog;
    PLXModelDialogMediator& m = dialog.getMediator();
    m.setStack(stack.get());
    Recorder recorder("r", nullptr);

    m.setModeCreation();
    script.button("OK").button("OK");
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    typeName(dialog, "nucleus");
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    ASSERT_EQ(script.requests().size(), 2u);
    for (const Dialogs::Request& r : script.requests()) {
        EXPECT_EQ(r.title, QCoreApplication::applicationName());
        EXPECT_EQ(r.icon, QMessageBox::Warning);
    }
    EXPECT_EQ(script.requests()[0].text, missing);
    EXPECT_EQ(script.requests()[1].text, duplicate("nucleus"));
    // Refused names leave the dialog creating, and the stack as it was.
    EXPECT_EQ(m.getMode(), PLXModelDialogMediator::Creation);
    EXPECT_EQ(stack->getNumModels(), 1);
    EXPECT_TRUE(recorder.codes.empty());

    typeName(dialog, "  membrane ");
    dialog.getPropertiesEditor()->getGeometryBox()->setCurrentIndex(1);
    dialog.getPropertiesEditor()->getQuadMeshWidthBox()->setValue(40);
    dialog.getItemPropertiesEditor()->getPointSizeBox()->setValue(7);
    script.value(QColor(10, 200, 30));
    QTest::mouseClick(dialog.getItemPropertiesEditor()->getColorButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    ASSERT_EQ(stack->getNumModels(), 2);
    const Model& made = *stack->getModel(stack->findModel("membrane"));
    EXPECT_EQ(made.getGeometry(), MPrimitive::Polyline);
    EXPECT_EQ(made.getProperties().getQuadMeshWidth(), 40u);
    // What was not edited is a new model's.
    EXPECT_EQ(made.getProperties().getQuadMeshHeight(), Model().getProperties().getQuadMeshHeight());
    EXPECT_FLOAT_EQ(made.getItemProperties().getPointSize(), 7.0f);
    EXPECT_EQ(made.getItemProperties().getColor(), (Vector<int>{10, 200, 30}));
    EXPECT_EQ(made.getItemProperties().getVertexSymbol(), Model().getItemProperties().getVertexSymbol());
    EXPECT_EQ(count(recorder.codes, PLXEvent::ModelCreateEvent), 1);
    EXPECT_TRUE(stack->isModified());
    EXPECT_EQ(listed(dialog), QStringList({"Model", "membrane", "nucleus"}));
    EXPECT_EQ(m.getMode(), PLXModelDialogMediator::Standard);
    EXPECT_EQ(script.unexpected(), 0);
}

// Editing several models applies only the properties defined in the
// editors: what they do not share stays blank and each keeps its own.
TEST(PLXModelDialog, EditionUpdatesOnlyDefinedProperties)
{
    DialogScript script;
    auto stack = emptyStack("cells", 2);
    Model* a = addModel(*stack, "A");
    Model* b = addModel(*stack, "B");
    a->getProperties().setOpacity(100);
    b->getProperties().setOpacity(200);
    a->getItemProperties().setLineWidth(2);
    b->getItemProperties().setLineWidth(2);
    a->getProperties().setBeginCapFlag(true);
    PLXModelDialog dialog;
    PLXModelDialogMediator& m = dialog.getMediator();
    m.setStack(stack.get());
    Recorder recorder("r", nullptr);

    m.selectModels({"A", "B"});
    PLXModelPropertiesEditor& editor = *dialog.getPropertiesEditor();
    EXPECT_EQ(editor.getOpacityBox()->value(), -1);
    EXPECT_EQ(editor.getOpacityBox()->text(), " ");
    EXPECT_EQ(editor.getBeginCapBox()->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(dialog.getItemPropertiesEditor()->getLineWidthBox()->value(), 2);
    editor.getShininessBox()->setValue(80);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    EXPECT_FLOAT_EQ(a->getProperties().getOpacity(), 100.0f);
    EXPECT_FLOAT_EQ(b->getProperties().getOpacity(), 200.0f);
    EXPECT_FLOAT_EQ(a->getProperties().getShininess(), 80.0f);
    EXPECT_FLOAT_EQ(b->getProperties().getShininess(), 80.0f);
    EXPECT_TRUE(a->getProperties().getBeginCapFlag());
    EXPECT_FALSE(b->getProperties().definesBeginCapFlag());
    EXPECT_EQ(count(recorder.codes, PLXEvent::ModelPropertiesEvent), 2);
    EXPECT_TRUE(stack->isModified());
    EXPECT_EQ(m.getMode(), PLXModelDialogMediator::Selection);
    EXPECT_EQ(script.unexpected(), 0);
}

// Renaming to its own name is accepted; to another model's name refused;
// a new name re-sorts the list. The event carries the old properties.
TEST(PLXModelDialog, RenamingAModel)
{
    DialogScript script;
    auto stack = emptyStack("cells", 2);
    addModel(*stack, "A");
    Model* b = addModel(*stack, "B");
    b->getProperties().setOpacity(50);
    PLXModelDialog dialog;
    PLXModelDialogMediator& m = dialog.getMediator();
    m.setStack(stack.get());

    m.selectModels({"B"});
    EXPECT_TRUE(m.applyEdition());
    EXPECT_TRUE(script.requests().empty());
    typeName(dialog, "A");
    script.button("OK");
    EXPECT_FALSE(m.applyEdition());
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].text, duplicate("A"));
    EXPECT_EQ(b->getName(), "B");

    struct OldOpacity : PLXEventClient {
        float opacity = -1;
        void modelPropertiesEvent(PLXModelPropertiesEvent& e) override { opacity = e.getOldProperties().getOpacity(); }
    } old;
    typeName(dialog, "0 first");
    dialog.getPropertiesEditor()->getOpacityBox()->setValue(60);
    EXPECT_TRUE(m.applyEdition());
    EXPECT_EQ(b->getName(), "0 first");
    EXPECT_FLOAT_EQ(old.opacity, 50.0f);
    EXPECT_EQ(listed(dialog), QStringList({"Model", "0 first", "A"}));
    EXPECT_EQ(m.getSelectedModels(), std::vector<Model*>{b});
    EXPECT_EQ(script.unexpected(), 0);
}

// Models holding items ask for confirmation (one model, several models);
// models without items go at once. A deletion is one undoable step.
TEST(PLXModelDialog, DeletionAsksWhenModelsHoldItems)
{
    DialogScript script;
    auto stack = emptyStack("cells", 3);
    Model* a = addModel(*stack, "A");
    Model* b = addModel(*stack, "B");
    addModel(*stack, "C");
    addModel(*stack, "D");
    addItem(*stack, *a, 0, square(0, 0, 4, 4));
    addItem(*stack, *a, 1, square(0, 0, 4, 4));
    addItem(*stack, *b, 2, square(0, 0, 4, 4));
    PLXModelDialog dialog;
    PLXModelDialogMediator& m = dialog.getMediator();
    m.setStack(stack.get());
    Recorder recorder("r", nullptr);

    // Cancelling deletes nothing.
    m.selectModels({"A"});
    script.button("Cancel");
    QTest::mouseClick(dialog.getDeleteButton(), Qt::LeftButton);
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, "Confirm deletion");
    EXPECT_EQ(script.requests()[0].text, "Deleting model \"A\" will delete 2 item(s).");
    EXPECT_EQ(script.requests()[0].buttons, QStringList({"Delete", "Cancel"}));
    EXPECT_EQ(stack->getNumModels(), 4);

    m.selectModels({"A", "B", "C"});
    script.button("Delete");
    QTest::mouseClick(dialog.getDeleteButton(), Qt::LeftButton);
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[1].text, "Deleting models \"A, etc.\" will delete 3 item(s).");
    EXPECT_EQ(stack->getNumModels(), 1);
    EXPECT_EQ(stack->getSlice(0)->getNumItems(), 0);
    EXPECT_EQ(count(recorder.codes, PLXEvent::ModelDeleteEvent), 3);
    EXPECT_EQ(listed(dialog), QStringList({"Model", "D"}));
    EXPECT_TRUE(stack->isModified());

    // A model without items goes without a question.
    m.selectModels({"D"});
    m.deleteSelectedModels();
    EXPECT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(stack->getNumModels(), 0);

    // Undo brings the models back, and the list follows.
    stack->history().undo();
    stack->history().undo();
    EXPECT_EQ(stack->getNumModels(), 4);
    EXPECT_EQ(stack->getSlice(0)->getNumItems(), 1);
    EXPECT_EQ(listed(dialog), QStringList({"Model", "A", "B", "C", "D"}));
    // Each model at its place again, though every deletion shifted the next.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(stack->getModel(i)->getName(), std::string(1, char('A' + i)));
    EXPECT_EQ(script.unexpected(), 0);
}

// The dialog closes with its stack and follows its name.
TEST(PLXModelDialog, FollowsItsStack)
{
    DialogScript script;
    ServerCleanup cleanup;
    PLXStack* stack = emptyStack("cells", 2).release();
    addModel(*stack, "A");
    PLXStackServer::stackServer.addStack(stack);
    QPointer<PLXModelDialog> dialog = PLXModelDialog::open(*stack);
    ASSERT_TRUE(dialog);
    stack->setName("tissue");
    PLXStackNameEvent renamed(*stack);
    PLXEventServer::notifyEvent(renamed);
    EXPECT_EQ(dialog->windowTitle(), "Models for stack \"tissue\"");
    PLXStackServer::stackServer.removeStack(stack);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(script.unexpected(), 0);
}

// Every change made in the dialog is one step of the stack's history: undone,
// the stack writes exactly as before the change; redone, exactly as after it.
// (Creations and edits used to change the stack behind the history's back,
// so Edit > Undo skipped them or undid an older step instead.)
TEST(PLXModelDialog, EveryChangeIsOneUndoableStep)
{
    DialogScript script;
    auto stack = sampleStack();
    PLXModelDialog dialog;
    PLXModelDialogMediator& m = dialog.getMediator();
    m.setStack(stack.get());
    PLXActionHistory& history = stack->history();
    // Undoes the last step and checks the text against before, redoes it and
    // checks against after.
    auto roundTrip = [&](const std::string& before, const std::string& after, const QString& name) {
        EXPECT_EQ(history.getNumUndoSteps(), 1);
        EXPECT_EQ(history.getUndoDescription(), name);
        history.undo();
        EXPECT_EQ(stackText(*stack), before) << name.toStdString();
        EXPECT_EQ(history.getRedoDescription(), name);
        history.redo();
        EXPECT_EQ(stackText(*stack), after) << name.toStdString();
        history.clear();
    };

    // Creation.
    std::string before = stackText(*stack);
    m.setModeCreation();
    typeName(dialog, "membrane");
    dialog.getItemPropertiesEditor()->getPointSizeBox()->setValue(7);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    ASSERT_EQ(stack->getNumModels(), 5);
    std::string after = stackText(*stack);
    ASSERT_NE(after, before);
    roundTrip(before, after, "Model creation");
    EXPECT_EQ(listed(dialog), QStringList({"Model", "duct", "lumen", "membrane", "nuclei", "organ"}));

    // Renaming one model together with its colour and visibility.
    before = after;
    m.selectModels({"duct"});
    typeName(dialog, "canal");
    script.value(QColor(250, 10, 10));
    QTest::mouseClick(dialog.getItemPropertiesEditor()->getColorButton(), Qt::LeftButton);
    dialog.getPropertiesEditor()->getOpacityBox()->setValue(33);
    dialog.getItemPropertiesEditor()->getVisibleBox()->setCheckState(Qt::Unchecked);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    after = stackText(*stack);
    ASSERT_NE(after, before);
    ASSERT_GE(stack->findModel("canal"), 0);
    roundTrip(before, after, "Model renaming");
    // The list follows the undo and the redo.
    EXPECT_EQ(listed(dialog), QStringList({"Model", "canal", "lumen", "membrane", "nuclei", "organ"}));

    // Several models edited at once: one step for all.
    before = after;
    m.selectModels({"lumen", "organ"});
    dialog.getPropertiesEditor()->getShininessBox()->setValue(90);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    after = stackText(*stack);
    ASSERT_NE(after, before);
    roundTrip(before, after, "Model properties change");

    // Applying what is already there makes no step.
    m.selectModels({"lumen"});
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    EXPECT_EQ(history.getNumUndoSteps(), 0);
    EXPECT_EQ(stackText(*stack), after);

    // Deletion, named for the menu.
    before = after;
    m.selectModels({"nuclei", "canal"});
    script.button("Delete");
    QTest::mouseClick(dialog.getDeleteButton(), Qt::LeftButton);
    after = stackText(*stack);
    ASSERT_EQ(stack->getNumModels(), 3);
    roundTrip(before, after, "Model deletion");
    EXPECT_EQ(script.unexpected(), 0);
}
