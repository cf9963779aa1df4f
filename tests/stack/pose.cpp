#include "stack/pose.h"

#include "stack/stack.h"

#include <gtest/gtest.h>

TEST(Pose, CanonicalPosesAndTruncatedRotations)
{
    EXPECT_EQ(Pose::canonicalPose1().getRotation(), (Vector<int>{0, 180, 0}));
    EXPECT_EQ(Pose::canonicalPose2().getRotation(), (Vector<int>{0, 90, 0}));
    EXPECT_EQ(Pose::canonicalPose3().getRotation(), (Vector<int>{90, 0, 0}));
    EXPECT_EQ(Pose::reverseCanonicalPose1().getRotation(), (Vector<int>{0, 0, 0}));
    EXPECT_EQ(Pose::reverseCanonicalPose2().getRotation(), (Vector<int>{0, -90, 0}));
    EXPECT_EQ(Pose::reverseCanonicalPose3().getRotation(), (Vector<int>{-90, 0, 0}));
    const Pose fresh;
    EXPECT_EQ(fresh.getZoom(), 100);
    EXPECT_EQ(fresh.getTranslation(), (Vector<int>{0, 0}));
}

TEST(PoseOwner, AttachDetachAndOwnership)
{
    Stack stack;
    auto* a = new Pose;
    a->setName("a");
    a->setStack(&stack);
    a->attach();
    a->attach();
    EXPECT_EQ(stack.getNumPoses(), 1);
    auto* b = new Pose;
    b->setStack(&stack);
    b->attach();
    EXPECT_EQ(stack.findPose(b), 1);

    // Detaching hands the pose back to the caller.
    a->detach();
    EXPECT_EQ(stack.findPose(a), -1);
    EXPECT_EQ(stack.getPose(0), b);
    a->attach();
    EXPECT_EQ(stack.getPose(1), a);
    stack.removePose(0);
    delete b;
    // The stack deletes a.
    EXPECT_EQ(stack.getNumPoses(), 1);
}
