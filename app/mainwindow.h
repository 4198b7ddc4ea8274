#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMainWindow>
#include <QModelIndex>
#include <QQueue>
#include <QString>

#include <memory>

#include "mount/firmware_version.h"
#include "mount/link_types.h"

class QTimer;
class Log_Model;
class TLE_Satellite_Model;
class MySortFilterProxyModel;
class MountSettings;
class QTcpSocket;

namespace Ui {
class MainWindow;
}

// The one window and the hub of the program: every user action, every tick and every mount
// reply arrives here as a slot. The slots are defined next to the subsystem they belong to
// (the link in mount/, the transit chain in tracking/, the table slots in catalogue/).
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr quint16 defaultMountPort = 3490;

    // mountPort exists so that tests can run beside a real or simulated mount on 3490.
    explicit MainWindow(QWidget* parent = nullptr, quint16 mountPort = defaultMountPort);
    ~MainWindow() override;

signals:
    void mount_response(QByteArray response);

private slots:
    void do_loadTLE();
    void invalidateComputation();
    void on_lineEdit_editingFinished();
    void on_lineEdit_textEdited(QString);
    void sortByColumn(int logicalIndex, Qt::SortOrder order);
    void do_setupMount();
    void on_checkBox_clicked();
    void mount_disconnect();
    void mount_error(QAbstractSocket::SocketError e);
    void mount_connected();
    void mount_read();
    void mount_destroyed();
    void mount_statechanged();
    void got_version_number(QByteArray value);
    void got_latitude(QByteArray value);
    void got_longitude(QByteArray value);
    void got_elevation(QByteArray value);
    void on_tableView_doubleClicked(QModelIndex index);
    void entered_TLE(QByteArray value);
    void computed_TLE(QByteArray value);
    void slewing_TLE(QByteArray value);
    void got_tle_tracking_status(QByteArray value);
    void got_axis_errors(QByteArray value);
    void got_transaction_result(QByteArray value);
    void on_pushButton_Stop_clicked();
    void done_stoprequest(QByteArray value);
    void on_pushButton_Park_clicked();
    void done_parkrequest(QByteArray value);
    void on_pushButton_Unpark_clicked();
    void done_unparkrequest(QByteArray value);

private:
    void showUtcClock();

    // --- satellite table (catalogue/mainwindow_table_slots.cpp) ---
    void reloadCatalogue();
    void setupSatelliteTable();
    void setupSatelliteTableHeaders();

    // --- mount link (mount/mainwindow_*.cpp, app/mainwindow_setup.cpp) ---
    friend class TestMountLink;
    void queueCommand(const QByteArray& command, ReplyKind replyKind, ResponseHandler handler);
    void dispatchHead();
    void sendDirect(const QByteArray& command, const char* receiver);
    void disconnectResponseReceivers();
    void startLink();
    void endLinkOnRequest();
    void closeLink();
    void failLink();
    void releaseSocket();
    void shutDownLinkForExit();

    LinkState linkState = LinkState::Disconnected;
    QTcpSocket* socket = nullptr; // no parent; released with deleteLater() and forgotten at once
    QByteArray receiveBuffer;
    ReplyKind expectedReply = ReplyKind::None;
    bool mountReady = false;
    QQueue<PendingRequest> pendingRequests;
    FirmwareVersion firmwareVersion;
    bool dispatching = false;     // dispatchHead is on the stack
    bool dispatchPending = false; // ... and a completed transaction asked for the next head
    std::unique_ptr<MountSettings> mountSettings;

    // --- tracking (tracking/mainwindow_*.cpp) ---
    void pollTrackingStatus();
    QString trackingStatusText; // the last known tracking state; the errors are added when shown

    Ui::MainWindow* ui;
    QTimer* refreshTimer = nullptr;
    // The models outlive the views' use of them; owned here so that nothing leaks when a
    // window is destroyed.
    std::unique_ptr<TLE_Satellite_Model> satelliteModel;
    std::unique_ptr<MySortFilterProxyModel> proxy;
    std::unique_ptr<Log_Model> logModel;
    const quint16 mountPort;
};
