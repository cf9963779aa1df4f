#pragma once
// PLXSplitter: a splitter that remembers where the user left it. It stores
// its state in the default settings store under its key each time the user
// moves it; restore() applies the stored state, or the initial sizes when
// none is stored.

#include <QList>
#include <QSplitter>
#include <QString>

class PLXSplitter : public QSplitter {
    Q_OBJECT
public:
    PLXSplitter(Qt::Orientation orientation, const QString& key, const QList<int>& initialSizes,
                QWidget* parent = nullptr);

    void restore();
    const QString& getKey() const { return m_key; }

private slots:
    void store();

private:
    QString m_key;
    QList<int> m_initialSizes;
};
