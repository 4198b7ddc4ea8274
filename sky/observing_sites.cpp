#include "sky/observing_sites.h"

#include "catalogue/settings_store.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {

const char* const sitesKey = "observing_sites";
const char* const currentKey = "observing_site";
const char* const nameKey = "name";
const char* const latitudeKey = "latitude";
const char* const longitudeKey = "longitude";
const char* const elevationKey = "elevation";
const char* const horizonKey = "horizon_file";

// NaN for anything but a number, so that the range check refuses it.
double number(const QSettings& settings, const char* key) {
    bool ok = false;
    const double value = settings.value(QLatin1String(key)).toDouble(&ok);
    return ok ? value : std::nan("");
}

} // namespace

bool ObservingSite::isValid() const {
    return !name.trimmed().isEmpty() && Site::latitudeInRange(latitudeDeg) &&
           Site::longitudeInRange(eastLongitudeDeg) && Site::elevationInRange(elevationM);
}

std::vector<ObservingSite> readObservingSites(QString* warning) {
    QSettings settings = settingsStore();
    std::vector<ObservingSite> sites;
    const int stored = settings.beginReadArray(QLatin1String(sitesKey));
    const int count = std::min(stored, kMaxObservingSites);
    if (warning)
        *warning = stored > count ? QCoreApplication::translate("ObservingSites",
                                                                "The settings hold %1 observing "
                                                                "sites; the first %2 are read.")
                                        .arg(stored)
                                        .arg(count)
                                  : QString();
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        ObservingSite site;
        site.name = settings.value(QLatin1String(nameKey)).toString();
        site.latitudeDeg = number(settings, latitudeKey);
        site.eastLongitudeDeg = number(settings, longitudeKey);
        site.elevationM = number(settings, elevationKey);
        site.horizonFile = settings.value(QLatin1String(horizonKey)).toString();
        if (site.isValid() && !findObservingSite(sites, site.name))
            sites.push_back(site);
    }
    settings.endArray();
    return sites;
}

bool writeObservingSites(const std::vector<ObservingSite>& sites) {
    QSettings settings = settingsStore();
    settings.remove(QLatin1String(sitesKey));
    settings.beginWriteArray(QLatin1String(sitesKey), int(sites.size()));
    for (std::size_t i = 0; i < sites.size(); ++i) {
        settings.setArrayIndex(int(i));
        settings.setValue(QLatin1String(nameKey), sites[i].name);
        settings.setValue(QLatin1String(latitudeKey), sites[i].latitudeDeg);
        settings.setValue(QLatin1String(longitudeKey), sites[i].eastLongitudeDeg);
        settings.setValue(QLatin1String(elevationKey), sites[i].elevationM);
        settings.setValue(QLatin1String(horizonKey), sites[i].horizonFile);
    }
    settings.endArray();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString readCurrentSiteName() {
    return settingsStore().value(QLatin1String(currentKey)).toString();
}

bool writeCurrentSiteName(const QString& name) {
    QSettings settings = settingsStore();
    settings.setValue(QLatin1String(currentKey), name);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::optional<ObservingSite> findObservingSite(const std::vector<ObservingSite>& sites,
                                               const QString& name) {
    for (const ObservingSite& site : sites)
        if (site.name == name)
            return site;
    return std::nullopt;
}

std::optional<ObservingSite> readCurrentObservingSite(QString* warning) {
    const QString name = readCurrentSiteName();
    if (warning)
        warning->clear();
    return name.isEmpty() ? std::nullopt : findObservingSite(readObservingSites(warning), name);
}
