// orbitrak-cli sky from the outside: it must print what the window computes.
#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "catalogue/live_rows.h"
#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <cstdio>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

Run cli(const QStringList& args, const QString& folder = QString()) {
    QProcess p;
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(ORBITRAK_CLI, QStringList("sky") + args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

const char* const kCatalogue = ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt";

} // namespace

class TestCliSky : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void csvMatchesTheWindowsComputation_data();
    void csvMatchesTheWindowsComputation();
    void textTableHasTheWindowsColumns();
    void limitBoundsTheSetsRead();
    void startUpLinesGoWhereTheOutputIsNot();
    void namesAreTrimmedAndQuoted();
    void badArguments_data();
    void badArguments();
};

void TestCliSky::initTestCase() {
    QVERIFY(!QFile::exists("utc.bin") && !QFile::exists("user_utc.bin"));
    std::FILE* quiet = std::fopen("/dev/null", "w");
    setup_time_scales(quiet);
    std::fclose(quiet);
}

void TestCliSky::csvMatchesTheWindowsComputation_data() {
    QTest::addColumn<QStringList>("siteArgs");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("eastLongitude");
    QTest::addColumn<double>("elevation");
    QTest::newRow("default site") << QStringList() << 45.0 << 45.0 << 120.0;
    QTest::newRow("negative values, separate")
        << QStringList({"--lat", "-33.5", "--lon", "-147.72", "--elev", "12"}) << -33.5 << -147.72
        << 12.0;
    QTest::newRow("negative values, joined")
        << QStringList({"--lat=64.8", "--lon=-147.72", "--elev=-5"}) << 64.8 << -147.72 << -5.0;
}

void TestCliSky::csvMatchesTheWindowsComputation() {
    QFETCH(QStringList, siteArgs);
    QFETCH(double, latitude);
    QFETCH(double, eastLongitude);
    QFETCH(double, elevation);
    const QString at = "2026-03-19T12:00:00.250Z";
    const Run run =
        cli(QStringList({"--tle", kCatalogue, "--at", at, "--csv", "--limit", "40"}) + siteArgs);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray("init_time_data\n"));

    QCOMPARE(read_TLE_file(kCatalogue, 40), 0);
    constexpr double deg = 0.017453292519943295;
    const Site site{latitude * deg, -eastLongitude * deg, elevation};
    recomputeLiveRows(working_jd_from_utc_calendar(*parse_calendar(at.toStdString())), site);

    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), 42); // header, 40 rows, the empty piece after the last line feed
    QCOMPARE(lines[0], QByteArray("catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s"));
    for (int i = 0; i < 40; ++i) {
        const LiveRow& row = liveRows[std::size_t(i)];
        const TLE_Satellite& satellite = satellite_list[std::size_t(i)];
        const QByteArray expected = QByteArray::number(satellite.elements.satnum) + "," +
                                    QByteArray(satellite.name_line.c_str()).trimmed() + "," +
                                    QByteArray::number(row.altitudeDeg, 'f', 9) + "," +
                                    QByteArray::number(row.azimuthDeg, 'f', 9) + "," +
                                    QByteArray::number(row.distanceKm, 'f', 6) + "," +
                                    QByteArray::number(row.speedDegPerSec, 'f', 9);
        QCOMPARE(lines[i + 1], expected);
    }
}

void TestCliSky::textTableHasTheWindowsColumns() {
    const Run run = cli({"--tle", kCatalogue, "--limit", "3", "--at", "2026-03-19 12:00:00"});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines[0], QByteArray("init_time_data"));
    QCOMPARE(lines[1].simplified(),
             QByteArray("Name Altitude (deg) Azimuth (deg) Distance (km) Speed (deg/s)"));
    QVERIFY(lines[2].startsWith("CALSPHERE 1              (00900)"));
    // One decimal for the angles, none for the distance, two for the speed, as in the window.
    QVERIFY2(QRegularExpression("^CALSPHERE 1 +\\(00900\\) +-?\\d+\\.\\d +\\d+\\.\\d +\\d+ +"
                                "\\d+\\.\\d\\d$")
                 .match(QString::fromLatin1(lines[2]))
                 .hasMatch(),
             lines[2].constData());
    // The columns line up under their headers.
    QCOMPARE(lines[2].size(), lines[1].size());
    QCOMPARE(lines.size(), 6);
}

