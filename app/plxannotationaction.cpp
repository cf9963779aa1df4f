#include "app/plxannotationaction.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "app/plxstack.h"
#include "stack/stackslice.h"

#include <utility>

PLXAnnotationAction::PLXAnnotationAction(PLXStack& stack, std::string text)
    : m_stack(&stack), m_old(stack.getAnnotation()), m_new(std::move(text))
{
}

PLXAnnotationAction::PLXAnnotationAction(PLXStack& stack, StackSlice& slice, std::string text)
    : m_stack(&stack), m_slice(&slice), m_old(slice.getAnnotation()), m_new(std::move(text))
{
}

void PLXAnnotationAction::apply()
{
    set(m_new);
    setReverted(false);
}

void PLXAnnotationAction::revert()
{
    set(m_old);
    setReverted(true);
}

void PLXAnnotationAction::set(const std::string& text)
{
    if (m_slice) {
        m_slice->setAnnotation(text);
        PLXSliceAnnotationEvent event(*m_slice);
        PLXEventServer::notifyEvent(event);
    } else {
        m_stack->setAnnotation(text);
        m_stack->setModified(true);
    }
}

QString PLXAnnotationAction::description(bool) const
{
    return m_slice ? QStringLiteral("Annotate slice") : QStringLiteral("Annotate stack");
}
