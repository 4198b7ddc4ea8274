#pragma once

#include <QLatin1String>
#include <QSettings>

// The per-user settings store that the window, the update and orbitrak-cli share.
inline constexpr char kSettingsOrganisation[] = "Halvstar";
inline constexpr char kSettingsApplication[] = "Orbitrak";

inline QSettings settingsStore() {
    return QSettings(QLatin1String(kSettingsOrganisation), QLatin1String(kSettingsApplication));
}
