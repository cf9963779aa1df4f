// The root window's commands: which are enabled when, the current stack and
// slice as stacks open and close, navigation, drops, the title, slice locks,
// the undo history, the view toggles, the window's settings and the
// help links.

#include "app/plxactionhistory.h"
#include "app/plxrootbrowser.h"
#include "app/plxrootmediator.h"
#include "app/plxrootstatusbar.h"
#include "app/plxrootwindow.h"
#include "app/plxsettings.h"
#include "app/plxsettingskeys.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/slice/plxoverviewwidget.h"
#include "app/slice/plxpanorama.h"
#include "app/slice/plximageproxy.h"
#include "app/slice/plxrootsliceeditwidget.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/slice/plxsliceeditwidgetstatusbar.h"
#include "app/slice/plxslicelistwidget.h"
#include "app/slice/plxstacklistwidget.h"
#include "app/tools/plxmodeldialog.h"
#include "app/tools/plxmodelexchangedialog.h"
#include "app/tools/plxmodelfilterdialog.h"
#include "app/tools/plxregistrationwindow.h"
#include "app/tools/plxslicepropertiesdialog.h"
#include "app/tools/plxstackpropertiesdialog.h"
#include "apptesting.h"
#include "slice/slicefixtures.h"
#include "numerics/progresssubject.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <map>

using namespace apptest;

namespace {

class RootMediatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        PLXSettings::getRecentFilesList().clear();
        m_window = new PLXRootWindow;
    }
    void TearDown() override
    {
        PLXStackServer::stackServer.removeAllStacks();
        // This window, the ones a test opened and the ones "New window" made.
        QList<QPointer<PLXRootWindow>> roots;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* root = qobject_cast<PLXRootWindow*>(w))
                roots << root;
        for (const QPointer<PLXRootWindow>& root : roots)
            delete root.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PLXSettings::getRecentFilesList().clear();
        // A question no test expected fails it instead of waiting for a click.
        EXPECT_EQ(m_dialogs.unexpected(), 0) << m_dialogs.titles().join(", ").toStdString();
    }

    // A stack file of n small slices named s1..sn, written in the scratch
    // directory; lastSegmented names the slice it records as last drawn on.
    QString writeStack(const QString& name, int n, const std::string& lastSegmented = {})
    {
        slicefixtures::TestStack t(m_dir, n, 16, 12);
        t.stack.setName(name.toStdString());
        t.stack.setLastSegmentedSlice(lastSegmented);
        t.stack.setDefaultRelativePosition(1); // slices one apart, as a real series
        const QString path = m_dir.filePath(name + ".sdf");
        EXPECT_TRUE(StackWriter().write(t.stack, path.toStdString()));
        return path;
    }

    PLXRootMediator& mediator() const { return *m_window->getMediator(); }
    PLXStack* current() const { return mediator().getCurrentStack(); }

    // The enabled state of every command, by text.
    std::map<QString, bool> enabling() const
    {
        std::map<QString, bool> state;
        for (QAction* a : mediator().getActions())
            state[a->text()] = a->isEnabled();
        return state;
    }

    DialogScript m_dialogs;
    QTemporaryDir m_dir;
    PLXRootWindow* m_window = nullptr;
};

// Commands that do not depend on a stack.
const QStringList always = {"New stack",
                            "New stack from file",
                            "Open stack",
                            "New window",
                            "Close window",
                            "Quit",
                            "Preferences...",
                            "Tool bar",
                            "Browser",
                            "Status bar",
                            "Plexan Homepage [web]",
                            "Plexan Manual [web]",
                            "Subscribe mailing list [web]",
                            "About Plexan",
                            "Display stack panorama",
                            "Display single slice",
                            "Display overview"};

} // namespace

TEST_F(RootMediatorTest, TheEnablingTableFollowsTheCurrentStackAndSlice)
{
    std::map<QString, bool> state = enabling();
    for (const auto& [text, enabled] : state)
        EXPECT_EQ(enabled, always.contains(text)) << text.toStdString() << " without a stack";

    mediator().openStack(writeStack("three", 3, "s2"));
    ASSERT_NE(current(), nullptr);
    EXPECT_EQ(mediator().getCurrentSlice()->getName(), "s2");
    state = enabling();
    for (const QString& text : always)
        EXPECT_TRUE(state[text]) << text.toStdString();
    for (const char* text :
         {"Save stack as...", "Close stack", "Close all", "Edit models...", "Insert slice...", "Delete slice",
          "Stack properties...", "Slice properties...", "Annotate stack...", "Annotate slice...", "Register",
          "Reconstruct", "Find spots", "Filter models...", "Run", "Select first slice",
          "Select previous slice", "Select next slice", "Select last slice"})
        EXPECT_TRUE(state[text]) << text;
    // Unmodified, nothing to undo, one stack open.
    for (const char* text : {"Save stack", "Undo", "Redo", "Transfer models...", "Normalize"})
        EXPECT_FALSE(state[text]) << text;

    current()->setModified(true);
    EXPECT_TRUE(mediator().saveStackAction()->isEnabled());
    current()->setModified(false);
    EXPECT_FALSE(mediator().saveStackAction()->isEnabled());

    // A second stack allows the commands over several stacks.
    mediator().openStack(writeStack("one", 1));
    EXPECT_TRUE(mediator().transferModelsAction()->isEnabled());
    EXPECT_TRUE(mediator().normalizeAction()->isEnabled());
    // A single slice cannot be registered, nor left.
    EXPECT_FALSE(mediator().registerAction()->isEnabled());
    for (QAction* a : {mediator().firstSliceAction(), mediator().previousSliceAction(),
                       mediator().nextSliceAction(), mediator().lastSliceAction()})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
}

