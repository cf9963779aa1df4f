#include "app/plxstackserver.h"

#include "app/plxstack.h"

#include <algorithm>

PLXStackServer PLXStackServer::stackServer;
int PLXStackServer::s_sessionNumStacks = 0;

PLXStackServer::~PLXStackServer()
{
    std::vector<PLXStack*> stacks;
    stacks.swap(m_stacks);
    for (auto it = stacks.rbegin(); it != stacks.rend(); ++it)
        delete *it;
}

void PLXStackServer::addStack(PLXStack* stack)
{
    if (!stack || find(stack) >= 0)
        return;
    m_stacks.push_back(stack);
    ++s_sessionNumStacks;
    PLXStackOpenEvent event(*stack);
    notifyEvent(event);
}

void PLXStackServer::removeStack(PLXStack* stack)
{
    if (find(stack) < 0)
        return;
    PLXStackCloseEvent event(*stack);
    notifyEvent(event);
    // A client may have closed it meanwhile.
    const int i = find(stack);
    if (i < 0)
        return;
    m_stacks.erase(m_stacks.begin() + i);
    delete stack;
}

void PLXStackServer::removeAllStacks()
{
    while (!m_stacks.empty())
        removeStack(m_stacks.back());
}

int PLXStackServer::find(const PLXStack* stack) const
{
    const auto it = std::find(m_stacks.begin(), m_stacks.end(), stack);
    return it == m_stacks.end() ? -1 : static_cast<int>(it - m_stacks.begin());
}

PLXStack* PLXStackServer::getNextStack(const PLXStack* stack) const
{
    const int i = find(stack);
    if (i < 0)
        return nullptr;
    return m_stacks[static_cast<std::size_t>((i + 1) % getNumStacks())];
}

PLXStack* PLXStackServer::getPreviousStack(const PLXStack* stack) const
{
    const int i = find(stack);
    if (i < 0)
        return nullptr;
    return m_stacks[static_cast<std::size_t>((i + getNumStacks() - 1) % getNumStacks())];
}
