// The rendering mediator keeps one painter per model of its stack in step
// with the stack's events, rebuilds once per event batch, and offers the
// window's commands (poses, animation, STL export, stacks). These run
// without a canvas: the painters are built all the same.

#include "app/plxactionhistory.h"
#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "app/plxitemactions.h"
#include "app/plxmodelactions.h"
#include "app/plxsettingskeys.h"
#include "app/plxsliceactions.h"
#include "app/plxstackserver.h"
#include "app/plxvertexactions.h"
#include "app/tools/plxmodelitempaintergl.h"
#include "app/tools/plxmodelpaintergl.h"
#include "app/tools/plxrenderingmediator.h"
#include "app/tools/plxrenderingpaintergl.h"
#include "app/apptesting.h"
#include "renderingtesting.h"
#include "stack/pose.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace rendertest;

namespace {

const Model* modelNamed(const Stack& stack, const char* name)
{
    return stack.getModel(stack.findModel(name));
}

QStringList modelNames(const PLXRenderingMediator& mediator)
{
    QStringList names;
    for (const auto& painter : mediator.getPainters())
        names << QString::fromStdString(painter->getModel()->getName());
    return names;
}

int facets(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return static_cast<int>(f.readAll().count("facet normal"));
}

} // namespace

TEST(RenderingMediator, ShowsOnePainterPerModelInTheStacksOrder)
{
    auto stack = apptest::sampleStack();
    PLXRenderingMediator mediator;
    QSignalSpy shown(&mediator, &PLXRenderingMediator::stackShown);
    mediator.setStack(*stack);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(modelNames(mediator), (QStringList{"organ", "lumen", "duct", "nuclei"}));
    // The outlines are tubes of their grids; the nuclei go one by one.
    for (const char* name : {"organ", "lumen"}) {
        const PLXRenderingPainterGL& painter = *mediator.findPainter(modelNamed(*stack, name));
        ASSERT_FALSE(painter.isItemWise()) << name;
        ASSERT_TRUE(painter.getModelPainter()->isMesh()) << name;
        EXPECT_EQ(painter.getModelPainter()->getMesh()->getHeight(), 100);
        EXPECT_TRUE(painter.getModelPainter()->getMesh()->isClosed());
    }
    const Model* nuclei = modelNamed(*stack, "nuclei");
    const PLXRenderingPainterGL& points = *mediator.findPainter(nuclei);
    EXPECT_TRUE(points.isItemWise());
    EXPECT_EQ(static_cast<int>(points.getItemPainters().size()), nuclei->getNumItems());
    // The same stack again keeps its painters.
    const PLXRenderingPainterGL* organ = mediator.findPainter(modelNamed(*stack, "organ"));
    mediator.setStack(*stack);
    EXPECT_EQ(mediator.findPainter(modelNamed(*stack, "organ")), organ);
}