TEST_F(RootMediatorTest, NavigationStopsAtTheEndsAndPicksASliceWhenThereIsNone)
{
    mediator().openStack(writeStack("three", 3));
    PLXStack* stack = current();
    ASSERT_EQ(mediator().getCurrentSlice(), stack->getSlice(0)); // no last segmented slice: the first
    const auto enabled = [&] {
        return std::vector<bool>{
            mediator().firstSliceAction()->isEnabled(), mediator().previousSliceAction()->isEnabled(),
            mediator().nextSliceAction()->isEnabled(), mediator().lastSliceAction()->isEnabled()};
    };
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, true, true}));
    mediator().nextSliceAction()->trigger();
    EXPECT_EQ(mediator().getCurrentSlice(), stack->getSlice(1));
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true}));
    mediator().lastSliceAction()->trigger();
    EXPECT_EQ(mediator().getCurrentSlice(), stack->getSlice(2));
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, false, false}));
    mediator().previousSliceAction()->trigger();
    mediator().firstSliceAction()->trigger();
    EXPECT_EQ(mediator().getCurrentSlice(), stack->getSlice(0));
    // The view, the lists and the status bar follow.
    EXPECT_EQ(m_window->getSliceView()->getSlice(), stack->getSlice(0));
    EXPECT_EQ(m_window->getBrowser()->getSliceList()->getSelectedSlices(),
              QList<StackSlice*>{stack->getSlice(0)});
    EXPECT_EQ(m_window->getRootStatusBar()->getSliceName(), "Slice: s1");

    // An empty stack has no current slice: "first" and "last" only.
    auto* empty = new PLXStack;
    empty->setName("empty");
    PLXStackServer::stackServer.addStack(empty);
    mediator().setStack(*empty);
    EXPECT_EQ(mediator().getCurrentSlice(), nullptr);
    EXPECT_EQ(m_window->getSliceView()->getSlice(), nullptr);
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, false}));
    auto* slice = new StackSlice("added");
    empty->addSlice(slice);
    mediator().updateActions();
    EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false, true}));
    mediator().lastSliceAction()->trigger();
    EXPECT_EQ(mediator().getCurrentSlice(), slice);
}

// The keys of the slice view's zoom and of the slice navigation, pressed as
// a user does, reach their commands wherever the focus is in the window: in
// the browser's lists as in the image. With the panorama shown, the zoom
// keys leave the hidden view alone.
TEST_F(RootMediatorTest, ZoomAndNavigationKeysWorkWhereverTheFocusIsInTheWindow)
{
    mediator().openStack(writeStack("three", 3));
    PLXStack* stack = current();
    m_window->resize(900, 700);
    m_window->show();
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    PLXRootSliceEditWidget* view = m_window->getSliceView();
    // The zoom that fits the window, taken through the view's own command.
    view->showActualSize();
    view->fitToWindow();
    const double fitted = view->getZoomFactor();
    ASSERT_NE(fitted, 1.0);

    const auto press = [&](Qt::Key key) {
        QTest::keyClick(m_window->windowHandle(), key, Qt::ControlModifier);
        return view->getZoomFactor();
    };
    const QList<QWidget*> places = {m_window->getBrowser()->getSliceList(), m_window->getBrowser()->getStackList(),
                                    view->getCanvas()};
    for (QWidget* place : places) {
        const std::string where = place->metaObject()->className();
        place->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), place) << where;
        EXPECT_DOUBLE_EQ(press(Qt::Key_1), 1.0) << where;      // actual size
        EXPECT_DOUBLE_EQ(press(Qt::Key_Plus), 1.25) << where;  // 25 % in
        EXPECT_DOUBLE_EQ(press(Qt::Key_Equal), 1.5625) << where;
        EXPECT_DOUBLE_EQ(press(Qt::Key_Minus), 1.25) << where; // and out
        EXPECT_DOUBLE_EQ(press(Qt::Key_0), fitted) << where;   // fitted again
        mediator().firstSliceAction()->trigger();
        press(Qt::Key_PageDown);
        EXPECT_EQ(mediator().getCurrentSlice(), stack->getSlice(1)) << where;
        press(Qt::Key_End);
        EXPECT_EQ(mediator().getCurrentSlice(), stack->getSlice(2)) << where;
        press(Qt::Key_PageUp);
        EXPECT_EQ(mediator().getCurrentSlice(), stack->getSlice(1)) << where;
        press(Qt::Key_Home);
        EXPECT_EQ(mediator().getCurrentSlice(), stack->getSlice(0)) << where;
    }

    mediator().panoramaAction()->trigger();
    ASSERT_FALSE(view->isVisible());
    m_window->getBrowser()->getSliceList()->setFocus(Qt::OtherFocusReason);
    EXPECT_DOUBLE_EQ(press(Qt::Key_1), fitted);
    EXPECT_DOUBLE_EQ(press(Qt::Key_Plus), fitted);
}

