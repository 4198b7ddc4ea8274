#include "clocks/mount_clock_check.h"

#include "mount/mount_link.h"
#include "mount/protocol.h"

#include <QPointer>
#include <QTimer>

#include <cmath>

namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588; // 1970-01-01
// A reply named in the log is cut to this many characters.
constexpr int kReplyShown = 40;
// Rounds in a row whose dates may differ: the day turns once.
constexpr int kMaxAttempts = 3;

} // namespace

struct MountClockCheck::Round {
    std::optional<QDate> dateBefore;
    std::optional<double> localSeconds;
    std::optional<double> offsetHours;
    std::optional<QDate> dateAfter;
    QByteArray dateAfterReply;
    double trueUtcAtMiddle = 0.0; // of the ":GL#" exchange
    double halfExchange = 0.0;
    bool failed = false;
    QByteArray unreadable; // the first reply that did not read
};

MountClockCheck::MountClockCheck(MountLink& link, UtcClock trueUtc, QObject* parent)
    : QObject(parent), link(link), trueUtc(std::move(trueUtc)), retry(new QTimer(this)),
      interval(new QTimer(this)) {
    interval->setSingleShot(true);
    connect(retry, &QTimer::timeout, this, &MountClockCheck::readIfDue);
    connect(interval, &QTimer::timeout, this, [this] {
        due = true;
        retry->start(timing.retryMs);
    });
    connect(&link, &MountLink::stateChanged, this, &MountClockCheck::linkStateChanged);
}

MountClockCheck::~MountClockCheck() = default;

void MountClockCheck::start() {
    started = true;
    if (link.state() == LinkState::Connected)
        linkStateChanged(LinkState::Connected);
}

void MountClockCheck::linkStateChanged(LinkState state) {
    if (!started)
        return;
    if (state == LinkState::Connected) {
        due = true;
        retry->start(timing.retryMs);
        readIfDue();
    } else if (state != LinkState::Connecting) {
        retry->stop();
        interval->stop();
        // The link drops the reads of a round it did not finish.
        if (roundQueued && state == LinkState::Failed && !abandoned) {
            // A mount that does not know the time commands lets them time out, and reading
            // again would end every connection the same way.
            abandoned = true;
            emit logEvent(tr("The connection failed while the mount's clock was read: it is not "
                             "read again, in case this mount does not answer the time commands."),
                          LogLevel::Warning);
        }
        roundQueued = false;
        attempt = 0;
    }
}

void MountClockCheck::readIfDue() {
    if (!due || abandoned || roundQueued || !link.isReady() || !link.isIdle())
        return;
    due = false;
    retry->stop();
    roundQueued = true;
    const auto round = std::make_shared<Round>();
    const char* const commands[] = {MountProtocol::kDate, MountProtocol::kLocalTime,
                                    MountProtocol::kUtcOffset, MountProtocol::kDate};
    for (int step = 0; step < 4; ++step)
        link.queueRead(commands[step], [self = QPointer<MountClockCheck>(this), round,
                                        step](const QByteArray& reply) {
            if (self)
                self->received(round, step, reply);
        });
}

void MountClockCheck::received(const std::shared_ptr<Round>& round, int step,
                               const QByteArray& reply) {
    bool read = false;
    switch (step) {
    case 0:
        round->dateBefore = MountProtocol::readDate(reply);
        read = round->dateBefore.has_value();
        break;
    case 1: {
        // The mount read its clock somewhere between the command's writing and its reply.
        const double exchange = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                              link.awaitedCommandWrittenAt())
                                    .count();
        round->trueUtcAtMiddle = trueUtc() - exchange / 2.0;
        round->halfExchange = exchange / 2.0;
        round->localSeconds = MountProtocol::readLocalTime(reply);
        read = round->localSeconds.has_value();
        break;
    }
    case 2:
        round->offsetHours = MountProtocol::readUtcOffset(reply);
        read = round->offsetHours.has_value();
        break;
    default:
        round->dateAfter = MountProtocol::readDate(reply);
        round->dateAfterReply = reply;
        read = round->dateAfter.has_value();
        break;
    }
    if (!read && !round->failed) {
        round->failed = true;
        round->unreadable = reply;
    }
    if (step == 3) {
        roundQueued = false;
        conclude(*round);
    }
}

double MountClockCheck::mountUtc(const QDate& date, double localSeconds, double offsetHours) {
    // ":GG#" is what local time needs to become UTC.
    return double(date.toJulianDay() - kUnixEpochJulianDay) * 86400.0 + localSeconds +
           offsetHours * 3600.0;
}

void MountClockCheck::conclude(const Round& round) {
    const auto unreadable = [this](const QByteArray& reply) {
        emit logEvent(
            tr("Unreadable time from mount: '%1'.").arg(MountProtocol::excerpt(reply, kReplyShown)),
            LogLevel::Warning);
    };
    const auto nextRound = [this] {
        attempt = 0;
        due = false;
        retry->stop();
        if (link.state() == LinkState::Connected)
            interval->start(timing.intervalMs);
    };
    if (round.failed) {
        unreadable(round.unreadable);
        nextRound();
        return;
    }
    if (*round.dateBefore != *round.dateAfter) {
        // The day turned between the reads: the date may not belong to the time.
        if (++attempt < kMaxAttempts) {
            due = true;
            retry->start(timing.retryMs);
            return;
        }
        unreadable(round.dateAfterReply);
        nextRound();
        return;
    }
    nextRound();
    measured = mountUtc(*round.dateBefore, *round.localSeconds, *round.offsetHours) -
               round.trueUtcAtMiddle;
    halfExchange = round.halfExchange;
    emit mountClockMeasured(*measured);
    if (std::fabs(*measured) <= warningSeconds)
        return;
    const QString seconds = QString::number(std::fabs(*measured), 'f', 2);
    emit logEvent(*measured < 0.0 ? tr("The mount's clock is %1 s behind UTC: it will trail the "
                                       "satellite by that much.")
                                        .arg(seconds)
                                  : tr("The mount's clock is %1 s ahead of UTC: it will lead the "
                                       "satellite by that much.")
                                        .arg(seconds),
                  LogLevel::Warning);
}
