// Delta T and its cached search, the TT/UT1/UTC conversions, the inserted leap second, the
// leap extrapolation and TimeInstant, each driven with an explicit table.

#include "tests/astro/time_fixtures.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>

Q_DECLARE_METATYPE(CalendarTime)

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMs = kSecond / 1000.0;

// Plain linear search over the points, for comparison with the cached hunt.
double reference_delta_t(const UtcTable& t, double y) {
    const std::vector<DeltaTPoint>& p = t.points;
    if (y < p.front().year) {
        const double u = (y - 1800.0) / 100.0;
        return 44.3 * u * u + 320.0 * u + 1360.0;
    }
    if (y > p.back().year)
        return (t.a * y + t.b) * y + t.c;
    std::size_t i = 0;
    while (i + 2 < p.size() && p[i + 1].year <= y)
        ++i;
    const double y0 = p[i].year, y1 = p[i + 1].year;
    const double d0 = p[i].delta_t, d1 = p[i + 1].delta_t;
    return d0 + (d1 - d0) * (y - y0) / (y1 - y0);
}

double point_year(const UtcTable& t, int i) {
    return t.points[static_cast<std::size_t>(i)].year;
}

double tt_of_tai(const CalendarTime& tai) {
    return calendar_to_jd(nullptr, tai) + kTtMinusTaiDays;
}

} // namespace

class TstTimeScales : public QObject {
    Q_OBJECT

private slots:
    void deltaTRegimes_data() {
        QTest::addColumn<double>("year");
        QTest::addColumn<double>("expected");
        const UtcTable t = fixture_table();
        QTest::newRow("1800.0, long-term parabola") << 1800.0 << 1360.0;
        QTest::newRow("1700.0, long-term parabola") << 1700.0 << 44.3 - 320.0 + 1360.0;
        QTest::newRow("1900.0, long-term parabola") << 1900.0 << 44.3 + 320.0 + 1360.0;
        QTest::newRow("first point") << point_year(t, 0) << 29.15;
        QTest::newRow("a middle point") << point_year(t, 7) << 54.34;
        QTest::newRow("last point") << point_year(t, 14) << 69.36;
        QTest::newRow("half way 2010-2015")
            << (point_year(t, 12) + point_year(t, 13)) / 2 << (66.07 + 67.64) / 2;
        QTest::newRow("after last point, quadratic")
            << 2030.5 << (0.001 * 2030.5 - 3.0) * 2030.5 + 2000.0;
    }

    void deltaTRegimes() {
        QFETCH(double, year);
        QFETCH(double, expected);
        UtcTable t = fixture_table();
        t.a = 0.001;
        t.b = -3.0;
        t.c = 2000.0;
        // Float points: agreement to their precision.
        QVERIFY2(std::fabs(delta_t(t, year) - expected) < 2e-5,
                 qPrintable(QString::number(delta_t(t, year), 'f', 6)));
    }

    // The interval is found from the cache by hunting up or down in growing steps, or by
    // bisection when the cache is unset; the result never depends on where the search began.
    void cachedHunt_data() {
        QTest::addColumn<int>("cache");
        QTest::addColumn<double>("year");
        QTest::addColumn<int>("interval");
        const UtcTable t = fixture_table(); // points at 1950, 1955, ... 2020 (index 0 to 14)
        QTest::newRow("unset cache, bisection") << -1 << 1987.0 << 7;
        QTest::newRow("up one") << 7 << 1991.0 << 8;
        QTest::newRow("up across the table") << 0 << 2019.0 << 13;
        QTest::newRow("up to the last point") << 0 << point_year(t, 14) << 13;
        QTest::newRow("from the last point") << 14 << point_year(t, 14) << 13;
        QTest::newRow("from the last point, down") << 14 << 1999.0 << 9;
        QTest::newRow("down one") << 8 << 1987.0 << 7;
        QTest::newRow("down across the table") << 13 << 1951.0 << 0;
        QTest::newRow("down to a point exactly") << 10 << point_year(t, 3) << 3;
    }

    void cachedHunt() {
        QFETCH(int, cache);
        QFETCH(double, year);
        QFETCH(int, interval);
        const UtcTable t = fixture_table();
        t.search_cache = cache;
        const double value = delta_t(t, year);
        QCOMPARE(t.search_cache, interval);
        QVERIFY(value == reference_delta_t(t, year));
    }

