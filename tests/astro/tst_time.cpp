// Calendar conversions, the table file and its loader, the choice of table at start-up, and
// the time scales with a hand-made table, with the table built from data/, and with none.
#include "astro/text_numbers.h"
#include "astro/time_scales.h"
#include "tests/common/file_bytes.h"

#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using MakeFile = std::function<Bytes()>;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMs = kSecond / 1000.0;

QByteArray text(const CalendarTime& c) {
    return QByteArray::fromStdString(formatCalendar(c));
}

CalendarTime at(const char* t) {
    return parseCalendar(t).value_or(CalendarTime{});
}

// Four steps (one drifting, three of whole seconds) and Delta T every five years from 1950 to
// the table date early in 2020, constant after it unless `slope` (s/year) moves it. Constant,
// UT1 - UTC stays within 0.9 s: no leap extrapolation.
UtcTable fixture(double slope = 0.0, int tableDay = 1) {
    static const double deltaT[15] = {29.15, 31.07, 33.15, 35.73, 40.18, 45.48, 50.54, 54.34,
                                      56.86, 60.78, 63.83, 64.69, 66.07, 67.64, 69.36};
    UtcTable t;
    t.leaps = {{1968, 2, 1, 4.2131700, 39126.0f, 0.002592f},
               {1972, 1, 1, 10.0},
               {2015, 7, 1, 36.0},
               {2017, 1, 1, 37.0}};
    for (int i = 0; i < 15; ++i) {
        const int day = i == 14 ? tableDay : 1;
        const double jd = calendarToJd(nullptr, makeCalendar(1950 + 5 * i, 1, day));
        t.points.push_back({float(decimalYear(jd)), float(deltaT[i])});
    }
    t.tableDate = makeCalendar(2020, 1, tableDay);
    t.b = slope;
    t.c = t.points.back().deltaT - slope * t.points.back().year;
    return t;
}

MakeFile editTable(std::function<void(UtcTable&)> edit) {
    return [edit] {
        UtcTable t = fixture();
        edit(t);
        return encodeUtcTable(t);
    };
}

MakeFile editBytes(std::function<void(Bytes&)> edit) {
    return [edit] {
        Bytes b = encodeUtcTable(fixture());
        edit(b);
        return b;
    };
}

void putU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

CalendarTime randomCalendar(QRandomGenerator& rng) {
    const double first = calendarToJd(nullptr, makeCalendar(1973, 1, 1));
    CalendarTime c = jdToCalendar(nullptr, first + std::floor(rng.bounded(32000.0)));
    return makeCalendar(c.year, c.month, c.day, rng.bounded(24), rng.bounded(60), rng.bounded(60),
                        rng.bounded(1000));
}

} // namespace

Q_DECLARE_METATYPE(MakeFile)

class TestTime : public QObject {
    Q_OBJECT

    TimeScales none_;
    TimeScales fixture_{fixture()};
    TimeScales real_; // the table the build makes from data/
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        std::optional<UtcTable> real = loadUtcFile(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(real);
        QCOMPARE(text(real->tableDate).left(10), QByteArray("2023-09-16"));
        real_ = TimeScales(*real);
        QVERIFY(!real_.table()->extrapolationActive && !fixture_.table()->extrapolationActive);
    }

