#include "app/slice/plxsliceeditwidgetmediator.h"

#include "app/plxaction.h"
#include "app/plxactionhistory.h"
#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "app/plxpreferences.h"
#include "app/plxsliceactions.h"
#include "app/plxstack.h"
#include "app/slice/plxactionsequence.h"
#include "app/slice/plxcreationdelegate.h"
#include "app/slice/plxdouglaspeuckerdelegate.h"
#include "app/slice/plxeditiondelegate.h"
#include "app/slice/plxfourierdelegate.h"
#include "app/slice/plxreorigindelegate.h"
#include "app/slice/plxresamplingdelegate.h"
#include "app/slice/plxselectiondelegate.h"
#include "app/slice/plxsliceeditwidget.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetstatusbar.h"
#include "app/slice/plxsnakedelegate.h"
#include "app/slice/plxsplitdelegate.h"
#include "app/slice/plxthresholdingdelegate.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>

#include <set>

PLXSliceEditWidgetMediator::PLXSliceEditWidgetMediator(PLXSliceEditWidget* view, QObject* parent)
    : QObject(parent ? parent : view), m_view(view), m_canvas(view->getCanvas()), m_canvasObject(view->getCanvas()),
      m_statusBar(new PLXSliceEditWidgetStatusBar)
{
    initialize();
}

PLXSliceEditWidgetMediator::~PLXSliceEditWidgetMediator()
{
    // The tools end; with the canvas gone already they are just forgotten.
    for (QObject* child : children())
        if (auto* tool = qobject_cast<PLXSliceEditWidgetMediatorDelegate*>(child)) {
            if (m_canvas && tool->isActive() && tool != m_selection)
                tool->cancel();
            tool->forget();
            if (m_canvas)
                m_canvas->removeEventFilter(tool);
        }
    m_tool = nullptr;
    delete m_drawMenu;
    delete m_editMenu;
    delete m_selectMenu;
    delete m_convertMenu;
    delete m_contextMenu;
    if (m_statusBar && !m_statusBar->parent())
        delete m_statusBar.data();
}

PLXSliceEditWidgetCanvas* PLXSliceEditWidgetMediator::getCanvas() const
{
    return m_canvas;
}

PLXSliceEditWidgetStatusBar* PLXSliceEditWidgetMediator::getStatusBar() const
{
    return m_statusBar;
}

PLXStack* PLXSliceEditWidgetMediator::getStack() const
{
    return m_slice ? dynamic_cast<PLXStack*>(m_slice->getStack()) : nullptr;
}