    void huntMatchesLinearSearch() {
        QRandomGenerator rng(1);
        // Irregular spacing, a few hundred points.
        UtcTable t = fixture_table();
        t.points.clear();
        double year = 1600.0;
        for (int i = 0; i < 517; ++i) {
            DeltaTPoint p;
            year += 0.05 + rng.bounded(3.0);
            p.year = static_cast<float>(year);
            p.delta_t = static_cast<float>(100.0 * std::sin(year / 37.0) + rng.bounded(1.0));
            if (!t.points.empty() && !(p.year > t.points.back().year))
                continue;
            t.points.push_back(p);
        }
        t.a = 1e-4;
        t.b = 0.2;
        t.c = -300.0;
        const double lo = t.points.front().year - 20, hi = t.points.back().year + 20;
        for (int i = 0; i < 20000; ++i) {
            double y;
            switch (rng.bounded(4)) {
            case 0: // exactly on a point
                y = t.points[rng.bounded(static_cast<quint32>(t.points.size()))].year;
                break;
            case 1: // near the previous lookup, as consecutive conversions are
                y = std::clamp(lo + rng.bounded(hi - lo), lo, hi);
                delta_t(t, y);
                y += rng.bounded(2.0) - 1.0;
                break;
            default:
                y = lo + rng.bounded(hi - lo);
            }
            const double got = delta_t(t, y);
            const double want = reference_delta_t(t, y);
            if (!(got == want))
                QFAIL(qPrintable(QString("year %1: %2, linear search %3")
                                     .arg(y, 0, 'f', 6)
                                     .arg(got, 0, 'g', 17)
                                     .arg(want, 0, 'g', 17)));
        }
    }

    void deltaTSurvivesOddTables() {
        UtcTable t = fixture_table();
        QVERIFY(std::isnan(delta_t(t, std::nan(""))));
        std::reverse(t.points.begin(), t.points.end()); // the loader does not check order
        t.search_cache = 3;
        for (double y = 1900; y < 2100; y += 0.37)
            QVERIFY(!std::isnan(delta_t(t, y)));
        QVERIFY(t.search_cache >= 0 && t.search_cache <= int(t.points.size()) - 2);
        t.points.resize(1);
        QCOMPARE(delta_t(t, t.points[0].year), double(t.points[0].delta_t));
        t.points.clear();
        QCOMPARE(delta_t(t, 1800.0), 1360.0);
    }

    void ut1SolvesDeltaT() {
        const UtcTable t = fixture_table();
        for (double tt = 2433282.5; tt < 2470000.0; tt += 97.3) {
            const double ut1 = tt_to_ut1(t, tt);
            const double residual = ut1 + delta_t(t, decimal_year(ut1)) * kSecond - tt;
            QVERIFY2(std::fabs(residual) < 1e-6 * kSecond, qPrintable(QString::number(tt, 'f', 1)));
        }
    }

    void utcToTt_data() {
        QTest::addColumn<CalendarTime>("utc");
        QTest::addColumn<double>("taiMinusUtc"); // NaN: before the table, UT1 stands for UTC
        QTest::newRow("2020, after the last step") << make_calendar(2020, 6, 1, 3, 4, 5, 6) << 37.0;
        QTest::newRow("last day before a step")
            << make_calendar(2016, 12, 31, 23, 59, 59, 999) << 36.0;
        QTest::newRow("first moment of a step") << make_calendar(2017, 1, 1) << 37.0;
        QTest::newRow("the inserted second")
            << make_calendar(2016, 12, 31, 23, 59, 60, 500) << 36.0;
        QTest::newRow("1972-01-01") << make_calendar(1972, 1, 1) << 10.0;
        QTest::newRow("1970-01-01, drifting")
            << make_calendar(1970, 1, 1) << 4.2131700 + (40587.0 - 39126.0) * double(0.002592f);
        QTest::newRow("1960, before the table") << make_calendar(1960, 3, 1) << std::nan("");
    }

    void utcToTt() {
        QFETCH(CalendarTime, utc);
        QFETCH(double, taiMinusUtc);
        const UtcTable t = fixture_table();
        const double j = calendar_to_jd(&t, utc);
        const double tt = utc_calendar_to_tt(t, utc);
        const double expected = std::isnan(taiMinusUtc) ? j + delta_t(t, decimal_year(j)) * kSecond
                                                        : j + (taiMinusUtc + 32.184) * kSecond;
        QVERIFY2(std::fabs(tt - expected) < 1e-10,
                 qPrintable(QString::number((tt - j) / kSecond, 'f', 6)));
        // And back, to the millisecond (truncation may take one off).
        const double back = calendar_to_jd(&t, tt_to_utc_calendar(t, tt));
        QVERIFY2(back <= j + 1e-9 && back > j - kMs - 1e-9, describe(tt_to_utc_calendar(t, tt)));
    }

