// The shipped time data: the table that the build generates from data/, checked against known
// values, and the orbitrak-utctable tool that makes it.

#include "tests/astro/time_fixtures.h"
#include "tools/utctable/utc_csv.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sstream>

Q_DECLARE_METATYPE(CalendarTime)

namespace {

constexpr double kSecond = 1.0 / 86400.0;

QString generated_table() {
    return QStringLiteral(ORBITRAK_BINARY_DIR "/utc.bin");
}

QString data_file(const char* name) {
    return QStringLiteral(ORBITRAK_DATA_DIR "/") + QLatin1String(name);
}

struct ToolRun {
    int exit_code = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun run_tool(const QStringList& args, const QString& dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral(ORBITRAK_UTCTABLE_TOOL), args);
    ToolRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exit_code = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstTimeData : public QObject {
    Q_OBJECT

private:
    std::optional<UtcTable> table_;

private slots:
    void initTestCase() {
        table_ = load_utc_file(generated_table().toStdString());
        QVERIFY2(table_, qPrintable(generated_table() + " is missing or rejected"));
    }

    void generatedTableShape() {
        QCOMPARE(describe(table_->table_date).left(10), QByteArray("2023-09-16"));
        QCOMPARE(table_->leaps.size(), std::size_t(41));
        QCOMPARE(table_->points.size(), std::size_t(735));
        QCOMPARE(table_->a, 0.0);
        QCOMPARE(table_->b, 0.0);
        QCOMPARE(table_->c, double(table_->points.back().delta_t));
        QVERIFY(std::fabs(table_->c - 69.0776) < 1e-4);
        // Constant Delta T keeps UT1 - UTC near +0.1 s: no extrapolation is predicted.
        UtcTable t = *table_;
        QVERIFY(!setup_leap_extrapolation(t, 0.9));
    }

    void taiMinusUtc_data() {
        QTest::addColumn<CalendarTime>("utc");
        QTest::addColumn<double>("seconds");
        QTest::newRow("2020") << make_calendar(2020, 7, 1, 12) << 37.0;
        QTest::newRow("1972-01-01") << make_calendar(1972, 1, 1) << 10.0;
        QTest::newRow("1970-01-01")
            << make_calendar(1970, 1, 1) << 4.2131700 + (40587.0 - 39126.0) * 0.002592;
        QTest::newRow("1971-12-31 noon")
            << make_calendar(1971, 12, 31, 12) << 4.2131700 + (41316.5 - 39126.0) * 0.002592;
        QTest::newRow("1999-01-01") << make_calendar(1999, 1, 1) << 32.0;
        QTest::newRow("2016-12-31 23:59:60") << make_calendar(2016, 12, 31, 23, 59, 60) << 36.0;
    }

    void taiMinusUtc() {
        QFETCH(CalendarTime, utc);
        QFETCH(double, seconds);
        const double j = calendar_to_jd(&*table_, utc);
        const double got = (utc_calendar_to_tt(*table_, utc) - j) / kSecond - 32.184;
        QVERIFY2(std::fabs(got - seconds) < 1e-4, qPrintable(QString::number(got, 'f', 7)));
    }

    void deltaTAt2000() {
        const double dt = delta_t(*table_, 2000.0);
        QVERIFY2(std::fabs(dt - 63.83) < 0.01, qPrintable(QString::number(dt, 'f', 4)));
        // Beyond the data it stays at the last value.
        QCOMPARE(delta_t(*table_, 2030.0), double(table_->points.back().delta_t));
        QCOMPARE(delta_t(*table_, 1600.0), 44.3 * 4 - 640.0 + 1360.0);
    }

    // Every leap second since 1972 and random present-day instants keep their calendar through
    // the working date, with the real table active.
    void realTableRoundTrips() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QFile::copy(generated_table(), dir.filePath("utc.bin")));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        std::FILE* sink = std::tmpfile();
        setup_time_scales(sink);
        std::fclose(sink);
        QDir::setCurrent(before);
        QVERIFY(active_utc_table());

