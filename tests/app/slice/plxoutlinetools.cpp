// The slice editor's tools that rewrite one outline (resampling,
// Douglas-Peucker decimation, change of origin, Fourier smoothing) and the
// split tool: the live preview on a working copy while the dialog is open,
// the result compared with the geometry computed independently, one undo
// step on acceptance, nothing on cancel.

#include "app/slice/plxfourierdelegate.h"
#include "app/slice/plxoutlinevaluedialog.h"
#include "app/slice/plxsplitdelegate.h"
#include "editortesting.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace editortest;

namespace {

class OutlineTools : public EditorTest {
protected:
    // Selects the item wholly, as a click on it would.
    void selectWholly(ModelItem* item)
    {
        editor->cancelAction()->trigger();
        item->getSelection().set(true);
        editor->updateSelection();
    }
};

} // namespace

TEST_F(OutlineTools, ResamplingPreviewsLiveAndSpacesVerticesEvenly)
{
    // A 60 x 40 rectangle of 4 corners: perimeter 200.
    ModelItem* box = addItem(organ, slice(), {{20, 20}, {80, 20}, {80, 60}, {20, 60}});
    selectWholly(box);
    const std::string before = text();
    DialogScript script;
    Points previewed;
    script.modal([&](QDialog& dialog) {
        auto* value = dynamic_cast<PLXOutlineValueDialog*>(&dialog);
        EXPECT_NE(value, nullptr);
        EXPECT_EQ(value->getSpinBox()->minimum(), 3);
        EXPECT_EQ(value->getSpinBox()->maximum(), 200) << "the outline's length";
        EXPECT_EQ(value->getValue(), 4);
        value->setValue(20);
        previewed = coordinates(*canvas()->getExtraItem());
        return true;
    });
    editor->resampleAction()->trigger();
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, "Contour resampling");
    // Every 10 pixels along the perimeter from the first corner.
    Points expected;
    for (int k = 0; k < 20; ++k) {
        const int s = 10 * k;
        if (s < 60)
            expected.emplace_back(20 + s, 20);
        else if (s < 100)
            expected.emplace_back(80, 20 + (s - 60));
        else if (s < 160)
            expected.emplace_back(80 - (s - 100), 60);
        else
            expected.emplace_back(20, 60 - (s - 160));
    }
    EXPECT_EQ(previewed, expected) << "the working copy shows the result while the dialog is open";
    EXPECT_EQ(coordinates(*box), expected);
    EXPECT_EQ(canvas()->getExtraItem(), nullptr);
    EXPECT_EQ(editor->getActiveTool(), nullptr);
    EXPECT_EQ(lock->count(), 2);
    expectOneUndoStep(before);

    // Cancelled: nothing changes, no step.
    selectWholly(box);
    const std::string kept = text();
    script.modal([](QDialog& dialog) {
        static_cast<PLXOutlineValueDialog&>(dialog).setValue(5);
        return false;
    });
    editor->resampleAction()->trigger();
    EXPECT_EQ(text(), kept);
    EXPECT_EQ(history().getNumUndoSteps(), 1);
}

TEST_F(OutlineTools, DouglasPeuckerKeepsTheCornersAndRefusesBelowThreeVertices)
{
    // Corners with a 1-pixel bump mid-side and a 6-pixel one on the left side.
    ModelItem* outline = addItem(organ, slice(), {{20, 20}, {50, 21}, {80, 20}, {80, 80}, {20, 80}, {26, 50}});
    selectWholly(outline);
    DialogScript script;
    script.modal([](QDialog& dialog) {
        auto& value = static_cast<PLXOutlineValueDialog&>(dialog);
        EXPECT_EQ(value.getValue(), 1);
        EXPECT_EQ(value.getSpinBox()->maximum(), 100);
        value.setValue(3);
        return true;
    });
    const std::string before = text();
    editor->douglasPeuckerAction()->trigger();
    EXPECT_EQ(coordinates(*outline), (Points{{20, 20}, {80, 20}, {80, 80}, {20, 80}, {26, 50}}));
    expectOneUndoStep(before);

    // A tolerance beyond the outline leaves too little: refused, unchanged.
    selectWholly(outline);
    const std::string kept = text();
    script.modal([](QDialog& dialog) {
        static_cast<PLXOutlineValueDialog&>(dialog).setValue(100);
        return true;
    });
    script.button("OK");
    editor->douglasPeuckerAction()->trigger();
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[2].text, "Cannot decimate to less than 3 vertices");
    EXPECT_EQ(text(), kept);
}