    // TAI 2017-01-01 00:00:35.0 to 00:00:38.0 spans 23:59:59, the inserted 23:59:60 and 00:00:00.
    void insertedLeapSecond() {
        const UtcTable t = fixture_table();
        QList<int> seconds;
        CalendarTime previous = make_calendar(2016, 12, 31, 23, 59, 58);
        for (int step = 0; step < 30; ++step) {
            const double tt = tt_of_tai(make_calendar(2017, 1, 1, 0, 0, 35, 50 + 100 * step));
            TimeInstant instant(&t);
            instant.set_jd(tt - kWorkingToTtDays);
            bool leap = false;
            const double jd = instant.get_utc(&leap);
            const CalendarTime c = instant.calendar();
            QVERIFY2(compare_calendar(previous, c) < 0, describe(c));
            QCOMPARE(leap, c.second == 60);
            QCOMPARE(int(c.millisecond / 100), step % 10);
            seconds << c.second;
            if (c.second == 60) {
                QVERIFY(describe(c).startsWith("2016-12-31 23:59:60."));
                // Counted from the following midnight.
                CalendarTime next = make_calendar(2017, 1, 1, 0, 0, 0, c.millisecond);
                QVERIFY(std::fabs(jd - calendar_to_jd(&t, next)) < 1e-9);
                QVERIFY(std::fabs(utc_calendar_to_tt(t, c) - tt) < kMs + 1e-9);
            }
            previous = c;
        }
        QCOMPARE(seconds.count(59), 10);
        QCOMPARE(seconds.count(60), 10);
        QCOMPARE(seconds.count(0), 10);
    }

    void beforeTheTableUt1StandsForUtc() {
        const UtcTable t = fixture_table();
        const double tt = calendar_to_jd(&t, make_calendar(1955, 5, 5, 12));
        QCOMPARE(describe(tt_to_utc_calendar(t, tt)),
                 describe(jd_to_calendar(&t, tt_to_ut1(t, tt))));
        // Also before the reform, in the Julian calendar.
        const double old = calendar_to_jd(&t, make_calendar(1500, 3, 1, 12));
        QVERIFY(describe(tt_to_utc_calendar(t, old)).startsWith("1500-03-01 1"));
    }

    void extrapolationOff() {
        UtcTable t = fixture_table();
        QVERIFY(!setup_leap_extrapolation(t, 0.9));
        QVERIFY(!t.extrapolation_active);
        QCOMPARE(t.extrapolation_start, DBL_MAX);
        t.leaps.clear();
        QVERIFY(!setup_leap_extrapolation(t, 0.9));
        QVERIFY(!t.extrapolation_active);
    }

    // Delta T rising or falling by 1 s a year after 2020: UT1 - UTC leaves +-0.9 s within a
    // year, and from then on UTC keeps that distance from UT1 both ways.
    void extrapolationFromTheCrossing_data() {
        QTest::addColumn<double>("slope");
        QTest::newRow("Delta T rising") << 1.0;
        QTest::newRow("Delta T falling") << -1.0;
    }

    void extrapolationFromTheCrossing() {
        QFETCH(double, slope);
        UtcTable t = fixture_table();
        const double last_year = t.points.back().year;
        t.b = slope;
        t.c = double(t.points.back().delta_t) - slope * last_year;
        QVERIFY(setup_leap_extrapolation(t, 0.9));
        QVERIFY(t.extrapolation_active);
        const double offset_s = slope > 0 ? -0.9 : 0.9;
        QCOMPARE(t.extrapolation_offset, offset_s / 86400.0);
        // UT1 - (TT - 69.184 s) reaches the offset at the start.
        const double start = t.extrapolation_start;
        const double distance = (tt_to_ut1(t, start) - (start - 69.184 * kSecond)) / kSecond;
        QVERIFY2(std::fabs(distance - offset_s) < 1e-3, qPrintable(QString::number(distance)));
        const double expected_year = slope > 0 ? last_year + (69.184 + 0.9 - 69.36) : last_year;
        if (slope > 0)
            QVERIFY(std::fabs(decimal_year(start) - expected_year) < 0.01);

        for (double tt : {start + 1.0, start + 400.0, start + 3000.0}) {
            const CalendarTime c = tt_to_utc_calendar(t, tt);
            const double utc = calendar_to_jd(&t, c);
            const double expected = tt_to_ut1(t, tt) - t.extrapolation_offset;
            QVERIFY2(utc <= expected + 1e-9 && utc > expected - kMs - 1e-9, describe(c));
            QVERIFY(std::fabs(utc_calendar_to_tt(t, c) - tt) < kMs + 1e-9);
        }
        // Continuous across the start, to the millisecond.
        const double before = calendar_to_jd(&t, tt_to_utc_calendar(t, start - 1e-6));
        const double after = calendar_to_jd(&t, tt_to_utc_calendar(t, start + 1e-6));
        QVERIFY(std::fabs((after - before) / kSecond - 2e-6 * 86400) < 2e-3);
    }