// The menus show their titles as before, and Alt with a title's first
// letter opens that menu, from the keyboard alone.
TEST_F(RootMediatorTest, AltAndAMenusFirstLetterOpensIt)
{
    m_window->show();
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    const QList<QAction*> titles = m_window->menuBar()->actions();
    QStringList shown;
    for (QAction* title : titles)
        shown << title->iconText();
    EXPECT_EQ(shown, (QStringList{"File", "Edit", "Process", "Analyze", "Show", "Help"}));
    for (QAction* title : titles) {
        const QString name = title->iconText();
        const auto letter = static_cast<Qt::Key>(Qt::Key_A + (name[0].toUpper().unicode() - 'A'));
        QTest::keyClick(m_window->windowHandle(), letter, Qt::AltModifier);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr) << name.toStdString();
        EXPECT_EQ(popup, title->menu()) << name.toStdString();
        popup->close();
    }
}

TEST_F(RootMediatorTest, AStackOpensOnItsLastSegmentedSliceOrOnItsFirst)
{
    mediator().openStack(writeStack("drawn", 4, "s3"));
    EXPECT_EQ(mediator().getCurrentSlice()->getName(), "s3");
    mediator().openStack(writeStack("gone", 4, "s9"));
    EXPECT_EQ(current()->getName(), "gone");
    EXPECT_EQ(mediator().getCurrentSlice()->getName(), "s1");
}

TEST_F(RootMediatorTest, ClosingTheCurrentStackLeavesNoneCurrent)
{
    const QString a = writeStack("a", 2), b = writeStack("b", 3);
    PLXStack* first = mediator().openStack(a);
    PLXStack* second = mediator().openStack(b);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(current(), second);
    PLXStackListWidget* stacks = m_window->getBrowser()->getStackList();
    EXPECT_EQ(stacks->count(), 2);
    EXPECT_EQ(stacks->getSelectedStacks(), QList<Stack*>{second});
    EXPECT_EQ(m_window->getBrowser()->getSliceList()->count(), 3);

    mediator().closeStackAction()->trigger(); // unmodified: no question
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(mediator().getCurrentSlice(), nullptr);
    EXPECT_EQ(stacks->count(), 1);
    EXPECT_EQ(stacks->getStack(0), first);
    EXPECT_EQ(m_window->getBrowser()->getSliceList()->count(), 0);
    EXPECT_EQ(m_window->getSliceView()->getSlice(), nullptr);
    EXPECT_EQ(m_window->getPanorama()->getNumThumbnails(), 0);
    EXPECT_EQ(m_window->windowTitle(), "Plexan");
    EXPECT_EQ(m_window->getRootStatusBar()->getStackName(), "");
    EXPECT_FALSE(mediator().closeStackAction()->isEnabled());
    EXPECT_TRUE(mediator().closeAllAction()->isEnabled()); // one stack remains
    EXPECT_FALSE(mediator().normalizeAction()->isEnabled());

    // Choosing it in the list makes it current again.
    stacks->setCurrentRow(0);
    EXPECT_EQ(current(), first);
    mediator().closeAllAction()->trigger();
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 0);
    EXPECT_FALSE(mediator().closeAllAction()->isEnabled());
}

TEST_F(RootMediatorTest, OneSelectedSliceBecomesCurrentAndASliceOfAnotherStackBringsItsStack)
{
    PLXStack* a = mediator().openStack(writeStack("a", 4));
    PLXStack* b = mediator().openStack(writeStack("b", 3));
    ASSERT_TRUE(a && b);
    PLXSliceListWidget* slices = m_window->getBrowser()->getSliceList();
    // The user picks one slice: it becomes current, everywhere.
    slices->item(2)->setSelected(true);
    slices->item(0)->setSelected(false);
    EXPECT_EQ(mediator().getCurrentSlice(), b->getSlice(2));
    EXPECT_EQ(m_window->getSliceView()->getSlice(), b->getSlice(2));
    EXPECT_EQ(m_window->getRootStatusBar()->getSliceName(), "Slice: s3");
    // Extending the selection to a second slice changes nothing.
    slices->item(1)->setSelected(true);
    EXPECT_EQ(mediator().getCurrentSlice(), b->getSlice(2));

    // A slice of the other open stack (as a tool window would hand it over)
    // makes that stack current on that slice, not on its first.
    mediator().setSlice(*a->getSlice(3));
    EXPECT_EQ(current(), a);
    EXPECT_EQ(mediator().getCurrentSlice(), a->getSlice(3));
    EXPECT_EQ(slices->count(), 4);
    EXPECT_EQ(slices->getSelectedSlices(), QList<StackSlice*>{a->getSlice(3)});
    EXPECT_EQ(m_window->getBrowser()->getStackList()->getSelectedStacks(), QList<Stack*>{a});
    EXPECT_EQ(m_window->windowTitle(), "Plexan - " + a->getFilename() + "[*]");
    EXPECT_EQ(m_window->getRootStatusBar()->getStackName(), "Stack: a");
    EXPECT_FALSE(mediator().nextSliceAction()->isEnabled());
    EXPECT_TRUE(mediator().previousSliceAction()->isEnabled());
}

