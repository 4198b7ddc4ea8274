#include "app/mainwindow.h"
#include "catalogue/live_rows.h"
#include "catalogue/sort_filter_proxy.h"
#include "catalogue/tle_satellite.h"
#include "catalogue/tle_satellite_model.h"

#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

// The live table as the user sees it: colours, texts, roles, filter and sort, alone and in the
// running window.
class TestSatelliteTable : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void colourByAltitude_data();
    void colourByAltitude();
    void displayTexts_data();
    void displayTexts();
    void rolesOfARow();
    void emptyListShowsOnlyHeaders();
    void oneChangeNotificationForTheWholeTable();
    void sortsNumbersAsNumbers();
    void sortsWithoutPositionLast();
    void filterIgnoresCase();

    void windowStartsInFileOrder();
    void windowSortsOnHeaderClickAndKeepsSorting();
    void windowFiltersWhileTyping();
    void windowWithoutCatalogueFileIsEmpty();

private:
    static void setRows(const QList<QPair<QByteArray, double>>& rows);
};

static const char* const kLine1 =
    "1 25544U 98067A   26078.51782528  .00016717  00000-0  30597-3 0  9993\n";
static const char* const kLine2 =
    "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.49503057500451\n";

void TestSatelliteTable::cleanup() {
    satellite_list.clear();
    liveRows.clear();
    QFile::remove("satell.txt");
}

// Rows with the given names and altitudes; the other columns derive from the altitude.
void TestSatelliteTable::setRows(const QList<QPair<QByteArray, double>>& rows) {
    satellite_list.clear();
    liveRows.clear();
    for (const auto& row : rows) {
        TLE_Satellite entry;
        std::snprintf(entry.display_name, sizeof entry.display_name, "%-24.24s (25544)",
                      row.first.constData());
        entry.name_line = row.first.toStdString() + "\n";
        entry.line1 = kLine1;
        entry.line2 = kLine2;
        satellite_list.push_back(entry);
        liveRows.push_back({1000.0 + row.second, 180.0 + row.second, row.second, 0.5});
    }
}

void TestSatelliteTable::colourByAltitude_data() {
    QTest::addColumn<double>("altitude");
    QTest::addColumn<QColor>("colour");
    const QColor green(0, 204, 0), black(0, 0, 0), darkRed(153, 0, 0);
    QTest::newRow("high") << 45.0 << green;
    QTest::newRow("just above 20") << 20.000001 << green;
    QTest::newRow("exactly 20") << 20.0 << black;
    QTest::newRow("just above 0") << 1e-9 << black;
    QTest::newRow("exactly 0") << 0.0 << darkRed;
    QTest::newRow("below") << -12.0 << darkRed;
    QTest::newRow("no position") << std::numeric_limits<double>::quiet_NaN() << darkRed;
}

void TestSatelliteTable::colourByAltitude() {
    QFETCH(double, altitude);
    QFETCH(QColor, colour);
    setRows({{"SAT", altitude}});
    TLE_Satellite_Model model;
    for (int column = 0; column < 5; ++column) {
        const QBrush brush = model.data(model.index(0, column), Qt::ForegroundRole).value<QBrush>();
        QCOMPARE(brush.color(), colour);
        QCOMPARE(brush.style(), Qt::SolidPattern);
    }
}

void TestSatelliteTable::displayTexts_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("altitude, one decimal") << 1 << -3.26 << "-3.3";
    QTest::newRow("azimuth just below 360") << 2 << 359.96 << "360.0";
    QTest::newRow("distance, whole km") << 3 << 1234.4 << "1234";
    QTest::newRow("distance rounds up") << 3 << 1234.6 << "1235";
    QTest::newRow("speed, two decimals") << 4 << 0.456 << "0.46";
    QTest::newRow("no grouping") << 3 << 41607.2 << "41607";
    QTest::newRow("not a number") << 1 << std::numeric_limits<double>::quiet_NaN() << "nan";
}

void TestSatelliteTable::displayTexts() {
    QFETCH(int, column);
    QFETCH(double, value);
    QFETCH(QString, text);
    setRows({{"SAT", 0.0}});
    LiveRow& row = liveRows[0];
    double* fields[] = {nullptr, &row.altitudeDeg, &row.azimuthDeg, &row.distanceKm,
                        &row.speedDegPerSec};
    *fields[column] = value;
    TLE_Satellite_Model model;
    const QModelIndex index = model.index(0, column);
    QCOMPARE(model.data(index).toString(), text);
    QCOMPARE(model.data(index, Qt::EditRole).toString(), text);
    QCOMPARE(model.data(index, Qt::TextAlignmentRole).toInt(), 132);
    const double raw = model.data(index, Qt::UserRole).toDouble();
    QVERIFY(raw == value || (std::isnan(raw) && std::isnan(value)));
}

