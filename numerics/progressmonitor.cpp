#include "numerics/progressmonitor.h"

namespace {

// Sets the monitor's current subject for the lifetime of one notification.
class CurrentSubject {
public:
    CurrentSubject(ProgressSubject*& slot, ProgressSubject& subject) : m_slot(slot), m_previous(slot)
    {
        m_slot = &subject;
    }
    ~CurrentSubject() { m_slot = m_previous; }
    CurrentSubject(const CurrentSubject&) = delete;
    CurrentSubject& operator=(const CurrentSubject&) = delete;

private:
    ProgressSubject*& m_slot;
    ProgressSubject* m_previous;
};

} // namespace

void ProgressMonitor::subjectStarted(ProgressSubject& subject, const std::string& text)
{
    CurrentSubject scope(m_subject, subject);
    subjectStarted(text);
}

void ProgressMonitor::subjectFinished(ProgressSubject& subject, const std::string& text)
{
    CurrentSubject scope(m_subject, subject);
    subjectFinished(text);
}

void ProgressMonitor::subjectCanceled(ProgressSubject& subject, const std::string& text)
{
    CurrentSubject scope(m_subject, subject);
    subjectCanceled(text);
}

void ProgressMonitor::subjectProgressed(ProgressSubject& subject, const std::string& text)
{
    CurrentSubject scope(m_subject, subject);
    subjectProgressed(text);
}

void ProgressMonitor::subjectProgressed(ProgressSubject& subject, unsigned int i, unsigned int n)
{
    CurrentSubject scope(m_subject, subject);
    subjectProgressed(i, n);
}
