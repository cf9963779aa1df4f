#include "app/plxstackerrordialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

PLXStackErrorDialog::PLXStackErrorDialog(QWidget* parent)
    : QDialog(parent), m_banner(new QLabel(this)), m_log(new QPlainTextEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this))
{
    setWindowTitle(QStringLiteral("Stack error messages"));
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    auto* caption = new QLabel(QStringLiteral("Errors/warnings"), this);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    auto* header = new QHBoxLayout;
    header->addWidget(icon);
    header->addWidget(caption, 1);
    m_banner->setWordWrap(true);
    m_banner->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setMinimumSize(400, 300);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_banner);
    layout->addWidget(m_log, 1);
    layout->addLayout(buttons);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void PLXStackErrorDialog::setBanner(const QString& text)
{
    m_banner->setText(text);
}

QString PLXStackErrorDialog::getBanner() const
{
    return m_banner->text();
}

void PLXStackErrorDialog::setLog(const QStringList& lines)
{
    m_log->setPlainText(lines.join(QLatin1Char('\n')));
}

QStringList PLXStackErrorDialog::getLog() const
{
    const QString text = m_log->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}
