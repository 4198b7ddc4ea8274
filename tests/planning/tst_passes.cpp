// The pass planner. The pass search and the Sun against references of the test's own: passes
// from sampling every second with bisection and golden sections, the Sun from Meeus' formulae (as
// NOAA's solar calculator uses them) and the shadow from the Earth's umbra cone; orbitrak-cli
// passes run as a program. Then the models the window shows: the live table's new columns and
// the pass table.
#include "app/passes_model.h"
#include "app/satellite_table_model.h"
#include "astro/horizon_mask.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "planning/magnitudes.h"
#include "planning/pass_export.h"
#include "planning/passes.h"
#include "sky/observation.h"
#include "sky/observing_sites.h"
#include "sky/sky_session.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"
#include "tests/common/scratch_settings_main.h"
#include "tests/common/test_sets.h"

#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <vector>

namespace {

constexpr double kDeg = 0.017453292519943295;
constexpr double kSecond = 1.0 / 86400.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Meeus, Astronomical Algorithms ch. 25 (low accuracy): apparent right ascension and
// declination of date, radians.
void meeusSun(double jdTt, double& ra, double& dec, double& distanceM) {
    const double T = (jdTt - 2451545.0) / 36525.0;
    const double L0 = 280.46646 + T * (36000.76983 + 0.0003032 * T);
    const double M = (357.52911 + T * (35999.05029 - 0.0001537 * T)) * kDeg;
    const double e = 0.016708634 - T * (0.000042037 + 0.0000001267 * T);
    const double C = (1.914602 - T * (0.004817 + 0.000014 * T)) * std::sin(M) +
                     (0.019993 - 0.000101 * T) * std::sin(2 * M) + 0.000289 * std::sin(3 * M);
    const double omega = (125.04 - 1934.136 * T) * kDeg;
    const double lambda = (L0 + C - 0.00569 - 0.00478 * std::sin(omega)) * kDeg;
    const double eps0 =
        23.0 + (26.0 + (21.448 - T * (46.815 + T * (0.00059 - 0.001813 * T))) / 60) / 60;
    const double eps = (eps0 + 0.00256 * std::cos(omega)) * kDeg;
    ra = std::atan2(std::cos(eps) * std::sin(lambda), std::cos(lambda));
    dec = std::asin(std::sin(eps) * std::sin(lambda));
    const double v = M + C * kDeg;
    distanceM = 149597870700.0 * 1.000001018 * (1 - e * e) / (1 + e * std::cos(v));
}

// The Sun's geometric altitude from hour angle and declination (Meeus 12.4 sidereal time).
double meeusSunAltitude(const TimeScales& scales, double jd, double latDeg, double eastLonDeg) {
    double ra, dec, distance;
    meeusSun(jd + kWorkingToTtDays, ra, dec, distance);
    const double d = scales.ut1FromJd(jd) - 2451545.0;
    const double T = d / 36525.0;
    const double gmst = 280.46061837 + 360.98564736629 * d + T * T * (0.000387933 - T / 38710000);
    const double hourAngle = std::fmod(gmst + eastLonDeg, 360.0) * kDeg - ra;
    const double lat = latDeg * kDeg;
    return std::asin(std::sin(lat) * std::sin(dec) +
                     std::cos(lat) * std::cos(dec) * std::cos(hourAngle)) /
           kDeg;
}

Vec3 meeusSunVector(double jdTt) {
    double ra, dec, distance;
    meeusSun(jdTt, ra, dec, distance);
    return {distance * std::cos(dec) * std::cos(ra), distance * std::cos(dec) * std::sin(ra),
            distance * std::sin(dec)};
}

// The radius of the umbra cone (whose points see none of the Sun's disc) at a distance behind
// the Earth's centre.
double umbraRadius(double behind, double sunDistance) {
    const double apex =
        kEarthEquatorialRadius * sunDistance / (kSunRadius - kEarthEquatorialRadius);
    return (apex - behind) *
           std::tan(std::asin((kSunRadius - kEarthEquatorialRadius) / sunDistance));
}

bool outsideUmbra(const Vec3& r, const Vec3& sun) {
    const double d = length(sun);
    const Vec3 s{sun.x / d, sun.y / d, sun.z / d};
    const double behind = -dot(r, s);
    const Vec3 across{r.x + behind * s.x, r.y + behind * s.y, r.z + behind * s.z};
    return behind <= 0 || length(across) >= umbraRadius(behind, d);
}

// How far the Sun's disc stands clear of the Earth's limb seen from r, degrees.
double clearance(const Vec3& r, const Vec3& sun) {
    const Vec3 toSun = difference(sun, r);
    const double apart = std::acos(-dot(r, toSun) / (length(r) * length(toSun)));
    return (apart - std::asin(kEarthEquatorialRadius / length(r)) +
            std::asin(kSunRadius / length(toSun))) /
           kDeg;
}

struct Reference {
    double rise, culmination, set, peak; // seconds from the window's start; -1: none
};

// Every second, then bisection for the crossings and golden sections for the maxima.
std::vector<Reference> densePasses(const std::function<double(double)>& altitude, double span,
                                   const std::function<double(double)>& threshold) {
    const auto crossing = [&](double below, double above) {
        while (std::fabs(above - below) > 1e-4) {
            const double mid = 0.5 * (below + above);
            (altitude(mid) > threshold(mid) ? above : below) = mid;
        }
        return 0.5 * (below + above);
    };
    const auto peak = [&](double a, double b) {
        const double g = 0.6180339887498949;
        while (b - a > 1e-4) {
            const double x1 = b - g * (b - a), x2 = a + g * (b - a);
            (altitude(x1) < altitude(x2) ? a : b) = altitude(x1) < altitude(x2) ? x1 : x2;
        }
        return 0.5 * (a + b);
    };
    std::vector<Reference> passes;
    std::vector<double> alt;
    for (int t = 0; t <= int(span); ++t)
        alt.push_back(altitude(t));
    for (int t = 0; t < int(alt.size()); ++t) {
        if (alt[t] <= threshold(t))
            continue;
        Reference r{t == 0 ? -1.0 : crossing(t - 1, t), 0, -1, 0};
        int best = t;
        for (; t < int(alt.size()) && alt[t] > threshold(t); ++t)
            if (alt[t] > alt[best])
                best = t;
        if (t < int(alt.size()))
            r.set = crossing(t, t - 1);
        const double lo = std::max(best - 1.0, r.rise < 0 ? 0.0 : r.rise);
        const double hi = std::min(best + 1.0, r.set < 0 ? span : r.set);
        r.culmination = peak(lo, hi);
        r.peak = std::max({altitude(r.culmination), altitude(lo), altitude(hi)});
        passes.push_back(r);
    }
    return passes;
}

// A stride through the catalogue, and the first sets of the kinds that are hard to sample:
// very eccentric, half-day and one-day orbits.
std::vector<std::size_t> sampleSets(std::size_t offset) {
    const Catalogue& c = activeCatalogue();
    std::vector<std::size_t> chosen;
    for (std::size_t i = offset; i < c.size(); i += c.size() / 10)
        chosen.push_back(i);
    const auto firstWith = [&c](const std::function<bool(const ElementSet&)>& kind, int skip) {
        for (std::size_t i = 0; i < c.size(); ++i)
            if (kind(c[i].elements) && skip-- == 0)
                return i;
        return std::size_t(0);
    };
    const double revPerDay = 1440.0 / (2 * M_PI);
    chosen.push_back(firstWith([](const ElementSet& e) { return e.ecco > 0.6; }, int(offset % 5)));
    chosen.push_back(firstWith(
        [&](const ElementSet& e) {
            return std::fabs(e.no * revPerDay - 2.006) < 0.01 && e.ecco > 0.6;
        },
        int(offset % 3)));
    chosen.push_back(
        firstWith([&](const ElementSet& e) { return std::fabs(e.no * revPerDay - 1.0027) < 0.01; },
                  int(offset)));
    return chosen;
}

} // namespace

