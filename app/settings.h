#pragma once

#include "catalogue/pass_reminders.h"

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

// The site's horizon file, under "horizon_file"; the empty text (a flat horizon) when missing.
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

// The reminders of coming passes, under the array "pass_reminders" (catalogue_number, rise_jd,
// name, max_altitude); entries that do not read are left out.
std::vector<PassReminder> readPassReminders();
bool writePassReminders(const std::vector<PassReminder>& reminders);

// How many minutes before its rise a pass is reminded of, under "reminder_minutes": 1 to 1440,
// 5 when the key is missing or out of range.
int readReminderMinutes();
