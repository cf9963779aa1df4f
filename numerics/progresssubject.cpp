#include "numerics/progresssubject.h"

#include "numerics/progressmonitor.h"

#include <algorithm>

void ProgressSubject::addMonitor(ProgressMonitor& m)
{
    if (std::find(m_monitors.begin(), m_monitors.end(), &m) == m_monitors.end())
        m_monitors.push_back(&m);
}

void ProgressSubject::removeMonitor(ProgressMonitor& m)
{
    m_monitors.erase(std::remove(m_monitors.begin(), m_monitors.end(), &m), m_monitors.end());
}

// Monitors may add or remove monitors while handling a notification: iterate
// over a snapshot.
void ProgressSubject::notifyStarted(const std::string& text)
{
    const auto monitors = m_monitors;
    for (ProgressMonitor* m : monitors)
        m->subjectStarted(*this, text);
}

void ProgressSubject::notifyFinished(const std::string& text)
{
    const auto monitors = m_monitors;
    for (ProgressMonitor* m : monitors)
        m->subjectFinished(*this, text);
}

void ProgressSubject::notifyCanceled(const std::string& text)
{
    const auto monitors = m_monitors;
    for (ProgressMonitor* m : monitors)
        m->subjectCanceled(*this, text);
}

void ProgressSubject::notifyProgressed(unsigned int i, unsigned int n)
{
    if (m_monitors.empty())
        return;
    const auto monitors = m_monitors;
    for (ProgressMonitor* m : monitors)
        m->subjectProgressed(*this, i, n);
}

void ProgressSubject::notifyProgressed(const std::string& text)
{
    const auto monitors = m_monitors;
    for (ProgressMonitor* m : monitors)
        m->subjectProgressed(*this, text);
}

void ProgressSubject::print(const std::string& label, std::ostream& stream) const
{
    stream << label << std::endl;
    stream << "Monitors: " << m_monitors.size() << std::endl;
}
