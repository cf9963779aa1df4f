#include "app/plxstack.h"

#include "app/plxactionhistory.h"
#include "app/plxeventserver.h"
#include "app/plxstackserver.h"
#include "apptesting.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stackslice.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>

#include <functional>

using namespace apptest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// Every event kind, sent for an object of the stack and for one of another
// stack: only the first marks the stack modified, and only the kinds that
// change the document do.
TEST(PLXStack, ModifiedFlagFollowsTheEventsThatConcernIt)
{
    auto stack = sampleStack();
    auto other = sampleStack();
    StackSlice& slice = *stack->getSlice(3);
    StackSlice& otherSlice = *other->getSlice(3);
    Model& model = *stack->getModel(0);
    Model& otherModel = *other->getModel(0);
    ModelItem& item = *stack->getModel(1)->getItem(0);
    ModelItem& otherItem = *other->getModel(1)->getItem(0);
    auto* pose = new Pose;
    pose->setStack(stack.get());
    pose->attach();
    auto* otherPose = new Pose;
    otherPose->setStack(other.get());
    otherPose->attach();

    struct Case {
        const char* name;
        std::function<void(PLXStack&, StackSlice&, Model&, ModelItem&, Pose&)> send;
        bool modifies;
    };
    auto send = [](PLXEvent&& e) { PLXEventServer::notifyEvent(e); };
    const std::vector<Case> cases = {
        {"stack name", [&](PLXStack& s, StackSlice&, Model&, ModelItem&, Pose&) { send(PLXStackNameEvent(s)); }, true},
        {"stack spacing", [&](PLXStack& s, StackSlice&, Model&, ModelItem&, Pose&) { send(PLXStackSliceSpacingEvent(s)); }, true},
        {"stack calibration", [&](PLXStack& s, StackSlice&, Model&, ModelItem&, Pose&) { send(PLXStackImageCalibrationEvent(s)); }, true},
        {"registration", [&](PLXStack& s, StackSlice&, Model&, ModelItem&, Pose&) { send(PLXStackRegistrationEvent(s)); }, false},
        {"file name", [&](PLXStack& s, StackSlice&, Model&, ModelItem&, Pose&) { send(PLXStackFileNameEvent(s)); }, false},
        {"annotation", [&](PLXStack&, StackSlice& sl, Model&, ModelItem&, Pose&) { send(PLXSliceAnnotationEvent(sl)); }, true},
        {"slice name", [&](PLXStack&, StackSlice& sl, Model&, ModelItem&, Pose&) { send(PLXSliceNameEvent(sl)); }, true},
        {"slice spacing", [&](PLXStack&, StackSlice& sl, Model&, ModelItem&, Pose&) { send(PLXSliceSpacingEvent(sl)); }, true},
        {"slice calibration", [&](PLXStack&, StackSlice& sl, Model&, ModelItem&, Pose&) { send(PLXSliceImageCalibrationEvent(sl)); }, true},
        {"lock", [&](PLXStack&, StackSlice& sl, Model&, ModelItem&, Pose&) { send(PLXSliceLockEvent(sl, true)); }, false},
        {"selection", [&](PLXStack&, StackSlice& sl, Model&, ModelItem&, Pose&) { send(PLXSliceItemSelectionEvent(sl, StackSliceSelectionInfo(&sl))); }, false},
        {"model create", [&](PLXStack&, StackSlice&, Model& m, ModelItem&, Pose&) { send(PLXModelCreateEvent(m)); }, true},
        {"model delete", [&](PLXStack&, StackSlice&, Model& m, ModelItem&, Pose&) { send(PLXModelDeleteEvent(m)); }, true},
        {"model properties", [&](PLXStack&, StackSlice&, Model& m, ModelItem&, Pose&) { send(PLXModelPropertiesEvent(m)); }, true},
        {"item create", [&](PLXStack&, StackSlice&, Model&, ModelItem& i, Pose&) { send(PLXModelItemCreateEvent(i)); }, true},
        {"item delete", [&](PLXStack&, StackSlice&, Model&, ModelItem& i, Pose&) { send(PLXModelItemDeleteEvent(i)); }, true},
        {"item vertex", [&](PLXStack&, StackSlice&, Model&, ModelItem& i, Pose&) { send(PLXModelItemVertexEvent(i)); }, true},
        {"item attribute", [&](PLXStack&, StackSlice&, Model&, ModelItem& i, Pose&) { send(PLXModelItemAttributeEvent(i)); }, true},
        {"item select", [&](PLXStack&, StackSlice&, Model&, ModelItem& i, Pose&) { send(PLXModelItemSelectEvent(i)); }, false},
        {"item convert", [&](PLXStack&, StackSlice&, Model& m, ModelItem& i, Pose&) { send(PLXModelItemConvertEvent(i, m, m)); }, true},
        {"pose create", [&](PLXStack&, StackSlice&, Model&, ModelItem&, Pose& p) { send(PLXPoseCreateEvent(p)); }, true},
        {"pose delete", [&](PLXStack&, StackSlice&, Model&, ModelItem&, Pose& p) { send(PLXPoseDeleteEvent(p)); }, true},
        {"preferences", [&](PLXStack&, StackSlice&, Model&, ModelItem&, Pose&) { send(PLXPreferencesEvent()); }, false},
    };
    QSignalSpy spy(stack.get(), &PLXStack::modified);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stack->setModified(false);
        spy.clear();
        c.send(*other, otherSlice, otherModel, otherItem, *otherPose);
        EXPECT_FALSE(stack->isModified());
        EXPECT_EQ(spy.count(), 0);
        c.send(*stack, slice, model, item, *pose);
        EXPECT_EQ(stack->isModified(), c.modifies);
        if (c.modifies) {
            ASSERT_GE(spy.count(), 1);
            EXPECT_EQ(spy.last().at(0).toBool(), true);
        }
    }
    // An item creation makes the item's slice the last segmented one.
    EXPECT_EQ(stack->getLastSegmentedSlice(), item.getSlice()->getName());
}

