#pragma once
// PLXProgressDialog: a modal progress dialog (0 to 100, shown at once) that
// monitors a computation. Step i of n sets the bar to trunc(i / n x 100)
// (nothing for n = 0), a text sets the label; both then process pending GUI
// events, so that the Cancel button works during a computation that runs in
// the GUI thread. Cancel cancels the subject being reported at that moment;
// pressed outside a notification it does nothing by itself (PLXWorker
// connects it to its computation's cancel).

#include "numerics/progressmonitor.h"

#include <QProgressDialog>

class PLXProgressDialog : public QProgressDialog, public ProgressMonitor {
    Q_OBJECT
public:
    explicit PLXProgressDialog(const QString& title, QWidget* parent = nullptr);

protected:
    void subjectProgressed(const std::string& text) override;
    void subjectProgressed(unsigned int i, unsigned int n) override;

private slots:
    void cancelSubject();
};
