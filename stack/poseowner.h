#pragma once
// PoseOwner: the ordered list of poses of a stack, which it owns: poses still
// listed when the owner is destroyed are deleted with it.

#include <vector>

class Pose;

class PoseOwner {
public:
    PoseOwner() = default;
    PoseOwner(const PoseOwner&) = delete;
    PoseOwner& operator=(const PoseOwner&) = delete;
    virtual ~PoseOwner();

    // Appends the pose and takes ownership (nothing if already listed).
    void addPose(Pose* pose);
    int getNumPoses() const { return static_cast<int>(m_poses.size()); }
    Pose* getPose(int i) const { return m_poses[i]; }
    // Index, or -1 when not listed.
    int findPose(const Pose* pose) const;
    // Unlink without deleting: the caller takes the pose back.
    void removePose(int i);
    void removePose(const Pose* pose);

private:
    std::vector<Pose*> m_poses;
};
