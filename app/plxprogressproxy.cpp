#include "app/plxprogressproxy.h"

#include <algorithm>

namespace {

void erase(std::vector<PLXProgressProxy*>& list, PLXProgressProxy* p)
{
    list.erase(std::remove(list.begin(), list.end(), p), list.end());
}

} // namespace

PLXProgressProxy::PLXProgressProxy(QObject* parent) : QObject(parent) {}

PLXProgressProxy::~PLXProgressProxy()
{
    std::vector<PLXProgressProxy*> sources, targets;
    {
        std::lock_guard<std::mutex> lock(m_linksMutex);
        sources.swap(m_sources);
        targets.swap(m_targets);
    }
    for (PLXProgressProxy* source : sources) {
        std::lock_guard<std::mutex> lock(source->m_linksMutex);
        erase(source->m_targets, this);
    }
    for (PLXProgressProxy* target : targets) {
        std::lock_guard<std::mutex> lock(target->m_linksMutex);
        erase(target->m_sources, this);
    }
}

void PLXProgressProxy::addMonitor(PLXProgressProxy& other)
{
    const auto queued = Qt::QueuedConnection;
    connect(this, &PLXProgressProxy::started, &other, qOverload<>(&PLXProgressProxy::subjectStarted), queued);
    connect(this, &PLXProgressProxy::finished, &other, qOverload<>(&PLXProgressProxy::subjectFinished), queued);
    connect(this, &PLXProgressProxy::canceled, &other, qOverload<>(&PLXProgressProxy::subjectCanceled), queued);
    connect(this, qOverload<const QString&>(&PLXProgressProxy::progressed), &other,
            qOverload<const QString&>(&PLXProgressProxy::subjectProgressed), queued);
    connect(this, qOverload<unsigned int, unsigned int>(&PLXProgressProxy::progressed), &other,
            qOverload<unsigned int, unsigned int>(&PLXProgressProxy::subjectProgressed), queued);
    {
        std::lock_guard<std::mutex> lock(m_linksMutex);
        if (std::find(m_targets.begin(), m_targets.end(), &other) == m_targets.end())
            m_targets.push_back(&other);
    }
    std::lock_guard<std::mutex> lock(other.m_linksMutex);
    if (std::find(other.m_sources.begin(), other.m_sources.end(), this) == other.m_sources.end())
        other.m_sources.push_back(this);
}

void PLXProgressProxy::removeMonitor(PLXProgressProxy& other)
{
    disconnect(this, nullptr, &other, nullptr);
    {
        std::lock_guard<std::mutex> lock(m_linksMutex);
        erase(m_targets, &other);
    }
    std::lock_guard<std::mutex> lock(other.m_linksMutex);
    erase(other.m_sources, this);
}

void PLXProgressProxy::cancel()
{
    ProgressProxy::cancel();
    std::vector<PLXProgressProxy*> sources;
    {
        std::lock_guard<std::mutex> lock(m_linksMutex);
        sources = m_sources;
    }
    for (PLXProgressProxy* source : sources)
        source->cancelUpstream();
}

void PLXProgressProxy::cancelUpstream()
{
    ProgressSubject::cancel();
    std::vector<PLXProgressProxy*> sources;
    {
        std::lock_guard<std::mutex> lock(m_linksMutex);
        sources = m_sources;
    }
    for (PLXProgressProxy* source : sources)
        source->cancelUpstream();
}

// Notifications out ---------------------------------------------------------------

void PLXProgressProxy::notifyStarted(const std::string& text)
{
    ProgressProxy::notifyStarted(text);
    emit started();
}

void PLXProgressProxy::notifyFinished(const std::string& text)
{
    ProgressProxy::notifyFinished(text);
    emit finished();
}

void PLXProgressProxy::notifyCanceled(const std::string& text)
{
    ProgressProxy::notifyCanceled(text);
    emit canceled();
}

void PLXProgressProxy::notifyProgressed(unsigned int i, unsigned int n)
{
    ProgressProxy::notifyProgressed(i, n);
    emit progressed(i, n);
}

void PLXProgressProxy::notifyProgressed(const std::string& text)
{
    ProgressProxy::notifyProgressed(text);
    emit progressed(QString::fromStdString(text));
}

// Slots in ------------------------------------------------------------------------

void PLXProgressProxy::subjectStarted()
{
    notifyStarted(std::string());
}

void PLXProgressProxy::subjectFinished()
{
    notifyFinished(std::string());
}

void PLXProgressProxy::subjectCanceled()
{
    notifyCanceled(std::string());
}

void PLXProgressProxy::subjectProgressed(const QString& text)
{
    notifyProgressed(text.toStdString());
}

// As a monitor --------------------------------------------------------------------

void PLXProgressProxy::passCancel()
{
    if (isCanceled() && currentSubject() && !currentSubject()->isCanceled())
        currentSubject()->cancel();
}

void PLXProgressProxy::subjectStarted(const std::string& text)
{
    ProgressProxy::subjectStarted(text);
    passCancel();
}

void PLXProgressProxy::subjectFinished(const std::string& text)
{
    ProgressProxy::subjectFinished(text);
}

void PLXProgressProxy::subjectCanceled(const std::string& text)
{
    ProgressProxy::subjectCanceled(text);
}

void PLXProgressProxy::subjectProgressed(const std::string& text)
{
    ProgressProxy::subjectProgressed(text);
    passCancel();
}

void PLXProgressProxy::subjectProgressed(unsigned int i, unsigned int n)
{
    notifyProgressed(i, n);
    passCancel();
}
