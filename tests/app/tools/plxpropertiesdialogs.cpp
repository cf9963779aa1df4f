#include "app/plxactionhistory.h"
#include "app/tools/plxpixelcalibrationeditor.h"
#include "app/tools/plxslicepropertiesdialog.h"
#include "app/tools/plxstackpropertiesdialog.h"
#include "app/tools/plxstackpropertieseditor.h"

#include "../apptesting.h"
#include "stack/stackslice.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>

using namespace apptest;

namespace {

PixelCalibration calibration(float width, float height)
{
    PixelCalibration c;
    c.setPixelWidth(width);
    c.setPixelHeight(height);
    c.setAspectRatio(height / width);
    c.setLengthUnit(LengthUnit(-6));
    return c;
}

// Four slices following the stack's defaults (spacing 2, pixels 0.5 x 0.5).
std::unique_ptr<PLXStack> defaultStack()
{
    auto stack = std::make_unique<PLXStack>();
    stack->setName("cells");
    stack->setDefaultRelativePosition(2.0f);
    stack->setDefaultPixelCalibration(calibration(0.5f, 0.5f));
    for (int k = 0; k < 4; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        slice->setPixelCalibration(calibration(0.5f, 0.5f));
        stack->addSlice(slice);
    }
    stack->updateReconstruction();
    return stack;
}

void type(QLineEdit* field, const QString& text)
{
    field->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

int count(const std::vector<int>& codes, PLXEvent::Type type)
{
    return static_cast<int>(std::count(codes.begin(), codes.end(), int(type)));
}

QString spacingQuestion(const char* slice)
{
    return QStringLiteral("Slice %1: spacing differs from default stack spacing.\nSet spacing to new value?").arg(slice);
}

QString calibrationQuestion(const char* slice)
{
    return QStringLiteral("Slice %1: calibration differed from default stack image calibration.\n"
                          "Set calibration to new value?")
        .arg(slice);
}

} // namespace

// Apply and Reset follow the validity of the three edited values; Reset
// shows the stack again.
TEST(PLXStackPropertiesDialog, ButtonsFollowTheValidityOfTheEdits)
{
    DialogScript script;
    auto stack = defaultStack();
    PLXStackPropertiesDialog dialog(*stack);
    EXPECT_EQ(dialog.windowTitle(), "Stack properties");
    PLXStackPropertiesEditor& editor = *dialog.getEditor();
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    EXPECT_FALSE(dialog.getResetButton()->isEnabled());

    type(editor.getNameField(), "   ");
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    type(editor.getNameField(), "tissue");
    EXPECT_TRUE(dialog.getApplyButton()->isEnabled());
    EXPECT_TRUE(dialog.getResetButton()->isEnabled());
    type(editor.getSliceSpacingField(), "2.5x");
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    EXPECT_FALSE(dialog.getResetButton()->isEnabled());
    type(editor.getSliceSpacingField(), "2.5");
    type(editor.getPixelCalibrationEditor()->getWidthField(), "");
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    // Disabled buttons apply nothing, even when called.
    dialog.apply();
    EXPECT_EQ(stack->getName(), "cells");

    type(editor.getPixelCalibrationEditor()->getWidthField(), "0.5");
    ASSERT_TRUE(dialog.getResetButton()->isEnabled());
    QTest::mouseClick(dialog.getResetButton(), Qt::LeftButton);
    EXPECT_EQ(editor.getNameField()->text(), "cells");
    EXPECT_FLOAT_EQ(editor.getSliceSpacing(), 2.0f);
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    EXPECT_EQ(script.unexpected(), 0);
}

// Regression: Enter did nothing (no default button). Enter in a field
// applies and closes; on an invalid value it leaves the dialog open and the
// stack as it was; Escape closes and applies nothing.
TEST(PLXStackPropertiesDialog, EnterAppliesAndClosesEscapeDiscards)
{
    DialogScript script;
    auto stack = defaultStack();
    {
        PLXStackPropertiesDialog dialog(*stack);
        dialog.show();
        PLXStackPropertiesEditor& editor = *dialog.getEditor();
        type(editor.getSliceSpacingField(), "2.5x");
        QTest::keyClick(editor.getSliceSpacingField(), Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FLOAT_EQ(stack->getDefaultRelativePosition(), 2.0f);
        type(editor.getSliceSpacingField(), "2.0");
        type(editor.getNameField(), "tissue");
        QTest::keyClick(editor.getNameField(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(stack->getName(), "tissue");
    {
        PLXStackPropertiesDialog dialog(*stack);
        dialog.show();
        type(dialog.getEditor()->getNameField(), "other");
        QTest::keyClick(dialog.getEditor()->getNameField(), Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(stack->getName(), "tissue");
    EXPECT_EQ(script.unexpected(), 0);
}

// The widgets Tab reaches from the first, in order.
QList<QWidget*> tabChain(QWidget& first)
{
    QList<QWidget*> chain{&first};
    for (QWidget* w = first.nextInFocusChain(); w && w != &first; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && !w->focusProxy())
            chain << w;
    return chain;
}

// Regression: Tab went name, spacing, the calibration fields, then back up
// to the length unit (the order the fields were made in). In the stack and
// slice properties dialogs Tab goes down the rows as they show, then
// along the buttons.
TEST(PLXStackPropertiesDialog, TabGoesDownTheRowsAsTheyShow)
{
    DialogScript script;
    auto stack = defaultStack();
    PLXStackPropertiesDialog stackDialog(*stack);
    PLXSlicePropertiesDialog sliceDialog(*stack->getSlice(1));
    for (QDialog* dialog : {static_cast<QDialog*>(&stackDialog), static_cast<QDialog*>(&sliceDialog)}) {
        dialog->show();
        auto* editor = dialog->findChild<PLXStackPropertiesEditor*>();
        ASSERT_NE(editor, nullptr);
        const QList<QWidget*> chain = tabChain(*editor->getNameField());
        // The same widgets by where they show: top to bottom, then left to
        // right (the buttons share one row).
        QList<QWidget*> shown = chain;
        const auto at = [dialog](QWidget* w) { return w->mapTo(dialog, QPoint(0, w->height() / 2)); };
        std::stable_sort(shown.begin(), shown.end(), [&](QWidget* a, QWidget* b) {
            const QPoint p = at(a), q = at(b);
            return std::abs(p.y() - q.y()) > 3 ? p.y() < q.y() : p.x() < q.x();
        });
        ASSERT_GE(chain.size(), 6);
        for (int k = 0; k < chain.size(); ++k)
            EXPECT_EQ(chain[k], shown[k]) << dialog->windowTitle().toStdString() << " stop " << k << ": "
                                          << chain[k]->metaObject()->className() << " where "
                                          << shown[k]->metaObject()->className() << " shows";
    }
    EXPECT_EQ(script.unexpected(), 0);
}

// Renaming only the stack sends one stack name event and nothing else; the
// untouched fields apply nothing, whatever their text rounds to.
TEST(PLXStackPropertiesDialog, RenamingOnlyTheStackSendsOneNameEvent)
{
    DialogScript script;
    auto stack = defaultStack();
    // A spacing and pixel size that no short text holds exactly.
    stack->setDefaultRelativePosition(0.1234567f);
    stack->setDefaultPixelCalibration(calibration(0.3333333f, 0.7777777f));
    for (int k = 0; k < 4; ++k)
        stack->getSlice(k)->setPixelCalibration(calibration(0.3333333f, 0.7777777f));
    PLXStackPropertiesDialog dialog(*stack);
    Recorder recorder("r", nullptr);
    type(dialog.getEditor()->getNameField(), "  tissue   sections ");
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    EXPECT_EQ(stack->getName(), "tissue sections");
    // One name event; the only other is the stack's own modify event.
    ASSERT_EQ(recorder.codes.size(), 2u);
    EXPECT_EQ(count(recorder.codes, PLXEvent::StackNameEvent), 1);
    EXPECT_EQ(count(recorder.codes, PLXEvent::StackModifyEvent), 1);
    for (std::size_t i = 0; i < recorder.codes.size(); ++i)
        if (recorder.codes[i] == PLXEvent::StackModifyEvent) {
            EXPECT_EQ(recorder.senders[i], static_cast<PLXEventClient*>(stack.get()));
        }
    EXPECT_TRUE(stack->isModified());
    EXPECT_FLOAT_EQ(stack->getDefaultRelativePosition(), 0.1234567f);
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    EXPECT_FALSE(dialog.getResetButton()->isEnabled());
    EXPECT_TRUE(script.requests().empty());
}

// Slices that follow the default spacing take the new one without a
// question; the reconstruction places them at the new distances.
TEST(PLXStackPropertiesDialog, NewDefaultSpacingMovesEveryFollowingSlice)
{
    DialogScript script;
    auto stack = defaultStack();
    // s2 stores a spacing equal to the default: it takes the new one too.
    stack->getSlice(2)->setRelativePosition(2.0f);
    PLXStackPropertiesDialog dialog(*stack);
    Recorder recorder("r", nullptr);
    type(dialog.getEditor()->getSliceSpacingField(), "3.5");
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    EXPECT_TRUE(script.requests().empty());
    EXPECT_FLOAT_EQ(stack->getDefaultRelativePosition(), 3.5f);
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(stack->getSlice(k)->getAbsolutePosition(), 3.5f * k) << k;
        // The reconstruction was brought up to date: each slice's height.
        EXPECT_DOUBLE_EQ(stack->getReconstruction().getZMap()[k], StackReconstruction<double>(*stack).getZMap()[k]);
    }
    EXPECT_NE(stack->getReconstruction().getZMap()[3], StackReconstruction<double>(*defaultStack()).getZMap()[3]);
    EXPECT_GE(count(recorder.codes, PLXEvent::StackSliceSpacingEvent), 1);
    EXPECT_EQ(count(recorder.codes, PLXEvent::StackImageCalibrationEvent), 0);
    EXPECT_TRUE(stack->isModified());
}

// Slices with their own spacing are asked about one by one: No keeps the
// slice's spacing; Yes to All stops the questions of this kind, and the
// calibration has questions of its own.
TEST(PLXStackPropertiesDialog, SlicesOffTheDefaultAreAskedSliceBySlice)
{
    DialogScript script;
    auto stack = defaultStack();
    for (int k = 0; k < 4; ++k) {
        stack->getSlice(k)->setRelativePosition(1.0f + k);
        stack->getSlice(k)->setPixelCalibration(calibration(0.25f * (k + 1), 0.25f * (k + 1)));
    }
    // s1 keeps the default spacing and calibration values.
    stack->getSlice(1)->setRelativePosition(2.0f);
    stack->getSlice(1)->setPixelCalibration(calibration(0.5f, 0.5f));

    PLXStackPropertiesDialog dialog(*stack);
    PLXStackPropertiesEditor& editor = *dialog.getEditor();
    type(editor.getSliceSpacingField(), "4");
    editor.getPixelCalibrationEditor()->setPair(PLXPixelCalibrationEditor::WidthAndHeight);
    type(editor.getPixelCalibrationEditor()->getWidthField(), "0.2");
    type(editor.getPixelCalibrationEditor()->getHeightField(), "0.4");
    // Spacing: s0 No, s2 Yes to All (s3 is not asked); calibration: s0 Yes,
    // s2 No, s3 closed without an answer (No).
    script.button("No").button("Yes to All").button("Yes").button("No").cancel();
    Recorder recorder("r", nullptr);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);

    ASSERT_EQ(script.requests().size(), 5u);
    EXPECT_EQ(script.titles(), QStringList({"Changing slice spacing", "Changing slice spacing",
                                            "Changing image calibration", "Changing image calibration",
                                            "Changing image calibration"}));
    EXPECT_EQ(script.requests()[0].text, spacingQuestion("s0"));
    EXPECT_EQ(script.requests()[1].text, spacingQuestion("s2"));
    EXPECT_EQ(script.requests()[0].buttons, QStringList({"Yes", "Yes to All", "No"}));
    EXPECT_EQ(script.requests()[2].text, calibrationQuestion("s0"));
    EXPECT_EQ(script.requests()[3].text, calibrationQuestion("s2"));
    EXPECT_EQ(script.requests()[4].text, calibrationQuestion("s3"));

    EXPECT_FLOAT_EQ(stack->getSlice(0)->getRelativePosition(), 1.0f);
    for (int k : {1, 2, 3})
        EXPECT_FLOAT_EQ(stack->getSlice(k)->getRelativePosition(), 4.0f) << k;
    EXPECT_FLOAT_EQ(stack->getDefaultRelativePosition(), 4.0f);

    const PixelCalibration edited = calibration(0.2f, 0.4f);
    EXPECT_EQ(stack->getDefaultPixelCalibration(), edited);
    EXPECT_EQ(stack->getSlice(0)->getPixelCalibration(), edited);
    EXPECT_EQ(stack->getSlice(1)->getPixelCalibration(), edited);
    EXPECT_EQ(stack->getSlice(2)->getPixelCalibration(), calibration(0.75f, 0.75f));
    EXPECT_EQ(stack->getSlice(3)->getPixelCalibration(), calibration(1.0f, 1.0f));
    // One slice event per slice that took the calibration, then the stack's.
    EXPECT_EQ(count(recorder.codes, PLXEvent::SliceImageCalibrationEvent), 2);
    EXPECT_EQ(recorder.codes.back(), int(PLXEvent::StackImageCalibrationEvent));
    EXPECT_EQ(count(recorder.codes, PLXEvent::StackNameEvent), 0);
}

// The unit and the image-path policy are stack-wide settings: each marks the
// stack modified with a modify event; the slices' calibrations take the unit.
TEST(PLXStackPropertiesDialog, LengthUnitAndPathPolicy)
{
    DialogScript script;
    auto stack = defaultStack();
    PLXStackPropertiesDialog dialog(*stack);
    PLXStackPropertiesEditor& editor = *dialog.getEditor();
    QComboBox* units = editor.getLengthUnitBox();
    const int mm = units->findData(-3);
    ASSERT_GE(mm, 0);
    units->setCurrentIndex(mm);
    emit units->activated(mm);
    EXPECT_TRUE(dialog.getApplyButton()->isEnabled());
    editor.getAbsolutePathBox()->click();
    Recorder recorder("r", nullptr);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    EXPECT_EQ(stack->getLengthUnit().getScale(), -3);
    EXPECT_EQ(stack->getSlice(3)->getPixelCalibration().getLengthUnit().getScale(), -3);
    EXPECT_TRUE(stack->getAbsoluteImagesPathPolicy());
    EXPECT_EQ(recorder.codes, std::vector<int>({PLXEvent::StackModifyEvent, PLXEvent::StackModifyEvent}));
    // The values were not edited: the calibration stays as it was.
    EXPECT_EQ(stack->getDefaultPixelCalibration(), calibration(0.5f, 0.5f));
    EXPECT_TRUE(script.requests().empty());
}

// The slice dialog sends an event for each value that changed, in one
// batch, and the stack follows (its reconstruction, its modified flag).
TEST(PLXSlicePropertiesDialog, AppliesOnlyWhatChanged)
{
    DialogScript script;
    auto stack = defaultStack();
    StackSlice& slice = *stack->getSlice(2);
    PLXSlicePropertiesDialog dialog(slice);
    EXPECT_EQ(dialog.windowTitle(), "Slice properties");
    EXPECT_EQ(dialog.getEditor()->getNameField()->text(), "s2");
    EXPECT_EQ(dialog.getEditor()->getLengthUnitBox(), nullptr);

    std::vector<std::string> log;
    Recorder recorder("r", &log);
    type(dialog.getEditor()->getSliceSpacingField(), "5");
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    EXPECT_EQ(count(recorder.codes, PLXEvent::SliceSpacingEvent), 1);
    EXPECT_EQ(count(recorder.codes, PLXEvent::SliceNameEvent), 0);
    EXPECT_EQ(count(recorder.codes, PLXEvent::SliceImageCalibrationEvent), 0);
    EXPECT_EQ(log.back(), "r batch end");
    EXPECT_FLOAT_EQ(slice.getRelativePosition(), 5.0f);
    EXPECT_FLOAT_EQ(stack->getSlice(3)->getAbsolutePosition(), 2.0f + 5.0f + 2.0f);
    EXPECT_DOUBLE_EQ(stack->getReconstruction().getZMap()[3], StackReconstruction<double>(*stack).getZMap()[3]);
    EXPECT_TRUE(stack->isModified());
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());

    recorder.codes.clear();
    type(dialog.getEditor()->getNameField(), "s2b");
    dialog.getEditor()->getPixelCalibrationEditor()->setPair(PLXPixelCalibrationEditor::WidthAndHeight);
    type(dialog.getEditor()->getPixelCalibrationEditor()->getHeightField(), "1.5");
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    EXPECT_EQ(slice.getName(), "s2b");
    EXPECT_EQ(slice.getPixelCalibration(), calibration(0.5f, 1.5f));
    EXPECT_EQ(count(recorder.codes, PLXEvent::SliceNameEvent), 1);
    EXPECT_EQ(count(recorder.codes, PLXEvent::SliceImageCalibrationEvent), 1);
    EXPECT_EQ(count(recorder.codes, PLXEvent::SliceSpacingEvent), 0);
    // The stack's default is not the slice's.
    EXPECT_EQ(stack->getDefaultPixelCalibration(), calibration(0.5f, 0.5f));
    EXPECT_TRUE(script.requests().empty());
}

// Each Apply of the stack or slice properties dialog is one step of Undo:
// undone, the stack writes the same file as before it, redone the same as
// after it, with the events the views need (names, spacing, calibration)
// and a reconstruction that matches a fresh one.
TEST(PLXPropertiesDialogs, EachApplyIsOneStepOfUndo)
{
    DialogScript script;
    auto stack = defaultStack();
    stack->getSlice(0)->setRelativePosition(1.0f);                          // off the default spacing
    stack->getSlice(3)->setPixelCalibration(calibration(0.75f, 0.75f));     // off the default calibration
    stack->getSlice(2)->setAbsolutePosition(3.5f);                          // placed absolutely
    stack->updateReconstruction();
    const std::string original = stackText(*stack);
    const auto freshZ = [&] { return StackReconstruction<double>(*stack).getZMap(); };
    const auto expectReconstructed = [&](const char* when) {
        const auto z = freshZ();
        for (int k = 0; k < 4; ++k)
            EXPECT_DOUBLE_EQ(stack->getReconstruction().getZMap()[k], z[k]) << when << " slice " << k;
    };
    PLXActionHistory& history = stack->history();

    {
        PLXStackPropertiesDialog dialog(*stack);
        PLXStackPropertiesEditor& editor = *dialog.getEditor();
        type(editor.getNameField(), "cells 2");
        QComboBox* units = editor.getLengthUnitBox();
        const int mm = units->findData(-3);
        ASSERT_GE(mm, 0);
        units->setCurrentIndex(mm);
        emit units->activated(mm);
        type(editor.getSliceSpacingField(), "4");
        editor.getPixelCalibrationEditor()->setPair(PLXPixelCalibrationEditor::WidthAndHeight);
        type(editor.getPixelCalibrationEditor()->getWidthField(), "0.2");
        type(editor.getPixelCalibrationEditor()->getHeightField(), "0.4");
        editor.getAbsolutePathBox()->click();
        script.button("Yes to All").button("Yes to All");
        QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    }
    const std::string stackEdited = stackText(*stack);
    ASSERT_NE(stackEdited, original);
    EXPECT_EQ(stack->getName(), "cells 2");
    EXPECT_FLOAT_EQ(stack->getSlice(0)->getRelativePosition(), 4.0f);
    EXPECT_EQ(history.getNumUndoSteps(), 1);
    EXPECT_EQ(history.getUndoDescription(), "Stack properties change");

    {
        Recorder recorder("r", nullptr);
        history.undo();
        EXPECT_EQ(stackText(*stack), original);
        EXPECT_EQ(stack->getName(), "cells");
        EXPECT_EQ(stack->getLengthUnit().getScale(), -6);
        EXPECT_EQ(stack->getSlice(3)->getPixelCalibration().getLengthUnit().getScale(), -6);
        EXPECT_FLOAT_EQ(stack->getSlice(0)->getRelativePosition(), 1.0f);
        EXPECT_TRUE(stack->getSlice(1)->useDefaultRelativePosition());
        EXPECT_FLOAT_EQ(stack->getSlice(2)->getAbsolutePosition(), 3.5f);
        EXPECT_FALSE(stack->getAbsoluteImagesPathPolicy());
        expectReconstructed("undone");
        EXPECT_EQ(count(recorder.codes, PLXEvent::StackNameEvent), 1);
        EXPECT_EQ(count(recorder.codes, PLXEvent::StackSliceSpacingEvent), 1);
        EXPECT_GE(count(recorder.codes, PLXEvent::StackImageCalibrationEvent), 1);
        EXPECT_EQ(count(recorder.codes, PLXEvent::SliceImageCalibrationEvent), 4);
    }
    history.redo();
    EXPECT_EQ(stackText(*stack), stackEdited);
    expectReconstructed("redone");

    {
        PLXSlicePropertiesDialog dialog(*stack->getSlice(1));
        type(dialog.getEditor()->getNameField(), "s1b");
        type(dialog.getEditor()->getSliceSpacingField(), "5");
        dialog.getEditor()->getPixelCalibrationEditor()->setPair(PLXPixelCalibrationEditor::WidthAndHeight);
        type(dialog.getEditor()->getPixelCalibrationEditor()->getHeightField(), "1.5");
        QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    }
    const std::string sliceEdited = stackText(*stack);
    ASSERT_NE(sliceEdited, stackEdited);
    EXPECT_EQ(history.getNumUndoSteps(), 2);
    EXPECT_EQ(history.getUndoDescription(), "Slice properties change");
    {
        Recorder recorder("r", nullptr);
        history.undo();
        EXPECT_EQ(stackText(*stack), stackEdited);
        EXPECT_EQ(stack->getSlice(1)->getName(), "s1");
        EXPECT_TRUE(stack->getSlice(1)->useDefaultRelativePosition());
        expectReconstructed("slice undone");
        EXPECT_EQ(count(recorder.codes, PLXEvent::SliceNameEvent), 1);
        EXPECT_EQ(count(recorder.codes, PLXEvent::SliceImageCalibrationEvent), 1);
        EXPECT_EQ(count(recorder.codes, PLXEvent::StackSliceSpacingEvent), 1);
    }
    history.undo();
    EXPECT_EQ(stackText(*stack), original);
    history.redo();
    history.redo();
    EXPECT_EQ(stackText(*stack), sliceEdited);
    expectReconstructed("both redone");

    // Applying values equal to the present ones makes no step.
    {
        PLXSlicePropertiesDialog dialog(*stack->getSlice(1));
        type(dialog.getEditor()->getNameField(), "s1b");
        QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
    }
    EXPECT_EQ(history.getNumUndoSteps(), 2);
    EXPECT_EQ(script.unexpected(), 0);
}
