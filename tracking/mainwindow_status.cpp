// The tracking-status poll: the mount's tracking state and, on firmware that reports them,
// its axis tracking errors, shown in the status line.
#include "app/mainwindow.h"

#include "app/log_model.h"
#include "app/mainwindow_form.h"
#include "tracking/tracking_status.h"

#include <QLineEdit>

// Only into an idle queue, so a poll never comes between the steps of a transit chain, and at
// most one per tick.
void MainWindow::pollTrackingStatus() {
    if (pendingRequests.isEmpty() && mountReady)
        queueCommand(QByteArrayLiteral(":TLESCK#"), ReplyKind::HashTerminated,
                     &MainWindow::got_tle_tracking_status);
}

void MainWindow::got_tle_tracking_status(QByteArray value) {
    if (const std::optional<QString> state = trackingStatusFromReply(value))
        trackingStatusText = *state;
    if (firmwareVersion.isAtLeast(axisErrorReadoutFirmware)) {
        // The line changes once the errors are in.
        queueCommand(QByteArrayLiteral(":GaE#"), ReplyKind::HashTerminated,
                     &MainWindow::got_axis_errors);
        return;
    }
    ui->lineEditStatus->setText(trackingStatusText);
}

void MainWindow::got_axis_errors(QByteArray value) {
    const AxisErrorReading reading = readAxisErrors(value);
    switch (reading.outcome) {
    case AxisErrorReading::TooFewFields:
        logModel->addEntry(tr("Couldn't get axis tracking errors."), LogLevel::Error);
        break;
    case AxisErrorReading::NotNumbers:
        ui->lineEditStatus->setText(trackingStatusText);
        break;
    case AxisErrorReading::Numbers:
        ui->lineEditStatus->setText(
            statusLineWithErrors(trackingStatusText, reading.firstDegrees, reading.secondDegrees));
        break;
    }
}
