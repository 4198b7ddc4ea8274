#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMainWindow>
#include <QModelIndex>
#include <QString>

class QTimer;
class Log_Model;

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

    Ui::MainWindow* ui;
    QTimer* refreshTimer = nullptr;
    Log_Model* logModel = nullptr;
    const quint16 mountPort;
};
