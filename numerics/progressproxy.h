#pragma once
// Relays every notification of the subjects it monitors to its own monitors.

#include "numerics/progressmonitor.h"
#include "numerics/progresssubject.h"

class ProgressProxy : public ProgressMonitor, public ProgressSubject {
public:
    // Cancels the subject currently reporting, if any, then itself.
    void cancel() override;

protected:
    void subjectStarted(const std::string& text) override { notifyStarted(text); }
    void subjectFinished(const std::string& text) override { notifyFinished(text); }
    void subjectCanceled(const std::string& text) override { notifyCanceled(text); }
    void subjectProgressed(const std::string& text) override { notifyProgressed(text); }
    void subjectProgressed(unsigned int i, unsigned int n) override { notifyProgressed(i, n); }
};
