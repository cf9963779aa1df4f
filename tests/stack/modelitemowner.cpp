#include "stack/modelitemowner.h"

#include "stackfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

using namespace stacktest;

namespace {

// Every item listed by a model of the stack is listed by its slice and the
// other way round, and each names the owners that list it. Items whose
// slice was deleted while their model was out of the stack name no slice.
void expectConsistent(const Stack& stack)
{
    int byModels = 0;
    for (int m = 0; m < stack.getNumModels(); ++m) {
        const Model* model = stack.getModel(m);
        for (const ModelItem* item : model->getItems()) {
            EXPECT_EQ(item->getModel(), model);
            if (!item->getSlice())
                continue;
            EXPECT_TRUE(item->getSlice()->hasItem(item));
            ++byModels;
        }
    }
    int bySlices = 0;
    for (int s = 0; s < stack.getNumSlices(); ++s) {
        const StackSlice* slice = stack.getSlice(s);
        for (const ModelItem* item : slice->getItems()) {
            EXPECT_EQ(item->getSlice(), slice);
            EXPECT_TRUE(item->getModel()->hasItem(item));
            ++bySlices;
        }
    }
    EXPECT_EQ(byModels, bySlices);
}

// Three slices, two models, an item of each model on each slice.
std::unique_ptr<Stack> smallStack()
{
    auto stack = std::make_unique<Stack>();
    for (const char* name : {"s0", "s1", "s2"})
        stack->addSlice(newSlice(name));
    for (const char* name : {"a", "b"})
        stack->addModel(new Model(name));
    for (int s = 0; s < 3; ++s)
        for (int m = 0; m < 2; ++m)
            newItem(stack->getModel(m), stack->getSlice(s), {{s, m}, {s + 1, m}, {s, m + 1}});
    return stack;
}

} // namespace

// Under AddressSanitizer, each of these deletion orders must free every item
// exactly once.
TEST(ModelItemOwnership, DeletionsUnlistItemsFromEveryOwner)
{
    auto stack = smallStack();
    stack->deleteModel(0);
    for (int s = 0; s < 3; ++s)
        EXPECT_EQ(stack->getSlice(s)->getItem(0)->getModel()->getName(), "b");
    stack->deleteAllModels();
    EXPECT_EQ(stack->getSlice(0)->getNumItems(), 0);

    // An unlinked slice still owns its items: deleting it later unlists them.
    stack = smallStack();
    StackSlice* slice = stack->removeSlice(0);
    EXPECT_EQ(stack->getModel(0)->getNumItems(), 3);
    delete slice;
    EXPECT_EQ(stack->getModel(0)->getNumItems(), 2);
    expectConsistent(*stack);
    // A removed model keeps its items but they leave their slices, and come
    // back at the end of the slices' lists.
    Model* model = stack->getModel(0);
    const std::vector<ModelItem*> items = model->getItems();
    stack->removeModel(model);
    EXPECT_EQ(model->getItems(), items);
    EXPECT_EQ(stack->getSlice(0)->getNumItems(), 1);
    stack->addModel(model);
    EXPECT_EQ(stack->getSlice(0)->getItem(1), items[0]);
    expectConsistent(*stack);
    stack->removeModel(model);
    delete model;
    expectConsistent(*stack);
}

TEST(ModelItemOwnership, SliceDeletedWhileItsModelIsOutOfTheStack)
{
    // Regression: the items of the removed model kept pointing to the
    // deleted slice, and re-adding the model wrote into freed memory.
    auto stack = smallStack();
    Model* model = stack->getModel(0);
    stack->removeModel(model);
    stack->deleteSlice(1);
    stack->addModel(model);
    int orphans = 0;
    for (const ModelItem* item : model->getItems())
        orphans += item->getSlice() == nullptr;
    EXPECT_EQ(orphans, 1);
    expectConsistent(*stack);

    // The same for an item's model: an item unlisted from its model, whose
    // model is then deleted, no longer names it.
    ModelItem* item = stack->getSlice(0)->getItem(1);
    item->detachFromModel();
    stack->deleteModel(stack->findModel(item->getModel()));
    EXPECT_EQ(item->getModel(), nullptr);
    EXPECT_EQ(stack->getSlice(0)->getItem(1), item);
}

TEST(ModelItemOwnership, AnyOwnerDeletesWhatItStillLists)
{
    Model model;
    auto slice = std::unique_ptr<StackSlice>(newSlice("s"));
    ModelItem* kept = newItem(&model, slice.get(), {{0, 0}});
    ModelItem* dropped = newItem(&model, slice.get(), {{1, 1}});
    {
        // A plain owner listing one item (a selection set, say).
        ModelItemOwner owner;
        owner.addItem(dropped);
        owner.addItem(dropped);
        EXPECT_EQ(owner.getNumItems(), 1);
    }
    EXPECT_EQ(model.getItems(), std::vector<ModelItem*>{kept});
    EXPECT_EQ(slice->getItems(), std::vector<ModelItem*>{kept});

    // Detached items are left alone by their former owners.
    kept->detach();
    EXPECT_EQ(model.getNumItems(), 0);
    kept->attach();
    kept->attach();
    EXPECT_EQ(model.getNumItems(), 1);
    EXPECT_EQ(slice->getNumItems(), 1);
}

