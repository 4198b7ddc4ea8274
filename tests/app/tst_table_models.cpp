// The Qt table models as a person reads them: the live table's age, sunlight and horizon
// colours, and the planner's pass and transit tables (times in UTC, filters, ended passes).
#include "app/passes_model.h"
#include "app/satellite_table_model.h"
#include "app/transits_model.h"
#include "astro/horizon_mask.h"
#include "astro/time_scales.h"
#include "sky/sky_session.h"
#include "tests/common/test_sets.h"

#include <QBrush>
#include <QtTest>

#include <limits>
#include <vector>

class TestTableModels : public QObject {
    Q_OBJECT

private slots:
    void liveTableShowsAgeAndSunlight() {
        Catalogue catalogue;
        const double ages[] = {2.0, 3.0, 3.1, 10.0, 10.1};
        for (int i = 0; i < 6; ++i)
            catalogue.satellites.push_back(activeCatalogue()[0]);
        std::vector<LiveRow> rows;
        for (double age : ages)
            rows.push_back({1000, 10, 30, 0.1, age, Sunlight::Sunlit});
        const double nan = std::numeric_limits<double>::quiet_NaN();
        rows.push_back({nan, nan, nan, nan, 4.0, Sunlight::Unknown});
        rows[1].sunlight = Sunlight::Shadow;
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
        PassesModel model(scales);
        std::vector<PlannedPass> passes(3);
        passes[0].satellite = 4; // under way at the start, no set: never drops
        passes[0].pass.startJd = 10.0;
        passes[0].pass.endJd = 10.5;
        passes[1].satellite = 4;
        passes[1].pass = {{11.0, 0, 0}, {11.1, 0, 50}, {11.2, 0, 0}, 11.0, 11.2, 0.0, true, true};
        passes[2].satellite = 7;
        passes[2].pass = {{10.1, 0, 0}, {10.15, 0, 5}, {10.2, 0, 0}, 10.1, 10.2, 0.0, true, true};
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

        // A search's passes shown where they lie, some rows of them, none copied.
        const auto store = std::make_shared<const std::vector<PlannedPass>>(passes);
        model.setPasses(store, {2, 0});
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(&model.pass(0), &(*store)[2]);
        QCOMPARE(model.index(0, PassesModel::Magnitude).data().toString(), QStringLiteral("-1.0"));
        QCOMPARE(proxy.index(0, 0).data(PassesModel::SatelliteRole).toInt(), 4); // by rise
        model.dropEndedBefore(10.3);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(&model.pass(0), &(*store)[0]);
    }

    // Ended passes leave in runs of rows, or, when they lie scattered, all at once; the rows
    // that stay keep their order and their sort keys, and a sorted view follows.
    void passTableDropsManyEnded_data() {
        QTest::addColumn<int>("period"); // every period-th pass sets early
        QTest::addColumn<int>("run");    // that many in a row
        QTest::newRow("a few runs") << 40 << 3;
        QTest::newRow("scattered") << 3 << 1;
        QTest::newRow("none") << 0 << 0;
    }

    void passTableDropsManyEnded() {
        QFETCH(int, period);
        QFETCH(int, run);
        std::vector<PlannedPass> passes(120);
        std::vector<std::size_t> staying;
        for (std::size_t k = 0; k < passes.size(); ++k) {
            const bool early = period > 0 && int(k % std::size_t(period)) < run;
            SatellitePass& p = passes[k].pass;
            p.hasRise = p.hasSet = true;
            p.startJd = 10.0 + 0.001 * double(k);
            p.endJd = early ? 10.2 : 11.0 + 0.001 * double(k % 7);
            p.culmination.altitudeDeg = double(k % 11);
            passes[k].satellite = k;
            if (!early)
                staying.push_back(k);
        }
        PassesModel model(scales);
        model.setPasses(passes);
        PassesProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort(PassesModel::MaxAltitude);
        QCOMPARE(model.sortKey(5, PassesModel::MaxAltitude), 5.0); // keys taken
        model.dropEndedBefore(10.5);
        QCOMPARE(model.rowCount(), int(staying.size()));
        QCOMPARE(proxy.rowCount(), int(staying.size()));
        for (std::size_t row = 0; row < staying.size(); ++row) {
            QCOMPARE(model.pass(int(row)).satellite, staying[row]);
            QCOMPARE(model.sortKey(int(row), PassesModel::MaxAltitude), double(staying[row] % 11));
        }
        for (int row = 1; row < proxy.rowCount(); ++row)
            QVERIFY(
                proxy.index(row - 1, PassesModel::MaxAltitude)
                    .data(PassesModel::SortRole)
                    .toDouble() <=
                proxy.index(row, PassesModel::MaxAltitude).data(PassesModel::SortRole).toDouble());
        model.dropEndedBefore(10.9); // before any of the others sets
        QCOMPARE(model.rowCount(), int(staying.size()));
        model.dropEndedBefore(12.0);
        QCOMPARE(model.rowCount(), 0);
    }

    // Passes to the nearest second, none for a set the pass lacks, transits to the millisecond;
    // a transit sorted by its instant; names as UTF-8 spells them.
    void tablesShowUtc() {
        const struct {
            const char *at, *pass, *transit;
        } times[] = {
            {"2026-03-19T12:00:00.600Z", "2026-03-19 12:00:01", "2026-03-19 12:00:00.600"},
            {"2026-03-19T12:00:00.499Z", "2026-03-19 12:00:00", "2026-03-19 12:00:00.499"},
            {"2026-12-31T23:59:59.700Z", "2027-01-01 00:00:00", "2026-12-31 23:59:59.700"}};
        for (const auto& time : times) {
            const double jd = scales.workingJdFromUtcCalendar(*parseCalendar(time.at));
            PlannedPass p{7, "M\xC3\xBCnchen-1", {}, {}, std::nullopt, false};
            p.pass.hasRise = true;
            p.pass.rise.jd = p.pass.culmination.jd = p.pass.startJd = jd;
            PassesModel passes(scales);
            passes.setPasses({p});
            PlannedTransit t{3, "ISS", {}, {}, std::nullopt};
            t.transit.jd = jd;
            TransitsModel transits(scales);
            transits.setTransits({t});
            const auto cell = [](const QAbstractItemModel& model, int column, int role) {
                return model.index(0, column).data(role);
            };
            QCOMPARE(cell(passes, PassesModel::Name, Qt::DisplayRole).toString(), "M\u00fcnchen-1");
            for (int column : {PassesModel::Rise, PassesModel::Culmination})
                QCOMPARE(cell(passes, column, Qt::DisplayRole).toString(), time.pass);
            QCOMPARE(cell(passes, PassesModel::Set, Qt::DisplayRole).toString(), QString());
            QCOMPARE(cell(transits, TransitsModel::Time, Qt::DisplayRole).toString(), time.transit);
            QCOMPARE(cell(transits, TransitsModel::Time, TransitsModel::SortRole).toDouble(), jd);
        }
    }

private:
    TimeScales scales;
};

QTEST_MAIN(TestTableModels)
#include "tst_table_models.moc"