TEST_F(RootMediatorTest, DroppedStacksOpenInDropOrderAndTheLastEndsCurrent)
{
    const QList<QUrl> urls = {QUrl::fromLocalFile(writeStack("a", 1)), QUrl("https://example.org/x.sdf"),
                              QUrl::fromLocalFile(writeStack("b", 2)),
                              QUrl::fromLocalFile(writeStack("c", 1))};
    QMimeData data;
    data.setUrls(urls);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window, as the window system's drop would arrive.
    static_cast<QObject*>(m_window)->event(&drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_EQ(PLXStackServer::stackServer.getNumStacks(), 3);
    QStringList order;
    for (int i = 0; i < 3; ++i)
        order << QString::fromStdString(PLXStackServer::stackServer.getStack(i)->getName());
    EXPECT_EQ(order, QStringList({"a", "b", "c"}));
    EXPECT_EQ(current()->getName(), "c");
}

TEST_F(RootMediatorTest, TheTitleNamesTheStackFileAndMarksItModified)
{
    const QString path = writeStack("cell", 2);
    mediator().openStack(path);
    EXPECT_EQ(m_window->windowTitle(), "Plexan - " + path + "[*]");
    EXPECT_FALSE(m_window->isWindowModified());
    current()->setModified(true);
    EXPECT_TRUE(m_window->isWindowModified());
    mediator().saveStackAction()->trigger();
    EXPECT_FALSE(current()->isModified());
    EXPECT_FALSE(m_window->isWindowModified());
    EXPECT_EQ(m_window->windowTitle(), "Plexan - " + path + "[*]");

    // Another window keeps its own current stack and title.
    auto* other = new PLXRootWindow;
    EXPECT_EQ(other->windowTitle(), "Plexan");
    EXPECT_EQ(other->getBrowser()->getStackList()->count(), 1); // open stacks are shared
}

TEST_F(RootMediatorTest, DeletingASliceIsOneUndoStepShownInTheTooltips)
{
    mediator().openStack(writeStack("three", 3, "s2"));
    PLXStack* stack = current();
    StackSlice* middle = stack->getSlice(1);
    mediator().deleteSliceAction()->trigger();
    EXPECT_EQ(stack->getNumSlices(), 2);
    EXPECT_EQ(stack->findSlice(middle), -1);
    // The slice that took its place is current.
    EXPECT_EQ(mediator().getCurrentSlice()->getName(), "s3");
    EXPECT_EQ(m_window->getBrowser()->getSliceList()->count(), 2);
    EXPECT_TRUE(mediator().undoAction()->isEnabled());
    EXPECT_EQ(mediator().undoAction()->toolTip(), "Undo Delete slice");
    EXPECT_TRUE(m_window->isWindowModified());

    mediator().undoAction()->trigger();
    EXPECT_EQ(stack->getNumSlices(), 3);
    EXPECT_EQ(stack->getSlice(1), middle);
    EXPECT_EQ(m_window->getBrowser()->getSliceList()->count(), 3);
    EXPECT_FALSE(mediator().undoAction()->isEnabled());
    EXPECT_EQ(mediator().redoAction()->toolTip(), "Redo Delete slice");
    mediator().redoAction()->trigger();
    EXPECT_EQ(stack->getNumSlices(), 2);
    EXPECT_EQ(mediator().undoAction()->toolTip(), "Undo Delete slice");
}

TEST_F(RootMediatorTest, ASliceLockDisablesTheCommandsHereAndOtherWindowsWhole)
{
    mediator().openStack(writeStack("three", 3));
    auto* other = new PLXRootWindow;
    m_window->getSliceView()->lockRequested(true);
    EXPECT_TRUE(mediator().isLocked());
    for (QAction* a : mediator().getActions())
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_FALSE(m_window->getBrowser()->getStackList()->isEnabled());
    EXPECT_FALSE(m_window->getBrowser()->getSliceList()->isEnabled());
    EXPECT_TRUE(m_window->isEnabled());
    EXPECT_FALSE(other->isEnabled());
    // While locked, nothing re-enables the commands.
    mediator().updateActions();
    EXPECT_FALSE(mediator().openStackAction()->isEnabled());

    m_window->getSliceView()->lockRequested(false);
    EXPECT_FALSE(mediator().isLocked());
    EXPECT_TRUE(other->isEnabled());
    EXPECT_TRUE(m_window->getBrowser()->getSliceList()->isEnabled());
    EXPECT_TRUE(mediator().openStackAction()->isEnabled());
    EXPECT_TRUE(mediator().nextSliceAction()->isEnabled());
    EXPECT_FALSE(mediator().undoAction()->isEnabled());
}

TEST_F(RootMediatorTest, EditAndProcessCommandsOpenTheirWindowsOnTheCurrentStack)
{
    mediator().openStack(writeStack("a", 3));
    PLXStack* stack = current();
    ASSERT_NE(stack, nullptr);
    DialogScript script;
    // The properties dialogs are modal, on the current stack and slice.
    script.modal([&](QDialog& d) {
        auto* properties = qobject_cast<PLXStackPropertiesDialog*>(&d);
        EXPECT_NE(properties, nullptr);
        if (properties) {
            EXPECT_EQ(&properties->getStack(), stack);
        }
        return false;
    });
    mediator().stackPropertiesAction()->trigger();
    script.modal([&](QDialog& d) {
        auto* properties = qobject_cast<PLXSlicePropertiesDialog*>(&d);
        EXPECT_NE(properties, nullptr);
        if (properties) {
            EXPECT_EQ(&properties->getSlice(), mediator().getCurrentSlice());
        }
        return false;
    });
    mediator().slicePropertiesAction()->trigger();
    EXPECT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.unexpected(), 0);

    // The others are windows of their own, owned by the root window.
    mediator().editModelsAction()->trigger();
    EXPECT_EQ(m_window->findChildren<PLXModelDialog*>().size(), 1);
    mediator().filterModelsAction()->trigger();
    EXPECT_EQ(m_window->findChildren<PLXModelFilterDialog*>().size(), 1);
    mediator().registerAction()->trigger();
    EXPECT_EQ(m_window->findChildren<PLXRegistrationWindow*>().size(), 1);
    EXPECT_EQ(script.unexpected(), 0);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != m_window && w->isVisible())
            w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(RootMediatorTest, TransferModelsRunsTheExchangeDialogOnTheCurrentStackAndAnother)
{
    mediator().openStack(writeStack("a", 2));
    PLXStack* first = current();
    mediator().openStack(writeStack("b", 2));
    PLXStack* second = current();
    ASSERT_NE(first, second);
    mediator().openStack(writeStack("c", 2));
    // The current stack is not necessarily the first open one.
    mediator().setStack(*second);
    ASSERT_TRUE(mediator().transferModelsAction()->isEnabled());
    DialogScript script;
    script.modal([&](QDialog& d) {
        auto* exchange = qobject_cast<PLXModelExchangeDialog*>(&d);
        EXPECT_NE(exchange, nullptr);
        if (exchange) {
            EXPECT_EQ(exchange->getStack(PLXModelExchangeDialog::Left), second);
            EXPECT_EQ(exchange->getStack(PLXModelExchangeDialog::Right), first);
            EXPECT_EQ(exchange->getStackBox(PLXModelExchangeDialog::Left)->count(), 3);
        }
        return false;
    });
    mediator().transferModelsAction()->trigger();
    EXPECT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.unexpected(), 0);
    // The dialog ran modally and is gone.
    EXPECT_TRUE(m_window->findChildren<PLXModelExchangeDialog*>().isEmpty());
}

