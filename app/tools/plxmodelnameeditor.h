#pragma once
// PLXModelNameEditor: the "Name" field of a model.

#include <QWidget>

class QLineEdit;

class PLXModelNameEditor : public QWidget {
    Q_OBJECT
public:
    explicit PLXModelNameEditor(QWidget* parent = nullptr);
    void setName(const QString& name);
    QString getName() const;
    QLineEdit* getNameField() const { return m_name; }

signals:
    void changed();

private:
    QLineEdit* m_name;
};
