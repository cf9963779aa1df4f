#pragma once
// PLXSliceEditWidgetMediator: the controller of the slice editor. It owns
// the editing commands (actions with their shortcuts), the menus "Draw"
// (submenus "Manual" and "Automatic" listing the stack's models), "Edit",
// "Select" (the slice's models) and "Convert" (the stack's models), the
// canvas's context menu, the status line, and one delegate (tool) of each
// kind. The tools turn the canvas's input into changes of the slice's
// items, each gesture one undo step of the stack's history.
//
//     PLXSliceEditWidgetMediator editor(view);   // view: PLXSliceEditWidget
//     editor.setSlice(slice);                    // or view->setSlice(slice)
//     editor.drawManual("nucleus");              // "Draw" > "Manual" > a model
//
// The editor follows the view's slice: showing another slice cancels the
// active tool and starts the selection tool on the new one. The commands
// are enabled from the slice's selection summary, which the selection tool
// announces with a slice item selection event after every change (the
// editor also recomputes it when the slice's items change otherwise, on an
// undo for instance). A tool that needs the user's whole attention requests
// the slice lock (lockRequested(true), passed on as the view's
// lockRequested) until it ends.
//
// Tolerance: the integer part of 1 / zoom plus the preferred click
// tolerance, in image pixels; moving a vertex always uses 10.

#include "app/plxeventclient.h"
#include "app/stacksliceselectioninfo.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class PLXAction;
class PLXCreationDelegate;
class PLXDouglasPeuckerDelegate;
class PLXEditionDelegate;
class PLXFourierDelegate;
class PLXReoriginDelegate;
class PLXResamplingDelegate;
class PLXSelectionDelegate;
class PLXSliceEditWidget;
class PLXSliceEditWidgetCanvas;
class PLXSliceEditWidgetMediatorDelegate;
class PLXSliceEditWidgetStatusBar;
class PLXSnakeDelegate;
class PLXSplitDelegate;
class PLXStack;
class PLXThresholdingDelegate;
class QAction;
class QContextMenuEvent;
class QMenu;
class Stack;
class StackSlice;

class PLXSliceEditWidgetMediator : public QObject, public PLXEventClient {
    Q_OBJECT
public:
    explicit PLXSliceEditWidgetMediator(PLXSliceEditWidget* view, QObject* parent = nullptr);
    ~PLXSliceEditWidgetMediator() override;

    PLXSliceEditWidget* getView() const { return m_view; }
    PLXSliceEditWidgetCanvas* getCanvas() const;
    // Not shown anywhere until a window places it.
    PLXSliceEditWidgetStatusBar* getStatusBar() const;

    StackSlice* getSlice() const { return m_slice; }
    // The application stack of the slice, or null.
    PLXStack* getStack() const;

    // Shows the slice in the view (see above); null clears.
    void setSlice(StackSlice* slice);
    void clear();

    // Enables the commands and menus from a selection summary.
    void selectionChange(const StackSliceSelectionInfo& info);
    const StackSliceSelectionInfo& getSelectionInfo() const { return m_info; }
    // Recomputes the summary of the slice and enables from it.
    void updateSelection();
    // Sends the slice item selection event with the slice's new summary.
    void announceSelection();

    // Emits lockRequested(on).
    void requestLock(bool on);
    bool isLockRequested() const { return m_locked; }

    // Actions the window adds to the context menu.
    void addContextualMenuAction(QAction* action);
    // Shows the context menu (not blocking) at a global position.
    void contextMenuEvent(QContextMenuEvent* event);
    // The context menu, filled for the present selection.
    QMenu* getContextMenu();

    int getTolerance() const;
    static constexpr int moveTolerance = 10;

    // Applies the actions and pushes them as one step of the stack's history.
    void pushStep(const std::vector<PLXAction*>& actions);

    // The delegates.
    PLXSelectionDelegate* getSelectionDelegate() const { return m_selection; }
    PLXCreationDelegate* getCreationDelegate() const { return m_creation; }
    PLXEditionDelegate* getEditionDelegate() const { return m_edition; }
    PLXThresholdingDelegate* getThresholdingDelegate() const { return m_thresholding; }
    PLXResamplingDelegate* getResamplingDelegate() const { return m_resampling; }
    PLXDouglasPeuckerDelegate* getDouglasPeuckerDelegate() const { return m_douglasPeucker; }
    PLXReoriginDelegate* getReoriginDelegate() const { return m_reorigin; }
    PLXFourierDelegate* getFourierDelegate() const { return m_fourier; }
    PLXSnakeDelegate* getSnakeDelegate() const { return m_snake; }
    PLXSplitDelegate* getSplitDelegate() const { return m_split; }
    // The tool active besides the selection tool, or null.
    PLXSliceEditWidgetMediatorDelegate* getActiveTool() const { return m_tool; }

