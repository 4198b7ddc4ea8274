// Calendar values and Julian dates: both calendars, the reform, negative years, truncation.

#include "tests/astro/time_fixtures.h"

#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(CalendarTime)

class TstCalendar : public QObject {
    Q_OBJECT

private:
    UtcTable table_ = fixture_table(); // only its calendar settings matter here

private slots:
    void examples_data() {
        QTest::addColumn<bool>("withTable");
        QTest::addColumn<CalendarTime>("calendar");
        QTest::addColumn<double>("jd");
        QTest::newRow("J2000 day start") << false << make_calendar(2000, 1, 1) << 2451544.5;
        QTest::newRow("J2000 noon") << true << make_calendar(2000, 1, 1, 12) << 2451545.0;
        QTest::newRow("reform, Gregorian side") << true << make_calendar(1582, 10, 15) << 2299160.5;
        QTest::newRow("reform, no table") << false << make_calendar(1582, 10, 15) << 2299160.5;
        QTest::newRow("last Julian day") << true << make_calendar(1582, 10, 4) << 2299159.5;
        QTest::newRow("1582-10-04 proleptic Gregorian")
            << false << make_calendar(1582, 10, 4) << 2299149.5;
        QTest::newRow("2017-01-01") << true << make_calendar(2017, 1, 1) << 2457754.5;
        QTest::newRow("Unix epoch") << false << make_calendar(1970, 1, 1) << 2440587.5;
        QTest::newRow("MJD zero") << true << make_calendar(1858, 11, 17) << 2400000.5;
        QTest::newRow("JD zero, Julian") << true << make_calendar(-4712, 1, 1, 12) << 0.0;
        QTest::newRow("JD zero, Gregorian") << false << make_calendar(-4713, 11, 24, 12) << 0.0;
        QTest::newRow("year 0 leap day, Julian") << true << make_calendar(0, 2, 29) << 1721116.5;
        QTest::newRow("year 0 leap day, Gregorian")
            << false << make_calendar(0, 2, 29) << 1721118.5;
        QTest::newRow("18:00") << false << make_calendar(2000, 1, 1, 18) << 2451545.25;
        QTest::newRow("before JD zero") << true << make_calendar(-4800, 3, 1) << -32082.5;
    }

    void examples() {
        QFETCH(bool, withTable);
        QFETCH(CalendarTime, calendar);
        QFETCH(double, jd);
        const UtcTable* t = withTable ? &table_ : nullptr;
        QCOMPARE(calendar_to_jd(t, calendar), jd);
        QCOMPARE(describe(jd_to_calendar(t, jd)), describe(calendar));
    }

    // Every day over ten thousand years, through the reform and negative years: the date
    // follows the day before it and converts back to the same Julian date.
    void dailyRoundTrips_data() {
        QTest::addColumn<bool>("withTable");
        QTest::newRow("Julian then Gregorian") << true;
        QTest::newRow("proleptic Gregorian") << false;
    }

    void dailyRoundTrips() {
        QFETCH(bool, withTable);
        const UtcTable* t = withTable ? &table_ : nullptr;
        const double first = calendar_to_jd(t, make_calendar(-5000, 1, 1));
        const double last = calendar_to_jd(t, make_calendar(5000, 12, 31));
        QCOMPARE(jd_to_calendar(t, first).year, -5000);
        CalendarTime previous = jd_to_calendar(t, first);
        for (double jd = first + 1; jd <= last; jd += 1) {
            const CalendarTime c = jd_to_calendar(t, jd);
            if (calendar_to_jd(t, c) != jd || c.hour != 0 || c.minute != 0 || c.second != 0 ||
                c.millisecond != 0)
                QFAIL(qPrintable(
                    QString("JD %1 gives %2").arg(jd, 0, 'f', 1).arg(describe(c).data())));
            const bool next_day =
                c.year == previous.year && c.month == previous.month && c.day == previous.day + 1;
            const bool next_month = c.year == previous.year && c.month == previous.month + 1 &&
                                    c.day == 1 && previous.day >= 28;
            const bool next_year = c.year == previous.year + 1 && c.month == 1 && c.day == 1 &&
                                   previous.month == 12 && previous.day == 31;
            const bool reform = withTable && describe(previous).startsWith("1582-10-04") &&
                                describe(c).startsWith("1582-10-15");
            if (!(next_day || next_month || next_year || reform))
                QFAIL(qPrintable(
                    QString("%1 follows %2").arg(describe(c).data(), describe(previous).data())));
            previous = c;
        }
        QCOMPARE(previous.year, 5000);
    }

