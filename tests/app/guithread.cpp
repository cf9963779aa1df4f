// The GUI thread stays responsive during the long commands on a larger
// specimen (40 sections of 384 x 384 pixels): the longest time the event
// loop went without turning, measured by a ticking timer, stays short while
// the rendering window builds its meshes, and a cancelled build leaves no
// window, or the window showing what it showed before.

#include "app/plxactionhistory.h"
#include "app/plxprogressdialog.h"
#include "app/plxregistrationaction.h"
#include "app/plxrootmediator.h"
#include "app/plxrootwindow.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/tools/plxanalysiswindow.h"
#include "app/tools/plxdensitymap.h"
#include "app/tools/plxdensitywindow.h"
#include "app/tools/plxrenderingmediator.h"
#include "app/tools/plxrenderingpaintergl.h"
#include "app/tools/plxrenderingwindow.h"
#include "app/tools/plxtablewidget.h"
#include "apptesting.h"
#include "gl/glwarmup.h"
#include "gl/viewercanvasgl.h"
#include "guiwatchdog.h"
#include "stack/model.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"
#include "support/dialogscript.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QOpenGLWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <iostream>
#include <thread>

using apptest::shownWindows;

namespace {

// The longest a command may hold the GUI thread (generous for the
// sanitizers and a busy machine; a freeze of the windows is seconds).
constexpr qint64 responsive = 250;

// Watches the progress dialogs that show up (polled from the GUI thread's
// loop, which a worker's local loop keeps turning): the longest gap of the
// event loop while one is shown (the computation behind it), and, when
// asked, Cancel pressed in the first one as the user does.
class ProgressWatch {
public:
    ProgressWatch(GuiWatchdog& watchdog, bool cancel) : m_watchdog(watchdog), m_cancel(cancel)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(1);
    }
    bool seen() const { return m_seen; }
    const QString& label() const { return m_label; }
    qint64 gapWhileShown() const { return m_gap; }

private:
    void poll()
    {
        const QList<PLXProgressDialog*> dialogs = shownWindows<PLXProgressDialog>();
        if (dialogs.isEmpty())
            return;
        if (!m_seen) {
            m_seen = true;
            m_watchdog.restart();
            m_label = dialogs.front()->labelText();
            if (const QString dir = qEnvironmentVariable("PLEXAN_GRAB_DIR"); !dir.isEmpty())
                dialogs.front()->grab().save(QDir(dir).filePath("progress.png"));
            if (m_cancel)
                for (QPushButton* button : dialogs.front()->findChildren<QPushButton*>())
                    button->click();
            return;
        }
        m_gap = std::max(m_gap, m_watchdog.longestGap());
    }

    GuiWatchdog& m_watchdog;
    bool m_cancel;
    QTimer m_timer;
    bool m_seen = false;
    QString m_label;
    qint64 m_gap = 0;
};

// The bounding box of every painter of a rendering mediator, against the
// painters built right here, in this thread, from the stack as it is.
void expectPaintersOfTheStack(const PLXRenderingMediator& mediator, const PLXStack& stack)
{
    StackReconstruction<float> reconstruction(stack);
    ASSERT_EQ(mediator.getPainters().size(), static_cast<std::size_t>(stack.getNumModels()));
    for (int i = 0; i < stack.getNumModels(); ++i) {
        PLXRenderingPainterGL direct;
        direct.setModel(*stack.getModel(i), reconstruction);
        const PLXRenderingPainterGL& shown = *mediator.getPainters()[static_cast<std::size_t>(i)];
        EXPECT_EQ(shown.getModel(), stack.getModel(i));
        const BoundingBox<float> a = shown.boundingBox(), b = direct.boundingBox();
        for (int k = 0; k < 3; ++k) {
            EXPECT_FLOAT_EQ(a.min(k), b.min(k)) << stack.getModel(i)->getName() << " axis " << k;
            EXPECT_FLOAT_EQ(a.max(k), b.max(k)) << stack.getModel(i)->getName() << " axis " << k;
        }
    }
}

} // namespace

