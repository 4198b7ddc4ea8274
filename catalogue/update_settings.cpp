#include "catalogue/update_settings.h"

#include "catalogue/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

const char* const kDefaultTleSource =
    "https://celestrak.org/NORAD/elements/gp.php?GROUP=visual&FORMAT=json";

const char* const kDefaultTimeTableSource = "https://datacenter.iers.org/data/9/finals2000A.all";

namespace {

const char* const sourcesKey = "tle_sources";
const char* const autoUpdateKey = "tle_auto_update_days";
const char* const maxSetsKey = "max_element_sets";
const char* const timeTableSourceKey = "time_table_source";

} // namespace

QStringList readTleSources(QString* warning) {
    const QSettings settings = settingsStore();
    const QStringList stored = settings.value(QLatin1String(sourcesKey)).toStringList();
    QStringList sources;
    for (const QString& source : stored.mid(0, kMaxTleSources)) {
        if (!source.trimmed().isEmpty())
            sources << source.trimmed();
    }
    if (warning)
        *warning = stored.size() > kMaxTleSources
                       ? QCoreApplication::translate("UpdateSettings",
                                                     "The settings hold %1 update sources; the "
                                                     "first %2 are read.")
                             .arg(stored.size())
                             .arg(kMaxTleSources)
                       : QString();
    return sources.isEmpty() ? QStringList{QString::fromLatin1(kDefaultTleSource)} : sources;
}

bool writeTleSources(const QStringList& sources) {
    QSettings settings = settingsStore();
    if (sources.isEmpty())
        settings.remove(QLatin1String(sourcesKey));
    else
        settings.setValue(QLatin1String(sourcesKey), sources);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

int readAutoUpdateDays() {
    const QSettings settings = settingsStore();
    bool ok = false;
    const int days = settings.value(QLatin1String(autoUpdateKey), 0).toInt(&ok);
    return ok && days > 0 ? days : 0;
}

bool writeAutoUpdateDays(int days) {
    QSettings settings = settingsStore();
    settings.setValue(QLatin1String(autoUpdateKey), days);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

int readMaxElementSets() {
    const QSettings settings = settingsStore();
    bool ok = false;
    const int sets = settings.value(QLatin1String(maxSetsKey), kDefaultMaxElementSets).toInt(&ok);
    return ok && sets >= 1 && sets <= kMaxMaxElementSets ? sets : kDefaultMaxElementSets;
}

bool writeMaxElementSets(int sets) {
    QSettings settings = settingsStore();
    settings.setValue(QLatin1String(maxSetsKey), sets);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

// The generic location with the names spelt out, so that the command line, which names no
// organisation, finds the window's folder.
QString updateCacheFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("%1/%2").arg(QLatin1String(kSettingsOrganisation),
                                              QLatin1String(kSettingsApplication)));
}

QString userDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/%1/%2").arg(QLatin1String(kSettingsOrganisation),
                                        QLatin1String(kSettingsApplication));
}

std::vector<std::string> timeTableFolders() {
    std::vector<std::string> folders{""};
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/orbitrak"));
    for (const QString& folder : {userDataFolder(), installed})
        folders.push_back(QFile::encodeName(folder).toStdString());
    return folders;
}

QString readTimeTableSource() {
    const QSettings settings = settingsStore();
    const QVariant value = settings.value(QLatin1String(timeTableSourceKey));
    return value.isValid() ? value.toString().trimmed()
                           : QString::fromLatin1(kDefaultTimeTableSource);
}

bool writeTimeTableSource(const QString& source) {
    QSettings settings = settingsStore();
    if (source == QLatin1String(kDefaultTimeTableSource))
        settings.remove(QLatin1String(timeTableSourceKey));
    else
        settings.setValue(QLatin1String(timeTableSourceKey), source);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