void PLXSliceEditWidgetMediator::initialize()
{
    // The mediator sees the canvas's events after every tool (filters
    // installed later run first): it shows the context menu.
    getCanvas()->installEventFilter(this);
    m_selection = new PLXSelectionDelegate(this);
    m_creation = new PLXCreationDelegate(this);
    m_edition = new PLXEditionDelegate(this);
    m_resampling = new PLXResamplingDelegate(this);
    m_douglasPeucker = new PLXDouglasPeuckerDelegate(this);
    m_reorigin = new PLXReoriginDelegate(this);
    m_fourier = new PLXFourierDelegate(this);
    m_split = new PLXSplitDelegate(this);
    m_thresholding = new PLXThresholdingDelegate(this);
    m_snake = new PLXSnakeDelegate(this);
    for (QObject* tool :
         std::initializer_list<QObject*>{m_selection, m_creation, m_edition, m_resampling, m_douglasPeucker,
                                         m_reorigin, m_fourier, m_split, m_thresholding, m_snake})
        getCanvas()->installEventFilter(tool);

    const auto makeAction = [this](const QString& text, const QKeySequence& key = {}) {
        auto* action = new QAction(text, this);
        if (!key.isEmpty()) {
            action->setShortcut(key);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            m_view->addAction(action);
        }
        return action;
    };
    m_cancel = makeAction(tr("Cancel"), QKeySequence(Qt::Key_Escape));
    m_delete = makeAction(tr("Delete"), QKeySequence(Qt::Key_Delete));
    m_editPoints = makeAction(tr("Edit points"), QKeySequence(Qt::Key_E));
    m_decimate = makeAction(tr("Decimate"));
    m_douglasPeuckerAction = makeAction(tr("Decimate (Douglas-Peucker)"));
    m_changeOrigin = makeAction(tr("Change origin"));
    m_resample = makeAction(tr("Resample"), QKeySequence(Qt::Key_R));
    m_runSnake = makeAction(tr("Run Snake"), QKeySequence(Qt::Key_S));
    m_snakeParameters = makeAction(tr("Snake parameters..."), QKeySequence(Qt::SHIFT | Qt::Key_S));
    m_smooth = makeAction(tr("Smooth (Fourier)"));
    m_selectAll = makeAction(tr("Select all"), QKeySequence(Qt::CTRL | Qt::Key_A));
    m_splitAction = makeAction(tr("Split contour"));
    m_properties = makeAction(tr("Properties..."));

    connect(m_cancel, &QAction::triggered, this, &PLXSliceEditWidgetMediator::cancel);
    connect(m_delete, &QAction::triggered, m_selection, &PLXSelectionDelegate::removeSelection);
    connect(m_editPoints, &QAction::triggered, m_edition, [this] {
        if (!m_edition->isActive())
            m_edition->activate();
    });
    const auto start = [this](QAction* action, PLXSliceEditWidgetMediatorDelegate* tool) {
        connect(action, &QAction::triggered, tool, [tool] {
            if (!tool->isActive())
                tool->activate();
        });
    };
    start(m_douglasPeuckerAction, m_douglasPeucker);
    start(m_changeOrigin, m_reorigin);
    start(m_resample, m_resampling);
    start(m_smooth, m_fourier);
    start(m_splitAction, m_split);
    start(m_runSnake, m_snake);
    connect(m_snakeParameters, &QAction::triggered, m_snake, [this] {
        if (!m_snake->isActive())
            m_snake->configure();
    });
    connect(m_decimate, &QAction::triggered, m_selection, &PLXSelectionDelegate::decimateSelection);
    connect(m_selectAll, &QAction::triggered, m_selection, &PLXSelectionDelegate::selectAllModelItems);
    connect(m_properties, &QAction::triggered, m_selection, &PLXSelectionDelegate::editSelectionProperties);

    m_drawMenu = new QMenu(tr("Draw"));
    m_manualMenu = m_drawMenu->addMenu(tr("Manual"));
    m_automaticMenu = m_drawMenu->addMenu(tr("Automatic"));
    m_editMenu = new QMenu(tr("Edit"));
    m_editMenu->addActions({m_delete, m_editPoints, m_decimate, m_douglasPeuckerAction, m_changeOrigin,
                            m_resample, m_runSnake, m_snakeParameters, m_smooth, m_splitAction});
    m_editMenu->addSeparator();
    m_editMenu->addActions({m_properties, m_cancel});
    m_selectMenu = new QMenu(tr("Select"));
    m_convertMenu = new QMenu(tr("Convert"));
    m_contextMenu = new QMenu;

    connect(m_view, &PLXSliceEditWidget::sliceChanged, this, &PLXSliceEditWidgetMediator::viewSliceChanged);
    connect(this, &PLXSliceEditWidgetMediator::lockRequested, m_view, &PLXSliceEditWidget::lockRequested);
    viewSliceChanged();
}

// Slice ---------------------------------------------------------------------------------

void PLXSliceEditWidgetMediator::setSlice(StackSlice* slice)
{
    if (slice == m_view->getSlice() && slice == m_slice)
        return;
    m_view->setSlice(slice);
    // A view without the slice-change notice still gets the editor along.
    if (m_slice != m_view->getSlice())
        viewSliceChanged();
}

void PLXSliceEditWidgetMediator::clear()
{
    setSlice(nullptr);
}

void PLXSliceEditWidgetMediator::viewSliceChanged()
{
    StackSlice* slice = m_view->getSlice();
    if (slice == m_slice && (m_selection->isActive() || !slice))
        return;
    if (m_tool)
        m_tool->cancel();
    if (m_selection->isActive())
        m_selection->deactivate();
    m_slice = slice;
    // A tool's message speaks of a slice of the stack it worked on: it goes
    // when the view leaves that stack (closed, or another one shown).
    const Stack* stack = m_slice ? m_slice->getStack() : nullptr;
    if (stack != m_sliceStack && m_statusBar)
        m_statusBar->showMessage(QString());
    m_sliceStack = stack;
    if (m_slice)
        m_selection->activate();
    updateSelection();
    updateMenus();
}

// Selection summary and enabling ----------------------------------------------------------------

void PLXSliceEditWidgetMediator::updateSelection()
{
    StackSliceSelectionInfo info;
    info.setSlice(m_slice);
    info.update();
    selectionChange(info);
}

void PLXSliceEditWidgetMediator::announceSelection()
{
    if (!m_slice)
        return;
    StackSliceSelectionInfo info;
    info.setSlice(m_slice);
    info.update();
    PLXSliceItemSelectionEvent event(*m_slice, info);
    PLXEventServer::notifyEvent(event);
    // Whether or not the event reached this editor (it does when registered).
    selectionChange(info);
}

