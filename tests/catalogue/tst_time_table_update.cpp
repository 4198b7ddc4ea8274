// The time table from Bulletin A: orbitrak-utctable --finals on a finals2000A file around the
// leap second of 2016-12-31, and its refresh through the catalogue's downloader against a web
// server inside the test, by the object and by orbitrak-cli update; and every writer on a full
// file system.
#include "astro/time_scales.h"
#include "catalogue/settings_store.h"
#include "catalogue/time_table_updater.h"
#include "catalogue/update_settings.h"
#include "tests/catalogue/http_test_server.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"
#include "tests/common/scratch_settings_main.h"
#include "tracking/pass_recorder.h"

#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <tuple>

#include <unistd.h>

namespace {

const QString kFinals = QStringLiteral(ORBITRAK_TEST_DATA "/time/finals2000A-2016.txt");
const QString kData = QStringLiteral(ORBITRAK_TEST_DATA "/../../data");

// Bulletin A's UT1-UTC on the test file's first of the month, and Delta T by hand:
// 32.184 s + (TAI-UTC) - (UT1-UTC).
struct HandValue {
    int year, month;
    double ut1MinusUtc, deltaT;
};
const HandValue kHand[] = {{2016, 12, -0.3812984, 32.184 + 36 - -0.3812984},
                           {2017, 2, 0.5564161, 32.184 + 37 - 0.5564161}};

// The test file with UT1-UTC of the rows from `mjd` on moved by `seconds`.
QByteArray shifted(QByteArray text, int mjd, double seconds) {
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines) {
        if (line.size() >= 68 && line.mid(7, 5).toInt() >= mjd)
            line.replace(58, 10,
                         QByteArray::number(line.mid(58, 10).toDouble() + seconds, 'f', 7)
                             .rightJustified(10));
    }
    return lines.join('\n');
}

QByteArray firstLines(const QByteArray& text, int n) {
    int end = -1;
    for (int i = 0; i < n; ++i)
        end = text.indexOf('\n', end + 1);
    return text.left(end + 1);
}

} // namespace

class TestTimeTableUpdate : public QObject {
    Q_OBJECT

    HttpTestServer server;
    QByteArray finals;
    UtcTable history; // the built table, cut before the test file begins

    // Refreshes into `target` at `at`; whether it asked, and the lines it logged.
    bool refresh(const QString& cache, const QString& target, const QDateTime& at,
                 QStringList& lines) {
        TimeTableUpdater updater;
        updater.setCacheFolder(cache);
        updater.setClock([at] { return at; });
        QSignalSpy finished(&updater, &TimeTableUpdater::finished);
        lines.clear();
        if (!updater.refreshIfDue(server.url("/finals"), &history, target))
            return false;
        if (!finished.wait(30000))
            return false;
        for (const UpdateMessage& message : updater.messages())
            lines << message.text;
        return true;
    }

private slots:
    void initTestCase() {
        finals = readBytes(kFinals);
        std::optional<UtcTable> built = loadUtcFile(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(built);
        history = *built;
        while (history.points.back().year > 2016.0f)
            history.points.pop_back();
        history.tableDate = makeCalendar(2015, 12, 31);
    }

    void utctable_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("withoutLastLeap");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("history has the leap") << finals << false << 0 << "table date 2017-03-31";
        QTest::newRow("leap from the file")
            << finals << true << 0 << "New leap second from FILE: 2017-01-01, TAI-UTC 37 s";
        QTest::newRow("cut") << finals.left(30000) << false << 2
                             << "FILE: the file ends in the middle of a line";
        QTest::newRow("no step at the leap") << shifted(finals, 57754, -1.0) << false << 2
                                             << "FILE: UT1-UTC does not step at the leap second "
                                                "of 2017-01-01";
        QTest::newRow("a 0.3 s jump") << shifted(finals, 57800, 0.3) << false << 2
                                      << "FILE: UT1-UTC jumps by 0.2987 s on 2017-02-16";
        QTest::newRow("a day missing")
            << finals.left(finals.indexOf("1610 1")) + finals.mid(finals.indexOf("1610 2")) << false
            << 2 << "FILE: line 93: MJD 57663 does not follow the line before";
        QTest::newRow("too few observed") << firstLines(finals, 20) << false << 2
                                          << "FILE: 20 observed days, at least 30 are needed";
    }