TEST_F(RootMediatorTest, HelpLinksOpenInTheBrowser)
{
    QList<QUrl> opened;
    const auto previous = PLXRootMediator::setUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    mediator().homepageAction()->trigger();
    mediator().mailingListAction()->trigger();
    PLXRootMediator::setUrlOpener(previous);
    EXPECT_EQ(opened, QList<QUrl>({PLXRootMediator::homepageUrl(), PLXRootMediator::mailingListUrl()}));
}

TEST_F(RootMediatorTest, ViewsToggleAndTheirStateIsKept)
{
    mediator().openStack(writeStack("three", 3));
    QStackedWidget* centre = m_window->getCentralArea();
    EXPECT_TRUE(mediator().singleSliceAction()->isChecked());
    EXPECT_EQ(centre->currentWidget(), m_window->getSliceView());
    mediator().panoramaAction()->trigger();
    EXPECT_EQ(centre->currentWidget(), m_window->getPanorama());
    EXPECT_FALSE(mediator().singleSliceAction()->isChecked());
    EXPECT_EQ(m_window->getPanorama()->getNumThumbnails(), 3);
    // Double-clicking a thumbnail shows that slice alone.
    emit m_window->getPanorama()->sliceActivated(current()->getSlice(2));
    EXPECT_EQ(mediator().getCurrentSlice(), current()->getSlice(2));
    EXPECT_EQ(centre->currentWidget(), m_window->getSliceView());
    EXPECT_TRUE(mediator().singleSliceAction()->isChecked());

    // The tool bar, in order, with the grey-level window before navigation;
    // the window reaches the panorama and the overview too.
    QStringList bar;
    for (QAction* a : m_window->getToolBar()->actions())
        bar << (m_window->getToolBar()->widgetForAction(a) == m_window->getSliceView()->getGreyLevelSlider()
                    ? QString("(grey levels)")
                    : a->text());
    EXPECT_EQ(bar, QStringList({"Open stack", "Save stack", "Close stack", "Display stack panorama",
                                "Display single slice", "Register", "Reconstruct", "Undo", "Redo",
                                "Display overview", "(grey levels)", "Select first slice",
                                "Select previous slice", "Select next slice", "Select last slice"}));
    m_window->getSliceView()->getGreyLevelSlider()->setValues(0.2, 0.8);
    EXPECT_EQ(m_window->getSliceView()->getCanvasMode(), (CanvasMode{0.2, 0.8}));
    EXPECT_EQ(m_window->getPanorama()->getCanvasMode(), (CanvasMode{0.2, 0.8}));

    // The overview follows its command, and the command the overview.
    mediator().overviewAction()->trigger();
    EXPECT_TRUE(m_window->getOverview()->isVisible());
    m_window->getOverview()->hide();
    EXPECT_FALSE(mediator().overviewAction()->isChecked());

    // The parts shown are remembered for the next window.
    mediator().showBrowserAction()->trigger();
    EXPECT_TRUE(m_window->getBrowser()->isHidden());
    EXPECT_FALSE(QSettings().value(PLXSettingsKeys::rootWindowBrowserVisible, true).toBool());
    auto* other = new PLXRootWindow;
    EXPECT_TRUE(other->getBrowser()->isHidden());
    EXPECT_FALSE(other->getMediator()->showBrowserAction()->isChecked());
    EXPECT_FALSE(other->getToolBar()->isHidden());
}

