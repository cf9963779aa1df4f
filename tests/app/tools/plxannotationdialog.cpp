// The stack and slice annotation dialogs, reached from the root window: one
// undo step per changed text, nothing on Cancel, the note icons and the
// modified marker, and texts with quotes, backslashes and line breaks that
// come back whole from a saved and reopened stack file.

#include "app/tools/plxannotationdialog.h"

#include "../apptesting.h"
#include "../slice/slicefixtures.h"
#include "app/plxactionhistory.h"
#include "app/plxicons.h"
#include "app/plxrootmediator.h"
#include "app/plxrootwindow.h"
#include "app/plxstackserver.h"
#include "app/slice/plxrootsliceeditwidget.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class AnnotationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        slicefixtures::TestStack t(m_dir, 3, 16, 12);
        t.stack.setName("notes");
        t.stack.setDefaultRelativePosition(1);
        m_path = m_dir.filePath("notes.sdf");
        ASSERT_TRUE(StackWriter().write(t.stack, m_path.toStdString()));
        m_window = new PLXRootWindow;
        mediator().openStack(m_path);
        ASSERT_NE(stack(), nullptr);
        ASSERT_EQ(m_dialogs.requests().size(), 0u) << m_dialogs.requests()[0].text.toStdString();
    }
    void TearDown() override
    {
        PLXStackServer::stackServer.removeAllStacks();
        delete m_window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(m_dialogs.unexpected(), 0) << m_dialogs.titles().join(", ").toStdString();
    }
    PLXRootMediator& mediator() const { return *m_window->getMediator(); }
    PLXStack* stack() const { return mediator().getCurrentStack(); }

    // Answers the next annotation dialog with the text, by OK or Cancel.
    static std::function<bool(QDialog&)> write(const QString& text, bool ok, QString* shown = nullptr)
    {
        return [=](QDialog& d) {
            auto* dialog = qobject_cast<PLXAnnotationDialog*>(&d);
            EXPECT_NE(dialog, nullptr);
            if (!dialog)
                return false;
            if (shown)
                *shown = dialog->getTextEdit()->toPlainText();
            dialog->getTextEdit()->setPlainText(text);
            dialog->getButtons()->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
            return ok;
        };
    }

    static bool sameIcon(const QIcon& a, const QIcon& b)
    {
        return a.pixmap(16, 16).toImage() == b.pixmap(16, 16).toImage();
    }

    // A question no test expected fails it instead of waiting for a click.
    DialogScript m_dialogs;
    QTemporaryDir m_dir;
    QString m_path;
    PLXRootWindow* m_window = nullptr;
};

} // namespace

// (The file keeps words, not blanks: a run of blanks or tabs reads back as
// one blank, so the notes here hold single blanks.)
TEST_F(AnnotationTest, QuotesBackslashesAndLineBreaksSurviveSavingAndReopening)
{
    const QString stackNote = "Fixed in \"Bouin\"; 4 \\ 5 h.\nC:\\scans\\\n\nsemicolons; and a trailing \\";
    const QString sliceNote = "fold at \"top\" \\\\ left\nsecond line\n";
    DialogScript script;
    script.modal(write(stackNote, true));
    mediator().annotateStackAction()->trigger();
    StackSlice* second = stack()->getSlice(1);
    mediator().setSlice(*second);
    script.modal(write(sliceNote, true));
    mediator().annotateSliceAction()->trigger();
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[0].title, "Stack annotation");
    EXPECT_EQ(script.requests()[1].title, "Slice annotation");
    EXPECT_EQ(QString::fromStdString(stack()->getAnnotation()), stackNote);
    EXPECT_EQ(QString::fromStdString(second->getAnnotation()), sliceNote);
    EXPECT_TRUE(m_window->isWindowModified());

    mediator().saveStackAction()->trigger();
    EXPECT_FALSE(stack()->isModified());
    mediator().closeStackAction()->trigger();
    ASSERT_EQ(stack(), nullptr);
    mediator().openStack(m_path);
    ASSERT_NE(stack(), nullptr);
    EXPECT_EQ(QString::fromStdString(stack()->getAnnotation()), stackNote);
    EXPECT_EQ(QString::fromStdString(stack()->getSlice(1)->getAnnotation()), sliceNote);
    EXPECT_TRUE(stack()->getSlice(0)->getAnnotation().empty());
    EXPECT_EQ(script.unexpected(), 0);
}

