#include "app/plxrootwindow.h"

#include "app/plxstackserver.h"
#include "apptesting.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QStatusBar>
#include <QTemporaryDir>

using namespace apptest;

// Closing the last root window is quitting: modified stacks are asked about,
// and a stack the user keeps cancels the exit. Other windows close at once.
TEST(PLXRootWindow, ClosingTheLastWindowAsksAboutUnsavedStacks)
{
    ServerCleanup cleanup;
    QTemporaryDir dir;
    auto written = sampleStack();
    ASSERT_TRUE(written->write(dir.filePath("cell.sdf")));

    auto* root = new PLXRootWindow;
    EXPECT_EQ(root->windowTitle(), "Plexan");
    EXPECT_EQ(root->statusBar()->currentMessage(), "Ready.");
    const QByteArray path = QFile::encodeName(dir.filePath("cell.sdf"));
    root->startupOpenStack(path.constData());
    ASSERT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    PLXStack* stack = PLXStackServer::stackServer.getStack(0);
    stack->setModified(true);

    // A second window closes without a question.
    {
        DialogScript script;
        auto* other = new PLXRootWindow;
        EXPECT_EQ(PLXRootWindow::getNumOpenRootWindows(), 2);
        EXPECT_TRUE(other->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(PLXRootWindow::getNumOpenRootWindows(), 1);
        EXPECT_TRUE(script.requests().empty());
    }
    {
        DialogScript script;
        script.button("Cancel");
        EXPECT_FALSE(root->close());
        EXPECT_EQ(script.titles(), QStringList{"Closing stack..."});
        EXPECT_EQ(root->statusBar()->currentMessage(), "Exit canceled");
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
        EXPECT_FALSE(PLXRootWindow::__uponQuitting);
    }
    DialogScript script;
    script.button("Ignore");
    root->close();
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 0);
    EXPECT_TRUE(PLXRootWindow::__uponQuitting);
    // Quitting confirmed, the window closes.
    EXPECT_TRUE(root->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(PLXRootWindow::getNumOpenRootWindows(), 0);
    PLXRootWindow::__uponQuitting = false;
}