void PLXSliceEditWidgetMediator::selectionChange(const StackSliceSelectionInfo& info)
{
    m_info = info;
    const int selected = info.getNumSelectedItems();
    const bool some = selected > 0;
    const bool one = selected == 1;
    const MPrimitive geometry = info.selectionGeometry();
    const bool whole = one && !info.partialSelection();
    const bool onePolygon = whole && geometry == MPrimitive::Polygon;

    m_cancel->setEnabled(true);
    m_delete->setEnabled(some);
    m_editPoints->setEnabled(one);
    m_decimate->setEnabled(some);
    m_douglasPeuckerAction->setEnabled(whole &&
                                       (geometry == MPrimitive::Polygon || geometry == MPrimitive::Polyline));
    for (QAction* action : {m_changeOrigin, m_resample, m_runSnake, m_snakeParameters, m_smooth, m_splitAction})
        action->setEnabled(onePolygon);
    m_selectAll->setEnabled(true);
    // A whole point set is drawn as its model says (the model dialog edits
    // that); part of one may be given its own look, which splits it off.
    const bool wholePointSet = one && geometry == MPrimitive::Polypoint && !info.partialSelection();
    m_properties->setEnabled(!(selected > 1) && !wholePointSet);

    m_drawMenu->setEnabled(true);
    m_editMenu->setEnabled(some);
    m_selectMenu->setEnabled(!some);
    m_convertMenu->setEnabled(some && info.homogeneousSelection());
    for (QAction* action : m_convertMenu->actions())
        action->setEnabled(action->data().toInt() == static_cast<int>(geometry));
}

void PLXSliceEditWidgetMediator::updateMenus()
{
    m_manualMenu->clear();
    m_automaticMenu->clear();
    m_selectMenu->clear();
    m_convertMenu->clear();
    m_selectMenu->addAction(m_selectAll);
    m_selectMenu->addSeparator();
    const Stack* stack = m_slice ? m_slice->getStack() : nullptr;
    if (stack) {
        std::set<const Model*> onSlice;
        for (const ModelItem* item : m_slice->getItems())
            onSlice.insert(item->getModel());
        for (int i = 0; i < stack->getNumModels(); ++i) {
            const Model* model = stack->getModel(i);
            const QString name = QString::fromStdString(model->getName());
            m_manualMenu->addAction(name, this, [this, name] { drawManual(name); });
            m_automaticMenu->addAction(name, this, [this, name] { drawAutomatic(name); });
            if (onSlice.count(model))
                m_selectMenu->addAction(name, m_selection, [this, name] { m_selection->selectModelItems(name); });
            QAction* convert =
                m_convertMenu->addAction(name, m_selection, [this, name] { m_selection->convertSelection(name); });
            convert->setData(static_cast<int>(model->getGeometry()));
        }
    }
    selectionChange(m_info);
}

// Tools -------------------------------------------------------------------------------------

void PLXSliceEditWidgetMediator::cancel()
{
    if (m_tool)
        m_tool->cancel();
    if (m_selection->isActive())
        m_selection->cancelSelection();
}

void PLXSliceEditWidgetMediator::drawManual(const QString& modelName)
{
    if (!m_slice)
        return;
    m_selection->cancelSelection();
    m_creation->activate(modelName);
}

void PLXSliceEditWidgetMediator::drawAutomatic(const QString& modelName)
{
    if (!m_slice)
        return;
    m_selection->cancelSelection();
    m_thresholding->activate(modelName);
}

void PLXSliceEditWidgetMediator::toolActivated(PLXSliceEditWidgetMediatorDelegate* tool)
{
    if (tool == m_selection)
        return;
    if (m_tool && m_tool != tool)
        m_tool->cancel();
    m_tool = tool;
    m_statusBar->setMode(tool->getMode().isEmpty() ? QStringLiteral("READY") : tool->getMode());
    if (tool->isLocking())
        requestLock(true);
}

void PLXSliceEditWidgetMediator::toolDeactivated(PLXSliceEditWidgetMediatorDelegate* tool)
{
    if (tool != m_tool)
        return;
    m_tool = nullptr;
    m_statusBar->setMode(QStringLiteral("READY"));
    getCanvas()->unsetCursor();
    if (m_locked)
        requestLock(false);
}

void PLXSliceEditWidgetMediator::requestLock(bool on)
{
    if (on == m_locked)
        return;
    m_locked = on;
    emit lockRequested(on);
}

int PLXSliceEditWidgetMediator::getTolerance() const
{
    return static_cast<int>(1.0 / getCanvas()->getZoomFactor()) + PLXPreferences::getClickTolerance();
}

