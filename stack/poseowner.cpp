#include "stack/poseowner.h"

#include "stack/pose.h"

#include <algorithm>

PoseOwner::~PoseOwner()
{
    for (Pose* pose : m_poses)
        delete pose;
}

void PoseOwner::addPose(Pose* pose)
{
    if (pose && findPose(pose) < 0)
        m_poses.push_back(pose);
}

int PoseOwner::findPose(const Pose* pose) const
{
    const auto it = std::find(m_poses.begin(), m_poses.end(), pose);
    return it == m_poses.end() ? -1 : static_cast<int>(it - m_poses.begin());
}

void PoseOwner::removePose(int i)
{
    m_poses.erase(m_poses.begin() + i);
}

void PoseOwner::removePose(const Pose* pose)
{
    const int i = findPose(pose);
    if (i >= 0)
        removePose(i);
}
