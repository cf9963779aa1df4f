#pragma once
// PLXProgressProxy: a progress proxy whose notifications also go out as Qt
// signals, so that progress can cross from a worker thread to the GUI
// thread. Every notification it receives as a monitor (or makes itself) is
// passed to its own monitors (ProgressMonitor, same thread), then emitted.
// Its slots feed notifications in: connected to another proxy's signals (see
// addMonitor), they re-announce on the receiving side; the texts of started,
// finished and cancelled do not cross.
//
// Crossing threads (see PLXWorker, which does all of this):
//
//     PLXProgressProxy gui;              // GUI thread: dialog, status bar
//     gui.addMonitor(dialog);            //   (ProgressMonitor)
//     PLXProgressProxy worker;           // its notifications come from the worker
//     worker.addMonitor(gui);            // queued connections
//     computation.addMonitor(worker);    // in the worker
//
// Cancelling goes the other way: cancel() on a proxy also cancels the
// proxies that feed it through addMonitor(), and a cancelled proxy cancels
// the subject that reports to it, in that subject's thread, at its next
// notification. A computation that polls isCanceled() of its own subject
// thus stops at its next progress report after the user pressed Cancel.

#include "numerics/progressproxy.h"

#include <QObject>
#include <QString>

#include <mutex>
#include <vector>

class PLXProgressProxy : public QObject, public ProgressProxy {
    Q_OBJECT
public:
    explicit PLXProgressProxy(QObject* parent = nullptr);
    ~PLXProgressProxy() override;

    using ProgressSubject::addMonitor;
    using ProgressSubject::removeMonitor;
    // Connects this proxy's five signals to other's five slots with queued
    // connections; cancelling other then cancels this proxy too.
    void addMonitor(PLXProgressProxy& other);
    // Disconnects the two.
    void removeMonitor(PLXProgressProxy& other);

    // Cancels the subject reporting now (if any), this proxy, and the proxies
    // that feed it. May be called from any thread for a proxy that is not
    // in a notification at that moment.
    void cancel() override;

    void notifyStarted(const std::string& text) override;
    void notifyFinished(const std::string& text) override;
    void notifyCanceled(const std::string& text) override;
    void notifyProgressed(unsigned int i, unsigned int n) override;
    void notifyProgressed(const std::string& text) override;

    using ProgressMonitor::subjectCanceled;
    using ProgressMonitor::subjectFinished;
    using ProgressMonitor::subjectProgressed;
    using ProgressMonitor::subjectStarted;

signals:
    void started();
    void finished();
    void canceled();
    void progressed(const QString& text);
    void progressed(unsigned int i, unsigned int n);

public slots:
    void subjectStarted();
    void subjectFinished();
    void subjectCanceled();
    void subjectProgressed(const QString& text);
    // Both the slot and the monitor's handler of steps.
    void subjectProgressed(unsigned int i, unsigned int n) override;

protected:
    // As monitor: pass on, then pass a pending cancel to the reporting subject.
    void subjectStarted(const std::string& text) override;
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;
    void subjectProgressed(const std::string& text) override;

private:
    void passCancel();
    // Sets the flag here and upstream only (no subject is touched).
    void cancelUpstream();

    std::mutex m_linksMutex;
    std::vector<PLXProgressProxy*> m_sources;
    std::vector<PLXProgressProxy*> m_targets;
};
