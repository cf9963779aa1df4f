#pragma once
// PLXRootWindow: the application's main window: menus, a tool bar, the
// browser of open stacks and of the current stack's slices, a central area
// showing the current slice (with its editing tools) or a panorama of all
// slices, and a status bar; the overview is a tool window of its own. The
// behaviour lives in its mediator (PLXRootMediator).
//
// Several root windows may be open; they share the open stacks and each has
// its own current stack and slice. Closing the last one is quitting: it asks
// about every modified stack and quits only when all are closed ("Exit
// canceled" otherwise); other root windows close at once.
//
// The window keeps its position and size in the settings store as they
// change ("rootWindow/pos", "rootWindow/size"; at first the origin and two
// thirds of the desktop), and the visibility of its tool bar, browser and
// status bar as the user toggles them. Stack files dropped on it open in
// the order of the drop.

#include <QMainWindow>
#include <QString>

class PLXOverviewWidget;
class PLXPanorama;
class PLXRootBrowser;
class PLXRootMediator;
class PLXRootSliceEditWidget;
class PLXRootStatusBar;
class PLXSplitter;
class PLXStack;
class QStackedWidget;
class QToolBar;

class PLXRootWindow : public QMainWindow {
    Q_OBJECT
public:
    // Counts the root windows created; set once the user confirmed quitting.
    static int __numRootWindows;
    static bool __uponQuitting;

    // Shows itself; deletes itself when closed and when the application is
    // about to quit.
    explicit PLXRootWindow(QWidget* parent = nullptr);
    ~PLXRootWindow() override;

    // Opens a stack named on the command line.
    void startupOpenStack(const char* path);

    // The number of root windows open now.
    static int getNumOpenRootWindows();

    PLXRootMediator* getMediator() const { return m_mediator; }
    QToolBar* getToolBar() const { return m_toolBar; }
    PLXRootStatusBar* getRootStatusBar() const { return m_statusBar; }
    PLXRootBrowser* getBrowser() const { return m_browser; }
    PLXSplitter* getSplitter() const { return m_splitter; }
    QStackedWidget* getCentralArea() const { return m_centralArea; }
    PLXPanorama* getPanorama() const { return m_panorama; }
    PLXRootSliceEditWidget* getSliceView() const { return m_sliceView; }
    PLXOverviewWidget* getOverview() const { return m_overview; }

public slots:
    // Opens a stack file, which becomes current; the stack or null.
    PLXStack* openStack(const QString& path);
    // The quit procedure (see PLXRootMediator::quit).
    bool quitApplication();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QToolBar* m_toolBar = nullptr;
    PLXRootStatusBar* m_statusBar = nullptr;
    PLXRootBrowser* m_browser = nullptr;
    PLXSplitter* m_splitter = nullptr;
    QStackedWidget* m_centralArea = nullptr;
    PLXPanorama* m_panorama = nullptr;
    PLXRootSliceEditWidget* m_sliceView = nullptr;
    PLXOverviewWidget* m_overview = nullptr;
    PLXRootMediator* m_mediator = nullptr;
    bool m_restoring = true;
};
