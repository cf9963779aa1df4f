#pragma once
// PLXStackErrorDialog: "Stack error messages": the problems met while
// reading a stack file, one log line per line under a banner naming the
// file, with an "OK" button. Run it with Dialogs::exec(dialog).

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class PLXStackErrorDialog : public QDialog {
    Q_OBJECT
public:
    explicit PLXStackErrorDialog(QWidget* parent = nullptr);

    void setBanner(const QString& text);
    QString getBanner() const;
    void setLog(const QStringList& lines);
    QStringList getLog() const;

    QPushButton* getOkButton() const { return m_ok; }

private:
    QLabel* m_banner;
    QPlainTextEdit* m_log;
    QPushButton* m_ok;
};
