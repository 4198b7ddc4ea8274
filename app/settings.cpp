#include "app/settings.h"

#include "catalogue/settings_store.h"
#include "catalogue/update_settings.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Writes, forces the store to disk and says whether the store reports success.
bool write(const std::function<void(QSettings&)>& values) {
    try {
        QSettings settings = settingsStore();
        values(settings);
        settings.sync();
        return settings.status() == QSettings::NoError;
    } catch (...) {
        return false;
    }
}

const QString mountIpKey = QStringLiteral("mount_IP");
const QString passesVisibleKey = QStringLiteral("passes_visible");
const QString geometryKey = QStringLiteral("window_geometry");
const QString widthsKey = QStringLiteral("column_widths");
const QString sortColumnKey = QStringLiteral("sort_column");
const QString sortDescendingKey = QStringLiteral("sort_descending");
const QString filterKey = QStringLiteral("filter_text");
const QString passSearchHoursKey = QStringLiteral("pass_search_hours");
const QString horizonFileKey = QStringLiteral("horizon_file");
const QString ntpServerKey = QStringLiteral("ntp_server");
const QString correctMountClockKey = QStringLiteral("correct_mount_clock");
const QString magnitudeFileKey = QStringLiteral("magnitude_file");
const QString reminderMinutesKey = QStringLiteral("reminder_minutes");

QString timeOffsetKey(long catalogueNumber) {
    return QStringLiteral("time_offsets/%1").arg(catalogueNumber);
}

} // namespace

QString readMountIp() {
    return settingsStore().value(mountIpKey, QString()).toString();
}

bool writeMountIp(const QString& mountIp) {
    return write([&mountIp](QSettings& s) { s.setValue(mountIpKey, mountIp); });
}

QString readNtpServer() {
    return settingsStore().value(ntpServerKey, QStringLiteral("pool.ntp.org")).toString().trimmed();
}

bool writeNtpServer(const QString& server) {
    return write([&server](QSettings& s) { s.setValue(ntpServerKey, server); });
}

bool readPassesVisible() {
    return settingsStore().value(passesVisibleKey, false).toBool();
}

bool writePassesVisible(bool visible) {
    return write([visible](QSettings& s) { s.setValue(passesVisibleKey, visible); });
}

int readPassSearchHours() {
    bool ok = false;
    const int hours = settingsStore().value(passSearchHoursKey, kDefaultPassSearchHours).toInt(&ok);
    return ok && hours >= kDefaultPassSearchHours && hours <= kMaxPassSearchHours
               ? hours
               : kDefaultPassSearchHours;
}

bool writePassSearchHours(int hours) {
    return write([hours](QSettings& s) { s.setValue(passSearchHoursKey, hours); });
}

QString readHorizonFile() {
    return settingsStore().value(horizonFileKey, QString()).toString();
}

WindowState readWindowState() {
    const QSettings settings = settingsStore();
    WindowState state;
    state.geometry = settings.value(geometryKey).toByteArray();
    for (const QString& width : settings.value(widthsKey).toStringList()) {
        bool ok = false;
        const int pixels = width.toInt(&ok);
        if (!ok || pixels < 0 || pixels > 10000)
            return WindowState{state.geometry, {}, -1, Qt::AscendingOrder, QString()};
        state.columnWidths.append(pixels);
    }
    bool ok = false;
    state.sortColumn = settings.value(sortColumnKey, -1).toInt(&ok);
    if (!ok)
        state.sortColumn = -1;
    state.sortOrder = settings.value(sortDescendingKey, false).toBool() ? Qt::DescendingOrder
                                                                        : Qt::AscendingOrder;
    state.filter = settings.value(filterKey).toString();
    return state;
}

bool writeWindowState(const WindowState& state) {
    return write([&state](QSettings& s) {
        s.setValue(geometryKey, state.geometry);
        QStringList widths;
        for (int width : state.columnWidths)
            widths << QString::number(width);
        s.setValue(widthsKey, widths);
        s.setValue(sortColumnKey, state.sortColumn);
        s.setValue(sortDescendingKey, state.sortOrder == Qt::DescendingOrder);
        s.setValue(filterKey, state.filter);
    });
}

QString readMagnitudeFile() {
    return settingsStore().value(magnitudeFileKey, QString()).toString();
}

bool writeMagnitudeFile(const QString& file) {
    return write([&file](QSettings& s) { s.setValue(magnitudeFileKey, file); });
}