// setModified announces itself even when nothing changes; a write under a
// new name announces the clean state, then the name; a failed write changes
// neither.
TEST(PLXStack, WritingAnnouncesStateThenName)
{
    QTemporaryDir dir;
    auto stack = sampleStack();
    std::vector<std::string> log;
    Recorder recorder("r", &log);
    stack->setModified(false);
    stack->setModified(false);
    EXPECT_EQ(log, (std::vector<std::string>{"r 4", "r 4"}));

    log.clear();
    stack->setModified(true);
    const QString bad = dir.filePath("missing/directory/cell.sdf");
    EXPECT_FALSE(stack->write(bad));
    EXPECT_TRUE(stack->isModified());
    EXPECT_TRUE(stack->getFilename().isEmpty());
    EXPECT_EQ(log, (std::vector<std::string>{"r 4"}));

    log.clear();
    const QString good = dir.filePath("cell.sdf");
    ASSERT_TRUE(stack->write(good));
    EXPECT_FALSE(stack->isModified());
    EXPECT_EQ(stack->getFilename(), good);
    EXPECT_EQ(log, (std::vector<std::string>{"r 4", "r 3"}));
    // The file holds what the writer makes of the stack for that place.
    std::ostringstream text;
    ASSERT_TRUE(StackWriter().write(*stack, text, good.toStdString()));
    EXPECT_EQ(readAll(good).toStdString(), text.str());

    // The same name again: no file name event; no backup is made by write().
    log.clear();
    ASSERT_TRUE(stack->write(good));
    EXPECT_EQ(log, (std::vector<std::string>{"r 4"}));
    EXPECT_FALSE(QFile::exists(good + "~1"));
}

TEST(PLXStackServer, OpensClosesAndWrapsAround)
{
    ServerCleanup cleanup;
    PLXStackServer& server = PLXStackServer::stackServer;
    ASSERT_EQ(server.getNumStacks(), 0);
    const int session = PLXStackServer::getSessionNumStacks();

    // The close event arrives while the stack is still open and alive.
    struct Watcher : public PLXEventClient {
        std::vector<std::string> seen;
        void stackOpenEvent(PLXStackOpenEvent& e) override { seen.push_back("open " + e.getStack().getName()); }
        void stackCloseEvent(PLXStackCloseEvent& e) override
        {
            seen.push_back("close " + e.getStack().getName() +
                           (PLXStackServer::stackServer.find(&e.getStack()) >= 0 ? " (open)" : ""));
        }
    } watcher;
    PLXStack* stacks[3];
    for (int i = 0; i < 3; ++i) {
        stacks[i] = new PLXStack;
        stacks[i]->setName("s" + std::to_string(i));
        server.addStack(stacks[i]);
    }
    server.addStack(stacks[0]);
    EXPECT_EQ(server.getNumStacks(), 3);
    EXPECT_EQ(server.getNextStack(stacks[2]), stacks[0]);
    EXPECT_EQ(server.getPreviousStack(stacks[0]), stacks[2]);
    EXPECT_EQ(server.getNextStack(stacks[0]), stacks[1]);
    EXPECT_EQ(server.getPreviousStack(stacks[2]), stacks[1]);

    server.removeStack(stacks[1]);
    EXPECT_EQ(server.find(stacks[2]), 1);
    EXPECT_EQ(server.getNextStack(stacks[2]), stacks[0]);
    EXPECT_EQ(PLXStackServer::getSessionNumStacks(), session + 3);
    server.addStack(new PLXStack);
    EXPECT_EQ(PLXStackServer::getSessionNumStacks(), session + 4);
    EXPECT_EQ(watcher.seen, (std::vector<std::string>{"open s0", "open s1", "open s2", "close s1 (open)", "open "}));
}

TEST(PLXStack, HistoriesAndCaches)
{
    auto stack = sampleStack();
    StackSlice* a = stack->getSlice(0);
    StackSlice* b = stack->getSlice(1);
    EXPECT_EQ(&stack->sliceHistory(*a), &stack->sliceHistory(*a));
    EXPECT_NE(&stack->sliceHistory(*a), &stack->sliceHistory(*b));

    // Least recently used first out; a hit counts as a use.
    PLXSliceImageCache cache(2);
    cache.insert(a, new Image(2, 2, 8));
    cache.insert(b, new Image(3, 3, 8));
    ASSERT_NE(cache.find(a), nullptr);
    cache.insert(stack->getSlice(2), new Image(4, 4, 8));
    EXPECT_NE(cache.find(a), nullptr);
    EXPECT_EQ(cache.find(b), nullptr);
    EXPECT_EQ(cache.find(a)->getWidth(), 2);
    cache.remove(a);
    EXPECT_EQ(cache.find(a), nullptr);

    PLXRawImageCache& raw = stack->getRawImageCache();
    raw.insert(a, new Image(2, 2, 8));
    raw.insert(b, new Image(2, 2, 8));
    EXPECT_EQ(raw.find(a), nullptr);
    EXPECT_NE(raw.find(b), nullptr);
    EXPECT_EQ(stack->getSlicePixmapCache().getCapacity(), 100);
    EXPECT_EQ(PLXSliceCache<Image>::key(a), QString::asprintf("%p", static_cast<void*>(a)));
}
