#include "app/mainwindow.h"

void MainWindow::on_pushButton_Stop_clicked() {}

void MainWindow::done_stoprequest(QByteArray) {}

void MainWindow::on_pushButton_Park_clicked() {}

void MainWindow::done_parkrequest(QByteArray) {}

void MainWindow::on_pushButton_Unpark_clicked() {}

void MainWindow::done_unparkrequest(QByteArray) {}
