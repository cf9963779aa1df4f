#include "app/plxregistrationaction.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "app/plxstack.h"
#include "stack/stackslice.h"

PLXRegistrationAction::PLXRegistrationAction(PLXStack& stack)
    : m_stack(&stack), m_lastRegisteredBefore(stack.getLastRegisteredSlice()),
      m_lastRegisteredAfter(stack.getLastRegisteredSlice())
{
}

void PLXRegistrationAction::addSlice(StackSlice& slice, const Registration& oldRegistration,
                                     const Registration& newRegistration)
{
    m_changes.push_back({&slice, oldRegistration, newRegistration});
    m_lastRegisteredAfter = slice.getName();
}

bool PLXRegistrationAction::isNull() const
{
    for (const Change& c : m_changes)
        if (c.before != c.after)
            return false;
    return true;
}

void PLXRegistrationAction::apply()
{
    for (const Change& c : m_changes)
        c.slice->setRegistration(c.after);
    m_stack->setLastRegisteredSlice(m_lastRegisteredAfter);
    setReverted(false);
    announce();
}

void PLXRegistrationAction::revert()
{
    for (const Change& c : m_changes)
        c.slice->setRegistration(c.before);
    m_stack->setLastRegisteredSlice(m_lastRegisteredBefore);
    setReverted(true);
    announce();
}

void PLXRegistrationAction::announce()
{
    // Registrations change no stack event of their own into a modification:
    // the stack is marked here, before the views hear of the new placements.
    m_stack->updateReconstruction();
    m_stack->setModified(true);
    PLXStackRegistrationEvent event(*m_stack);
    PLXEventServer::notifyEvent(event);
}

QString PLXRegistrationAction::description(bool) const
{
    if (m_changes.size() == 1)
        return QStringLiteral("Slice registration");
    return QStringLiteral("Registration of %1 slices").arg(m_changes.size());
}