    void calendar_data() {
        QTest::addColumn<bool>("withTable");
        QTest::addColumn<double>("jd");
        QTest::addColumn<QByteArray>("calendar");
        QTest::addColumn<bool>("bothWays"); // else only Julian date -> calendar
        const auto row = [](const char* name, bool table, double jd, const char* c, bool both) {
            QTest::newRow(name) << table << jd << QByteArray(c) << both;
        };
        row("J2000 day start", false, 2451544.5, "2000-01-01 00:00:00.000", true);
        row("J2000 noon", true, 2451545.0, "2000-01-01 12:00:00.000", true);
        row("18:00", false, 2451545.25, "2000-01-01 18:00:00.000", true);
        row("2017-01-01", true, 2457754.5, "2017-01-01 00:00:00.000", true);
        row("MJD zero", true, 2400000.5, "1858-11-17 00:00:00.000", true);
        row("1900 has no Feb 29", true, 2415079.5, "1900-03-01 00:00:00.000", true);
        row("reform, first Gregorian day", true, 2299160.5, "1582-10-15 00:00:00.000", true);
        row("reform, no table", false, 2299160.5, "1582-10-15 00:00:00.000", true);
        row("last Julian day", true, 2299159.5, "1582-10-04 00:00:00.000", true);
        row("1582-10-04 without table", false, 2299149.5, "1582-10-04 00:00:00.000", true);
        row("Julian 1500 has Feb 29", true, 2268991.5, "1500-02-29 00:00:00.000", false);
        row("7 ms", false, 2451545.25 + 7.5 * kMs, "2000-01-01 18:00:00.007", true);
        row("a hair below midnight", false, std::nextafter(2451545.5, 0.0),
            "2000-01-01 23:59:59.999", false);
        row("a hair below a second", true, std::nextafter(2451545.0 + kSecond, 0.0),
            "2000-01-01 12:00:00.999", false);
        row("NaN", true, std::nan(""), "0000-00-00 00:00:00.000", false);
        row("infinite", false, HUGE_VAL, "0000-00-00 00:00:00.000", false);
        row("1e300", true, 1e300, "0000-00-00 00:00:00.000", false);
    }

    void calendar() {
        QFETCH(bool, withTable);
        QFETCH(double, jd);
        QFETCH(QByteArray, calendar);
        QFETCH(bool, bothWays);
        const UtcTable* table = withTable ? fixture_.table() : nullptr;
        QCOMPARE(text(jdToCalendar(table, jd)), calendar);
        if (bothWays)
            QCOMPARE(calendarToJd(table, at(calendar.constData())), jd);
    }

    // Every day from 3000 BC to AD 3000 converts back to itself, at midnight.
    void dailyRoundTrip() {
        for (const UtcTable* table : {fixture_.table(), static_cast<const UtcTable*>(nullptr)}) {
            const double first = calendarToJd(table, makeCalendar(-3000, 1, 1));
            for (double jd = first; jd < first + 6000 * 365.25; jd += 1) {
                const CalendarTime c = jdToCalendar(table, jd);
                if (calendarToJd(table, c) != jd || c.hour || c.month < 1 || c.month > 12)
                    QFAIL(qPrintable(QString::number(jd, 'f', 1) + " gives " + text(c)));
            }
        }
    }

    void parsingCalendars() {
        QCOMPARE(text(at("2024-02-29T13:14:15.016Z")), QByteArray("2024-02-29 13:14:15.016"));
        QCOMPARE(text(at("2016-12-31 23:59:60.2509999")), QByteArray("2016-12-31 23:59:60.250"));
        QCOMPARE(text(at("2024-03-01T00:00")), QByteArray("2024-03-01 00:00:00.000"));
        QCOMPARE(text(at("2026-03-19")), QByteArray("2026-03-19 00:00:00.000"));
        for (const char* bad :
             {"2026-03-19T", "2026-03-19 ", "2026-03-19Z", "2023-02-29", "2023-02-29 00:00:00",
              "2024-13-01 00:00", "2024-01-01 24:00", "2024-01-01 00:00:61", "2024-01-01 00:00:00.",
              "+024-01-01 00:00", "2024-01-01 00:00:00 x"})
            QVERIFY2(!::parseCalendar(bad), bad);
    }

