// Progress across threads: the worker's notifications reach the GUI-side
// monitors in order and before run() returns; a cancel from the GUI thread
// stops a computation that polls its own subject; exceptions come back with
// their type.

#include "app/plxworker.h"

#include "app/plxprogressdialog.h"
#include "app/plxprogressproxy.h"
#include "numerics/exception.h"
#include "numerics/progressmonitor.h"
#include "numerics/progresssubject.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace {

// Notes what it hears, and the thread it hears it in.
class Journal : public ProgressMonitor {
public:
    std::vector<std::string> lines;
    std::vector<QThread*> threads;
    std::function<void(unsigned int)> onStep;

protected:
    void subjectStarted(const std::string& t) override { note("started " + t); }
    void subjectFinished(const std::string& t) override { note("finished " + t); }
    void subjectCanceled(const std::string& t) override { note("canceled " + t); }
    void subjectProgressed(const std::string& t) override { note("text " + t); }
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        note(std::to_string(i) + "/" + std::to_string(n));
        if (onStep)
            onStep(i);
    }

private:
    void note(const std::string& line)
    {
        lines.push_back(line);
        threads.push_back(QThread::currentThread());
    }
};

// A computation of n steps that stops when cancelled.
class Steps : public ProgressSubject {
public:
    unsigned int run(unsigned int n)
    {
        notifyStarted("steps");
        unsigned int i = 0;
        for (; i < n && !isCanceled(); ++i) {
            notifyProgressed(i, n);
            QThread::usleep(200);
        }
        if (isCanceled())
            notifyCanceled("stopped");
        else
            notifyFinished("done");
        return i;
    }
};

} // namespace

TEST(PLXWorker, ProgressReachesTheGuiThreadInOrder)
{
    PLXWorker worker;
    Journal journal;
    worker.getProgress().addMonitor(journal);
    QThread* workerThread = nullptr;
    worker.run([&](PLXProgressProxy& progress) {
        workerThread = QThread::currentThread();
        Steps steps;
        steps.addMonitor(progress);
        steps.run(3);
        progress.notifyProgressed(std::string("almost"));
        steps.removeMonitor(progress);
    });
    // Texts of start, finish and cancel stay behind; status texts cross.
    EXPECT_EQ(journal.lines, (std::vector<std::string>{"started ", "0/3", "1/3", "2/3", "finished ", "text almost"}));
    EXPECT_NE(workerThread, QThread::currentThread());
    for (QThread* t : journal.threads)
        EXPECT_EQ(t, QThread::currentThread());
    EXPECT_FALSE(worker.isCanceled());
    worker.getProgress().removeMonitor(journal);
}

TEST(PLXWorker, CancelStopsAComputationThatPollsItsSubject)
{
    PLXWorker worker;
    Journal journal;
    worker.getProgress().addMonitor(journal);
    journal.onStep = [&worker](unsigned int i) {
        if (i == 5)
            worker.cancel();
    };
    unsigned int done = 0;
    worker.run([&](PLXProgressProxy& progress) {
        Steps steps;
        steps.addMonitor(progress);
        done = steps.run(100000);
        steps.removeMonitor(progress);
    });
    EXPECT_TRUE(worker.isCanceled());
    EXPECT_LT(done, 100000u);
    EXPECT_GE(done, 6u);
    EXPECT_EQ(journal.lines.back(), "canceled ");

    // The next run starts afresh.
    journal.onStep = nullptr;
    worker.run([&](PLXProgressProxy& progress) {
        Steps steps;
        steps.addMonitor(progress);
        done = steps.run(10);
        steps.removeMonitor(progress);
    });
    EXPECT_FALSE(worker.isCanceled());
    EXPECT_EQ(done, 10u);
    worker.getProgress().removeMonitor(journal);
}

TEST(PLXWorker, ExceptionsComeBackWithTheirType)
{
    PLXWorker worker;
    try {
        worker.run([](PLXProgressProxy&) { throw FileReadError("void read()", "Cannot open", "/no/such/file"); });
        ADD_FAILURE() << "nothing thrown";
    } catch (const FileReadError& e) {
        EXPECT_EQ(e.getWhat(), "Cannot open");
        EXPECT_EQ(e.getFile(), "/no/such/file");
    }
    EXPECT_FALSE(worker.isRunning());
}

// Proxies in one thread: queued connections carry the steps and status
// texts; cancelling the receiving end cancels the sending one.
TEST(PLXProgressProxy, QueuedRelayAndCancelUpstream)
{
    PLXProgressProxy sender, receiver;
    sender.addMonitor(receiver);
    Journal journal;
    receiver.addMonitor(journal);
    QSignalSpy texts(&receiver, qOverload<const QString&>(&PLXProgressProxy::progressed));
    sender.notifyProgressed(2, 4);
    sender.notifyProgressed(std::string("reading"));
    EXPECT_TRUE(journal.lines.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(journal.lines, (std::vector<std::string>{"2/4", "text reading"}));
    ASSERT_EQ(texts.count(), 1);
    EXPECT_EQ(texts.at(0).at(0).toString(), "reading");

    receiver.cancel();
    EXPECT_TRUE(sender.isCanceled());
    sender.removeMonitor(receiver);
    sender.reset();
    receiver.cancel();
    EXPECT_FALSE(sender.isCanceled());
    sender.notifyProgressed(3, 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(journal.lines.size(), 2u);
    receiver.removeMonitor(journal);
}

TEST(PLXProgressDialog, StepsTextsAndCancel)
{
    PLXProgressDialog dialog(QStringLiteral("Working"));
    EXPECT_EQ(dialog.minimum(), 0);
    EXPECT_EQ(dialog.maximum(), 100);
    EXPECT_TRUE(dialog.isModal());
    Steps subject;
    subject.addMonitor(dialog);
    subject.notifyProgressed(1, 3);
    EXPECT_EQ(dialog.value(), 33);
    subject.notifyProgressed(2, 0);
    EXPECT_EQ(dialog.value(), 33);
    subject.notifyProgressed(std::string("Reading slice 4"));
    EXPECT_EQ(dialog.labelText(), "Reading slice 4");

    // Cancel pressed outside a notification does nothing to the subject...
    QPushButton* cancel = dialog.findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(subject.isCanceled());
    // ...pressed while the dialog handles a notification, it cancels it.
    QTimer::singleShot(0, cancel, &QPushButton::click);
    subject.notifyProgressed(2, 3);
    EXPECT_TRUE(subject.isCanceled());
    subject.removeMonitor(dialog);
}