    // The program as the build and a person run it, on the file and the data/ history.
    void utctable() {
        QFETCH(QByteArray, file);
        QFETCH(bool, withoutLastLeap);
        QFETCH(int, status);
        QFETCH(QString, said);
        QTemporaryDir work;
        const QString input = work.filePath("finals.txt"), output = work.filePath("user_utc.bin");
        QVERIFY(writeBytes(input, file));
        QByteArray taiUtc = readBytes(kData + "/tai-utc.csv");
        if (withoutLastLeap)
            taiUtc.truncate(taiUtc.lastIndexOf("2017,1,1"));
        QVERIFY(writeBytes(work.filePath("tai-utc.csv"), taiUtc));
        const ProgramRun run =
            runProgram(ORBITRAK_UTCTABLE, {"--finals", input, "-o", output, "--tai-utc",
                                           work.filePath("tai-utc.csv")});
        QCOMPARE(run.exitCode, status);
        const QString printed = QString::fromLocal8Bit(status == 0 ? run.out : run.err);
        QVERIFY2(printed.contains(QString(said).replace("FILE", input)), qPrintable(printed));
        const std::optional<UtcTable> table = loadUtcFile(output.toStdString());
        QCOMPARE(table.has_value(), status == 0);
        if (!table)
            return;
        QCOMPARE(formatCalendar(table->tableDate).substr(0, 10), std::string("2017-03-31"));
        const LeapRecord& leap = table->leaps.back();
        QCOMPARE(std::make_tuple(int(leap.year), int(leap.month), int(leap.day), leap.offset),
                 std::make_tuple(2017, 1, 1, 37.0));
        // The same leap count as the full history: the file's leap is not added twice.
        QCOMPARE(table->leaps.size(), std::size_t(41));
        const TimeScales scales(*table);
        for (const HandValue& hand : kHand) {
            const double jd =
                scales.workingJdFromUtcCalendar(makeCalendar(hand.year, hand.month, 1));
            const double ut1MinusUtc = (scales.ut1FromJd(jd) - scales.utcFromJd(jd)) * 86400.0;
            QVERIFY2(std::fabs(ut1MinusUtc - hand.ut1MinusUtc) < 2e-4,
                     qPrintable(QString::number(ut1MinusUtc)));
            const auto point =
                std::find_if(table->points.begin(), table->points.end(), [&](const DeltaTPoint& p) {
                    return std::fabs(p.year - decimalYear(jd + kWorkingToTtDays)) < 1e-3;
                });
            QVERIFY(point != table->points.end());
            QCOMPARE(qRound(point->deltaT * 1e4), qRound(hand.deltaT * 1e4));
        }
    }

