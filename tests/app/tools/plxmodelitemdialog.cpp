// The item properties dialog: what it shows, what Apply stores (only what
// differs from the model's defaults, fields left alone untouched), the
// split of a partly selected point set, one undo step per Apply checked
// against the written stack, and "Properties..." of the slice view.

#include "app/tools/plxmodelitemdialog.h"

#include "../apptesting.h"
#include "../slice/editortesting.h"
#include "app/plxactionhistory.h"
#include "app/plxitemactions.h"
#include "app/slice/plxselectiondelegate.h"
#include "app/tools/plxmodelitempropertieseditor.h"
#include "modelfixtures.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace apptest;
using namespace modeltest;

namespace {

// A stack (not opened) of two slices with a point-set model "spots" drawn
// green with line width 2 by default, and a polygon model "organ".
struct ItemStack {
    ItemStack() : stack(emptyStack("items", 2))
    {
        spots = addModel(*stack, "spots", MPrimitive::Polypoint);
        spots->getItemProperties().setColor(0, 255, 0);
        spots->getItemProperties().setLineWidth(2.0f);
        organ = addModel(*stack, "organ", MPrimitive::Polygon);
        organ->getItemProperties().setColor(0, 255, 0);
    }
    std::string text() const { return stackText(*stack); }
    std::unique_ptr<PLXStack> stack;
    Model* spots;
    Model* organ;
};

using ItemDialogFromSliceView = editortest::EditorTest;

ModelItemProperties colour(int r, int g, int b)
{
    ModelItemProperties p;
    p.setColor(r, g, b);
    return p;
}

} // namespace

// Changing the colour of two points of a five-point item leaves two items:
// the two selected points in the new colour, a new item of the three others
// drawn as before; one undo gives back the single five-point item. Both
// states are compared with the text of stacks built directly in them.
TEST(PLXModelItemDialog, ApplyingToPartOfAPointSetSplitsItInOneStep)
{
    ItemStack s;
    const editortest::Points five = {{10, 10}, {20, 20}, {30, 30}, {40, 40}, {50, 50}};
    ModelItem* item = addItem(*s.stack, *s.spots, 1, five);
    item->getSelection().set(true, 1, false);
    item->getSelection().set(true, 3, false);
    const std::string before = s.text();

    ItemStack split;
    addItem(*split.stack, *split.spots, 1, {{20, 20}, {40, 40}})->setProperties(colour(0, 0, 255));
    addItem(*split.stack, *split.spots, 1, {{10, 10}, {30, 30}, {50, 50}});

    DialogScript script;
    script.value(QColor(0, 0, 255));
    PLXModelItemDialog dialog(*s.stack, *item);
    EXPECT_EQ(dialog.windowTitle(), "Properties");
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    dialog.getEditor()->getColorButton()->click();
    ASSERT_TRUE(dialog.getApplyButton()->isEnabled());
    dialog.getApplyButton()->click();
    EXPECT_EQ(s.text(), split.text());
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 1);
    EXPECT_TRUE(s.stack->isModified());
    // The dialog shows the item as it is now drawn.
    EXPECT_EQ(dialog.getEditor()->getColor(), QColor(0, 0, 255));
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());

    s.stack->history().undo();
    EXPECT_EQ(s.text(), before);
    EXPECT_EQ(s.spots->getNumItems(), 1);
    s.stack->history().redo();
    EXPECT_EQ(s.text(), split.text());
    EXPECT_EQ(script.unexpected(), 0);
}

// A wholly selected point set, one with no selected point, and a polygon
// partly selected all change whole.
TEST(PLXModelItemDialog, ConnectedItemsAndWholeSelectionsChangeWhole)
{
    ItemStack s;
    ModelItem* whole = addItem(*s.stack, *s.spots, 0, {{1, 1}, {2, 2}, {3, 3}});
    whole->getSelection().set(true);
    ModelItem* none = addItem(*s.stack, *s.spots, 0, {{5, 5}, {6, 6}});
    ModelItem* polygon = addItem(*s.stack, *s.organ, 0, square(1, 1, 9, 9));
    polygon->getSelection().set(true, 2, false);
    for (ModelItem* item : {whole, none, polygon}) {
        DialogScript script;
        script.value(QColor(9, 9, 9));
        PLXModelItemDialog dialog(*s.stack, *item);
        dialog.getEditor()->getColorButton()->click();
        dialog.apply();
        EXPECT_EQ(item->getProperties(), colour(9, 9, 9));
    }
    EXPECT_EQ(s.spots->getNumItems(), 2);
    EXPECT_EQ(s.organ->getNumItems(), 1);
    EXPECT_EQ(whole->getSize() + none->getSize() + polygon->getSize(), 3 + 2 + 4);
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 3);
}

