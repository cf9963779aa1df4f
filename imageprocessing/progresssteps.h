#pragma once
// ProgressSteps: counts the units of work of a run (lines, rows, planes) and
// tells the subject about every hundredth of the total, so that a run sends
// about a hundred progress notifications whatever its size.
//
// Internal to the image processing library.

#include "numerics/progresssubject.h"

#include <string>

class ProgressSteps {
public:
    ProgressSteps(ProgressSubject& subject, long long total, const std::string& title)
        : m_subject(subject), m_total(total > 0 ? total : 1), m_step(m_total / 100 > 0 ? m_total / 100 : 1),
          m_next(m_step)
    {
        m_subject.notifyStarted(title);
    }
    ProgressSteps(const ProgressSteps&) = delete;
    ProgressSteps& operator=(const ProgressSteps&) = delete;

    void advance(long long units = 1)
    {
        m_done += units;
        if (m_done >= m_next) {
            m_subject.notifyProgressed(static_cast<unsigned int>(m_done * 100 / m_total), 100u);
            m_next = (m_done / m_step + 1) * m_step;
        }
    }
    void finish(const std::string& text = "") { m_subject.notifyFinished(text); }

private:
    ProgressSubject& m_subject;
    long long m_total;
    long long m_step;
    long long m_next;
    long long m_done = 0;
};