    void extrapolationAlreadyDue() {
        UtcTable t = fixture_table();
        for (DeltaTPoint& p : t.points)
            p.delta_t = 68.0f; // UT1 - UTC = 1.184 s at the last step
        t.c = 68.0;
        QVERIFY(setup_leap_extrapolation(t, 0.9));
        QCOMPARE(t.extrapolation_start, utc_calendar_to_tt(t, make_calendar(2017, 1, 1, 12)));
        QCOMPARE(t.extrapolation_offset, 0.9 / 86400.0);
        // A wider tolerance leaves it off.
        QVERIFY(!setup_leap_extrapolation(t, 1.5));
        QVERIFY(!t.extrapolation_active);
    }

    void instantStartsEmpty() {
        TimeInstant instant(nullptr);
        QVERIFY(!instant.tt_valid());
        QVERIFY(!instant.calendar_valid());
        QCOMPARE(describe(instant.calendar()), QByteArray("0000-01-01 00:00:00.000"));
        QVERIFY(!instant.ensure_tt());
        QVERIFY(std::isnan(instant.get_ut1()));
        bool leap = true;
        QVERIFY(std::isnan(instant.get_utc(&leap)));
        QVERIFY(!leap);
    }

    void instantCachesTheOtherForm() {
        const UtcTable t = fixture_table();
        TimeInstant instant(&t);
        instant.set_jd(2459000.5);
        QVERIFY(instant.tt_valid());
        QVERIFY(!instant.calendar_valid());
        QCOMPARE(instant.tt(), 2459000.5 + kWorkingToTtDays);
        instant.get_utc();
        QVERIFY(instant.calendar_valid());
        QVERIFY(instant.tt_valid());

        instant.set_utc_calendar(make_calendar(2020, 6, 1));
        QVERIFY(!instant.tt_valid());
        QVERIFY(instant.calendar_valid());
        QVERIFY(instant.ensure_tt());
        QCOMPARE(instant.tt(), utc_calendar_to_tt(t, make_calendar(2020, 6, 1)));
        QCOMPARE(instant.get_ut1(), tt_to_ut1(t, instant.tt()));
    }

    // No table: GPS - UTC = 18 s, so TT - UTC = 69.184 s and UT1 = UTC.
    void fallbackWithoutTable() {
        TimeInstant instant(nullptr);
        QCOMPARE(instant.gps_leap_seconds(), 18.0);
        const double x = 2460100.123456789;
        instant.set_jd(x);
        const double ut1 = instant.get_ut1();
        QVERIFY(std::fabs(ut1 - (x - 2 * kSecond)) < 1e-9);
        const double utc = instant.get_utc();
        QVERIFY(utc <= ut1 + 1e-9 && utc > ut1 - kMs - 1e-9);
        QCOMPARE(instant.table(), static_cast<const UtcTable*>(nullptr));

        instant.set_utc_calendar(make_calendar(2024, 3, 1, 12));
        QVERIFY(instant.ensure_tt());
        QVERIFY(std::fabs(instant.tt() - (calendar_to_jd(nullptr, make_calendar(2024, 3, 1, 12)) +
                                          69.184 * kSecond)) < 1e-10);

        instant.set_gps_leap_seconds(20.0);
        instant.set_jd(x);
        QVERIFY(std::fabs(instant.get_ut1() - (x - 4 * kSecond)) < 1e-9);
        // Without a table dates before the reform stay Gregorian.
        instant.set_utc_calendar(make_calendar(1500, 3, 1));
        instant.ensure_tt();
        QVERIFY(std::fabs(instant.tt() - (calendar_to_jd(nullptr, make_calendar(1500, 3, 1)) +
                                          71.184 * kSecond)) < 1e-9);
    }
};

QTEST_GUILESS_MAIN(TstTimeScales)
#include "tst_time_scales.moc"
