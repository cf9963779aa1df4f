#include "app/plxposeactions.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "stack/pose.h"
#include "stack/stack.h"

#include <vector>

namespace {

// Lists the pose at place in its stack's poses (at the end when out of range).
void listAt(Pose& pose, int place)
{
    Stack* stack = pose.getStack();
    if (!stack)
        return;
    // Poses are only appended: take those from place on out, and put them
    // back after the pose.
    std::vector<Pose*> after;
    while (place >= 0 && place < stack->getNumPoses()) {
        after.push_back(stack->getPose(place));
        stack->removePose(place);
    }
    pose.attach();
    for (Pose* other : after)
        stack->addPose(other);
}

template <typename Event>
void announce(Pose& pose)
{
    Event event(pose);
    PLXEventServer::notifyEvent(event);
}

} // namespace

PLXPoseCreationAction::PLXPoseCreationAction(Pose& pose) : m_pose(&pose) {}

PLXPoseCreationAction::~PLXPoseCreationAction()
{
    if (!m_listed)
        delete m_pose;
}

void PLXPoseCreationAction::apply()
{
    m_pose->attach();
    m_listed = true;
    setReverted(false);
    announce<PLXPoseCreateEvent>(*m_pose);
}

void PLXPoseCreationAction::revert()
{
    m_pose->detach();
    m_listed = false;
    setReverted(true);
    announce<PLXPoseDeleteEvent>(*m_pose);
}

QString PLXPoseCreationAction::description(bool) const
{
    return QStringLiteral("Pose recording");
}

PLXPoseDeletionAction::PLXPoseDeletionAction(Pose& pose) : m_pose(&pose) {}

PLXPoseDeletionAction::~PLXPoseDeletionAction()
{
    if (!m_listed)
        delete m_pose;
}

void PLXPoseDeletionAction::apply()
{
    m_place = m_pose->getStack() ? m_pose->getStack()->findPose(m_pose) : -1;
    m_pose->detach();
    m_listed = false;
    setReverted(false);
    announce<PLXPoseDeleteEvent>(*m_pose);
}

void PLXPoseDeletionAction::revert()
{
    listAt(*m_pose, m_place);
    m_listed = true;
    setReverted(true);
    announce<PLXPoseCreateEvent>(*m_pose);
}

QString PLXPoseDeletionAction::description(bool) const
{
    return QStringLiteral("Pose deletion");
}
