#include "app/mainwindow.h"

void MainWindow::do_setupMount() {}
