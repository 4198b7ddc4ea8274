// The process-wide time module: the choice of table file at start-up with its standard-output
// lines, set-up of the shared instant, and the current instant that reads as true UTC.

#include "tests/astro/time_fixtures.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

Q_DECLARE_METATYPE(CalendarTime)

namespace {

constexpr double kSecond = 1.0 / 86400.0;

enum class Content { None, Fixture, Later, Broken };

// A fixture whose table date is a week later (its last point moved with it).
UtcTable later_table() {
    UtcTable t = fixture_table();
    t.points.back().year = static_cast<float>(year_of(make_calendar(2020, 1, 8)));
    t.table_date = make_calendar(2020, 1, 8);
    return t;
}

bool place(const QString& path, Content content) {
    switch (content) {
    case Content::None:
        return !QFile::exists(path) || QFile::remove(path);
    case Content::Fixture:
        return write_utc_file(path.toStdString(), fixture_table());
    case Content::Later:
        return write_utc_file(path.toStdString(), later_table());
    case Content::Broken: {
        std::vector<unsigned char> b = encode_utc_table(fixture_table());
        b.pop_back();
        return write_bytes(path, b);
    }
    }
    return false;
}

// Runs fn with the working directory switched to a fresh temporary one.
template <typename Fn> void in_scratch_dir(Fn fn) {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    fn(dir);
    QDir::setCurrent(before);
}

QByteArray run_capturing(bool (*fn)(std::FILE*), bool& result) {
    std::FILE* f = std::tmpfile();
    result = fn(f);
    std::rewind(f);
    QByteArray text;
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, static_cast<int>(n));
    std::fclose(f);
    return text;
}

bool setup_returning_table(std::FILE* f) {
    setup_time_scales(f);
    return active_utc_table() != nullptr;
}

CalendarTime random_calendar(QRandomGenerator& rng, int first_year, int last_year) {
    const double first = calendar_to_jd(nullptr, make_calendar(first_year, 1, 1));
    const double last = calendar_to_jd(nullptr, make_calendar(last_year + 1, 1, 1));
    CalendarTime c = jd_to_calendar(nullptr, first + std::floor(rng.bounded(last - first)));
    c.hour = static_cast<std::uint16_t>(rng.bounded(24));
    c.minute = static_cast<std::uint16_t>(rng.bounded(60));
    c.second = static_cast<std::uint16_t>(rng.bounded(60));
    c.millisecond = static_cast<std::uint16_t>(rng.bounded(1000));
    return c;
}

// The mend's promise for one UTC instant: the working date converts back to it exactly.
void check_round_trip(const CalendarTime& c) {
    const double jd = working_jd_from_utc_calendar(c);
    const CalendarTime back = utc_calendar_from_jd(jd);
    if (compare_calendar(back, c) != 0)
        QFAIL(qPrintable(
            QString("%1 comes back as %2").arg(describe(c).data(), describe(back).data())));
    const double expected = calendar_to_jd(active_utc_table(), c);
    if (utc_from_jd(jd) != expected)
        QFAIL(qPrintable(QString("utc_from_jd of %1 is off").arg(describe(c).data())));
    bool leap = false;
    shared_time_instant().set_jd(jd);
    shared_time_instant().get_utc(&leap);
    QCOMPARE(leap, c.second == 60);
}

} // namespace

class TstTimeModule : public QObject {
    Q_OBJECT

private slots:
    void tableChoice_data() {
        QTest::addColumn<int>("user");
        QTest::addColumn<int>("fallback");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("tableDay"); // day of January 2020 of the kept table; 0: none
        const QByteArray first = "init_time_data\n";
        const QByteArray user = first + "init_time_data OK with user data\n";
        const QByteArray fallback = first + "init_time_data OK with default data\n";
        const auto row = [](const char* name, Content u, Content d, const QByteArray& out,
                            int day) {
            QTest::newRow(name) << int(u) << int(d) << out << day;
        };
        row("neither file", Content::None, Content::None, first, 0);
        row("both broken", Content::Broken, Content::Broken, first, 0);
        row("only utc.bin", Content::None, Content::Fixture, fallback, 1);
        row("only user_utc.bin", Content::Fixture, Content::None, user, 1);
        row("equal dates: user file", Content::Fixture, Content::Fixture, user, 1);
        row("later utc.bin", Content::Fixture, Content::Later, fallback, 8);
        row("later user file", Content::Later, Content::Fixture, user, 8);
        row("user file broken", Content::Broken, Content::Later, fallback, 8);
        row("utc.bin broken", Content::Fixture, Content::Broken, user, 1);
    }

