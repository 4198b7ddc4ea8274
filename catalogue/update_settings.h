#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// Where updates of the catalogue come from and how often the window fetches them unasked, in
// the per-user settings store (organisation "Halvstar", application "Orbitrak", as the mount
// address). The command-line tool reads them too, so they live here rather than with the
// window.

// The bright satellites of the public GP element-set service, as OMM in JSON: objects catalogued
// since mid-2026 come only in the newer forms.
extern const char* const kDefaultTleSource;

// Far more than anyone updates from: a damaged store cannot start endless downloads.
constexpr int kMaxTleSources = 100;

// "tle_sources": a string list (tle_sources=URL1, URL2 in the INI store). The default source
// when the key is missing or holds no URL. Only the first kMaxTleSources are read; warning,
// when given, then says so (else empty).
QStringList readTleSources(QString* warning = nullptr);
// An empty list removes the key, so the default applies again. Returns whether the store
// reports success.
bool writeTleSources(const QStringList& sources);

// "tle_auto_update_days": update at start when the catalogue file is older than this many days;
// 0, the default, and anything that is not a whole number above 0 mean never.
constexpr int kMaxAutoUpdateDays = 3650;
int readAutoUpdateDays();
bool writeAutoUpdateDays(int days);

// "max_element_sets": how many sets of the catalogue the window keeps, 1 to 50,000; 500 when the
// key is missing or out of range.
constexpr int kDefaultMaxElementSets = 500;
constexpr int kMaxMaxElementSets = 50000;
int readMaxElementSets();
bool writeMaxElementSets(int sets);

// The per-user cache folder the window and the command line share: the last good copy of every
// source and the record of hosts that refused (QStandardPaths' cache location of
// Halvstar/Orbitrak, whichever program asks).
QString updateCacheFolder();

// The per-user data folder ($XDG_DATA_HOME/Halvstar/Orbitrak, by default
// ~/.local/share/Halvstar/Orbitrak): a catalogue of the user's, user_utc.bin, recorded passes.
QString userDataFolder();
// The folders to look for user_utc.bin and utc.bin in, in order: the working directory, the
// per-user data folder, the data installed with the program (<executable>/../share/orbitrak).
std::vector<std::string> timeTableFolders();

// Bulletin A of the IERS, the Earth's rotation observed to the last few days.
extern const char* const kDefaultTimeTableSource;
// "time_table_source": where the time table is refreshed from; the default when the key is
// missing, no refresh at all when it is set but empty.
QString readTimeTableSource();
// The default removes the key, so that a later default applies; the empty text is kept.
bool writeTimeTableSource(const QString& source);
