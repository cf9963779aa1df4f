// Every action changes the document as it says, announces the change, and
// its revert gives back exactly the document it started from: the stack's
// written text before the action and after the revert are equal, and so are
// the texts after the first and a repeated apply.

#include "app/plxitemactions.h"
#include "app/plxmodelactions.h"
#include "app/plxselectionactions.h"
#include "app/plxsliceactions.h"
#include "app/plxvertexactions.h"
#include "apptesting.h"
#include "image/imagesourcefile.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <gtest/gtest.h>

using namespace apptest;

namespace {

Vertices<int> points(std::initializer_list<std::pair<int, int>> list)
{
    Vertices<int> v;
    for (const auto& p : list)
        v.append(Vector<int>{p.first, p.second});
    return v;
}

std::vector<std::pair<int, int>> coordinates(const ModelItem& item)
{
    std::vector<std::pair<int, int>> list;
    for (int i = 0; i < item.getSize(); ++i)
        list.emplace_back(item.getVertices()[i][0], item.getVertices()[i][1]);
    return list;
}

// A new item of the model on the slice, listed in both.
ModelItem* newItem(Model* model, StackSlice* slice, std::initializer_list<std::pair<int, int>> list)
{
    auto* item = new ModelItem(model, slice);
    item->setVertices(points(list));
    item->attach();
    return item;
}

class Actions : public ::testing::Test {
protected:
    Actions() : stack(sampleStack()), recorder("r", nullptr) {}

    Model* model(const char* name) const { return stack->getModel(stack->findModel(name)); }

    // Applies, reverts, applies and reverts the action; the texts around
    // each apply and revert must match, and the first apply change the
    // text when changes is true. Returns the event codes of the first apply
    // and of the first revert.
    std::pair<std::vector<int>, std::vector<int>> roundTrip(PLXAction& action, bool changes = true)
    {
        // The stack's own modify events (its reaction) are left out.
        auto heard = [this] {
            std::vector<int> codes;
            for (int c : recorder.codes)
                if (c != PLXEvent::StackModifyEvent)
                    codes.push_back(c);
            return codes;
        };
        const std::string before = stackText(*stack);
        recorder.codes.clear();
        action.apply();
        EXPECT_FALSE(action.isReverted());
        const std::vector<int> applied = heard();
        const std::string after = stackText(*stack);
        if (changes) {
            EXPECT_NE(after, before);
        }
        recorder.codes.clear();
        action.revert();
        EXPECT_TRUE(action.isReverted());
        const std::vector<int> reverted = heard();
        EXPECT_EQ(stackText(*stack), before);
        action.apply();
        EXPECT_EQ(stackText(*stack), after);
        action.revert();
        EXPECT_EQ(stackText(*stack), before);
        return {applied, reverted};
    }

    std::unique_ptr<PLXStack> stack;
    Recorder recorder;
};

using Codes = std::vector<int>;

} // namespace

TEST_F(Actions, ItemCreationAndDeletionKeepListPositions)
{
    Model* organ = model("organ");
    StackSlice* slice = stack->getSlice(4);
    const std::vector<ModelItem*> organItems = organ->getItems();
    const std::vector<ModelItem*> sliceItems = slice->getItems();

    auto* item = new ModelItem(organ, slice);
    item->setVertices(points({{1, 1}, {9, 1}, {9, 9}}));
    {
        PLXItemCreationAction creation(*item);
        EXPECT_EQ(roundTrip(creation), (std::pair<Codes, Codes>{{17}, {18}}));
        EXPECT_EQ(creation.description(), "Item creation");
        creation.apply();
        EXPECT_EQ(organ->getItems().back(), item);
        EXPECT_EQ(slice->getItems().back(), item);
        creation.revert();
    } // the reverted action deletes its item

    // A middle item goes back to its place in its model and on its slice.
    ModelItem* middle = slice->getItem(1);
    PLXItemDeletionAction deletion(*middle);
    EXPECT_EQ(roundTrip(deletion), (std::pair<Codes, Codes>{{18}, {17}}));
    EXPECT_EQ(organ->getItems(), organItems);
    EXPECT_EQ(slice->getItems(), sliceItems);
    EXPECT_TRUE(deletion == PLXItemDeletionAction(*middle));
    EXPECT_FALSE(deletion == PLXItemDeletionAction(*slice->getItem(0)));
    EXPECT_EQ(deletion.description(), "Item deletion");

    // An applied deletion owns the item (the sanitizers see it freed once).
    auto gone = std::make_unique<PLXItemDeletionAction>(*slice->getItem(0));
    gone->apply();
    EXPECT_EQ(slice->getNumItems(), static_cast<int>(sliceItems.size()) - 1);
    gone.reset();
}

