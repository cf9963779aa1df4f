#pragma once
// PLXStackServer: the open stacks of the program, in the order they were
// opened, owned. One instance, PLXStackServer::stackServer; GUI thread only.
//
// addStack() takes the stack and announces it (stack open event);
// removeStack() announces the closing first (stack close event, so that
// windows showing it let go), then takes it out and deletes it.

#include "app/plxeventclient.h"

#include <vector>

class PLXStack;

class PLXStackServer : public PLXEventClient {
public:
    static PLXStackServer stackServer;

    PLXStackServer() = default;
    // Deletes the stacks still open, without announcing anything.
    ~PLXStackServer() override;

    // Appends the stack (nothing if it is open already), counts it, then
    // sends a stack open event.
    void addStack(PLXStack* stack);
    // Sends a stack close event, then removes and deletes the stack (nothing
    // for a stack that is not open).
    void removeStack(PLXStack* stack);
    // removeStack() on every stack, the last first.
    void removeAllStacks();

    int getNumStacks() const { return static_cast<int>(m_stacks.size()); }
    PLXStack* getStack(int i) const { return m_stacks[static_cast<std::size_t>(i)]; }
    // Index, or -1.
    int find(const PLXStack* stack) const;
    // The neighbours, wrapping around at the ends; null for a stack that is
    // not open.
    PLXStack* getNextStack(const PLXStack* stack) const;
    PLXStack* getPreviousStack(const PLXStack* stack) const;

    // The number of stacks added since start-up; it never decreases.
    static int getSessionNumStacks() { return s_sessionNumStacks; }

private:
    std::vector<PLXStack*> m_stacks;
    static int s_sessionNumStacks;
};
