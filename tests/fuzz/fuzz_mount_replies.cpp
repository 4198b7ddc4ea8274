// Arbitrary bytes from the mount, arriving in arbitrary pieces (see fuzz_input.h), through the
// link's side of the protocol: the reply cutting with its receive bound, the handshake's
// version gate and site readers, and then the transactions of a running link (status poll,
// axis errors, a reply-less motion command, the upload chain's reply checks).
//
// The window's slots read from a live socket, so this drives the pieces they are made of in
// the order the slots use them; the slots add only the log lines and the queue.

#include "mount/firmware_version.h"
#include "mount/reply_cutter.h"
#include "mount/reply_fields.h"
#include "tests/fuzz/fuzz_input.h"
#include "tracking/tracking_status.h"

#include <QString>

#include <cmath>

namespace {

// What the link is waiting for: the handshake's four steps, then a cycle of transactions.
enum class Step {
    Version,
    Latitude,
    Longitude,
    Elevation,
    Status,
    AxisErrors,
    Stop, // reply-less: the next arrival finds nothing awaited
    Upload,
    Pass,
    Slew,
};

class Link {
public:
    void arrive(const QByteArray& bytes) {
        received += bytes.size();
        const ReplyCut cut = cutReply(buffer, expected, bytes);
        if (buffer.size() > maxReceiveBuffer)
            fuzz::fail("receive buffer above its bound");
        switch (cut.outcome) {
        case ReplyCut::Overflow:
            if (!buffer.isEmpty())
                fuzz::fail("overflow left bytes behind");
            reconnect();
            return;
        case ReplyCut::Waiting:
            if (expected == ReplyKind::None)
                readyForNext();
            return;
        case ReplyCut::Reply:
            if (cut.reply.contains('#'))
                fuzz::fail("a reply holds a '#'");
            if (expected != ReplyKind::None)
                fuzz::fail("a reply left a reply awaited");
            delivered += cut.reply.size() + 1;
            if (delivered + buffer.size() != received)
                fuzz::fail("bytes lost or duplicated by the cutting");
            handle(cut.reply);
            return;
        }
    }

private:
    void reconnect() {
        buffer.clear();
        received = delivered = 0;
        step = Step::Version;
        expected = ReplyKind::HashTerminated;
    }

    // A reply-less command leaves nothing awaited, so what arrives next stays buffered; then the
    // next transaction (an upload) is written and its reply cut from a later arrival.
    void readyForNext() {
        if (step == Step::Stop) {
            step = Step::Upload;
            expected = ReplyKind::HashTerminated;
        }
    }

    void await(Step next) {
        step = next;
        expected = next == Step::Stop ? ReplyKind::None : ReplyKind::HashTerminated;
    }

    void handle(const QByteArray& reply) {
        if (fuzz::verbose())
            std::fprintf(stderr, "step %d: reply \"%s\"\n", int(step), reply.constData());
        switch (step) {
        case Step::Version:
            firmware = FirmwareVersion::fromReply(reply);
            if (firmware.isAtLeast(satelliteTrackingFirmware) !=
                !(firmware < satelliteTrackingFirmware))
                fuzz::fail("version comparison not a total order");
            // A refused firmware closes the link; the next connection starts again.
            if (firmware < satelliteTrackingFirmware)
                reconnect();
            else
                await(Step::Latitude);
            return;
        case Step::Latitude:
        case Step::Longitude:
        case Step::Elevation: {
            const SexagesimalValue value = parseSexagesimal(reply);
            if (!std::isfinite(value.value))
                fuzz::fail("a site value that is not finite");
            if (step == Step::Elevation)
                QString::asprintf("%g", value.value);
            else
                QString::number(value.value, 'f', 2);
            await(step == Step::Latitude    ? Step::Longitude
                  : step == Step::Longitude ? Step::Elevation
                                            : Step::Status);
            return;
        }
        case Step::Status:
            if (const std::optional<QString> state = trackingStatusFromReply(reply))
                statusText = *state;
            await(firmware.isAtLeast(axisErrorReadoutFirmware) ? Step::AxisErrors : Step::Stop);
            return;
        case Step::AxisErrors: {
            const AxisErrorReading reading = readAxisErrors(reply);
            if (reading.outcome == AxisErrorReading::Numbers) {
                if (!std::isfinite(reading.firstDegrees) || !std::isfinite(reading.secondDegrees))
                    fuzz::fail("axis errors that are not finite");
                statusLineWithErrors(statusText, reading.firstDegrees, reading.secondDegrees);
            }
            splitFields(QString::fromLatin1(reply), QStringLiteral("."), false);
            await(Step::Stop);
            return;
        }
        case Step::Stop:
            fuzz::fail("a reply delivered while none was awaited");
        case Step::Upload:
            await(reply.startsWith('V') ? Step::Pass : Step::Status);
            return;
        case Step::Pass:
            await(reply == "E" || reply == "N" ? Step::Status : Step::Slew);
            return;
        case Step::Slew:
            await(Step::Status);
            return;
        }
    }

    QByteArray buffer;
    ReplyKind expected = ReplyKind::HashTerminated;
    Step step = Step::Version;
    FirmwareVersion firmware;
    QString statusText;
    qint64 received = 0;  // since the connection began
    qint64 delivered = 0; // replies and their '#'
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Arrivals arrivals = fuzz::cutIntoArrivals(data, size);
    Link link;
    for (const std::vector<std::uint8_t>& piece : arrivals.pieces)
        link.arrive(QByteArray(reinterpret_cast<const char*>(piece.data()), int(piece.size())));
    return 0;
}