void TestSatelliteTable::rolesOfARow() {
    setRows({{"ISS (ZARYA)", 12.0}});
    TLE_Satellite_Model model;
    const QModelIndex name = model.index(0, 0);
    QCOMPARE(model.data(name).toString(), QString("ISS (ZARYA)              (25544)"));
    QCOMPARE(model.data(name, Qt::UserRole).toString(), model.data(name).toString());
    QCOMPARE(model.data(name, Qt::TextAlignmentRole).toInt(), 129);
    for (int column = 0; column < 5; ++column) {
        const QModelIndex index = model.index(0, column);
        QCOMPARE(model.data(index, Qt::UserRole + 1).toString(), QString("ISS (ZARYA)\n"));
        QCOMPARE(model.data(index, Qt::UserRole + 2).toString(), QString(kLine1));
        QCOMPARE(model.data(index, Qt::UserRole + 3).toString(), QString(kLine2));
        QVERIFY(!model.data(index, Qt::ToolTipRole).isValid());
        QVERIFY(!model.data(index, Qt::DecorationRole).isValid());
        QVERIFY(!(model.flags(index) & Qt::ItemIsEditable));
    }
    QVERIFY(!model.data(model.index(0, 5)).isValid());
}

void TestSatelliteTable::emptyListShowsOnlyHeaders() {
    TLE_Satellite_Model model;
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 5);
    const char* titles[] = {"Name", "Altitude (deg)", "Azimuth (deg)", "Distance (km)",
                            "Speed (deg/s)"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(model.headerData(i, Qt::Horizontal).toString(), QString(titles[i]));
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(5, Qt::Horizontal).isValid());
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.refreshSatelliteTable();
    QCOMPARE(changed.count(), 0);
}

void TestSatelliteTable::oneChangeNotificationForTheWholeTable() {
    setRows({{"A", 1.0}, {"B", 2.0}, {"C", 3.0}});
    TLE_Satellite_Model model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.refreshSatelliteTable();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].value<QModelIndex>(), model.index(0, 0));
    QCOMPARE(changed[0][1].value<QModelIndex>(), model.index(2, 4));
    QVERIFY(changed[0][2].value<QVector<int>>().isEmpty());
}

static QStringList proxyNames(const QAbstractItemModel& proxy) {
    QStringList names;
    for (int row = 0; row < proxy.rowCount(); ++row)
        names << proxy.data(proxy.index(row, 0)).toString().left(24).trimmed();
    return names;
}

void TestSatelliteTable::sortsNumbersAsNumbers() {
    setRows({{"TEN", 10.0}, {"NINE AND A HALF", 9.5}, {"MINUS", -2.0}, {"HUNDRED", 100.0}});
    TLE_Satellite_Model model;
    MySortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(1, Qt::AscendingOrder);
    QCOMPARE(proxyNames(proxy), QStringList({"MINUS", "NINE AND A HALF", "TEN", "HUNDRED"}));
    proxy.sort(1, Qt::DescendingOrder);
    QCOMPARE(proxyNames(proxy), QStringList({"HUNDRED", "TEN", "NINE AND A HALF", "MINUS"}));
    proxy.sort(0, Qt::AscendingOrder);
    QCOMPARE(proxyNames(proxy), QStringList({"HUNDRED", "MINUS", "NINE AND A HALF", "TEN"}));
}

void TestSatelliteTable::sortsWithoutPositionLast() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    setRows({{"B", 5.0}, {"N1", nan}, {"A", -5.0}, {"N2", nan}, {"C", 50.0}});
    TLE_Satellite_Model model;
    MySortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(1, Qt::DescendingOrder);
    const QStringList names = proxyNames(proxy);
    QCOMPARE(names.mid(0, 3), QStringList({"C", "B", "A"}));
    QCOMPARE(QSet<QString>(names.begin() + 3, names.end()), QSet<QString>({"N1", "N2"}));
}

void TestSatelliteTable::filterIgnoresCase() {
    setRows({{"ISS (ZARYA)", 1.0},
             {"Kiss Me", 2.0},
             {"MISSION", 3.0},
             {"ISIS", 4.0},
             {"CSS (TIANHE)", 5.0}});
    TLE_Satellite_Model model;
    MySortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.setFilterKeyColumn(0);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy.setFilterFixedString("iss");
    QCOMPARE(proxyNames(proxy), QStringList({"ISS (ZARYA)", "Kiss Me", "MISSION"}));
    proxy.setFilterFixedString("");
    QCOMPARE(proxy.rowCount(), 5);
}

