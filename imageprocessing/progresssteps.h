#pragma once
// ProgressSteps: counts the units of work of a run (lines, rows, planes) and
// tells the subject about every whole percent of the total, so that a run
// sends at most a hundred progress notifications whatever its size.
//
// Internal to the image processing library.

#include "numerics/progresssubject.h"

#include <algorithm>
#include <string>

class ProgressSteps {
public:
    ProgressSteps(ProgressSubject& subject, long long total, const std::string& title)
        : m_subject(subject), m_total(total > 0 ? total : 1)
    {
        m_subject.notifyStarted(title);
    }
    ProgressSteps(const ProgressSteps&) = delete;
    ProgressSteps& operator=(const ProgressSteps&) = delete;

    // Notifies (percent, 100) whenever the percentage done goes up.
    void advance(long long units = 1)
    {
        m_done += units;
        const long long percent = std::min(100LL, m_done * 100 / m_total);
        if (percent > m_percent) {
            m_percent = percent;
            m_subject.notifyProgressed(static_cast<unsigned int>(percent), 100u);
        }
    }
    // Completes the progress to 100 and announces the end.
    void finish(const std::string& text = "")
    {
        advance(m_total - std::min(m_done, m_total));
        if (m_percent < 100) {
            m_percent = 100;
            m_subject.notifyProgressed(100u, 100u);
        }
        m_subject.notifyFinished(text);
    }

private:
    ProgressSubject& m_subject;
    long long m_total;
    long long m_done = 0;
    long long m_percent = 0;
};
