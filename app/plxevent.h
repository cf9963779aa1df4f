#pragma once
// PLXEvent and its subclasses: what changed in an open stack, announced to
// every event client (see PLXEventClient) so that each view refreshes
// itself, whoever made the change.
//
// An event is made on the sender's stack, sent with notifyEvent(), and
// destroyed after delivery; it names the object that changed (the payload)
// and, once sent, the client that sent it (none when sent through
// PLXEventServer directly). type() returns the event's code, which selects
// the client handler.
//
//     PLXSliceNameEvent event(slice);
//     notifyEvent(event);      // from inside a client, or
//     PLXEventServer::notifyEvent(event);
//
// The payload accessors return references; asking an event for a payload it
// was made without throws ProgramError ("Model is null" for a model).

#include "app/stacksliceselectioninfo.h"
#include "stack/modelitemproperties.h"
#include "stack/modelproperties.h"

class Model;
class ModelItem;
class PLXEventClient;
class PLXStack;
class Pose;
class StackSlice;

class PLXEvent {
public:
    // The codes of the event classes; codes from NumEventTypes on are ignored.
    enum Type {
        StackOpenEvent = 0,
        StackCloseEvent = 1,
        StackNameEvent = 2,
        StackFileNameEvent = 3,
        StackModifyEvent = 4,
        StackRegistrationEvent = 5,
        StackSliceSpacingEvent = 6,
        StackImageCalibrationEvent = 7,
        SliceAnnotationEvent = 8,
        SliceLockEvent = 9,
        SliceNameEvent = 10,
        SliceSpacingEvent = 11,
        SliceImageCalibrationEvent = 12,
        SliceItemSelectionEvent = 13,
        ModelCreateEvent = 14,
        ModelDeleteEvent = 15,
        ModelPropertiesEvent = 16,
        ModelItemCreateEvent = 17,
        ModelItemDeleteEvent = 18,
        ModelItemVertexEvent = 19,
        ModelItemAttributeEvent = 20,
        ModelItemSelectEvent = 21,
        ModelItemConvertEvent = 22,
        PoseCreateEvent = 23,
        PoseDeleteEvent = 24,
        PreferencesEvent = 25,
        NumEventTypes = 26
    };

    PLXEvent() = default;
    PLXEvent(const PLXEvent&) = default;
    PLXEvent& operator=(const PLXEvent&) = default;
    virtual ~PLXEvent() = default;

    virtual int type() const = 0;

    // The client that sent the event; null when none did.
    void setSender(PLXEventClient* sender) { m_sender = sender; }
    PLXEventClient* getSender() const { return m_sender; }

private:
    PLXEventClient* m_sender = nullptr;
};

// Intermediate bases: the payload ------------------------------------------------

class PLXStackEvent : public PLXEvent {
public:
    PLXStackEvent() = default;
    explicit PLXStackEvent(PLXStack& stack) : m_stack(&stack) {}
    void setStack(PLXStack& stack) { m_stack = &stack; }
    PLXStack& getStack() const;
    bool hasStack() const { return m_stack != nullptr; }

private:
    PLXStack* m_stack = nullptr;
};

class PLXSliceEvent : public PLXEvent {
public:
    PLXSliceEvent() = default;
    explicit PLXSliceEvent(StackSlice& slice) : m_slice(&slice) {}
    void setSlice(StackSlice& slice) { m_slice = &slice; }
    StackSlice& getSlice() const;
    bool hasSlice() const { return m_slice != nullptr; }

private:
    StackSlice* m_slice = nullptr;
};

class PLXModelEvent : public PLXEvent {
public:
    PLXModelEvent() = default;
    explicit PLXModelEvent(Model& model) : m_model(&model) {}
    void setModel(Model& model) { m_model = &model; }
    // ProgramError "Model is null" for an event made without a model.
    Model& getModel() const;
    bool hasModel() const { return m_model != nullptr; }

private:
    Model* m_model = nullptr;
};

class PLXModelItemEvent : public PLXEvent {
public:
    PLXModelItemEvent() = default;
    explicit PLXModelItemEvent(ModelItem& item) : m_item(&item) {}
    void setItem(ModelItem& item) { m_item = &item; }
    ModelItem& getItem() const;
    bool hasItem() const { return m_item != nullptr; }

private:
    ModelItem* m_item = nullptr;
};

class PLXPoseEvent : public PLXEvent {
public:
    PLXPoseEvent() = default;
    explicit PLXPoseEvent(Pose& pose) : m_pose(&pose) {}
    void setPose(Pose& pose) { m_pose = &pose; }
    Pose& getPose() const;
    bool hasPose() const { return m_pose != nullptr; }

private:
    Pose* m_pose = nullptr;
};

// The event classes --------------------------------------------------------------

#define PLEXAN_EVENT_CLASS(Name, Base, Code)                                                                   \
    class Name : public Base {                                                                                 \
    public:                                                                                                    \
        using Base::Base;                                                                                      \
        int type() const override { return Code; }                                                             \
    };

