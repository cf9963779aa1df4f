#pragma once
// PLXRootStatusBar: the root window's status bar. It names the current stack
// and slice, shows messages, and is the progress monitor of long operations
// (opening and saving stacks): a progress bar and a Cancel button appear
// while one runs and go when it ends. A blank message clears the message
// line, and so does the end of an operation that leaves no message of its
// own.

#include "numerics/progressmonitor.h"

#include <QStatusBar>

class QLabel;
class QProgressBar;
class QToolButton;
class ProgressSubject;

class PLXRootStatusBar : public QStatusBar, public ProgressMonitor {
    Q_OBJECT
public:
    explicit PLXRootStatusBar(QWidget* parent = nullptr);

    // Empty names show nothing.
    void setStackName(const QString& name);
    void setSliceName(const QString& name);
    QString getStackName() const;
    QString getSliceName() const;

    bool isShowingProgress() const;
    int getProgress() const;
    // The operation is over (its monitors are let go of): no progress shows.
    void stopProgress();

protected:
    void subjectStarted(const std::string& text) override;
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;
    void subjectProgressed(const std::string& text) override;
    void subjectProgressed(unsigned int i, unsigned int n) override;

private:
    QLabel* m_stack = nullptr;
    QLabel* m_slice = nullptr;
    QProgressBar* m_progress = nullptr;
    QToolButton* m_cancel = nullptr;
    // The subject that started and has not ended yet (alive until then).
    ProgressSubject* m_running = nullptr;
};
