#include "astro/time_scales.h"
#include "astro/topocentric.h"
#include "catalogue/live_rows.h"
#include "catalogue/observation.h"
#include "catalogue/tle_satellite.h"
#include "orbit/sgp4.h"

#include <QtTest>

#include <cmath>
#include <cstring>

// The reduction from a propagated position to what the table shows.
class TestObservation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void siteOnTheEllipsoid_data();
    void siteOnTheEllipsoid();
    void satelliteAtTheZenith();
    void azimuthAndAltitude_data();
    void azimuthAndAltitude();
    void speedIsTheTurnPerSecond();
    void eastLongitudeAddsToSiderealTime();
    void propagationStoresMetresOrNaN_data();
    void propagationStoresMetresOrNaN();
    void tableValuesFollowOneTimeConversionPerInstant();
};

constexpr double kDeg = 0.017453292519943295;

void TestObservation::initTestCase() {
    setup_time_scales(stdout);
}

void TestObservation::siteOnTheEllipsoid_data() {
    QTest::addColumn<double>("latitudeDeg");
    QTest::addColumn<double>("elevation");
    QTest::addColumn<double>("rho");
    QTest::addColumn<double>("z");
    QTest::newRow("equator") << 0.0 << 0.0 << 6378137.0 << 0.0;
    QTest::newRow("north pole") << 90.0 << 0.0 << 0.0 << 6356752.3142;
    QTest::newRow("south pole, 100 m up") << -90.0 << 100.0 << 0.0 << -6356852.3142;
    QTest::newRow("equator, 1 km up") << 0.0 << 1000.0 << 6379137.0 << 0.0;
}

void TestObservation::siteOnTheEllipsoid() {
    QFETCH(double, latitudeDeg);
    QFETCH(double, elevation);
    QFETCH(double, rho);
    QFETCH(double, z);
    const SiteMeridianPosition p = site_meridian_position({latitudeDeg * kDeg, 0.0, elevation});
    QVERIFY2(std::abs(p.rho - rho) < 1e-3, qPrintable(QString::number(p.rho, 'f', 4)));
    QVERIFY2(std::abs(p.z - z) < 1e-3, qPrintable(QString::number(p.z, 'f', 4)));
}

void TestObservation::satelliteAtTheZenith() {
    for (double latitude : {-89.0, -33.3, 0.0, 45.0, 78.9}) {
        for (double theta : {0.0, 1.0, 4.0}) {
            const Site site{latitude * kDeg, 0.3, 250.0};
            const HorizonFrame frame = horizon_frame(site_meridian_position(site), theta);
            const double c = std::cos(site.latitude);
            const Vec3 normal{c * std::cos(theta), c * std::sin(theta), std::sin(site.latitude)};
            const Vec3 observer{frame.site.rho * std::cos(theta), frame.site.rho * std::sin(theta),
                                frame.site.z};
            const double up = 500e3;
            const Vec3 satellite{observer.x + up * normal.x, observer.y + up * normal.y,
                                 observer.z + up * normal.z};
            const Vec3 enu = horizon_vector(satellite, frame);
            QVERIFY(std::abs(enu.x) < 1e-6 && std::abs(enu.y) < 1e-6);
            QVERIFY(std::abs(enu.z - up) < 1e-6);
            QCOMPARE(live_row(enu, enu).altitudeDeg, 90.0);
        }
    }
}

void TestObservation::azimuthAndAltitude_data() {
    QTest::addColumn<double>("east");
    QTest::addColumn<double>("north");
    QTest::addColumn<double>("up");
    QTest::addColumn<double>("azimuth");
    QTest::addColumn<double>("altitude");
    QTest::newRow("north") << 0.0 << 1000.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("east") << 1000.0 << 0.0 << 0.0 << 90.0 << 0.0;
    QTest::newRow("south") << 0.0 << -1000.0 << 0.0 << 180.0 << 0.0;
    QTest::newRow("west") << -1000.0 << 0.0 << 0.0 << 270.0 << 0.0;
    QTest::newRow("zenith reads east") << 0.0 << 0.0 << 1000.0 << 90.0 << 90.0;
    QTest::newRow("nadir") << 0.0 << 0.0 << -1000.0 << 90.0 << -90.0;
    QTest::newRow("north-east, 45 up") << 1.0 << 1.0 << std::sqrt(2.0) << 45.0 << 45.0;
}

void TestObservation::azimuthAndAltitude() {
    QFETCH(double, east);
    QFETCH(double, north);
    QFETCH(double, up);
    QFETCH(double, azimuth);
    QFETCH(double, altitude);
    const Vec3 v{east, north, up};
    const LiveRow row = live_row(v, v);
    QVERIFY(std::abs(row.azimuthDeg - azimuth) < 1e-12);
    QVERIFY(std::abs(row.altitudeDeg - altitude) < 1e-12);
    QCOMPARE(row.distanceKm, length(v) * 0.001);
    QCOMPARE(row.speedDegPerSec, 0.0);
}

