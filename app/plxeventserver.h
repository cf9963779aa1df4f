#pragma once
// PLXEventServer: the event bus, one list of registered clients for the
// whole program (GUI thread only, not locked). See PLXEventClient for the
// delivery rules.
//
// The list is walked by index with its length read again before each step,
// so clients registered by a handler are reached later in the same delivery;
// a client unregistered during a delivery (a window deleting itself on a
// stack close event, say) is skipped without making the delivery skip any
// other client.

#include <vector>

class PLXAction;
class PLXEvent;
class PLXEventClient;

class PLXEventServer {
public:
    PLXEventServer() = delete;

    // Appends the client unless it is registered already.
    static void registerClient(PLXEventClient& client);
    // Removes it (nothing if absent).
    static void unregisterClient(PLXEventClient& client);
    static bool isRegistered(const PLXEventClient& client);
    static int getNumClients();

    // processEvent(event) on every client in registration order.
    static void notifyEvent(PLXEvent& event);
    // processAction(action) on every client in registration order.
    static void notifyAction(PLXAction& action);
    // atEventBatchEnd() on every client in registration order.
    static void notifyEventBatchEnd();

private:
    template <typename F>
    static void deliver(F&& f);
};
