#include "numerics/progresschain.h"

#include <algorithm>

ProgressChain::~ProgressChain()
{
    for (ProgressSubject* s : m_subjects)
        s->removeMonitor(*this);
}

void ProgressChain::addSubject(ProgressSubject& s)
{
    m_subjects.push_back(&s);
    s.addMonitor(*this);
}

void ProgressChain::removeSubject(ProgressSubject& s)
{
    m_subjects.erase(std::remove(m_subjects.begin(), m_subjects.end(), &s), m_subjects.end());
    s.removeMonitor(*this);
}

void ProgressChain::cancel()
{
    if (ProgressSubject* s = currentSubject())
        s->cancel();
}

int ProgressChain::positionOf(const ProgressSubject* s) const
{
    const auto it = std::find(m_subjects.begin(), m_subjects.end(), s);
    return it == m_subjects.end() ? -1 : static_cast<int>(it - m_subjects.begin());
}

void ProgressChain::subjectStarted(const std::string& text)
{
    if (!m_subjects.empty() && currentSubject() == m_subjects.front())
        notifyStarted(text);
}

void ProgressChain::subjectFinished(const std::string& text)
{
    if (!m_subjects.empty() && currentSubject() == m_subjects.back())
        notifyFinished(text);
}

void ProgressChain::subjectCanceled(const std::string& text)
{
    notifyCanceled(text);
}

void ProgressChain::subjectProgressed(const std::string& text)
{
    notifyProgressed(text);
}

void ProgressChain::subjectProgressed(unsigned int i, unsigned int n)
{
    // A subject outside the chain has no place in its progress: ignored.
    const int k = positionOf(currentSubject());
    if (k < 0 || n == 0)
        return;
    const unsigned int m = static_cast<unsigned int>(m_subjects.size());
    const unsigned int uk = static_cast<unsigned int>(k);
    notifyProgressed(uk * 100 / m + i * 100 / (m * n), 100);
}
