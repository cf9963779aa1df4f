#include "app/plxeventserver.h"

#include "app/plxeventclient.h"

#include <algorithm>

namespace {

// The clients, and the positions of the deliveries under way (nested
// deliveries each have one), which a removal moves back so that no client
// is skipped.
struct Registry {
    std::vector<PLXEventClient*> clients;
    std::vector<int*> cursors;
};

Registry& registry()
{
    // Built on first use: the global stack server registers during static
    // initialisation.
    static Registry r;
    return r;
}

} // namespace

void PLXEventServer::registerClient(PLXEventClient& client)
{
    Registry& r = registry();
    if (std::find(r.clients.begin(), r.clients.end(), &client) == r.clients.end())
        r.clients.push_back(&client);
}

void PLXEventServer::unregisterClient(PLXEventClient& client)
{
    Registry& r = registry();
    const auto it = std::find(r.clients.begin(), r.clients.end(), &client);
    if (it == r.clients.end())
        return;
    const int index = static_cast<int>(it - r.clients.begin());
    r.clients.erase(it);
    for (int* cursor : r.cursors)
        if (*cursor >= index)
            --*cursor;
}

bool PLXEventServer::isRegistered(const PLXEventClient& client)
{
    const Registry& r = registry();
    return std::find(r.clients.begin(), r.clients.end(), &client) != r.clients.end();
}

int PLXEventServer::getNumClients()
{
    return static_cast<int>(registry().clients.size());
}

template <typename F>
void PLXEventServer::deliver(F&& f)
{
    Registry& r = registry();
    int i = 0;
    r.cursors.push_back(&i);
    try {
        for (; i < static_cast<int>(r.clients.size()); ++i)
            f(*r.clients[static_cast<std::size_t>(i)]);
    } catch (...) {
        r.cursors.pop_back();
        throw;
    }
    r.cursors.pop_back();
}

void PLXEventServer::notifyEvent(PLXEvent& event)
{
    deliver([&event](PLXEventClient& client) { client.processEvent(event); });
}

void PLXEventServer::notifyAction(PLXAction& action)
{
    deliver([&action](PLXEventClient& client) { client.processAction(action); });
}

void PLXEventServer::notifyEventBatchEnd()
{
    deliver([](PLXEventClient& client) { client.atEventBatchEnd(); });
}
