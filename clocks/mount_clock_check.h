#pragma once

#include "clocks/utc_clock.h"
#include "mount/link_types.h"
#include "mount/metatypes.h"

#include <QByteArray>
#include <QDate>
#include <QObject>

#include <memory>
#include <optional>

class MountLink;
class QTimer;

// How far the mount's clock is off. The mount computes the satellite's place from its own
// clock, so a mount a second behind trails the satellite by a second along its track.
//
// After every handshake and every 10 minutes while connected it reads, through the link's
// queue, the date (":GC#"), the local time (":GL#"), the UTC offset (":GG#") and the date again,
// all four queued at once into an idle queue, so that they never come between the steps of a
// transit chain or a poll. The mount's UTC is taken at the middle of the ":GL#" exchange and
// compared with the true UTC then. When the two dates differ, the day turned during the reads
// and they are made again. An unreadable reply is named in a Warning and the round is dropped;
// the link goes on. The reads are bound to their connection: one that ends drops them, and one
// that fails during them ends the reading for good, so that a mount without these commands
// stays usable.
class MountClockCheck : public QObject {
    Q_OBJECT

public:
    struct Timing {
        int intervalMs = 10 * 60 * 1000;
        int retryMs = 250; // how often a due round looks for an idle queue
    };
    // Above this the log warns, as for this computer's clock.
    static constexpr double warningSeconds = 0.1;

    // trueUtc: this computer's clock corrected by its measured offset.
    MountClockCheck(MountLink& link, UtcClock trueUtc, QObject* parent = nullptr);
    ~MountClockCheck() override;

    // Tests shorten it.
    void setTiming(const Timing& timing) { this->timing = timing; }
    // Reads after every handshake from now on, and at once when the link is ready.
    void start();

    // The mount's UTC minus true UTC in seconds, as last measured.
    std::optional<double> error() const { return measured; }
    // How far that may be wrong: half the ":GL#" exchange, as the mount may have read its clock
    // anywhere within it.
    std::optional<double> uncertainty() const { return halfExchange; }

    // The mount's UTC in seconds since 1970 from its date, local time (seconds since its
    // midnight) and UTC offset (hours to add), as mount/protocol.h reads them.
    static double mountUtc(const QDate& date, double localSeconds, double offsetHours);

signals:
    void mountClockMeasured(double secondsAhead);
    void logEvent(const QString& text, LogLevel level);

private:
    struct Round;

    void linkStateChanged(LinkState state);
    void readIfDue();
    void received(const std::shared_ptr<Round>& round, int step, const QByteArray& reply);
    void conclude(const Round& round);

    MountLink& link;
    UtcClock trueUtc;
    Timing timing;
    bool started = false;
    bool due = false;
    bool roundQueued = false;
    bool abandoned = false; // a connection failed during a round: no more reads
    int attempt = 0;        // rounds in a row whose dates differed
    QTimer* retry;
    QTimer* interval;
    std::optional<double> measured;
    std::optional<double> halfExchange;
};
