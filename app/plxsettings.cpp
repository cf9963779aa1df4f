#include "app/plxsettings.h"

#include "app/plxsettingskeys.h"

#include <QSettings>

PLXSettings PLXSettings::settings;
QStringList PLXSettings::s_recentFiles;
QSize PLXSettings::s_openStackDialogSize;

void PLXSettings::load()
{
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Varnak"),
                      QStringLiteral("Plexan"));
    m_inputDirectory = QDir(s.value(QLatin1String(PLXSettingsKeys::inputDirectory), QDir::homePath()).toString());
    m_outputDirectory = QDir(s.value(QLatin1String(PLXSettingsKeys::outputDirectory), QDir::homePath()).toString());
    s_recentFiles = s.value(QLatin1String(PLXSettingsKeys::recentFiles), s_recentFiles).toStringList();
    s_openStackDialogSize = s.value(QLatin1String(PLXSettingsKeys::openStackDialogSize), PLXSettingsKeys::defaultOpenStackDialogSize).toSize();
}

void PLXSettings::save() const
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Varnak"), QStringLiteral("Plexan"));
    s.setValue(QLatin1String(PLXSettingsKeys::inputDirectory), m_inputDirectory.absolutePath());
    s.setValue(QLatin1String(PLXSettingsKeys::outputDirectory), m_outputDirectory.absolutePath());
    s.setValue(QLatin1String(PLXSettingsKeys::recentFiles), s_recentFiles);
    s.setValue(QLatin1String(PLXSettingsKeys::openStackDialogSize), s_openStackDialogSize);
}

void PLXSettings::addRecentFile(const QString& path)
{
    if (s_recentFiles.contains(path, Qt::CaseSensitive))
        return;
    s_recentFiles.prepend(path);
    if (s_recentFiles.size() > s_maxNumRecentFiles)
        s_recentFiles.removeLast();
}
