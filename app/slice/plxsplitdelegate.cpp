#include "app/slice/plxsplitdelegate.h"

#include "app/plxitemactions.h"
#include "app/slice/plxoutlines.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

PLXSplitDelegate::PLXSplitDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXSliceEditWidgetMediatorDelegate(mediator)
{
}

void PLXSplitDelegate::activate()
{
    StackSlice* s = slice();
    if (!s || isActive())
        return;
    const std::vector<ModelItem*> selected = s->getSelectedItems();
    if (selected.size() != 1 || !selected.front()->getSelection().isComplete() || !selected.front()->isClosed())
        return;
    m_item = selected.front();
    m_drawing = false;
    PLXSliceEditWidgetMediatorDelegate::activate();
    canvas().setCursor(Qt::CrossCursor);
}

void PLXSplitDelegate::deactivate()
{
    m_item = nullptr;
    m_drawing = false;
    canvas().clearRubberLine();
    PLXSliceEditWidgetMediatorDelegate::deactivate();
}

bool PLXSplitDelegate::split(const QPoint& from, const QPoint& to)
{
    if (!m_item || from == to)
        return false;
    const Curve<int> outline = plxoutlines::toCurve<int>(m_item->getVertices(), false);
    Curve<int> line(2, 2, 0, 0, true);
    line[0][0] = from.x();
    line[0][1] = from.y();
    line[1][0] = to.x();
    line[1][1] = to.y();
    std::vector<PLXAction*> actions;
    for (const Curve<int>& piece : outline.split(line)) {
        if (piece.getNumVertices() < 3)
            continue;
        auto* item = new ModelItem(m_item->getModel(), m_item->getSlice());
        item->setProperties(m_item->getProperties());
        item->setVertices(plxoutlines::toVertices(piece));
        actions.push_back(new PLXItemCreationAction(*item));
    }
    if (actions.size() < 2) {
        for (PLXAction* action : actions)
            delete action;
        return false;
    }
    actions.push_back(new PLXItemDeletionAction(*m_item));
    pushStep(actions);
    return true;
}

void PLXSplitDelegate::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        cancel();
    } else if (event->button() == Qt::LeftButton) {
        m_from = imagePosition(event->position());
        m_drawing = true;
        canvas().setRubberLine(m_from, m_from);
    }
    event->accept();
}

void PLXSplitDelegate::mouseMoveEvent(QMouseEvent* event)
{
    if (m_drawing && (event->buttons() & Qt::LeftButton))
        canvas().setRubberLine(m_from, imagePosition(event->position()));
    event->accept();
}

void PLXSplitDelegate::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (!m_drawing || event->button() != Qt::LeftButton)
        return;
    m_drawing = false;
    canvas().clearRubberLine();
    const bool done = split(m_from, imagePosition(event->position()));
    if (done) {
        deactivate();
        getSliceEditWidgetMediator().announceSelection();
    }
}

void PLXSplitDelegate::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancel();
        event->accept();
    }
}

void PLXSplitDelegate::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
