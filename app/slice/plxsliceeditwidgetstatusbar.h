#pragma once
// PLXSliceEditWidgetStatusBar: the slice editor's status line: the edit mode
// ("READY", "CREATE", "MOVE", "INSERT", "DELETE", "SNAKE") and the last
// message of a tool ("Curve created with 12 vertices").

#include <QString>
#include <QWidget>

class QLabel;

class PLXSliceEditWidgetStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit PLXSliceEditWidgetStatusBar(QWidget* parent = nullptr);

    void setMode(const QString& mode);
    QString getMode() const;
    void showMessage(const QString& text);
    QString getMessage() const;

private:
    QLabel* m_mode;
    QLabel* m_message;
};