// An edit of one item rebuilds its model's painter only, once per event;
// undoing it rebuilds it again.
TEST(RenderingMediator, ItemAndModelEventsRebuildOnlyTheirModel)
{
    auto stack = apptest::sampleStack();
    PLXRenderingMediator mediator;
    mediator.setStack(*stack);
    QSignalSpy changed(&mediator, &PLXRenderingMediator::paintersChanged);
    auto built = [&](const char* name) {
        const PLXRenderingPainterGL* p = mediator.findPainter(modelNamed(*stack, name));
        return p->isItemWise() ? static_cast<const void*>(p->getItemPainters().front().get())
                               : static_cast<const void*>(p->getModelPainter()->getCurves());
    };
    Model* organ = stack->getModel(stack->findModel("organ"));
    const int organItems = organ->getNumItems();
    const void* lumen = built("lumen");
    const void* nuclei = built("nuclei");

    PLXItemDeletionAction deletion(*organ->getItems()[3]);
    deletion.apply();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(mediator.findPainter(organ)->getModelPainter()->getCurves()->getHeight(), organItems - 1);
    EXPECT_EQ(built("lumen"), lumen);
    EXPECT_EQ(built("nuclei"), nuclei);
    deletion.revert();
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(mediator.findPainter(organ)->getModelPainter()->getCurves()->getHeight(), organItems);

    // A moved nucleus moves in 3D.
    Model* points = stack->getModel(stack->findModel("nuclei"));
    ModelItem& item = *points->getItems()[0];
    const Vector<int> from = item.getVertices()[0];
    const Vector<int> to{from[0] + 10, from[1]};
    const float x0 = mediator.findPainter(points)->getItemPainters()[0]->getShape()->vertex(0)[0];
    PLXMoveVertexAction move(item, 0, from, to);
    move.apply();
    const float x1 = mediator.findPainter(points)->getItemPainters()[0]->getShape()->vertex(0)[0];
    EXPECT_NEAR(x1 - x0, 10 * stack->getSlice(stack->findSlice(item.getSlice()))->getPixelCalibration().getPixelWidth(),
                1e-4);
    EXPECT_EQ(built("lumen"), lumen);

    // A model drawn as curves from now on: its items one by one.
    ModelProperties old = organ->getProperties();
    organ->getProperties().setRenderingMode(RenderingMode::Curve);
    PLXModelPropertiesEvent properties(*organ);
    properties.setOldProperties(old);
    PLXEventServer::notifyEvent(properties);
    EXPECT_TRUE(mediator.findPainter(organ)->isItemWise());
    EXPECT_EQ(static_cast<int>(mediator.findPainter(organ)->getItemPainters().size()), organItems);

    // Deleting a model takes its painter out; undoing puts it back in place.
    Model* lumenModel = stack->getModel(stack->findModel("lumen"));
    PLXModelDeletionAction removal(*stack, *lumenModel);
    removal.apply();
    EXPECT_EQ(modelNames(mediator), (QStringList{"organ", "duct", "nuclei"}));
    removal.revert();
    EXPECT_EQ(modelNames(mediator), (QStringList{"organ", "lumen", "duct", "nuclei"}));

    // An item taken into another model leaves one painter for the other.
    const int lumenItems = lumenModel->getNumItems();
    PLXItemConversionAction conversion(*lumenModel->getItems()[0], *organ);
    conversion.apply();
    EXPECT_EQ(static_cast<int>(mediator.findPainter(organ)->getItemPainters().size()), organItems + 1);
    EXPECT_EQ(mediator.findPainter(lumenModel)->getModelPainter()->getCurves()->getHeight(), lumenItems - 1);
}

// Deleting models inside a batch leaves the view alone until the batch
// ends, then changes it once.
TEST(RenderingMediator, BatchedDeletionChangesTheViewOnceAtTheEnd)
{
    auto stack = apptest::sampleStack();
    PLXRenderingMediator mediator;
    mediator.setStack(*stack);
    QSignalSpy changed(&mediator, &PLXRenderingMediator::paintersChanged);
    Model* lumen = stack->getModel(stack->findModel("lumen"));
    Model* duct = stack->getModel(stack->findModel("duct"));
    Model* nuclei = stack->getModel(stack->findModel("nuclei"));
    ModelItem& nucleus = *nuclei->getItems()[0];
    const Vector<int> from = nucleus.getVertices()[0];
    {
        PLXModelDeletionAction first(*stack, *lumen);
        PLXModelDeletionAction second(*stack, *duct);
        PLXMoveVertexAction move(nucleus, 0, from, Vector<int>{from[0] + 3, from[1] + 3});
        PLXEventClient::enableEventBatch(true);
        first.apply();
        second.apply();
        move.apply();
        EXPECT_EQ(changed.count(), 0);
        EXPECT_TRUE(mediator.needsRefresh());
        EXPECT_EQ(mediator.getPainters().size(), 4u);
        PLXEventClient::enableEventBatch(false);
        EXPECT_EQ(changed.count(), 1);
        EXPECT_FALSE(mediator.needsRefresh());
        EXPECT_EQ(modelNames(mediator), (QStringList{"organ", "nuclei"}));
    }
    // The deletions' owners are gone with their models: the painters never
    // looked at them again.
    EXPECT_EQ(mediator.getPainters().size(), 2u);
}

