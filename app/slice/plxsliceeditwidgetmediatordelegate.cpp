#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include "app/plxstack.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/slice/plxsliceeditwidgetstatusbar.h"

PLXSliceEditWidgetMediatorDelegate::PLXSliceEditWidgetMediatorDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXImageWidgetMediatorDelegate(mediator), m_editor(mediator)
{
}

void PLXSliceEditWidgetMediatorDelegate::activate()
{
    PLXImageWidgetMediatorDelegate::activate();
    m_editor->toolActivated(this);
}

void PLXSliceEditWidgetMediatorDelegate::deactivate()
{
    PLXImageWidgetMediatorDelegate::deactivate();
    m_editor->toolDeactivated(this);
}

void PLXSliceEditWidgetMediatorDelegate::cancel()
{
    if (isActive())
        deactivate();
}

PLXSliceEditWidgetCanvas& PLXSliceEditWidgetMediatorDelegate::canvas() const
{
    return *m_editor->getCanvas();
}

StackSlice* PLXSliceEditWidgetMediatorDelegate::slice() const
{
    return m_editor->getSlice();
}

PLXStack* PLXSliceEditWidgetMediatorDelegate::stack() const
{
    return m_editor->getStack();
}

QPoint PLXSliceEditWidgetMediatorDelegate::imagePosition(const QPointF& canvasPosition) const
{
    return canvas().toModel(canvasPosition.toPoint());
}

int PLXSliceEditWidgetMediatorDelegate::tolerance() const
{
    return m_editor->getTolerance();
}

void PLXSliceEditWidgetMediatorDelegate::pushStep(const std::vector<PLXAction*>& actions) const
{
    m_editor->pushStep(actions);
}

void PLXSliceEditWidgetMediatorDelegate::showMode(const QString& mode)
{
    m_mode = mode;
    if (isActive())
        m_editor->getStatusBar()->setMode(mode.isEmpty() ? QStringLiteral("READY") : mode);
}