    void tableChoice() {
        QFETCH(int, user);
        QFETCH(int, fallback);
        QFETCH(QByteArray, output);
        QFETCH(int, tableDay);
        in_scratch_dir([&](QTemporaryDir&) {
            QVERIFY(place("user_utc.bin", Content(user)));
            QVERIFY(place("utc.bin", Content(fallback)));
            bool loaded = false;
            QCOMPARE(run_capturing(&init_time_data, loaded), output);
            QCOMPARE(loaded, tableDay != 0);
            QCOMPARE(active_utc_table() != nullptr, tableDay != 0);
            if (tableDay)
                QCOMPARE(describe(active_utc_table()->table_date),
                         describe(make_calendar(2020, 1, tableDay)));
            // The shared instant never keeps a discarded table.
            QCOMPARE(shared_time_instant().table(), static_cast<const UtcTable*>(nullptr));
        });
    }

#ifdef Q_OS_UNIX
    // The lines really go to standard output, flushed at once.
    void linesGoToStandardOutput() {
        in_scratch_dir([](QTemporaryDir& dir) {
            QVERIFY(place("utc.bin", Content::Fixture));
            const QString capture = dir.filePath("stdout.txt");
            std::fflush(stdout);
            const int saved = dup(STDOUT_FILENO);
            std::FILE* target = std::fopen(capture.toLocal8Bit().constData(), "w");
            QVERIFY(target);
            dup2(fileno(target), STDOUT_FILENO);
            const bool loaded = init_time_data();
            dup2(saved, STDOUT_FILENO);
            close(saved);
            std::fclose(target);
            QVERIFY(loaded);
            QFile f(capture);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(),
                     QByteArray("init_time_data\ninit_time_data OK with default data\n"));
        });
    }