    // utc.bin is little-endian whatever the processor: one written on x86-64 (committed) is the
    // very file the program here writes from the same inputs, reads as written and is written
    // back byte for byte.
    void tableIsTheSameOnEveryProcessor() {
        const QString time = QStringLiteral(ORBITRAK_TEST_DATA "/time/");
        const QByteArray committed = readBytes(time + "utc-x86_64.bin");
        QTemporaryDir work;
        const ProgramRun run =
            runProgram(ORBITRAK_UTCTABLE,
                       {"-o", work.filePath("utc.bin"), "--tai-utc", time + "tai-utc-2017.csv",
                        "--delta-t", time + "delta-t-sample.csv"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(readBytes(work.filePath("utc.bin")), committed);
        const std::optional<UtcTable> table = loadUtcFile((time + "utc-x86_64.bin").toStdString());
        QVERIFY(table);
        QCOMPARE(bytesOf(encodeUtcTable(*table)), committed);
        QCOMPARE(formatCalendar(table->tableDate).substr(0, 10), std::string("2023-09-16"));
        QCOMPARE(table->leaps.size(), std::size_t(41));
        const LeapRecord& first = table->leaps.front();
        QCOMPARE(std::make_tuple(int(first.year), int(first.month), int(first.day), first.offset,
                                 first.refMjd, first.rate),
                 std::make_tuple(1961, 1, 1, 1.422818, 37300.0f, 0.001296f));
        QCOMPARE(table->points.size(), std::size_t(15));
        QCOMPARE(std::make_pair(table->points.back().year, table->points.back().deltaT),
                 std::make_pair(2023.705683f, 69.0776f));
    }

    // A week's refreshes: the first writes, the next within the week does not ask, the one
    // after asks conditionally, a refusal pauses the host, and a paused host is not asked.
    void refresh() {
        QTemporaryDir cache, data;
        const QString target = data.filePath("Orbitrak/user_utc.bin");
        const QDateTime start(QDate(2017, 4, 2), QTime(6, 0), Qt::UTC);
        server.answers["/finals"] =
            server.response("200 OK", finals,
                            "ETag: \"v1\"\r\nLast-Modified: Sat, 01 Apr 2017 "
                            "00:00:00 GMT\r\n");
        QStringList lines;
        QVERIFY(refresh(cache.path(), target, start, lines));
        QCOMPARE(lines, QStringList{"Time table updated to 2017-03-31."});
        QVERIFY(server.lastRequest.value("/finals").contains("User-Agent: Orbitrak/"));
        const QByteArray written = readBytes(target);
        QCOMPARE(formatCalendar(loadUtcFile(target.toStdString())->tableDate).substr(0, 10),
                 std::string("2017-03-31"));

        const int asked = server.requests.value("/finals");
        QVERIFY(!refresh(cache.path(), target, start.addDays(6), lines));
        QCOMPARE(server.requests.value("/finals"), asked);

        server.answers["/finals"] = server.response("304 Not Modified", "");
        QVERIFY(refresh(cache.path(), target, start.addDays(8), lines));
        QVERIFY(server.lastRequest.value("/finals").contains("If-None-Match: \"v1\""));
        QCOMPARE(lines, QStringList{"The time table from " + server.url("/finals") +
                                    " holds nothing newer than 2017-03-31."});

        server.answers["/finals"] = server.response("503 Service Unavailable", "busy");
        QVERIFY(refresh(cache.path(), target, start.addDays(16), lines));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("Updates from 127.0.0.1 paused until 2017-04-19 06:00"));
        QCOMPARE(lines[1], "Cannot update from " + server.url("/finals") + ": HTTP status 503.");
        QCOMPARE(readBytes(target), written);

        // A host paused by another source's refusal is not asked either.
        QTemporaryDir otherCache;
        server.answers["/forbidden"] = server.response("403 Forbidden", "");
        CatalogueUpdater catalogue;
        catalogue.setCacheFolder(otherCache.path());
        QSignalSpy done(&catalogue, &CatalogueUpdater::finished);
        catalogue.start({server.url("/forbidden")}, data.filePath("satell.txt"));
        QVERIFY(done.wait(30000));
        const int before = server.requests.value("/finals");
        QVERIFY(!refresh(otherCache.path(), target, QDateTime::currentDateTimeUtc(), lines));
        QCOMPARE(server.requests.value("/finals"), before);
    }

    void broken_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("reason");
        const auto ok = [](const QByteArray& body) {
            return HttpTestServer::response("200 OK", body);
        };
        QTest::newRow("cut mid-line")
            << ok(finals.left(40000)) << "the file ends in the middle of a line";
        QTest::newRow("connection cut")
            << HttpTestServer::response(
                   "200 OK", finals.left(40000),
                   "Content-Length: " + QByteArray::number(finals.size()) + "\r\n", false)
            << "*";
        QTest::newRow("web page") << ok("<html><body>Moved.</body></html>\n")
                                  << "line 1: the date, MJD or UT1-UTC columns cannot be read";
        QTest::newRow("out of range")
            << ok(shifted(finals, 57900, 0.7)) << "line 331: UT1-UTC of 1.0981 s is out of range";
    }