class TestPasses : public QObject {
    Q_OBJECT

private slots:
    void passesMatchDenseSampling_data() {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("eastLongitude");
        QTest::addColumn<double>("elevation");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("withTable");     // else the fallback leap count: much faster
        QTest::addColumn<QByteArray>("horizon"); // a horizon file
        QTest::newRow("Zurich") << 47.5 << 8.5 << 450.0 << 0.0 << 0 << true << QByteArray();
        QTest::newRow("Tromso, north of the Arctic circle")
            << 69.65 << 18.96 << 100.0 << 0.0 << 1 << false << QByteArray();
        QTest::newRow("Santiago de Chile")
            << -33.45 << -70.67 << 570.0 << 0.0 << 2 << false << QByteArray();
        QTest::newRow("Equator, Pacific")
            << 0.5 << -160.0 << 0.0 << 0.0 << 3 << false << QByteArray();
        // Short passes near the top of the sky, most of them between two samples.
        QTest::newRow("Zurich, above 55 deg")
            << 47.5 << 8.5 << 450.0 << 55.0 << 4 << false << QByteArray();
        // Walls, a peak across north, and a threshold above the mask's low side.
        QTest::newRow("Zurich, behind a mask")
            << 47.5 << 8.5 << 450.0 << 5.0 << 5 << false
            << QByteArray("350 40\n10 2\n80 25\n120 0\n200 12\n# east wall\n260,30\n");
    }

    void passesMatchDenseSampling() {
        QFETCH(double, latitude);
        QFETCH(double, eastLongitude);
        QFETCH(double, elevation);
        QFETCH(double, threshold);
        QFETCH(int, offset);
        QFETCH(bool, withTable);
        QFETCH(QByteArray, horizon);
        HorizonMask mask;
        QVERIFY(mask.parse(horizon.toStdString()));
        const std::optional<UtcTable> table = loadUtcFile(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(table);
        const TimeScales scales = withTable ? TimeScales(*table) : TimeScales();
        const Site site{latitude * kDeg, -eastLongitude * kDeg, elevation};
        PassWindow window;
        window.fromJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19));
        window.toJd = window.fromJd + 0.5;
        window.minAltitudeDeg = threshold;
        window.horizon = &mask;
        const double span = 43200.0;
        int compared = 0, sunlitCompared = 0;

