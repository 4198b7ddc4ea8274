// The catalogue searches walk the window in stretches, on several threads, and skip the transit
// search of passes that cannot reach the Sun or the Moon: what they find must not depend on any
// of it. Every 25th set of the test catalogue (deep-space sets among them) over two days, against
// the whole window searched at once on one thread, every pass searched for transits. And the
// window's planner: a week's search tells its progress and stops when told.
#include "astro/horizon_mask.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "planning/pass_export.h"
#include "planning/pass_planner.h"
#include "planning/planned.h"
#include "tests/common/test_sets.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const Site kZurich{47.5 * 0.017453292519943295, -8.5 * 0.017453292519943295, 450.0}; // 8.5 E

// Every field, to the last bit.
std::string transitsText(const std::vector<Transit>& transits) {
    std::string text;
    char line[512];
    for (const Transit& t : transits) {
        std::snprintf(line, sizeof line, "%zu %d %a %a %a %a %a %a %a %a %a %a %a\n", t.index,
                      int(t.body), t.jd, t.separationArcsec, t.bodyRadiusArcsec, t.durationS,
                      t.altitudeDeg, t.azimuthDeg, t.distanceKm, t.centreLineKm,
                      t.centreLineAzimuthDeg, t.bodyAltitudeDeg, t.bodyAzimuthDeg);
        text += line;
    }
    return text;
}

std::string tracksText(const std::vector<PlannedPass>& passes) {
    std::string text;
    char line[128];
    for (const PlannedPass& p : passes)
        for (const PassPoint& point : p.track) {
            std::snprintf(line, sizeof line, "%a %a %a\n", point.jd, point.azimuthDeg,
                          point.altitudeDeg);
            text += line;
        }
    return text;
}

} // namespace

class TestStreamedSearch : public QObject {
    Q_OBJECT

    TimeScales scales = TimeScales::fromFolders();
    Catalogue catalogue;

private slots:
    void initTestCase() {
        const Catalogue& all = activeCatalogue();
        for (std::size_t i = 0; i < all.size(); i += 25)
            catalogue.satellites.push_back(all[i]);
        QVERIFY(catalogue.size() > 500);
    }

    void sameWhateverTheStretchesAndThreads_data() {
        QTest::addColumn<double>("stretchSeconds");
        QTest::addColumn<int>("threads");
        QTest::addColumn<double>("minAltitudeDeg");
        QTest::addColumn<bool>("masked");
        QTest::newRow("1 min 7 s, one thread") << 67.0 << 1 << 0.0 << false;
        QTest::newRow("17 min, two threads") << 17 * 60.0 << 2 << 0.0 << false;
        QTest::newRow("5 h, two threads") << 5 * 3600.0 << 2 << 0.0 << false;
        QTest::newRow("default, above 10 deg") << kSearchStretchSeconds << 2 << 10.0 << false;
        QTest::newRow("17 min behind a mask") << 17 * 60.0 << 2 << 0.0 << true;
    }