// A few hundred real sets, so that some are up, some down and some have decayed.
static void writeCatalogue(int sets) {
    QFile source(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt");
    QVERIFY(source.open(QIODevice::ReadOnly));
    QFile target("satell.txt");
    QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int i = 0; i < 3 * sets; ++i)
        target.write(source.readLine());
}

static QTableView* satelliteTable(MainWindow& window) {
    return window.findChild<QTableView*>("tableView");
}

void TestSatelliteTable::windowStartsInFileOrder() {
    writeCatalogue(40);
    MainWindow window;
    QTableView* table = satelliteTable(window);
    QAbstractItemModel* model = table->model();
    QVERIFY(qobject_cast<MySortFilterProxyModel*>(model));
    QCOMPARE(model->rowCount(), 40);
    QCOMPARE(model->data(model->index(0, 0)).toString(),
             QString("CALSPHERE 1              (00900)"));
    QCOMPARE(model->data(model->index(1, 0)).toString(),
             QString("CALSPHERE 2              (00902)"));
    QTRY_VERIFY(window.findChild<QLineEdit*>("lineTime")->text().size() > 0); // a tick passed
    QCOMPARE(model->data(model->index(0, 0)).toString(),
             QString("CALSPHERE 1              (00900)"));
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch);
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
    QCOMPARE(table->verticalHeader()->defaultSectionSize(), 18);
}

static bool sortedByAltitude(const QAbstractItemModel* model, Qt::SortOrder order) {
    double previous = order == Qt::AscendingOrder ? -1e9 : 1e9;
    for (int row = 0; row < model->rowCount(); ++row) {
        const double value = model->data(model->index(row, 1), Qt::UserRole).toDouble();
        if (std::isnan(value))
            continue;
        if (order == Qt::AscendingOrder ? value < previous : value > previous)
            return false;
        previous = value;
    }
    return true;
}

void TestSatelliteTable::windowSortsOnHeaderClickAndKeepsSorting() {
    writeCatalogue(200);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* table = satelliteTable(window);
    QHeaderView* header = table->horizontalHeader();
    const QPoint altitudeHeader(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                                header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, altitudeHeader);
    QCOMPARE(header->sortIndicatorSection(), 1);
    const Qt::SortOrder order = header->sortIndicatorOrder();
    QVERIFY(sortedByAltitude(table->model(), order));

    // The values change on every tick and the order follows them.
    QAbstractItemModel* model = table->model();
    for (int tick = 0; tick < 3; ++tick) {
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        QVERIFY(changed.wait(2000));
        QVERIFY(sortedByAltitude(model, order));
    }
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, altitudeHeader);
    QVERIFY(header->sortIndicatorOrder() != order);
    QVERIFY(sortedByAltitude(model, header->sortIndicatorOrder()));
}

void TestSatelliteTable::windowFiltersWhileTyping() {
    QFile target("satell.txt");
    QVERIFY(target.open(QIODevice::WriteOnly));
    for (const char* name : {"ISS (ZARYA)", "MISSION", "NOAA 19", "kissat", "IS S"})
        target.write(QByteArray(name) + "\n" + kLine1 + kLine2);
    target.close();
    MainWindow window;
    window.show();
    QLineEdit* filter = window.findChild<QLineEdit*>("lineEdit");
    QAbstractItemModel* model = satelliteTable(window)->model();
    QTest::keyClicks(filter, "iSs");
    QCOMPARE(proxyNames(*model), QStringList({"ISS (ZARYA)", "MISSION", "kissat"}));
    filter->selectAll();
    QTest::keyClick(filter, Qt::Key_Backspace);
    QCOMPARE(model->rowCount(), 5);
}

void TestSatelliteTable::windowWithoutCatalogueFileIsEmpty() {
    MainWindow window;
    QAbstractItemModel* model = satelliteTable(window)->model();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 5);
    QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QString("Distance (km)"));
    QAbstractItemModel* log = window.findChild<QTableView*>("tableViewLog")->model();
    QCOMPARE(log->rowCount(), 1);
    QCOMPARE(log->data(log->index(0, 1)).toString(), QString("Start"));
}

QTEST_MAIN(TestSatelliteTable)
#include "tst_satellite_table.moc"