// Each changed text is one step; undo gives the old text back and the icon
// with it; Cancel, and OK on the same text, change nothing.
TEST_F(AnnotationTest, OneStepEachUndoneWithTheIcons)
{
    PLXActionHistory& history = stack()->history();
    StackSlice* slice = mediator().getCurrentSlice();
    ASSERT_NE(slice, nullptr);
    QAction* annotateSlice = mediator().annotateSliceAction();
    QAction* annotateStack = mediator().annotateStackAction();
    EXPECT_TRUE(sameIcon(annotateSlice->icon(), PLXIcons::annotation(false)));
    // The slice view offers the command too.
    EXPECT_TRUE(m_window->getSliceView()->getContextualMenuActions().contains(annotateSlice));

    DialogScript script;
    script.modal(write("first", true));
    annotateSlice->trigger();
    EXPECT_EQ(slice->getAnnotation(), "first");
    EXPECT_TRUE(stack()->isModified());
    EXPECT_TRUE(sameIcon(annotateSlice->icon(), PLXIcons::annotation(true)));
    EXPECT_TRUE(sameIcon(annotateStack->icon(), PLXIcons::annotation(false)));
    EXPECT_EQ(history.getNumUndoSteps(), 1);
    EXPECT_EQ(mediator().undoAction()->toolTip(), "Undo Annotate slice");

    QString shown;
    script.modal(write("first", true, &shown));
    annotateSlice->trigger();
    EXPECT_EQ(shown, "first");
    script.modal(write("discarded", false));
    annotateSlice->trigger();
    EXPECT_EQ(slice->getAnnotation(), "first");
    EXPECT_EQ(history.getNumUndoSteps(), 1);

    script.modal(write("second", true));
    annotateSlice->trigger();
    script.modal(write("whole stack", true));
    annotateStack->trigger();
    EXPECT_TRUE(sameIcon(annotateStack->icon(), PLXIcons::annotation(true)));
    EXPECT_EQ(history.getNumUndoSteps(), 3);

    mediator().undoAction()->trigger();
    EXPECT_TRUE(stack()->getAnnotation().empty());
    EXPECT_TRUE(sameIcon(annotateStack->icon(), PLXIcons::annotation(false)));
    mediator().undoAction()->trigger();
    EXPECT_EQ(slice->getAnnotation(), "first");
    mediator().undoAction()->trigger();
    EXPECT_TRUE(slice->getAnnotation().empty());
    EXPECT_TRUE(sameIcon(annotateSlice->icon(), PLXIcons::annotation(false)));
    mediator().redoAction()->trigger();
    EXPECT_EQ(slice->getAnnotation(), "first");
    EXPECT_EQ(script.unexpected(), 0);
}

// A dialog left open on a slice that is deleted, or on a stack that is
// closed, lets go of it: OK afterwards changes nothing.
TEST_F(AnnotationTest, ADialogLetsGoOfADeletedSlice)
{
    StackSlice* slice = stack()->getSlice(2);
    PLXAnnotationDialog dialog(*stack(), *slice);
    dialog.show();
    mediator().setSlice(*slice);
    DialogScript script;
    mediator().deleteSliceAction()->trigger();
    EXPECT_FALSE(dialog.isVisible());
    dialog.getTextEdit()->setPlainText("too late");
    dialog.accept();
    EXPECT_FALSE(dialog.hasChanged());
    EXPECT_EQ(stack()->history().getNumUndoSteps(), 1);
    EXPECT_EQ(script.unexpected(), 0);
}
