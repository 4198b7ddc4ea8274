#include "clocks/sntp_clock_check.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kPacketBytes = 48;
// From 1900, the NTP era, to 1970.
constexpr double kNtpToUnixSeconds = 2208988800.0;
constexpr double kFractionScale = 4294967296.0; // 2^32

quint64 readTimestamp(const QByteArray& packet, int at) {
    quint64 value = 0;
    for (int i = at; i < at + 8; ++i)
        value = (value << 8) | quint8(packet[i]);
    return value;
}

// A Unix time as a 64-bit NTP timestamp, modulo the era (the first ends 2036-02-07T06:28:16Z).
quint64 ntpTimestamp(double unixTime) {
    const double whole = std::floor(unixTime);
    const auto seconds = quint64(qint64(whole) + qint64(kNtpToUnixSeconds)) & 0xffffffffu;
    return (seconds << 32) + quint64(std::llround((unixTime - whole) * kFractionScale));
}

// Seconds from `from` to `to`, two NTP timestamps, taken in the eras that put them nearest
// each other. Done in ticks: as Unix times in doubles, near 2106 each would carry half a
// microsecond of rounding, more than a short delay on a local network.
double secondsBetween(quint64 from, quint64 to) {
    return double(qint64(to - from)) / kFractionScale;
}

} // namespace

SntpClockCheck::SntpClockCheck(UtcClock clock, QObject* parent)
    : QObject(parent), clock(std::move(clock)), limit(new QTimer(this)), next(new QTimer(this)) {
    limit->setSingleShot(true);
    next->setSingleShot(true);
    connect(limit, &QTimer::timeout, this, &SntpClockCheck::giveUp);
    connect(next, &QTimer::timeout, this, &SntpClockCheck::ask);
}

SntpClockCheck::~SntpClockCheck() {
    if (lookupId >= 0)
        QHostInfo::abortHostLookup(lookupId);
}

void SntpClockCheck::start(const QString& server) {
    host = server.trimmed();
    port = defaultPort;
    // "name:port", "[v6]:port"; a bare IPv6 address has more than one colon.
    const int colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && (host.startsWith(QLatin1Char('[')) || host.count(QLatin1Char(':')) == 1)) {
        bool ok = false;
        const uint given = host.mid(colon + 1).toUInt(&ok);
        if (ok && given > 0 && given <= 65535 && host.at(colon - 1) != QLatin1Char(':')) {
            port = quint16(given);
            host.truncate(colon);
        }
    }
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (!host.isEmpty())
        ask();
}

void SntpClockCheck::ask() {
    if (silenced || awaiting || host.isEmpty())
        return;
    awaiting = true;
    limit->start(timing.replyLimitMs);
    // An address needs no look-up (Qt's would look up its name, and may wait on it).
    if (QHostAddress literal; literal.setAddress(host)) {
        QHostInfo info;
        info.setAddresses({literal});
        lookedUp(info);
        return;
    }
    lookupId = QHostInfo::lookupHost(host, this, &SntpClockCheck::lookedUp);
}

void SntpClockCheck::lookedUp(const QHostInfo& info) {
    lookupId = -1;
    if (!awaiting)
        return;
    if (info.addresses().isEmpty()) {
        unreachable(info.error() != QHostInfo::NoError ? info.errorString()
                                                       : tr("the name has no address"));
        return;
    }
    // IPv4 where the name has it: it reaches a server from more networks.
    address = info.addresses().first();
    for (const QHostAddress& candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
            address = candidate;
            break;
        }
    }
    // Connected, so that the system reports an ICMP refusal to this socket instead of leaving
    // it to wait out the limit.
    socket = new QUdpSocket(this);
    connect(socket, &QUdpSocket::readyRead, this, &SntpClockCheck::readReplies);
    connect(socket, &QUdpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::ConnectionRefusedError)
            unreachable(refused());
        else if (error != QAbstractSocket::TemporaryError)
            unreachable(socket->errorString());
    });
    connect(socket, &QUdpSocket::connected, this, &SntpClockCheck::send);
    socket->connectToHost(address, port);
}

void SntpClockCheck::send() {
    // Version 4, mode 3 (client); the transmit time is a random nonce, so that only the server
    // that got the query can answer it. The true time of sending is kept here.
    QByteArray query(kPacketBytes, '\0');
    query[0] = char((4 << 3) | 3);
    nonce = QRandomGenerator::global()->generate64() | 1;
    for (int i = 0; i < 8; ++i)
        query[40 + i] = char(nonce >> (56 - 8 * i));
    sentAt = clock();
    if (socket->write(query) != kPacketBytes && awaiting)
        unreachable(socket->errorString());
}

