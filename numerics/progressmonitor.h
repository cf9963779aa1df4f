#pragma once
// Whoever displays or forwards the progress of a computation. A subject calls
// the public entries; each sets the current subject for the duration of the
// matching virtual handler, so that a handler can act on the subject that is
// reporting (cancel it, say).

#include <string>

class ProgressSubject;

class ProgressMonitor {
public:
    ProgressMonitor() = default;
    ProgressMonitor(const ProgressMonitor&) : ProgressMonitor() {}
    ProgressMonitor& operator=(const ProgressMonitor&) { return *this; }
    virtual ~ProgressMonitor() = default;

    void subjectStarted(ProgressSubject& subject, const std::string& text);
    void subjectFinished(ProgressSubject& subject, const std::string& text);
    void subjectCanceled(ProgressSubject& subject, const std::string& text);
    void subjectProgressed(ProgressSubject& subject, const std::string& text);
    void subjectProgressed(ProgressSubject& subject, unsigned int i, unsigned int n);

    bool hasSubject() const { return m_subject != nullptr; }
    ProgressSubject* currentSubject() const { return m_subject; }

protected:
    virtual void subjectStarted(const std::string&) {}
    virtual void subjectFinished(const std::string&) {}
    virtual void subjectCanceled(const std::string&) {}
    virtual void subjectProgressed(const std::string&) {}
    // Step i of n, i counting from 0.
    virtual void subjectProgressed(unsigned int, unsigned int) {}

private:
    ProgressSubject* m_subject = nullptr;
};
