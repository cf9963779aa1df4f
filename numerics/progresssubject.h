#pragma once
// A long computation that reports progress to its monitors and can be asked to
// stop. Computations announce notifyStarted(title), then notifyProgressed(i, n)
// for step i of n, and notifyFinished(text) or notifyCanceled(text); they poll
// isCanceled() between stages.
//
// Copying a subject copies none of its state: the copy has no monitors and is
// not cancelled.

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

class ProgressMonitor;

class ProgressSubject {
public:
    ProgressSubject() = default;
    ProgressSubject(const ProgressSubject&) : ProgressSubject() {}
    ProgressSubject& operator=(const ProgressSubject&)
    {
        m_monitors.clear();
        m_canceled = false;
        return *this;
    }
    virtual ~ProgressSubject() = default;

    // Appends m unless it is already there.
    virtual void addMonitor(ProgressMonitor& m);
    // Removes every occurrence of m.
    virtual void removeMonitor(ProgressMonitor& m);
    // May be called from another thread; the computation polls isCanceled().
    virtual void cancel() { m_canceled = true; }
    bool isCanceled() const { return m_canceled; }
    void reset() { m_canceled = false; }

    virtual void notifyStarted(const std::string& text);
    virtual void notifyFinished(const std::string& text);
    virtual void notifyCanceled(const std::string& text);
    virtual void notifyProgressed(unsigned int i, unsigned int n);
    virtual void notifyProgressed(const std::string& text);

    int getMonitorCount() const { return static_cast<int>(m_monitors.size()); }
    void print(const std::string& label, std::ostream& stream = std::cout) const;

private:
    std::vector<ProgressMonitor*> m_monitors;
    std::atomic<bool> m_canceled{false};
};
