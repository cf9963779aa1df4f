#include "app/plxhelp.h"

#include "app/plxversion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace PLXHelp {

QStringList manualLocations(const QString& programDirectory)
{
    return {QDir::cleanPath(programDirectory + QStringLiteral("/../share/doc/plexan/manual.md")),
            QDir::cleanPath(QStringLiteral(PLEXAN_SOURCE_MANUAL))};
}

QString findManual(const QStringList& locations)
{
    for (const QString& place : locations) {
        const QFileInfo info(place);
        if (info.isFile() && info.isReadable())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

QString buildVersion()
{
    return QStringLiteral(PLEXAN_BUILD_VERSION);
}

QString buildDate()
{
    // __DATE__ pads one-digit days with a space ("Mar  6 2015").
    return appCompilationDate().simplified();
}

QString aboutText()
{
    return QCoreApplication::translate("PLXHelp",
                                       "Plexan %1 (%2)\n\n"
                                       "Reconstruction, measurement and comparison of 3D structures "
                                       "from stacks of images.\n\n"
                                       "Build %3 of %4.")
        .arg(appVersionNumber, appVersionDate, buildVersion(), buildDate());
}

} // namespace PLXHelp
