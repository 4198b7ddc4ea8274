#include "app/mainwindow.h"

void MainWindow::got_version_number(QByteArray) {}

void MainWindow::got_latitude(QByteArray) {}

void MainWindow::got_longitude(QByteArray) {}

void MainWindow::got_elevation(QByteArray) {}
