#pragma once
// The actions on a stack's poses: recording one and deleting one.
//
// PLXPoseCreationAction lists a new pose (made with its stack, not listed)
// at the end of its stack's poses and announces it; revert unlists it and
// announces its deletion. "Pose recording".
//
// PLXPoseDeletionAction unlists a pose and announces its deletion; revert
// lists it again at its place and announces it. "Pose deletion".
//
// While the pose is out of its stack the action owns it.

#include "app/plxaction.h"

class Pose;

class PLXPoseCreationAction : public PLXAction {
public:
    // Takes ownership of the pose while it is not listed.
    explicit PLXPoseCreationAction(Pose& pose);
    ~PLXPoseCreationAction() override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    Pose* m_pose;
    bool m_listed = false;
};

class PLXPoseDeletionAction : public PLXAction {
public:
    explicit PLXPoseDeletionAction(Pose& pose);
    ~PLXPoseDeletionAction() override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    Pose* m_pose;
    int m_place = -1;
    bool m_listed = true;
};
