// The window's side of the pass planner: the live table's new columns, the pass table, and the
// dock with its sky plot, against a mount played by the test.
#include "app/mainwindow.h"
#include "app/settings.h"
#include "astro/time_scales.h"
#include "catalogue/observation.h"
#include "catalogue/passes_model.h"
#include "catalogue/tle_satellite_model.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QHeaderView>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const Catalogue& realCatalogue() {
    static Catalogue catalogue;
    if (catalogue.empty())
        read_TLE_file(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt", 0, catalogue);
    return catalogue;
}

// A satellite on a one-day orbit that stands well up from the window's default site now, so
// that the coming 12 hours hold a pass of it.
const TLE_Satellite& satelliteUpNow() {
    const TimeScales scales;
    const ObservationInstant now = observation_instant(scales, scales.current_jd(), Site());
    for (const TLE_Satellite& s : realCatalogue().satellites) {
        TLE_Satellite copy = s;
        if (std::fabs(s.elements.no * 1440 / (2 * M_PI) - 1.0027) < 0.01 &&
            spherical_angles(topocentric_enu(copy, now)).beta > 0.3)
            return s;
    }
    return realCatalogue()[0];
}

// Answers the handshake and the status poll; records everything.
class Mount : public QObject {
public:
    Mount() {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                const QByteArray in = socket->readAll();
                received += in;
                for (const auto& [command, reply] : replies)
                    if (in.contains(command))
                        socket->write(reply);
            });
        });
    }
    QTcpServer server;
    QByteArray received;
    const std::vector<std::pair<QByteArray, QByteArray>> replies = {
        {":GVN#", "2.15.14#"}, {":Gt#", "+45*00:00#"}, {":Gg#", "-45*00:00#"},
        {":Gev#", "+120#"},    {":TLESCK#", "E#"},     {":GaE#", "0,0,0,\"E,0\",0#"}};
};

} // namespace

class TestPlannerWindow : public QObject {
    Q_OBJECT

private slots:
    void liveTableShowsAgeAndSunlight();
    void passTableDropsEndedPasses();
    void dockHiddenAtFirstStartThenRemembered();
    void passFollowsSelectionAndUploadsOnDoubleClick();

private:
    TimeScales scales;
};

void TestPlannerWindow::liveTableShowsAgeAndSunlight() {
    Catalogue catalogue;
    const double ages[] = {2.0, 3.0, 3.1, 10.0, 10.1};
    for (int i = 0; i < 6; ++i)
        catalogue.satellites.push_back(realCatalogue()[0]);
    std::vector<LiveRow> rows;
    for (double age : ages)
        rows.push_back({1000, 10, 30, 0.1, age, Sunlight::Sunlit});
    rows.push_back({kNaN, kNaN, kNaN, kNaN, 4.0, Sunlight::Unknown});
    rows[1].sunlight = Sunlight::Shadow;
    TLE_Satellite_Model model;
    model.setCatalogue(catalogue, rows);

    QCOMPARE(model.columnCount(), 7);
    QCOMPARE(model.headerData(TLE_Satellite_Model::Age, Qt::Horizontal).toString(),
             QStringLiteral("Age (d)"));
    QCOMPARE(model.headerData(TLE_Satellite_Model::Sunlit, Qt::Horizontal).toString(),
             QStringLiteral("Sunlit"));
    const auto text = [&model](int row, int column) {
        return model.index(row, column).data().toString();
    };
    const auto colour = [&model](int row, int column) {
        return model.index(row, column).data(Qt::ForegroundRole).value<QBrush>().color();
    };
    QCOMPARE(text(2, TLE_Satellite_Model::Age), QStringLiteral("3.1"));
    QCOMPARE(text(0, TLE_Satellite_Model::Sunlit), QStringLiteral("yes"));
    QCOMPARE(text(1, TLE_Satellite_Model::Sunlit), QStringLiteral("no"));
    QCOMPARE(text(5, TLE_Satellite_Model::Sunlit), QString()); // no position
    QCOMPARE(text(5, TLE_Satellite_Model::Age), QStringLiteral("4.0"));
    // The Age cell alone changes colour: amber above 3 days, red above 10.
    const QColor row = colour(0, TLE_Satellite_Model::Altitude);
    for (int r = 0; r < 5; ++r)
        for (int column = 0; column < TLE_Satellite_Model::ColumnCount; ++column)
            if (column != TLE_Satellite_Model::Age)
                QCOMPARE(colour(r, column), row);
    QCOMPARE(colour(0, TLE_Satellite_Model::Age), row);
    QCOMPARE(colour(1, TLE_Satellite_Model::Age), row);
    const QColor amber = colour(2, TLE_Satellite_Model::Age);
    QVERIFY(amber != row);
    QCOMPARE(colour(3, TLE_Satellite_Model::Age), amber);
    QVERIFY(colour(4, TLE_Satellite_Model::Age) != amber &&
            colour(4, TLE_Satellite_Model::Age) != row);
}