        std::vector<CalendarTime> instants;
        for (std::size_t i = 1; i < active_utc_table()->leaps.size(); ++i) {
            const LeapRecord& r = active_utc_table()->leaps[i];
            if (r.year < 1972 || r.offset - active_utc_table()->leaps[i - 1].offset != 1.0)
                continue;
            CalendarTime day_before = jd_to_calendar(
                nullptr, calendar_to_jd(nullptr, make_calendar(r.year, r.month, r.day)) - 1);
            for (int ms = 0; ms < 1000; ms += 37) {
                instants.push_back(make_calendar(day_before.year, day_before.month, day_before.day,
                                                 23, 59, 60, ms));
                instants.push_back(make_calendar(day_before.year, day_before.month, day_before.day,
                                                 23, 59, 59, ms));
                instants.push_back(make_calendar(r.year, r.month, r.day, 0, 0, 0, ms));
            }
        }
        QCOMPARE(instants.size(), std::size_t(27 * 3 * 28));
        QRandomGenerator rng(99);
        for (int i = 0; i < 20000; ++i) {
            const double jd =
                calendar_to_jd(nullptr, make_calendar(1972, 1, 1)) + rng.bounded(25000.0);
            CalendarTime c = jd_to_calendar(nullptr, std::floor(jd) + 0.5);
            c.hour = static_cast<std::uint16_t>(rng.bounded(24));
            c.minute = static_cast<std::uint16_t>(rng.bounded(60));
            c.second = static_cast<std::uint16_t>(rng.bounded(60));
            c.millisecond = static_cast<std::uint16_t>(rng.bounded(1000));
            instants.push_back(c);
        }
        for (const CalendarTime& c : instants) {
            const CalendarTime back = utc_calendar_from_jd(working_jd_from_utc_calendar(c));
            if (compare_calendar(back, c) != 0)
                QFAIL(qPrintable(
                    QString("%1 comes back as %2").arg(describe(c).data(), describe(back).data())));
        }
    }

    // --- the tool ---

    void toolHelp() {
        QTemporaryDir dir;
        const ToolRun r = run_tool({"--help"}, dir.path());
        QCOMPARE(r.exit_code, 0);
        QVERIFY(r.out.startsWith(
            "Usage: orbitrak-utctable [-o FILE] [--tai-utc CSV] [--delta-t CSV]\n"));
        QVERIFY(r.err.isEmpty());
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void toolBuildsTheSameTable_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output");
        QTest::newRow("defaults") << QStringList() << "utc.bin";
        QTest::newRow("-o and both inputs") << QStringList{"-o",        "mine.bin",
                                                           "--tai-utc", data_file("tai-utc.csv"),
                                                           "--delta-t", data_file("delta-t.csv")}
                                            << "mine.bin";
    }

