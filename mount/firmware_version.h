#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QtGlobal>

// The mount's firmware version, compared numerically field by field (2.15.9 < 2.15.14).
struct FirmwareVersion {
    quint32 major = 0;
    quint32 minor = 0;
    quint32 patch = 0;

    // Reads "major.minor.patch"; missing or non-numeric fields count 0, fields after the third
    // are ignored, and numbers too large for 32 bits saturate.
    static FirmwareVersion fromReply(const QByteArray& reply);

    bool isAtLeast(const FirmwareVersion& other) const { return !(*this < other); }
    bool operator<(const FirmwareVersion& other) const;
    bool operator==(const FirmwareVersion& other) const;
    bool operator!=(const FirmwareVersion& other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(FirmwareVersion)

// The first firmware with the satellite commands, and the first that reports the real-time
// axis tracking errors.
inline constexpr FirmwareVersion satelliteTrackingFirmware{2, 15, 1};
inline constexpr FirmwareVersion axisErrorReadoutFirmware{2, 15, 14};