// Changes that move the whole stack rebuild every painter: at once outside
// a batch, at its end inside one; slice insertions and deletions at once.
TEST(RenderingMediator, StackWideChangesRebuildEveryPainter)
{
    auto stack = emptyStack(3, 1.0f, 2.0f, 2.0f);
    Model* points = addModel(*stack, "points", MPrimitive::Polypoint, RenderingMode::Dot);
    addItem(points, stack->getSlice(2), {{5, 7}});
    Model* outline = addModel(*stack, "outline", MPrimitive::Polygon, RenderingMode::Surface);
    outline->getProperties().setQuadMeshWidth(8);
    outline->getProperties().setQuadMeshHeight(3);
    for (int k = 0; k < 3; ++k)
        addItem(outline, stack->getSlice(k), square(10, 10, 3));
    PLXRenderingMediator mediator;
    mediator.setStack(*stack);
    QSignalSpy changed(&mediator, &PLXRenderingMediator::paintersChanged);
    auto pointAt = [&] { return mediator.findPainter(points)->getItemPainters()[0]->getShape()->vertex(0); };
    EXPECT_FLOAT_EQ(pointAt()[0], 10.0f);

    // Slice 1 moved 4 pixels right: it and every slice above it follow.
    stack->getSlice(1)->setRegistration(Registration(4, 0, 0));
    PLXStackRegistrationEvent registration(*stack);
    PLXEventServer::notifyEvent(registration);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FLOAT_EQ(pointAt()[0], 10.0f + 4 * 2.0f);

    PLXEventClient::enableEventBatch(true);
    stack->getSlice(2)->setAbsolutePosition(5.0f);
    PLXStackSliceSpacingEvent spacing(*stack);
    PLXEventServer::notifyEvent(spacing);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FLOAT_EQ(pointAt()[2], 2.0f);
    PLXEventClient::enableEventBatch(false);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_FLOAT_EQ(pointAt()[2], 5.0f);

    // Deleting the first slice: the outline loses a level, at once.
    PLXEventClient::enableEventBatch(true);
    PLXSliceInsertionDeletionAction deletion(*stack, *stack->getSlice(0), PLXSliceInsertionDeletionAction::Deletion, 0);
    deletion.apply();
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(mediator.findPainter(outline)->getModelPainter()->getCurves()->getHeight(), 2);
    PLXEventClient::enableEventBatch(false);
    deletion.revert();
    EXPECT_EQ(mediator.findPainter(outline)->getModelPainter()->getCurves()->getHeight(), 3);
}

TEST(RenderingMediator, ModelsThatCannotBeShownAreReported)
{
    auto stack = emptyStack(2);
    Model* odd = addModel(*stack, "odd", MPrimitive::Polygon, RenderingMode::Unknown);
    addItem(odd, stack->getSlice(0), square(3, 3, 2));
    addModel(*stack, "fine", MPrimitive::Polygon, RenderingMode::Curve);
    DialogScript script;
    script.button("OK");
    PLXRenderingMediator mediator;
    mediator.setStack(*stack);
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, "Rendering");
    EXPECT_TRUE(script.requests()[0].text.contains("odd: Unexpected model rendering mode"));
    EXPECT_EQ(modelNames(mediator), QStringList{"fine"});
}

// Poses: the submenus list the stack's poses and are disabled without any.
TEST(RenderingMediator, PosesAreRecordedListedAndDeleted)
{
    auto stack = emptyStack(1);
    PLXRenderingMediator mediator;
    std::vector<std::string> log;
    apptest::Recorder recorder("r", &log);
    mediator.setStack(*stack);
    QMenu* select = mediator.getSelectPoseMenu();
    QMenu* remove = mediator.getDeletePoseMenu();
    EXPECT_FALSE(select->menuAction()->isEnabled());
    EXPECT_FALSE(remove->menuAction()->isEnabled());

    DialogScript script;
    script.value(QStringLiteral("front")).value(QStringLiteral("  ")).cancel();
    mediator.getRecordPoseAction()->trigger();
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, "Rendering");
    EXPECT_EQ(script.requests()[0].text, "Enter pose name:");
    ASSERT_EQ(stack->getNumPoses(), 1);
    EXPECT_EQ(stack->getPose(0)->getName(), "front");
    EXPECT_EQ(stack->getPose(0)->getStack(), stack.get());
    EXPECT_NE(std::find(recorder.codes.begin(), recorder.codes.end(), int(PLXEvent::PoseCreateEvent)),
              recorder.codes.end());
    EXPECT_TRUE(stack->isModified());
    // A blank name gets a number; a cancelled one records nothing.
    mediator.getRecordPoseAction()->trigger();
    mediator.getRecordPoseAction()->trigger();
    ASSERT_EQ(stack->getNumPoses(), 2);
    EXPECT_EQ(stack->getPose(1)->getName(), "Pose 2");

    ASSERT_EQ(select->actions().size(), 2);
    EXPECT_EQ(select->actions()[0]->text(), "front");
    EXPECT_EQ(remove->actions()[1]->data().toInt(), 1);
    EXPECT_TRUE(select->menuAction()->isEnabled());
    EXPECT_TRUE(remove->menuAction()->isEnabled());

    recorder.codes.clear();
    remove->actions()[0]->trigger();
    ASSERT_EQ(stack->getNumPoses(), 1);
    EXPECT_EQ(stack->getPose(0)->getName(), "Pose 2");
    EXPECT_NE(std::find(recorder.codes.begin(), recorder.codes.end(), int(PLXEvent::PoseDeleteEvent)),
              recorder.codes.end());
    EXPECT_EQ(select->actions().size(), 1);
    remove->actions()[0]->trigger();
    EXPECT_EQ(stack->getNumPoses(), 0);
    EXPECT_FALSE(select->menuAction()->isEnabled());
    EXPECT_FALSE(remove->menuAction()->isEnabled());
}

