#include "app/plxrootstatusbar.h"

#include "numerics/progresssubject.h"

#include <algorithm>
#include <cctype>

#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

namespace {

bool isBlank(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

} // namespace

PLXRootStatusBar::PLXRootStatusBar(QWidget* parent) : QStatusBar(parent)
{
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(160);
    m_progress->hide();
    m_cancel = new QToolButton(this);
    m_cancel->setText(tr("Cancel"));
    m_cancel->hide();
    connect(m_cancel, &QToolButton::clicked, this, [this] {
        if (m_running)
            m_running->cancel();
    });
    m_stack = new QLabel(this);
    m_stack->setToolTip(tr("Current stack"));
    m_slice = new QLabel(this);
    m_slice->setToolTip(tr("Current slice"));
    addPermanentWidget(m_progress);
    addPermanentWidget(m_cancel);
    addPermanentWidget(m_stack);
    addPermanentWidget(m_slice);
}

void PLXRootStatusBar::setStackName(const QString& name)
{
    m_stack->setText(name.isEmpty() ? QString() : tr("Stack: %1").arg(name));
}

void PLXRootStatusBar::setSliceName(const QString& name)
{
    m_slice->setText(name.isEmpty() ? QString() : tr("Slice: %1").arg(name));
}

QString PLXRootStatusBar::getStackName() const
{
    return m_stack->text();
}

QString PLXRootStatusBar::getSliceName() const
{
    return m_slice->text();
}

bool PLXRootStatusBar::isShowingProgress() const
{
    return !m_progress->isHidden();
}

int PLXRootStatusBar::getProgress() const
{
    return m_progress->value();
}

void PLXRootStatusBar::subjectStarted(const std::string& text)
{
    m_running = currentSubject();
    m_progress->setValue(0);
    m_progress->show();
    m_cancel->show();
    if (!text.empty())
        showMessage(QString::fromStdString(text));
}

void PLXRootStatusBar::stopProgress()
{
    m_running = nullptr;
    m_progress->hide();
    m_cancel->hide();
}

void PLXRootStatusBar::subjectFinished(const std::string& text)
{
    stopProgress();
    // The operation's own messages end with it.
    if (isBlank(text))
        clearMessage();
    else
        showMessage(QString::fromStdString(text), 2000);
}

void PLXRootStatusBar::subjectCanceled(const std::string& text)
{
    stopProgress();
    showMessage(text.empty() ? tr("Canceled") : QString::fromStdString(text), 2000);
}

void PLXRootStatusBar::subjectProgressed(const std::string& text)
{
    // A blank message clears: shown, it would hide the slice view's status
    // line for good.
    if (isBlank(text))
        clearMessage();
    else
        showMessage(QString::fromStdString(text));
}

void PLXRootStatusBar::subjectProgressed(unsigned int i, unsigned int n)
{
    // Steps reported outside an operation (after its end) show nothing.
    if (n == 0 || !m_running)
        return;
    m_progress->setValue(static_cast<int>(100ull * i / n));
}
