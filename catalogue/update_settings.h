#pragma once

#include <QString>
#include <QStringList>

// Where updates of the catalogue come from and how often the window fetches them unasked, in
// the per-user settings store (organisation "Halvstar", application "Orbitrak", as the mount
// address). The command-line tool reads them too, so they live here rather than with the
// window.

// The bright satellites of the public GP element-set service, in three-line form.
extern const char* const kDefaultTleSource;

// "tle_sources": a string list (tle_sources=URL1, URL2 in the INI store). The default source
// when the key is missing or holds no URL.
QStringList readTleSources();
// An empty list removes the key, so the default applies again. Returns whether the store
// reports success.
bool writeTleSources(const QStringList& sources);

// "tle_auto_update_days": update at start when the catalogue file is older than this many days;
// 0, the default, and anything that is not a whole number above 0 mean never.
int readAutoUpdateDays();
