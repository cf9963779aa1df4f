#include "app/plxsettings.h"

#include <QSettings>

PLXSettings PLXSettings::settings;
QStringList PLXSettings::s_recentFiles;
QSize PLXSettings::s_openStackDialogSize;

void PLXSettings::load()
{
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Varnak"),
                      QStringLiteral("Plexan"));
    m_inputDirectory = QDir(s.value(QStringLiteral("inputDirectory"), QDir::homePath()).toString());
    m_outputDirectory = QDir(s.value(QStringLiteral("outputDirectory"), QDir::homePath()).toString());
    s_recentFiles = s.value(QStringLiteral("recentFiles"), s_recentFiles).toStringList();
    s_openStackDialogSize = s.value(QStringLiteral("openStackDialogSize"), QSize(400, 300)).toSize();
}

void PLXSettings::save() const
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Varnak"), QStringLiteral("Plexan"));
    s.setValue(QStringLiteral("inputDirectory"), m_inputDirectory.absolutePath());
    s.setValue(QStringLiteral("outputDirectory"), m_outputDirectory.absolutePath());
    s.setValue(QStringLiteral("recentFiles"), s_recentFiles);
    s.setValue(QStringLiteral("openStackDialogSize"), s_openStackDialogSize);
}

void PLXSettings::addRecentFile(const QString& path)
{
    if (s_recentFiles.contains(path, Qt::CaseSensitive))
        return;
    s_recentFiles.prepend(path);
    if (s_recentFiles.size() > s_maxNumRecentFiles)
        s_recentFiles.removeLast();
}