    void toolBuildsTheSameTable() {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QTemporaryDir dir;
        const ToolRun r = run_tool(args, dir.path());
        QCOMPARE(r.exit_code, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY(r.out.contains("41 leap records, 735 Delta T points, table date 2023-09-16"));
        const QByteArray made = read_all(dir.filePath(output));
        QVERIFY(!made.isEmpty());
        QCOMPARE(made, read_all(generated_table()));
    }

    void toolErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("taiUtc");  // written to tai.csv when not empty
        QTest::addColumn<QByteArray>("deltaT");  // written to dt.csv when not empty
        QTest::addColumn<QByteArray>("message"); // part of the one stderr line
        const QStringList own{"--tai-utc", "tai.csv", "--delta-t", "dt.csv"};
        const QByteArray good_tai =
            "year,month,day,offset_s,ref_mjd,rate_s_per_day\n2017,1,1,37,41317,0\n";
        QByteArray good_dt = "tt_jd,decimal_year,delta_t_s\n";
        for (int i = 0; i < 12; ++i) {
            const double jd = 2451545.0 + 100.0 * i;
            good_dt += QByteArray::number(jd, 'f', 1) + "," +
                       QByteArray::number((jd - 2451545.0) / 365.25 + 2000.0, 'f', 6) + ",64\n";
        }
        QTest::newRow("unknown option")
            << QStringList{"--frobnicate"} << QByteArray() << QByteArray()
            << QByteArray("unknown option '--frobnicate'");
        QTest::newRow("-o without a value") << QStringList{"-o"} << QByteArray() << QByteArray()
                                            << QByteArray("option -o needs a value");
        QTest::newRow("missing CSV") << QStringList{"--tai-utc", "nowhere.csv"} << QByteArray()
                                     << QByteArray() << QByteArray("cannot open nowhere.csv");
        QTest::newRow("unwritable output")
            << (QStringList{"-o", "no/such/dir/utc.bin"} + own) << good_tai << good_dt
            << QByteArray("cannot write no/such/dir/utc.bin");
        QTest::newRow("own good data") << own << good_tai << good_dt << QByteArray();
        QTest::newRow("wrong header") << own << QByteArray("year,month,day\n2017,1,1\n") << good_dt
                                      << QByteArray("tai.csv: line 1: expected the header");
        QTest::newRow("impossible date") << own << QByteArray(good_tai + "2017,2,30,38,41317,0\n")
                                         << good_dt << QByteArray("tai.csv: line 3: invalid date");
        QTest::newRow("steps out of order")
            << own << QByteArray(good_tai + "2016,7,1,38,41317,0\n") << good_dt
            << QByteArray("line 3: dates must be strictly ascending");
        QTest::newRow("no steps")
            << own << QByteArray("# nothing\nyear,month,day,offset_s,ref_mjd,rate_s_per_day\n")
            << good_dt << QByteArray("no TAI-UTC rows");
        QTest::newRow("eleven Delta T rows")
            << own << good_tai << good_dt.left(good_dt.lastIndexOf('\n', good_dt.size() - 2) + 1)
            << QByteArray("at least 12 Delta T rows are needed, found 11");
        QTest::newRow("year column disagrees")
            << own << good_tai << QByteArray(good_dt + "2453000.5,2099.0,64\n")
            << QByteArray("dt.csv: line 14: decimal year does not match");
        QTest::newRow("not a number")
            << own << good_tai << QByteArray(good_dt + "2453000.5,2003.98,sixty\n")
            << QByteArray("dt.csv: line 14: invalid number");
        QTest::newRow("NaN") << own << QByteArray(good_tai + "2018,1,1,nan,41317,0\n") << good_dt
                             << QByteArray("tai.csv: line 3: invalid number");
        QTest::newRow("too many fields")
            << own << good_tai << QByteArray(good_dt + "1,2,3,4\n")
            << QByteArray("dt.csv: line 14: expected 3 fields, found 4");
    }

    void toolErrors() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, taiUtc);
        QFETCH(QByteArray, deltaT);
        QFETCH(QByteArray, message);
        QTemporaryDir dir;
        auto put = [&dir](const char* name, const QByteArray& text) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        if (!taiUtc.isEmpty())
            put("tai.csv", taiUtc);
        if (!deltaT.isEmpty())
            put("dt.csv", deltaT);
        const ToolRun r = run_tool(args, dir.path());
        if (message.isEmpty()) {
            QCOMPARE(r.exit_code, 0);
            QVERIFY(load_utc_file(dir.filePath("utc.bin").toStdString()));
            return;
        }
        QCOMPARE(r.exit_code, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("orbitrak-utctable: ") && r.err.endsWith('\n') &&
                     r.err.count('\n') == 1,
                 r.err.constData());
        QVERIFY2(r.err.contains(message), r.err.constData());
        QVERIFY(!QFile::exists(dir.filePath("utc.bin")));
    }

    void csvAcceptsCommentsBlankLinesAndCrlf() {
        std::istringstream in(
            "# history\r\n\r\n year,month,day,offset_s,ref_mjd,rate_s_per_day \r\n"
            "1961,1,1,1.4228180,37300,0.001296\r\n# a note\r\n1972, 1, 1, 10, 41317, 0\r\n");
        std::vector<LeapRecord> leaps;
        std::string error;
        QVERIFY2(read_tai_utc_csv(in, leaps, error), error.c_str());
        QCOMPARE(leaps.size(), std::size_t(2));
        QCOMPARE(leaps[0].offset, 1.4228180);
        QCOMPARE(leaps[0].ref_mjd, 37300.0f);
        QCOMPARE(leaps[0].rate, 0.001296f);
        QCOMPARE(leaps[1].year, 1972);
        QCOMPARE(leaps[1].offset, 10.0);
    }
};

QTEST_GUILESS_MAIN(TstTimeData)
#include "tst_time_data.moc"
