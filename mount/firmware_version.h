#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <tuple>

// The mount's firmware version, compared numerically field by field (2.15.9 < 2.15.14).
// MountProtocol::readFirmwareVersion reads it from the mount's reply.
struct FirmwareVersion {
    quint32 major = 0;
    quint32 minor = 0;
    quint32 patch = 0;

    bool isAtLeast(const FirmwareVersion& other) const { return !(*this < other); }
    bool operator<(const FirmwareVersion& other) const {
        return std::tie(major, minor, patch) < std::tie(other.major, other.minor, other.patch);
    }
    bool operator==(const FirmwareVersion& other) const {
        return major == other.major && minor == other.minor && patch == other.patch;
    }
    bool operator!=(const FirmwareVersion& other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(FirmwareVersion)

// The first firmware with the satellite commands, and the first that reports the real-time
// axis tracking errors.
inline constexpr FirmwareVersion satelliteTrackingFirmware{2, 15, 1};
inline constexpr FirmwareVersion axisErrorReadoutFirmware{2, 15, 14};
