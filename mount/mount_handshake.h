#pragma once

#include "astro/site.h"
#include "mount/firmware_version.h"
#include "mount/metatypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The four transactions that open every connection, before any queued command, in this order:
//
//   1. "#:U2#:GVN#"  the firmware version. Below 2.15.1 the mount is refused and the connection
//                    ends; below 2.15.14 a warning says the axis errors cannot be read.
//   2. ":Gt#"        the site's latitude,
//   3. ":Gg#"        its longitude (west positive, as the mount counts it),
//   4. ":Gev#"       its elevation. The site is taken only when all three read; a field that
//                    does not is named in an Error, and the site stays what it was, so the table
//                    never moves to a place the mount did not mean.
//
// Then the handshake is complete and the link ready.
class MountHandshake : public QObject {
    Q_OBJECT

public:
    struct Step {
        QByteArray command;
        std::function<void(const QByteArray& reply)> received;
    };

    explicit MountHandshake(QObject* parent = nullptr);

    // A new connection's steps, in order. Each reads its reply when it is given it.
    std::vector<Step> steps();

    // Kept after the connection ends.
    const FirmwareVersion& firmware() const { return version; }
    // The site as the mount reported it; the default site until it has.
    const Site& site() const { return observingSite; }

signals:
    void firmwareReported(const FirmwareVersion& version);
    // The firmware has no satellite commands: the connection is to end.
    void refused();
    void siteChanged(const Site& site);
    void completed();
    void logEvent(const QString& text, LogLevel level);

private:
    void versionReceived(const QByteArray& reply);
    void latitudeReceived(const QByteArray& reply);
    void longitudeReceived(const QByteArray& reply);
    void elevationReceived(const QByteArray& reply);
    // The reading, or an Error naming the field and the reply.
    std::optional<double> checked(std::optional<double> reading, const char* field,
                                  const QByteArray& reply);

    FirmwareVersion version;
    Site observingSite;
    // This connection's readings, each empty until read.
    std::optional<double> latitudeDeg;
    std::optional<double> westLongitudeDeg;
    std::optional<double> elevationM;
};