void TestPlannerWindow::passTableDropsEndedPasses() {
    PassesModel model;
    std::vector<PlannedPass> passes(3);
    passes[0].satellite = 4; // under way at the start, no set: never drops
    passes[0].pass.startJd = 10.0;
    passes[0].pass.endJd = 10.5;
    passes[1].satellite = 4;
    passes[1].pass = {true, {11.0, 0, 0}, {11.1, 0, 50}, true, {11.2, 0, 0}, 11.0, 11.2};
    passes[2].satellite = 7;
    passes[2].pass = {true, {10.1, 0, 0}, {10.15, 0, 5}, true, {10.2, 0, 0}, 10.1, 10.2};
    passes[2].pass.visible = true;
    model.setPasses(passes);
    PassesProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(PassesModel::Rise);
    QCOMPARE(proxy.index(2, 0).data(PassesModel::SatelliteRole).toInt(), 4);
    QCOMPARE(proxy.index(1, PassesModel::MaxAltitude).data().toString(), QStringLiteral("5.0"));
    proxy.setVisibleOnly(true);
    QCOMPARE(proxy.rowCount(), 1);
    proxy.setVisibleOnly(false);

    model.dropEndedBefore(10.3);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.nextPassOf(4), 0);
    QCOMPARE(model.nextPassOf(7), -1);
}

void TestPlannerWindow::dockHiddenAtFirstStartThenRemembered() {
    for (const bool shown : {false, true, false}) {
        MainWindow window(scales, 1);
        auto* dock = window.findChild<QDockWidget*>(QStringLiteral("dockPasses"));
        auto* action = window.findChild<QAction*>(QStringLiteral("actionPasses"));
        QVERIFY(dock && action && action->isCheckable());
        window.show();
        QCOMPARE(dock->isVisible(), shown);
        QCOMPARE(action->isChecked(), shown);
        action->trigger(); // the next window shows the opposite
        QCOMPARE(dock->isVisible(), !shown);
    }
}

void TestPlannerWindow::passFollowsSelectionAndUploadsOnDoubleClick() {
    const TLE_Satellite& satellite = satelliteUpNow();
    QFile file(QStringLiteral("satell.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((satellite.name_line + satellite.line1 + satellite.line2).c_str());
    file.close();
    Mount mount;
    writeMountIp(QStringLiteral("127.0.0.1"));

    MainWindow window(scales, mount.server.serverPort());
    window.show();
    window.findChild<QAction*>(QStringLiteral("actionPasses"))->trigger();
    auto* passes = window.findChild<QTableView*>(QStringLiteral("tableViewPasses"));
    QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() > 0, 30000);
    for (int column = 1; column < passes->model()->columnCount(); ++column) // titles whole
        QVERIFY(passes->horizontalHeader()->sectionSize(column) >=
                passes->horizontalHeader()->sectionSizeHint(column));

    window.findChild<QTableView*>(QStringLiteral("tableView"))->selectRow(0);
    const QModelIndex pass = passes->currentIndex();
    QVERIFY(pass.isValid());
    QCOMPARE(pass.sibling(pass.row(), 0).data().toString(),
             QString::fromUtf8(satellite.display_name));

    window.findChild<QCheckBox*>(QStringLiteral("checkBox"))->click();
    const QRect cell = passes->visualRect(pass);
    QTest::mouseClick(passes->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(passes->viewport(), Qt::LeftButton, {}, cell.center());
    const QByteArray upload = ":TLEL0" + QByteArray::fromStdString(satellite.name_line).trimmed();
    QTRY_VERIFY_WITH_TIMEOUT(mount.received.contains(upload), 10000);
}

// Every window of this program keeps its settings in a scratch folder of its own.
int main(int argc, char* argv[]) {
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));
    QApplication app(argc, argv);
    TestPlannerWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_planner_window.moc"
