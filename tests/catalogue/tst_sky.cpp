// Where the satellites stand in the sky: the computation against positions computed
// independently (another SGP4 implementation, 1982 sidereal time with UT1 = UTC, WGS-84 site)
// for hundreds of real satellites and sites, and orbitrak-cli sky against the computation.
#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/sky_computation.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <map>

Q_DECLARE_METATYPE(Site)
Q_DECLARE_METATYPE(LiveRow)

namespace {

const char* const kCatalogue = ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt";

Site siteAt(double latitude, double eastLongitude, double elevation) {
    constexpr double radiansPerDegree = 0.017453292519943295;
    return {latitude * radiansPerDegree, -eastLongitude * radiansPerDegree, elevation};
}

std::vector<LiveRow> computeAt(Catalogue& catalogue, const TimeScales& scales, const QString& utc,
                               const Site& site) {
    const double jd = scales.working_jd_from_utc_calendar(*parse_calendar(utc.toStdString()));
    return SkyComputation(scales).compute(catalogue, jd, site, SkyComputation::Wait::ForEverySet);
}

} // namespace

class TestSky : public QObject {
    Q_OBJECT

    const TimeScales noTable; // UT1 = UTC, as the reference assumes
    std::map<int, TLE_Satellite> bySatnum;

private slots:
    void initTestCase() {
        Catalogue all;
        QCOMPARE(read_TLE_file(kCatalogue, 0, all), 0);
        QVERIFY(all.size() > 14000);
        for (const TLE_Satellite& satellite : all.satellites)
            bySatnum.emplace(satellite.elements.satnum, satellite);
    }

    void matchesIndependentReference_data() {
        QTest::addColumn<int>("satnum");
        QTest::addColumn<QString>("utc");
        QTest::addColumn<Site>("site");
        QTest::addColumn<LiveRow>("reference");
        QFile file(ORBITRAK_TEST_DATA "/sky/active-reference.csv");
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 1 + 375); // the header, then the cases
        for (const QByteArray& line : lines.mid(1)) {
            const QList<QByteArray> r = line.split(',');
            QTest::addRow("%s@%s", r[0].constData(), r[1].constData())
                << r[0].toInt() << QString::fromLatin1(r[1])
                << siteAt(r[2].toDouble(), r[3].toDouble(), r[4].toDouble())
                << LiveRow{r[7].toDouble(), r[6].toDouble(), r[5].toDouble(), r[8].toDouble()};
        }
    }

    void matchesIndependentReference() {
        QFETCH(int, satnum);
        QFETCH(QString, utc);
        QFETCH(Site, site);
        QFETCH(LiveRow, reference);
        const auto found = bySatnum.find(satnum);
        QVERIFY2(found != bySatnum.end(), "satellite missing from the catalogue");
        Catalogue one;
        one.satellites.push_back(found->second);
        const LiveRow row = computeAt(one, noTable, utc, site)[0];
        const QByteArray values =
            QString::asprintf("altitude %.9f, azimuth %.9f, distance %.6f, speed %.9g",
                              row.altitudeDeg, row.azimuthDeg, row.distanceKm, row.speedDegPerSec)
                .toLatin1();
        // Either instant may be truncated to the millisecond below.
        const double angle = 1e-4 + reference.speedDegPerSec * 0.001;
        QVERIFY2(std::abs(row.altitudeDeg - reference.altitudeDeg) <= angle, values);
        QVERIFY2(std::abs(std::remainder(row.azimuthDeg - reference.azimuthDeg, 360.0)) <= angle,
                 values);
        QVERIFY2(row.azimuthDeg >= 0.0 && row.azimuthDeg < 360.0, values);
        QVERIFY2(std::abs(row.distanceKm - reference.distanceKm) <= 0.001 + 0.01, values);
        QVERIFY2(std::abs(row.speedDegPerSec - reference.speedDegPerSec) <=
                     1e-6 + 0.0011 * reference.speedDegPerSec,
                 values);
    }

    void cliCsvEqualsTheComputation_data() {
        QTest::addColumn<QStringList>("siteArgs");
        QTest::addColumn<Site>("site");
        QTest::addColumn<bool>("withTable"); // utc.bin in the working directory
        QTest::newRow("default site") << QStringList() << Site() << false;
        QTest::newRow("options apart")
            << QStringList({"--lat", "-33.5", "--lon", "-147.72", "--elev", "12"})
            << siteAt(-33.5, -147.72, 12.0) << false;
        QTest::newRow("options joined, with a time table")
            << QStringList({"--lat=64.8", "--lon=-147.72", "--elev=-5"})
            << siteAt(64.8, -147.72, -5.0) << true;
    }

    // Every printed digit of the CSV equals the computation's; the start-up lines go to stderr.
    void cliCsvEqualsTheComputation() {
        QFETCH(QStringList, siteArgs);
        QFETCH(Site, site);
        QFETCH(bool, withTable);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(!withTable ||
                QFile::copy(ORBITRAK_BINARY_DIR "/utc.bin", folder.filePath("utc.bin")));
        const QString at = "2026-03-19T12:00:00.250Z";
        QProcess cli;
        cli.setWorkingDirectory(folder.path());
        cli.start(ORBITRAK_CLI,
                  QStringList({"sky", "--tle", kCatalogue, "--at", at, "--csv", "--limit", "40"}) +
                      siteArgs);
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(cli.readAllStandardError(),
                 QByteArray(withTable ? "init_time_data\ninit_time_data OK with default data\n"
                                      : "init_time_data\n"));

        const std::optional<UtcTable> table = load_utc_file(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(table);
        Catalogue catalogue;
        QCOMPARE(read_TLE_file(kCatalogue, 40, catalogue), 0);
        const std::vector<LiveRow> rows =
            computeAt(catalogue, withTable ? TimeScales(*table) : TimeScales(), at, site);
        const QList<QByteArray> lines = cli.readAllStandardOutput().split('\n');
        QCOMPARE(lines.size(), 42); // header, 40 rows, the empty piece after the last line feed
        QCOMPARE(lines[0],
                 QByteArray("catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s"));
        for (std::size_t i = 0; i < 40; ++i) {
            const LiveRow& row = rows[i];
            QCOMPARE(lines[int(i) + 1],
                     QByteArray::number(catalogue[i].elements.satnum) + "," +
                         QByteArray::fromStdString(catalogue[i].name_line).trimmed() + "," +
                         QByteArray::number(row.altitudeDeg, 'f', 9) + "," +
                         QByteArray::number(row.azimuthDeg, 'f', 9) + "," +
                         QByteArray::number(row.distanceKm, 'f', 6) + "," +
                         QByteArray::number(row.speedDegPerSec, 'f', 9));
        }
    }
};

QTEST_GUILESS_MAIN(TestSky)
#include "tst_sky.moc"
