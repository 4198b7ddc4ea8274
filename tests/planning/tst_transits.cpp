// Transits of the Sun and the Moon: the bodies against Meeus' worked examples, the search
// against a reference that samples satellite and body every 10 ms, the centre line by moving
// the site along it. orbitrak-cli transits is tested as a program in tests/tools.
#include "astro/angles.h"
#include "astro/moon.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "planning/magnitudes.h"
#include "planning/transits.h"
#include "sky/observation.h"
#include "tests/common/test_sets.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// Right ascension of the true equinox (degrees) and declination of a vector on the model's
// axes: the equation of the equinoxes added back.
void trueEquatorial(const Vec3& v, double ttJd, double& raDeg, double& decDeg) {
    const Nutation n = nutation(ttJd);
    const SphericalAngles a = sphericalAngles(v);
    raDeg = wrapDegrees((a.lambda + n.longitude * std::cos(n.meanObliquity + n.obliquity)) *
                        kDegreesPerRadian);
    decDeg = a.beta * kDegreesPerRadian;
}

double arcsec(double deg) {
    return deg * 3600.0;
}

// One set of the test catalogue by its number.
Catalogue oneSet(int number) {
    Catalogue catalogue;
    for (std::size_t i = 0; i < activeCatalogue().size(); ++i)
        if (activeCatalogue()[i].elements.satnum == number)
            catalogue.satellites.push_back(activeCatalogue()[i]);
    return catalogue;
}

const Site kMunich = Site::fromDegrees(48.0, 11.0, 500.0);

} // namespace

class TstTransits : public QObject {
    Q_OBJECT

    TimeScales scales; // the fallback leap count, as orbitrak-cli in a folder without a table

    std::vector<Transit> search(Catalogue& catalogue, const Site& site, int hour) {
        PassWindow window;
        window.fromJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, hour));
        window.toJd = window.fromJd + 1.0 / 24;
        return findCatalogueTransits(catalogue, scales, site, window);
    }