    // Called by the tools as they start and end.
    void toolActivated(PLXSliceEditWidgetMediatorDelegate* tool);
    void toolDeactivated(PLXSliceEditWidgetMediatorDelegate* tool);

    QAction* cancelAction() const { return m_cancel; }
    QAction* deleteAction() const { return m_delete; }
    QAction* editPointsAction() const { return m_editPoints; }
    QAction* decimateAction() const { return m_decimate; }
    QAction* douglasPeuckerAction() const { return m_douglasPeuckerAction; }
    QAction* changeOriginAction() const { return m_changeOrigin; }
    QAction* resampleAction() const { return m_resample; }
    QAction* runSnakeAction() const { return m_runSnake; }
    QAction* snakeParametersAction() const { return m_snakeParameters; }
    QAction* smoothAction() const { return m_smooth; }
    QAction* selectAllAction() const { return m_selectAll; }
    QAction* splitAction() const { return m_splitAction; }
    QAction* propertiesAction() const { return m_properties; }

    QMenu* getDrawMenu() const { return m_drawMenu; }
    QMenu* getManualMenu() const { return m_manualMenu; }
    QMenu* getAutomaticMenu() const { return m_automaticMenu; }
    QMenu* getEditMenu() const { return m_editMenu; }
    QMenu* getSelectMenu() const { return m_selectMenu; }
    QMenu* getConvertMenu() const { return m_convertMenu; }

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // "Cancel": clears the selection and cancels the active tool.
    void cancel();
    // "Draw" > "Manual" / "Automatic" > model: clears the selection, then
    // starts drawing an item of that model.
    void drawManual(const QString& modelName);
    void drawAutomatic(const QString& modelName);
    // Rebuilds the menus listing models.
    void updateMenus();

signals:
    void lockRequested(bool on);

protected:
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action) override;
    void sliceItemSelectionEvent(PLXSliceItemSelectionEvent& e) override;
    void modelCreateEvent(PLXModelCreateEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;
    void modelItemCreateEvent(PLXModelItemCreateEvent& e) override;
    void modelItemDeleteEvent(PLXModelItemDeleteEvent& e) override;
    void modelItemVertexEvent(PLXModelItemVertexEvent& e) override;
    void modelItemConvertEvent(PLXModelItemConvertEvent& e) override;

private:
    void initialize();
    void viewSliceChanged();
    void itemChanged(const ModelItem& item);

    PLXSliceEditWidget* m_view;
    QPointer<PLXSliceEditWidgetCanvas> m_canvas;
    const QObject* m_canvasObject;
    QPointer<PLXSliceEditWidgetStatusBar> m_statusBar;
    StackSlice* m_slice = nullptr;
    // The stack of m_slice, kept to compare with: the slice may be gone.
    const Stack* m_sliceStack = nullptr;
    StackSliceSelectionInfo m_info;
    bool m_locked = false;
    bool m_settingSlice = false;

    PLXSelectionDelegate* m_selection = nullptr;
    PLXCreationDelegate* m_creation = nullptr;
    PLXEditionDelegate* m_edition = nullptr;
    PLXThresholdingDelegate* m_thresholding = nullptr;
    PLXResamplingDelegate* m_resampling = nullptr;
    PLXDouglasPeuckerDelegate* m_douglasPeucker = nullptr;
    PLXReoriginDelegate* m_reorigin = nullptr;
    PLXFourierDelegate* m_fourier = nullptr;
    PLXSnakeDelegate* m_snake = nullptr;
    PLXSplitDelegate* m_split = nullptr;
    PLXSliceEditWidgetMediatorDelegate* m_tool = nullptr;

    QAction* m_cancel = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_editPoints = nullptr;
    QAction* m_decimate = nullptr;
    QAction* m_douglasPeuckerAction = nullptr;
    QAction* m_changeOrigin = nullptr;
    QAction* m_resample = nullptr;
    QAction* m_runSnake = nullptr;
    QAction* m_snakeParameters = nullptr;
    QAction* m_smooth = nullptr;
    QAction* m_selectAll = nullptr;
    QAction* m_splitAction = nullptr;
    QAction* m_properties = nullptr;

    QMenu* m_drawMenu = nullptr;
    QMenu* m_manualMenu = nullptr;
    QMenu* m_automaticMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_selectMenu = nullptr;
    QMenu* m_convertMenu = nullptr;
    QMenu* m_contextMenu = nullptr;
    QList<QAction*> m_contextualActions;
};