// The item keeps only what differs from its model's defaults: a value set
// back to the default is dropped, the colour it shares with the model is
// not stored, and "Defaults" clears the item's own properties.
TEST(PLXModelItemDialog, ApplyStoresOnlyWhatDiffersFromTheModelDefaults)
{
    ItemStack s;
    ModelItem* item = addItem(*s.stack, *s.spots, 0, {{1, 1}, {2, 2}});
    ModelItemProperties own;
    own.setLineWidth(3.0f);
    own.setPointSize(4.0f);
    item->setProperties(own);

    PLXModelItemDialog dialog(*s.stack, *item);
    PLXModelItemPropertiesEditor& editor = *dialog.getEditor();
    // Shown: the model's colour under the item's own sizes.
    EXPECT_EQ(editor.getColor(), QColor(0, 255, 0));
    EXPECT_EQ(editor.getLineWidthBox()->value(), 3);
    EXPECT_EQ(editor.getPointSizeBox()->value(), 4);
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    // Editing back and forth leaves Apply disabled.
    editor.getLineWidthBox()->setValue(5);
    EXPECT_TRUE(dialog.getApplyButton()->isEnabled());
    editor.getLineWidthBox()->setValue(3);
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    // Nothing edited: applying makes no step.
    dialog.apply();
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 0);

    editor.getLineWidthBox()->setValue(2); // the model's own
    editor.getFilledBox()->click();
    dialog.apply();
    ModelItemProperties expected;
    expected.setPointSize(4.0f);
    expected.setFilled(editor.getFilledBox()->isChecked());
    EXPECT_EQ(item->getProperties(), expected);
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 1);

    dialog.getDefaultsButton()->click();
    EXPECT_TRUE(dialog.getApplyButton()->isEnabled());
    EXPECT_EQ(editor.getLineWidthBox()->value(), 2);
    dialog.apply();
    EXPECT_FALSE(item->getProperties().definesAny());
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 2);
    s.stack->history().undo();
    EXPECT_EQ(item->getProperties(), expected);
    // The dialog followed the undo.
    EXPECT_EQ(editor.getPointSizeBox()->value(), 4);
}

// Regression: a width the box cannot show (1.5 shows as 2) was stored as
// the box's integer when another field was applied.
TEST(PLXModelItemDialog, FieldsLeftAloneKeepTheirExactValue)
{
    ItemStack s;
    ModelItem* item = addItem(*s.stack, *s.spots, 0, {{1, 1}});
    ModelItemProperties own;
    own.setLineWidth(1.5f);
    item->setProperties(own);
    DialogScript script;
    script.value(QColor(1, 2, 3));
    PLXModelItemDialog dialog(*s.stack, *item);
    dialog.getEditor()->getColorButton()->click();
    dialog.apply();
    ModelItemProperties expected = own;
    expected.setColor(1, 2, 3);
    EXPECT_EQ(item->getProperties(), expected);
}