void PLXSliceEditWidgetMediator::pushStep(const std::vector<PLXAction*>& actions)
{
    if (actions.empty())
        return;
    PLXStack* stack = getStack();
    if (!stack) {
        // No history to keep them: the changes are made all the same.
        for (PLXAction* action : actions) {
            action->apply();
            delete action;
        }
        return;
    }
    // Several actions of one gesture may depend on each other's order (items
    // appended to the same lists): they go as one sequence, undone backwards.
    PLXAction* step = actions.size() == 1 ? actions.front() : new PLXActionSequence(actions);
    PLXActionHistory& history = stack->history();
    history.openStep();
    history.push(step, true);
    history.closeStep();
}

// Context menu ---------------------------------------------------------------------------

void PLXSliceEditWidgetMediator::addContextualMenuAction(QAction* action)
{
    if (action && !m_contextualActions.contains(action))
        m_contextualActions.append(action);
}

QMenu* PLXSliceEditWidgetMediator::getContextMenu()
{
    updateMenus();
    m_contextMenu->clear();
    m_contextMenu->addMenu(m_drawMenu);
    m_contextMenu->addMenu(m_editMenu);
    m_contextMenu->addMenu(m_selectMenu);
    m_contextMenu->addMenu(m_convertMenu);
    m_contextMenu->addAction(m_delete);
    m_contextMenu->addSeparator();
    m_contextMenu->addActions({m_view->getZoomInAction(), m_view->getZoomOutAction(),
                               m_view->getActualSizeAction(), m_view->getFitAction()});
    QList<QAction*> extra = m_view->getContextualMenuActions();
    for (QAction* action : m_contextualActions)
        if (!extra.contains(action))
            extra.append(action);
    if (!extra.isEmpty()) {
        m_contextMenu->addSeparator();
        m_contextMenu->addActions(extra);
    }
    return m_contextMenu;
}

void PLXSliceEditWidgetMediator::contextMenuEvent(QContextMenuEvent* event)
{
    getContextMenu()->popup(event->globalPos());
    event->accept();
}

bool PLXSliceEditWidgetMediator::eventFilter(QObject* watched, QEvent* event)
{
    // Compared as objects: the canvas may be half destroyed when its last
    // events pass here.
    if (event->type() == QEvent::ContextMenu && watched == m_canvasObject) {
        contextMenuEvent(static_cast<QContextMenuEvent*>(event));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// Events -------------------------------------------------------------------------------------

void PLXSliceEditWidgetMediator::itemChanged(const ModelItem& item)
{
    if (m_slice && item.getSlice() == m_slice)
        updateSelection();
}

void PLXSliceEditWidgetMediator::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (m_slice && m_slice->getStack() == static_cast<Stack*>(&e.getStack()))
        clear();
}

void PLXSliceEditWidgetMediator::processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action)
{
    if (m_slice && action.getStack().findSlice(m_slice) < 0)
        clear();
    else
        updateMenus();
}

void PLXSliceEditWidgetMediator::sliceItemSelectionEvent(PLXSliceItemSelectionEvent& e)
{
    if (m_slice && &e.getSlice() == m_slice)
        selectionChange(e.getSelectionInfo());
}

void PLXSliceEditWidgetMediator::modelCreateEvent(PLXModelCreateEvent&)
{
    updateMenus();
}

void PLXSliceEditWidgetMediator::modelDeleteEvent(PLXModelDeleteEvent&)
{
    updateMenus();
}

void PLXSliceEditWidgetMediator::modelPropertiesEvent(PLXModelPropertiesEvent&)
{
    updateMenus();
}

// The Select menu lists the models present on the slice: the first item of
// a model, or its last one gone, changes it.
void PLXSliceEditWidgetMediator::modelItemCreateEvent(PLXModelItemCreateEvent& e)
{
    if (m_slice && e.getItem().getSlice() == m_slice)
        updateMenus();
    itemChanged(e.getItem());
}

void PLXSliceEditWidgetMediator::modelItemDeleteEvent(PLXModelItemDeleteEvent& e)
{
    if (m_slice && e.getItem().getSlice() == m_slice)
        updateMenus();
    itemChanged(e.getItem());
}

void PLXSliceEditWidgetMediator::modelItemVertexEvent(PLXModelItemVertexEvent& e)
{
    itemChanged(e.getItem());
}

void PLXSliceEditWidgetMediator::modelItemConvertEvent(PLXModelItemConvertEvent& e)
{
    itemChanged(e.getItem());
    updateMenus();
}
