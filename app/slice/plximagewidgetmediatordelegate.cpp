#include "app/slice/plximagewidgetmediatordelegate.h"

#include "numerics/exception.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabletEvent>

#include <iostream>

namespace {

bool isInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
    case QEvent::TabletMove:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

} // namespace

PLXImageWidgetMediatorDelegate::PLXImageWidgetMediatorDelegate(QObject* mediator)
    : QObject(mediator), m_mediator(mediator)
{
}

PLXImageWidgetMediatorDelegate::~PLXImageWidgetMediatorDelegate()
{
    if (m_active)
        std::cerr << "PLXImageWidgetMediatorDelegate::~PLXImageWidgetMediatorDelegate(): "
                     "Destructor called while delegate is active\n";
}

void PLXImageWidgetMediatorDelegate::activate()
{
    if (m_active)
        throw ProgramError("void PLXImageWidgetMediatorDelegate::activate()",
                           "Activating already active delegate");
    m_active = true;
}

void PLXImageWidgetMediatorDelegate::deactivate()
{
    if (!m_active)
        throw ProgramError("void PLXImageWidgetMediatorDelegate::deactivate()", "Dectivating inactive delegate");
    m_active = false;
}

bool PLXImageWidgetMediatorDelegate::anyEvent(QEvent* event)
{
    return m_blocking && isInput(event);
}

bool PLXImageWidgetMediatorDelegate::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_active)
        return QObject::eventFilter(watched, event);
    bool handled = true;
    event->ignore();
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        mouseDoubleClickEvent(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonPress:
        mousePressEvent(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseMove:
        mouseMoveEvent(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonRelease:
        mouseReleaseEvent(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::TabletMove:
        tabletMoveEvent(static_cast<QTabletEvent*>(event));
        break;
    case QEvent::TabletPress:
        tabletPressEvent(static_cast<QTabletEvent*>(event));
        break;
    case QEvent::TabletRelease:
        tabletReleaseEvent(static_cast<QTabletEvent*>(event));
        break;
    case QEvent::KeyPress:
        keyPressEvent(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::KeyRelease:
        keyReleaseEvent(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::ContextMenu:
        contextMenuEvent(static_cast<QContextMenuEvent*>(event));
        break;
    default:
        handled = false;
        break;
    }
    // A handler may have ended the delegate; what it accepted is still consumed.
    if (handled && event->isAccepted())
        return true;
    if (m_active && anyEvent(event))
        return true;
    // Events the delegate leaves go on as they came.
    if (handled)
        event->accept();
    return QObject::eventFilter(watched, event);
}