// Undoing a deletion puts items and models back where they were: the lists
// read the same as before, whatever position was taken out.
TEST(ModelItemOwnership, InsertionsRestoreFormerPositions)
{
    for (int taken = 0; taken < 3; ++taken) {
        auto stack = smallStack();
        Model* model = stack->getModel(0);
        StackSlice* slice = stack->getSlice(1);
        newItem(model, slice, {{7, 7}});
        newItem(stack->getModel(1), slice, {{8, 8}});
        const std::vector<ModelItem*> modelBefore = model->getItems(), sliceBefore = slice->getItems();
        ModelItem* item = modelBefore[static_cast<std::size_t>(taken)];
        const int inModel = model->findItem(item), inSlice = item->getSlice()->findItem(item);
        item->detach();
        model->insertItem(item, inModel);
        item->getSlice()->insertItem(item, inSlice);
        model->insertItem(item, 0); // already listed: nothing moves
        EXPECT_EQ(model->getItems(), modelBefore);
        EXPECT_EQ(slice->getItems(), sliceBefore);

        std::vector<Model*> models{stack->getModel(0), stack->getModel(1)};
        Model* out = models[static_cast<std::size_t>(taken % 2)];
        stack->removeModel(out);
        stack->addModel(out, taken % 2);
        EXPECT_EQ(stack->getModel(0), models[0]);
        EXPECT_EQ(stack->getModel(1), models[1]);
        expectConsistent(*stack);
    }
    // Out of range positions append.
    Model model;
    auto slice = std::unique_ptr<StackSlice>(newSlice("s"));
    ModelItem* a = newItem(&model, slice.get(), {{0, 0}});
    ModelItem* b = newItem(&model, slice.get(), {{1, 1}});
    a->detachFromModel();
    model.insertItem(a, 5);
    EXPECT_EQ(model.getItems(), (std::vector<ModelItem*>{b, a}));
}

TEST(ModelItemOwnership, RandomEditsKeepBothListsInStep)
{
    std::mt19937 rng(3);
    auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int run = 0; run < 20; ++run) {
        auto stack = smallStack();
        stack->addSlice(newSlice("s3"));
        std::vector<Model*> removed;
        for (int step = 0; step < 60; ++step) {
            const int n = stack->getNumSlices(), m = stack->getNumModels();
            const int op = pick(10);
            StackSlice* slice = stack->getSlice(pick(n));
            if (op == 0 && n > 1)
                stack->deleteSlice(pick(n));
            else if (op == 1 && m > 1)
                stack->deleteModel(pick(m));
            else if (op == 2 && m > 1)
                stack->removeModel(removed.emplace_back(stack->getModel(pick(m))));
            else if (op == 3 && !removed.empty()) {
                stack->addModel(removed.back());
                removed.pop_back();
            } else if (op == 4 && slice->getNumItems() > 0)
                delete slice->getItem(0);
            else if (op > 4)
                newItem(stack->getModel(pick(m)), slice, {{step, run}});
            expectConsistent(*stack);
        }
        // Removed models go back before the stack is deleted with everything.
        for (Model* model : removed)
            stack->addModel(model);
        expectConsistent(*stack);
    }
}

TEST(ModelItemOwner, SelectionBuddiesAndIntersection)
{
    Model a("a"), b("b");
    auto s = std::unique_ptr<StackSlice>(newSlice("s"));
    ModelItem* a1 = newItem(&a, s.get(), {{0, 0}, {1, 0}});
    ModelItem* b1 = newItem(&b, s.get(), {{0, 0}});
    ModelItem* a2 = newItem(&a, s.get(), {{5, 5}});

    b1->getSelection().set(true);
    a2->getSelection().set(true);
    EXPECT_EQ(s->getSelectedItem(), b1);
    EXPECT_EQ(s->getSelectedItems(), (std::vector<ModelItem*>{b1, a2}));

    // Same model and equal overrides make buddies.
    EXPECT_EQ(s->buddyItem(a1), a2);
    EXPECT_EQ(s->buddyItem(b1), nullptr);
    a2->getProperties().setLineWidth(3);
    EXPECT_EQ(s->buddyItem(a1), nullptr);

    EXPECT_EQ(s->intersection(a), (std::vector<ModelItem*>{a1, a2}));
    EXPECT_EQ(a.intersection(b), std::vector<ModelItem*>{});
}

TEST(ModelItemOwner, SortsBySlicePositionWithSelectionSort)
{
    Stack stack;
    stack.setDefaultRelativePosition(1.0f);
    for (const char* name : {"z0", "z1", "z2", "z3"})
        stack.addSlice(newSlice(name));
    auto* model = new Model;
    stack.addModel(model);
    // Keys 2, 2, 0, 3: the first swap sends the first 2 behind the second, an
    // order a stable sort would not give.
    ModelItem* first2 = newItem(model, stack.getSlice(2), {{0, 0}});
    ModelItem* second2 = newItem(model, stack.getSlice(2), {{1, 1}});
    ModelItem* at0 = newItem(model, stack.getSlice(0), {{2, 2}});
    ModelItem* at3 = newItem(model, stack.getSlice(3), {{3, 3}});
    EXPECT_FALSE(model->isSorted());
    model->sort();
    EXPECT_TRUE(model->isSorted());
    EXPECT_EQ(model->getItems(), (std::vector<ModelItem*>{at0, second2, first2, at3}));
}
