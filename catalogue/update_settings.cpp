#include "catalogue/update_settings.h"

#include <QSettings>

const char* const kDefaultTleSource =
    "https://celestrak.org/NORAD/elements/gp.php?GROUP=visual&FORMAT=tle";

namespace {

const char* const sourcesKey = "tle_sources";
const char* const autoUpdateKey = "tle_auto_update_days";

const char* const organisation = "Halvstar";
const char* const application = "Orbitrak";

} // namespace

QStringList readTleSources() {
    const QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
    QStringList sources;
    for (const QString& source : settings.value(QLatin1String(sourcesKey)).toStringList()) {
        if (!source.trimmed().isEmpty())
            sources << source.trimmed();
    }
    return sources.isEmpty() ? QStringList{QString::fromLatin1(kDefaultTleSource)} : sources;
}

bool writeTleSources(const QStringList& sources) {
    QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
    if (sources.isEmpty())
        settings.remove(QLatin1String(sourcesKey));
    else
        settings.setValue(QLatin1String(sourcesKey), sources);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

int readAutoUpdateDays() {
    const QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
    bool ok = false;
    const int days = settings.value(QLatin1String(autoUpdateKey), 0).toInt(&ok);
    return ok && days > 0 ? days : 0;
}
