// The handshake that opens every connection: firmware version and its gate, then the site.
#include "app/mainwindow.h"

#include "app/log_model.h"
#include "astro/site.h"
#include "mount/reply_fields.h"

static constexpr double radiansPerDegree = 0.017453292519943295;
static constexpr double degreesPerRadian = 57.29577951308232;

void MainWindow::got_version_number(QByteArray value) {
    disconnectResponseReceivers();
    logModel->addEntry(tr("Mount firmware version: ") + QString::fromLatin1(value), LogLevel::Info);
    firmwareVersion = FirmwareVersion::fromReply(value);
    if (firmwareVersion < satelliteTrackingFirmware) {
        logModel->addEntry(tr("This firmware doesn't support satellite tracking commands. "
                              "Upgrade at least to 2.15.1."),
                           LogLevel::Error);
        closeLink();
        return;
    }
    if (firmwareVersion < axisErrorReadoutFirmware)
        logModel->addEntry(tr("This firmware doesn't support real-time tracking error readout. "
                              "To enable it upgrade at least to 2.15.14."),
                           LogLevel::Warning);
    sendDirect(QByteArrayLiteral(":Gt#"), SLOT(got_latitude(QByteArray)));
}

void MainWindow::got_latitude(QByteArray value) {
    observingSite.latitude = parseSexagesimal(value).value * radiansPerDegree;
    disconnectResponseReceivers();
    sendDirect(QByteArrayLiteral(":Gg#"), SLOT(got_longitude(QByteArray)));
}

// The mount counts longitude positive toward the west, as the site record does.
void MainWindow::got_longitude(QByteArray value) {
    observingSite.longitude = parseSexagesimal(value).value * radiansPerDegree;
    disconnectResponseReceivers();
    sendDirect(QByteArrayLiteral(":Gev#"), SLOT(got_elevation(QByteArray)));
}

void MainWindow::got_elevation(QByteArray value) {
    observingSite.elevation = parseSexagesimal(value).value;
    disconnectResponseReceivers();
    logModel->addEntry(tr("Received site information: lat = %1 deg, lon = %2 deg, elev = %3 m")
                           .arg(QString::number(observingSite.latitude * degreesPerRadian, 'f', 2),
                                QString::number(observingSite.longitude * degreesPerRadian, 'f', 2),
                                QString::asprintf("%g", observingSite.elevation)),
                       LogLevel::Info);
    mountReady = true;
    if (!pendingRequests.isEmpty())
        dispatchHead();
}
