#include "gl/curvepaintergl.h"
#include "gl/shapeviewerattributeseditor.h"
#include "gl/shapeviewerpaintergl.h"
#include "gl/vieweranimation.h"
#include "gl/viewerposepanel.h"
#include "gl/viewerrandommotion.h"
#include "gl/viewerspinningmotion.h"
#include "numerics/maths.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

std::vector<int> shown(const std::vector<std::unique_ptr<ShapeViewerPainterGL>>& painters)
{
    std::vector<int> list;
    for (std::size_t k = 0; k < painters.size(); ++k)
        if (painters[k]->getProxy().isVisible())
            list.push_back(static_cast<int>(k));
    return list;
}

Matrix<double> rotation(double a, double b, double c)
{
    const double k = std::numbers::pi / 180;
    return Maths::xRotationMatrix3D(a * k) * Maths::yRotationMatrix3D(b * k) * Maths::zRotationMatrix3D(c * k);
}

} // namespace

TEST(ViewerAnimation, RunsToTheEndThenTurnsBackOrWrapsAround)
{
    std::vector<std::unique_ptr<ShapeViewerPainterGL>> painters;
    QList<ShapeViewerPainterGL*> list;
    for (int i = 0; i < 5; ++i) {
        painters.push_back(std::make_unique<ShapeViewerPainterGL>(std::make_unique<CurvePainterGL<float>>()));
        list.append(painters.back().get());
    }
    ViewerAnimation animation;
    animation.setPainters(list);
    QSignalSpy changes(&animation, &ViewerAnimation::currentIndexChanged);
    animation.setCurrentIndex(0);
    const std::vector<std::vector<int>> expected = {{0, 1}, {2, 3}, {4}, {3, 4}, {1, 2}, {0, 1}, {2, 3}};
    for (std::size_t step = 0; step < expected.size(); ++step) {
        EXPECT_EQ(shown(painters), expected[step]) << "step " << step;
        animation.makeOneStep();
    }
    EXPECT_EQ(changes.count(), 8);

    animation.setCircular(true);
    animation.setDirection(ViewerAnimation::Forward);
    animation.setCurrentIndex(4);
    animation.makeOneStep();
    EXPECT_EQ(shown(painters), (std::vector<int>{0, 1}));
    animation.setDirection(ViewerAnimation::Backward);
    animation.makeOneStep();
    EXPECT_EQ(animation.getCurrentIndex(), 4);

    // One painter, or none: index 0 whichever way.
    ViewerAnimation single;
    single.setPainters(list.mid(0, 1));
    single.setCurrentIndex(3);
    EXPECT_EQ(single.getCurrentIndex(), 0);
    EXPECT_EQ(single.getDirection(), ViewerAnimation::Backward);
    ViewerAnimation empty;
    empty.setCurrentIndex(-1);
    EXPECT_EQ(empty.getCurrentIndex(), 0);
}

TEST(ViewerRandomMotion, AnglesMoveByTheStepWrapAndNowAndThenTurn)
{
    ViewerRandomMotion motion;
    motion.seed(20240611);
    motion.setAngleStep(7);
    motion.setRotation(Vector<float>{178, -176, 0});
    QSignalSpy emitted(&motion, &ViewerMotion::rotationChanged);
    int flips = 0;
    Vector<int> direction = motion.getDirection();
    const int steps = 30000;
    for (int s = 0; s < steps; ++s) {
        const Vector<float> before = motion.getRotation();
        motion.step();
        const Vector<float>& after = motion.getRotation();
        for (int k = 0; k < 3; ++k) {
            flips += motion.getDirection()[k] != direction[k];
            // An unwrapped angle moved by sign x step, brought back by one turn.
            float expected = before[k] + motion.getDirection()[k] * 7.0f;
            expected += expected > 180 ? -360.0f : (expected < -180 ? 360.0f : 0.0f);
            ASSERT_FLOAT_EQ(after[k], expected) << "step " << s;
            ASSERT_LE(std::abs(after[k]), 180.0f);
        }
        direction = motion.getDirection();
    }
    EXPECT_EQ(emitted.count(), steps);
    // 90 flips expected over 90,000 draws of probability 0.001 (sd 9.5).
    EXPECT_GT(flips, 50);
    EXPECT_LT(flips, 140);
}

