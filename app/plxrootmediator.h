#pragma once
// PLXRootMediator: the behaviour of a root window. It owns every command of
// the window (menus, tool bar, shortcuts), decides which are enabled, keeps
// the window's current stack and slice, and routes each command to the stack
// operations (PLXStackIO), to the stack's undo history or to a tool window.
// As an event client it keeps the window's lists and views in step with
// the open stacks, whoever changes them.
//
// Current stack and slice: opening or creating a stack makes it current,
// showing its last segmented slice (the first one when that slice is gone);
// choosing a stack or a slice in a list, a thumbnail in the panorama or a
// navigation command makes it current. Closing the current stack leaves no
// current stack until the user chooses one.
//
// Slice locks: a tool of the slice view that needs the user's whole
// attention asks for a lock; the mediator announces it (a slice lock event)
// and, while it lasts, disables its commands and lists; other root windows
// disable themselves whole.
//
// Tool windows: each command that opens one goes through one method below
// (openRegistrationWindow() and the rest), the one place to change when the
// window it opens changes.

#include "app/plxeventclient.h"
#include "app/slice/canvasmode.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class PLXOverviewWidget;
class PLXPanorama;
class PLXRootBrowser;
class PLXRootSliceEditWidget;
class PLXRootStatusBar;
class PLXRootWindow;
class PLXSliceListWidget;
class PLXStack;
class PLXStackIO;
class PLXStackListWidget;
class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QStackedWidget;
class QToolBar;
class StackSlice;

class PLXRootMediator : public QObject, public PLXEventClient {
    Q_OBJECT
public:
    // The parts of the window it works with (not owned).
    struct Parts {
        PLXRootWindow* window = nullptr;
        QMenuBar* menuBar = nullptr;
        QToolBar* toolBar = nullptr;
        PLXRootStatusBar* statusBar = nullptr;
        PLXRootBrowser* browser = nullptr;
        QStackedWidget* centralArea = nullptr;
        PLXPanorama* panorama = nullptr;
        PLXRootSliceEditWidget* sliceView = nullptr;
        PLXOverviewWidget* overview = nullptr;
    };

    explicit PLXRootMediator(const Parts& parts, QObject* parent = nullptr);
    ~PLXRootMediator() override;

    PLXStack* getCurrentStack() const { return m_stack; }
    StackSlice* getCurrentSlice() const { return m_slice; }
    bool isLocked() const { return m_locked; }