    // Nothing of a broken answer reaches the file.
    void broken() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, reason);
        QTemporaryDir cache, data;
        const QString target = data.filePath("user_utc.bin");
        QVERIFY(writeBytes(target, "the table in place"));
        server.answers["/finals"] = answer;
        QStringList lines;
        QVERIFY(refresh(cache.path(), target, QDateTime::currentDateTimeUtc(), lines));
        QCOMPARE(lines.size(), 1);
        const QString prefix = "Cannot update from " + server.url("/finals") + ": ";
        if (reason == "*")
            QVERIFY2(lines[0].startsWith(prefix), qPrintable(lines[0]));
        else
            QCOMPARE(lines[0], prefix + reason + '.');
        QCOMPARE(readBytes(target), QByteArray("the table in place"));
    }

    // orbitrak-cli update continues the table it finds and writes the per-user user_utc.bin.
    void cli() {
        QTemporaryDir work;
        QVERIFY(writeUtcFile(work.filePath("utc.bin").toStdString(), history));
        server.answers["/finals"] = server.response("200 OK", finals);
        server.answers["/missing"] = server.response("404 Not Found", "");
        QSettings settings = settingsStore();
        settings.setValue("time_table_source", server.url("/finals"));
        settings.sync();
        const ProgramRun run =
            runProgram(ORBITRAK_CLI, {"update", "--source", server.url("/missing")}, work.path());
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.endsWith("\nTime table updated to 2017-03-31.\n"), run.err.constData());
        const std::optional<UtcTable> table =
            loadUtcFile(QFile::encodeName(userDataFolder() + "/user_utc.bin").toStdString());
        QVERIFY(table);
        QCOMPARE(table->tableDate.month, std::uint16_t(3));
    }

    // A full file system: the update, orbitrak-utctable and a pass record each fail loudly and
    // leave the files there byte for byte, with nothing half written beside them.
    void fullDisk() {
        if (::geteuid() != 0)
            QSKIP("Mounting the small file system this needs takes root; not tested.");
        QTemporaryDir work;
        const QString disk = work.filePath("disk");
        QVERIFY(QDir().mkpath(disk));
        QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", disk}), 0);
        const auto unmount = qScopeGuard([&disk] { QProcess::execute("umount", {disk}); });
        const QByteArray catalogue = readBytes(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt");
        const QByteArray oldCatalogue = firstLines(catalogue, 3);
        const QByteArray oldTable = readBytes(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(writeBytes(disk + "/satell.txt", oldCatalogue) &&
                writeBytes(disk + "/utc.bin", oldTable) && QDir().mkpath(disk + "/passes"));
        writeBytes(disk + "/filler", QByteArray(64 << 10, 'x')); // as much as fits
        QVERIFY(writeBytes(work.filePath("sets.txt"), firstLines(catalogue, 300)));
        settingsStore().setValue("time_table_source", QString()); // no refresh after the update

        const ProgramRun update =
            runProgram(ORBITRAK_CLI, {"update", "--source",
                                      QUrl::fromLocalFile(work.filePath("sets.txt")).toString(),
                                      "--out", disk + "/satell.txt"});
        QCOMPARE(update.exitCode, 1);
        QCOMPARE(update.err, "Cannot write " + QFile::encodeName(disk) +
                                 "/satell.txt: No space left on device.\n");
        const ProgramRun table = runProgram(ORBITRAK_UTCTABLE, {"-o", disk + "/utc.bin"});
        QCOMPARE(table.exitCode, 2);
        QCOMPARE(table.err, "orbitrak-utctable: Cannot write " + QFile::encodeName(disk) +
                                "/utc.bin: No space left on device.\n");

        const TimeScales scales;
        PassRecorder recorder(scales, disk + "/passes", [](long) {
            return SatelliteFix{2461119.5, 45.0, 180.0};
        });
        QSignalSpy logged(&recorder, &PassRecorder::logEvent);
        recorder.follow(25544);
        recorder.beginPass();
        for (int i = 0; i < 100; ++i)
            recorder.addReading('T', 1.0, -1.0);
        recorder.endPass();
        QCOMPARE(logged.count(), 1);
        QVERIFY2(logged[0][0].toString().endsWith(": No space left on device."),
                 qPrintable(logged[0][0].toString()));
        QCOMPARE(logged[0][1].value<LogLevel>(), LogLevel::Error);

        QCOMPARE(readBytes(disk + "/satell.txt"), oldCatalogue);
        QCOMPARE(readBytes(disk + "/utc.bin"), oldTable);
        QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({"filler", "satell.txt", "utc.bin"}));
        QCOMPARE(QDir(disk + "/passes").entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

ORBITRAK_SCRATCH_SETTINGS_MAIN(QCoreApplication, TestTimeTableUpdate)
#include "tst_time_table_update.moc"
