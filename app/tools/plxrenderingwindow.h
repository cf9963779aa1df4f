#pragma once
// PLXRenderingWindow: the models of one stack in 3D: the viewer's canvas,
// its pose panel beside it, a tool bar, and the menus "Rendering"
// ("Snapshot", "Export to STL...", the one-click movies, "Close"), "Edit"
// ("Edit models...", "Animation timeout", "Animation angle"), "Pose"
// ("Record...", the "Select" and "Delete" submenus, then the viewer's
// standard poses and motions) and "Show" ("Tool bar", "Pose panel"). The
// behaviour is the mediator's (PLXRenderingMediator).
//
// A bar over the view says when it no longer matches the stack (a rebuild
// was cancelled: "Out of date: rebuild cancelled") and holds "Rebuild"; it
// goes when a rebuild ends.
//
// Position, size, tool-bar and pose-panel visibility are kept in the
// settings ("renderingWindow/...") as they change. The window deletes
// itself when closed, and closes when its stack is closed.

#include <QMainWindow>

class PLXRenderingMediator;
class PLXRenderingToolbar;
class PLXStack;
class QAction;
class QFrame;
class QMenu;
class QScrollArea;
class ViewerCanvasGL;
class ViewerPosePanel;

class PLXRenderingWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PLXRenderingWindow(QWidget* parent = nullptr);
    ~PLXRenderingWindow() override;

    // The window showing stack, raised, or a new one shown on it (stack's
    // reconstruction brought up to date first). A new window's models are
    // built in a worker behind a progress dialog: null when the user
    // cancelled it (no window is left).
    static PLXRenderingWindow* open(PLXStack& stack, QWidget* parent = nullptr);

    // False when cancelled (the window shows what it showed before).
    bool setStack(PLXStack& stack);

    PLXRenderingMediator& getMediator() const { return *m_mediator; }
    ViewerCanvasGL& getCanvas() const { return *m_canvas; }
    ViewerPosePanel& getPosePanel() const { return *m_panel; }
    PLXRenderingToolbar& getToolBar() const { return *m_toolBar; }
    QWidget& getPosePanelArea() const;
    // The out-of-date bar (hidden while the view matches the stack).
    QFrame* getOutOfDateBar() const { return m_outOfDate; }
    QMenu* getRenderingMenu() const { return m_renderingMenu; }
    QMenu* getEditMenu() const { return m_editMenu; }
    QMenu* getPoseMenu() const { return m_poseMenu; }
    QMenu* getShowMenu() const { return m_showMenu; }
    QAction* getCloseAction() const { return m_close; }
    QAction* getToolBarAction() const { return m_showToolBar; }
    QAction* getPosePanelAction() const { return m_showPanel; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createMenus();
    void createOutOfDateBar();
    void restoreSettings();

    ViewerCanvasGL* m_canvas = nullptr;
    ViewerPosePanel* m_panel = nullptr;
    QScrollArea* m_panelArea = nullptr;
    QFrame* m_outOfDate = nullptr;
    PLXRenderingMediator* m_mediator = nullptr;
    PLXRenderingToolbar* m_toolBar = nullptr;
    QMenu* m_renderingMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_poseMenu = nullptr;
    QMenu* m_showMenu = nullptr;
    QAction* m_close = nullptr;
    QAction* m_showToolBar = nullptr;
    QAction* m_showPanel = nullptr;
    bool m_restoring = false;
};
