#include "stack/modelitemowner.h"

#include "stackfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

using namespace stacktest;

namespace {

bool lists(const ModelItemOwner& owner, const ModelItem* item)
{
    return owner.hasItem(item);
}

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
            EXPECT_TRUE(lists(*item->getSlice(), item));
            ++byModels;
        }
    }
    int bySlices = 0;
    for (int s = 0; s < stack.getNumSlices(); ++s) {
        const StackSlice* slice = stack.getSlice(s);
        for (const ModelItem* item : slice->getItems()) {
            EXPECT_EQ(item->getSlice(), slice);
            EXPECT_TRUE(lists(*item->getModel(), item));
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
TEST(ModelItemOwnership, DeletingASliceDeletesItsItemsFromTheModels)
{
    auto stack = smallStack();
    stack->deleteSlice(1);
    expectConsistent(*stack);
    EXPECT_EQ(stack->getModel(0)->getNumItems(), 2);
    for (const ModelItem* item : stack->getModel(1)->getItems())
        EXPECT_NE(item->getSlice()->getName(), "s1");
}

TEST(ModelItemOwnership, DeletingAModelDeletesItsItemsFromTheSlices)
{
    auto stack = smallStack();
    stack->deleteModel(0);
    expectConsistent(*stack);
    for (int s = 0; s < 3; ++s) {
        ASSERT_EQ(stack->getSlice(s)->getNumItems(), 1);
        EXPECT_EQ(stack->getSlice(s)->getItem(0)->getModel()->getName(), "b");
    }
    stack->deleteAllModels();
    for (int s = 0; s < 3; ++s)
        EXPECT_EQ(stack->getSlice(s)->getNumItems(), 0);
}

TEST(ModelItemOwnership, DeletingAnItemUnlistsItFromBothOwners)
{
    auto stack = smallStack();
    ModelItem* item = stack->getSlice(2)->getItem(0);
    Model* model = item->getModel();
    delete item;
    EXPECT_EQ(stack->getSlice(2)->getNumItems(), 1);
    EXPECT_EQ(model->getNumItems(), 2);
    expectConsistent(*stack);
}

TEST(ModelItemOwnership, SliceOrModelLeftAloneOutsideTheStack)
{
    auto stack = smallStack();
    // An unlinked slice still owns its items: deleting it later unlists them.
    StackSlice* slice = stack->removeSlice(0);
    EXPECT_EQ(stack->getModel(0)->getNumItems(), 3);
    delete slice;
    EXPECT_EQ(stack->getModel(0)->getNumItems(), 2);
    expectConsistent(*stack);

    // A removed model keeps its items but they leave their slices; deleting
    // it then touches only its own items.
    Model* model = stack->getModel(1);
    stack->removeModel(model);
    EXPECT_EQ(model->getNumItems(), 2);
    for (int s = 0; s < stack->getNumSlices(); ++s)
        EXPECT_EQ(stack->getSlice(s)->getNumItems(), 1);
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

TEST(ModelItemOwnership, RemoveAndAddModelRoundTrip)
{
    auto stack = smallStack();
    Model* model = stack->getModel(0);
    const std::vector<ModelItem*> items = model->getItems();
    for (int round = 0; round < 3; ++round) {
        stack->removeModel(model);
        EXPECT_EQ(stack->findModel(model), -1);
        for (ModelItem* item : items)
            EXPECT_FALSE(lists(*item->getSlice(), item));
        stack->addModel(model);
        EXPECT_EQ(stack->findModel("a"), 1);
        EXPECT_EQ(model->getItems(), items);
        expectConsistent(*stack);
    }
    // Re-adding appends the items to their slices' lists.
    EXPECT_EQ(stack->getSlice(0)->getItem(1), items[0]);
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

TEST(ModelItemOwnership, RandomEditsKeepBothListsInStep)
{
    std::mt19937 rng(3);
    for (int run = 0; run < 20; ++run) {
        auto stack = std::make_unique<Stack>();
        for (int s = 0; s < 5; ++s)
            stack->addSlice(newSlice("s" + std::to_string(s)));
        for (int m = 0; m < 3; ++m)
            stack->addModel(new Model("m" + std::to_string(m)));
        std::vector<Model*> removed;
        for (int step = 0; step < 60; ++step) {
            std::uniform_int_distribution<int> op(0, 9);
            const int n = stack->getNumSlices();
            const int m = stack->getNumModels();
            switch (op(rng)) {
            case 0:
                if (n > 1)
                    stack->deleteSlice(std::uniform_int_distribution<int>(0, n - 1)(rng));
                break;
            case 1:
                if (m > 1)
                    stack->deleteModel(std::uniform_int_distribution<int>(0, m - 1)(rng));
                break;
            case 2:
                if (m > 1) {
                    removed.push_back(stack->getModel(std::uniform_int_distribution<int>(0, m - 1)(rng)));
                    stack->removeModel(removed.back());
                }
                break;
            case 3:
                if (!removed.empty()) {
                    stack->addModel(removed.back());
                    removed.pop_back();
                }
                break;
            case 4: {
                StackSlice* slice = stack->getSlice(std::uniform_int_distribution<int>(0, n - 1)(rng));
                if (slice->getNumItems() > 0)
                    delete slice->getItem(0);
                break;
            }
            default:
                newItem(stack->getModel(std::uniform_int_distribution<int>(0, m - 1)(rng)),
                        stack->getSlice(std::uniform_int_distribution<int>(0, n - 1)(rng)),
                        {{step, run}});
                break;
            }
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

    EXPECT_EQ(s->getSelectedItem(), nullptr);
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
