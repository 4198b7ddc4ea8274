// Stop, Park and Unpark: commands the mount does not answer, so each completes once written.
#include "app/mainwindow.h"

void MainWindow::on_pushButton_Stop_clicked() {
    queueCommand(QByteArrayLiteral(":STOP#"), ReplyKind::None, &MainWindow::done_stoprequest);
}

void MainWindow::done_stoprequest(QByteArray) {}

void MainWindow::on_pushButton_Park_clicked() {
    queueCommand(QByteArrayLiteral(":KA#"), ReplyKind::None, &MainWindow::done_parkrequest);
}

void MainWindow::done_parkrequest(QByteArray) {}

void MainWindow::on_pushButton_Unpark_clicked() {
    queueCommand(QByteArrayLiteral(":PO#"), ReplyKind::None, &MainWindow::done_unparkrequest);
}

void MainWindow::done_unparkrequest(QByteArray) {}