TEST(RenderingMediator, AnimationAngleAndIntervalApplyToBothMotions)
{
    PLXRenderingMediator mediator;
    DialogScript script;
    script.value(-30).value(400).cancel();
    mediator.getAnimationAngleAction()->trigger();
    mediator.getAnimationTimeoutAction()->trigger();
    mediator.getAnimationTimeoutAction()->trigger();
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[0].text, "Enter animation angle (deg.):");
    EXPECT_EQ(script.requests()[0].minimum.toInt(), -180);
    EXPECT_EQ(script.requests()[0].maximum.toInt(), 180);
    EXPECT_EQ(script.requests()[1].text, "Enter animation interval (msec):");
    EXPECT_EQ(script.requests()[1].maximum.toInt(), 10000);
    EXPECT_FLOAT_EQ(mediator.getRandomMotion().getAngleStep(), -30.0f);
    EXPECT_FLOAT_EQ(mediator.getSpinningMotion().getAngleStep(), -30.0f);
    EXPECT_EQ(mediator.getRandomMotion().getTimeout(), 400);
    EXPECT_EQ(mediator.getSpinningMotion().getTimeout(), 400);
    // The cancelled dialog proposed the current interval and changed nothing.
    EXPECT_EQ(script.requests()[2].value.toInt(), 400);
    EXPECT_EQ(mediator.getRandomMotion().getTimeout(), 400);
}

// STL export writes each outline model's tube, says that point models are
// left out, and never writes over a file already there.
TEST(RenderingMediator, StlExportWritesSurfacesAndNeverOverwrites)
{
    auto stack = apptest::sampleStack();
    PLXRenderingMediator mediator;
    mediator.setStack(*stack);
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QString dir = out.path() + "/stl export";
    ASSERT_TRUE(QDir().mkpath(dir));

    DialogScript script;
    script.value(dir).button("OK");
    mediator.getExportAction()->trigger();
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[0].title, "Select export directory");
    EXPECT_EQ(script.requests()[0].directory, QDir::homePath());
    EXPECT_EQ(script.requests()[1].title, "STL export");
    EXPECT_EQ(script.requests()[1].text, "STL supports only surface objects\n Point models could not be saved");
    EXPECT_EQ(QSettings().value(PLXSettingsKeys::exportDirectory).toString(), dir);
    // Two triangles per quadrilateral of the 100 x 100 grid: the closed
    // tubes join their last column to the first, the open duct does not.
    EXPECT_EQ(facets(dir + "/sample-organ.stl"), 2 * 100 * 99);
    EXPECT_EQ(facets(dir + "/sample-lumen.stl"), 2 * 100 * 99);
    EXPECT_EQ(facets(dir + "/sample-duct.stl"), 2 * 99 * 99);
    EXPECT_FALSE(QFile::exists(dir + "/sample-nuclei.stl"));

    // Again into the same place: the first file found stops the export.
    QFile organ(dir + "/sample-organ.stl");
    ASSERT_TRUE(organ.open(QIODevice::WriteOnly | QIODevice::Truncate));
    organ.write("kept");
    organ.close();
    QFile::remove(dir + "/sample-lumen.stl");
    script.clear();
    script.value(dir).button("OK").button("OK");
    mediator.getExportAction()->trigger();
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[0].directory, dir);
    EXPECT_EQ(script.requests()[2].title, "STL export: write error");
    EXPECT_EQ(script.requests()[2].text,
              dir + "/sample-organ.stl:\n\nfile already exists.\n\nExport to STL interrupted.");
    ASSERT_TRUE(organ.open(QIODevice::ReadOnly));
    EXPECT_EQ(organ.readAll(), "kept");
    EXPECT_FALSE(QFile::exists(dir + "/sample-lumen.stl"));
}

