#include "tracking/tracking_status_poll.h"

#include "astro/time_units.h"
#include "mount/mount_link.h"
#include "mount/protocol.h"

#include <QPointer>

#include <cmath>
#include <limits>

namespace {

constexpr double kNotRead = std::numeric_limits<double>::quiet_NaN();

} // namespace

TrackingStatusPoll::TrackingStatusPoll(MountLink& link, QObject* parent)
    : QObject(parent), link(link) {}

void TrackingStatusPoll::countDownTo(double rise, std::function<double()> now) {
    riseJd = rise;
    clock = std::move(now);
}

// Empty unless the mount waits for a rise that is still ahead.
QString TrackingStatusPoll::countdown() const {
    if (stateCode != 'P' || riseJd == 0.0 || !clock)
        return {};
    const double seconds = std::ceil((riseJd - clock()) * kSecondsPerDay);
    if (!(seconds >= 0.0 && seconds < 1e7))
        return {};
    const long whole = long(seconds);
    return tr("Waiting for transit: rises in %1:%2")
        .arg(whole / 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

void TrackingStatusPoll::poll() {
    if (!link.isIdle() || !link.isReady())
        return;
    link.queueCommand(MountProtocol::kTrackingStatus, ReplyKind::HashTerminated,
                      [self = QPointer<TrackingStatusPoll>(this)](const QByteArray& reply) {
                          if (self)
                              self->stateReceived(reply);
                      });
}

void TrackingStatusPoll::stateReceived(const QByteArray& reply) {
    using MountProtocol::TrackingState;
    struct Words {
        TrackingState state;
        const char* text;
    };
    static constexpr Words words[] = {
        {TrackingState::NotRequested, QT_TR_NOOP("No transit tracking requested")},
        {TrackingState::WaitingForTransit, QT_TR_NOOP("Waiting for transit")},
        {TrackingState::TransitEnded, QT_TR_NOOP("Transit ended")},
        {TrackingState::SlewingToSatellite, QT_TR_NOOP("Slewing to catch satellite")},
        {TrackingState::Tracking, QT_TR_NOOP("Tracking satellite")},
        {TrackingState::SlewingToStart, QT_TR_NOOP("Slewing to start of transit")},
    };
    // Any other reply tells nothing: the state shown stays.
    if (const std::optional<TrackingState> state = MountProtocol::readTrackingState(reply)) {
        for (const Words& entry : words) {
            if (entry.state == *state) {
                stateText = tr(entry.text);
                stateCode = reply.at(0);
            }
        }
    }
    if (link.firmware().isAtLeast(axisErrorReadoutFirmware)) {
        // The line changes once the errors are in.
        link.queueCommand(MountProtocol::kAxisErrors, ReplyKind::HashTerminated,
                          [self = QPointer<TrackingStatusPoll>(this)](const QByteArray& reply) {
                              if (self)
                                  self->errorsReceived(reply);
                          });
        return;
    }
    const QString counting = countdown();
    emit statusLine(counting.isEmpty() ? stateText : counting);
    finishPoll(kNotRead, kNotRead);
}

void TrackingStatusPoll::finishPoll(double firstArcsec, double secondArcsec) {
    if (stateCode != 0)
        emit readingReceived(stateCode, firstArcsec, secondArcsec);
}

void TrackingStatusPoll::errorsReceived(const QByteArray& reply) {
    using MountProtocol::AxisErrorReading;
    const AxisErrorReading reading = MountProtocol::readAxisErrors(reply);
    const QString counting = countdown();
    const double first = reading.firstDegrees * kArcsecondsPerDegree;
    const double second = reading.secondDegrees * kArcsecondsPerDegree;
    switch (reading.outcome) {
    case AxisErrorReading::TooFewFields:
        emit logEvent(tr("Couldn't get axis tracking errors."), LogLevel::Error);
        finishPoll(kNotRead, kNotRead);
        break;
    case AxisErrorReading::NotNumbers:
        emit statusLine(counting.isEmpty() ? stateText : counting);
        finishPoll(kNotRead, kNotRead);
        break;
    case AxisErrorReading::Numbers:
        // The errors in arc-seconds, each followed by '"' as the arc-second sign.
        emit statusLine(counting.isEmpty() ? tr("%1  errors: %2\", %3\"")
                                                 .arg(stateText, QString::number(first, 'f', 2),
                                                      QString::number(second, 'f', 2))
                                           : counting);
        finishPoll(first, second);
        break;
    }
}
