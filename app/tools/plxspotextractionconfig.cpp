#include "app/tools/plxspotextractionconfig.h"

#include "app/plxsettingskeys.h"

#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

template <typename T>
QVariantList toList(const Vector<T>& v)
{
    return {QVariant::fromValue(v[0]), QVariant::fromValue(v[1]), QVariant::fromValue(v[2])};
}

// Three positive values, or false.
template <typename T>
bool fromList(const QVariant& value, Vector<T>& v)
{
    const QVariantList list = value.toList();
    if (list.size() != 3)
        return false;
    Vector<T> read{T(0), T(0), T(0)};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const double x = list[i].toDouble(&ok);
        if (!ok || !(x > 0.0))
            return false;
        read[i] = static_cast<T>(x);
    }
    v = read;
    return true;
}

void readBool(const QSettings& settings, const char* name, bool& value)
{
    if (settings.contains(key(name)))
        value = settings.value(key(name)).toBool();
}

// An integer within [low, high], or value unchanged.
void readInt(const QSettings& settings, const char* name, int low, int high, int& value)
{
    bool ok = false;
    const int read = settings.value(key(name)).toInt(&ok);
    if (ok && read >= low && read <= high)
        value = read;
}

} // namespace

void PLXSpotExtractionConfig::restore()
{
    const QSettings settings;
    readBool(settings, PLXSettingsKeys::spotExtractionResize, resizeState);
    readBool(settings, PLXSettingsKeys::spotExtractionSmoothing, smoothingFilterEnabled);
    readBool(settings, PLXSettingsKeys::spotExtractionTopHat, tophatFilterEnabled);
    readBool(settings, PLXSettingsKeys::spotExtractionIsotropy, isotropyFilterEnabled);
    int type = static_cast<int>(smoothingFilterType);
    readInt(settings, PLXSettingsKeys::spotExtractionSmoothingType, 0, 2, type);
    smoothingFilterType = static_cast<PLXSpotExtractionSmoothing>(type);
    type = static_cast<int>(tophatFilterType);
    readInt(settings, PLXSettingsKeys::spotExtractionTopHatType, 0, 1, type);
    tophatFilterType = static_cast<PLXSpotExtractionTopHat>(type);
    readInt(settings, PLXSettingsKeys::spotExtractionSmoothingRadius, 1, 1000, smoothingFilterRadius);
    readInt(settings, PLXSettingsKeys::spotExtractionTopHatRadius, 1, 1000, tophatFilterRadius);
    readInt(settings, PLXSettingsKeys::spotExtractionIsotropyRadius, 1, 1000, isotropyFilterRadius);
    if (settings.contains(key(PLXSettingsKeys::spotExtractionBasename)))
        basename = settings.value(key(PLXSettingsKeys::spotExtractionBasename)).toString().toStdString();
    readBool(settings, PLXSettingsKeys::spotExtractionSeparateModels, separateModelsEnabled);
    readBool(settings, PLXSettingsKeys::spotExtractionEquivalentSpheres, equivalentSpheresEnabled);
    Vector<int> chosenFor{0, 0, 0};
    Vector<int> size{0, 0, 0};
    Vector<double> voxel{0.0, 0.0, 0.0};
    if (fromList(settings.value(key(PLXSettingsKeys::spotExtractionVolumeSize)), chosenFor) && chosenFor == volumeSize &&
        fromList(settings.value(key(PLXSettingsKeys::spotExtractionNewSize)), size) &&
        fromList(settings.value(key(PLXSettingsKeys::spotExtractionNewResolution)), voxel)) {
        newSize = size;
        newResolution = voxel;
    } else {
        newSize = volumeSize;
        newResolution = resolution;
    }
}

void PLXSpotExtractionConfig::store() const
{
    QSettings settings;
    settings.setValue(key(PLXSettingsKeys::spotExtractionResize), resizeState);
    settings.setValue(key(PLXSettingsKeys::spotExtractionSmoothing), smoothingFilterEnabled);
    settings.setValue(key(PLXSettingsKeys::spotExtractionTopHat), tophatFilterEnabled);
    settings.setValue(key(PLXSettingsKeys::spotExtractionIsotropy), isotropyFilterEnabled);
    settings.setValue(key(PLXSettingsKeys::spotExtractionSmoothingType), static_cast<int>(smoothingFilterType));
    settings.setValue(key(PLXSettingsKeys::spotExtractionTopHatType), static_cast<int>(tophatFilterType));
    settings.setValue(key(PLXSettingsKeys::spotExtractionSmoothingRadius), smoothingFilterRadius);
    settings.setValue(key(PLXSettingsKeys::spotExtractionTopHatRadius), tophatFilterRadius);
    settings.setValue(key(PLXSettingsKeys::spotExtractionIsotropyRadius), isotropyFilterRadius);
    settings.setValue(key(PLXSettingsKeys::spotExtractionBasename), QString::fromStdString(basename));
    settings.setValue(key(PLXSettingsKeys::spotExtractionSeparateModels), separateModelsEnabled);
    settings.setValue(key(PLXSettingsKeys::spotExtractionEquivalentSpheres), equivalentSpheresEnabled);
    settings.setValue(key(PLXSettingsKeys::spotExtractionVolumeSize), toList(volumeSize));
    settings.setValue(key(PLXSettingsKeys::spotExtractionNewSize), toList(newSize));
    settings.setValue(key(PLXSettingsKeys::spotExtractionNewResolution), toList(newResolution));
}

const char* PLXSpotExtractionConfig::smoothingName(PLXSpotExtractionSmoothing type)
{
    switch (type) {
    case PLXSpotExtractionSmoothing::Average:
        return "Average";
    case PLXSpotExtractionSmoothing::Median:
        return "Median";
    case PLXSpotExtractionSmoothing::Gaussian:
        return "Gaussian";
    }
    return "";
}

const char* PLXSpotExtractionConfig::tophatName(PLXSpotExtractionTopHat type)
{
    return type == PLXSpotExtractionTopHat::Flat ? "Flat" : "Spherical";
}
