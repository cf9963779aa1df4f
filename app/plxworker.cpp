#include "app/plxworker.h"

#include "app/plxprogressdialog.h"
#include "numerics/exception.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <memory>

PLXWorker::PLXWorker(QObject* parent) : QObject(parent) {}

PLXWorker::~PLXWorker() = default;

void PLXWorker::cancel()
{
    m_canceled = true;
    if (m_workerProgress)
        m_progress.cancel();
}

void PLXWorker::run(const std::function<void(PLXProgressProxy&)>& work, PLXProgressDialog* dialog)
{
    if (m_running)
        throw UsageError("void PLXWorker::run(const function<void(PLXProgressProxy&)>&, PLXProgressDialog*)",
                         "A computation is already running");
    m_running = true;
    m_canceled = false;
    m_progress.reset();
    auto workerProgress = std::make_unique<PLXProgressProxy>();
    workerProgress->addMonitor(m_progress);
    m_workerProgress = workerProgress.get();

    QMetaObject::Connection cancelButton;
    if (dialog) {
        cancelButton = connect(dialog, &QProgressDialog::canceled, this, &PLXWorker::cancel);
        dialog->show();
    }

    std::exception_ptr error;
    PLXProgressProxy* proxy = workerProgress.get();
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([&work, proxy, &error] {
        try {
            work(*proxy);
        } catch (...) {
            error = std::current_exception();
        }
    }));
    if (!watcher.isFinished())
        loop.exec(dialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    watcher.waitForFinished();

    // The notifications the worker made are queued to the GUI-side proxy:
    // they reach its monitors before run() returns.
    QCoreApplication::sendPostedEvents(&m_progress, QEvent::MetaCall);
    m_workerProgress = nullptr;
    workerProgress.reset();
    if (dialog) {
        disconnect(cancelButton);
        dialog->hide();
    }
    if (m_progress.isCanceled())
        m_canceled = true;
    m_running = false;
    if (error)
        std::rethrow_exception(error);
}