    void sameWhateverTheStretchesAndThreads() {
        QFETCH(double, stretchSeconds);
        QFETCH(int, threads);
        QFETCH(double, minAltitudeDeg);
        QFETCH(bool, masked);
        const HorizonMask mask(masked ? std::vector<HorizonMask::Point>{{0, 2}, {90, 25}, {200, 8}}
                                      : std::vector<HorizonMask::Point>{});
        PlanRequest request;
        request.window.fromJd = scales.workingJdFromUtcCalendar({2026, 3, 19, 0, 0, 0, 0});
        request.window.toJd = request.window.fromJd + 2.0;
        request.window.minAltitudeDeg = minAltitudeDeg;
        request.window.horizon = &mask;
        request.trackPoints = 5;
        request.transits = TransitOptions();
        request.threads = 1;

        // The whole window at once, and every pass searched for transits.
        CatalogueSearch whole;
        whole.stretchSeconds = 0;
        whole.threads = 1;
        whole.trackPoints = request.trackPoints;
        Catalogue copy = catalogue;
        const std::vector<CataloguePass> everyPass =
            findCataloguePasses(copy, scales, kZurich, request.window, whole);
        const std::vector<Transit> reference =
            findTransits(copy, scales, kZurich, everyPass, *request.transits);
        request.stretchSeconds = 0;
        request.transits.reset();
        copy = catalogue;
        const std::vector<PlannedPass> passes =
            planCatalogue(copy, scales, kZurich, request).passes;
        QVERIFY(passes.size() > 1000);
        QVERIFY(reference.size() > 10);

        // Streamed, the passes listed and their transits searched with them; then the transits
        // alone, the passes that cannot reach a body dropped unrefined.
        request.stretchSeconds = stretchSeconds;
        request.threads = unsigned(threads);
        request.transits = TransitOptions();
        copy = catalogue;
        const CataloguePlan streamed = planCatalogue(copy, scales, kZurich, request);
        QCOMPARE(passesCsv(exportedPasses(streamed.passes, copy), scales, false),
                 passesCsv(exportedPasses(passes, copy), scales, false));
        QCOMPARE(tracksText(streamed.passes), tracksText(passes));
        std::vector<Transit> found;
        for (const PlannedTransit& t : streamed.transits)
            found.push_back(t.transit);
        QCOMPARE(transitsText(found), transitsText(reference));

        // Handed on one by one, as orbitrak-cli writes them: the same passes, tracks and lines.
        request.transits.reset();
        std::vector<PlannedPass> handed;
        std::string lines = passesCsvHeader(false);
        request.passSink = [&](PlannedPass& p) {
            const CatalogueEntry& satellite = copy[p.satellite];
            appendPassCsv(lines, int(satellite.elements.satnum), satellite.nameLine, p.pass,
                          p.magnitude, scales, false);
            handed.push_back(std::move(p));
        };
        copy = catalogue;
        QVERIFY(planCatalogue(copy, scales, kZurich, request).passes.empty());
        QCOMPARE(lines, passesCsv(exportedPasses(passes, copy), scales, false));
        QCOMPARE(tracksText(handed), tracksText(passes));
        request.passSink = nullptr;

        request.transits = TransitOptions();
        request.listPasses = false;
        copy = catalogue;
        const CataloguePlan alone = planCatalogue(copy, scales, kZurich, request);
        QVERIFY(alone.passes.empty());
        found.clear();
        for (const PlannedTransit& t : alone.transits)
            found.push_back(t.transit);
        QCOMPARE(transitsText(found), transitsText(reference));
    }

    // Progress comes in rising steps while the search runs; a stopped search says so and
    // delivers nothing, and the next one delivers again.
    void plannerTellsProgressAndStops() {
        PassPlanner planner(scales);
        QSignalSpy progressed(&planner, &PassPlanner::progressed);
        std::vector<std::size_t> planned; // the passes of each delivery
        connect(&planner, &PassPlanner::planned, this,
                [&planned](const std::vector<PlannedPass>& passes) {
                    planned.push_back(passes.size());
                });
        QSignalSpy cancelled(&planner, &PassPlanner::cancelled);
        const double from = scales.workingJdFromUtcCalendar({2026, 3, 19, 0, 0, 0, 0});
        planner.plan(catalogue, kZurich, from, HorizonMask(), 7.0);
        QVERIFY(progressed.wait(60000));
        planner.cancel();
        QCOMPARE(cancelled.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!planner.isPlanning(), 60000);
        QCoreApplication::processEvents();
        QVERIFY(planned.empty());

        progressed.clear();
        planner.plan(catalogue, kZurich, from, HorizonMask(), 1.0);
        QTRY_VERIFY_WITH_TIMEOUT(!planned.empty(), 120000);
        QVERIFY(progressed.size() >= 4); // a stretch of six hours at a time
        for (int k = 1; k < progressed.size(); ++k)
            QVERIFY(progressed[k][0].toInt() > progressed[k - 1][0].toInt());
        QCOMPARE(progressed.last()[0].toInt(), 100);
        QVERIFY(planned[0] > 1000);
        planner.cancel(); // nothing under way: nothing to say
        QCOMPARE(cancelled.size(), 1);

        // The plan holds no tracks; each is drawn when asked, from the plan's own inputs.
        const std::vector<PlannedPass>& passes = planner.latest()->passes;
        for (std::size_t k = 0; k < passes.size();
             k += std::max<std::size_t>(1, passes.size() / 7)) {
            const PlannedPass& p = passes[k];
            QVERIFY(p.track.empty());
            Catalogue copy = catalogue;
            const std::vector<PassPoint> expected =
                passTrack(copy[p.satellite], scales, kZurich, p.pass, PassPlanner::kTrackPoints);
            const std::vector<PassPoint> track = planner.track(p);
            QCOMPARE(track.size(), expected.size());
            QVERIFY(track.size() >= std::size_t(PassPlanner::kTrackPoints));
            for (std::size_t i = 0; i < track.size(); ++i)
                QCOMPARE(track[i].altitudeDeg, expected[i].altitudeDeg);
            QCOMPARE(track.front().jd, p.pass.startJd);
        }
        PlannedPass stranger;
        stranger.satellite = catalogue.size();
        QVERIFY(planner.track(stranger).empty());
    }
};

QTEST_GUILESS_MAIN(TestStreamedSearch)
#include "tst_streamed_search.moc"