// Sent by the stack server when a stack is added.
PLEXAN_EVENT_CLASS(PLXStackOpenEvent, PLXStackEvent, StackOpenEvent)
// Sent by the stack server before a stack is removed and deleted.
PLEXAN_EVENT_CLASS(PLXStackCloseEvent, PLXStackEvent, StackCloseEvent)
PLEXAN_EVENT_CLASS(PLXStackNameEvent, PLXStackEvent, StackNameEvent)
PLEXAN_EVENT_CLASS(PLXStackFileNameEvent, PLXStackEvent, StackFileNameEvent)
// The modified flag was set (also to its current value), or a stack-wide
// setting without an event of its own changed (length unit, path policy).
PLEXAN_EVENT_CLASS(PLXStackModifyEvent, PLXStackEvent, StackModifyEvent)
PLEXAN_EVENT_CLASS(PLXStackRegistrationEvent, PLXStackEvent, StackRegistrationEvent)
PLEXAN_EVENT_CLASS(PLXStackSliceSpacingEvent, PLXStackEvent, StackSliceSpacingEvent)
PLEXAN_EVENT_CLASS(PLXStackImageCalibrationEvent, PLXStackEvent, StackImageCalibrationEvent)
PLEXAN_EVENT_CLASS(PLXSliceAnnotationEvent, PLXSliceEvent, SliceAnnotationEvent)
PLEXAN_EVENT_CLASS(PLXSliceNameEvent, PLXSliceEvent, SliceNameEvent)
PLEXAN_EVENT_CLASS(PLXSliceSpacingEvent, PLXSliceEvent, SliceSpacingEvent)
PLEXAN_EVENT_CLASS(PLXSliceImageCalibrationEvent, PLXSliceEvent, SliceImageCalibrationEvent)
PLEXAN_EVENT_CLASS(PLXModelCreateEvent, PLXModelEvent, ModelCreateEvent)
PLEXAN_EVENT_CLASS(PLXModelDeleteEvent, PLXModelEvent, ModelDeleteEvent)
PLEXAN_EVENT_CLASS(PLXModelItemCreateEvent, PLXModelItemEvent, ModelItemCreateEvent)
PLEXAN_EVENT_CLASS(PLXModelItemDeleteEvent, PLXModelItemEvent, ModelItemDeleteEvent)
// The item's vertices changed (inserted, moved, removed, replaced).
PLEXAN_EVENT_CLASS(PLXModelItemVertexEvent, PLXModelItemEvent, ModelItemVertexEvent)
// The item's own drawing properties changed.
PLEXAN_EVENT_CLASS(PLXModelItemAttributeEvent, PLXModelItemEvent, ModelItemAttributeEvent)
// The item's vertex selection changed.
PLEXAN_EVENT_CLASS(PLXModelItemSelectEvent, PLXModelItemEvent, ModelItemSelectEvent)
PLEXAN_EVENT_CLASS(PLXPoseCreateEvent, PLXPoseEvent, PoseCreateEvent)
PLEXAN_EVENT_CLASS(PLXPoseDeleteEvent, PLXPoseEvent, PoseDeleteEvent)
// The preferences were applied.
PLEXAN_EVENT_CLASS(PLXPreferencesEvent, PLXEvent, PreferencesEvent)

#undef PLEXAN_EVENT_CLASS

// A slice lock was requested (on) or released (off) for the slice.
class PLXSliceLockEvent : public PLXSliceEvent {
public:
    PLXSliceLockEvent() = default;
    PLXSliceLockEvent(StackSlice& slice, bool on) : PLXSliceEvent(slice), m_lockOn(on) {}
    int type() const override { return SliceLockEvent; }
    void setLockOn(bool on) { m_lockOn = on; }
    bool isLockOn() const { return m_lockOn; }

private:
    bool m_lockOn = false;
};

// The selection of items on the slice changed; carries its summary.
class PLXSliceItemSelectionEvent : public PLXSliceEvent {
public:
    PLXSliceItemSelectionEvent() = default;
    PLXSliceItemSelectionEvent(StackSlice& slice, const StackSliceSelectionInfo& info)
        : PLXSliceEvent(slice), m_info(info)
    {
    }
    int type() const override { return SliceItemSelectionEvent; }
    void setSelectionInfo(const StackSliceSelectionInfo& info) { m_info = info; }
    const StackSliceSelectionInfo& getSelectionInfo() const { return m_info; }

private:
    StackSliceSelectionInfo m_info;
};

// The model's properties were edited; carries the values before the edit.
class PLXModelPropertiesEvent : public PLXModelEvent {
public:
    using PLXModelEvent::PLXModelEvent;
    int type() const override { return ModelPropertiesEvent; }
    void setOldProperties(const ModelProperties& p) { m_oldProperties = p; }
    const ModelProperties& getOldProperties() const { return m_oldProperties; }
    void setOldItemProperties(const ModelItemProperties& p) { m_oldItemProperties = p; }
    const ModelItemProperties& getOldItemProperties() const { return m_oldItemProperties; }

private:
    ModelProperties m_oldProperties;
    ModelItemProperties m_oldItemProperties;
};

// The item moved from one model (source) to another (destination).
class PLXModelItemConvertEvent : public PLXModelItemEvent {
public:
    PLXModelItemConvertEvent() = default;
    PLXModelItemConvertEvent(ModelItem& item, Model& source, Model& destination)
        : PLXModelItemEvent(item), m_source(&source), m_destination(&destination)
    {
    }
    int type() const override { return ModelItemConvertEvent; }
    void setSourceModel(Model& model) { m_source = &model; }
    Model* getSourceModel() const { return m_source; }
    void setDestinationModel(Model& model) { m_destination = &model; }
    Model* getDestinationModel() const { return m_destination; }

private:
    Model* m_source = nullptr;
    Model* m_destination = nullptr;
};
