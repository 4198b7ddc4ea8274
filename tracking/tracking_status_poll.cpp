#include "tracking/tracking_status_poll.h"

#include "mount/mount_link.h"
#include "mount/protocol.h"

#include <QPointer>

TrackingStatusPoll::TrackingStatusPoll(MountLink& link, QObject* parent)
    : QObject(parent), link(link) {}

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
            if (entry.state == *state)
                stateText = tr(entry.text);
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
    emit statusLine(stateText);
}

void TrackingStatusPoll::errorsReceived(const QByteArray& reply) {
    using MountProtocol::AxisErrorReading;
    const AxisErrorReading reading = MountProtocol::readAxisErrors(reply);
    switch (reading.outcome) {
    case AxisErrorReading::TooFewFields:
        emit logEvent(tr("Couldn't get axis tracking errors."), LogLevel::Error);
        break;
    case AxisErrorReading::NotNumbers:
        emit statusLine(stateText);
        break;
    case AxisErrorReading::Numbers:
        // The errors in arc-seconds, each followed by '"' as the arc-second sign.
        emit statusLine(
            tr("%1  errors: %2\", %3\"")
                .arg(stateText,
                     QString::number(reading.firstDegrees * MountProtocol::kArcSecondsPerDegree,
                                     'f', 2),
                     QString::number(reading.secondDegrees * MountProtocol::kArcSecondsPerDegree,
                                     'f', 2)));
        break;
    }
}
