#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "catalogue/live_rows.h"
#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite.h"

#include <QFile>
#include <QtTest>

#include <cmath>
#include <map>

// The live table against sky positions computed independently (another SGP4 implementation,
// 1982 sidereal time with UT1 = UTC, WGS-84 site), for hundreds of real satellites and sites.
class TestSkyAccuracy : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesIndependentReference_data();
    void matchesIndependentReference();

private:
    std::map<int, TLE_Satellite> catalogue;
};

static QList<QByteArrayList> readCsv(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(path));
    QList<QByteArrayList> rows;
    file.readLine(); // header
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty())
            rows.append(line.split(','));
    }
    return rows;
}

void TestSkyAccuracy::initTestCase() {
    // No time table in the working directory: UT1 = UTC, as the reference assumes.
    QVERIFY(!QFile::exists("utc.bin") && !QFile::exists("user_utc.bin"));
    setup_time_scales(stdout);
    QCOMPARE(read_TLE_file(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt", 0), 0);
    QVERIFY(satellite_list.size() > 14000);
    for (const TLE_Satellite& satellite : satellite_list)
        catalogue.emplace(satellite.elements.satnum, satellite);
    satellite_list.clear();
}

void TestSkyAccuracy::matchesIndependentReference_data() {
    QTest::addColumn<int>("catalog");
    QTest::addColumn<QString>("utc");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("eastLongitude");
    QTest::addColumn<double>("elevation");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<double>("azimuth");
    QTest::addColumn<double>("distance");
    QTest::addColumn<double>("speed");
    const auto rows = readCsv(ORBITRAK_TEST_DATA "/sky/active-reference.csv");
    QVERIFY(rows.size() > 300);
    for (const QByteArrayList& r : rows) {
        QTest::addRow("%s@%s", r[0].constData(), r[1].constData())
            << r[0].toInt() << QString::fromLatin1(r[1]) << r[2].toDouble() << r[3].toDouble()
            << r[4].toDouble() << r[5].toDouble() << r[6].toDouble() << r[7].toDouble()
            << r[8].toDouble();
    }
}

void TestSkyAccuracy::matchesIndependentReference() {
    QFETCH(int, catalog);
    QFETCH(QString, utc);
    QFETCH(double, latitude);
    QFETCH(double, eastLongitude);
    QFETCH(double, elevation);
    QFETCH(double, altitude);
    QFETCH(double, azimuth);
    QFETCH(double, distance);
    QFETCH(double, speed);

    const auto found = catalogue.find(catalog);
    QVERIFY2(found != catalogue.end(), "satellite missing from the catalogue");
    const auto instant = parse_calendar(utc.toStdString());
    QVERIFY(instant.has_value());

    constexpr double radiansPerDegree = 0.017453292519943295;
    Site site;
    site.latitude = latitude * radiansPerDegree;
    site.longitude = -eastLongitude * radiansPerDegree;
    site.elevation = elevation;
    satellite_list.assign(1, found->second);
    recomputeLiveRows(working_jd_from_utc_calendar(*instant), site);
    QCOMPARE(liveRows.size(), std::size_t(1));
    const LiveRow& row = liveRows[0];

    // Either instant may be truncated to the millisecond below.
    const double angleTolerance = 1e-4 + speed * 0.001;
    const double azimuthError = std::remainder(row.azimuthDeg - azimuth, 360.0);
    QVERIFY2(
        std::abs(row.altitudeDeg - altitude) <= angleTolerance,
        qPrintable(QString("altitude %1 vs %2").arg(row.altitudeDeg, 0, 'f', 9).arg(altitude)));
    QVERIFY2(std::abs(azimuthError) <= angleTolerance,
             qPrintable(QString("azimuth %1 vs %2").arg(row.azimuthDeg, 0, 'f', 9).arg(azimuth)));
    QVERIFY2(std::abs(row.distanceKm - distance) <= 0.001 + 0.01,
             qPrintable(QString("distance %1 vs %2").arg(row.distanceKm, 0, 'f', 6).arg(distance)));
    QVERIFY2(std::abs(row.speedDegPerSec - speed) <= 1e-6 + 0.0011 * speed,
             qPrintable(QString("speed %1 vs %2").arg(row.speedDegPerSec, 0, 'g', 9).arg(speed)));
    QVERIFY(row.azimuthDeg >= 0.0 && row.azimuthDeg < 360.0);
}

QTEST_GUILESS_MAIN(TestSkyAccuracy)
#include "tst_sky_accuracy.moc"