TEST(RenderingMediator, MovesThroughTheOpenStacksAndLetsAClosedOneGo)
{
    apptest::ServerCleanup cleanup;
    PLXRenderingMediator mediator;
    std::vector<PLXStack*> stacks;
    for (const char* name : {"a", "b", "c"}) {
        auto stack = emptyStack(1);
        stack->setName(name);
        stacks.push_back(stack.get());
        PLXStackServer::stackServer.addStack(stack.release());
    }
    mediator.setStack(*stacks[0]);
    EXPECT_TRUE(mediator.getNextStackAction()->isEnabled());
    mediator.getPreviousStackAction()->trigger();
    EXPECT_EQ(mediator.getStack(), stacks[2]);
    mediator.getNextStackAction()->trigger();
    mediator.getNextStackAction()->trigger();
    EXPECT_EQ(mediator.getStack(), stacks[1]);

    QSignalSpy closed(&mediator, &PLXRenderingMediator::stackClosed);
    PLXStackServer::stackServer.removeStack(stacks[0]);
    EXPECT_EQ(closed.count(), 0);
    PLXStackServer::stackServer.removeStack(stacks[2]);
    EXPECT_FALSE(mediator.getNextStackAction()->isEnabled());
    PLXStackServer::stackServer.removeStack(stacks[1]);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(mediator.getStack(), nullptr);
    EXPECT_TRUE(mediator.getPainters().empty());
    EXPECT_FALSE(mediator.getRecordPoseAction()->isEnabled());
}

// Recording and deleting a pose are steps of the stack's history, named for
// the Edit menu; an undone deletion puts the pose back at its place, so the
// stack writes exactly as before. (Both used to bypass the history.)
TEST(RenderingMediator, PoseRecordingAndDeletionAreUndoable)
{
    auto stack = emptyStack(1);
    for (int i = 0; i < 3; ++i) {
        auto* pose = new Pose;
        pose->setName("p" + std::to_string(i));
        pose->setRotation(10 * i, 0, 0);
        pose->setStack(stack.get());
        pose->attach();
    }
    PLXRenderingMediator mediator;
    mediator.setStack(*stack);
    PLXActionHistory& history = stack->history();
    const std::string original = apptest::stackText(*stack);

    DialogScript script;
    script.value(QStringLiteral("side"));
    mediator.getRecordPoseAction()->trigger();
    ASSERT_EQ(stack->getNumPoses(), 4);
    const std::string recorded = apptest::stackText(*stack);
    EXPECT_EQ(history.getUndoDescription(), "Pose recording");
    history.undo();
    EXPECT_EQ(apptest::stackText(*stack), original);
    EXPECT_EQ(mediator.getSelectPoseMenu()->actions().size(), 3);
    history.redo();
    EXPECT_EQ(apptest::stackText(*stack), recorded);
    EXPECT_EQ(mediator.getSelectPoseMenu()->actions().size(), 4);

    // The middle one of the first three.
    mediator.getDeletePoseMenu()->actions()[1]->trigger();
    ASSERT_EQ(stack->getNumPoses(), 3);
    const std::string deleted = apptest::stackText(*stack);
    EXPECT_EQ(history.getUndoDescription(), "Pose deletion");
    EXPECT_EQ(history.getNumUndoSteps(), 2);
    history.undo();
    EXPECT_EQ(apptest::stackText(*stack), recorded);
    EXPECT_EQ(mediator.getDeletePoseMenu()->actions()[1]->text(), "p1");
    history.redo();
    EXPECT_EQ(apptest::stackText(*stack), deleted);
    history.undo();
    history.undo();
    EXPECT_EQ(apptest::stackText(*stack), original);
    EXPECT_EQ(script.unexpected(), 0);
}
