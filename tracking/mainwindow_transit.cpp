#include "app/mainwindow.h"

void MainWindow::on_tableView_doubleClicked(QModelIndex) {}

void MainWindow::entered_TLE(QByteArray) {}

void MainWindow::computed_TLE(QByteArray) {}

void MainWindow::slewing_TLE(QByteArray) {}
