#pragma once
// PLXEventClient: whatever shows or keeps state about open stacks (windows,
// lists, views, the application stacks themselves) and must hear of every
// change. A client is registered with the event server from construction to
// destruction and receives every event and every announced undo action, the
// ones it sends included, through the handlers below (each does nothing by
// default).
//
// Delivery is synchronous, in the GUI thread, to every client in the order
// they registered: notifyEvent() returns once every client has handled the
// event. A handler may send further events, which are delivered completely
// (depth first) before the outer delivery goes on, and clients created
// during a delivery receive the rest of it.
//
// Event batches: a dialog that changes many things at once opens a batch
// (enableEventBatch(true)), makes its changes, and closes it. Events are
// still delivered one by one; clients with expensive reactions test
// eventBatchEnabled() and only note what changed while a batch is open, then
// do the work once in atEventBatchEnd(), called on every client when the
// batch closes. Batches do not nest.

#include "app/plxevent.h"

class PLXAction;
class PLXSliceAction;
class PLXSliceInsertionDeletionAction;

class PLXEventClient {
public:
    // Registers the client (appended to the server's list).
    PLXEventClient();
    PLXEventClient(const PLXEventClient&) = delete;
    PLXEventClient& operator=(const PLXEventClient&) = delete;
    // Unregisters the client.
    virtual ~PLXEventClient();

    // Records this client as the sender and delivers the event to every client.
    void notifyEvent(PLXEvent& event);
    // Delivers an announced undo action to every client.
    void notifyAction(PLXAction& action);

    // Calls the handler for the event's code (codes from 26 on are ignored).
    void processEvent(PLXEvent& event);
    // Slice actions go to processSliceAction, then, for slice insertions
    // and deletions, to processSliceInsertionDeletionAction.
    void processAction(PLXAction& action);

    // UsageError "An event sequence is already open" when opening an open
    // batch, "There is no event sequence to end" when closing none. Closing
    // calls atEventBatchEnd() on every client.
    static void enableEventBatch(bool on);
    static bool eventBatchEnabled();

protected:
    virtual void stackOpenEvent(PLXStackOpenEvent&) {}
    virtual void stackCloseEvent(PLXStackCloseEvent&) {}
    virtual void stackFileNameEvent(PLXStackFileNameEvent&) {}
    virtual void stackNameEvent(PLXStackNameEvent&) {}
    virtual void stackModifyEvent(PLXStackModifyEvent&) {}
    virtual void stackRegistrationEvent(PLXStackRegistrationEvent&) {}
    virtual void stackSliceSpacingEvent(PLXStackSliceSpacingEvent&) {}
    virtual void stackImageCalibrationEvent(PLXStackImageCalibrationEvent&) {}
    virtual void sliceAnnotationEvent(PLXSliceAnnotationEvent&) {}
    virtual void processSliceAction(PLXSliceAction&) {}
    virtual void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction&) {}
    virtual void sliceLockEvent(PLXSliceLockEvent&) {}
    virtual void sliceNameEvent(PLXSliceNameEvent&) {}
    virtual void sliceSpacingEvent(PLXSliceSpacingEvent&) {}
    virtual void sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent&) {}
    virtual void sliceItemSelectionEvent(PLXSliceItemSelectionEvent&) {}
    virtual void modelCreateEvent(PLXModelCreateEvent&) {}
    virtual void modelDeleteEvent(PLXModelDeleteEvent&) {}
    virtual void modelPropertiesEvent(PLXModelPropertiesEvent&) {}
    virtual void modelItemCreateEvent(PLXModelItemCreateEvent&) {}
    virtual void modelItemDeleteEvent(PLXModelItemDeleteEvent&) {}
    virtual void modelItemVertexEvent(PLXModelItemVertexEvent&) {}
    virtual void modelItemAttributeEvent(PLXModelItemAttributeEvent&) {}
    virtual void modelItemSelectEvent(PLXModelItemSelectEvent&) {}
    virtual void modelItemConvertEvent(PLXModelItemConvertEvent&) {}
    virtual void poseCreateEvent(PLXPoseCreateEvent&) {}
    virtual void poseDeleteEvent(PLXPoseDeleteEvent&) {}
    virtual void preferencesEvent(PLXPreferencesEvent&) {}
    virtual void atEventBatchEnd() {}

private:
    friend class PLXEventServer;
    static bool s_batchOpen;
};
