#pragma once
// PLXWorker: runs one long computation in a worker thread while the GUI
// thread keeps repainting, with progress brought back to the GUI thread and
// a cancel the computation polls. For every window whose command reads
// files or computes for long (opening stacks, snakes over a stack,
// automatic registration, fusion):
//
//     PLXWorker worker(this);
//     PLXProgressDialog dialog("Registering slices", this);
//     worker.getProgress().addMonitor(dialog);        // GUI-side monitors
//     Result result;
//     worker.run([&](PLXProgressProxy& progress) {     // in the worker thread
//         Registration computation(...);              // a ProgressSubject
//         computation.addMonitor(progress);
//         result = computation.apply();               // polls isCanceled()
//         computation.removeMonitor(progress);
//     }, &dialog);
//     if (!worker.isCanceled())
//         history.push(new ...Action(result), true);  // back as one undoable step
//
// run() returns when the computation has ended, after every progress
// notification it made has reached the GUI-side monitors; it rethrows in the
// GUI thread whatever the computation threw (an Exception keeps its type).
// Meanwhile a local event loop runs: repaints, timers and queued signals go
// on; user input is held back, except when a dialog is given (it is shown,
// modal, so input reaches only it, and its Cancel cancels the computation).
//
// Cancelling (worker.cancel(), the dialog's Cancel, or cancel() on the
// GUI-side proxy) sets the flag the computation may poll through
// progress.isCanceled(), and cancels the subject that reports to the
// worker-side proxy at its next notification, for computations that poll
// their own subject's flag.
//
// The computation must not touch widgets, nor the document while the GUI
// thread may change it: it works on data the command gave it, and the
// command applies the result in the GUI thread after run().

#include "app/plxprogressproxy.h"

#include <QObject>

#include <atomic>
#include <functional>

class PLXProgressDialog;

class PLXWorker : public QObject {
    Q_OBJECT
public:
    explicit PLXWorker(QObject* parent = nullptr);
    ~PLXWorker() override;

    // The GUI-side proxy: attach the monitors that show progress.
    PLXProgressProxy& getProgress() { return m_progress; }

    // Runs work in a worker thread and waits for it; see above.
    void run(const std::function<void(PLXProgressProxy& progress)>& work, PLXProgressDialog* dialog = nullptr);
    bool isRunning() const { return m_running; }

    // Requests the computation to stop (GUI thread).
    void cancel();
    // Whether the last (or current) run was cancelled.
    bool isCanceled() const { return m_canceled; }

private:
    PLXProgressProxy m_progress;
    PLXProgressProxy* m_workerProgress = nullptr;
    std::atomic<bool> m_canceled{false};
    bool m_running = false;
};
