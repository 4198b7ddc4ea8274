#pragma once

#include "planning/pass_reminders.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The per-user settings store: organisation "Halvstar", application "Orbitrak".

// The mount's address under "mount_IP", exactly as the user typed it; the empty text when the
// key is missing.
QString readMountIp();

// Stores the address under "mount_IP" and forces the store to disk. Returns whether the store
// reports success.
bool writeMountIp(const QString& mountIp);

// The time server this computer's clock is checked against, under "ntp_server": a name or
// address, with ":port" for another port than 123; "pool.ntp.org" when the key is missing, and
// empty (no checks) when the key holds the empty text.
QString readNtpServer();
bool writeNtpServer(const QString& server);

// Whether the pass planner's panel is shown, under "passes_visible"; false when the key is
// missing.
bool readPassesVisible();
bool writePassesVisible(bool visible);

// How far ahead the planner searches, under "pass_search_hours": 12 to 168 hours, 12 when the
// key is missing or out of range.
constexpr int kDefaultPassSearchHours = 12;
constexpr int kMaxPassSearchHours = 168;
int readPassSearchHours();
bool writePassSearchHours(int hours);

// The horizon file from before observing sites had their own, under "horizon_file"; the
// empty text (a flat horizon) when missing. It applies while the current site names none.
QString readHorizonFile();

// What the window looks like when it closes, for the next start: its geometry, the live
// table's column widths (from the second column on; the first stretches), the column it is
// sorted by (-1: none) and the filter text. Empty and -1 when nothing was stored.
struct WindowState {
    QByteArray geometry;
    QList<int> columnWidths;
    int sortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    QString filter;
};
WindowState readWindowState();
bool writeWindowState(const WindowState& state);

// The file of standard magnitudes the planner estimates brightness from, under
// "magnitude_file"; empty when the key is missing.
QString readMagnitudeFile();
bool writeMagnitudeFile(const QString& file);

// A satellite's time offset in seconds, under "time_offsets/NUMBER" (its catalogue number):
// -60 to 60, 0 when missing or out of range. Writing 0 removes the key.
constexpr double kMaxTimeOffsetS = 60.0;
double readTimeOffset(long catalogueNumber);
bool writeTimeOffset(long catalogueNumber, double seconds);

// Whether the upload corrects for the mount's clock, under "correct_mount_clock"; true when
// missing.
bool readCorrectMountClock();
bool writeCorrectMountClock(bool on);

// Far more than anyone plans: a damaged store that claims billions cannot keep the window busy.
constexpr int kMaxPassReminders = 1000;

// The reminders of coming passes, under the array "pass_reminders" (catalogue_number, rise_jd,
// name, max_altitude); entries that do not read are left out. Only the first kMaxPassReminders
// are read; warning, when given, then says so (else empty).
std::vector<PassReminder> readPassReminders(QString* warning = nullptr);
bool writePassReminders(const std::vector<PassReminder>& reminders);

// How many minutes before its rise a pass is reminded of, under "reminder_minutes": 1 to 1440,
// 5 when the key is missing or out of range.
constexpr int kMaxReminderMinutes = 1440;
int readReminderMinutes();
bool writeReminderMinutes(int minutes);

// What TLEs > Preferences... shows and changes, each as its own setting above (or in
// catalogue/update_settings.h) reads it.
struct Preferences {
    int maxElementSets = 0;
    int passSearchHours = 0;
    int reminderMinutes = 0;
    QString magnitudeFile;
    QString ntpServer;
    int autoUpdateDays = 0;
    QString timeTableSource;
};
Preferences readPreferences();
bool writePreferences(const Preferences& preferences);
