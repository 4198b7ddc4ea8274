// The transit chain: a double-click uploads the satellite's element set, then the mount is
// asked for the pass and the slew; each step's reply decides whether the next is queued.
#include "app/mainwindow.h"

#include "app/log_model.h"
#include "catalogue/live_rows.h"
#include "catalogue/tle_satellite_model.h"
#include "tracking/upload_text.h"

void MainWindow::on_tableView_doubleClicked(QModelIndex index) {
    if (!index.isValid())
        return;
    // Read through the proxy: the index is the view's, and the proxy maps it to the source row.
    const QString nameLine = index.data(TLE_Satellite_Model::NameLineRole).toString();
    const QString line1 = index.data(TLE_Satellite_Model::Line1Role).toString();
    const QString line2 = index.data(TLE_Satellite_Model::Line2Role).toString();
    const QString name = index.sibling(index.row(), TLE_Satellite_Model::Name).data().toString();
    logModel->addEntry(tr("Selected ") + name + QLatin1Char('.'), LogLevel::Info);
    queueCommand(uploadCommand(nameLine, line1, line2), ReplyKind::HashTerminated,
                 &MainWindow::entered_TLE);
}

void MainWindow::entered_TLE(QByteArray value) {
    if (!value.startsWith('V')) {
        logModel->addEntry(tr("TLE has invalid format."), LogLevel::Error);
        return;
    }
    // The instant of the latest tick, not that of the double-click.
    queueCommand(passCommand(currentJd), ReplyKind::HashTerminated, &MainWindow::computed_TLE);
}

void MainWindow::computed_TLE(QByteArray value) {
    // Only these exact replies mean no pass; anything longer is pass data.
    if (value == "E" || value == "N") {
        logModel->addEntry(tr("TLE has no passes now."), LogLevel::Warning);
        return;
    }
    queueCommand(QByteArrayLiteral(":TLES#"), ReplyKind::HashTerminated, &MainWindow::slewing_TLE);
}

void MainWindow::slewing_TLE(QByteArray value) {
    switch (value.isEmpty() ? '\0' : value[0]) {
    case 'E':
        logModel->addEntry(tr("TLE has no passes now."), LogLevel::Warning);
        break;
    case 'F':
        logModel->addEntry(tr("Slew failed, mount is parked or blocked."), LogLevel::Warning);
        break;
    case 'Q':
        logModel->addEntry(tr("Transit already ended."), LogLevel::Warning);
        break;
    case 'S':
        logModel->addEntry(tr("Slewing to transiting TLE."), LogLevel::Success);
        break;
    case 'V':
        logModel->addEntry(tr("Slewing to start of transit."), LogLevel::Success);
        break;
    default:
        break;
    }
}