TEST(ViewerSpinningMotion, TurnsAboutTheViewsVerticalAxis)
{
    ViewerSpinningMotion motion;
    motion.setRotation(Vector<float>{90, 0, 0});
    motion.setAngleStep(30);
    motion.step();
    const Vector<float>& r = motion.getRotation();
    const Matrix<double> expected = rotation(0, 30, 0) * rotation(90, 0, 0);
    const Matrix<double> actual = rotation(r[0], r[1], r[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(actual[i][j], expected[i][j], 1e-5);
    // Twelve steps make a full turn.
    for (int s = 1; s < 12; ++s)
        motion.step();
    const Matrix<double> back = rotation(motion.getRotation()[0], motion.getRotation()[1], motion.getRotation()[2]);
    const Matrix<double> start = rotation(90, 0, 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(back[i][j], start[i][j], 1e-4);
}

TEST(ViewerPosePanel, UserChangesAreAnnouncedShownValuesAreNot)
{
    ViewerPosePanel panel;
    QSignalSpy zoom(&panel, &ViewerPosePanel::zoomChanged);
    QSignalSpy rotation(&panel, &ViewerPosePanel::rotationChanged);
    QSignalSpy projection(&panel, &ViewerPosePanel::projectionChanged);
    QSignalSpy background(&panel, &ViewerPosePanel::backgroundChanged);
    panel.setZoom(250);
    panel.setRotation(Vector<float>{10.25f, -20.75f, 0});
    EXPECT_EQ(zoom.count(), 0);
    EXPECT_EQ(rotation.count(), 0);
    EXPECT_EQ(panel.getRotation(), (Vector<float>{10, -21, 0}));

    const QList<QSpinBox*> spins = panel.findChildren<QSpinBox*>();
    spins[5]->setValue(300);
    ASSERT_EQ(zoom.count(), 1);
    EXPECT_EQ(zoom[0][0].toInt(), 300);
    spins[1]->setValue(45);
    ASSERT_EQ(rotation.count(), 1);
    EXPECT_EQ(panel.getRotation(), (Vector<float>{10, 45, 0}));

    // The strength is only for perspective.
    const QList<QComboBox*> combos = panel.findChildren<QComboBox*>();
    QSpinBox* strength = spins.back();
    EXPECT_TRUE(strength->isEnabled());
    combos[1]->setCurrentIndex(0); // Orthographic
    EXPECT_FALSE(strength->isEnabled());
    ASSERT_EQ(projection.count(), 1);
    EXPECT_TRUE(panel.getProjection().isOrthographic());
    combos[0]->setCurrentIndex(0); // Uniform
    ASSERT_EQ(background.count(), 1);
    EXPECT_FALSE(panel.getBackground().hasGradient());
}

TEST(ShapeViewerAttributesEditor, ShowsAndBuildsSetsLeavingUnsetValuesUndefined)
{
    ShapeViewerAttributesEditor editor;
    ShapePainterAttributesGL a;
    a.setColor(10, 20, 30);
    a.setDisplayMode(DisplayModeSurface);
    a.setVertexSymbol(VertexSymbolDiamond);
    a.setTransparency(254.5f); // kept, not rounded to opaque
    a.setSmoothing(3);
    a.setEndCapFlag(false);
    editor.setAttributes(a);
    EXPECT_EQ(editor.getAttributes(), a);

    // -1 and a partially checked box leave an attribute undefined.
    ShapePainterAttributesGL partial;
    partial.clear();
    partial.setLineWidth(2);
    editor.setAttributes(partial);
    EXPECT_EQ(editor.getAttributes(), partial);

    // Applied, stored and announced; Cancel returns to the stored set.
    QSignalSpy changed(&editor, &ShapeViewerAttributesEditor::attributesChanged);
    auto* opacity = editor.findChildren<QDoubleSpinBox*>()[2];
    opacity->setValue(100);
    EXPECT_EQ(changed.count(), 0);
    editor.cancel();
    EXPECT_FALSE(editor.getAttributes().useTransparency());
    opacity->setValue(100);
    editor.apply();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(editor.getStoredAttributes().getTransparency(), 100.0f);

    // Immediate: every change at once; the colour through the colour dialog.
    editor.setImmediate(true);
    DialogScript script;
    script.value(QColor(1, 2, 3));
    for (QPushButton* b : editor.findChildren<QPushButton*>()) {
        if (b->text() == "Select...")
            b->click();
        else if (b->text() == "Apply")
            EXPECT_FALSE(b->isEnabled());
    }
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(editor.getStoredAttributes().getColor(), (Vector<int>{1, 2, 3}));
    editor.findChildren<QCheckBox*>()[1]->setCheckState(Qt::Checked); // begin cap
    EXPECT_EQ(changed.count(), 3);
    EXPECT_TRUE(editor.getStoredAttributes().getBeginCapFlag());
}
