#include "app/plxaction.h"

QString PLXAction::description(bool) const
{
    return QStringLiteral("(No description available for this action)");
}

void PLXActionList::apply()
{
    for (const auto& action : m_actions)
        action->apply();
}

void PLXActionList::revert()
{
    for (const auto& action : m_actions)
        action->revert();
}