#endif

    void setupBindsTheSharedInstant() {
        in_scratch_dir([](QTemporaryDir&) {
            QVERIFY(place("utc.bin", Content::Fixture));
            bool has_table = false;
            run_capturing(&setup_returning_table, has_table);
            QVERIFY(has_table);
            TimeInstant& instant = shared_time_instant();
            QCOMPARE(instant.table(), active_utc_table());
            QVERIFY(instant.calendar_valid());
            QVERIFY(!instant.tt_valid());
            QCOMPARE(describe(instant.calendar()), QByteArray("2020-01-01 00:00:00.000"));
            // The fixture's UT1 - UTC stays inside 0.9 s: no extrapolation.
            QVERIFY(!active_utc_table()->extrapolation_active);
        });
        in_scratch_dir([](QTemporaryDir&) {
            bool has_table = true;
            run_capturing(&setup_returning_table, has_table);
            QVERIFY(!has_table);
            QCOMPARE(shared_time_instant().table(), static_cast<const UtcTable*>(nullptr));
            QCOMPARE(shared_time_instant().gps_leap_seconds(), 18.0);
            QVERIFY(!shared_time_instant().tt_valid());
            QVERIFY(!shared_time_instant().calendar_valid());
        });
    }

    void setupPredictsLeapExtrapolation() {
        in_scratch_dir([](QTemporaryDir&) {
            UtcTable steep = fixture_table();
            steep.b = 1.0;
            steep.c = double(steep.points.back().delta_t) - double(steep.points.back().year);
            QVERIFY(write_utc_file("utc.bin", steep));
            bool has_table = false;
            run_capturing(&setup_returning_table, has_table);
            QVERIFY(has_table);
            QVERIFY(active_utc_table()->extrapolation_active);
            QCOMPARE(active_utc_table()->extrapolation_offset, -0.9 / 86400.0);
        });
    }

    void moduleOperationsWithoutTable() {
        in_scratch_dir([](QTemporaryDir&) {
            bool has_table = true;
            run_capturing(&setup_returning_table, has_table);
            const double x = 2460400.3;
            const double utc = utc_from_jd(x);
            QVERIFY(utc <= x - 2 * kSecond + 1e-9 && utc > x - 2.001 * kSecond - 1e-9);
            const double ut1 = ut1_from_jd(x);
            QVERIFY(std::fabs(ut1 - (x - 2 * kSecond)) < 1e-9);
            QVERIFY(std::fabs(ut1 - utc) < 0.001 * kSecond);
        });
    }

    // The mend: a UTC instant, through its working date, comes back as itself to the
    // millisecond, with or without a table (and inside a leap second).
    void workingDateRoundTrip_data() {
        QTest::addColumn<bool>("withTable");
        QTest::addColumn<bool>("extrapolated");
        QTest::newRow("no table") << false << false;
        QTest::newRow("fixture table") << true << false;
        QTest::newRow("fixture table, extrapolating") << true << true;
    }

    void workingDateRoundTrip() {
        QFETCH(bool, withTable);
        QFETCH(bool, extrapolated);
        in_scratch_dir([&](QTemporaryDir&) {
            UtcTable t = fixture_table();
            if (extrapolated) {
                t.b = 1.0;
                t.c = double(t.points.back().delta_t) - double(t.points.back().year);
            }
            if (withTable)
                QVERIFY(write_utc_file("utc.bin", t));
            bool has_table = false;
            run_capturing(&setup_returning_table, has_table);
            QCOMPARE(has_table, withTable);
            QCOMPARE(active_utc_table() && active_utc_table()->extrapolation_active, extrapolated);

            QRandomGenerator rng(withTable ? 77 : 78);
            for (int i = 0; i < 20000; ++i) {
                check_round_trip(random_calendar(rng, 1973, 2060));
                if (QTest::currentTestFailed())
                    return;
            }
            // Whole seconds and their neighbours, where truncation bites.
            for (int s = 0; s < 60; ++s)
                for (int ms : {0, 1, 999}) {
                    check_round_trip(make_calendar(2024, 6, 30, 23, 59, s, ms));
                    if (QTest::currentTestFailed())
                        return;
                }
            if (withTable) {
                for (int ms = 0; ms < 1000; ++ms) {
                    check_round_trip(make_calendar(2016, 12, 31, 23, 59, 60, ms));
                    check_round_trip(make_calendar(2015, 6, 30, 23, 59, 60, ms));
                    if (QTest::currentTestFailed())
                        return;
                }
            } else {
                // Without a table the working date runs 2 s ahead of the clock.
                const CalendarTime c = make_calendar(2025, 2, 3, 4, 5, 6, 789);
                const double ahead =
                    (working_jd_from_utc_calendar(c) - calendar_to_jd(nullptr, c)) / kSecond;
                QVERIFY(std::fabs(ahead - 2.0) < 1e-4);
            }
        });
    }

    void currentInstantIsTheClock_data() {
        QTest::addColumn<bool>("withTable");
        QTest::newRow("no table") << false;
        QTest::newRow("fixture table") << true;
    }

    void currentInstantIsTheClock() {
        QFETCH(bool, withTable);
        in_scratch_dir([&](QTemporaryDir&) {
            if (withTable)
                QVERIFY(place("utc.bin", Content::Fixture));
            bool has_table = false;
            run_capturing(&setup_returning_table, has_table);
            QCOMPARE(has_table, withTable);
            for (int i = 0; i < 50; ++i) {
                const CalendarTime before = system_utc_calendar();
                const double jd = current_jd();
                const CalendarTime after = system_utc_calendar();
                const CalendarTime shown = utc_calendar_from_jd(jd);
                QVERIFY2(compare_calendar(before, shown) <= 0 &&
                             compare_calendar(shown, after) <= 0,
                         describe(shown));
                const double utc = utc_from_jd(jd);
                QVERIFY(utc >= calendar_to_jd(nullptr, before) &&
                        utc <= calendar_to_jd(nullptr, after));
                // TT - 67.184 s: with TAI - UTC = 37 s, as without a table, 2 s ahead of UTC.
                const double lead = (jd - calendar_to_jd(nullptr, shown)) / kSecond;
                QVERIFY2(std::fabs(lead - 2.0) < 1e-4, qPrintable(QString::number(lead)));
            }
        });
    }

    void systemClock() {
        const CalendarTime c = system_utc_calendar();
        QVERIFY(c.year >= 2024 && c.year < 2200);
        QVERIFY(c.month >= 1 && c.month <= 12 && c.hour < 24 && c.minute < 60 && c.second < 60 &&
                c.millisecond < 1000);
        const QDateTime qt = QDateTime::currentDateTimeUtc();
        const double jd = system_time_jd();
        const double qt_jd = 2440587.5 + qt.toMSecsSinceEpoch() / 86400000.0;
        QVERIFY(std::fabs(jd - qt_jd) < 5 * kSecond);
    }
};

QTEST_GUILESS_MAIN(TstTimeModule)
#include "tst_time_module.moc"