        for (std::size_t index : sampleSets(std::size_t(offset))) {
            CatalogueEntry satellite = activeCatalogue()[index];
            const auto altitude = [&](double t) {
                const Vec3 enu = topocentricEnu(
                    satellite, observationInstant(scales, window.fromJd + t * kSecond, site));
                const double a = sphericalAngles(enu).beta / kDeg;
                return std::isfinite(a) ? a : -90.0;
            };
            const auto clears = [&](double t) {
                if (mask.isFlat())
                    return threshold;
                const Vec3 enu = topocentricEnu(
                    satellite, observationInstant(scales, window.fromJd + t * kSecond, site));
                return std::max(threshold, mask.altitudeAt(horizonDirection(enu).azimuthDeg));
            };
            const std::vector<Reference> expected = densePasses(altitude, span, clears);
            std::size_t propagations = 0;
            const std::vector<SatellitePass> found =
                findPasses(satellite, scales, site, window, &propagations);
            const QByteArray name(satellite.displayName);
            QVERIFY2(propagations <= 1000, name); // 2,000 per satellite-day

            const auto seconds = [&](double jd) {
                return (jd - window.fromJd) / kSecond;
            };
            std::size_t k = 0;
            for (const SatellitePass& p : found) {
                // Passes the reference cannot see are shorter than its step.
                while (k < expected.size() && expected[k].set >= 0 &&
                       expected[k].set < seconds(p.startJd) - 1)
                    QFAIL(name + " missed a pass at " + QByteArray::number(expected[k++].rise));
                const bool seen = k < expected.size() &&
                                  (expected[k].rise < 0 || expected[k].rise < seconds(p.endJd) + 1);
                if (!seen) {
                    QVERIFY2(seconds(p.endJd) - seconds(p.startJd) < 10, name);
                    continue;
                }
                const Reference& r = expected[k++];
                QCOMPARE(p.hasRise, r.rise >= 0);
                QCOMPARE(p.hasSet, r.set >= 0);
                if (p.hasRise)
                    QVERIFY2(std::fabs(seconds(p.rise.jd) - r.rise) < 0.5, name);
                if (p.hasSet)
                    QVERIFY2(std::fabs(seconds(p.set.jd) - r.set) < 0.5, name);
                QVERIFY2(std::fabs(p.culmination.altitudeDeg - r.peak) < 0.002, name);

                const double jd = p.culmination.jd;
                QVERIFY2(std::fabs(p.sunAltitudeDeg -
                                   meeusSunAltitude(scales, jd, latitude, eastLongitude)) < 0.05,
                         name);
                topocentricEnu(satellite, observationInstant(scales, jd, site));
                const Vec3 r3{satellite.position[0], satellite.position[1], satellite.position[2]};
                const Vec3 sun = meeusSunVector(jd + kWorkingToTtDays);
                if (std::fabs(clearance(r3, sun)) > 0.3) {
                    QCOMPARE(p.sunlit, outsideUmbra(r3, sun));
                    ++sunlitCompared;
                }
                QCOMPARE(p.visible, p.sunlit && p.sunAltitudeDeg < -6.0);
                ++compared;
            }
            for (; k < expected.size(); ++k)
                QVERIFY2(expected[k].set >= 0 &&
                             expected[k].set - std::max(expected[k].rise, 0.0) < 10,
                         name + " missed a pass at the end");
        }
        QVERIFY2(compared >= 8 && sunlitCompared >= 4, QByteArray::number(compared));
    }

    void horizonMaskReads_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("badLine");           // 0: read
        QTest::addColumn<QList<QPointF>>("probes"); // azimuth, expected altitude
        using P = QList<QPointF>;
        QTest::newRow("empty: flat")
            << QByteArray("# nothing\n\n") << 0 << P{{0, 0}, {123, 0}, {359.9, 0}};
        QTest::newRow("blanks, tabs, commas, comments, CRLF")
            << QByteArray("# az alt\r\n0 10\r\n 90,\t30 # wall\n180 , 10\n270 0\n") << 0
            << P{{0, 10}, {45, 20}, {90, 30}, {135, 20}, {225, 5}, {315, 5}, {-45, 5}, {405, 20}};
        QTest::newRow("unsorted, wraps across north")
            << QByteArray("300 20\n60 8\n") << 0 << P{{0, 14}, {330, 17}, {30, 11}, {180, 14}};
        QTest::newRow("one point: level") << QByteArray("45 7.5\n") << 0 << P{{200, 7.5}};
        QTest::newRow("one number") << QByteArray("0 1\n# c\n90\n") << 3 << P{};
        QTest::newRow("three numbers") << QByteArray("0 1 2\n") << 1 << P{};
        QTest::newRow("not a number") << QByteArray("0 1\n10 1x\n") << 2 << P{};
        QTest::newRow("altitude above 90") << QByteArray("\n\n5 91\n") << 3 << P{};
        QTest::newRow("infinite azimuth") << QByteArray("inf 3\n") << 1 << P{};
    }

    void horizonMaskReads() {
        QFETCH(QByteArray, text);
        QFETCH(int, badLine);
        QFETCH(QList<QPointF>, probes);
        HorizonMask mask(std::vector<HorizonMask::Point>{{10, 5}});
        int line = 0;
        QCOMPARE(mask.parse(text.toStdString(), &line), badLine == 0);
        QCOMPARE(line, badLine);
        if (badLine != 0) // refused: the old mask stays
            QCOMPARE(mask.altitudeAt(300), 5.0);
        for (const QPointF& p : probes)
            QVERIFY2(std::fabs(mask.altitudeAt(p.x()) - p.y()) < 1e-9,
                     qPrintable(QString::number(p.x())));
    }

    void sunMatchesMeeus_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::newRow("1955") << 1955 << 1;
        QTest::newRow("2000 June solstice") << 2000 << 6;
        QTest::newRow("2026 March equinox") << 2026 << 3;
        QTest::newRow("2049") << 2049 << 11;
    }

    // Both theories claim 0.01 deg; the Almanac's comes on the mean equinox, Meeus' on the true
    // one.
    void sunMatchesMeeus() {
        QFETCH(int, year);
        QFETCH(int, month);
        for (int day = 1; day <= 28; day += 9) {
            const double jdTt = calendarToJd(nullptr, makeCalendar(year, month, day, 6));
            const double apart = angleBetween(sunPosition(jdTt), meeusSunVector(jdTt)) / kDeg;
            QVERIFY2(apart < 0.02, QByteArray::number(apart));
        }
    }

    void sunlitOutsideTheUmbra_data() {
        QTest::addColumn<double>("behindKm"); // along the shadow's axis
        QTest::addColumn<double>("offsetKm"); // from the umbra's edge, outwards
        QTest::newRow("low orbit, edge of the umbra") << 3000.0 << 3.0;
        QTest::newRow("low orbit, in the umbra") << 3000.0 << -3.0;
        QTest::newRow("low orbit, in the penumbra") << 3000.0 << 40.0;
        QTest::newRow("geostationary, in the penumbra") << 42000.0 << 3.0;
        QTest::newRow("geostationary, in the umbra") << 42000.0 << -3.0;
        QTest::newRow("on the day side") << -7000.0 << 0.0;
    }

    void sunlitOutsideTheUmbra() {
        QFETCH(double, behindKm);
        QFETCH(double, offsetKm);
        const Vec3 sun = sunPosition(2461119.0);
        const double d = length(sun);
        const Vec3 axis{-sun.x / d, -sun.y / d, -sun.z / d};
        const Vec3 across = cross(axis, Vec3{0, 0, 1});
        const double k = (umbraRadius(behindKm * 1000, d) + offsetKm * 1000) / length(across);
        const Vec3 r{axis.x * behindKm * 1000 + across.x * k,
                     axis.y * behindKm * 1000 + across.y * k,
                     axis.z * behindKm * 1000 + across.z * k};
        QCOMPARE(isSunlit(r, sun), offsetKm > 0 || behindKm < 0);
    }

    // The catalogue search, sampling on a common grid: the passes findPasses finds set by set,
    // to its tolerances, the same for any number of threads; and it stops when asked to.
    void catalogueSearchAgreesWithEachSet() {
        const QList<QByteArray> head =
            readBytes(ORBITRAK_ACTIVE_CATALOGUE).split('\n').mid(0, 2400);
        QVERIFY(writeBytes("many.txt", head.join('\n') + '\n'));
        Catalogue catalogue;
        readCatalogueFile("many.txt", 0, catalogue);
        QCOMPARE(int(catalogue.size()), 800);
        PassWindow window;
        window.fromJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19));
        window.toJd = window.fromJd + 0.1;
        const Site site{51.5 * kDeg, -0.1 * kDeg, 20};
        const std::vector<CataloguePass> one =
            findCataloguePasses(catalogue, scales, site, window, 0, {}, 1);
        const std::vector<CataloguePass> three =
            findCataloguePasses(catalogue, scales, site, window, 0, {}, 3);
        QVERIFY(one.size() > 100);
        QCOMPARE(three.size(), one.size());
        const auto same = [](const PassPoint& a, const PassPoint& b) {
            return a.jd == b.jd && a.azimuthDeg == b.azimuthDeg && a.altitudeDeg == b.altitudeDeg;
        };
        for (std::size_t i = 0; i < one.size(); ++i) {
            const SatellitePass &a = one[i].pass, &b = three[i].pass;
            QVERIFY(one[i].index == three[i].index && same(a.rise, b.rise) &&
                    same(a.culmination, b.culmination) && same(a.set, b.set) &&
                    a.sunAltitudeDeg == b.sunAltitudeDeg && a.visible == b.visible);
        }

        std::vector<std::vector<SatellitePass>> bySet(catalogue.size());
        for (const CataloguePass& p : one)
            bySet[p.index].push_back(p.pass);
        for (std::size_t i = 0; i < catalogue.size(); ++i) {
            std::vector<SatellitePass> alone = findPasses(catalogue[i], scales, site, window);
            std::sort(bySet[i].begin(), bySet[i].end(),
                      [](const auto& a, const auto& b) { return a.startJd < b.startJd; });
            QCOMPARE(bySet[i].size(), alone.size());
            for (std::size_t k = 0; k < alone.size(); ++k) {
                const SatellitePass &a = alone[k], &b = bySet[i][k];
                QVERIFY(a.hasRise == b.hasRise && a.hasSet == b.hasSet);
                QVERIFY(std::fabs(a.startJd - b.startJd) < 0.0011 * kSecond);
                QVERIFY(std::fabs(a.endJd - b.endJd) < 0.0011 * kSecond);
                QVERIFY(std::fabs(a.culmination.altitudeDeg - b.culmination.altitudeDeg) < 1e-5);
            }
        }

        int asked = 0;
        const std::vector<CataloguePass> stopped = findCataloguePasses(
            catalogue, scales, site, window, 0, [&asked] { return ++asked < 2; }, 1);
        QVERIFY(stopped.size() < one.size());
    }

    // orbitrak-cli passes against the search itself: the format of every field and the order.
    void cliListsThePassesAsCsv() {
        // Satellites on every kind of orbit.
        const QList<QByteArray> head = readBytes(ORBITRAK_ACTIVE_CATALOGUE).split('\n').mid(0, 120);
        QVERIFY(writeBytes("sets.txt", head.join('\n') + '\n'));
        // The working folder holds no time table: the fallback, as below.
        const ProgramRun cli =
            runProgram(ORBITRAK_CLI,
                       {"passes", "--tle", "sets.txt", "--from", "2026-03-19T00:00:00Z", "--hours",
                        "6", "--lat", "-33.45", "--lon", "-70.67", "--elev", "570", "--csv"});
        QCOMPARE(cli.exitCode, 0);
        QStringList lines = QString::fromUtf8(cli.out).split('\n');
        QCOMPARE(
            lines.takeFirst(),
            QStringLiteral(
                "catalog,name,rise_utc,rise_azimuth_deg,culmination_utc,culmination_altitude_deg,"
                "culmination_azimuth_deg,set_utc,set_azimuth_deg,sunlit,sun_altitude_deg,visible"));
        QCOMPARE(lines.takeLast(), QString());

        Catalogue catalogue;
        readCatalogueFile("sets.txt", 0, catalogue);
        PassWindow window;
        window.fromJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19));
        window.toJd = window.fromJd + 0.25;
        const Site site{-33.45 * kDeg, 70.67 * kDeg, 570};
        const std::vector<CataloguePass> passes =
            findCataloguePasses(catalogue, scales, site, window);
        QCOMPARE(lines.size(), int(passes.size()));

        const QRegularExpression time(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
        const QRegularExpression angle(QStringLiteral("^-?\\d+\\.\\d{6}$"));
        const auto instant = [&](const QString& text) {
            return scales.workingJdFromUtcCalendar(*parseCalendar(text.toStdString()));
        };
        int unrisen = 0, unset = 0;
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList f = lines[i].split(',');
            const SatellitePass& p = passes[std::size_t(i)].pass;
            QCOMPARE(f.size(), 12);
            QCOMPARE(f[0].toInt(), int(catalogue[passes[std::size_t(i)].index].elements.satnum));
            for (int k : {2, 7}) {
                const bool present = k == 2 ? p.hasRise : p.hasSet;
                QCOMPARE(f[k].isEmpty(), !present);
                QCOMPARE(f[k + 1].isEmpty(), !present);
                if (present) {
                    QVERIFY2(time.match(f[k]).hasMatch() && angle.match(f[k + 1]).hasMatch(),
                             qPrintable(f[k]));
                    QVERIFY(std::fabs(instant(f[k]) - (k == 2 ? p.rise.jd : p.set.jd)) <
                            0.0006 * kSecond);
                }
            }
            unrisen += !p.hasRise;
            unset += !p.hasSet;
            QVERIFY(time.match(f[4]).hasMatch());
            QVERIFY(std::fabs(instant(f[4]) - p.culmination.jd) < 0.0006 * kSecond);
            for (int k : {5, 6, 10})
                QVERIFY2(angle.match(f[k]).hasMatch(), qPrintable(f[k]));
            QCOMPARE(f[5].toDouble(), std::round(p.culmination.altitudeDeg * 1e6) / 1e6);
            QCOMPARE(f[9], QString(p.sunlit ? "yes" : "no"));
            QCOMPARE(f[11], QString(p.visible ? "yes" : "no"));
            if (i > 0) { // by first instant, then catalogue number
                const SatellitePass& q = passes[std::size_t(i) - 1].pass;
                QVERIFY(
                    q.startJd < p.startJd ||
                    (q.startJd == p.startJd && lines[i - 1].split(',')[0].toInt() < f[0].toInt()));
            }
        }
        QVERIFY(unrisen > 0 && unset > 0);

        QCOMPARE(runProgram(ORBITRAK_CLI, {"passes", "--hours", "x"}).exitCode, 2);
        // A horizon raises rises and lowers sets; a malformed one is refused, naming the line.
        QVERIFY(writeBytes("horizon.txt", "0 10\n# wall\n180, 60\n"));
        const ProgramRun masked = runProgram(
            ORBITRAK_CLI, {"passes", "--tle", "sets.txt", "--from", "2026-03-19T00:00:00Z",
                           "--hours", "6", "--lat", "-33.45", "--lon", "-70.67", "--elev", "570",
                           "--csv", "--horizon", "horizon.txt"});
        QCOMPARE(masked.exitCode, 0);
        const QStringList maskedLines = QString::fromUtf8(masked.out).split('\n');
        QVERIFY(maskedLines.size() > 2 && maskedLines.size() < lines.size() + 2);
        QVERIFY(writeBytes("horizon.txt", "0 10\n\n180 sixty\n"));
        const ProgramRun refused =
            runProgram(ORBITRAK_CLI, {"passes", "--tle", "sets.txt", "--horizon", "horizon.txt"});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains("line 3"), refused.err);
    }

    // orbitrak-cli --site NAME: the named site of the settings, with its horizon file, gives what
    // the same values given by hand give; --horizon wins over the site's file. An unknown name,
    // or --site with --lat, --lon or --elev, is refused.
    void cliTakesANamedSite_data() {
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QStringList>("byHand"); // empty: refused, the error below on stderr
        QTest::addColumn<QString>("error");
        const QStringList home{"--lat", "-33.45", "--lon", "-70.67", "--elev", "570"};
        const QStringList passes{
            "passes",  "--tle", "site-sets.txt", "--from", "2026-03-19T00:00:00Z",
            "--hours", "6",     "--csv"};
        const QStringList sky{"sky",  "--tle", "site-sets.txt", "--at", "2026-03-19T00:00:00Z",
                              "--csv"};
        const QStringList transits{
            "transits", "--tle", "site-sets.txt", "--from", "2026-03-19T00:00:00Z",
            "--hours",  "24",    "--csv"};
        const auto row = [](const char* name, const QStringList& named, const QStringList& byHand,
                            const QString& error = {}) {
            QTest::newRow(name) << named << byHand << error;
        };
        row("sky", sky + QStringList{"--site", "Home"}, sky + home);
        row("passes", passes + QStringList{"--site", "Home"}, passes + home);
        row("passes, the site's horizon", passes + QStringList{"--site", "Garden"},
            passes + home + QStringList{"--horizon", "garden.txt"});
        row("passes, --horizon wins",
            passes + QStringList{"--site=Garden", "--horizon", "roof.txt"},
            passes + home + QStringList{"--horizon", "roof.txt"});
        row("transits", transits + QStringList{"--site", "Home"}, transits + home);
        row("unknown", sky + QStringList{"--site", "Nowhere"}, {},
            "orbitrak-cli: sky: no observing site named 'Nowhere' in the settings");
        row("with --lat", passes + QStringList{"--site", "Home", "--lat", "1"}, {},
            "orbitrak-cli: passes: --site and --lat, --lon, --elev exclude each other");
        row("with --elev", transits + QStringList{"--elev", "1", "--site", "Home"}, {},
            "orbitrak-cli: transits: --site and --lat, --lon, --elev exclude each other");
    }

    void cliTakesANamedSite() {
        QFETCH(QStringList, named);
        QFETCH(QStringList, byHand);
        QFETCH(QString, error);
        const QList<QByteArray> head = readBytes(ORBITRAK_ACTIVE_CATALOGUE).split('\n').mid(0, 60);
        QVERIFY(writeBytes("site-sets.txt", head.join('\n') + '\n'));
        QVERIFY(writeBytes("garden.txt", "0 10\n180, 60\n"));
        QVERIFY(writeBytes("roof.txt", "0 30\n"));
        const ObservingSite home{"Home", -33.45, -70.67, 570.0, QString()};
        ObservingSite garden = home;
        garden.name = "Garden";
        garden.horizonFile = QDir::current().filePath("garden.txt");
        QVERIFY(writeObservingSites({home, garden}));
        const ProgramRun run = runProgram(ORBITRAK_CLI, named);
        if (byHand.isEmpty()) {
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.startsWith(error.toUtf8()), run.err.constData());
            return;
        }
        const ProgramRun expected = runProgram(ORBITRAK_CLI, byHand);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(expected.exitCode, 0);
        QVERIFY(run.out.count('\n') > 1);
        QCOMPARE(run.out, expected.out);
    }

    void magnitudeFromGeometry_data() {
        QTest::addColumn<double>("rangeKm");
        QTest::addColumn<double>("phaseDeg");
        QTest::addColumn<double>("lit"); // the fraction seen; 0: no magnitude
        QTest::newRow("half") << 1000.0 << 90.0 << 0.5;
        QTest::newRow("twice as far") << 2000.0 << 90.0 << 0.5;
        QTest::newRow("full") << 1000.0 << 0.0 << 1.0;
        QTest::newRow("a quarter") << 500.0 << 120.0 << 0.25;
        QTest::newRow("new") << 1000.0 << 180.0 << 0.0;
    }

    // The Sun 1 AU from the satellite, at the phase angle from the direction to the observer.
    void magnitudeFromGeometry() {
        QFETCH(double, rangeKm);
        QFETCH(double, phaseDeg);
        QFETCH(double, lit);
        const Vec3 fromObserver{0, 0, rangeKm * 1000};
        const double toSun = 1.496e11, phase = phaseDeg * kDeg;
        const Vec3 sun{toSun * std::sin(phase), 0, -toSun * std::cos(phase)};
        const std::optional<double> m = estimatedMagnitude(2.0, fromObserver, sun);
        QCOMPARE(m.has_value(), lit > 0);
        const double expected = 2.0 - 15.75 + 2.5 * std::log10(rangeKm * rangeKm / lit);
        if (m)
            QVERIFY2(std::fabs(*m - expected) < 1e-9, qPrintable(QString::number(*m)));
    }

    void magnitudeFileRead_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("errorLine"); // 0: read
        QTest::newRow("good") << QByteArray("# qs\n\n25544 -1.8\r\n  00694 3.5 # Atlas\n") << 0;
        QTest::newRow("no magnitude") << QByteArray("25544 -1.8\n694\n") << 2;
        QTest::newRow("not a number") << QByteArray("#\nISS -1.8\n") << 2;
        QTest::newRow("extra field") << QByteArray("25544 -1.8 x\n") << 1;
        QTest::newRow("negative number") << QByteArray("-5 1\n") << 1;
        QTest::newRow("huge") << QByteArray("5 1e999\n") << 1;
        QTest::newRow("nan") << QByteArray("5 nan\n") << 1;
        QTest::newRow("overlong") << "5 1\n6 1" + QByteArray(2000, ' ') + "\n" << 2;
        QTest::newRow("zero byte") << QByteArray("5 1\n6 1\0x\n", 11) << 2;
    }

    void magnitudeFileRead() {
        QFETCH(QByteArray, text);
        QFETCH(int, errorLine);
        std::istringstream in(text.toStdString());
        StandardMagnitudes magnitudes{{1, 1.0}};
        const MagnitudeReadResult read = readStandardMagnitudes(in, magnitudes);
        QCOMPARE(read.ok, errorLine == 0);
        QCOMPARE(read.errorLine, errorLine);
        QCOMPARE(magnitudes.size(), std::size_t(errorLine == 0 ? 2 : 0));
        if (errorLine == 0)
            QCOMPARE(magnitudes.at(694), 3.5);
    }

    // orbitrak-cli passes --magnitudes and --ics; the calendar read back by python3-icalendar.
    // The sets: 40 of every kind, a geostationary one always up (ASTRA 1KR), and three without a
    // position that never pass.
    void cliWritesMagnitudesAndCalendar() {
        const QList<QByteArray> all = readBytes(ORBITRAK_ACTIVE_CATALOGUE).split('\n');
        QVERIFY(all.value(549) == "ASTRA 1KR");
        QVERIFY(writeBytes("sets.txt",
                           (all.mid(0, 120) + all.mid(549, 3)).join('\n') + '\n' + kInvalidSets));
        Catalogue catalogue;
        readCatalogueFile("sets.txt", 0, catalogue);
        QByteArray magnitudes = "# standard magnitudes\n";
        for (std::size_t i = 0; i < catalogue.size(); i += 2)
            magnitudes += QByteArray::number(int(catalogue[i].elements.satnum)) + " 4.0\n";
        QVERIFY(writeBytes("mags.txt", magnitudes));
        const QStringList args = {"passes",  "--tle", "sets.txt", "--from", "2026-03-19T00:00:00Z",
                                  "--hours", "6",     "--lat",    "48.1",   "--lon",
                                  "11.6"};
        const ProgramRun csv =
            runProgram(ORBITRAK_CLI, args + QStringList{"--csv", "--magnitudes", "mags.txt"});
        QCOMPARE(csv.exitCode, 0);
        QStringList lines = QString::fromUtf8(csv.out).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.takeFirst().endsWith(",visible,magnitude"));
        int known = 0, shadow = 0;
        for (const QString& line : lines) {
            const QStringList f = line.split(',');
            QCOMPARE(f.size(), 13);
            const bool listed = magnitudes.contains("\n" + f[0].toUtf8() + " ");
            QCOMPARE(!f[12].isEmpty(), listed && f[9] == "yes");
            known += !f[12].isEmpty();
            shadow += listed && f[9] == "no";
            if (!f[12].isEmpty()) // between 200 km, full, and geostationary range, lit 1/10000
                QVERIFY2(f[12].toDouble() > 4.0 - 15.75 + 2.5 * std::log10(200 * 200) &&
                             f[12].toDouble() < 4.0 - 15.75 + 2.5 * std::log10(4.2e4 * 4.2e4 * 1e4),
                         qPrintable(line));
        }
        QVERIFY(known > 0 && shadow > 0);
        QCOMPARE(
            runProgram(ORBITRAK_CLI, args + QStringList{"--magnitudes", "nothing.txt"}).exitCode,
            2);

        // Each calendar read back: its events' lines. The second window opens ten minutes sooner.
        const auto calendar = [&args](const QString& from) {
            QStringList ics = args;
            ics[4] = from;
            const ProgramRun cli = runProgram(ORBITRAK_CLI, ics << "--ics");
            const ProgramRun read =
                cli.exitCode == 0 && writeBytes("passes.ics", cli.out)
                    ? runProgram(ORBITRAK_PYTHON3, {ORBITRAK_READ_ICALENDAR, "passes.ics"})
                    : ProgramRun();
            if (read.exitCode != 0)
                qWarning() << read.err;
            return QString::fromUtf8(read.out).split('\n', Qt::SkipEmptyParts);
        };
        // A pass whole in both windows has the same UID in both, the rest none in the other.
        const QStringList events = calendar(args[4]);
        const QStringList sooner = calendar("2026-03-18T23:50:00Z");
        const auto uids = [](const QStringList& list, const QString& from, const QString& to) {
            QStringList found;
            for (const QString& event : list) {
                const QStringList e = event.split('|');
                if (e[1] >= from && e[2] <= to)
                    found << e[0];
            }
            return found;
        };
        const QStringList inBoth = uids(events, "2026-03-19T00:00:00Z", "2026-03-19T05:50:00Z");
        QVERIFY(inBoth.size() > 10 && inBoth.size() < sooner.size());
        QCOMPARE(uids(sooner, "2026-03-19T00:00:00Z", "2026-03-19T05:50:00Z"), inBoth);
        QCOMPARE(uids(events, "2026-03-19T00:00:00Z", "2026-03-19T06:00:00Z"),
                 uids(events, "", "~"));
        QCOMPARE(uids(sooner, "2026-03-18T23:50:00Z", "2026-03-19T05:50:00Z"),
                 uids(sooner, "", "~"));

        // Only whole passes, named by the catalogue number and the rise to the nearest minute;
        // the geostationary set, always up, under way in the CSV and absent here.
        QCOMPARE(lines.filter(QRegularExpression("^29055,ASTRA 1KR,,,[^,]*,[^,]*,[^,]*,,,")).size(),
                 1);
        QVERIFY(lines.filter(QRegularExpression("^9999")).isEmpty());
        QList<QStringList> whole;
        for (const QString& line : lines)
            if (!line.split(',')[2].isEmpty() && !line.split(',')[7].isEmpty())
                whole << line.split(',');
        QCOMPARE(events.size(), whole.size());
        for (int i = 0; i < events.size(); ++i) {
            const QStringList e = events[i].split('|');
            const QStringList& f = whole[i];
            QCOMPARE(e.size(), 5);
            const QDateTime rise = QDateTime::fromString(f[2], Qt::ISODateWithMs).addSecs(30);
            QCOMPARE(e[0], f[0] + '-' + rise.toUTC().toString("yyyyMMdd'T'HHmm") + "@orbitrak");
            for (const auto& [ics, csv] : {std::pair(e[1], f[2]), std::pair(e[2], f[7])}) // to 1 s
                QVERIFY2(
                    std::fabs(scales.workingJdFromUtcCalendar(*parseCalendar(ics.toStdString())) -
                              scales.workingJdFromUtcCalendar(*parseCalendar(csv.toStdString()))) <
                        0.51 * kSecond,
                    qPrintable(events[i]));
            QCOMPARE(e[3], QStringLiteral("%1, max %2\u00b0%3")
                               .arg(f[1])
                               .arg(std::round(f[5].toDouble()))
                               .arg(f[11] == "yes" ? ", visible" : ""));
            QVERIFY2(
                e[4].contains(QStringLiteral("azimuth %1\u00b0").arg(f[6].toDouble(), 0, 'f', 1)) &&
                    e[4].endsWith("Site: 48.1000\u00b0 N, 11.6000\u00b0 E, 120 m"),
                qPrintable(e[4]));
        }
    }

    // Sets whose elements give no position a satellite can have never pass, in the catalogue
    // search (near-Earth sets in its batch) or alone; the ISS beside them does.
    void setsWithoutPositionNeverPass() {
        QVERIFY(writeBytes("invalid.txt", kInvalidSets + group(kIssName)));
        Catalogue catalogue;
        QCOMPARE(readCatalogueFile("invalid.txt", 0, catalogue), 0);
        PassWindow window;
        window.fromJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19));
        window.toJd = window.fromJd + 1.0;
        const Site site{47.5 * kDeg, -8.5 * kDeg, 450};
        const std::vector<CataloguePass> passes =
            findCataloguePasses(catalogue, scales, site, window);
        QVERIFY(passes.size() > 2);
        for (const CataloguePass& p : passes)
            QCOMPARE(p.index, std::size_t(3));
        for (std::size_t i = 0; i < 3; ++i)
            QVERIFY(findPasses(catalogue[i], scales, site, window).empty());
    }

    void liveTableShowsAgeAndSunlight() {
        Catalogue catalogue;
        const double ages[] = {2.0, 3.0, 3.1, 10.0, 10.1};
        for (int i = 0; i < 6; ++i)
            catalogue.satellites.push_back(activeCatalogue()[0]);
        std::vector<LiveRow> rows;
        for (double age : ages)
            rows.push_back({1000, 10, 30, 0.1, age, Sunlight::Sunlit});
        rows.push_back({kNaN, kNaN, kNaN, kNaN, 4.0, Sunlight::Unknown});
        rows[1].sunlight = Sunlight::Shadow;
        const TimeScales scales;
        SkySession session(scales);
        session.setCatalogue(catalogue);
        session.showRows(rows);
        const SatelliteTableModel model(session);

        const auto text = [&model](int row, int column) {
            return model.index(row, column).data().toString();
        };
        const auto colour = [&model](int row, int column) {
            return model.index(row, column).data(Qt::ForegroundRole).value<QBrush>().color();
        };
        QCOMPARE(text(2, SatelliteTableModel::Age), QStringLiteral("3.1"));
        QCOMPARE(text(0, SatelliteTableModel::Sunlit), QStringLiteral("yes"));
        QCOMPARE(text(1, SatelliteTableModel::Sunlit), QStringLiteral("no"));
        QCOMPARE(text(5, SatelliteTableModel::Sunlit), QString()); // no position
        QCOMPARE(text(5, SatelliteTableModel::Age), QStringLiteral("4.0"));
        // The Age cell alone changes colour: amber above 3 days, red above 10.
        const QColor row = colour(0, SatelliteTableModel::Altitude);
        for (int r = 0; r < 5; ++r)
            for (int column = 0; column < SatelliteTableModel::ColumnCount; ++column)
                if (column != SatelliteTableModel::Age)
                    QCOMPARE(colour(r, column), row);
        QCOMPARE(colour(0, SatelliteTableModel::Age), row);
        QCOMPARE(colour(1, SatelliteTableModel::Age), row);
        const QColor amber = colour(2, SatelliteTableModel::Age);
        QVERIFY(amber != row);
        QCOMPARE(colour(3, SatelliteTableModel::Age), amber);
        QVERIFY(colour(4, SatelliteTableModel::Age) != amber &&
                colour(4, SatelliteTableModel::Age) != row);

        // Behind the horizon mask counts as below the horizon. The rows stand at 30 deg, 10 deg
        // azimuth; the NaN row is below.
        const QColor below = colour(5, SatelliteTableModel::Altitude);
        QVERIFY(below != row);
        const struct {
            const char* mask;
            bool behind;
        } masks[] = {{"0 20\n60 0", false}, {"0 40\n20 30", true}, {"10 30", true},
                     {"0 29.9", false},     {"", false},           {"300 -5\n60 -5", false}};
        for (const auto& m : masks) {
            HorizonMask mask;
            QVERIFY(mask.parse(m.mask));
            session.setHorizon(mask);
            QCOMPARE(colour(0, SatelliteTableModel::Name), m.behind ? below : row);
        }
    }

    void passTableDropsEndedPasses() {
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
        passes[0].magnitude = 3.0; // passes[1] has none
        passes[2].magnitude = -1.04;
        model.setPasses(passes);
        QCOMPARE(model.index(2, PassesModel::Magnitude).data().toString(), QStringLiteral("-1.0"));
        QCOMPARE(model.index(1, PassesModel::Magnitude).data().toString(), QString());
        proxy.setBrighterThan(3.0);
        QCOMPARE(proxy.rowCount(), 1);
        proxy.setBrighterThan(3.5);
        QCOMPARE(proxy.rowCount(), 2);
        proxy.setBrighterThan(std::nullopt);
        QCOMPARE(proxy.rowCount(), 3);

        model.dropEndedBefore(10.3);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.nextPassOf(4), 0);
        QCOMPARE(model.nextPassOf(7), -1);
    }

private:
    TimeScales scales;
};

ORBITRAK_SCRATCH_SETTINGS_MAIN(QGuiApplication, TestPasses)
#include "tst_passes.moc"
