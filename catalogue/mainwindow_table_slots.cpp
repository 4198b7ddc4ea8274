#include "app/mainwindow.h"

#include "app/mainwindow_form.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/live_rows.h"
#include "catalogue/sort_filter_proxy.h"
#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite_model.h"

#include <QFileDialog>
#include <QHeaderView>

void MainWindow::reloadCatalogue() {
    satelliteModel->beginResetModel();
    load_TLEs();
    currentJd = current_jd();
    recomputeLiveRows();
    satelliteModel->refreshSatelliteTable();
    satelliteModel->endResetModel();
}

void MainWindow::setupSatelliteTable() {
    proxy->setSourceModel(satelliteModel.get());
    proxy->setDynamicSortFilter(true);
    proxy->setFilterKeyColumn(0);
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    ui->tableView->setModel(proxy.get());
}

void MainWindow::setupSatelliteTableHeaders() {
    QHeaderView* horizontal = ui->tableView->horizontalHeader();
    horizontal->setSectionResizeMode(0, QHeaderView::Stretch);
    horizontal->setSortIndicatorShown(true);
    ui->tableView->verticalHeader()->setVisible(false);
    Ui::setFixedRowHeight(ui->tableView, 18);
}

void MainWindow::do_loadTLE() {
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Open TLE elements file"),
                                                        QString(), tr("TLE files (*.txt)"));
    const QString target = QString::fromLatin1(kCatalogueFileName);
    if (chosen.isEmpty() || is_same_file(chosen, target))
        return;
    // On failure the old file stays whole, and the reload shows what it holds.
    replace_catalogue_file(chosen, target);
    reloadCatalogue();
}

void MainWindow::on_lineEdit_editingFinished() {
    proxy->setFilterFixedString(ui->lineEdit->text());
}

void MainWindow::on_lineEdit_textEdited(QString) {
    proxy->setFilterFixedString(ui->lineEdit->text());
}

void MainWindow::sortByColumn(int logicalIndex, Qt::SortOrder order) {
    ui->tableView->sortByColumn(logicalIndex, order);
}
