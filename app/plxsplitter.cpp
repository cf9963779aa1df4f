#include "app/plxsplitter.h"

#include <QSettings>

PLXSplitter::PLXSplitter(Qt::Orientation orientation, const QString& key, const QList<int>& initialSizes,
                         QWidget* parent)
    : QSplitter(orientation, parent), m_key(key), m_initialSizes(initialSizes)
{
    connect(this, &QSplitter::splitterMoved, this, &PLXSplitter::store);
}

void PLXSplitter::restore()
{
    const QSettings settings;
    if (settings.contains(m_key) && restoreState(settings.value(m_key).toByteArray()))
        return;
    setSizes(m_initialSizes);
}

void PLXSplitter::store()
{
    QSettings().setValue(m_key, saveState());
}