TEST_F(RootMediatorTest, TheWindowKeepsItsPlaceAndSizeInTheSettings)
{
    const QSize desktop = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(m_window->size(), PLXSettingsKeys::rootWindowDefaultSize(desktop));
    m_window->resize(640, 480);
    m_window->move(30, 40);
    EXPECT_EQ(QSettings().value(PLXSettingsKeys::rootWindowSize).toSize(), QSize(640, 480));
    EXPECT_EQ(QSettings().value(PLXSettingsKeys::rootWindowPos).toPoint(), m_window->pos());
    auto* other = new PLXRootWindow;
    EXPECT_EQ(other->size(), QSize(640, 480));
    // "New window" opens one of this window's size.
    m_window->resize(700, 500);
    const int before = PLXRootWindow::getNumOpenRootWindows();
    mediator().newWindowAction()->trigger();
    EXPECT_EQ(PLXRootWindow::getNumOpenRootWindows(), before + 1);
}

TEST_F(RootMediatorTest, RecentStacksListTheLastOpenedFirst)
{
    const QString a = writeStack("a", 1), b = writeStack("b", 1);
    mediator().openStack(a);
    mediator().openStack(b);
    mediator().closeAllAction()->trigger();
    QMenu* recent = mediator().recentStacksMenu();
    emit recent->aboutToShow();
    ASSERT_EQ(recent->actions().size(), 2);
    EXPECT_EQ(recent->actions()[0]->text(), b);
    EXPECT_EQ(recent->actions()[1]->text(), a);
    recent->actions()[1]->trigger();
    ASSERT_NE(current(), nullptr);
    EXPECT_EQ(current()->getName(), "a");
}

// A stack file that cannot be opened, from the command line, File > Open or
// Recent stacks: a warning names the file and gives the system's reason
// (what the C library says of the same failure), and the stack open before
// stays current, unmodified, with its slice and its undo history.
TEST_F(RootMediatorTest, AFileThatCannotBeOpenedIsReportedAndChangesNothing)
{
    const QString a = writeStack("a", 3);
    ASSERT_TRUE(mediator().openStack(a));
    mediator().lastSliceAction()->trigger();
    PLXStack* const before = current();
    StackSlice* const slice = mediator().getCurrentSlice();
    const std::string text = stackText(*before, true);
    const QString title = m_window->windowTitle();
    const int steps = before->history().getNumUndoSteps();
    const QStringList recent = PLXSettings::getRecentFilesList();
    const auto unchanged = [&](const char* how) {
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 1) << how;
        EXPECT_EQ(current(), before) << how;
        EXPECT_EQ(mediator().getCurrentSlice(), slice) << how;
        EXPECT_FALSE(before->isModified()) << how;
        EXPECT_EQ(before->history().getNumUndoSteps(), steps) << how;
        EXPECT_EQ(stackText(*before, true), text) << how;
        EXPECT_EQ(m_window->windowTitle(), title) << how;
    };
    // The last of the requests, which number asked.
    const auto expectWarning = [&](const QString& path, int error, const char* how, std::size_t asked = 1) {
        ASSERT_EQ(m_dialogs.requests().size(), asked) << how;
        const Dialogs::Request& r = m_dialogs.requests().back();
        EXPECT_EQ(r.icon, QMessageBox::Warning) << how;
        EXPECT_EQ(r.title, "Error") << how;
        EXPECT_EQ(r.text, "Cannot open stack file for reading\n\n" + path + "\n\n" +
                              QString::fromLocal8Bit(std::strerror(error)))
            << how;
        m_dialogs.clear();
    };

    // Named on the command line, missing.
    const QString missing = m_dir.filePath("missing.sdf");
    m_dialogs.button("OK");
    m_window->startupOpenStack(QFile::encodeName(missing).constData());
    expectWarning(missing, ENOENT, "command line");
    unchanged("command line");

    // Chosen in the open dialog: a directory named as a stack file.
    const QString folder = m_dir.filePath("folder.sdf");
    ASSERT_TRUE(QDir().mkdir(folder));
    m_dialogs.value(QStringList{folder}).button("OK");
    mediator().openStackAction()->trigger();
    expectWarning(folder, EISDIR, "open dialog, a directory", 2);
    unchanged("open dialog, a directory");

    // In the recent stacks, a file that exists but cannot be read as a
    // stack file (a directory now): warned as above, and left in the list.
    PLXSettings::addRecentFile(folder);
    QMenu* menu = mediator().recentStacksMenu();
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 2);
    ASSERT_EQ(menu->actions()[0]->text(), folder);
    m_dialogs.button("OK");
    menu->actions()[0]->trigger();
    expectWarning(folder, EISDIR, "recent stacks, a directory");
    unchanged("recent stacks, a directory");
    EXPECT_EQ(PLXSettings::getRecentFilesList(), QStringList({folder}) + recent);
}

