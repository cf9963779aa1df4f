#include "app/slice/plximageserver.h"

#include "app/slice/plximageproxy.h"
#include "app/slice/plximageserverdata.h"

#include <QMutexLocker>

PLXImageServer::PLXImageServer(QObject* parent) : QObject(parent) {}

PLXImageServer::~PLXImageServer()
{
    QList<PLXImageServerData*> jobs;
    {
        QMutexLocker lock(&m_mutex);
        jobs = m_finished + m_running + m_pending;
        m_finished.clear();
        m_running.clear();
        m_pending.clear();
    }
    for (PLXImageServerData* job : jobs) {
        job->removeMonitor(*this);
        for (PLXImageProxy* proxy : job->getProxys()) {
            job->detachProxy(*proxy);
            proxy->serverDestroyed();
        }
        delete job;
    }
    // Jobs let go of earlier (still winding down) are children: QObject
    // deletes them, each waiting for its threads.
}

PLXImageServerData* PLXImageServer::newData(PLXImageProxy& proxy)
{
    return new PLXImageServerData(*proxy.getImageSource(), proxy.key(), m_baseSize, this);
}

void PLXImageServer::attachProxy(PLXImageProxy& proxy)
{
    if (!proxy.hasImageSource())
        return;
    const QString key = proxy.key();
    PLXImageServerData* job = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        for (const QList<PLXImageServerData*>* list : {&m_finished, &m_running, &m_pending}) {
            for (PLXImageServerData* candidate : *list)
                if (candidate->key() == key) {
                    job = candidate;
                    break;
                }
            if (job)
                break;
        }
        if (!job) {
            job = newData(proxy);
            job->setParent(this);
            job->addMonitor(*this);
            m_pending.append(job);
        }
    }
    job->attachProxy(proxy);
    startNextJob();
}

void PLXImageServer::detachProxy(PLXImageProxy& proxy)
{
    const QString key = proxy.key();
    QList<PLXImageServerData*> released;
    {
        QMutexLocker lock(&m_mutex);
        for (QList<PLXImageServerData*>* list : {&m_finished, &m_running, &m_pending}) {
            for (int i = 0; i < list->size(); ++i) {
                PLXImageServerData* job = (*list)[i];
                if (job->key() != key || !job->hasProxy(proxy))
                    continue;
                job->detachProxy(proxy);
                if (m_autoDelete && job->numProxys() == 0) {
                    list->removeAt(i--);
                    released.append(job);
                }
            }
        }
    }
    for (PLXImageServerData* job : released) {
        job->removeMonitor(*this);
        job->dispose();
    }
    if (!released.isEmpty())
        startNextJob();
}

void PLXImageServer::startNextJob()
{
    PLXImageServerData* job = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_running.isEmpty())
            return;
        if (m_pending.isEmpty()) {
            lock.unlock();
            emit idle();
            return;
        }
        job = m_pending.takeFirst();
        m_running.append(job);
    }
    job->run();
}

PLXImageServerData* PLXImageServer::reportingJob() const
{
    return dynamic_cast<PLXImageServerData*>(currentSubject());
}

bool PLXImageServer::removeJob(PLXImageServerData* job)
{
    QMutexLocker lock(&m_mutex);
    return m_running.removeOne(job) || m_pending.removeOne(job) || m_finished.removeOne(job);
}

void PLXImageServer::subjectFinished(const std::string&)
{
    PLXImageServerData* job = reportingJob();
    if (!job)
        return;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_running.removeOne(job))
            return;
        m_finished.append(job);
    }
    startNextJob();
}

void PLXImageServer::subjectCanceled(const std::string&)
{
    PLXImageServerData* job = reportingJob();
    if (!job || !removeJob(job))
        return;
    job->removeMonitor(*this);
    job->dispose();
    startNextJob();
}

PLXImageServerData* PLXImageServer::findData(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    for (const QList<PLXImageServerData*>* list : {&m_finished, &m_running, &m_pending})
        for (PLXImageServerData* job : *list)
            if (job->key() == key)
                return job;
    return nullptr;
}

int PLXImageServer::numPendingJobs() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_pending.size());
}

int PLXImageServer::numRunningJobs() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_running.size());
}

int PLXImageServer::numFinishedJobs() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_finished.size());
}

void PLXImageServer::cancelAll()
{
    QList<PLXImageServerData*> jobs;
    {
        QMutexLocker lock(&m_mutex);
        jobs = m_running + m_pending;
    }
    for (PLXImageServerData* job : jobs)
        job->cancel();
}