void TestCliSky::limitBoundsTheSetsRead() {
    const auto rows = [](const QStringList& extra) {
        const Run run = cli(QStringList({"--tle", kCatalogue, "--csv"}) + extra);
        return run.exitCode == 0 ? run.out.count('\n') - 1 : -1;
    };
    QCOMPARE(rows({}), 500);
    QCOMPARE(rows({"--limit", "7"}), 7);
    QVERIFY(rows({"--limit", "0"}) > 14000);
}

void TestCliSky::startUpLinesGoWhereTheOutputIsNot() {
    // With a table in the working directory both start-up lines appear.
    QDir("with-table").removeRecursively();
    QDir().mkpath("with-table");
    QVERIFY(QFile::copy(ORBITRAK_BINARY_DIR "/utc.bin", "with-table/utc.bin"));
    QVERIFY(QFile::copy(kCatalogue, "with-table/satell.txt"));
    const Run text = cli({"--limit", "1"}, "with-table");
    QCOMPARE(text.exitCode, 0);
    QVERIFY(text.out.startsWith("init_time_data\ninit_time_data OK with default data\nName"));
    QCOMPARE(text.err, QByteArray());
    const Run csv = cli({"--limit", "1", "--csv"}, "with-table");
    QCOMPARE(csv.exitCode, 0);
    QCOMPARE(csv.err, QByteArray("init_time_data\ninit_time_data OK with default data\n"));
    QVERIFY(csv.out.startsWith("catalog,"));
}

void TestCliSky::namesAreTrimmedAndQuoted() {
    QFile file("odd.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("  SAT, WITH \"COMMA\"  \r\n"
               "1 25544U 98067A   26078.51782528  .00016717  00000-0  30597-3 0  9993\r\n"
               "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.49503057500451\r\n");
    file.close();
    const Run run = cli({"--tle", "odd.txt", "--csv", "--at", "2026-03-19T12:00:00Z"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.split('\n')[1].startsWith("25544,\"SAT, WITH \"\"COMMA\"\"\","),
             run.out.constData());
}

void TestCliSky::badArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("missing file") << QStringList({"--tle", "nowhere.txt"});
    QTest::newRow("folder as file") << QStringList({"--tle", "."});
    QTest::newRow("bad instant") << QStringList({"--tle", kCatalogue, "--at", "yesterday"});
    QTest::newRow("impossible date")
        << QStringList({"--tle", kCatalogue, "--at", "2026-02-30T00:00:00Z"});
    QTest::newRow("latitude out of range") << QStringList({"--tle", kCatalogue, "--lat", "91"});
    QTest::newRow("longitude not a number") << QStringList({"--tle", kCatalogue, "--lon=east"});
    QTest::newRow("negative limit") << QStringList({"--tle", kCatalogue, "--limit", "-1"});
    QTest::newRow("fractional limit") << QStringList({"--tle", kCatalogue, "--limit", "2.5"});
    QTest::newRow("value missing") << QStringList({"--tle", kCatalogue, "--lat"});
    QTest::newRow("unknown option") << QStringList({"--tle", kCatalogue, "--speed"});
    QTest::newRow("stray argument") << QStringList({"--tle", kCatalogue, "now"});
}

void TestCliSky::badArguments() {
    QFETCH(QStringList, args);
    const Run run = cli(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.endsWith('\n') && run.err.count('\n') == 1 &&
                 run.err.startsWith("orbitrak-cli: sky: "),
             run.err.constData());
}

QTEST_GUILESS_MAIN(TestCliSky)
#include "tst_cli_sky.moc"
