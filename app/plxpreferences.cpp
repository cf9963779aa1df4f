#include "app/plxpreferences.h"

#include "app/plxsettingskeys.h"

#include <QSettings>
#include <QVariant>

int PLXPreferences::s_maxNumBackups = PLXPreferences::defaultMaxNumBackups;
bool PLXPreferences::s_autoDecimation = false;
bool PLXPreferences::s_panoramaLabels = true;
int PLXPreferences::s_clickTolerance = PLXPreferences::defaultClickTolerance;
QColor PLXPreferences::s_backgroundColor = QColor(Qt::darkGray);
PLXPreferences PLXPreferences::__preferences;

namespace {

const QLatin1String backupsKey(PLXSettingsKeys::maxNumBackups);
const QLatin1String decimationKey(PLXSettingsKeys::autoDecimation);
const QLatin1String labelsKey(PLXSettingsKeys::enablePanoramaLabels);
const QLatin1String toleranceKey(PLXSettingsKeys::clickTolerance);
const QLatin1String colorKey(PLXSettingsKeys::imageCanvasBackgroundColor);

} // namespace

PLXPreferences::PLXPreferences()
{
    s_maxNumBackups = defaultMaxNumBackups;
    s_autoDecimation = false;
    s_panoramaLabels = true;
    s_clickTolerance = defaultClickTolerance;
}

void PLXPreferences::load()
{
    const QSettings s;
    s_maxNumBackups = s.value(backupsKey, s_maxNumBackups).toInt();
    s_autoDecimation = s.value(decimationKey, s_autoDecimation).toBool();
    s_panoramaLabels = s.value(labelsKey, s_panoramaLabels).toBool();
    s_clickTolerance = s.value(toleranceKey, s_clickTolerance).toInt();
    const QVariant color = s.value(colorKey, s_backgroundColor);
    if (color.typeId() == QMetaType::QColor)
        s_backgroundColor = color.value<QColor>();
    else if (color.canConvert<QColor>())
        s_backgroundColor = color.value<QColor>();
    else
        s_backgroundColor = QColor();
}

void PLXPreferences::save()
{
    QSettings s;
    s.setValue(backupsKey, s_maxNumBackups);
    s.setValue(decimationKey, s_autoDecimation);
    s.setValue(labelsKey, s_panoramaLabels);
    s.setValue(toleranceKey, s_clickTolerance);
    s.setValue(colorKey, s_backgroundColor);
}