// Regression: Enter did nothing (the dialog had no default button). Enter in
// a field applies what was typed and closes; Escape closes and applies
// nothing.
TEST(PLXModelItemDialog, EnterAppliesAndClosesEscapeDiscards)
{
    ItemStack s;
    ModelItem* item = addItem(*s.stack, *s.spots, 0, {{1, 1}, {2, 2}});
    {
        PLXModelItemDialog dialog(*s.stack, *item);
        dialog.show();
        QSpinBox* width = dialog.getEditor()->getLineWidthBox();
        width->selectAll();
        QTest::keyClicks(width, "7");
        QTest::keyClick(width, Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(item->getProperties().getLineWidth(), 7.0f);
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 1);
    {
        // The keypad's Enter, with nothing edited: closes, no step.
        PLXModelItemDialog dialog(*s.stack, *item);
        dialog.show();
        QTest::keyClick(dialog.getEditor()->getPointSizeBox(), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 1);
    {
        PLXModelItemDialog dialog(*s.stack, *item);
        dialog.show();
        QSpinBox* size = dialog.getEditor()->getPointSizeBox();
        size->selectAll();
        QTest::keyClicks(size, "9");
        ASSERT_TRUE(dialog.getApplyButton()->isEnabled());
        EXPECT_TRUE(dialog.getApplyButton()->isDefault());
        QTest::keyClick(size, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_FALSE(item->getProperties().definesPointSize());
    EXPECT_EQ(item->getProperties().getLineWidth(), 7.0f);
    EXPECT_EQ(s.stack->history().getNumUndoSteps(), 1);
}

// The dialog lets go of an item that is deleted, and of a closed stack.
TEST(PLXModelItemDialog, ClosesWhenItsItemGoes)
{
    ItemStack s;
    ModelItem* item = addItem(*s.stack, *s.spots, 0, {{1, 1}, {2, 2}});
    PLXModelItemDialog dialog(*s.stack, *item);
    dialog.show();
    PLXActionHistory& history = s.stack->history();
    history.openStep();
    history.push(new PLXItemDeletionAction(*item), true);
    history.closeStep();
    EXPECT_EQ(dialog.getItem(), nullptr);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.apply(); // harmless
    EXPECT_EQ(history.getNumUndoSteps(), 1);
}

// "Properties..." of the slice view runs the dialog on the selected item;
// its Apply is one step of the stack's history.
TEST_F(ItemDialogFromSliceView, PropertiesRunsTheItemDialogOnTheSelectedItem)
{
    ModelItem* outline = addItem(organ, slice(), {{20, 20}, {100, 20}, {60, 90}});
    outline->getSelection().set(true);
    editor->updateSelection();
    ASSERT_TRUE(editor->propertiesAction()->isEnabled());
    const std::string before = text();
    DialogScript script;
    script.modal([&](QDialog& d) {
        auto* dialog = qobject_cast<PLXModelItemDialog*>(&d);
        EXPECT_NE(dialog, nullptr);
        if (!dialog)
            return false;
        EXPECT_EQ(dialog->getItem(), outline);
        dialog->getEditor()->getPointSizeBox()->setValue(7);
        dialog->getApplyButton()->click();
        return false;
    });
    editor->propertiesAction()->trigger();
    EXPECT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(outline->getProperties().getPointSize(), 7.0f);
    ASSERT_EQ(history().getNumUndoSteps(), 1);
    history().undo();
    EXPECT_EQ(text(), before);
}

// "Properties..." on part of a point set: the command is enabled (it was not,
// so the split could not be reached from the slice view) and its Apply
// splits the set in one step: the chosen points in the new colour, the
// others in a new item as before. A whole point set keeps it disabled.
TEST_F(ItemDialogFromSliceView, PropertiesSplitsAPartlySelectedPointSet)
{
    ModelItem* points = addItem(nuclei, slice(), {{20, 20}, {40, 30}, {60, 40}, {80, 50}});
    points->getSelection().set(true);
    editor->updateSelection();
    EXPECT_FALSE(editor->propertiesAction()->isEnabled());

    ModelItemSelection part(points->getSize());
    part.set(true, 0, false);
    part.set(true, 2, false);
    points->getSelection() = part;
    editor->updateSelection();
    ASSERT_TRUE(editor->propertiesAction()->isEnabled());
    const std::string before = text();
    DialogScript script;
    script.modal([&](QDialog& d) {
        auto* dialog = qobject_cast<PLXModelItemDialog*>(&d);
        EXPECT_NE(dialog, nullptr);
        if (!dialog)
            return false;
        dialog->getEditor()->getPointSizeBox()->setValue(9);
        dialog->getApplyButton()->click();
        return false;
    });
    editor->propertiesAction()->trigger();
    EXPECT_EQ(script.requests().size(), 1u);
    ASSERT_EQ(history().getNumUndoSteps(), 1);
    ASSERT_EQ(nuclei->getNumItems(), 2);
    // Whichever order the two items are listed in: the chosen points with
    // their own point size, the others with none.
    const ModelItem* chosen = nuclei->getItem(0) == points ? nuclei->getItem(0) : nuclei->getItem(1);
    const ModelItem* rest = nuclei->getItem(0) == points ? nuclei->getItem(1) : nuclei->getItem(0);
    ASSERT_EQ(chosen->getSize(), 2);
    EXPECT_EQ(chosen->getVertices()[0], (Vector<int>{20, 20}));
    EXPECT_EQ(chosen->getVertices()[1], (Vector<int>{60, 40}));
    EXPECT_TRUE(chosen->getProperties().definesPointSize());
    EXPECT_FLOAT_EQ(chosen->getProperties().getPointSize(), 9.0f);
    ASSERT_EQ(rest->getSize(), 2);
    EXPECT_EQ(rest->getVertices()[0], (Vector<int>{40, 30}));
    EXPECT_EQ(rest->getVertices()[1], (Vector<int>{80, 50}));
    EXPECT_FALSE(rest->getProperties().definesPointSize());
    EXPECT_EQ(rest->getSlice(), slice());
    const std::string after = text();
    history().undo();
    EXPECT_EQ(text(), before);
    history().redo();
    EXPECT_EQ(text(), after);
    EXPECT_EQ(script.unexpected(), 0);
}
