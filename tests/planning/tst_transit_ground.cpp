// A transit's centre line and path on the ground, checked as an observer standing on them would:
// from a point of the line the satellite crosses the body's centre at the point's instant, from
// a point of the path's edge it grazes the limb.
#include "astro/angles.h"
#include "astro/moon.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "planning/transit_ground.h"
#include "sky/observation.h"
#include "tests/common/test_sets.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr double kSecond = 1.0 / 86400.0;
const Site kMunich = Site::fromDegrees(48.0, 11.0, 500.0);

Site siteAt(const GroundPoint& p) {
    return Site::fromDegrees(p.latitudeDeg, p.longitudeDeg, p.heightKm * 1000.0);
}

double kmBetween(const Site& a, const Site& b) {
    return siteDistance(a, b) / 1000.0;
}

} // namespace

class TstTransitGround : public QObject {
    Q_OBJECT

    TimeScales scales;

private slots:
    void standingOnTheLineAndTheEdge_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("body");
        QTest::newRow("EYESAT A, Sun") << 22825 << int(TransitBody::Sun);
        QTest::newRow("ONEWEB-0339, Moon") << 49205 << int(TransitBody::Moon);
    }
    void standingOnTheLineAndTheEdge() {
        QFETCH(int, number);
        QFETCH(int, body);
        Catalogue catalogue;
        for (std::size_t i = 0; i < activeCatalogue().size(); ++i)
            if (activeCatalogue()[i].elements.satnum == number)
                catalogue.satellites.push_back(activeCatalogue()[i]);
        PassWindow window;
        window.fromJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, 9));
        window.toJd = window.fromJd + 1.0 / 24;
        const std::vector<Transit> found =
            findCatalogueTransits(catalogue, scales, kMunich, window);
        QCOMPARE(found.size(), std::size_t(1));
        const Transit& t = found.front();
        QCOMPARE(int(t.body), body);
        CatalogueEntry& satellite = catalogue[0];
        const TransitGround ground = transitGround(satellite, scales, kMunich, t);
        const std::vector<GroundPoint>& line = ground.centreLine;
        QVERIFY(line.size() > 50);
        QCOMPARE(ground.leftEdge.size(), line.size());
        QCOMPARE(ground.rightEdge.size(), line.size());
        QCOMPARE(transitPathRing(ground).size(), 2 * line.size() + 1);

        // The point nearest the site is as far as the search's centre line says, and the line
        // reaches 50 km beyond it both ways, in time order, at the site's elevation.
        const Site nearest = siteAt(line[ground.nearest]);
        QVERIFY2(std::fabs(kmBetween(nearest, kMunich) - t.centreLineKm) <
                     0.05 * t.centreLineKm + 0.1,
                 qPrintable(QString::number(kmBetween(nearest, kMunich))));
        QVERIFY(kmBetween(siteAt(line.front()), nearest) >= 49.0);
        QVERIFY(kmBetween(siteAt(line.back()), nearest) >= 49.0);
        for (std::size_t i = 1; i < line.size(); ++i) {
            QVERIFY(line[i].jd > line[i - 1].jd);
            QCOMPARE(line[i].heightKm, 0.5);
            QVERIFY(kmBetween(siteAt(line[i]), siteAt(line[i - 1])) < 1.5);
        }

        // Asked to reach farther than the body stands up, the line ends where it sets (where the
        // line runs fastest: a date's 40 microseconds there move the end by hundreds of metres).
        TransitGroundOptions far;
        far.reachKm = 20000;
        far.spacingKm = 50;
        const std::vector<GroundPoint> whole =
            transitGround(satellite, scales, kMunich, t, far).centreLine;
        QVERIFY(whole.size() > 20);
        double lowest = 90;
        for (const GroundPoint* end : {&whole.front(), &whole.back()}) {
            const Vec3 b = bodyTopocentricEnu(TransitBody(body), scales, end->jd, siteAt(*end));
            lowest = std::min(lowest, horizonDirection(b).altitudeDeg);
        }
        QVERIFY2(lowest >= 0 && lowest < 0.1, qPrintable(QString::number(lowest)));

        for (std::size_t i = 0; i < line.size(); i += 10) {
            // On the line: a central crossing at the point's instant, the closest of the pass.
            const Site there = siteAt(line[i]);
            const ObservationInstant instant = observationInstant(scales, line[i].jd, there);
            const double atPoint =
                angleBetween(topocentricEnu(satellite, instant),
                             bodyTopocentricEnu(TransitBody(body), scales, line[i].jd, there)) *
                kArcsecondsPerRadian;
            QVERIFY2(atPoint < 1.0, qPrintable(QString::number(atPoint)));
            double when = 0;
            const double closest =
                closestSeparation(satellite, TransitBody(body), scales, there,
                                  line[i].jd - 20 * kSecond, line[i].jd + 20 * kSecond, &when) *
                kArcsecondsPerRadian;
            QVERIFY2(closest < 1.0, qPrintable(QString::number(closest)));
            QVERIFY2(std::fabs(when - line[i].jd) < 0.001 * kSecond,
                     qPrintable(QString::number((when - line[i].jd) / kSecond)));

            // On either edge: the satellite grazes the limb, both edges as far from the line.
            for (const GroundPoint& edge : {ground.leftEdge[i], ground.rightEdge[i]}) {
                const Site side = siteAt(edge);
                const double graze =
                    closestSeparation(satellite, TransitBody(body), scales, side,
                                      edge.jd - 20 * kSecond, edge.jd + 20 * kSecond, &when);
                const Vec3 b = bodyTopocentricEnu(TransitBody(body), scales, when, side);
                const double radius = std::asin(
                    (body == int(TransitBody::Sun) ? kSunRadius : kMoonRadius) / length(b));
                const double miss = (graze - radius) * kArcsecondsPerRadian;
                QVERIFY2(std::fabs(miss) < 0.05, qPrintable(QString::number(miss)));
                QVERIFY(std::fabs(when - edge.jd) < 0.05 * kSecond);
            }
            const double left = kmBetween(siteAt(ground.leftEdge[i]), there);
            const double right = kmBetween(siteAt(ground.rightEdge[i]), there);
            QVERIFY2(left > 0.5 && std::fabs(left - right) < 0.05 * left,
                     qPrintable(QStringLiteral("%1 %2").arg(left).arg(right)));
        }
    }
};

QTEST_GUILESS_MAIN(TstTransitGround)
#include "tst_transit_ground.moc"
