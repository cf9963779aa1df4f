#include "app/plxprogressdialog.h"

#include "numerics/progresssubject.h"

#include <QCoreApplication>

PLXProgressDialog::PLXProgressDialog(const QString& title, QWidget* parent) : QProgressDialog(parent)
{
    setWindowTitle(title);
    setRange(0, 100);
    setModal(true);
    setMinimumDuration(0);
    setAutoClose(false);
    setAutoReset(false);
    setValue(0);
    connect(this, &QProgressDialog::canceled, this, &PLXProgressDialog::cancelSubject);
}

void PLXProgressDialog::subjectProgressed(const std::string& text)
{
    setLabelText(QString::fromStdString(text));
    QCoreApplication::processEvents();
}

void PLXProgressDialog::subjectProgressed(unsigned int i, unsigned int n)
{
    if (n != 0)
        setValue(static_cast<int>(static_cast<float>(i) / static_cast<float>(n) * 100.0f));
    QCoreApplication::processEvents();
}

void PLXProgressDialog::cancelSubject()
{
    if (hasSubject())
        currentSubject()->cancel();
}
