#include "app/mainwindow.h"

void MainWindow::on_checkBox_clicked() {}

void MainWindow::mount_disconnect() {}

void MainWindow::mount_error(QAbstractSocket::SocketError) {}

void MainWindow::mount_connected() {}

void MainWindow::mount_read() {}

void MainWindow::mount_destroyed() {}

void MainWindow::mount_statechanged() {}

void MainWindow::got_transaction_result(QByteArray) {}
