#pragma once

#include <QString>

// The mount's address exactly as the user typed it; empty until the settings are read.
extern QString mountIp;

// Reads mountIp from the per-user store (organisation "Halvstar", application "Orbitrak",
// key "mount_IP"); a missing key gives the empty text.
void readSettings();

// Stores mountIp under "mount_IP" and forces the store to disk. Returns whether the store
// reports success.
bool writeSettings();