TEST(GuiThreadDisplay, TheWatchdogSeesWorkInTheGuiThreadAndNotInAWorker)
{
    GuiWatchdog watchdog;
    QTest::qWait(60);
    // Work in the GUI thread freezes the loop for all its length...
    watchdog.restart();
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < 300)
        std::this_thread::yield();
    EXPECT_GE(watchdog.longestGap(), 300 - GuiWatchdog::interval);
    // ...the same wait with the loop turning does not.
    watchdog.restart();
    QTest::qWait(300);
    EXPECT_LT(watchdog.longestGap(), 150);
}

TEST(GuiThreadDisplay, ALargerSpecimenIsReconstructedWithoutFreezingTheWindows)
{
    apptest::ServerCleanup cleanup;
    DialogScript script;
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString dir = scratch.filePath("larger");
    {
        QProcess maker;
        maker.start(PLEXAN_MAKE_SAMPLE, {"--sections", "40", "--size", "384x384", dir});
        ASSERT_TRUE(maker.waitForFinished(120000));
        ASSERT_EQ(maker.exitCode(), 0) << maker.readAllStandardError().toStdString();
    }
    const QString grabs = qEnvironmentVariable("PLEXAN_GRAB_DIR");
    GuiWatchdog watchdog;
    const auto report = [&](const char* stage) {
        const qint64 gap = watchdog.longestGap();
        std::cout << "[ gui gap  ] " << stage << ": " << gap << " ms\n";
        watchdog.restart();
        return gap;
    };

    // The GL driver is loaded and its code generator brought up in a thread
    // of its own, as the program does once its window is up; then the
    // process's first GL window, before the commands are timed.
    GLWarmUp::start();
    ASSERT_TRUE(QTest::qWaitFor([] { return GLWarmUp::isFinished(); }, 60000));
    EXPECT_TRUE(GLWarmUp::isWarm());
    EXPECT_LT(report("the GL warm-up, in its thread"), responsive);
    {
        QOpenGLWidget warmUp;
        warmUp.resize(64, 64);
        warmUp.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&warmUp));
        QTest::qWait(50);
    }
    report("the first GL window of the process");

    QPointer<PLXRootWindow> root = new PLXRootWindow;
    root->resize(1000, 700);
    root->show();
    PLXRootMediator& mediator = *root->getMediator();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(root.data()));
    watchdog.restart();
    script.value(QStringList{dir + "/sample.sdf"});
    mediator.openStackAction()->trigger();
    ASSERT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    PLXStack& stack = *mediator.getCurrentStack();
    ASSERT_EQ(stack.getNumSlices(), 40);
    report("open");
    const int steps = stack.history().getNumUndoSteps();

    // Reconstruct, cancelled at once: no window, nothing changed.
    {
        ProgressWatch cancel(watchdog, true);
        mediator.reconstructAction()->trigger();
        EXPECT_TRUE(cancel.seen());
        EXPECT_TRUE(cancel.label().contains("Building the models")) << cancel.label().toStdString();
    }
    EXPECT_LT(report("reconstruct, cancelled"), responsive);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(root->findChildren<PLXRenderingWindow*>().isEmpty()) << "a cancelled reconstruction opens no window";
    EXPECT_TRUE(shownWindows<PLXProgressDialog>().isEmpty());
    EXPECT_FALSE(stack.isModified());
    EXPECT_EQ(stack.history().getNumUndoSteps(), steps);

    // Reconstruct. The first 3D window's first frame compiles the software
    // renderer's lit-surface code in the GUI thread (as GL must); reported,
    // then the command is timed again on a fresh window.
    mediator.reconstructAction()->trigger();
    {
        QList<PLXRenderingWindow*> first = shownWindows<PLXRenderingWindow>();
        ASSERT_EQ(first.size(), 1);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(first[0]));
        QTest::qWait(100);
        report("reconstruct with the process's first 3D frame");
        delete first[0];
    }
    QTest::qWait(20);
    watchdog.restart();
    {
        // The window's show() draws its first frame at once (GL, in this
        // thread): the meshes, built in the worker, must not add to it.
        ProgressWatch watch(watchdog, false);
        mediator.reconstructAction()->trigger();
        EXPECT_TRUE(watch.seen());
        EXPECT_LT(watch.gapWhileShown(), responsive) << "while the meshes were built";
        std::cout << "[ gui gap  ] reconstruct, while the meshes were built: " << watch.gapWhileShown() << " ms\n";
    }
    report("reconstruct, and the window's first frame");
    QList<PLXRenderingWindow*> renderings = shownWindows<PLXRenderingWindow>();
    ASSERT_EQ(renderings.size(), 1);
    PLXRenderingWindow& rendering = *renderings[0];
    PLXRenderingMediator& view = rendering.getMediator();
    expectPaintersOfTheStack(view, stack);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rendering));
    QTest::qWait(100);
    report("the rendering window's next frames");
    rendering.getCanvas().update();
    QTest::qWait(100);
    report("a repaint of the rendering window");
    watchdog.restart();
    const QImage picture = rendering.getCanvas().grabFramebuffer();
    EXPECT_NE(picture.pixelColor(picture.width() / 2, picture.height() / 2), picture.pixelColor(2, 2))
        << "the organ covers the middle of the view";
    if (!grabs.isEmpty())
        rendering.grab().save(QDir(grabs).filePath("rendering.png"));

    // The rebuilds below, with the window hidden: what they cost the GUI
    // thread, not the software renderer's frames.
    rendering.hide();
    QTest::qWait(20);
    watchdog.restart();

    // A new registration of one slice, its rebuild cancelled: the window
    // keeps the painters it had, and rebuilds at the next change.
    std::vector<const PLXRenderingPainterGL*> before;
    for (const auto& painter : view.getPainters())
        before.push_back(painter.get());
    const BoundingBox<float> organBefore = view.getPainters().front()->boundingBox();
    StackSlice& slice = *stack.getSlice(20);
    const Registration old = slice.getRegistration();
    Registration moved = old;
    moved.setHorizontalShift(old.getHorizontalShift() + 300);
    auto* action = new PLXRegistrationAction(stack);
    action->addSlice(slice, old, moved);
    {
        ProgressWatch cancel(watchdog, true);
        stack.history().openStep();
        stack.history().push(action, true);
        stack.history().closeStep();
        EXPECT_TRUE(cancel.seen());
    }
    EXPECT_LT(report("registration, its rebuild cancelled"), responsive);
    ASSERT_EQ(view.getPainters().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(view.getPainters()[i].get(), before[i]) << "the painters the window had";
    EXPECT_TRUE(view.needsRefresh());
    EXPECT_FLOAT_EQ(view.getPainters().front()->boundingBox().max(0), organBefore.max(0));

    // Undone: the rebuild runs to its end, on the stack as it is again.
    stack.history().undo();
    EXPECT_LT(report("registration undone, rebuilt"), responsive);
    EXPECT_FALSE(view.needsRefresh());
    expectPaintersOfTheStack(view, stack);
    // Redone: the moved slice widens the organ.
    stack.history().redo();
    EXPECT_LT(report("registration redone, rebuilt"), responsive);
    expectPaintersOfTheStack(view, stack);
    EXPECT_NE(view.getPainters().front()->boundingBox().max(0), organBefore.max(0));
    stack.history().undo();

    // The density map of the nuclei and its isosurfaces.
    {
        PLXDensityWindow density({&stack});
        density.resize(700, 500);
        density.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&density));
        density.getModelBox()->setCurrentText("nuclei");
        density.getPercentilesEdit()->setText("50, 90");
        watchdog.restart();
        density.compute();
        EXPECT_TRUE(density.getMap().hasMap());
        EXPECT_LT(report("density map"), responsive);
        QTest::qWait(100);
        report("first paint of the density map");
    }

    // Measure.
    mediator.analyzeAction()->trigger();
    PLXAnalysisWindow* analysis = PLXAnalysisWindow::find(stack);
    ASSERT_NE(analysis, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return analysis->getModelTable()->rowCount() >= 2; }, 30000));
    report("measure");
    EXPECT_EQ(script.unexpected(), 0) << script.titles().join(", ").toStdString();
    stack.setModified(false);
    delete root.data();
}
