#include "app/plxrootmediator.h"

#include "app/plxactionhistory.h"
#include "app/plxevent.h"
#include "app/plxhelp.h"
#include "app/plxicons.h"
#include "app/plxpreferences.h"
#include "app/plxpreferencesdialog.h"
#include "app/plxrootbrowser.h"
#include "app/plxrootstatusbar.h"
#include "app/plxrootwindow.h"
#include "app/plxsettings.h"
#include "app/plxsettingskeys.h"
#include "app/plxsliceactions.h"
#include "app/plxstack.h"
#include "app/plxstackio.h"
#include "app/plxstackserver.h"
#include "app/slice/plximageserver.h"
#include "app/slice/plxoverviewwidget.h"
#include "app/slice/plxpanorama.h"
#include "app/slice/plxrootsliceeditwidget.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxslicelistwidget.h"
#include "app/slice/plxstacklistwidget.h"
#include "app/tools/plxrenderingwindow.h"
#include "app/tools/plxanalysiswindow.h"
#include "app/tools/plxdensitywindow.h"
#include "app/tools/plxfusionwindow.h"
#include "app/tools/plxannotationdialog.h"
#include "app/tools/plxmodeldialog.h"
#include "app/tools/plxmodelexchangedialog.h"
#include "app/tools/plxmodelfilterdialog.h"
#include "app/tools/plxregistrationwindow.h"
#include "app/tools/plxslicepropertiesdialog.h"
#include "app/tools/plxspotextractionprocess.h"
#include "app/tools/plxstackpropertiesdialog.h"
#include "gl/dialogs.h"
#include "numerics/exception.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStackedWidget>
#include <QToolBar>

