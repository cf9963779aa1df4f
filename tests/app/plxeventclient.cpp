#include "app/plxeventclient.h"

#include "app/plxeventserver.h"
#include "apptesting.h"
#include "numerics/exception.h"
#include "stack/stackslice.h"

#include <gtest/gtest.h>

#include <functional>

using namespace apptest;

namespace {

// A client that runs a reaction on the first event it hears.
class Reacting : public PLXEventClient {
public:
    std::function<void()> reaction;
    int heard = 0;

protected:
    void sliceNameEvent(PLXSliceNameEvent&) override
    {
        ++heard;
        if (reaction) {
            auto r = std::move(reaction);
            reaction = nullptr;
            r();
        }
    }
};

} // namespace

// A slice spacing change reaches its stack, which recomputes its
// reconstruction and sends a stack slice spacing event; delivering that one
// marks the stack modified, whose modify event goes to every client, all
// before the slice spacing event reaches the clients registered after the
// stack.
TEST(PLXEventServer, NestedEventsAreDeliveredDepthFirst)
{
    std::vector<std::string> log;
    Recorder before("before", &log);
    auto stack = sampleStack();
    Recorder after("after", &log);

    StackSlice& slice = *stack->getSlice(5);
    slice.setRelativePosition(11.0f);
    PLXSliceSpacingEvent event(slice);
    before.notifyEvent(event);

    const std::vector<std::string> expected = {"before 11", "before 6", "before 4",
                                               "after 4",   "after 6",  "after 11"};
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(stack->isModified());
    // The nested events name the stack as their sender, the outer one its own.
    EXPECT_EQ(after.senders, (std::vector<PLXEventClient*>{stack.get(), stack.get(), &before}));
    // The reconstruction follows the new spacing: the z of every slice is its
    // absolute position, as the stack computes it.
    const std::vector<float> positions = stack->absolutePositions();
    ASSERT_EQ(stack->getReconstruction().getZMap().getSize(), static_cast<int>(positions.size()));
    for (int i = 0; i < stack->getNumSlices(); ++i)
        EXPECT_FLOAT_EQ(static_cast<float>(stack->getReconstruction().getZMap()[i]), positions[static_cast<std::size_t>(i)]);
    EXPECT_FLOAT_EQ(positions[5] - positions[4], 11.0f);
}

// Clients made during a delivery hear the rest of it; clients gone during a
// delivery make no other client miss it; codes beyond the last are ignored.
TEST(PLXEventServer, RegistrationDuringDelivery)
{
    StackSlice slice("s");
    std::unique_ptr<Reacting> late;
    auto doomed = std::make_unique<Reacting>();
    Reacting first;
    first.reaction = [&] {
        late = std::make_unique<Reacting>();
        doomed.reset();
    };
    Reacting last;
    PLXSliceNameEvent event(slice);
    PLXEventServer::notifyEvent(event);
    EXPECT_EQ(first.heard, 1);
    EXPECT_EQ(last.heard, 1);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->heard, 1);
    EXPECT_EQ(event.getSender(), nullptr);

    // A client that leaves while it handles the event.
    auto self = std::make_unique<Reacting>();
    self->reaction = [&] { self.reset(); };
    Reacting next;
    PLXEventServer::notifyEvent(event);
    EXPECT_FALSE(self);
    EXPECT_EQ(next.heard, 1);
    EXPECT_EQ(last.heard, 2);

    // Registering twice keeps one entry.
    const int clients = PLXEventServer::getNumClients();
    PLXEventServer::registerClient(next);
    EXPECT_EQ(PLXEventServer::getNumClients(), clients);

    class Unknown : public PLXEvent {
    public:
        int type() const override { return 26; }
    } unknown;
    std::vector<std::string> log;
    Recorder recorder("r", &log);
    PLXEventServer::notifyEvent(unknown);
    EXPECT_TRUE(log.empty());
}

TEST(PLXEventClient, BatchesCloseOnceAndDoNotNest)
{
    std::vector<std::string> log;
    Recorder a("a", &log);
    Recorder b("b", &log);
    StackSlice slice("s");
    EXPECT_FALSE(PLXEventClient::eventBatchEnabled());
    PLXEventClient::enableEventBatch(true);
    EXPECT_TRUE(PLXEventClient::eventBatchEnabled());
    // Events still arrive one by one inside a batch.
    PLXSliceNameEvent event(slice);
    a.notifyEvent(event);
    try {
        PLXEventClient::enableEventBatch(true);
        ADD_FAILURE() << "a batch opened inside a batch";
    } catch (const UsageError& e) {
        EXPECT_EQ(e.getWhat(), "An event sequence is already open");
        EXPECT_EQ(e.getWhere(), "void PLXEventClient::enableEventBatch(const bool)");
    }
    PLXEventClient::enableEventBatch(false);
    EXPECT_FALSE(PLXEventClient::eventBatchEnabled());
    EXPECT_EQ(log, (std::vector<std::string>{"a 10", "b 10", "a batch end", "b batch end"}));
    try {
        PLXEventClient::enableEventBatch(false);
        ADD_FAILURE() << "a batch closed twice";
    } catch (const UsageError& e) {
        EXPECT_EQ(e.getWhat(), "There is no event sequence to end");
    }
}

TEST(PLXEvent, PayloadsAndCodes)
{
    PLXModelCreateEvent empty;
    try {
        empty.getModel();
        ADD_FAILURE() << "no model, no exception";
    } catch (const ProgramError& e) {
        EXPECT_EQ(e.getWhat(), "Model is null");
        EXPECT_EQ(e.getWhere(), "Model& PLXModelEvent::getModel()");
    }
    // Each class answers its own code: the handler it reaches says which.
    StackSlice slice("s");
    std::vector<std::string> log;
    Recorder r("r", &log);
    PLXSliceLockEvent lock(slice, true);
    PLXSliceItemSelectionEvent selection(slice, StackSliceSelectionInfo(&slice));
    PLXPreferencesEvent preferences;
    for (PLXEvent* e : std::initializer_list<PLXEvent*>{&lock, &selection, &preferences})
        PLXEventServer::notifyEvent(*e);
    EXPECT_EQ(r.codes, (std::vector<int>{9, 13, 25}));
    EXPECT_TRUE(lock.isLockOn());
}
