#include "app/plxpropertiesaction.h"

#include "app/plxactionhistory.h"
#include "app/plxevent.h"
#include "app/plxeventclient.h"
#include "app/plxeventserver.h"
#include "app/plxstack.h"
#include "stack/stackslice.h"

#include <memory>
#include <utility>

namespace {

// PixelCalibration's == leaves the length unit out; a change of it is a
// change too.
bool sameCalibration(const PixelCalibration& a, const PixelCalibration& b)
{
    return a == b && a.getLengthUnit() == b.getLengthUnit();
}

} // namespace

bool PLXPropertiesAction::SliceState::operator==(const SliceState& other) const
{
    return slice == other.slice && name == other.name && placement == other.placement &&
           sameCalibration(calibration, other.calibration);
}

bool PLXPropertiesAction::State::operator==(const State& other) const
{
    return name == other.name && spacing == other.spacing && sameCalibration(calibration, other.calibration) &&
           absoluteImagesPath == other.absoluteImagesPath && slices == other.slices;
}

PLXPropertiesAction::State PLXPropertiesAction::stateOf(const PLXStack& stack)
{
    State state;
    state.name = stack.getName();
    state.spacing = stack.getDefaultRelativePosition();
    state.calibration = stack.getDefaultPixelCalibration();
    state.absoluteImagesPath = stack.getAbsoluteImagesPathPolicy();
    for (int i = 0; i < stack.getNumSlices(); ++i) {
        StackSlice* slice = stack.getSlice(i);
        SliceState s;
        s.slice = slice;
        s.name = slice->getName();
        s.placement = PLXSlicePlacement::of(*slice);
        s.calibration = slice->getPixelCalibration();
        state.slices.push_back(std::move(s));
    }
    return state;
}

PLXPropertiesAction::PLXPropertiesAction(PLXStack& stack, State before, QString description)
    : m_stack(&stack), m_before(std::move(before)), m_after(stateOf(stack)), m_description(std::move(description))
{
}

void PLXPropertiesAction::record(PLXStack& stack, State before, const QString& description)
{
    auto action = std::make_unique<PLXPropertiesAction>(stack, std::move(before), description);
    if (action->isNull())
        return;
    PLXActionHistory& history = stack.history();
    history.openStep();
    history.push(action.release());
    history.closeStep();
}

bool PLXPropertiesAction::isNull() const
{
    return m_before == m_after;
}

void PLXPropertiesAction::apply()
{
    restore(m_after);
    setReverted(false);
}

void PLXPropertiesAction::revert()
{
    restore(m_before);
    setReverted(true);
}

QString PLXPropertiesAction::description(bool) const
{
    return m_description;
}

void PLXPropertiesAction::restore(const State& state)
{
    const bool batch = !PLXEventClient::eventBatchEnabled();
    if (batch)
        PLXEventClient::enableEventBatch(true);
    PLXStack& stack = *m_stack;
    const State now = stateOf(stack);

    if (state.name != now.name) {
        stack.setName(state.name);
        PLXStackNameEvent event(stack);
        PLXEventServer::notifyEvent(event);
    }
    bool modified = false;
    if (!(state.calibration.getLengthUnit() == now.calibration.getLengthUnit())) {
        stack.setLengthUnit(state.calibration.getLengthUnit());
        modified = true;
    }
    if (state.absoluteImagesPath != now.absoluteImagesPath) {
        stack.setAbsoluteImagesPathPolicy(state.absoluteImagesPath);
        modified = true;
    }
    // Slices by their places in the stack: later steps, which may insert
    // or delete slices, are undone before this one.
    bool spacing = state.spacing != now.spacing;
    bool calibration = state.calibration != now.calibration;
    for (std::size_t i = 0; i < state.slices.size() && i < now.slices.size(); ++i) {
        const SliceState& s = state.slices[i];
        const SliceState& n = now.slices[i];
        StackSlice& slice = *s.slice;
        if (s.name != n.name) {
            slice.setName(s.name);
            PLXSliceNameEvent event(slice);
            PLXEventServer::notifyEvent(event);
        }
        if (!(s.placement == n.placement)) {
            s.placement.applyTo(slice);
            spacing = true;
        }
        if (!sameCalibration(s.calibration, slice.getPixelCalibration())) {
            slice.setPixelCalibration(s.calibration);
            PLXSliceImageCalibrationEvent event(slice);
            PLXEventServer::notifyEvent(event);
            calibration = true;
        }
    }
    stack.setDefaultRelativePosition(state.spacing);
    stack.setDefaultPixelCalibration(state.calibration);
    if (spacing || calibration)
        stack.updateReconstruction();
    if (spacing) {
        PLXStackSliceSpacingEvent event(stack);
        PLXEventServer::notifyEvent(event);
    }
    if (calibration) {
        PLXStackImageCalibrationEvent event(stack);
        PLXEventServer::notifyEvent(event);
    }
    if (modified)
        stack.setModified(true);
    if (batch)
        PLXEventClient::enableEventBatch(false);
}
