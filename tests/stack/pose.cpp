#include "stack/pose.h"

#include "stack/stack.h"

#include <gtest/gtest.h>

// Poses attach once, detach back to the caller, and the stack deletes those
// it still lists (checked for leaks and double deletion under the sanitizers).
TEST(PoseOwner, AttachDetachAndOwnership)
{
    EXPECT_EQ(Pose::reverseCanonicalPose2().getRotation(), (Vector<int>{0, -90, 0}));
    Stack stack;
    auto* a = new Pose;
    a->setStack(&stack);
    a->attach();
    a->attach();
    EXPECT_EQ(stack.getNumPoses(), 1);
    auto* b = new Pose;
    b->setStack(&stack);
    b->attach();
    a->detach();
    EXPECT_EQ(stack.findPose(a), -1);
    EXPECT_EQ(stack.getPose(0), b);
    a->attach();
    EXPECT_EQ(stack.getPose(1), a);
    stack.removePose(0);
    delete b;
    EXPECT_EQ(stack.getNumPoses(), 1);
}
