// Arbitrary bytes as a time server's reply to a query, read as the clock check reads each
// datagram, at an arbitrary time of this computer's clock (1970 to 2106, so across the NTP
// era's end in 2036) and round trip. Whatever comes back, an offset taken is finite and within
// what 64-bit timestamps can say; a reply that a true server with this computer's clock off by
// a known amount would send gives that amount back.
//
// The input: byte 0 holds flags (bit 0: make the reply such a true server's, bit 1: the query's
// nonce differs from the reply's, bit 2: this computer's clock stepped back during the query);
// bytes 1 to 4 the clock's Unix seconds and 5 and 6 its fraction, in 65536ths, when the query
// left; 7 to 10 the round trip in microseconds; 11 to 14 the true server's offset (this clock
// ahead of it) in milliseconds, signed, and 15 its own time, in milliseconds; the datagram
// follows.

#include "clocks/sntp_clock_check.h"
#include "tests/fuzz/fuzz_input.h"

#include <QByteArray>

#include <cmath>

namespace {

constexpr std::size_t kHeader = 16;
constexpr double kTicksPerSecond = 4294967296.0; // 2^32

std::uint64_t bigEndian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

void putTimestamp(QByteArray& packet, int at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        packet[at + i] = char(value >> (56 - 8 * i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader)
        return 0;
    const bool trueServer = data[0] & 1;
    const bool otherNonce = data[0] & 2;
    const bool steppedBack = data[0] & 4;
    const std::uint64_t seconds = bigEndian(data + 1, 4);
    const std::uint64_t fraction = bigEndian(data + 5, 2);
    const double sentAt = double(seconds) + double(fraction) / 65536.0;
    const double roundTrip = double(bigEndian(data + 7, 4)) * 1e-6 * (steppedBack ? -1.0 : 1.0);
    const double arrivedAt = sentAt + roundTrip;
    const double ahead = double(std::int32_t(std::uint32_t(bigEndian(data + 11, 4)))) * 1e-3;
    const double serverTime = std::min(double(data[15]) * 1e-3, std::fabs(roundTrip));

    QByteArray packet(reinterpret_cast<const char*>(data + kHeader), int(size - kHeader));
    bool zeroStamp = false; // a time of 0 means "none" to the reader: not the true server's
    if (trueServer) {
        // Version 4, server, stratum 2, the nonce carried back; the times in 2^-32 s since 1900,
        // modulo the era, as the server's clock (this one less `ahead`) read them.
        if (packet.size() < 48)
            packet.append(QByteArray(48 - packet.size(), '\0'));
        packet[0] = char((4 << 3) | 4);
        packet[1] = 2;
        const std::uint64_t sent = ((seconds + 2208988800u) << 32) + (fraction << 16);
        const auto at = [&](double later) {
            return sent + std::uint64_t(std::llround((later - ahead) * kTicksPerSecond));
        };
        const double outward = (std::fabs(roundTrip) - serverTime) / 2;
        const std::uint64_t received = at(outward);
        const std::uint64_t transmitted = at(outward + serverTime);
        zeroStamp = received == 0 || transmitted == 0;
        putTimestamp(packet, 32, received);
        putTimestamp(packet, 40, transmitted);
    }
    const std::uint64_t carried =
        packet.size() >= 32
            ? bigEndian(reinterpret_cast<const std::uint8_t*>(packet.constData() + 24), 8)
            : 0;
    const std::uint64_t nonce = otherNonce ? carried ^ 1 : carried;
    const double arrived = trueServer ? sentAt + std::fabs(roundTrip) : arrivedAt;

    const SntpClockCheck::Reading reading =
        SntpClockCheck::readReply(packet, nonce, sentAt, arrived);
    switch (reading.outcome) {
    case SntpClockCheck::Reading::Ignored:
    case SntpClockCheck::Reading::SentBeforeReceived:
    case SntpClockCheck::Reading::NegativeDelay:
        break;
    case SntpClockCheck::Reading::KissOfDeath:
        if (reading.code != "RATE" && reading.code != "DENY" && reading.code != "RSTR")
            fuzz::fail("a kiss-o'-death of another code");
        break;
    case SntpClockCheck::Reading::Time:
        // 64-bit timestamps span 136 years: an offset beyond half of that cannot be told.
        if (!std::isfinite(reading.offset) || !std::isfinite(reading.halfDelay) ||
            reading.halfDelay < 0.0 || std::fabs(reading.offset) > 2147483648.0 + 86400.0 ||
            reading.halfDelay > 2147483648.0 + 86400.0)
            fuzz::fail("an offset or delay out of bounds");
        QString::asprintf("%+.3f", reading.offset);
        break;
    }
    if (otherNonce && reading.outcome != SntpClockCheck::Reading::Ignored)
        fuzz::fail("a reply to another query taken");
    if (trueServer && !otherNonce && !zeroStamp) {
        if (reading.outcome == SntpClockCheck::Reading::Time
                ? std::fabs(reading.offset - ahead) > 1e-5 ||
                      std::fabs(reading.halfDelay - (std::fabs(roundTrip) - serverTime) / 2) > 1e-5
                : std::fabs(ahead) <= 1.0)
            fuzz::fail("a true server's reply misread");
    }
    return 0;
}
