#include "stack/stackslice.h"

#include "stackfixture.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace stacktest;

namespace {

// The absolute positions by their definition, slice by slice.
std::vector<float> expectedPositions(const Stack& stack)
{
    std::vector<float> z;
    for (int k = 0; k < stack.getNumSlices(); ++k) {
        const StackSlice* s = stack.getSlice(k);
        if (!s->useRelativePosition())
            z.push_back(s->getAbsolutePosition());
        else if (k == 0)
            z.push_back(0.0f);
        else
            z.push_back(z.back() + (s->useDefaultRelativePosition() ? stack.getDefaultRelativePosition()
                                                                      : s->getRelativePosition()));
    }
    return z;
}

std::vector<float> positions(const Stack& stack)
{
    std::vector<float> z;
    for (int k = 0; k < stack.getNumSlices(); ++k)
        z.push_back(stack.getSlice(k)->getAbsolutePosition());
    return z;
}

} // namespace

TEST(StackSlicePositions, AgreeWithTheirDefinitionBeforeAndAfterRemovingASlice)
{
    std::mt19937 rng(29);
    std::uniform_real_distribution<float> value(-5.0f, 5.0f);
    std::uniform_int_distribution<int> kind(0, 2);
    for (int run = 0; run < 200; ++run) {
        Stack stack;
        const int n = 2 + run % 7;
        for (int k = 0; k < n; ++k) {
            StackSlice* s = newSlice("s" + std::to_string(k));
            const int how = kind(rng);
            if (how == 1)
                s->setRelativePosition(value(rng));
            else if (how == 2)
                s->setAbsolutePosition(10.0f * k + value(rng));
            stack.addSlice(s);
        }
        // The default spacing is followed when it changes later.
        stack.setDefaultRelativePosition(value(rng));
        EXPECT_EQ(positions(stack), expectedPositions(stack));
        EXPECT_EQ(stack.absolutePositions(), positions(stack));
        // An absolutely placed slice reports its distance from the previous
        // one, the first slice 0.
        std::vector<float> before = positions(stack);
        for (int k = 0; k < n; ++k) {
            if (!stack.getSlice(k)->useRelativePosition()) {
                EXPECT_FLOAT_EQ(stack.getSlice(k)->getRelativePosition(), k ? before[k] - before[k - 1] : 0.0f);
            }
        }
        const int i = std::uniform_int_distribution<int>(0, n - 1)(rng);
        stack.deleteSlice(i);
        before.erase(before.begin() + i);
        const std::vector<float> after = positions(stack);
        EXPECT_EQ(after, expectedPositions(stack));
        // A middle slice hands its spacing on; removing an end adjusts nothing.
        if (i > 0 && i < n - 1) {
            for (int k = 0; k < n - 1; ++k)
                EXPECT_NEAR(after[k], before[k], 1e-4f) << "run " << run << " removed " << i;
        }
    }
}

TEST(StackSliceNeighbours, EndsAndSlicesOutsideTheStack)
{
    Stack stack;
    for (const char* name : {"a", "b", "c"})
        stack.addSlice(newSlice(name));
    StackSlice* a = stack.getSlice(0);
    StackSlice* c = stack.getSlice(2);
    EXPECT_EQ(stack.getSlice(1)->prevSlice(), a);
    EXPECT_EQ(a->prevSlice(), a);
    EXPECT_EQ(c->nextSlice(), c);
    EXPECT_TRUE(c->isLastSlice() && !stack.getSlice(1)->isLastSlice());
    std::unique_ptr<StackSlice> outside(newSlice("x"));
    EXPECT_EQ(stack.getNextSlice(outside.get()), outside.get());
    EXPECT_EQ(stack.findSlice(outside.get()), -1);
    // Insertion before an index; removal hands the slice back.
    stack.addSlice(outside.release(), 1);
    EXPECT_EQ(stack.findSlice("x"), 1);
    std::unique_ptr<StackSlice> removed(stack.removeSlice(1));
    EXPECT_EQ(removed->getStack(), nullptr);
}
