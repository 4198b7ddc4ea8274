// The pass planner. The pass search and the Sun against references of the test's own: passes
// from sampling every second with bisection and golden sections, the Sun from Meeus' formulae (as
// NOAA's solar calculator uses them) and the shadow from the Earth's umbra cone; the magnitudes.
// orbitrak-cli passes is tested as a program in tests/tools, the tables in tests/app.
#include "astro/horizon_mask.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "planning/magnitudes.h"
#include "planning/passes.h"
#include "sky/observation.h"
#include "tests/common/file_bytes.h"
#include "tests/common/test_sets.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

namespace {

constexpr double kDeg = 0.017453292519943295;
constexpr double kSecond = 1.0 / 86400.0;

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

    // The catalogue search, sampling on a common grid: the passes findPasses finds set by set, to
    // its tolerances, in their order, the same for any number of threads; it stops when asked to.
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
        for (std::size_t i = 1; i < one.size(); ++i) // by first instant, then catalogue number
            QVERIFY(one[i - 1].pass.startJd < one[i].pass.startJd ||
                    (one[i - 1].pass.startJd == one[i].pass.startJd &&
                     catalogue[one[i - 1].index].elements.satnum <
                         catalogue[one[i].index].elements.satnum));
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

private:
    TimeScales scales;
};

QTEST_GUILESS_MAIN(TestPasses)
#include "tst_passes.moc"