    void leapYearRules_data() {
        QTest::addColumn<bool>("withTable");
        QTest::addColumn<int>("year");
        QTest::addColumn<bool>("hasFeb29");
        QTest::newRow("1900 Gregorian") << true << 1900 << false;
        QTest::newRow("2000 Gregorian") << true << 2000 << true;
        QTest::newRow("1500 Julian") << true << 1500 << true;
        QTest::newRow("-100 Julian") << true << -100 << true;
        QTest::newRow("-100 proleptic Gregorian") << false << -100 << false;
        QTest::newRow("-400 proleptic Gregorian") << false << -400 << true;
    }

    void leapYearRules() {
        QFETCH(bool, withTable);
        QFETCH(int, year);
        QFETCH(bool, hasFeb29);
        const UtcTable* t = withTable ? &table_ : nullptr;
        const CalendarTime after_feb28 =
            jd_to_calendar(t, calendar_to_jd(t, make_calendar(year, 2, 28)) + 1);
        QCOMPARE(after_feb28.month, std::uint16_t(hasFeb29 ? 2 : 3));
        QCOMPARE(after_feb28.year, year);
    }

    void timeOfDayIsTruncated() {
        // A hair below a whole second is still the second before.
        const double noon_plus_1s = calendar_to_jd(nullptr, make_calendar(2000, 1, 1, 12, 0, 1));
        const double below = std::nextafter(noon_plus_1s - 1e-9, 0.0);
        QCOMPARE(describe(jd_to_calendar(nullptr, below)), QByteArray("2000-01-01 12:00:00.999"));
        QCOMPARE(describe(jd_to_calendar(nullptr, std::nextafter(2451545.5, 0.0))),
                 QByteArray("2000-01-01 23:59:59.999"));
        QCOMPARE(describe(jd_to_calendar(nullptr, 2451545.25)),
                 QByteArray("2000-01-01 18:00:00.000"));
        // Millisecond resolution survives where the date has room for it.
        for (int ms : {1, 7, 499, 500, 998}) {
            const double jd = 2451545.25 + (ms + 0.5) / 86400000.0;
            QCOMPARE(int(jd_to_calendar(nullptr, jd).millisecond), ms);
        }
    }