TEST_F(OutlineTools, ChangeOfOriginRotatesTheVertexList)
{
    ModelItem* outline = addItem(organ, slice(), {{20, 20}, {80, 20}, {80, 80}, {20, 80}});
    selectWholly(outline);
    DialogScript script;
    script.modal([this](QDialog& dialog) {
        auto& value = static_cast<PLXOutlineValueDialog&>(dialog);
        EXPECT_EQ(value.getSpinBox()->maximum(), 3);
        value.setValue(2);
        const ModelItem* copy = canvas()->getExtraItem();
        EXPECT_EQ(coordinates(*copy)[0], (std::pair{80, 80}));
        EXPECT_TRUE(copy->getSelection().isSelected(0)) << "the new origin is marked";
        return true;
    });
    const std::string before = text();
    editor->changeOriginAction()->trigger();
    EXPECT_EQ(script.requests().at(0).title, "Contour reparameterization");
    EXPECT_EQ(coordinates(*outline), (Points{{80, 80}, {20, 80}, {20, 20}, {80, 20}}));
    expectOneUndoStep(before);
}

TEST_F(OutlineTools, FourierSmoothingWithOneDescriptorGivesTheBestFittingEllipse)
{
    // An ellipse (radii 60 and 30) with a high-frequency ripple: keeping one
    // descriptor each way leaves a circle-plus-counter-circle, that is the
    // ellipse without the ripple.
    Points wavy;
    const int n = 64;
    for (int k = 0; k < n; ++k) {
        const double t = 2.0 * std::numbers::pi * k / n;
        const double ripple = 4.0 * std::cos(8.0 * t);
        wavy.emplace_back(static_cast<int>(std::lround(100 + (60 + ripple) * std::cos(t))),
                          static_cast<int>(std::lround(75 - (30 + ripple) * std::sin(t))));
    }
    ModelItem* outline = addItem(organ, slice(), wavy);
    selectWholly(outline);
    DialogScript script;
    script.modal([](QDialog& dialog) {
        auto* descriptors = dialog.findChild<QSpinBox*>();
        auto* fidelity = dialog.findChild<QDoubleSpinBox*>();
        EXPECT_EQ(descriptors->maximum(), 32);
        EXPECT_GT(descriptors->value(), 0);
        // Fidelity and descriptors follow each other.
        fidelity->setValue(100.0);
        EXPECT_GE(descriptors->value(), 8) << "all of the spectrum needs the ripple's frequency";
        descriptors->setValue(1);
        EXPECT_LT(fidelity->value(), 100.0);
        EXPECT_GT(fidelity->value(), 70.0);
        return true;
    });
    const std::string before = text();
    editor->smoothAction()->trigger();
    ASSERT_EQ(outline->getSize(), n);
    double worst = 0.0;
    const Points smoothed = coordinates(*outline);
    for (int k = 0; k < n; ++k) {
        const double t = 2.0 * std::numbers::pi * k / n;
        const auto& v = smoothed[k];
        worst = std::max({worst, std::abs(v.first - (100 + 60 * std::cos(t))),
                          std::abs(v.second - (75 - 30 * std::sin(t)))});
    }
    EXPECT_LE(worst, 1.5) << "within rounding of the plain ellipse";
    expectOneUndoStep(before);
}

TEST_F(OutlineTools, SplittingCutsTheOutlineIntoNewItemsInOneStep)
{
    ModelItem* outline = addItem(organ, slice(), {{20, 20}, {60, 20}, {100, 20}, {100, 80}, {60, 80}, {20, 80}});
    outline->getProperties().setColor(0, 0, 255);
    selectWholly(outline);
    const std::string before = text();
    editor->splitAction()->trigger();
    ASSERT_EQ(editor->getActiveTool(), editor->getSplitDelegate());
    EXPECT_EQ(lock->count(), 1);

    // A line that does not cross changes nothing and leaves the tool on.
    drag({{10, 10}, {15, 100}});
    EXPECT_EQ(text(), before);
    EXPECT_EQ(editor->getActiveTool(), editor->getSplitDelegate());

    press(70, 5);
    move(72, 50);
    EXPECT_TRUE(canvas()->hasRubberLine());
    move(70, 95);
    release(70, 95);
    EXPECT_FALSE(canvas()->hasRubberLine());
    EXPECT_EQ(editor->getActiveTool(), nullptr);
    EXPECT_EQ(slice()->findItem(outline), -1);
    ASSERT_EQ(slice()->getNumItems(), 2);
    std::vector<Points> pieces;
    for (const ModelItem* piece : slice()->getItems()) {
        EXPECT_EQ(piece->getModel(), organ);
        EXPECT_EQ(piece->getProperties().getColor()[2], 255);
        Points p = coordinates(*piece);
        std::sort(p.begin(), p.end());
        pieces.push_back(p);
    }
    std::sort(pieces.begin(), pieces.end());
    // Each half keeps the corners on its side and both ends of the cut.
    EXPECT_EQ(pieces[0], (Points{{20, 20}, {20, 80}, {60, 20}, {60, 80}}));
    EXPECT_EQ(pieces[1], (Points{{60, 20}, {60, 80}, {100, 20}, {100, 80}}));
    // Regression: undoing the creations in the order they were made, then
    // redoing them, put the pieces back in their model's list reversed.
    expectOneUndoStep(before);
}
