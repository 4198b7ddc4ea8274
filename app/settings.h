#pragma once

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
