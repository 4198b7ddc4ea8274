#include "mount/mount_handshake.h"

#include "mount/protocol.h"

namespace {

// A reply that cannot be read is cut to this many characters in the log, to keep it readable.
constexpr int kReplyShown = 40;

} // namespace

MountHandshake::MountHandshake(QObject* parent) : QObject(parent) {}

std::vector<MountHandshake::Step> MountHandshake::steps() {
    latitudeDeg.reset();
    westLongitudeDeg.reset();
    elevationM.reset();
    const auto step = [this](void (MountHandshake::*received)(const QByteArray&)) {
        return [this, received](const QByteArray& reply) {
            (this->*received)(reply);
        };
    };
    return {
        {MountProtocol::openingCommand(), step(&MountHandshake::versionReceived)},
        {MountProtocol::kLatitude, step(&MountHandshake::latitudeReceived)},
        {MountProtocol::kLongitude, step(&MountHandshake::longitudeReceived)},
        {MountProtocol::kElevation, step(&MountHandshake::elevationReceived)},
    };
}

void MountHandshake::versionReceived(const QByteArray& reply) {
    emit logEvent(tr("Mount firmware version: %1").arg(QString::fromLatin1(reply)), LogLevel::Info);
    version = MountProtocol::readFirmwareVersion(reply);
    emit firmwareReported(version);
    if (version < satelliteTrackingFirmware) {
        emit logEvent(tr("This firmware doesn't support satellite tracking commands. "
                         "Upgrade at least to 2.15.1."),
                      LogLevel::Error);
        emit refused();
        return;
    }
    if (version < axisErrorReadoutFirmware)
        emit logEvent(tr("This firmware doesn't support real-time tracking error readout. "
                         "To enable it upgrade at least to 2.15.14."),
                      LogLevel::Warning);
}

std::optional<double> MountHandshake::checked(std::optional<double> reading, const char* field,
                                              const QByteArray& reply) {
    if (!reading)
        emit logEvent(tr("Unreadable site from mount: %1 '%2'.")
                          .arg(tr(field), MountProtocol::excerpt(reply, kReplyShown)),
                      LogLevel::Error);
    return reading;
}

void MountHandshake::latitudeReceived(const QByteArray& reply) {
    latitudeDeg = checked(MountProtocol::readLatitude(reply), QT_TR_NOOP("latitude"), reply);
}

void MountHandshake::longitudeReceived(const QByteArray& reply) {
    westLongitudeDeg = checked(MountProtocol::readLongitude(reply), QT_TR_NOOP("longitude"), reply);
}

void MountHandshake::elevationReceived(const QByteArray& reply) {
    elevationM = checked(MountProtocol::readElevation(reply), QT_TR_NOOP("elevation"), reply);
    if (latitudeDeg && westLongitudeDeg && elevationM) {
        observingSite = Site::fromMountDegrees(*latitudeDeg, *westLongitudeDeg, *elevationM);
        emit siteChanged(observingSite);
        emit logEvent(tr("Received site information: lat = %1 deg, lon = %2 deg, elev = %3 m")
                          .arg(QString::number(observingSite.latitudeDeg(), 'f', 2),
                               QString::number(observingSite.westLongitudeDeg(), 'f', 2),
                               QString::asprintf("%g", observingSite.elevation)),
                      LogLevel::Info);
    }
    emit completed();
}
