#include "app/slice/plxsliceeditwidgetstatusbar.h"

#include <QHBoxLayout>
#include <QLabel>

PLXSliceEditWidgetStatusBar::PLXSliceEditWidgetStatusBar(QWidget* parent)
    : QWidget(parent), m_mode(new QLabel(QStringLiteral("READY"), this)), m_message(new QLabel(this))
{
    m_mode->setToolTip(tr("Edit mode of the slice view"));
    m_mode->setMinimumWidth(m_mode->fontMetrics().horizontalAdvance(QStringLiteral("INSERT__")));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_mode);
    layout->addWidget(m_message, 1);
}

void PLXSliceEditWidgetStatusBar::setMode(const QString& mode)
{
    m_mode->setText(mode);
}

QString PLXSliceEditWidgetStatusBar::getMode() const
{
    return m_mode->text();
}

void PLXSliceEditWidgetStatusBar::showMessage(const QString& text)
{
    m_message->setText(text);
}

QString PLXSliceEditWidgetStatusBar::getMessage() const
{
    return m_message->text();
}
