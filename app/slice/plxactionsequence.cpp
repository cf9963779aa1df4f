#include "app/slice/plxactionsequence.h"

#include <utility>

PLXActionSequence::PLXActionSequence(const std::vector<PLXAction*>& actions, QString description)
    : m_description(std::move(description))
{
    for (PLXAction* action : actions)
        m_actions.emplace_back(action);
}

void PLXActionSequence::apply()
{
    for (const auto& action : m_actions)
        action->apply();
    setReverted(false);
}

void PLXActionSequence::revert()
{
    for (auto it = m_actions.rbegin(); it != m_actions.rend(); ++it)
        (*it)->revert();
    setReverted(true);
}

QString PLXActionSequence::description(bool detailed) const
{
    if (!m_description.isEmpty())
        return m_description;
    return m_actions.empty() ? PLXAction::description(detailed) : m_actions.front()->description(detailed);
}