    void unrepresentableDatesGiveZeroFields_data() {
        QTest::addColumn<double>("jd");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("+inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("1e300") << 1e300;
    }

    void unrepresentableDatesGiveZeroFields() {
        QFETCH(double, jd);
        for (const UtcTable* t : std::initializer_list<const UtcTable*>{nullptr, &table_}) {
            const CalendarTime c = jd_to_calendar(t, jd);
            QCOMPARE(c.month, std::uint16_t(0));
            QCOMPARE(c.day, std::uint16_t(0));
        }
    }

    void extremeFieldsStayDefined() {
        // Any bytes of a table file can become a date; none may overflow.
        CalendarTime c = make_calendar(std::numeric_limits<std::int32_t>::max(), 65535, 65535,
                                       65535, 65535, 65535, 65535);
        QVERIFY(std::isfinite(calendar_to_jd(nullptr, c)));
        c.year = std::numeric_limits<std::int32_t>::min();
        c.month = 0;
        QVERIFY(std::isfinite(calendar_to_jd(&table_, c)));
        const CalendarTime far = jd_to_calendar(nullptr, 6.9e11);
        QVERIFY(far.year > 1800000000);
    }

    void compareCalendar_data() {
        QTest::addColumn<CalendarTime>("a");
        QTest::addColumn<CalendarTime>("b");
        QTest::addColumn<int>("result");
        QTest::newRow("equal") << make_calendar(2020, 5, 6, 7, 8, 9, 10)
                               << make_calendar(2020, 5, 6, 7, 8, 9, 10) << 0;
        QTest::newRow("signed year") << make_calendar(-1, 12, 31) << make_calendar(0, 1, 1) << -1;
        QTest::newRow("year first")
            << make_calendar(2021, 1, 1) << make_calendar(2020, 12, 31, 23, 59, 60, 999) << 1;
        QTest::newRow("month") << make_calendar(2020, 2, 1) << make_calendar(2020, 11, 1) << -1;
        QTest::newRow("leap second after 59") << make_calendar(2016, 12, 31, 23, 59, 60)
                                              << make_calendar(2016, 12, 31, 23, 59, 59, 999) << 1;
        QTest::newRow("millisecond")
            << make_calendar(2020, 2, 2, 0, 0, 0, 1) << make_calendar(2020, 2, 2, 0, 0, 0, 2) << -1;
        QTest::newRow("unsigned month")
            << make_calendar(2020, 65535, 1) << make_calendar(2020, 1, 1) << 1;
    }

    void compareCalendar() {
        QFETCH(CalendarTime, a);
        QFETCH(CalendarTime, b);
        QFETCH(int, result);
        QCOMPARE(compare_calendar(a, b), result);
        QCOMPARE(compare_calendar(b, a), -result);
    }

    void dateBeforeIgnoresTime_data() {
        QTest::addColumn<CalendarTime>("c");
        QTest::addColumn<bool>("before");
        // Against the step of 2017-01-01.
        QTest::newRow("last moment of the day before")
            << make_calendar(2016, 12, 31, 23, 59, 60, 999) << true;
        QTest::newRow("the day itself") << make_calendar(2017, 1, 1) << false;
        QTest::newRow("later that day") << make_calendar(2017, 1, 1, 23, 59, 59) << false;
        QTest::newRow("earlier year, later month") << make_calendar(2016, 12, 31) << true;
        QTest::newRow("later year, earlier month") << make_calendar(2018, 1, 1) << false;
        QTest::newRow("negative year") << make_calendar(-2017, 6, 1) << true;
    }

    void dateBeforeIgnoresTime() {
        QFETCH(CalendarTime, c);
        QFETCH(bool, before);
        QCOMPARE(date_before(c, leap(2017, 1, 1, 37)), before);
    }

    void textForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("canonical"); // empty: rejected
        QTest::newRow("full") << "2024-02-29 13:14:15.016"
                              << "2024-02-29 13:14:15.016";
        QTest::newRow("ISO with T and Z") << "2024-02-29T13:14:15.016Z"
                                          << "2024-02-29 13:14:15.016";
        QTest::newRow("no milliseconds") << "2024-03-01T00:00:05"
                                         << "2024-03-01 00:00:05.000";
        QTest::newRow("leap second") << "2016-12-31 23:59:60.500"
                                     << "2016-12-31 23:59:60.500";
        QTest::newRow("no Feb 29 in 2023") << "2023-02-29 00:00:00"
                                           << "";
        QTest::newRow("month 13") << "2024-13-01 00:00:00"
                                  << "";
        QTest::newRow("hour 24") << "2024-01-01 24:00:00"
                                 << "";
        QTest::newRow("two fraction digits") << "2024-01-01 00:00:00.12"
                                             << "2024-01-01 00:00:00.120";
        QTest::newRow("fraction beyond ms truncated") << "2024-01-01T00:00:00.2509999Z"
                                                      << "2024-01-01 00:00:00.250";
        QTest::newRow("point without digits") << "2024-01-01 00:00:00."
                                              << "";
        QTest::newRow("trailing text") << "2024-01-01 00:00:00 x"
                                       << "";
        QTest::newRow("signs") << "+024-01-01 00:00:00"
                               << "";
    }

    void textForms() {
        QFETCH(QString, text);
        QFETCH(QString, canonical);
        const std::optional<CalendarTime> c = parse_calendar(text.toStdString());
        QCOMPARE(c.has_value(), !canonical.isEmpty());
        if (c)
            QCOMPARE(QString::fromStdString(format_calendar(*c)), canonical);
    }
};

QTEST_GUILESS_MAIN(TstCalendar)
#include "tst_calendar.moc"