// A recent stack whose file is gone: the user is told so and asked whether to
// drop it from the list; nothing is opened either way.
TEST_F(RootMediatorTest, ARecentStackWhoseFileIsGoneMayBeDroppedFromTheList)
{
    const QString a = writeStack("a", 2), b = writeStack("b", 2), c = writeStack("c", 2);
    for (const QString& path : {a, b, c})
        ASSERT_TRUE(mediator().openStack(path));
    mediator().closeAllAction()->trigger();
    ASSERT_TRUE(mediator().openStack(c));
    PLXStack* const open = current();
    ASSERT_TRUE(QFile::remove(b));
    ASSERT_EQ(PLXSettings::getRecentFilesList(), QStringList({c, b, a}));
    QMenu* menu = mediator().recentStacksMenu();
    const auto chooseRecent = [&](const QString& path) {
        emit menu->aboutToShow();
        for (QAction* action : menu->actions())
            if (action->text() == path)
                return action->trigger();
        ADD_FAILURE() << "no entry " << path.toStdString();
    };

    // Kept when the user says no.
    m_dialogs.button("No");
    chooseRecent(b);
    ASSERT_EQ(m_dialogs.requests().size(), 1u);
    const Dialogs::Request& question = m_dialogs.requests()[0];
    EXPECT_EQ(question.title, "Recent stacks");
    EXPECT_TRUE(question.text.contains(b)) << question.text.toStdString();
    EXPECT_TRUE(question.text.contains("no longer exists")) << question.text.toStdString();
    EXPECT_EQ(question.buttons, QStringList({"Yes", "No"}));
    EXPECT_EQ(PLXSettings::getRecentFilesList(), QStringList({c, b, a}));
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    EXPECT_EQ(current(), open);

    // Dropped when the user says yes; the others keep their order.
    m_dialogs.clear();
    m_dialogs.button("Yes");
    chooseRecent(b);
    EXPECT_EQ(m_dialogs.requests().size(), 1u);
    EXPECT_EQ(PLXSettings::getRecentFilesList(), QStringList({c, a}));
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), c);
    EXPECT_EQ(menu->actions()[1]->text(), a);
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    EXPECT_EQ(current(), open);
    EXPECT_FALSE(open->isModified());

    // A box closed without an answer keeps the entry; the others still open.
    ASSERT_TRUE(QFile::remove(a));
    m_dialogs.clear();
    m_dialogs.cancel();
    chooseRecent(a);
    EXPECT_EQ(PLXSettings::getRecentFilesList(), QStringList({c, a}));
    m_dialogs.clear();
    mediator().closeAllAction()->trigger();
    chooseRecent(c);
    ASSERT_NE(current(), nullptr);
    EXPECT_EQ(current()->getName(), "c");
    EXPECT_TRUE(m_dialogs.requests().empty());
}

// Regression: a tool's message ("Curve created with 19 vertices") stayed in
// the status line after its stack was closed and another opened.
TEST_F(RootMediatorTest, ASlicesToolMessageGoesWithItsStack)
{
    const QString a = writeStack("a", 3), b = writeStack("b", 2);
    ASSERT_TRUE(mediator().openStack(a));
    ASSERT_NE(m_window->getSliceView()->getSlice(), nullptr);
    PLXSliceEditWidgetStatusBar* line = m_window->getSliceView()->getEditor()->getStatusBar();
    const QString said = QStringLiteral("Curve created with 19 vertices");
    line->showMessage(said);
    // Other slices of the same stack keep it: it still speaks of this stack.
    mediator().firstSliceAction()->trigger();
    mediator().nextSliceAction()->trigger();
    EXPECT_EQ(line->getMessage(), said);
    mediator().closeStackAction()->trigger();
    EXPECT_EQ(line->getMessage(), "");

    PLXStack* first = mediator().openStack(a);
    ASSERT_TRUE(first);
    line->showMessage(said);
    ASSERT_TRUE(mediator().openStack(b)); // another stack shown: the message goes
    EXPECT_EQ(m_window->getSliceView()->getSlice()->getStack(), static_cast<Stack*>(current()));
    EXPECT_NE(current(), first);
    EXPECT_EQ(line->getMessage(), "");
}

// Regression: saving ended with a blank progress message that stayed and
// hid the slice view's status line; an operation ending without a message
// of its own left its last one showing.
TEST(RootStatusBar, BlankMessagesAndEndsClearTheLine)
{
    PLXRootStatusBar bar;
    ProgressSubject saving;
    saving.addMonitor(bar);
    saving.notifyProgressed("Saving a.sdf...");
    EXPECT_EQ(bar.currentMessage(), "Saving a.sdf...");
    saving.notifyProgressed(" ");
    EXPECT_EQ(bar.currentMessage(), "");
    saving.notifyStarted("Registering by correlation...");
    saving.notifyProgressed("Pass 2");
    saving.notifyFinished("");
    EXPECT_EQ(bar.currentMessage(), "");
    EXPECT_FALSE(bar.isShowingProgress());
    // A message of the end itself shows.
    saving.notifyStarted("Writing slices...");
    saving.notifyFinished("Done");
    EXPECT_EQ(bar.currentMessage(), "Done");
    saving.removeMonitor(bar);
}