    // Commands, for tests and scripts (the menus hold the same actions).
    QAction* newStackAction() const { return m_newStack; }
    QAction* newStackFromFileAction() const { return m_newStackFromFile; }
    QAction* openStackAction() const { return m_openStack; }
    QMenu* recentStacksMenu() const { return m_recentMenu; }
    QAction* saveStackAction() const { return m_saveStack; }
    QAction* saveStackAsAction() const { return m_saveStackAs; }
    QAction* closeStackAction() const { return m_closeStack; }
    QAction* closeAllAction() const { return m_closeAll; }
    QAction* newWindowAction() const { return m_newWindow; }
    QAction* closeWindowAction() const { return m_closeWindow; }
    QAction* quitAction() const { return m_quit; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    QAction* editModelsAction() const { return m_editModels; }
    QAction* insertSliceAction() const { return m_insertSlice; }
    QAction* deleteSliceAction() const { return m_deleteSlice; }
    QAction* stackPropertiesAction() const { return m_stackProperties; }
    QAction* slicePropertiesAction() const { return m_sliceProperties; }
    QAction* annotateStackAction() const { return m_annotateStack; }
    QAction* annotateSliceAction() const { return m_annotateSlice; }
    QAction* preferencesAction() const { return m_preferences; }
    QAction* registerAction() const { return m_register; }
    QAction* reconstructAction() const { return m_reconstruct; }
    QAction* transferModelsAction() const { return m_transferModels; }
    QAction* findSpotsAction() const { return m_findSpots; }
    QAction* normalizeAction() const { return m_normalize; }
    QAction* filterModelsAction() const { return m_filterModels; }
    QAction* analyzeAction() const { return m_analyze; }
    QAction* showToolBarAction() const { return m_showToolBar; }
    QAction* showBrowserAction() const { return m_showBrowser; }
    QAction* showStatusBarAction() const { return m_showStatusBar; }
    QAction* homepageAction() const { return m_homepage; }
    QAction* manualAction() const { return m_manual; }
    QAction* mailingListAction() const { return m_mailingList; }
    QAction* aboutAction() const { return m_about; }
    QAction* panoramaAction() const { return m_showPanorama; }
    QAction* singleSliceAction() const { return m_showSingleSlice; }
    QAction* overviewAction() const { return m_showOverview; }
    QAction* firstSliceAction() const { return m_firstSlice; }
    QAction* lastSliceAction() const { return m_lastSlice; }
    QAction* nextSliceAction() const { return m_nextSlice; }
    QAction* previousSliceAction() const { return m_previousSlice; }
    // Every command of the window (menus, tool bar, navigation).
    const QList<QAction*>& getActions() const { return m_actions; }

    // The web pages of the Help menu.
    static const QUrl& homepageUrl();
    static const QUrl& mailingListUrl();
    // Opens a web page or the manual with the desktop's programs; tests replace it.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static UrlOpener setUrlOpener(UrlOpener opener);
    // The places Help looks for the manual, in order, instead of those of
    // PLXHelp::manualLocations() (an empty list restores them); returns the
    // previous ones.
    static QStringList setManualLocations(const QStringList& locations);

public slots:
    // File
    void createStack();
    void createStackFromFile();
    void openStack();
    // Opens a stack file (command line, recent stacks, drops); it becomes
    // current. The stack, or null when it could not be opened.
    PLXStack* openStack(const QString& path);
    // A path chosen in "Recent stacks...": opened as above, unless its file
    // no longer exists; the user is then told so and asked whether to drop
    // it from the list. The stack, or null.
    PLXStack* openRecentStack(const QString& path);
    void saveStack();
    void saveStackAs();
    void closeStack();
    void closeAllStacks();
    void newWindow();
    void closeWindow();
    // The quit procedure: every stack is closed (modified ones asking
    // first), then the application quits; false when the user kept one.
    bool quit();
    // Edit
    void undo();
    void redo();
    void insertSlice();
    void deleteSlice();
    void editPreferences();
    // Tool windows, one method each.
    void openModelDialog();
    void openStackPropertiesDialog();
    void openSlicePropertiesDialog();
    void annotateStack();
    void annotateSlice();
    void openRegistrationWindow();
    void reconstruct();
    void openRenderingWindow();
    void transferModels();
    void findSpots();
    void openFusionWindow();
    void filterModels();
    void openAnalysisWindow();
    // Help
    void openHomepage();
    void openManual();
    void openMailingList();
    void showAbout();

    // Current stack and slice.
    void setStack(PLXStack& stack, StackSlice* slice = nullptr);
    void setSlice(StackSlice& slice);
    void selectFirstSlice();
    void selectLastSlice();
    void selectNextSlice();
    void selectPreviousSlice();

    void setCanvasMode(const CanvasMode& mode);
    void lockRequest(bool on);
    void showPanorama();
    void showPlainview();
    void stackSelectionChange();
    void sliceSelectionChange();
    void stackHistoryChange();
    void updateActions();
    void updateStatusBarDisplay();
    void updateRecentFilesMenu();

protected:
    void stackOpenEvent(PLXStackOpenEvent& e) override;
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void stackModifyEvent(PLXStackModifyEvent& e) override;
    void stackNameEvent(PLXStackNameEvent& e) override;
    void stackFileNameEvent(PLXStackFileNameEvent& e) override;
    void sliceNameEvent(PLXSliceNameEvent& e) override;
    void sliceAnnotationEvent(PLXSliceAnnotationEvent& e) override;
    void sliceLockEvent(PLXSliceLockEvent& e) override;
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action) override;
    void preferencesEvent(PLXPreferencesEvent& e) override;

private:
    void buildActions();
    void buildMenus();
    void fillToolBar();
    void connectViews();
    QAction* makeAction(const QString& text, void (PLXRootMediator::*slot)(),
                        const QKeySequence& shortcut = QKeySequence());
    // Shows "<what> is not available yet." for a tool window still to come.
    void notAvailableYet(const QString& what);
    void updateTitle();
    void updateAnnotationIcons();
    void clearCurrentStack();
    // The stacks open besides one that is closing (none).
    int openStacks(const PLXStack* closing = nullptr) const;
    void setActionsEnabled(bool on);
    // Runs a command of the stack operations, reporting its failures.
    template <typename F> auto withStackIO(F f);
    void setVisibility(QWidget* part, QAction* toggle, const char* key, bool visible);

    Parts m_parts;
    PLXStackListWidget* m_stackList = nullptr;
    PLXSliceListWidget* m_sliceList = nullptr;
    PLXStack* m_stack = nullptr;
    StackSlice* m_slice = nullptr;
    bool m_locked = false;
    // The stack whose close event is being delivered (no longer counts).
    const PLXStack* m_closing = nullptr;

    QList<QAction*> m_actions;
    QAction* m_newStack = nullptr;
    QAction* m_newStackFromFile = nullptr;
    QAction* m_openStack = nullptr;
    QMenu* m_recentMenu = nullptr;
    QAction* m_saveStack = nullptr;
    QAction* m_saveStackAs = nullptr;
    QAction* m_closeStack = nullptr;
    QAction* m_closeAll = nullptr;
    QAction* m_newWindow = nullptr;
    QAction* m_closeWindow = nullptr;
    QAction* m_quit = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_editModels = nullptr;
    QAction* m_insertSlice = nullptr;
    QAction* m_deleteSlice = nullptr;
    QAction* m_stackProperties = nullptr;
    QAction* m_sliceProperties = nullptr;
    QAction* m_annotateStack = nullptr;
    QAction* m_annotateSlice = nullptr;
    QAction* m_preferences = nullptr;
    QAction* m_register = nullptr;
    QAction* m_reconstruct = nullptr;
    QAction* m_transferModels = nullptr;
    QAction* m_findSpots = nullptr;
    QAction* m_normalize = nullptr;
    QAction* m_filterModels = nullptr;
    QAction* m_analyze = nullptr;
    QAction* m_showToolBar = nullptr;
    QAction* m_showBrowser = nullptr;
    QAction* m_showStatusBar = nullptr;
    QAction* m_homepage = nullptr;
    QAction* m_manual = nullptr;
    QAction* m_mailingList = nullptr;
    QAction* m_about = nullptr;
    QActionGroup* m_viewGroup = nullptr;
    QAction* m_showPanorama = nullptr;
    QAction* m_showSingleSlice = nullptr;
    QAction* m_showOverview = nullptr;
    QAction* m_firstSlice = nullptr;
    QAction* m_lastSlice = nullptr;
    QAction* m_nextSlice = nullptr;
    QAction* m_previousSlice = nullptr;
};
