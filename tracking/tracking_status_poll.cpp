#include "tracking/tracking_status_poll.h"

#include "mount/mount_link.h"
#include "tracking/tracking_status.h"

#include <QCoreApplication>
#include <QPointer>

TrackingStatusPoll::TrackingStatusPoll(MountLink& link, QObject* parent)
    : QObject(parent), link(link) {}

void TrackingStatusPoll::poll() {
    if (!link.isIdle() || !link.isReady())
        return;
    link.queueCommand(QByteArrayLiteral(":TLESCK#"), ReplyKind::HashTerminated,
                      [self = QPointer<TrackingStatusPoll>(this)](const QByteArray& reply) {
                          if (self)
                              self->stateReceived(reply);
                      });
}

void TrackingStatusPoll::stateReceived(const QByteArray& reply) {
    if (const std::optional<QString> state = trackingStatusFromReply(reply))
        stateText = *state;
    if (link.firmware().isAtLeast(axisErrorReadoutFirmware)) {
        // The line changes once the errors are in.
        link.queueCommand(QByteArrayLiteral(":GaE#"), ReplyKind::HashTerminated,
                          [self = QPointer<TrackingStatusPoll>(this)](const QByteArray& reply) {
                              if (self)
                                  self->errorsReceived(reply);
                          });
        return;
    }
    emit statusLine(stateText);
}

void TrackingStatusPoll::errorsReceived(const QByteArray& reply) {
    const AxisErrorReading reading = readAxisErrors(reply);
    switch (reading.outcome) {
    case AxisErrorReading::TooFewFields:
        emit logEvent(QCoreApplication::translate("MainWindow", "Couldn't get axis tracking errors."), LogLevel::Error);
        break;
    case AxisErrorReading::NotNumbers:
        emit statusLine(stateText);
        break;
    case AxisErrorReading::Numbers:
        emit statusLine(
            statusLineWithErrors(stateText, reading.firstDegrees, reading.secondDegrees));
        break;
    }
}
