#include "app/slice/plxcreationdelegate.h"

#include "app/plxitemactions.h"
#include "app/plxpreferences.h"
#include "app/plxvertexactions.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "geometry/curve.h"
#include "geometry/curvedecimation.h"
#include "gl/dialogs.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabletEvent>

PLXCreationDelegate::PLXCreationDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXSliceEditWidgetMediatorDelegate(mediator)
{
    setMode(QStringLiteral("CREATE"));
}

PLXCreationDelegate::~PLXCreationDelegate()
{
    delete m_item;
}

void PLXCreationDelegate::activate(const QString& modelName)
{
    StackSlice* s = slice();
    Stack* document = s ? s->getStack() : nullptr;
    if (!document)
        return;
    const int index = document->findModel(modelName.toStdString());
    if (index < 0)
        return;
    if (isActive())
        cancel();
    m_item = new ModelItem(document->getModel(index), s);
    m_drawing = false;
    PLXSliceEditWidgetMediatorDelegate::activate();
    canvas().setExtraItem(m_item);
    canvas().setCursor(Qt::CrossCursor);
    canvas().setFocus(Qt::OtherFocusReason);
}

void PLXCreationDelegate::deactivate()
{
    discardItem();
    m_drawing = false;
    PLXSliceEditWidgetMediatorDelegate::deactivate();
}

void PLXCreationDelegate::cancel()
{
    if (isActive())
        deactivate();
    else
        discardItem();
}

void PLXCreationDelegate::discardItem()
{
    if (canvas().getExtraItem() == m_item)
        canvas().clearExtraItem();
    delete m_item;
    m_item = nullptr;
}

void PLXCreationDelegate::append(const QPoint& position)
{
    if (!m_item || !canvas().isInsideImage(position))
        return;
    const int n = m_item->getSize();
    if (n > 0) {
        const Vector<int>& last = m_item->getVertices()[n - 1];
        if (last[0] == position.x() && last[1] == position.y())
            return;
    }
    m_item->appendVertex(Vector<int>{position.x(), position.y()});
    canvas().updateExtraItem();
}

void PLXCreationDelegate::finish()
{
    if (!isActive() || !m_item)
        return;
    ModelItem* item = m_item;
    const int n = item->getSize();
    const MPrimitive geometry = item->getGeometry();
    if (n == 0) {
        cancel();
        return;
    }
    if (geometry == MPrimitive::Polygon && n < 3) {
        cancel();
        Dialogs::warning(&canvas(), tr("User error"),
                         tr("Cannot create a closed contour with less than 3 points.\n\nCreation canceled."));
        return;
    }
    if (geometry == MPrimitive::Polyline && n < 2) {
        cancel();
        Dialogs::warning(&canvas(), tr("User error"),
                         tr("Cannot create an open contour with less than 2 points.\n\nCreation canceled."));
        return;
    }
    if (geometry == MPrimitive::Polygon)
        item->setClockwise(false);
    if ((geometry == MPrimitive::Polygon || geometry == MPrimitive::Polyline) &&
        PLXPreferences::autoDecimationEnabled()) {
        Curve<int> curve(Vertices<int>(item->getVertices()), geometry == MPrimitive::Polyline);
        curve.detach();
        CurveDecimation<int> decimation;
        decimation.setRecursive(true);
        decimation.apply(curve);
        if (curve.getNumVertices() > 2) {
            Vertices<int> vertices(2, 0);
            for (int i = 0; i < curve.getNumVertices(); ++i)
                vertices.append(curve[i]);
            item->setVertices(vertices);
        }
    }

    // The item leaves the tool: the action (or the buddy) takes it over.
    canvas().clearExtraItem();
    m_item = nullptr;
    StackSlice* s = slice();
    ModelItem* buddy = geometry == MPrimitive::Polypoint && s ? s->buddyItem(item) : nullptr;
    if (buddy) {
        pushStep({new PLXItemAppendPointsAction(*buddy, item->getVertices())});
        delete item;
    } else {
        pushStep({new PLXItemCreationAction(*item)});
    }
    deactivate();
}

void PLXCreationDelegate::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        cancel();
    } else if (event->button() == Qt::LeftButton) {
        m_cursor = imagePosition(event->position());
        append(m_cursor);
        m_drawing = true;
    }
    event->accept();
}

void PLXCreationDelegate::mouseMoveEvent(QMouseEvent* event)
{
    m_cursor = imagePosition(event->position());
    if (m_drawing && (event->buttons() & Qt::LeftButton) && m_item &&
        m_item->getGeometry() != MPrimitive::Polypoint)
        append(m_cursor);
    event->accept();
}

void PLXCreationDelegate::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_drawing = false;
    event->accept();
}

void PLXCreationDelegate::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        append(imagePosition(event->position()));
        finish();
    }
    event->accept();
}

void PLXCreationDelegate::tabletPressEvent(QTabletEvent* event)
{
    m_cursor = imagePosition(event->position());
    append(m_cursor);
    m_drawing = true;
    event->accept();
}

void PLXCreationDelegate::tabletMoveEvent(QTabletEvent* event)
{
    m_cursor = imagePosition(event->position());
    if (m_drawing && m_item && m_item->getGeometry() != MPrimitive::Polypoint)
        append(m_cursor);
    event->accept();
}

void PLXCreationDelegate::tabletReleaseEvent(QTabletEvent* event)
{
    m_drawing = false;
    event->accept();
}

void PLXCreationDelegate::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
        if (m_item && m_item->getSize() > 1) {
            m_item->removeVertex(m_item->getSize() - 1);
            canvas().updateExtraItem();
        } else {
            cancel();
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        finish();
        break;
    case Qt::Key_X:
        append(m_cursor);
        break;
    case Qt::Key_Escape:
        cancel();
        break;
    default:
        return;
    }
    event->accept();
}

void PLXCreationDelegate::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

void PLXCreationDelegate::contextMenuEvent(QContextMenuEvent* event)
{
    // The right button cancels the drawing; no menu meanwhile.
    event->accept();
}
