#pragma once
// PLXRegistrationStatusBar: the registration window's status bar: messages
// (the stages of making the display images, say) and a progress bar shown
// while a computation it monitors runs (the automatic registration of all
// slices: its title, then one step per slice).

#include "numerics/progressmonitor.h"

#include <QStatusBar>

class QProgressBar;

class PLXRegistrationStatusBar : public QStatusBar, public ProgressMonitor {
    Q_OBJECT
public:
    explicit PLXRegistrationStatusBar(QWidget* parent = nullptr);
    QProgressBar* getProgressBar() const { return m_progress; }

protected:
    void subjectStarted(const std::string& text) override;
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;
    void subjectProgressed(const std::string& text) override;
    void subjectProgressed(unsigned int i, unsigned int n) override;

private:
    QProgressBar* m_progress;
};