TEST_F(Actions, VertexEditsAndTheirReverts)
{
    ModelItem* item = model("organ")->getItem(2);
    const auto original = coordinates(*item);
    const int n = item->getSize();
    item->getSelection().set(true, 3, false);

    PLXInsertVertexAction insert(*item, 3, Vector<int>{500, 501});
    EXPECT_EQ(roundTrip(insert), (std::pair<Codes, Codes>{{19}, {19}}));
    insert.apply();
    EXPECT_EQ(item->getSize(), n + 1);
    EXPECT_EQ(coordinates(*item)[3], std::make_pair(500, 501));
    EXPECT_TRUE(item->getSelection().isSelected(4));
    insert.revert();

    // The removed vertex comes back selected, as it was.
    PLXRemoveVertexAction remove(*item, 3, item->getVertices()[3]);
    roundTrip(remove);
    EXPECT_TRUE(item->getSelection().isSelected(3));
    EXPECT_EQ(item->getSelection().getSize(), 1);

    PLXMoveVertexAction move(*item, 0, item->getVertices()[0], Vector<int>{7, 8});
    EXPECT_FALSE(move.isNull());
    roundTrip(move);
    move.apply();
    EXPECT_EQ(coordinates(*item)[0], std::make_pair(7, 8));
    move.revert();
    EXPECT_TRUE(PLXMoveVertexAction(*item, 0, Vector<int>{1, 2}, Vector<int>{1, 2}).isNull());
    EXPECT_EQ(move.description(), "Move item vertex");

    // Appending clears the selection; the revert brings it back.
    PLXItemAppendPointsAction append(*item, points({{1, 2}, {3, 4}}));
    roundTrip(append);
    EXPECT_TRUE(item->getSelection().isSelected(3));
    append.apply();
    EXPECT_EQ(item->getSize(), n + 2);
    EXPECT_EQ(coordinates(*item)[static_cast<std::size_t>(n + 1)], std::make_pair(3, 4));
    append.revert();

    PLXItemVerticesChangeAction change(*item, item->getVertices(), points({{0, 0}, {5, 0}, {5, 5}}));
    roundTrip(change);
    EXPECT_TRUE(item->getSelection().isSelected(3));
    change.apply();
    EXPECT_EQ(coordinates(*item), (std::vector<std::pair<int, int>>{{0, 0}, {5, 0}, {5, 5}}));
    EXPECT_TRUE(item->getSelection().isEmpty());
    change.revert();

    // Removing the selection, and in reverse what is not selected.
    item->getSelection().set(true, 5, false);
    PLXRemoveSelectionAction removeSelected(*item);
    roundTrip(removeSelected);
    removeSelected.apply();
    auto expected = original;
    expected.erase(expected.begin() + 5);
    expected.erase(expected.begin() + 3);
    EXPECT_EQ(coordinates(*item), expected);
    removeSelected.revert();
    PLXRemoveSelectionAction keepSelected(*item, true);
    roundTrip(keepSelected);
    keepSelected.apply();
    EXPECT_EQ(coordinates(*item), (std::vector<std::pair<int, int>>{original[3], original[5]}));
    EXPECT_TRUE(item->getSelection().isComplete());
    keepSelected.revert();
    EXPECT_EQ(coordinates(*item), original);
    EXPECT_EQ(item->getSelection().getSize(), 2);
}

