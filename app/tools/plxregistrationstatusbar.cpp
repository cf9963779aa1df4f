#include "app/tools/plxregistrationstatusbar.h"

#include <QProgressBar>

PLXRegistrationStatusBar::PLXRegistrationStatusBar(QWidget* parent)
    : QStatusBar(parent), m_progress(new QProgressBar(this))
{
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(160);
    addPermanentWidget(m_progress);
    m_progress->hide();
}

void PLXRegistrationStatusBar::subjectStarted(const std::string& text)
{
    m_progress->setValue(0);
    m_progress->show();
    if (!text.empty())
        showMessage(QString::fromStdString(text));
}

void PLXRegistrationStatusBar::subjectFinished(const std::string&)
{
    m_progress->hide();
    clearMessage();
}

void PLXRegistrationStatusBar::subjectCanceled(const std::string&)
{
    m_progress->hide();
    showMessage(QStringLiteral("Automatic registration canceled"), 5000);
}

void PLXRegistrationStatusBar::subjectProgressed(const std::string& text)
{
    showMessage(QString::fromStdString(text));
}

void PLXRegistrationStatusBar::subjectProgressed(unsigned int i, unsigned int n)
{
    if (n > 0)
        m_progress->setValue(static_cast<int>(100ull * i / n));
}
