// Arbitrary bytes from the mount, arriving in arbitrary pieces (see fuzz_input.h), through the
// pieces the mount link and its users are made of, in the order they use them: the reply cutting
// with its receive bound, the handshake's version gate and site readers, then the transactions
// of a ready link (status poll, axis errors, a reply-less motion command, the transit chain's
// reply checks; the status reply is also read as the mount's clock replies). The link's socket and
// queue stay out: they would tie every input to an event loop and a connection.

#include "mount/protocol.h"
#include "mount/reply_cutter.h"
#include "tests/fuzz/fuzz_input.h"

#include <QString>

#include <cmath>

namespace {

using namespace MountProtocol;

// What the link waits for: the handshake's four steps, then a cycle of transactions.
// Stop is reply-less: what arrives after it waits for the next command.
enum Step { Version, Latitude, Longitude, Elevation, Status, Errors, Stop, Upload, Pass, Slew };

class Link {
public:
    void arrive(const QByteArray& bytes) {
        received += bytes.size();
        const ReplyCut cut = cutReply(buffer, expected, bytes);
        if (buffer.size() > maxReceiveBuffer)
            fuzz::fail("receive buffer above its bound");
        if (cut.outcome == ReplyCut::Overflow) {
            if (!buffer.isEmpty())
                fuzz::fail("overflow left bytes behind");
            reconnect();
        } else if (cut.outcome == ReplyCut::Waiting && step == Stop) {
            // The bytes stay buffered; then an upload is written and its reply cut from a later
            // arrival.
            await(Upload);
        } else if (cut.outcome == ReplyCut::Reply) {
            if (cut.reply.contains('#') || expected != ReplyKind::None)
                fuzz::fail("a reply holding a '#', or leaving a reply awaited");
            delivered += cut.reply.size() + 1;
            if (delivered + buffer.size() != received)
                fuzz::fail("bytes lost or duplicated by the cutting");
            handle(cut.reply);
        }
    }

private:
    void reconnect() {
        buffer.clear();
        received = delivered = 0;
        await(Version);
    }

    void await(Step next) {
        step = next;
        expected = next == Stop ? ReplyKind::None : ReplyKind::HashTerminated;
    }

    void handle(const QByteArray& reply) {
        switch (step) {
        case Version:
            firmware = readFirmwareVersion(reply);
            if (firmware.isAtLeast(satelliteTrackingFirmware) ==
                (firmware < satelliteTrackingFirmware))
                fuzz::fail("version comparison not a total order");
            // A refused firmware ends the connection; the next one starts again.
            if (firmware < satelliteTrackingFirmware)
                reconnect();
            else
                await(Latitude);
            return;
        case Latitude:
        case Longitude:
        case Elevation: {
            const double value = parseSexagesimal(reply).value;
            if (!std::isfinite(value))
                fuzz::fail("a site value that is not finite");
            QString::asprintf("%g", value);
            QString::number(value, 'f', 2);
            const std::optional<double> field = step == Latitude    ? readLatitude(reply)
                                                : step == Longitude ? readLongitude(reply)
                                                                    : readElevation(reply);
            if (field && (!std::isfinite(*field) || !parseSexagesimal(reply).complete))
                fuzz::fail("a site field taken from an incomplete reply");
            await(Step(step + 1));
            return;
        }
        case Status: {
            if (const std::optional<TrackingState> state = readTrackingState(reply))
                trackingState = *state;
            // The same reply read as the mount's clock would be: in range, or refused.
            const std::optional<double> time = readLocalTime(reply);
            const std::optional<double> offset = readUtcOffset(reply);
            const std::optional<QDate> date = readDate(reply);
            if ((time && !(*time >= 0.0 && *time < 86400.0)) ||
                (offset && !(std::fabs(*offset) <= 14.0)) ||
                (date && readDate(dateReply(*date)) != date))
                fuzz::fail("a clock reading out of range");
            await(firmware.isAtLeast(axisErrorReadoutFirmware) ? Errors : Stop);
            return;
        }
        case Errors: {
            const AxisErrorReading reading = readAxisErrors(reply);
            if (reading.outcome == AxisErrorReading::Numbers) {
                if (!std::isfinite(reading.firstDegrees * kArcsecondsPerDegree) ||
                    !std::isfinite(reading.secondDegrees * kArcsecondsPerDegree))
                    fuzz::fail("axis errors that are not finite");
                QString::number(reading.firstDegrees * kArcsecondsPerDegree, 'f', 2);
            }
            splitFields(QString::fromLatin1(reply), QStringLiteral("."), false);
            await(Stop);
            return;
        }
        case Stop:
            fuzz::fail("a reply delivered while none was awaited");
        case Upload:
            await(uploadAccepted(reply) ? Pass : Status);
            return;
        case Pass:
            await(passFound(reply) ? Slew : Status);
            return;
        case Slew:
            readSlewReply(reply);
            await(Status);
            return;
        }
    }

    QByteArray buffer;
    ReplyKind expected = ReplyKind::HashTerminated;
    Step step = Version;
    FirmwareVersion firmware;
    std::optional<TrackingState> trackingState;
    qint64 received = 0;  // since the connection began
    qint64 delivered = 0; // replies and their '#'
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Link link;
    for (const fuzz::Piece& piece : fuzz::cutIntoArrivals(data, size))
        link.arrive(QByteArray(reinterpret_cast<const char*>(piece.data()), int(piece.size())));
    return 0;
}