double readTimeOffset(long catalogueNumber) {
    bool ok = false;
    const double seconds = settingsStore().value(timeOffsetKey(catalogueNumber)).toDouble(&ok);
    return ok && std::fabs(seconds) <= kMaxTimeOffsetS ? seconds : 0.0;
}

bool writeTimeOffset(long catalogueNumber, double seconds) {
    return write([&](QSettings& s) {
        if (seconds == 0.0)
            s.remove(timeOffsetKey(catalogueNumber));
        else
            s.setValue(timeOffsetKey(catalogueNumber), seconds);
    });
}

bool readCorrectMountClock() {
    return settingsStore().value(correctMountClockKey, true).toBool();
}

bool writeCorrectMountClock(bool on) {
    return write([on](QSettings& s) { s.setValue(correctMountClockKey, on); });
}

namespace {

const QString remindersKey = QStringLiteral("pass_reminders");
const QString numberKey = QStringLiteral("catalogue_number");
const QString riseKey = QStringLiteral("rise_jd");
const QString nameKey = QStringLiteral("name");
const QString maxAltitudeKey = QStringLiteral("max_altitude");
constexpr int kMaxNameLength = 80;

} // namespace

std::vector<PassReminder> readPassReminders(QString* warning) {
    QSettings settings = settingsStore();
    std::vector<PassReminder> reminders;
    const int stored = settings.beginReadArray(remindersKey);
    const int count = std::min(stored, kMaxPassReminders);
    if (warning)
        *warning = stored > count ? QCoreApplication::translate("Settings",
                                                                "The settings hold %1 pass "
                                                                "reminders; the first %2 are read.")
                                        .arg(stored)
                                        .arg(count)
                                  : QString();
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        bool numberOk = false, riseOk = false, altitudeOk = false;
        PassReminder r;
        r.catalogueNumber = settings.value(numberKey).toString().toInt(&numberOk);
        r.riseJd = settings.value(riseKey).toString().toDouble(&riseOk);
        r.maxAltitudeDeg = settings.value(maxAltitudeKey).toString().toDouble(&altitudeOk);
        r.name = settings.value(nameKey).toString().left(kMaxNameLength);
        if (numberOk && riseOk && altitudeOk && r.catalogueNumber > 0 && std::isfinite(r.riseJd) &&
            r.riseJd > 0 && std::abs(r.maxAltitudeDeg) <= 90)
            reminders.push_back(r);
    }
    settings.endArray();
    return reminders;
}

bool writePassReminders(const std::vector<PassReminder>& reminders) {
    return write([&reminders](QSettings& s) {
        s.remove(remindersKey);
        s.beginWriteArray(remindersKey, int(reminders.size()));
        for (int i = 0; i < int(reminders.size()); ++i) {
            const PassReminder& r = reminders[std::size_t(i)];
            s.setArrayIndex(i);
            s.setValue(numberKey, r.catalogueNumber);
            s.setValue(riseKey, QString::number(r.riseJd, 'f', 8)); // to the millisecond
            s.setValue(nameKey, r.name);
            s.setValue(maxAltitudeKey, QString::number(r.maxAltitudeDeg, 'f', 1));
        }
        s.endArray();
    });
}

int readReminderMinutes() {
    bool ok = false;
    const int minutes =
        settingsStore().value(reminderMinutesKey, PassReminders::kDefaultLeadMinutes).toInt(&ok);
    return ok && minutes >= 1 && minutes <= kMaxReminderMinutes
               ? minutes
               : PassReminders::kDefaultLeadMinutes;
}

bool writeReminderMinutes(int minutes) {
    return write([minutes](QSettings& s) { s.setValue(reminderMinutesKey, minutes); });
}

Preferences readPreferences() {
    return {readMaxElementSets(), readPassSearchHours(), readReminderMinutes(), readMagnitudeFile(),
            readNtpServer(),      readAutoUpdateDays(),  readTimeTableSource()};
}

bool writePreferences(const Preferences& p) {
    // Each writer forces the store to disk; all are tried.
    const bool written[] = {writeMaxElementSets(p.maxElementSets),
                            writePassSearchHours(p.passSearchHours),
                            writeReminderMinutes(p.reminderMinutes),
                            writeMagnitudeFile(p.magnitudeFile),
                            writeNtpServer(p.ntpServer),
                            writeAutoUpdateDays(p.autoUpdateDays),
                            writeTimeTableSource(p.timeTableSource)};
    return std::all_of(std::begin(written), std::end(written), [](bool ok) { return ok; });
}
