#include "app/mainwindow.h"

void MainWindow::do_loadTLE() {}

void MainWindow::on_lineEdit_editingFinished() {}

void MainWindow::on_lineEdit_textEdited(QString) {}

void MainWindow::sortByColumn(int, Qt::SortOrder) {}
