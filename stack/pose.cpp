#include "stack/pose.h"

#include "stack/stack.h"

Pose::Pose() : m_rotation{0.0f, 0.0f, 0.0f}, m_translation{0, 0} {}

void Pose::setRotation(int x, int y, int z)
{
    m_rotation = Vector<float>{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void Pose::attach()
{
    if (m_stack)
        m_stack->addPose(this);
}

void Pose::detach()
{
    if (m_stack)
        m_stack->removePose(this);
}

namespace {

Pose rotated(int x, int y, int z)
{
    Pose pose;
    pose.setRotation(x, y, z);
    return pose;
}

} // namespace

Pose Pose::canonicalPose1() { return rotated(0, 180, 0); }
Pose Pose::canonicalPose2() { return rotated(0, 90, 0); }
Pose Pose::canonicalPose3() { return rotated(90, 0, 0); }
Pose Pose::reverseCanonicalPose1() { return rotated(0, 0, 0); }
Pose Pose::reverseCanonicalPose2() { return rotated(0, -90, 0); }
Pose Pose::reverseCanonicalPose3() { return rotated(-90, 0, 0); }