private slots:
    // Meeus, Astronomical Algorithms, example 47.a: 1992 April 12, 0h TD.
    void moonMatchesMeeus() {
        const double tt = 2448724.5;
        const EclipticPosition moon = moonEcliptic(tt);
        QVERIFY(std::fabs(arcsec(wrapDegrees(moon.longitude * kDegreesPerRadian) - 133.162655)) <
                0.01);
        QVERIFY(std::fabs(arcsec(moon.latitude * kDegreesPerRadian + 3.229126)) < 0.01);
        QVERIFY(std::fabs(moon.distance / 1000 - 368409.7) < 0.1);
        double ra, dec;
        trueEquatorial(moonPosition(tt), tt, ra, dec);
        // Meeus' nutation there is the full series; ours the main terms (0.11").
        QVERIFY2(std::fabs(arcsec(ra - 134.688470)) < 0.5, qPrintable(QString::number(ra, 'f', 6)));
        QVERIFY2(std::fabs(arcsec(dec - 13.768368)) < 0.5,
                 qPrintable(QString::number(dec, 'f', 6)));
    }

    // Example 25.b: 1992 October 13, 0h TD, from the full theory.
    void sunMatchesMeeus() {
        const double tt = 2448908.5;
        const SunEcliptic sun = sunEcliptic(tt);
        QVERIFY(std::fabs(arcsec(wrapDegrees(sun.longitude * kDegreesPerRadian) - 199.907347)) <
                0.3);
        QVERIFY(std::fabs(arcsec(sun.latitude * kDegreesPerRadian) - 0.62) < 0.1);
        QVERIFY(std::fabs(sun.distance / kAstronomicalUnit - 0.99760775) < 1e-7);
        double ra, dec;
        trueEquatorial(apparentSunPosition(tt), tt, ra, dec);
        // 13h13m30.749s, -7 47' 01.74"; Meeus' nutation there is the full series.
        const double dRa = arcsec(ra - 198.378121) * std::cos(dec * kRadiansPerDegree);
        const double dDec = arcsec(dec + 7.783817);
        QVERIFY2(std::hypot(dRa, dDec) < 1, qPrintable(QString::number(std::hypot(dRa, dDec))));
        // The planner's Sun stays within its 0.01 deg of the refined one, over a century.
        for (double jd = 2435000.5; jd < 2472000; jd += 1234.5)
            QVERIFY(angleBetween(sunPosition(jd), apparentSunPosition(jd)) * kDegreesPerRadian <
                    0.01);
    }

    // Crossings found in the test catalogue over Munich on 2026-03-19: the closest approach,
    // separation and duration against sampling every 10 ms; the centre line by moving the site.
    void transitsMatchDenseSampling_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("body");
        QTest::addColumn<int>("hour");
        QTest::newRow("EYESAT A, Sun") << 22825 << int(TransitBody::Sun) << 9;
        QTest::newRow("ONEWEB-0339, Moon") << 49205 << int(TransitBody::Moon) << 9;
    }
    void transitsMatchDenseSampling() {
        QFETCH(int, number);
        QFETCH(int, body);
        QFETCH(int, hour);
        Catalogue catalogue = oneSet(number);
        QCOMPARE(catalogue.size(), std::size_t(1));
        const std::vector<Transit> found = search(catalogue, kMunich, hour);
        QCOMPARE(found.size(), std::size_t(1));
        const Transit& t = found.front();
        QCOMPARE(int(t.body), body);
        QVERIFY(t.durationS > 0);

        CatalogueEntry& satellite = catalogue[0];
        double bestJd = 0, best = 1e9, inside = 0;
        for (int i = -3000; i <= 3000; ++i) {
            const double jd = t.jd + (i * 0.01 + 0.003) * kSecond; // off the search's instant
            const Vec3 s = topocentricEnu(satellite, observationInstant(scales, jd, kMunich));
            const Vec3 b = bodyTopocentricEnu(TransitBody(body), scales, jd, kMunich);
            const double separation = angleBetween(s, b) * kArcsecondsPerRadian;
            if (separation < best) {
                best = separation;
                bestJd = jd;
            }
            if (separation < t.bodyRadiusArcsec)
                inside += 0.01;
        }
        QVERIFY2(std::fabs(bestJd - t.jd) < 0.05 * kSecond,
                 qPrintable(QString::number((bestJd - t.jd) / kSecond)));
        QVERIFY2(std::fabs(best - t.separationArcsec) < 15,
                 qPrintable(QString::number(best - t.separationArcsec)));
        QVERIFY2(std::fabs(inside - t.durationS) < 0.03, qPrintable(QString::number(inside)));

        // Along the centre line the satellite crosses the body's centre.
        const double a = t.centreLineAzimuthDeg * kRadiansPerDegree;
        const double km = t.centreLineKm / 6371.0 * kDegreesPerRadian;
        const Site moved = Site::fromDegrees(
            kMunich.latitudeDeg() + km * std::cos(a),
            kMunich.eastLongitudeDeg() + km * std::sin(a) / std::cos(kMunich.latitude), 500.0);
        const std::vector<Transit> central = search(catalogue, moved, hour);
        QCOMPARE(central.size(), std::size_t(1));
        QVERIFY2(central.front().separationArcsec < 5,
                 qPrintable(QString::number(central.front().separationArcsec)));
        QVERIFY(central.front().centreLineKm < 0.05);
    }

    // The search stops when told, keeping what it found; a transit's magnitude is empty exactly
    // while the satellite is in the Earth's shadow.
    void transitSearchStopsAndEstimatesMagnitude() {
        Catalogue catalogue;
        for (int number : {22825, 49205})
            catalogue.satellites.push_back(oneSet(number)[0]);
        PassWindow window;
        window.fromJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, 9));
        window.toJd = window.fromJd + 1.0 / 24;
        const std::vector<CataloguePass> passes =
            findCataloguePasses(catalogue, scales, kMunich, window);
        QCOMPARE(findTransits(catalogue, scales, kMunich, passes).size(), std::size_t(2));
        TransitOptions options;
        int asked = 0;
        options.carryOn = [&asked] {
            return asked++ == 0;
        };
        QCOMPARE(findTransits(catalogue, scales, kMunich, passes, options).size(), std::size_t(1));
        options.carryOn = [] {
            return false;
        };
        QVERIFY(findTransits(catalogue, scales, kMunich, passes, options).empty());

        // Over a day the satellite enters and leaves the shadow.
        CatalogueEntry& satellite = catalogue[1];
        int lit = 0, dark = 0;
        for (double jd = window.fromJd; jd < window.fromJd + 1; jd += 7.0 / 1440) {
            const std::optional<double> m = magnitudeAt(satellite, scales, kMunich, jd, 5.0);
            const Vec3 at{satellite.position[0], satellite.position[1], satellite.position[2]};
            QCOMPARE(m.has_value(), isSunlit(at, sunPosition(jd + kWorkingToTtDays)));
            (m ? lit : dark)++;
            if (m)
                QVERIFY(*m > -20 && *m < 40);
        }
        QVERIFY(lit > 0 && dark > 0);
    }
};

QTEST_GUILESS_MAIN(TstTransits)
#include "tst_transits.moc"
