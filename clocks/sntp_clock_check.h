#pragma once

#include "clocks/utc_clock.h"
#include "mount/metatypes.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <optional>

class QHostInfo;
class QTimer;
class QUdpSocket;

// How far this computer's clock is off, asked of a time server by SNTP (RFC 4330) at start and
// every hour. A satellite in a low orbit moves about a degree a second, so a clock a second off
// puts it out of the field of view.
//
// Only a reply that answers the query sent is taken: from the server's address and port, at
// least 48 bytes, mode 4 (server), version 3 or 4, the originate time equal to the random
// transmit time sent, a nonzero transmit time, a synchronised clock (leap indicator not 3,
// stratum 1 to 15). A kiss-o'-death (stratum 0) with RATE, DENY or RSTR stops the automatic
// queries for the rest of the session, as the server asks. A server that cannot be reached (the
// name does not resolve, no route, the port refuses) is said at once; one that stays silent,
// after the limit (5 s, the name's look-up included). Either way one Info line is logged until
// an answer comes again, and the server is not asked again for 10 minutes.
//
// The server's times are read in the NTP era (136 years; the second began 2036-02-07) that puts
// them nearest this computer's clock. A reply that claims to have been sent before the query
// arrived, or whose round trip comes out negative, is refused like silence. An offset above
// confirmSeconds is used only when a second query, made at once, agrees within warningSeconds: a
// computer without a real-time clock may truly be years off, and is then warned of.
class SntpClockCheck : public QObject {
    Q_OBJECT

public:
    static constexpr quint16 defaultPort = 123;
    struct Timing {
        int replyLimitMs = 5000;
        int intervalMs = 60 * 60 * 1000;
        int afterFailureMs = 10 * 60 * 1000;
        int confirmMs = 2000; // before the query that confirms a large offset
    };
    // Above this the log warns: a tenth of a second is about the field of a small telescope
    // along a low orbit.
    static constexpr double warningSeconds = 0.1;
    // Above this an offset waits for a second query that agrees.
    static constexpr double confirmSeconds = 1.0;

    explicit SntpClockCheck(UtcClock clock = systemUtcSeconds, QObject* parent = nullptr);
    ~SntpClockCheck() override;

    // Tests shorten it.
    void setTiming(const Timing& timing) { this->timing = timing; }
    // Asks the server now and from then on by the timing. server: a name or address, with
    // ":port" (an IPv6 address then in brackets) for another port than 123; empty: no checks.
    void start(const QString& server);

    // How far this computer's clock is ahead of the server's, in seconds (negative: behind);
    // empty until a server has answered.
    std::optional<double> offset() const { return measured; }
    // How far the offset may be wrong: half the round trip of the query that measured it, less
    // the server's own time (the replies may take unequal times either way).
    std::optional<double> uncertainty() const { return halfDelay; }
    // This computer's clock corrected by the offset, as far as it is known.
    double trueUtc() const { return clock() - measured.value_or(0.0); }

    // What one datagram from the server's address says, read without a socket.
    struct Reading {
        enum Outcome {
            Ignored,            // not an answer to the query, or not one to take
            KissOfDeath,        // stop asking: code holds RATE, DENY or RSTR
            SentBeforeReceived, // a transmit time before the receive time: not to be believed
            NegativeDelay,      // the server's time exceeds the round trip: not to be believed
            Time,
        };
        Outcome outcome = Ignored;
        QByteArray code;
        double offset = 0.0;    // as offset()
        double halfDelay = 0.0; // as uncertainty()
    };
    // nonce: the transmit time sent; sentAt, arrivedAt: this computer's clock when the query
    // left and the datagram came.
    static Reading readReply(const QByteArray& datagram, quint64 nonce, double sentAt,
                             double arrivedAt);

signals:
    void offsetMeasured(double seconds);
    void logEvent(const QString& text, LogLevel level);

private:
    void ask();
    void lookedUp(const QHostInfo& info);
    void send();
    void readReplies();
    void giveUp();
    void unreachable(const QString& reason);
    void measure(double offset, double delay);
    void failed(const QString& text);
    QString refused() const;
    void finish(int nextQueryMs);

    UtcClock clock;
    Timing timing;
    QString host;
    quint16 port = defaultPort;
    QHostAddress address;
    QUdpSocket* socket = nullptr; // a new one, on a new port, for every query
    QTimer* limit;
    QTimer* next;
    int lookupId = -1;
    quint64 nonce = 0;   // the transmit time sent, which the reply must carry back
    double sentAt = 0.0; // this computer's clock then
    bool awaiting = false;
    bool silenced = false;      // a kiss-o'-death asked us to stop
    bool failureLogged = false; // since the last answer
    std::optional<double> measured;
    std::optional<double> halfDelay;
    std::optional<double> unconfirmed; // a large offset, until a second query agrees
};
