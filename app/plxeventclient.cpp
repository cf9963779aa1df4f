#include "app/plxeventclient.h"

#include "app/plxeventserver.h"
#include "app/plxsliceactions.h"
#include "numerics/exception.h"

bool PLXEventClient::s_batchOpen = false;

PLXEventClient::PLXEventClient()
{
    PLXEventServer::registerClient(*this);
}

PLXEventClient::~PLXEventClient()
{
    PLXEventServer::unregisterClient(*this);
}

void PLXEventClient::notifyEvent(PLXEvent& event)
{
    event.setSender(this);
    PLXEventServer::notifyEvent(event);
}

void PLXEventClient::notifyAction(PLXAction& action)
{
    PLXEventServer::notifyAction(action);
}

void PLXEventClient::processEvent(PLXEvent& event)
{
    switch (event.type()) {
    case PLXEvent::StackOpenEvent:
        stackOpenEvent(static_cast<PLXStackOpenEvent&>(event));
        break;
    case PLXEvent::StackCloseEvent:
        stackCloseEvent(static_cast<PLXStackCloseEvent&>(event));
        break;
    case PLXEvent::StackNameEvent:
        stackNameEvent(static_cast<PLXStackNameEvent&>(event));
        break;
    case PLXEvent::StackFileNameEvent:
        stackFileNameEvent(static_cast<PLXStackFileNameEvent&>(event));
        break;
    case PLXEvent::StackModifyEvent:
        stackModifyEvent(static_cast<PLXStackModifyEvent&>(event));
        break;
    case PLXEvent::StackRegistrationEvent:
        stackRegistrationEvent(static_cast<PLXStackRegistrationEvent&>(event));
        break;
    case PLXEvent::StackSliceSpacingEvent:
        stackSliceSpacingEvent(static_cast<PLXStackSliceSpacingEvent&>(event));
        break;
    case PLXEvent::StackImageCalibrationEvent:
        stackImageCalibrationEvent(static_cast<PLXStackImageCalibrationEvent&>(event));
        break;
    case PLXEvent::SliceAnnotationEvent:
        sliceAnnotationEvent(static_cast<PLXSliceAnnotationEvent&>(event));
        break;
    case PLXEvent::SliceLockEvent:
        sliceLockEvent(static_cast<PLXSliceLockEvent&>(event));
        break;
    case PLXEvent::SliceNameEvent:
        sliceNameEvent(static_cast<PLXSliceNameEvent&>(event));
        break;
    case PLXEvent::SliceSpacingEvent:
        sliceSpacingEvent(static_cast<PLXSliceSpacingEvent&>(event));
        break;
    case PLXEvent::SliceImageCalibrationEvent:
        sliceImageCalibrationEvent(static_cast<PLXSliceImageCalibrationEvent&>(event));
        break;
    case PLXEvent::SliceItemSelectionEvent:
        sliceItemSelectionEvent(static_cast<PLXSliceItemSelectionEvent&>(event));
        break;
    case PLXEvent::ModelCreateEvent:
        modelCreateEvent(static_cast<PLXModelCreateEvent&>(event));
        break;
    case PLXEvent::ModelDeleteEvent:
        modelDeleteEvent(static_cast<PLXModelDeleteEvent&>(event));
        break;
    case PLXEvent::ModelPropertiesEvent:
        modelPropertiesEvent(static_cast<PLXModelPropertiesEvent&>(event));
        break;
    case PLXEvent::ModelItemCreateEvent:
        modelItemCreateEvent(static_cast<PLXModelItemCreateEvent&>(event));
        break;
    case PLXEvent::ModelItemDeleteEvent:
        modelItemDeleteEvent(static_cast<PLXModelItemDeleteEvent&>(event));
        break;
    case PLXEvent::ModelItemVertexEvent:
        modelItemVertexEvent(static_cast<PLXModelItemVertexEvent&>(event));
        break;
    case PLXEvent::ModelItemAttributeEvent:
        modelItemAttributeEvent(static_cast<PLXModelItemAttributeEvent&>(event));
        break;
    case PLXEvent::ModelItemSelectEvent:
        modelItemSelectEvent(static_cast<PLXModelItemSelectEvent&>(event));
        break;
    case PLXEvent::ModelItemConvertEvent:
        modelItemConvertEvent(static_cast<PLXModelItemConvertEvent&>(event));
        break;
    case PLXEvent::PoseCreateEvent:
        poseCreateEvent(static_cast<PLXPoseCreateEvent&>(event));
        break;
    case PLXEvent::PoseDeleteEvent:
        poseDeleteEvent(static_cast<PLXPoseDeleteEvent&>(event));
        break;
    case PLXEvent::PreferencesEvent:
        preferencesEvent(static_cast<PLXPreferencesEvent&>(event));
        break;
    default:
        break;
    }
}

void PLXEventClient::processAction(PLXAction& action)
{
    auto* sliceAction = dynamic_cast<PLXSliceAction*>(&action);
    if (!sliceAction)
        return;
    processSliceAction(*sliceAction);
    if (auto* insertion = dynamic_cast<PLXSliceInsertionDeletionAction*>(sliceAction))
        processSliceInsertionDeletionAction(*insertion);
}

void PLXEventClient::enableEventBatch(bool on)
{
    const char* const where = "void PLXEventClient::enableEventBatch(const bool)";
    if (on) {
        if (s_batchOpen)
            throw UsageError(where, "An event sequence is already open");
        s_batchOpen = true;
        return;
    }
    if (!s_batchOpen)
        throw UsageError(where, "There is no event sequence to end");
    s_batchOpen = false;
    PLXEventServer::notifyEventBatchEnd();
}

bool PLXEventClient::eventBatchEnabled()
{
    return s_batchOpen;
}