void SntpClockCheck::readReplies() {
    // A connected socket that is readable without a datagram holds an error: Qt's look for a
    // datagram took it (ICMP port or host unreachable) without saying which.
    if (socket && awaiting && !socket->hasPendingDatagrams()) {
        unreachable(refused());
        return;
    }
    while (socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram(1024);
        const double arrivedAt = clock();
        const QByteArray p = datagram.data();
        if (!awaiting || p.size() < kPacketBytes || datagram.senderPort() != port ||
            !datagram.senderAddress().isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
            continue;
        const Reading reading = readReply(p, nonce, sentAt, arrivedAt);
        switch (reading.outcome) {
        case Reading::Ignored:
            continue;
        case Reading::KissOfDeath:
            silenced = true;
            emit logEvent(tr("The time server %1 asked not to be asked again (%2): this "
                             "computer's clock is not checked until the next start.")
                              .arg(host, QString::fromLatin1(reading.code)),
                          LogLevel::Warning);
            finish(-1);
            return;
        case Reading::SentBeforeReceived:
            failed(tr("The time server %1 says it sent its reply before it received the query: "
                      "the reply is not used, and this computer's clock is checked again in %2 "
                      "min.")
                       .arg(host)
                       .arg(timing.afterFailureMs / 60000.0));
            return;
        case Reading::NegativeDelay:
            failed(tr("The time server %1 took longer to answer than the query and reply took "
                      "together: the reply is not used, and this computer's clock is checked "
                      "again in %2 min.")
                       .arg(host)
                       .arg(timing.afterFailureMs / 60000.0));
            return;
        case Reading::Time:
            measure(reading.offset, 2.0 * reading.halfDelay);
            return;
        }
    }
}

SntpClockCheck::Reading SntpClockCheck::readReply(const QByteArray& p, quint64 nonce, double sentAt,
                                                  double arrivedAt) {
    Reading reading;
    if (p.size() < kPacketBytes)
        return reading;
    const int leap = quint8(p[0]) >> 6;
    const int version = (quint8(p[0]) >> 3) & 7;
    const int mode = quint8(p[0]) & 7;
    const int stratum = quint8(p[1]);
    const quint64 received = readTimestamp(p, 32);
    const quint64 transmitted = readTimestamp(p, 40);
    if (mode != 4 || version < 3 || version > 4 || readTimestamp(p, 24) != nonce)
        return reading;
    if (stratum == 0) {
        const QByteArray code = p.mid(12, 4);
        if (code == "RATE" || code == "DENY" || code == "RSTR") {
            reading.outcome = Reading::KissOfDeath;
            reading.code = code;
        }
        return reading;
    }
    if (leap == 3 || stratum > 15 || transmitted == 0 || received == 0)
        return reading;
    // This clock's times come from the caller; ones no clock gives are not compared.
    if (!(std::fabs(sentAt) < 1e12) || !(std::fabs(arrivedAt) < 1e12))
        return reading;
    // The server's offset from this clock is ((T2 - T1) + (T3 - T4)) / 2; this clock's
    // from the server's is its negative. The round trip less the server's time is the delay.
    const double held = secondsBetween(received, transmitted);
    if (held < 0.0) {
        reading.outcome = Reading::SentBeforeReceived;
        return reading;
    }
    const double roundTrip = arrivedAt - sentAt;
    const double delay = roundTrip - held;
    // The times read here carry about 0.2 us: a delay within a microsecond of 0 is a short one.
    if (!(delay >= -1e-6)) {
        reading.outcome = Reading::NegativeDelay;
        return reading;
    }
    // (T2 - T1) + (T3 - T4), with T3 - T4 as (T2 - T1) + held - roundTrip.
    const double outward = secondsBetween(ntpTimestamp(sentAt), received);
    reading.outcome = Reading::Time;
    reading.offset = -(2.0 * outward + held - roundTrip) / 2.0;
    reading.halfDelay = std::max(0.0, delay) / 2.0;
    return reading;
}

void SntpClockCheck::measure(double offset, double delay) {
    failureLogged = false;
    const QString shown = QString::asprintf("%+.3f", offset);
    if (std::fabs(offset) > confirmSeconds) {
        const std::optional<double> earlier = std::exchange(unconfirmed, std::nullopt);
        if (!earlier) {
            unconfirmed = offset;
            emit logEvent(tr("The time server %1 says this computer's clock is off by %2 s; "
                             "asking again to confirm.")
                              .arg(host, shown),
                          LogLevel::Info);
            finish(timing.confirmMs);
            return;
        }
        if (std::fabs(offset - *earlier) > warningSeconds) {
            failed(tr("The time server %1 said this computer's clock is off by %2 s, then %3 s: "
                      "neither is used, and the clock is checked again in %4 min.")
                       .arg(host, QString::asprintf("%+.3f", *earlier), shown)
                       .arg(timing.afterFailureMs / 60000.0));
            return;
        }
    }
    unconfirmed.reset();
    measured = offset;
    halfDelay = delay / 2.0;
    emit offsetMeasured(offset);
    if (std::fabs(offset) > warningSeconds)
        emit logEvent(tr("This computer's clock is off by %1 s: every position is off by "
                         "that much time.")
                          .arg(shown),
                      LogLevel::Warning);
    finish(timing.intervalMs);
}

// Logged once until an answer comes again; a large offset waiting for its confirmation is
// dropped.
void SntpClockCheck::failed(const QString& text) {
    if (!failureLogged)
        emit logEvent(text, LogLevel::Info);
    failureLogged = true;
    unconfirmed.reset();
    finish(timing.afterFailureMs);
}

void SntpClockCheck::giveUp() {
    if (awaiting)
        failed(tr("The time server %1 did not answer within %2 s: this computer's clock is "
                  "checked again in %3 min.")
                   .arg(host)
                   .arg(timing.replyLimitMs / 1000.0)
                   .arg(timing.afterFailureMs / 60000.0));
}

QString SntpClockCheck::refused() const {
    return tr("the query to port %1 was refused").arg(port);
}

void SntpClockCheck::unreachable(const QString& reason) {
    if (awaiting)
        failed(tr("The time server %1 could not be reached (%2): this computer's clock is "
                  "checked again in %3 min.")
                   .arg(host, reason)
                   .arg(timing.afterFailureMs / 60000.0));
}

// nextQueryMs: negative for none.
void SntpClockCheck::finish(int nextQueryMs) {
    awaiting = false;
    limit->stop();
    if (lookupId >= 0)
        QHostInfo::abortHostLookup(lookupId);
    lookupId = -1;
    if (socket) {
        socket->disconnect(this);
        socket->deleteLater();
    }
    socket = nullptr;
    if (nextQueryMs >= 0)
        next->start(nextQueryMs);
}