TEST(RootStatusBar, ShowsProgressWhileAnOperationRunsAndCancelsIt)
{
    PLXRootStatusBar bar;
    ProgressSubject reading;
    reading.addMonitor(bar);
    EXPECT_FALSE(bar.isShowingProgress());
    reading.notifyStarted("Reading cell.sdf");
    EXPECT_TRUE(bar.isShowingProgress());
    EXPECT_EQ(bar.currentMessage(), "Reading cell.sdf");
    reading.notifyProgressed(5, 20);
    EXPECT_EQ(bar.getProgress(), 25);
    auto* cancel = bar.findChild<QToolButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_TRUE(reading.isCanceled());
    reading.notifyCanceled("");
    EXPECT_FALSE(bar.isShowingProgress());
    // After the end the button cancels nothing.
    reading.reset();
    cancel->click();
    EXPECT_FALSE(reading.isCanceled());
    reading.removeMonitor(bar);
}

// The sample opened in the root window, its fifth section at 100 %: the
// organ's outline and a nucleus in their model colours over the section's
// grey levels, read here straight from the image file (an uncompressed
// strip at byte 8); then the panorama of all sections.
TEST(RootWindowDisplay, TheSampleOpensAndShowsItsFifthSectionAtActualSize)
{
    apptest::ServerCleanup cleanup;
    const QString dir = QStringLiteral(PLEXAN_SOURCE_DIR "/data/sample");
    QFile file(dir + "/images/slice05.tif");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 8 + 256 * 256);
    const auto raw = [&](int x, int y) { return static_cast<unsigned char>(bytes[8 + 256 * y + x]); };

    QPointer<PLXRootWindow> window = new PLXRootWindow;
    window->resize(1100, 760);
    PLXRootMediator& mediator = *window->getMediator();
    PLXStack* stack = window->openStack(dir + "/sample.sdf");
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(mediator.getCurrentSlice(), stack->getSlice(0));
    for (int i = 0; i < 4; ++i)
        mediator.nextSliceAction()->trigger();
    ASSERT_EQ(mediator.getCurrentSlice()->getName(), "s05");
    PLXRootSliceEditWidget* view = window->getSliceView();
    view->showActualSize();
    PLXSliceCanvas* canvas = view->getCanvas();
    ASSERT_TRUE(slicefixtures::waitFor([&] {
        return canvas->getImageProxy().isLoaded() &&
               canvas->getShownImage() == canvas->getImageProxy().getImagePointer();
    }));
    ASSERT_EQ(canvas->size(), QSize(256, 256));
    const QImage shot = canvas->grab().toImage();
    // Every vertex of the section's items (the organ's outline and a
    // nucleus) in its model's colour: at 100 % a pixel is a pixel. (A
    // one-pixel outline once left out the vertex at the end of a steep
    // segment, 178,148 here.)
    const StackSlice* s05 = mediator.getCurrentSlice();
    ASSERT_EQ(s05->getNumItems(), 2);
    int vertices = 0;
    for (const ModelItem* item : s05->getItems()) {
        const Vector<int> c = item->getModel()->getItemProperties().getColor();
        const std::string model = item->getModel()->getName();
        for (int i = 0; i < item->getSize(); ++i, ++vertices) {
            const QPoint p(item->getVertices()[i][0], item->getVertices()[i][1]);
            EXPECT_EQ(shot.pixel(p), qRgb(c[0], c[1], c[2])) << model << " at " << p.x() << "," << p.y();
        }
    }
    EXPECT_GT(vertices, 40);
    // The colours themselves, lest a colour read wrong everywhere pass.
    EXPECT_EQ(shot.pixel(196, 93), qRgb(230, 150, 90)) << "organ outline";
    EXPECT_EQ(shot.pixel(167, 125), qRgb(250, 230, 40)) << "nucleus";
    for (const QPoint& p :
         {QPoint(5, 5), QPoint(128, 40), QPoint(130, 130), QPoint(240, 250), QPoint(20, 200)}) {
        const int v = raw(p.x(), p.y());
        EXPECT_EQ(shot.pixel(p), qRgb(v, v, v)) << "image at " << p.x() << "," << p.y();
    }
    EXPECT_EQ(window->getRootStatusBar()->getSliceName(), "Slice: s05");
    EXPECT_EQ(window->windowTitle(), "Plexan - " + dir + "/sample.sdf[*]");
    const QByteArray out = qgetenv("PLEXAN_SCREENSHOT_DIR");
    if (!out.isEmpty())
        window->grab().save(QString::fromLocal8Bit(out) + "/root-window-slice.png");

    mediator.panoramaAction()->trigger();
    PLXPanorama* panorama = window->getPanorama();
    ASSERT_TRUE(slicefixtures::waitFor([&] {
        for (int i = 0; i < panorama->getNumThumbnails(); ++i)
            if (!panorama->getProxy(i).isLoaded())
                return false;
        return true;
    }));
    EXPECT_EQ(panorama->getNumThumbnails(), 30);
    // The current section is framed.
    const QImage sheet = panorama->widget()->grab().toImage();
    EXPECT_EQ(sheet.pixel(panorama->cellRect(4).topLeft() + QPoint(-2, 60)), qRgb(255, 210, 0));
    delete window.data();
}
