#pragma once
// Presents a sequence of subjects as one subject whose progress runs from 0 to
// 100 across them: the chain starts with the first and finishes with the last.

#include "numerics/progressmonitor.h"
#include "numerics/progresssubject.h"

#include <vector>

class ProgressChain : public ProgressMonitor, public virtual ProgressSubject {
public:
    ProgressChain() = default;
    ProgressChain(const ProgressChain&) = delete;
    ProgressChain& operator=(const ProgressChain&) = delete;
    ~ProgressChain() override;

    // Appends s and monitors it.
    void addSubject(ProgressSubject& s);
    // Forgets s and stops monitoring it.
    void removeSubject(ProgressSubject& s);
    // Forgets all subjects without unregistering from them.
    void clear() { m_subjects.clear(); }
    int getSubjectCount() const { return static_cast<int>(m_subjects.size()); }
    // Cancels the subject that is currently reporting.
    void cancel() override;

protected:
    void subjectStarted(const std::string& text) override;
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;
    void subjectProgressed(const std::string& text) override;
    void subjectProgressed(unsigned int i, unsigned int n) override;

private:
    int positionOf(const ProgressSubject* s) const;

    std::vector<ProgressSubject*> m_subjects;
};