    void tableFile_data() {
        QTest::addColumn<MakeFile>("make");
        QTest::addColumn<bool>("accepted");
        const auto row = [](const char* name, const MakeFile& make, bool accepted) {
            QTest::newRow(name) << make << accepted;
        };
        const std::size_t mAt = 20 + 24 * 4; // offset of M in the fixture's file
        const auto points = [](int dropped) {
            return editTable([dropped](UtcTable& t) {
                t.points.erase(t.points.begin(), t.points.begin() + dropped);
            });
        };
        const auto issued = [](int day) {
            return editTable([day](UtcTable& t) { t.tableDate = makeCalendar(2020, 1, day); });
        };
        row("fixture", editBytes([](Bytes&) {}), true);
        row("wrong magic", editBytes([](Bytes& b) { b[7] = '1'; }), false);
        row("N = 0", editTable([](UtcTable& t) { t.leaps.clear(); }), false);
        row("M = 11", points(4), false);
        row("M = 12", points(3), true);
        row("N beyond the file size", editBytes([](Bytes& b) { putU32(b, 16, 4000000000u); }),
            false);
        row("N one more than stored", editBytes([](Bytes& b) { putU32(b, 16, 5); }), false);
        row("M beyond the file size", editBytes([mAt](Bytes& b) { putU32(b, mAt, 0xffffffffu); }),
            false);
        row("M one more than stored", editBytes([mAt](Bytes& b) { putU32(b, mAt, 16); }), false);
        row("table date 1 day after the last point", issued(2), true);
        row("table date 3 days after the last point", issued(4), false);
        row("trailing bytes", editBytes([](Bytes& b) { b.resize(b.size() + 9, 7); }), true);
    }

    void tableFile() {
        QFETCH(MakeFile, make);
        QFETCH(bool, accepted);
        const QString path = dir_.filePath("table.bin");
        QVERIFY(writeBytes(path, bytesOf(make())));
        QCOMPARE(loadUtcFile(path.toStdString()).has_value(), accepted);
    }

    // What is written reads back whole, in a table's fresh state; a file cut short anywhere,
    // or no file, is rejected.
    void writeReadRoundTrip() {
        UtcTable t = fixture(0.25);
        t.a = 1.5e-3;
        const std::string path = dir_.filePath("round.bin").toStdString();
        QVERIFY(writeUtcFile(path, t));
        const std::optional<UtcTable> r = loadUtcFile(path);
        QVERIFY(r);
        QVERIFY(encodeUtcTable(*r) == encodeUtcTable(t));
        QVERIFY(!r->proleptic && !r->extrapolationActive);
        QCOMPARE(r->reformJd, 2299160.5);

        const Bytes full = encodeUtcTable(t);
        for (std::size_t length = 0; length < full.size(); ++length) {
            QVERIFY(writeBytes(dir_.filePath("cut.bin"), bytesOf(full).left(int(length))));
            if (loadUtcFile(dir_.filePath("cut.bin").toStdString()))
                QFAIL(qPrintable(QString("a file cut to %1 bytes was accepted").arg(length)));
        }
        QVERIFY(!loadUtcFile(dir_.filePath("missing.bin").toStdString()));
    }

    // The files present: 0 none, -1 a broken one, else a table issued that day of January 2020.
    void startUp_data() {
        QTest::addColumn<int>("user");
        QTest::addColumn<int>("fallback");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("tableDay"); // of the table kept; 0: none
        const QByteArray first = "init_time_data\n";
        const QByteArray user = first + "init_time_data OK with user data\n";
        const QByteArray fallback = first + "init_time_data OK with default data\n";
        QTest::newRow("neither file") << 0 << 0 << first << 0;
        QTest::newRow("both broken") << -1 << -1 << first << 0;
        QTest::newRow("only utc.bin") << 0 << 1 << fallback << 1;
        QTest::newRow("only user_utc.bin") << 1 << 0 << user << 1;
        QTest::newRow("equal dates: user file") << 1 << 1 << user << 1;
        QTest::newRow("later utc.bin") << 1 << 8 << fallback << 8;
        QTest::newRow("later user file") << 8 << 1 << user << 8;
        QTest::newRow("user file broken") << -1 << 8 << fallback << 8;
    }