void TestObservation::speedIsTheTurnPerSecond() {
    const Vec3 a{1000.0, 0.0, 0.0};
    QCOMPARE(live_row(a, Vec3{-1000.0, 0.0, 0.0}).speedDegPerSec, 180.0);
    QVERIFY(std::abs(live_row(a, Vec3{1000.0, 1000.0, 0.0}).speedDegPerSec - 45.0) < 1e-12);
    // Just west of north stays inside [0, 360).
    const LiveRow west = live_row(a, Vec3{-1e-9, 1000.0, 0.0});
    QVERIFY(west.azimuthDeg < 360.0 && west.azimuthDeg > 359.9999);
}

void TestObservation::eastLongitudeAddsToSiderealTime() {
    const Site site; // the start values: 45 degrees north, 45 degrees east
    QCOMPARE(site.longitude, -45.0 * kDeg);
    const double jd = 2461015.5;
    const ObservationInstant instant = observation_instant(jd, site);
    const double theta = gmst_from_jd(ut1_from_jd(jd)) + 45.0 * kDeg;
    QVERIFY(std::abs(instant.frame.sinTheta - std::sin(theta)) < 1e-15);
    QVERIFY(std::abs(instant.frame.cosTheta - std::cos(theta)) < 1e-15);
    QCOMPARE(instant.utcJd, utc_from_jd(jd));
}

static TLE_Satellite satellite(const char* line1, const char* line2) {
    char a[256];
    char b[256];
    std::strcpy(a, line1);
    std::strcpy(b, line2);
    TLE_Satellite entry;
    fill_TLE_Satellite(entry, "TEST\n", a, b);
    return entry;
}

void TestObservation::propagationStoresMetresOrNaN_data() {
    QTest::addColumn<QByteArray>("line1");
    QTest::addColumn<QByteArray>("line2");
    QTest::addColumn<double>("minutes");
    QTest::addColumn<bool>("hasPosition");
    const QByteArray line1 =
        "1 33333U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n";
    const QByteArray line2 =
        "2 33333  96.4736 157.9986 9950000 244.0492 110.6523  4.00004038 10708\n";
    QTest::newRow("before the failure") << line1 << line2 << 20.0 << true;
    QTest::newRow("semi-latus rectum < 0") << line1 << line2 << 25.0 << false;
    const QByteArray decay1 =
        "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n";
    const QByteArray decay2 =
        "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n";
    QTest::newRow("below the surface still stored") << decay1 << decay2 << 55.0 << true;
}

void TestObservation::propagationStoresMetresOrNaN() {
    QFETCH(QByteArray, line1);
    QFETCH(QByteArray, line2);
    QFETCH(double, minutes);
    QFETCH(bool, hasPosition);
    TLE_Satellite entry = satellite(line1.constData(), line2.constData());
    const double jd = entry.elements.jdsatepoch + minutes / 1440.0;
    ElementSet reference = entry.elements;
    double r[3] = {};
    double v[3];
    sgp4_propagate(1, reference, (jd - reference.jdsatepoch) * 1440.0, r, v);

    QCOMPARE(propagate_satellite(entry, jd), 0);
    for (int i = 0; i < 3; ++i) {
        if (hasPosition)
            QCOMPARE(entry.position[i], 1000.0 * r[i]);
        else
            QVERIFY(std::isnan(entry.position[i]));
    }
    // NaN reaches the table as a row that is not above the horizon.
    if (!hasPosition) {
        Vec3 enu;
        topocentric_enu(enu, entry, entry.elements.jdsatepoch + minutes / 1440.0);
        QVERIFY(std::isnan(live_row(enu, enu).altitudeDeg));
    }
}

// The table computes each instant's time conversions once for all satellites; the result must
// be the same as converting for every satellite.
void TestObservation::tableValuesFollowOneTimeConversionPerInstant() {
    satellite_list.clear();
    satellite_list.push_back(
        satellite("1 25544U 98067A   26078.51782528  .00016717  00000-0  30597-3 0  9993\n",
                  "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.49503057500451\n"));
    satellite_list.push_back(
        satellite("1 20413U 83020D   05363.79166667  .00000000  00000-0  00000+0 0  7041\n",
                  "2 20413  12.3514 187.4253 7864447 196.3027 356.5478  0.24690082  7978\n"));
    std::vector<TLE_Satellite> copies = satellite_list;
    currentJd = 2461119.0;
    recomputeLiveRows();
    QCOMPARE(liveRows.size(), std::size_t(2));
    for (std::size_t i = 0; i < copies.size(); ++i) {
        Vec3 a, b;
        topocentric_enu(a, copies[i], currentJd - 1.1574074074074073e-05);
        topocentric_enu(b, copies[i], currentJd);
        const LiveRow expected = live_row(a, b);
        QCOMPARE(liveRows[i].altitudeDeg, expected.altitudeDeg);
        QCOMPARE(liveRows[i].azimuthDeg, expected.azimuthDeg);
        QCOMPARE(liveRows[i].distanceKm, expected.distanceKm);
        QCOMPARE(liveRows[i].speedDegPerSec, expected.speedDegPerSec);
        QCOMPARE(std::memcmp(satellite_list[i].position, copies[i].position, sizeof(double) * 3),
                 0);
    }
    satellite_list.clear();
    recomputeLiveRows();
    QVERIFY(liveRows.empty());
}

QTEST_GUILESS_MAIN(TestObservation)
#include "tst_observation.moc"