TEST_F(Actions, SelectionAttributesAndConversion)
{
    ModelItem* item = model("lumen")->getItem(1);
    ModelItemSelection selected(item->getSize());
    selected.set(true, 2, false);
    PLXSelectionAction selection(*item, item->getSelection(), selected);
    // Selections are not written: the text stays, the selection follows.
    EXPECT_EQ(roundTrip(selection, false), (std::pair<Codes, Codes>{{21}, {21}}));
    EXPECT_TRUE(item->getSelection().isEmpty());
    selection.apply();
    EXPECT_EQ(item->getSelection(), selected);
    EXPECT_EQ(selection.description(), "Item selection");

    ModelItemProperties red;
    red.setColor(255, 0, 0);
    red.setLineWidth(3.0f);
    PLXItemAttributesAction attributes(*item, item->getProperties(), red);
    EXPECT_EQ(roundTrip(attributes), (std::pair<Codes, Codes>{{20}, {20}}));
    attributes.apply();
    EXPECT_EQ(item->getProperties(), red);
    attributes.revert();

    // Converting moves the item to the end of the target and back to its place.
    Model* lumen = model("lumen");
    Model* organ = model("organ");
    const std::vector<ModelItem*> lumenItems = lumen->getItems();
    item->setProperties(red);
    PLXItemConversionAction conversion(*item, *organ);
    EXPECT_EQ(roundTrip(conversion), (std::pair<Codes, Codes>{{22}, {22}}));
    conversion.apply();
    EXPECT_EQ(item->getModel(), organ);
    EXPECT_EQ(organ->getItems().back(), item);
    EXPECT_FALSE(item->getProperties().definesAny());
    conversion.revert();
    EXPECT_EQ(lumen->getItems(), lumenItems);
    EXPECT_EQ(item->getProperties(), red);
}

// Changing the colour of two points of a five-point item leaves two items:
// the two points in the new colour, and a new item of the three others in
// the old colour; the revert gives back the one five-point item.
TEST_F(Actions, AttributesOfPartOfAPointSetSplitIt)
{
    Model* nuclei = model("nuclei");
    StackSlice* slice = stack->getSlice(6);
    ModelItem* item = newItem(nuclei, slice, {{10, 10}, {20, 20}, {30, 30}, {40, 40}, {50, 50}});
    ModelItemProperties grey;
    grey.setColor(100, 100, 100);
    item->setProperties(grey);
    item->getSelection().set(true, 1, false);
    item->getSelection().set(true, 3, false);
    ModelItemProperties blue;
    blue.setColor(0, 0, 255);

    PLXItemSelectionAttributesAction action(*item, blue);
    roundTrip(action);
    const int items = nuclei->getNumItems();
    action.apply();
    EXPECT_EQ(coordinates(*item), (std::vector<std::pair<int, int>>{{20, 20}, {40, 40}}));
    EXPECT_EQ(item->getProperties(), blue);
    ASSERT_EQ(nuclei->getNumItems(), items + 1);
    ModelItem* rest = nuclei->getItems().back();
    EXPECT_EQ(rest->getSlice(), slice);
    EXPECT_EQ(coordinates(*rest), (std::vector<std::pair<int, int>>{{10, 10}, {30, 30}, {50, 50}}));
    EXPECT_EQ(rest->getProperties(), grey);
    action.revert();
    EXPECT_EQ(nuclei->getNumItems(), items);
    EXPECT_EQ(coordinates(*item).size(), 5u);
    EXPECT_EQ(item->getProperties(), grey);

    // A polygon, or a whole selection, only changes colour.
    ModelItem* outline = model("organ")->getItem(0);
    outline->getSelection().set(true, 0, false);
    PLXItemSelectionAttributesAction whole(*outline, blue);
    roundTrip(whole);
    whole.apply();
    EXPECT_EQ(whole.getActions().getSize(), 1);
    EXPECT_EQ(outline->getProperties(), blue);
    whole.revert();
}

TEST_F(Actions, ConversionOfASelection)
{
    Model* nuclei = model("nuclei");
    Model* target = new Model("spots");
    target->getProperties().setGeometry(MPrimitive::Polypoint);
    stack->addModel(target);
    StackSlice* slice = stack->getSlice(8);
    auto make = [&] { return newItem(nuclei, slice, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}); };

    // No item of the target on the slice: a partial selection moves to a new
    // item of the target; a whole one moves with its item.
    ModelItem* item = make();
    item->getSelection().set(true, 0, false);
    item->getSelection().set(true, 2, false);
    PLXItemSelectionConversionAction part(*item, target);
    EXPECT_EQ(part.description(), "Conversion to: spots");
    roundTrip(part);
    part.apply();
    ASSERT_EQ(target->getNumItems(), 1);
    ModelItem* moved = target->getItem(0);
    EXPECT_EQ(coordinates(*moved), (std::vector<std::pair<int, int>>{{1, 1}, {3, 3}}));
    EXPECT_EQ(coordinates(*item), (std::vector<std::pair<int, int>>{{2, 2}, {4, 4}}));

    // Now the target has an item drawn as it draws its items by default: a
    // whole selection joins it and its item is deleted.
    item->getSelection().set(true);
    PLXItemSelectionConversionAction all(*item, target);
    roundTrip(all);
    all.apply();
    EXPECT_EQ(coordinates(*moved), (std::vector<std::pair<int, int>>{{1, 1}, {3, 3}, {2, 2}, {4, 4}}));
    EXPECT_FALSE(nuclei->hasItem(item));
    all.revert();
    part.revert();

    // Whole, without an item of the target: the item itself changes model.
    item->getSelection().set(true);
    PLXItemSelectionConversionAction whole(*item, target);
    roundTrip(whole);
    whole.apply();
    EXPECT_EQ(item->getModel(), target);
    whole.revert();

    // Connected items go whole, whatever their selection.
    ModelItem* duct = model("duct")->getItem(0);
    duct->getSelection().set(true, 1, false);
    PLXItemSelectionConversionAction line(*duct, model("lumen"));
    roundTrip(line);
    line.apply();
    EXPECT_EQ(duct->getModel(), model("lumen"));
    line.revert();
    EXPECT_EQ(PLXItemSelectionConversionAction(*duct, nullptr).description(),
              "<Invalid item selection conversion action>");
}

