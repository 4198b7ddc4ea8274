#include "tracking/sntp_clock_check.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>

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

// The 64-bit NTP form of a Unix time, modulo the era.
quint64 ntpTimestamp(double unixSeconds) {
    const double ntp = unixSeconds + kNtpToUnixSeconds;
    const double whole = std::floor(ntp);
    return (quint64(qint64(whole)) << 32) + quint64((ntp - whole) * kFractionScale);
}

// b - a in seconds; right across an era's end as long as they lie within 68 years.
double secondsBetween(quint64 a, quint64 b) {
    return double(qint64(b - a)) / kFractionScale;
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
        if (!awaiting || datagram.senderPort() != port ||
            !datagram.senderAddress().isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
            continue;
        const Reading reading = readReply(p, nonce, sentAt, arrivedAt);
        if (reading.outcome == Reading::Ignored)
            continue;
        if (reading.outcome == Reading::KissOfDeath) {
            silenced = true;
            emit logEvent(tr("The time server %1 asked not to be asked again (%2): this "
                             "computer's clock is not checked until the next start.")
                              .arg(host, QString::fromLatin1(reading.code)),
                          LogLevel::Warning);
            finish(-1);
            return;
        }
        measured = reading.offset;
        halfDelay = reading.halfDelay;
        failureLogged = false;
        emit offsetMeasured(*measured);
        if (std::fabs(*measured) > warningSeconds)
            emit logEvent(tr("This computer's clock is off by %1 s: every position is off by "
                             "that much time.")
                              .arg(QString::asprintf("%+.3f", *measured)),
                          LogLevel::Warning);
        finish(timing.intervalMs);
        return;
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
    // The server's offset from this clock is ((T2 - T1) + (T3 - T4)) / 2; this clock's
    // from the server's is its negative.
    const quint64 t1 = ntpTimestamp(sentAt);
    const double serverAhead =
        (secondsBetween(t1, received) + secondsBetween(t1, transmitted) - (arrivedAt - sentAt)) /
        2.0;
    reading.outcome = Reading::Time;
    reading.offset = -serverAhead;
    reading.halfDelay =
        std::max(0.0, (arrivedAt - sentAt) - secondsBetween(received, transmitted)) / 2;
    return reading;
}

void SntpClockCheck::giveUp() {
    if (!awaiting)
        return;
    if (!failureLogged)
        emit logEvent(tr("The time server %1 did not answer within %2 s: this computer's clock "
                         "is checked again in %3 min.")
                          .arg(host)
                          .arg(timing.replyLimitMs / 1000.0)
                          .arg(timing.afterFailureMs / 60000.0),
                      LogLevel::Info);
    failureLogged = true;
    finish(timing.afterFailureMs);
}

QString SntpClockCheck::refused() const {
    return tr("the query to port %1 was refused").arg(port);
}

void SntpClockCheck::unreachable(const QString& reason) {
    if (!awaiting)
        return;
    if (!failureLogged)
        emit logEvent(tr("The time server %1 could not be reached (%2): this computer's clock is "
                         "checked again in %3 min.")
                          .arg(host, reason)
                          .arg(timing.afterFailureMs / 60000.0),
                      LogLevel::Info);
    failureLogged = true;
    finish(timing.afterFailureMs);
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
