#pragma once
// PLXImageServer: loads slice images in the background for the views that
// show them, one job per image source, one job at a time.
//
// A proxy attached to the server joins the job of its key (finished, running
// or pending, in that order of search) or gets a new one, queued at the end.
// Finished jobs stay, so that a view asking again gets the image at once,
// until their last proxy detaches (auto-delete mode, the default) or the
// server goes. The base size decides the reduced copies: empty (the default)
// for a pyramid of halves, else one copy fitting the base size that replaces
// the full image (thumbnails).
//
// GUI thread only; the job lists are guarded by one mutex all the same.

#include "numerics/progressmonitor.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

class PLXImageProxy;
class PLXImageServerData;

class PLXImageServer : public QObject, public ProgressMonitor {
    Q_OBJECT
public:
    explicit PLXImageServer(QObject* parent = nullptr);
    // Destroys every job, stopping their work; attached proxies forget the
    // server and keep the images they hold.
    ~PLXImageServer() override;

    void attachProxy(PLXImageProxy& proxy);
    void detachProxy(PLXImageProxy& proxy);

    void setBaseSize(const QSize& size) { m_baseSize = size; }
    const QSize& getBaseSize() const { return m_baseSize; }
    void setAutoDelete(bool on) { m_autoDelete = on; }
    bool isAutoDelete() const { return m_autoDelete; }

    // The job of that key, null if none.
    PLXImageServerData* findData(const QString& key) const;
    int numPendingJobs() const;
    int numRunningJobs() const;
    int numFinishedJobs() const;
    // Cancels every pending and running job.
    void cancelAll();

signals:
    // No job is running or pending any more.
    void idle();

protected:
    // Makes the job of a proxy; special servers make their own kind.
    virtual PLXImageServerData* newData(PLXImageProxy& proxy);

    // A job reports its end.
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;

private:
    void startNextJob();
    PLXImageServerData* reportingJob() const;
    // Removes the job from whichever list holds it.
    bool removeJob(PLXImageServerData* job);

    QSize m_baseSize;
    bool m_autoDelete = true;
    mutable QMutex m_mutex;
    QList<PLXImageServerData*> m_pending;
    QList<PLXImageServerData*> m_running;
    QList<PLXImageServerData*> m_finished;
};
