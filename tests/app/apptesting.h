#pragma once
// Helpers shared by the application tests: the sample stack opened as an
// application stack, the text a stack writes, and a client that records
// every event and action it hears.

#include "app/plxeventclient.h"
#include "app/plxsliceactions.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "stack/stackreader.h"
#include "stack/stackwriter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace apptest {

// The top-level windows of a kind, shown.
template <typename W> QList<W*> shownWindows()
{
    QList<W*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<W*>(w); window && window->isVisible())
            found << window;
    return found;
}

inline std::string sampleFile()
{
    return std::string(PLEXAN_SOURCE_DIR) + "/data/sample/sample.sdf";
}

// The sample stack (30 slices; polygon, polyline and point-set models) read
// into a new application stack, not opened.
inline std::unique_ptr<PLXStack> sampleStack()
{
    auto stack = std::make_unique<PLXStack>();
    StackReader reader;
    EXPECT_TRUE(reader.read(*stack, sampleFile()));
    EXPECT_TRUE(reader.getLog().empty());
    stack->updateReconstruction();
    return stack;
}

// The text the writer makes of the stack, as if saved beside the sample
// (so the images path reads the same). The last segmented slice is left out
// unless asked for: it records where the user last drew, and follows every
// item creation, undone deletions included.
inline std::string stackText(const Stack& stack, bool withLastSegmented = false)
{
    std::ostringstream out;
    EXPECT_TRUE(StackWriter().write(stack, out, sampleFile()));
    std::string text = out.str();
    if (!withLastSegmented) {
        const std::size_t at = text.find("LASTSEGMENTEDSLICE");
        if (at != std::string::npos)
            text.erase(at, text.find('\n', at) + 1 - at);
    }
    return text;
}

// One line per event or action heard: "<name> <code>", or "<name> action",
// "<name> batch end".
class Recorder : public PLXEventClient {
public:
    explicit Recorder(std::string name, std::vector<std::string>* log) : m_name(std::move(name)), m_log(log) {}

    std::vector<int> codes;
    std::vector<PLXEventClient*> senders;

protected:
#define PLEXAN_RECORD(handler, Event)                                                                          \
    void handler(Event& e) override { record(e); }
    PLEXAN_RECORD(stackOpenEvent, PLXStackOpenEvent)
    PLEXAN_RECORD(stackCloseEvent, PLXStackCloseEvent)
    PLEXAN_RECORD(stackFileNameEvent, PLXStackFileNameEvent)
    PLEXAN_RECORD(stackNameEvent, PLXStackNameEvent)
    PLEXAN_RECORD(stackModifyEvent, PLXStackModifyEvent)
    PLEXAN_RECORD(stackRegistrationEvent, PLXStackRegistrationEvent)
    PLEXAN_RECORD(stackSliceSpacingEvent, PLXStackSliceSpacingEvent)
    PLEXAN_RECORD(stackImageCalibrationEvent, PLXStackImageCalibrationEvent)
    PLEXAN_RECORD(sliceAnnotationEvent, PLXSliceAnnotationEvent)
    PLEXAN_RECORD(sliceLockEvent, PLXSliceLockEvent)
    PLEXAN_RECORD(sliceNameEvent, PLXSliceNameEvent)
    PLEXAN_RECORD(sliceSpacingEvent, PLXSliceSpacingEvent)
    PLEXAN_RECORD(sliceImageCalibrationEvent, PLXSliceImageCalibrationEvent)
    PLEXAN_RECORD(sliceItemSelectionEvent, PLXSliceItemSelectionEvent)
    PLEXAN_RECORD(modelCreateEvent, PLXModelCreateEvent)
    PLEXAN_RECORD(modelDeleteEvent, PLXModelDeleteEvent)
    PLEXAN_RECORD(modelPropertiesEvent, PLXModelPropertiesEvent)
    PLEXAN_RECORD(modelItemCreateEvent, PLXModelItemCreateEvent)
    PLEXAN_RECORD(modelItemDeleteEvent, PLXModelItemDeleteEvent)
    PLEXAN_RECORD(modelItemVertexEvent, PLXModelItemVertexEvent)
    PLEXAN_RECORD(modelItemAttributeEvent, PLXModelItemAttributeEvent)
    PLEXAN_RECORD(modelItemSelectEvent, PLXModelItemSelectEvent)
    PLEXAN_RECORD(modelItemConvertEvent, PLXModelItemConvertEvent)
    PLEXAN_RECORD(poseCreateEvent, PLXPoseCreateEvent)
    PLEXAN_RECORD(poseDeleteEvent, PLXPoseDeleteEvent)
    PLEXAN_RECORD(preferencesEvent, PLXPreferencesEvent)
#undef PLEXAN_RECORD
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction&) override
    {
        if (m_log)
            m_log->push_back(m_name + " action");
        codes.push_back(-1);
    }
    void atEventBatchEnd() override
    {
        if (m_log)
            m_log->push_back(m_name + " batch end");
    }

private:
    void record(PLXEvent& e)
    {
        codes.push_back(e.type());
        senders.push_back(e.getSender());
        if (m_log)
            m_log->push_back(m_name + " " + std::to_string(e.type()));
    }

    std::string m_name;
    std::vector<std::string>* m_log;
};

// Closes whatever a test left open in the stack server.
struct ServerCleanup {
    ~ServerCleanup() { PLXStackServer::stackServer.removeAllStacks(); }
};

} // namespace apptest