namespace {

PLXRootMediator::UrlOpener& urlOpener()
{
    static PLXRootMediator::UrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

// Where Help looks for the manual; empty: beside the program, then the source
// tree.
QStringList& manualPlaces()
{
    static QStringList places;
    return places;
}

// A wait cursor for the length of a scope.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString nameOf(const StackSlice* slice)
{
    return slice ? QString::fromStdString(slice->getName()) : QString();
}

} // namespace

PLXRootMediator::PLXRootMediator(const Parts& parts, QObject* parent) : QObject(parent), m_parts(parts)
{
    m_stackList = parts.browser->getStackList();
    m_sliceList = parts.browser->getSliceList();
    buildActions();
    buildMenus();
    // Initialised once the menus are filled.
    updateActions();
    fillToolBar();
    connectViews();
    for (int i = 0; i < PLXStackServer::stackServer.getNumStacks(); ++i) {
        PLXStack* stack = PLXStackServer::stackServer.getStack(i);
        m_stackList->addStack(stack, stack->getFilename());
    }
    const QColor background = PLXPreferences::getImageCanvasBackgroundColor();
    if (background.isValid())
        parts.panorama->setBackgroundColor(background);
    parts.panorama->setLabelsEnabled(PLXPreferences::isPanoramaLabelEnabled());
    updateTitle();
    updateStatusBarDisplay();
}

PLXRootMediator::~PLXRootMediator() = default;

// Actions ------------------------------------------------------------------------------

QAction* PLXRootMediator::makeAction(const QString& text, void (PLXRootMediator::*slot)(),
                                     const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (slot)
        connect(action, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    m_actions.append(action);
    return action;
}

void PLXRootMediator::buildActions()
{
    m_newStack =
        makeAction(tr("New stack"), &PLXRootMediator::createStack, QKeySequence(Qt::CTRL | Qt::Key_N));
    m_newStackFromFile = makeAction(tr("New stack from file"), &PLXRootMediator::createStackFromFile);
    m_openStack = makeAction(tr("Open stack"), qOverload<>(&PLXRootMediator::openStack),
                             QKeySequence(Qt::CTRL | Qt::Key_O));
    m_openStack->setIcon(PLXIcons::openStack());
    m_saveStack =
        makeAction(tr("Save stack"), &PLXRootMediator::saveStack, QKeySequence(Qt::CTRL | Qt::Key_S));
    m_saveStack->setIcon(PLXIcons::saveStack());
    m_saveStackAs = makeAction(tr("Save stack as..."), &PLXRootMediator::saveStackAs);
    m_closeStack =
        makeAction(tr("Close stack"), &PLXRootMediator::closeStack, QKeySequence(Qt::CTRL | Qt::Key_C));
    m_closeStack->setIcon(PLXIcons::closeStack());
    m_closeAll = makeAction(tr("Close all"), &PLXRootMediator::closeAllStacks);
    m_newWindow = makeAction(tr("New window"), &PLXRootMediator::newWindow);
    m_closeWindow =
        makeAction(tr("Close window"), &PLXRootMediator::closeWindow, QKeySequence(Qt::CTRL | Qt::Key_W));
    m_quit = makeAction(tr("Quit"), nullptr, QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(m_quit, &QAction::triggered, this, [this] { quit(); });

    m_undo = makeAction(tr("Undo"), &PLXRootMediator::undo, QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_undo->setIcon(PLXIcons::undo());
    m_redo = makeAction(tr("Redo"), &PLXRootMediator::redo, QKeySequence(Qt::CTRL | Qt::Key_R));
    m_redo->setIcon(PLXIcons::redo());
    m_editModels = makeAction(tr("Edit models..."), &PLXRootMediator::openModelDialog);
    m_insertSlice = makeAction(tr("Insert slice..."), &PLXRootMediator::insertSlice);
    m_deleteSlice = makeAction(tr("Delete slice"), &PLXRootMediator::deleteSlice);
    m_stackProperties = makeAction(tr("Stack properties..."), &PLXRootMediator::openStackPropertiesDialog);
    m_sliceProperties = makeAction(tr("Slice properties..."), &PLXRootMediator::openSlicePropertiesDialog);
    m_annotateStack = makeAction(tr("Annotate stack..."), &PLXRootMediator::annotateStack);
    m_annotateSlice = makeAction(tr("Annotate slice..."), &PLXRootMediator::annotateSlice);
    m_preferences = makeAction(tr("Preferences..."), &PLXRootMediator::editPreferences);

    m_register = makeAction(tr("Register"), &PLXRootMediator::openRegistrationWindow);
    m_register->setIcon(PLXIcons::registerSlices());
    m_reconstruct = makeAction(tr("Reconstruct"), &PLXRootMediator::reconstruct);
    m_reconstruct->setIcon(PLXIcons::reconstruct());
    m_transferModels = makeAction(tr("Transfer models..."), &PLXRootMediator::transferModels);
    m_findSpots = makeAction(tr("Find spots"), &PLXRootMediator::findSpots);
    m_normalize = makeAction(tr("Normalize"), &PLXRootMediator::openFusionWindow);
    m_filterModels = makeAction(tr("Filter models..."), &PLXRootMediator::filterModels);
    m_analyze =
        makeAction(tr("Run"), &PLXRootMediator::openAnalysisWindow, QKeySequence(Qt::CTRL | Qt::Key_M));

    QSettings settings;
    const auto toggle = [&](const QString& text, QWidget* part, const char* key) {
        QAction* action = makeAction(text, nullptr);
        action->setCheckable(true);
        const bool visible = settings.value(QString::fromLatin1(key), true).toBool();
        action->setChecked(visible);
        part->setVisible(visible);
        connect(action, &QAction::toggled, this,
                [this, part, action, key](bool on) { setVisibility(part, action, key, on); });
        return action;
    };
    m_showToolBar = toggle(tr("Tool bar"), m_parts.toolBar, PLXSettingsKeys::rootWindowToolBarVisible);
    m_showBrowser = toggle(tr("Browser"), m_parts.browser, PLXSettingsKeys::rootWindowBrowserVisible);
    m_showStatusBar =
        toggle(tr("Status bar"), m_parts.statusBar, PLXSettingsKeys::rootWindowStatusBarVisible);

    m_homepage = makeAction(tr("Plexan Homepage [web]"), &PLXRootMediator::openHomepage);
    m_manual = makeAction(tr("Plexan Manual [web]"), &PLXRootMediator::openManual);
    m_mailingList = makeAction(tr("Subscribe mailing list [web]"), &PLXRootMediator::openMailingList);
    m_about = makeAction(tr("About Plexan"), &PLXRootMediator::showAbout);

    m_viewGroup = new QActionGroup(this);
    m_viewGroup->setExclusive(true);
    m_showPanorama = makeAction(tr("Display stack panorama"), &PLXRootMediator::showPanorama);
    m_showPanorama->setIcon(PLXIcons::panorama());
    m_showSingleSlice = makeAction(tr("Display single slice"), &PLXRootMediator::showPlainview);
    m_showSingleSlice->setIcon(PLXIcons::singleSlice());
    for (QAction* a : {m_showPanorama, m_showSingleSlice}) {
        a->setCheckable(true);
        m_viewGroup->addAction(a);
    }
    m_showSingleSlice->setChecked(true);
    m_showOverview = makeAction(tr("Display overview"), nullptr, QKeySequence(Qt::Key_V));
    m_showOverview->setIcon(PLXIcons::overview());
    m_showOverview->setCheckable(true);
    connect(m_showOverview, &QAction::toggled, this, [this](bool on) {
        if (m_parts.overview->isVisible() != on)
            m_parts.overview->setVisible(on);
    });

    m_firstSlice = makeAction(tr("Select first slice"), &PLXRootMediator::selectFirstSlice,
                              QKeySequence(Qt::CTRL | Qt::Key_Home));
    m_firstSlice->setIcon(PLXIcons::firstSlice());
    m_previousSlice = makeAction(tr("Select previous slice"), &PLXRootMediator::selectPreviousSlice,
                                 QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    m_previousSlice->setIcon(PLXIcons::previousSlice());
    m_nextSlice = makeAction(tr("Select next slice"), &PLXRootMediator::selectNextSlice,
                             QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    m_nextSlice->setIcon(PLXIcons::nextSlice());
    m_lastSlice = makeAction(tr("Select last slice"), &PLXRootMediator::selectLastSlice,
                             QKeySequence(Qt::CTRL | Qt::Key_End));
    m_lastSlice->setIcon(PLXIcons::lastSlice());

    // Shortcuts work anywhere in the window, menus hidden or not.
    for (QAction* action : m_actions)
        m_parts.window->addAction(action);
}

void PLXRootMediator::buildMenus()
{
    QMenuBar* bar = m_parts.menuBar;
    // Each title's first letter, underlined, opens its menu with Alt.
    QMenu* file = bar->addMenu(tr("&File"));
    file->addActions({m_newStack, m_newStackFromFile, m_openStack});
    m_recentMenu = file->addMenu(tr("Recent stacks..."));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &PLXRootMediator::updateRecentFilesMenu);
    file->addActions({m_saveStack, m_saveStackAs, m_closeStack, m_closeAll});
    file->addSeparator();
    file->addActions({m_newWindow, m_closeWindow});
    file->addSeparator();
    file->addAction(m_quit);

    QMenu* edit = bar->addMenu(tr("&Edit"));
    edit->addActions({m_undo, m_redo});
    edit->addSeparator();
    edit->addActions({m_editModels, m_insertSlice, m_deleteSlice, m_stackProperties, m_sliceProperties,
                      m_annotateStack, m_annotateSlice});
    edit->addSeparator();
    edit->addAction(m_preferences);

    QMenu* process = bar->addMenu(tr("&Process"));
    process->addActions(
        {m_register, m_reconstruct, m_transferModels, m_findSpots, m_normalize, m_filterModels});

    QMenu* analyze = bar->addMenu(tr("&Analyze"));
    analyze->addAction(m_analyze);
    QAction* densityMap = analyze->addAction(tr("Density map..."));
    connect(densityMap, &QAction::triggered, this, [this] {
        auto* window = new PLXDensityWindow(m_stack ? std::vector<PLXStack*>{m_stack} : std::vector<PLXStack*>{});
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });

    QMenu* show = bar->addMenu(tr("&Show"));
    show->addActions({m_showToolBar, m_showBrowser, m_showStatusBar});

    QMenu* help = bar->addMenu(tr("&Help"));
    help->addActions({m_homepage, m_manual, m_mailingList});
    help->addSeparator();
    help->addAction(m_about);
}

void PLXRootMediator::fillToolBar()
{
    QToolBar* bar = m_parts.toolBar;
    bar->setIconSize(PLXIcons::toolBarIconSize);
    bar->addActions({m_openStack, m_saveStack, m_closeStack, m_showPanorama, m_showSingleSlice, m_register,
                     m_reconstruct, m_undo, m_redo, m_showOverview});
    m_parts.sliceView->setToolBar(bar);
    bar->addActions({m_firstSlice, m_previousSlice, m_nextSlice, m_lastSlice});
    m_parts.sliceView->setStatusBar(m_parts.statusBar);
}

void PLXRootMediator::connectViews()
{
    PLXRootSliceEditWidget* view = m_parts.sliceView;
    view->addContextualMenuAction(m_sliceProperties);
    view->addContextualMenuAction(m_annotateSlice);
    connect(view, &PLXSliceEditWidget::canvasModeChanged, this, &PLXRootMediator::setCanvasMode);
    connect(view, &PLXSliceEditWidget::lockRequested, this, &PLXRootMediator::lockRequest);
    connect(view, &PLXSliceEditWidget::viewChanged, m_parts.overview, &PLXOverviewWidget::setLocalViewRect);
    connect(m_parts.overview, &PLXOverviewWidget::localViewOriginChanged, view,
            &PLXSliceEditWidget::setOrigin);
    connect(m_parts.overview, &PLXOverviewWidget::visibilityChanged, this, [this](bool visible) {
        if (m_showOverview->isChecked() != visible)
            m_showOverview->setChecked(visible);
        if (visible)
            m_parts.overview->setLocalViewRect(m_parts.sliceView->getVisibleModelRect());
    });
    connect(m_stackList, &PLXStackListWidget::stackSelectionChanged, this,
            &PLXRootMediator::stackSelectionChange);
    connect(m_sliceList, &PLXSliceListWidget::sliceSelectionChanged, this,
            &PLXRootMediator::sliceSelectionChange);
    connect(m_parts.panorama, &PLXPanorama::sliceSelected, this, [this](StackSlice* slice) {
        if (slice)
            setSlice(*slice);
    });
    connect(m_parts.panorama, &PLXPanorama::sliceActivated, this, [this](StackSlice* slice) {
        if (!slice)
            return;
        setSlice(*slice);
        m_showSingleSlice->setChecked(true);
        showPlainview();
    });
}

// Enabling ------------------------------------------------------------------------------

int PLXRootMediator::openStacks(const PLXStack* closing) const
{
    int n = PLXStackServer::stackServer.getNumStacks();
    if (closing && PLXStackServer::stackServer.find(closing) >= 0)
        --n;
    return n;
}

void PLXRootMediator::updateActions()
{
    if (m_locked)
        return;
    const bool stack = m_stack != nullptr;
    const bool slice = m_slice != nullptr;
    const int open = openStacks(m_closing);
    m_saveStack->setEnabled(stack && m_stack->isModified());
    m_saveStackAs->setEnabled(stack);
    m_closeStack->setEnabled(stack);
    m_closeAll->setEnabled(open >= 1);
    const bool undoable = stack && m_stack->history().isUndoable();
    const bool redoable = stack && m_stack->history().isRedoable();
    m_undo->setEnabled(undoable);
    m_redo->setEnabled(redoable);
    m_undo->setToolTip(m_undo->text() + QLatin1Char(' ') +
                       (stack ? m_stack->history().getUndoDescription() : tr("(Nothing to undo)")));
    m_redo->setToolTip(m_redo->text() + QLatin1Char(' ') +
                       (stack ? m_stack->history().getRedoDescription() : tr("(Nothing to redo)")));
    for (QAction* a : {m_editModels, m_insertSlice, m_stackProperties, m_annotateStack, m_reconstruct,
                       m_findSpots, m_filterModels, m_analyze})
        a->setEnabled(stack);
    for (QAction* a : {m_deleteSlice, m_sliceProperties, m_annotateSlice})
        a->setEnabled(slice);
    m_register->setEnabled(stack && m_stack->getNumSlices() > 1);
    m_transferModels->setEnabled(open >= 2);
    m_normalize->setEnabled(open >= 2);
    // Navigation: without a current slice, "first" and "last" pick one.
    const bool first = slice && m_slice->isFirstSlice();
    const bool last = slice && m_slice->isLastSlice();
    m_firstSlice->setEnabled(stack && m_stack->getNumSlices() > 0 && (!slice || !first));
    m_previousSlice->setEnabled(slice && !first);
    m_nextSlice->setEnabled(slice && !last);
    m_lastSlice->setEnabled(stack && m_stack->getNumSlices() > 0 && (!slice || !last));
    updateAnnotationIcons();
}

void PLXRootMediator::updateAnnotationIcons()
{
    m_annotateStack->setIcon(PLXIcons::annotation(m_stack && !m_stack->getAnnotation().empty()));
    m_annotateSlice->setIcon(PLXIcons::annotation(m_slice && !m_slice->getAnnotation().empty()));
}

void PLXRootMediator::setActionsEnabled(bool on)
{
    for (QAction* action : m_actions)
        action->setEnabled(on);
    m_recentMenu->setEnabled(on);
}

void PLXRootMediator::updateTitle()
{
    PLXRootWindow* window = m_parts.window;
    if (!m_stack) {
        window->setWindowTitle(QStringLiteral("Plexan"));
        window->setWindowModified(false);
        return;
    }
    // A stack never saved goes by its name.
    const QString file = m_stack->getFilename();
    const QString name = file.isEmpty() ? QString::fromStdString(m_stack->getName()) : file;
    window->setWindowTitle(QStringLiteral("Plexan - ") + name + QStringLiteral("[*]"));
    window->setWindowModified(m_stack->isModified());
}

void PLXRootMediator::updateStatusBarDisplay()
{
    m_parts.statusBar->setStackName(m_stack ? QString::fromStdString(m_stack->getName()) : QString());
    m_parts.statusBar->setSliceName(nameOf(m_slice));
}

void PLXRootMediator::updateRecentFilesMenu()
{
    m_recentMenu->clear();
    const QStringList& files = PLXSettings::getRecentFilesList();
    for (const QString& path : files) {
        QAction* action = m_recentMenu->addAction(path);
        connect(action, &QAction::triggered, this, [this, path] { openRecentStack(path); });
    }
    if (files.isEmpty())
        m_recentMenu->addAction(tr("(none)"))->setEnabled(false);
}

void PLXRootMediator::setVisibility(QWidget* part, QAction* toggle, const char* key, bool visible)
{
    part->setVisible(visible);
    if (toggle->isChecked() != visible)
        toggle->setChecked(visible);
    QSettings().setValue(QString::fromLatin1(key), visible);
}

// Current stack and slice ---------------------------------------------------------------

void PLXRootMediator::setStack(PLXStack& stack, StackSlice* slice)
{
    if (&stack == m_stack)
        return;
    if (m_stack)
        disconnect(&m_stack->history(), nullptr, this, nullptr);
    m_stack = &stack;
    m_slice = nullptr;
    m_parts.panorama->setStack(&stack, stack.getPanoramaImageServer());
    m_stackList->selectStack(&stack);
    m_sliceList->setStack(&stack);
    if (slice && stack.findSlice(slice) >= 0) {
        setSlice(*slice);
    } else if (stack.getNumSlices() > 0) {
        const int last = stack.findSlice(stack.getLastSegmentedSlice());
        setSlice(*stack.getSlice(last >= 0 ? last : 0));
    } else {
        m_parts.sliceView->clear();
        m_parts.overview->clear();
    }
    updateTitle();
    updateStatusBarDisplay();
    updateActions();
    connect(&stack.history(), &PLXActionHistory::changed, this, &PLXRootMediator::stackHistoryChange);
}

void PLXRootMediator::setSlice(StackSlice& slice)
{
    if (slice.getStack() != static_cast<Stack*>(m_stack)) {
        if (auto* other = dynamic_cast<PLXStack*>(slice.getStack())) {
            setStack(*other, &slice);
            return;
        }
    }
    if (&slice != m_slice) {
        WaitCursor wait;
        m_slice = &slice;
        m_sliceList->selectSlice(&slice);
        m_parts.sliceView->setSlice(&slice);
        m_parts.panorama->setSlice(&slice);
        m_parts.overview->setImageServer(&m_parts.sliceView->getCanvas()->getImageServer());
        m_parts.overview->setSlice(&slice);
        updateStatusBarDisplay();
    }
    updateActions();
}

void PLXRootMediator::selectFirstSlice()
{
    if (m_stack && m_stack->getNumSlices() > 0)
        setSlice(*m_stack->getFirstSlice());
}

void PLXRootMediator::selectLastSlice()
{
    if (m_stack && m_stack->getNumSlices() > 0)
        setSlice(*m_stack->getLastSlice());
}

void PLXRootMediator::selectNextSlice()
{
    if (m_stack && m_slice)
        setSlice(*m_stack->getNextSlice(m_slice));
}

void PLXRootMediator::selectPreviousSlice()
{
    if (m_stack && m_slice)
        setSlice(*m_stack->getPreviousSlice(m_slice));
}

void PLXRootMediator::stackSelectionChange()
{
    const QList<Stack*> selected = m_stackList->getSelectedStacks();
    if (selected.size() != 1)
        return;
    if (auto* stack = dynamic_cast<PLXStack*>(selected.front()))
        setStack(*stack);
}

void PLXRootMediator::sliceSelectionChange()
{
    const QList<StackSlice*> selected = m_sliceList->getSelectedSlices();
    if (selected.size() == 1)
        setSlice(*selected.front());
}

void PLXRootMediator::stackHistoryChange()
{
    updateActions();
}

void PLXRootMediator::clearCurrentStack()
{
    if (m_stack)
        disconnect(&m_stack->history(), nullptr, this, nullptr);
    m_sliceList->clear();
    m_parts.sliceView->clear();
    m_parts.panorama->clear();
    m_parts.overview->clear();
    m_parts.overview->clearImageServer();
    m_stack = nullptr;
    m_slice = nullptr;
    updateTitle();
    updateStatusBarDisplay();
}

// Views ---------------------------------------------------------------------------------

void PLXRootMediator::setCanvasMode(const CanvasMode& mode)
{
    m_parts.panorama->setCanvasMode(mode);
    m_parts.overview->setCanvasMode(mode);
}

void PLXRootMediator::showPanorama()
{
    WaitCursor wait;
    m_parts.centralArea->setCurrentWidget(m_parts.panorama);
    if (!m_showPanorama->isChecked())
        m_showPanorama->setChecked(true);
    updateStatusBarDisplay();
}

void PLXRootMediator::showPlainview()
{
    WaitCursor wait;
    m_parts.centralArea->setCurrentWidget(m_parts.sliceView);
    if (!m_showSingleSlice->isChecked())
        m_showSingleSlice->setChecked(true);
    updateStatusBarDisplay();
}

void PLXRootMediator::lockRequest(bool on)
{
    if (!m_slice)
        return;
    PLXSliceLockEvent event(*m_slice, on);
    notifyEvent(event);
}

// Events --------------------------------------------------------------------------------

void PLXRootMediator::stackOpenEvent(PLXStackOpenEvent& e)
{
    m_stackList->addStack(&e.getStack(), e.getStack().getFilename());
    updateActions();
}

void PLXRootMediator::stackCloseEvent(PLXStackCloseEvent& e)
{
    PLXStack* stack = &e.getStack();
    m_stackList->removeStack(stack);
    if (stack == m_stack)
        clearCurrentStack();
    m_closing = stack;
    updateActions();
    m_closing = nullptr;
}

void PLXRootMediator::stackModifyEvent(PLXStackModifyEvent& e)
{
    if (&e.getStack() != m_stack)
        return;
    m_parts.window->setWindowModified(m_stack->isModified());
    updateActions();
}

void PLXRootMediator::stackNameEvent(PLXStackNameEvent& e)
{
    m_stackList->updateStack(&e.getStack(), e.getStack().getFilename());
    if (&e.getStack() == m_stack) {
        updateTitle();
        updateStatusBarDisplay();
    }
}

void PLXRootMediator::stackFileNameEvent(PLXStackFileNameEvent& e)
{
    m_stackList->updateStack(&e.getStack(), e.getStack().getFilename());
    if (&e.getStack() == m_stack)
        updateTitle();
}

void PLXRootMediator::sliceNameEvent(PLXSliceNameEvent& e)
{
    if (e.getSlice().getStack() != static_cast<Stack*>(m_stack))
        return;
    m_sliceList->updateSlice(&e.getSlice());
    m_parts.panorama->rebuild();
    updateStatusBarDisplay();
}

void PLXRootMediator::sliceAnnotationEvent(PLXSliceAnnotationEvent& e)
{
    if (e.getSlice().getStack() != static_cast<Stack*>(m_stack))
        return;
    m_sliceList->updateSlice(&e.getSlice());
    updateActions();
}

void PLXRootMediator::sliceLockEvent(PLXSliceLockEvent& e)
{
    const bool on = e.isLockOn();
    m_locked = on;
    if (e.getSender() == static_cast<PLXEventClient*>(this)) {
        setActionsEnabled(!on);
        m_stackList->setEnabled(!on);
        m_sliceList->setEnabled(!on);
        if (!on)
            updateActions();
    } else {
        m_parts.window->setEnabled(!on);
        if (!on)
            updateActions();
    }
}

void PLXRootMediator::processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action)
{
    if (&action.getStack() != static_cast<Stack*>(m_stack))
        return;
    m_sliceList->rebuild();
    m_parts.panorama->rebuild();
    // A current slice taken out of the stack gives way to its neighbour.
    if (m_slice && m_stack->findSlice(m_slice) < 0) {
        m_slice = nullptr;
        if (m_stack->getNumSlices() > 0) {
            const int at = std::min(action.getPosition(), m_stack->getNumSlices() - 1);
            setSlice(*m_stack->getSlice(at));
        } else {
            m_parts.sliceView->clear();
            m_parts.overview->clear();
            updateStatusBarDisplay();
        }
    } else if (m_slice) {
        m_sliceList->selectSlice(m_slice);
    }
    updateActions();
}

void PLXRootMediator::preferencesEvent(PLXPreferencesEvent&)
{
    const QColor background = PLXPreferences::getImageCanvasBackgroundColor();
    if (background.isValid())
        m_parts.panorama->setBackgroundColor(background);
    m_parts.panorama->setLabelsEnabled(PLXPreferences::isPanoramaLabelEnabled());
}

// Commands ------------------------------------------------------------------------------

template <typename F> auto PLXRootMediator::withStackIO(F f)
{
    PLXStackIO io(m_parts.window);
    io.addMonitor(*m_parts.statusBar);
    try {
        auto result = f(io);
        io.removeMonitor(*m_parts.statusBar);
        m_parts.statusBar->stopProgress();
        return result;
    } catch (const Exception& e) {
        io.removeMonitor(*m_parts.statusBar);
        m_parts.statusBar->stopProgress();
        Dialogs::critical(m_parts.window, tr("Error"), QString::fromStdString(e.getWhat()));
    }
    return decltype(f(io))();
}

void PLXRootMediator::createStack()
{
    if (PLXStack* stack = withStackIO([](PLXStackIO& io) { return io.newStack(); }))
        setStack(*stack);
}

void PLXRootMediator::createStackFromFile()
{
    if (PLXStack* stack = withStackIO([](PLXStackIO& io) { return io.newStackFromFile(); }))
        setStack(*stack);
}

void PLXRootMediator::openStack()
{
    if (PLXStack* stack = withStackIO([](PLXStackIO& io) { return io.openStack(); }))
        setStack(*stack);
}

PLXStack* PLXRootMediator::openStack(const QString& path)
{
    PLXStack* stack = withStackIO([&path](PLXStackIO& io) { return io.openStack(path); });
    if (stack)
        setStack(*stack);
    return stack;
}

PLXStack* PLXRootMediator::openRecentStack(const QString& path)
{
    const QString file = QFile::decodeName(StackReader::getFileName(QFile::encodeName(path).toStdString()).c_str());
    if (!QFileInfo::exists(file)) {
        const auto answer = Dialogs::question(
            m_parts.window, tr("Recent stacks"),
            tr("The stack file\n\n%1\n\nno longer exists. Remove it from the recent stacks?").arg(path),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            PLXSettings::getRecentFilesList().removeAll(path);
        return nullptr;
    }
    return openStack(path);
}

void PLXRootMediator::saveStack()
{
    if (PLXStack* stack = m_stack)
        withStackIO([stack](PLXStackIO& io) { return io.saveStack(*stack); });
}

void PLXRootMediator::saveStackAs()
{
    if (PLXStack* stack = m_stack)
        withStackIO([stack](PLXStackIO& io) { return io.saveStackAs(*stack); });
}

void PLXRootMediator::closeStack()
{
    if (PLXStack* stack = m_stack)
        withStackIO([stack](PLXStackIO& io) { return io.closeStack(*stack); });
}

void PLXRootMediator::closeAllStacks()
{
    withStackIO([](PLXStackIO& io) { return io.closeAllStacks(); });
}

void PLXRootMediator::newWindow()
{
    auto* window = new PLXRootWindow;
    window->resize(m_parts.window->size());
}

void PLXRootMediator::closeWindow()
{
    m_parts.window->close();
}

bool PLXRootMediator::quit()
{
    m_parts.statusBar->showMessage(tr("Exiting application..."));
    if (!withStackIO([](PLXStackIO& io) { return io.closeAllStacks(); })) {
        m_parts.statusBar->showMessage(tr("Exit canceled"), 1000);
        return false;
    }
    PLXRootWindow::__uponQuitting = true;
    QApplication::quit();
    return true;
}

void PLXRootMediator::undo()
{
    if (!m_stack)
        return;
    try {
        m_stack->history().undo();
    } catch (const Exception& e) {
        Dialogs::critical(m_parts.window, tr("Error"), QString::fromStdString(e.getWhat()));
    }
    updateActions();
}

void PLXRootMediator::redo()
{
    if (!m_stack)
        return;
    try {
        m_stack->history().redo();
    } catch (const Exception& e) {
        Dialogs::critical(m_parts.window, tr("Error"), QString::fromStdString(e.getWhat()));
    }
    updateActions();
}

void PLXRootMediator::insertSlice()
{
    if (PLXStack* stack = m_stack) {
        // After the current slice, or at the end.
        const int position = m_slice ? stack->findSlice(m_slice) + 1 : stack->getNumSlices();
        withStackIO([stack, position](PLXStackIO& io) { return io.insertSlice(*stack, position); });
    }
}

void PLXRootMediator::deleteSlice()
{
    if (!m_stack || !m_slice)
        return;
    PLXActionHistory& history = m_stack->history();
    const int position = m_stack->findSlice(m_slice);
    try {
        history.openStep();
        history.push(new PLXSliceInsertionDeletionAction(*m_stack, *m_slice,
                                                         PLXSliceInsertionDeletionAction::Deletion, position),
                     true);
        history.closeStep();
    } catch (const Exception& e) {
        if (history.isStepOpen())
            history.closeStep();
        Dialogs::critical(m_parts.window, tr("Error"), QString::fromStdString(e.getWhat()));
    }
}

void PLXRootMediator::editPreferences()
{
    PLXPreferencesDialog dialog(m_parts.window);
    Dialogs::exec(dialog);
}

void PLXRootMediator::notAvailableYet(const QString& what)
{
    Dialogs::information(m_parts.window, what, tr("%1 is not available yet.").arg(what));
}

void PLXRootMediator::openModelDialog()
{
    if (m_stack)
        PLXModelDialog::open(*m_stack, m_parts.window);
}

void PLXRootMediator::openStackPropertiesDialog()
{
    if (m_stack) {
        PLXStackPropertiesDialog dialog(*m_stack, m_parts.window);
        Dialogs::exec(dialog);
    }
}

void PLXRootMediator::openSlicePropertiesDialog()
{
    if (m_slice) {
        PLXSlicePropertiesDialog dialog(*m_slice, m_parts.window);
        Dialogs::exec(dialog);
    }
}

void PLXRootMediator::annotateStack()
{
    if (m_stack) {
        PLXAnnotationDialog dialog(*m_stack, m_parts.window);
        Dialogs::exec(dialog);
    }
}

void PLXRootMediator::annotateSlice()
{
    if (m_stack && m_slice) {
        PLXAnnotationDialog dialog(*m_stack, *m_slice, m_parts.window);
        Dialogs::exec(dialog);
    }
}

void PLXRootMediator::openRegistrationWindow()
{
    if (m_stack && m_stack->getNumSlices() > 1)
        PLXRegistrationWindow::open(*m_stack, m_parts.window);
}

void PLXRootMediator::reconstruct()
{
    if (!m_stack)
        return;
    // The maps are quick; the window builds its meshes in a worker, with
    // progress and a cancel that leaves no window.
    m_stack->updateReconstruction();
    openRenderingWindow();
}

void PLXRootMediator::openRenderingWindow()
{
    if (m_stack)
        PLXRenderingWindow::open(*m_stack, m_parts.window);
}

void PLXRootMediator::transferModels()
{
    if (openStacks() < 2)
        return;
    // The current stack on the left, the first other open stack on the right.
    PLXModelExchangeDialog dialog(m_parts.window);
    if (m_stack) {
        dialog.setStack(PLXModelExchangeDialog::Left, m_stack);
        for (int i = 0; i < PLXStackServer::stackServer.getNumStacks(); ++i)
            if (PLXStack* other = PLXStackServer::stackServer.getStack(i); other != m_stack) {
                dialog.setStack(PLXModelExchangeDialog::Right, other);
                break;
            }
    }
    Dialogs::exec(dialog);
}

void PLXRootMediator::findSpots()
{
    if (!m_stack)
        return;
    PLXSpotExtractionProcess process(m_parts.window);
    // The threshold is previewed on the slice view when it shows a slice.
    if (m_parts.sliceView)
        process.setCanvas(m_parts.sliceView->getCanvas());
    try {
        process.run(*m_stack);
    } catch (const Exception& e) {
        Dialogs::critical(m_parts.window, tr("Find spots"), QString::fromStdString(e.getWhat()));
    }
}

void PLXRootMediator::openFusionWindow()
{
    if (openStacks() >= 2) {
        auto* window = new PLXFusionWindow;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    }
}

void PLXRootMediator::filterModels()
{
    if (m_stack)
        PLXModelFilterDialog::open(*m_stack, m_parts.window);
}

void PLXRootMediator::openAnalysisWindow()
{
    if (m_stack)
        PLXAnalysisWindow::open(*m_stack);
}

// Help ----------------------------------------------------------------------------------

const QUrl& PLXRootMediator::homepageUrl()
{
    static const QUrl url(QStringLiteral("https://plexan.org/"));
    return url;
}

const QUrl& PLXRootMediator::mailingListUrl()
{
    static const QUrl url(QStringLiteral("https://plexan.org/mailing-list/"));
    return url;
}

PLXRootMediator::UrlOpener PLXRootMediator::setUrlOpener(UrlOpener opener)
{
    UrlOpener previous = urlOpener();
    urlOpener() = std::move(opener);
    return previous;
}

void PLXRootMediator::openHomepage()
{
    urlOpener()(homepageUrl());
}

QStringList PLXRootMediator::setManualLocations(const QStringList& locations)
{
    QStringList previous = manualPlaces();
    manualPlaces() = locations;
    return previous;
}

void PLXRootMediator::openManual()
{
    const QStringList places = manualPlaces().isEmpty()
                                   ? PLXHelp::manualLocations(QCoreApplication::applicationDirPath())
                                   : manualPlaces();
    const QString manual = PLXHelp::findManual(places);
    if (manual.isEmpty()) {
        QStringList shown;
        for (const QString& place : places)
            shown << QDir::toNativeSeparators(place);
        Dialogs::warning(m_parts.window, tr("Plexan Manual"),
                         tr("The manual was not found. It was looked for in:\n%1").arg(shown.join('\n')));
        return;
    }
    if (!urlOpener()(QUrl::fromLocalFile(manual)))
        Dialogs::warning(m_parts.window, tr("Plexan Manual"),
                         tr("No program could open the manual %1.").arg(QDir::toNativeSeparators(manual)));
}

void PLXRootMediator::openMailingList()
{
    urlOpener()(mailingListUrl());
}

void PLXRootMediator::showAbout()
{
    Dialogs::information(m_parts.window, tr("About Plexan"), PLXHelp::aboutText());
}