TEST_F(Actions, ModelDeletionPutsEverythingBack)
{
    Model* lumen = model("lumen");
    std::vector<std::vector<ModelItem*>> sliceItems;
    for (int i = 0; i < stack->getNumSlices(); ++i)
        sliceItems.push_back(stack->getSlice(i)->getItems());
    PLXModelDeletionAction deletion(*stack, *lumen);
    EXPECT_EQ(roundTrip(deletion), (std::pair<Codes, Codes>{{15}, {14}}));
    EXPECT_EQ(stack->findModel(lumen), 1);
    for (int i = 0; i < stack->getNumSlices(); ++i)
        EXPECT_EQ(stack->getSlice(i)->getItems(), sliceItems[static_cast<std::size_t>(i)]) << i;
    deletion.apply();
    EXPECT_EQ(stack->findModel(lumen), -1);
    for (int i = 0; i < stack->getNumSlices(); ++i)
        for (const ModelItem* item : stack->getSlice(i)->getItems())
            EXPECT_NE(item->getModel(), lumen);
    // Destroyed applied, the action frees the model and its items.
}

TEST_F(Actions, SliceDeletionAndInsertionRestoreSpacingAndItems)
{
    // A slice with its own spacing follows the one taken out.
    stack->getSlice(11)->setRelativePosition(6.5f);
    StackSlice* slice = stack->getSlice(10);
    ASSERT_GT(slice->getNumItems(), 0);
    const std::vector<float> positions = stack->absolutePositions();

    PLXSliceInsertionDeletionAction deletion(*stack, *slice, PLXSliceInsertionDeletionAction::Deletion, 10);
    EXPECT_EQ(deletion.description(), "Delete slice");
    EXPECT_EQ(roundTrip(deletion), (std::pair<Codes, Codes>{{-1}, {-1}}));
    EXPECT_EQ(stack->absolutePositions(), positions);
    deletion.apply();
    // The slices after keep their places.
    std::vector<float> kept = positions;
    kept.erase(kept.begin() + 10);
    EXPECT_EQ(stack->absolutePositions(), kept);
    for (int m = 0; m < stack->getNumModels(); ++m)
        for (const ModelItem* item : stack->getModel(m)->getItems())
            EXPECT_NE(item->getSlice(), slice);
    deletion.revert();

    // Two slices inserted in one step, reverted first pushed first (as the
    // history does): the stack reads as before, spacing of the next included.
    PLXActionList step;
    for (int i = 0; i < 2; ++i) {
        auto* inserted = new StackSlice("new" + std::to_string(i));
        inserted->setImageSource(ImageSourceFile(std::string(PLEXAN_SOURCE_DIR) + "/data/sample/images/slice01.tif"));
        step.push(new PLXSliceInsertionDeletionAction(*stack, *inserted, PLXSliceInsertionDeletionAction::Insertion,
                                                      3 + i));
    }
    const std::string before = stackText(*stack);
    step.apply();
    EXPECT_EQ(stack->getSlice(3)->getName(), "new0");
    EXPECT_EQ(stack->getSlice(4)->getName(), "new1");
    EXPECT_EQ(stack->getNumSlices(), 32);
    step.revert();
    EXPECT_EQ(stackText(*stack), before);
    EXPECT_EQ(stack->absolutePositions(), positions);
    EXPECT_EQ(static_cast<const PLXSliceInsertionDeletionAction*>(step.getAction(0))->description(), "Insert slice");
    EXPECT_TRUE(stack->isModified());
}
