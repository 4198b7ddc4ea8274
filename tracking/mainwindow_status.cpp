#include "app/mainwindow.h"

void MainWindow::got_tle_tracking_status(QByteArray) {}

void MainWindow::got_axis_errors(QByteArray) {}