    void startUp() {
        QFETCH(int, user);
        QFETCH(int, fallback);
        QFETCH(QByteArray, output);
        QFETCH(int, tableDay);
        QTemporaryDir scratch;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(scratch.path()));
        const auto place = [](const char* name, int day) {
            Bytes b = encodeUtcTable(fixture(0.0, std::max(day, 1)));
            b.resize(b.size() - (day < 0));
            return day == 0 || writeBytes(name, bytesOf(b));
        };
        const bool placed = place("user_utc.bin", user) && place("utc.bin", fallback);
        TimeScales scales;
        std::string printed;
        scales = TimeScales::fromFolders({""}, &printed);
        QDir::setCurrent(before);
        QVERIFY(placed);
        QCOMPARE(QByteArray::fromStdString(printed), output);
        QCOMPARE(scales.table() ? int(scales.table()->tableDate.day) : 0, tableDay);
    }

    // TAI - UTC from the table built from data/, through the working date of the UTC instant.
    void taiMinusUtc_data() {
        QTest::addColumn<QByteArray>("utc");
        QTest::addColumn<double>("seconds");
        const auto row = [](const char* utc, double seconds, const char* name = nullptr) {
            QTest::newRow(name ? name : utc) << QByteArray(utc) << seconds;
        };
        row("2020-07-01 12:00:00", 37.0);
        row("1999-01-01 00:00:00", 32.0);
        row("2016-12-31 23:59:60.500", 36.0, "inside the 2016 leap second");
        row("1972-01-01 00:00:00", 10.0);
        row("1970-01-01 00:00:00", 4.2131700 + (40587.0 - 39126.0) * 0.002592, "drifting");
        row("1971-12-31 12:00:00", 4.2131700 + (41316.5 - 39126.0) * 0.002592, "drifting, noon");
    }

    void taiMinusUtc() {
        QFETCH(QByteArray, utc);
        QFETCH(double, seconds);
        const CalendarTime c = at(utc.constData());
        const double tt = real_.workingJdFromUtcCalendar(c) + kWorkingToTtDays;
        const double got = (tt - calendarToJd(real_.table(), c)) / kSecond - 32.184;
        QVERIFY2(std::fabs(got - seconds) < 1e-4, qPrintable(QString::number(got, 'f', 6)));
    }

    void deltaTAndUt1() {
        const UtcTable& t = *real_.table();
        QVERIFY(std::fabs(deltaT(t, 2000.0) - 63.83) < 0.01);
        QCOMPARE(deltaT(t, 1600.0), 44.3 * 4 - 320.0 * 2 + 1360.0); // before the first point
        QCOMPARE(deltaT(t, 2030.0), double(t.points.back().deltaT));
        const double jd = 2451545.0; // TT is 67.184 s later, UT1 Delta T before that
        const double ut1 = real_.ut1FromJd(jd);
        QVERIFY(std::fabs((jd - ut1) / kSecond + 67.184 - deltaT(t, 2000.0)) < 1e-3);
    }

    // The interval search starts from the one found last; the result never depends on it.
    void deltaTSearch() {
        const UtcTable& t = *real_.table();
        const auto linear = [&t](double y) {
            std::size_t i = 0;
            while (i + 2 < t.points.size() && t.points[i + 1].year <= y)
                ++i;
            const DeltaTPoint &a = t.points[i], &b = t.points[i + 1];
            return a.deltaT + (double(b.deltaT) - a.deltaT) * (y - a.year) / (b.year - a.year);
        };
        QRandomGenerator rng(3);
        double y = 1700.0;
        for (int i = 0; i < 20000; ++i) {
            const double near = y + rng.bounded(4.0) - 2.0; // as consecutive conversions look up
            y = i % 2 && near > 1657.1 && near < 2023.6 ? near : 1657.1 + rng.bounded(366.5);
            if (!(std::fabs(deltaT(t, y) - linear(y)) < 1e-9))
                QFAIL(qPrintable(QString("Delta T at %1").arg(y, 0, 'f', 6)));
        }
    }

    // Working dates 0.1 s apart from 2017-01-01 00:00:00.05 (TAI - 35 s): the last second of
    // 2016, the inserted one labelled 60, then the new year.
    void leapSecond() {
        QList<int> seconds;
        CalendarTime previous = makeCalendar(2016, 12, 31, 23, 59, 58);
        for (int step = 0; step < 30; ++step) {
            TimeInstant instant = real_.instant();
            instant.setJd(2457754.5 + (0.05 + 0.1 * step) * kSecond);
            bool inLeap = false;
            const double utc = instant.utc(&inLeap);
            const CalendarTime c = instant.calendar();
            QVERIFY2(compareCalendar(previous, c) < 0, text(c));
            QCOMPARE(inLeap, c.second == 60);
            seconds << c.second;
            if (c.second == 60) // counted from the following midnight
                QVERIFY(std::fabs(utc - (2457754.5 + c.millisecond * kMs)) < 1e-9);
            previous = c;
        }
        QCOMPARE(seconds.count(59), 10);
        QCOMPARE(seconds.count(60), 10);
        QCOMPARE(seconds.count(0), 10);
    }

    // Delta T rising by 1 s a year after 2020: UT1 - UTC leaves -0.9 s within the year, and from
    // then on UTC keeps that distance from UT1.
    void leapExtrapolation() {
        const TimeScales steep(fixture(1.0));
        const UtcTable& t = *steep.table();
        QVERIFY(t.extrapolationActive);
        QCOMPARE(t.extrapolationOffset, -0.9 / 86400.0);
        // Delta T = 69.36 s + (year - 2020) s reaches 69.184 + 0.9 s
        QVERIFY(std::fabs(decimalYear(t.extrapolationStart) - 2020.724) < 0.01);
        for (double jd : {t.extrapolationStart + 1.0, t.extrapolationStart + 3000.0}) {
            const double lead = (steep.utcFromJd(jd) - steep.ut1FromJd(jd)) / kSecond;
            QVERIFY2(lead <= 0.9 + 1e-6 && lead > 0.899 - 1e-6, qPrintable(QString::number(lead)));
        }
    }

    // No table: TT - UTC = 69.184 s, so UTC is the working date less 2 s, and UT1 = UTC.
    void noTable() {
        const double x = 2460100.123456789;
        QVERIFY(std::fabs(none_.ut1FromJd(x) - (x - 2 * kSecond)) < 1e-9);
        const double utc = none_.utcFromJd(x);
        QVERIFY(utc <= x - 2 * kSecond + 1e-9 && utc > x - 2 * kSecond - kMs - 1e-9);
        TimeInstant empty = none_.instant();
        QVERIFY(std::isnan(empty.utc()) && std::isnan(empty.ut1()));
    }

    // A UTC instant, through its working date, comes back as itself to the millisecond.
    void roundTrip_data() {
        QTest::addColumn<int>("scales");
        int i = 0;
        for (const char* name :
             {"no table", "fixture table", "fixture table, extrapolating", "table from data/"})
            QTest::newRow(name) << i++;
    }

    void roundTrip() {
        QFETCH(int, scales);
        const TimeScales s = scales == 0   ? none_
                             : scales == 1 ? fixture_
                             : scales == 2 ? TimeScales(fixture(1.0))
                                           : real_;
        std::vector<CalendarTime> instants;
        QRandomGenerator rng(77 + scales);
        for (int i = 0; i < 20000; ++i)
            instants.push_back(randomCalendar(rng));
        for (int second = 0; second < 60; ++second)
            for (int ms : {0, 1, 999})
                instants.push_back(makeCalendar(2024, 6, 30, 23, 59, second, ms));
        for (int ms = 0; ms < 1000 && s.table(); ++ms) {
            instants.push_back(makeCalendar(2016, 12, 31, 23, 59, 60, ms));
            instants.push_back(makeCalendar(2015, 6, 30, 23, 59, 60, ms));
        }
        for (const CalendarTime& c : instants) {
            const double jd = s.workingJdFromUtcCalendar(c);
            const CalendarTime back = s.utcCalendarFromJd(jd);
            if (compareCalendar(back, c) != 0 || s.utcFromJd(jd) != calendarToJd(s.table(), c))
                QFAIL(qPrintable(text(c) + " comes back as " + text(back)));
        }
    }

    // The clock to the millisecond; with TAI - UTC = 37 s, as without a table, the working date
    // runs 2 s ahead of it.
    void currentInstant() {
        for (const TimeScales* s : {&none_, &fixture_}) {
            const CalendarTime before = systemUtcCalendar();
            const double jd = s->currentJd();
            const CalendarTime after = systemUtcCalendar();
            const CalendarTime shown = s->utcCalendarFromJd(jd);
            QVERIFY2(compareCalendar(before, shown) <= 0 && compareCalendar(shown, after) <= 0,
                     text(shown));
            QVERIFY(std::fabs((jd - calendarToJd(nullptr, shown)) / kSecond - 2.0) < 1e-4);
        }
        const double qtJd = 2440587.5 + QDateTime::currentMSecsSinceEpoch() / 86400000.0;
        QVERIFY(std::fabs(systemTimeJd() - qtJd) < 5 * kSecond);
    }

    // Two scales used in turn give exactly what each gives alone.
    void scalesShareNothing() {
        const auto convert = [](const TimeScales& s, double x) {
            const CalendarTime c = s.utcCalendarFromJd(x);
            return std::vector<double>{s.ut1FromJd(x), s.utcFromJd(x),
                                       s.workingJdFromUtcCalendar(c), double(c.millisecond)};
        };
        QRandomGenerator rng(5);
        std::vector<double> xs;
        std::vector<std::vector<double>> alone[2];
        for (int i = 0; i < 2000; ++i)
            xs.push_back(2441317.5 + rng.bounded(30000.0));
        for (double x : xs)
            alone[0].push_back(convert(none_, x));
        for (double x : xs)
            alone[1].push_back(convert(fixture_, x));
        for (std::size_t i = 0; i < xs.size(); ++i) {
            QVERIFY(convert(fixture_, xs[i]) == alone[1][i]);
            QVERIFY(convert(none_, xs[i]) == alone[0][i]);
        }
    }

    // Every reader of numbers in text (finals, the CLI, element sets, the table sources) takes
    // them here; NaN: refused.
    void numbersInText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("decimal");
        QTest::addColumn<double>("integer");
        const double no = std::nan("");
        QTest::newRow("plain") << QByteArray("42") << 42.0 << 42.0;
        QTest::newRow("blanks and plus") << QByteArray(" \t+1.5e3\r\n") << 1500.0 << no;
        QTest::newRow("plus integer") << QByteArray("+7") << 7.0 << 7.0;
        QTest::newRow("negative") << QByteArray("-.25") << -0.25 << no;
        QTest::newRow("two signs") << QByteArray("+-1") << no << no;
        QTest::newRow("plus plus") << QByteArray("++1") << no << no;
        QTest::newRow("sign alone") << QByteArray("+") << no << no;
        QTest::newRow("blank inside") << QByteArray("+ 1") << no << no;
        QTest::newRow("comma") << QByteArray("1,5") << no << no;
        QTest::newRow("hex") << QByteArray("0x10") << no << no;
        QTest::newRow("infinite") << QByteArray("inf") << no << no;
        QTest::newRow("nan") << QByteArray("nan") << no << no;
        QTest::newRow("out of range") << QByteArray("1e999") << no << no;
        QTest::newRow("empty") << QByteArray("  ") << no << no;
    }

    void numbersInText() {
        QFETCH(QByteArray, text);
        QFETCH(double, decimal);
        QFETCH(double, integer);
        const std::string_view view(text.constData(), std::size_t(text.size()));
        QCOMPARE(readDecimal(view).value_or(std::nan("")), decimal);
        const std::optional<long long> whole = readInteger(view);
        QCOMPARE(whole ? double(*whole) : std::nan(""), integer);
        double kept = 3.0;
        QCOMPARE(readNumber(view, kept), !std::isnan(decimal));
        QCOMPARE(kept, std::isnan(decimal) ? 3.0 : decimal);
    }
};

QTEST_GUILESS_MAIN(TestTime)
#include "tst_time.moc"
