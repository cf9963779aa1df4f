#include "app/slice/plxeditiondelegate.h"

#include "app/plxactionhistory.h"
#include "app/plxstack.h"
#include "app/plxvertexactions.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "gl/dialogs.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolBar>

namespace {

QString modeText(PLXEditionDelegate::Mode mode)
{
    switch (mode) {
    case PLXEditionDelegate::Mode::Insert:
        return QStringLiteral("INSERT");
    case PLXEditionDelegate::Mode::Delete:
        return QStringLiteral("DELETE");
    case PLXEditionDelegate::Mode::Move:
    default:
        return QStringLiteral("MOVE");
    }
}

} // namespace

PLXEditionDelegate::PLXEditionDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXSliceEditWidgetMediatorDelegate(mediator)
{
    setMode(modeText(Mode::Move));
    auto* group = new QActionGroup(this);
    const auto makeMode = [this, group](const QString& text, Mode mode) {
        auto* action = new QAction(text, group);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, mode] { setEditMode(mode); });
        return action;
    };
    m_moveAction = makeMode(tr("Move points"), Mode::Move);
    m_insertAction = makeMode(tr("Insert points"), Mode::Insert);
    m_deleteAction = makeMode(tr("Delete points"), Mode::Delete);
    m_moveAction->setChecked(true);
    m_endAction = new QAction(tr("End edition"), this);
    connect(m_endAction, &QAction::triggered, this, &PLXEditionDelegate::cancel);
}

PLXEditionDelegate::~PLXEditionDelegate() = default;

void PLXEditionDelegate::setEditMode(Mode mode)
{
    m_editMode = mode;
    m_moveAction->setChecked(mode == Mode::Move);
    m_insertAction->setChecked(mode == Mode::Insert);
    m_deleteAction->setChecked(mode == Mode::Delete);
    showMode(modeText(mode));
}

void PLXEditionDelegate::activate()
{
    StackSlice* s = slice();
    if (!s || isActive())
        return;
    ModelItem* edited = nullptr;
    for (ModelItem* item : s->getItems())
        if (item->getSelection().getSize() > 0)
            edited = item;
    if (!edited)
        return;
    m_item = edited;
    m_moving = -1;
    m_deleting = false;
    setMode(modeText(Mode::Move));
    PLXSliceEditWidgetMediatorDelegate::activate();
    setEditMode(Mode::Move);
    canvas().setCursor(Qt::PointingHandCursor);
    m_toolBar = new QToolBar(&canvas());
    m_toolBar->addActions({m_moveAction, m_insertAction, m_deleteAction});
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_endAction);
    m_toolBar->adjustSize();
    m_toolBar->move(10, 10);
    m_toolBar->show();
}

void PLXEditionDelegate::deactivate()
{
    if (m_move) {
        m_move->revert();
        m_move.reset();
    }
    m_moving = -1;
    m_item = nullptr;
    delete m_toolBar;
    m_toolBar = nullptr;
    PLXSliceEditWidgetMediatorDelegate::deactivate();
}

void PLXEditionDelegate::insertAt(const QPoint& position)
{
    const Vector<int> p{position.x(), position.y()};
    const int index = m_item->findInsertion(p, tolerance());
    if (index >= 0)
        pushStep({new PLXInsertVertexAction(*m_item, index, p)});
}

bool PLXEditionDelegate::removeAt(const QPoint& position)
{
    const int index = m_item->findNearestVertex(Vector<int>{position.x(), position.y()}, tolerance());
    if (index < 0)
        return false;
    const int n = m_item->getSize();
    QString refusal;
    switch (m_item->getGeometry()) {
    case MPrimitive::Polygon:
        if (n <= 3)
            refusal = tr("You cannot remove any vertex from this contour.\n\n"
                         "Reason: cannot make a closed contour with less than 3 vertices.");
        break;
    case MPrimitive::Polyline:
        if (n <= 2)
            refusal = tr("You cannot remove any vertex from this contour.\n\n"
                         "Reason: cannot make an open contour with less than 2 vertices.");
        break;
    default:
        if (n <= 1)
            refusal = tr("You cannot remove this vertex.\n\nReason: it is the last one.");
        break;
    }
    if (!refusal.isEmpty()) {
        m_deleting = false;
        Dialogs::warning(&canvas(), tr("Warning"), refusal);
        return false;
    }
    pushStep({new PLXRemoveVertexAction(*m_item, index, m_item->getVertices()[index])});
    return true;
}

void PLXEditionDelegate::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_item) {
        if (event->button() == Qt::RightButton)
            event->accept();
        return;
    }
    const QPoint at = imagePosition(event->position());
    switch (m_editMode) {
    case Mode::Move:
        m_moving = m_item->findNearestVertex(Vector<int>{at.x(), at.y()},
                                             PLXSliceEditWidgetMediator::moveTolerance);
        if (m_moving >= 0)
            m_from = m_item->getVertices()[m_moving];
        break;
    case Mode::Insert:
        insertAt(at);
        break;
    case Mode::Delete:
        m_deleting = true;
        removeAt(at);
        break;
    }
    event->accept();
}

void PLXEditionDelegate::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_item)
        return;
    const QPoint at = imagePosition(event->position());
    if (m_editMode == Mode::Move && m_moving >= 0 && (event->buttons() & Qt::LeftButton)) {
        if (!canvas().isInsideImage(at))
            return;
        // Each position is applied by an action from the vertex's first
        // place, so the last one alone says where the move ended.
        auto move = std::make_unique<PLXMoveVertexAction>(*m_item, m_moving, m_from, Vector<int>{at.x(), at.y()});
        move->apply();
        m_move = std::move(move);
    } else if (m_editMode == Mode::Delete && m_deleting && (event->buttons() & Qt::LeftButton)) {
        removeAt(at);
    }
    event->accept();
}

void PLXEditionDelegate::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_deleting = false;
    m_moving = -1;
    if (m_move) {
        std::unique_ptr<PLXMoveVertexAction> move = std::move(m_move);
        if (!move->isNull() && stack()) {
            PLXActionHistory& history = getSliceEditWidgetMediator().getStack()->history();
            history.openStep();
            history.push(move.release(), false);
            history.closeStep();
        }
    }
    event->accept();
}

void PLXEditionDelegate::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancel();
        event->accept();
    }
}

void PLXEditionDelegate::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
