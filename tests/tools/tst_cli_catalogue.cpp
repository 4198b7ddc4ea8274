// orbitrak-cli run as a program on element sets: convert between the forms, the refusal of files
// in no known form, CSV names that are not formulas, sky's CSV against the computation, and
// update against a web server inside the test.
#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/update_settings.h"
#include "sky/sky_computation.h"
#include "tests/catalogue/http_test_server.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"
#include "tests/common/scratch_settings_main.h"
#include "tests/common/test_sets.h"
#include "tests/hostile/hostile_catalogue.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(Site)

static std::vector<LiveRow> computeAt(Catalogue& catalogue, const TimeScales& scales,
                                      const QString& utc, const Site& site) {
    const double jd = scales.workingJdFromUtcCalendar(*parseCalendar(utc.toStdString()));
    return SkyComputation(scales).compute(catalogue, jd, site, SkyComputation::Wait::ForEverySet);
}

class TestCliCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    HttpTestServer server;
    QList<QByteArray> sets; // the catalogue's first six, three lines each
    QString fileSource;     // of the fourth and fifth

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        sets = activeCatalogueHead(6);
        server.answers["/a"] = server.response("200 OK", sets[0] + sets[1] + sets[2]);
        server.answers["/missing"] = server.response("404 Not Found", "no such page");
        server.answers["/forbidden"] = server.response("403 Forbidden", "go away");
        fileSource = QUrl::fromLocalFile(scratch.filePath("sets.txt")).toString();
        QVERIFY(writeBytes(scratch.filePath("sets.txt"), sets[3] + sets[4]));
    }

    // orbitrak-cli: convert gives 0 with a set written, 1 with none, 2 for a usage error; every
    // command refuses a file in no known form.
    void cli_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out"); // a piece of standard output
        QTest::addColumn<QByteArray>("err"); // and of standard error
        const auto row = [](const char* name, const char* args, int code, const char* out,
                            const char* err) {
            QTest::newRow(name) << QString(args).split(' ') << code << QByteArray(out)
                                << QByteArray(err);
        };
        row("to tle", "convert sample.json", 0,
            "FIRST ALPHA-5\n1 A0000U 98067A   26078.50000143 -.00002182  00000+0 -11606-4 0  "
            "9998\n",
            "skipped 1 element sets whose catalogue numbers do not fit a TLE");
        row("to csv", "convert --to csv sample.json", 0,
            "\r\n\"DEB, PIECE \"\"A\"\" & MORE\",1998-067A,2026-03-19T12:00:00.123456,15.48919755,",
            "skipped 3 element sets that failed their checks");
        row("to xml", "convert --to=xml sample.json", 0,
            "<OBJECT_NAME>DEB, PIECE \"A\" &amp; MORE<", "");
        row("to kvn", "convert --to kvn sample.json", 0, "\nNORAD_CAT_ID = 270000000\n", "");
        row("to json", "convert --to json sample.kvn", 0, "\n    \"BSTAR\": -0.000011606,\n", "");
        row("nothing valid", "convert bad.json", 1, "",
            "orbitrak-cli: convert: set 1: MEAN_MOTION is missing\n"
            "orbitrak-cli: convert: set 2: ECCENTRICITY does not read\n"
            "orbitrak-cli: convert: set 3: a value lies out of range\n"
            "orbitrak-cli: convert: skipped 3 element sets");
        row("the first five reasons", "convert skips.txt", 0, "GOOD\n1 25544U",
            "orbitrak-cli: convert: set 2 (line 5): line 1 has check digit 1 where its columns "
            "give 0\n"
            "orbitrak-cli: convert: set 3 (line 8): line 2 is missing\n"
            "orbitrak-cli: convert: set 4 (line 9): lines 1 and 2 carry different catalogue "
            "numbers\n"
            "orbitrak-cli: convert: set 5 (line 13): line 2 has 60 columns, not 69\n"
            "orbitrak-cli: convert: set 6 (line 15): line 1 is missing\n"
            "orbitrak-cli: convert: skipped 6 element sets that failed their checks\n");
        row("csv rows", "convert --to kvn bad.csv", 1, "",
            "set 1 (line 3): the row has 3 fields, the header 2\n");
        for (const char* command : {"convert", "sky --tle", "passes --tle", "transits --tle",
                                    "propagate --minutes 0 --tle"})
            QTest::addRow("no known form: %s", command)
                << (QString(command) + " notes.md").split(' ') << 2 << QByteArray()
                << "orbitrak-cli: " + QByteArray(command).split(' ').front() +
                       ": notes.md holds no element sets in a known form.\n";
        // Two-line sets as tools write them, named by their designators; a date alone is its 0h.
        row("two-line sets", "sky --tle two.txt --at 2026-03-19 --csv", 0, "\n900,1964-063C,", "");
        row("sky names its columns", "sky --help", 0, "\nColumns: Name (", "");
        row("update names the forms", "update --help", 0,
            "orbit mean-elements messages (OMM) as JSON,\nCSV, XML or KVN", "");
        row("unknown form", "convert --to yaml sample.json", 2, "", "--to needs");
        row("two files", "convert sample.json sample.kvn", 2, "", "unexpected argument");
        row("missing file", "convert missing.json", 2, "", "missing.json does not exist.");
    }

    void cli() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        for (const char* name : {"sample.json", "sample.kvn", "bad.json"})
            QVERIFY(writeBytes(name, readBytes(ORBITRAK_OMM_SAMPLES "/" + QString(name))));
        QVERIFY(writeBytes("bad.csv", "OBJECT_NAME,OBJECT_ID\n\nX,1,2\n"));
        QVERIFY(writeBytes("notes.md", "# Notes\n\nKEY\n1 2\n"));
        QVERIFY(
            writeBytes("two.txt", "\xEF\xBB\xBF# sets\r\n" + kCalsphereLine1 + kCalsphereLine2));
        const QByteArray line1 = hostile::withChecksum(kIssLine1.left(68).toStdString()).c_str();
        const QByteArray line2 = hostile::withChecksum(kIssLine2.left(68).toStdString()).c_str();
        const QByteArray other =
            hostile::withChecksum(QByteArray(line2).replace(2, 5, "25545").toStdString()).c_str();
        const QByteArray wrongDigit = line1.left(68) + char(line1[68] == '9' ? '0' : line1[68] + 1);
        QVERIFY(writeBytes("skips.txt", "# sets that fail\nGOOD\n" + line1 + "\n" + line2 +
                                            "\nDIGIT\n" + wrongDigit + "\n" + line2 + "\n" + line1 +
                                            "\nNUMBERS\n" + line1 + "\n" + other + "\n\n" + line1 +
                                            "\n" + line2.left(60) + "\n" + line2 + "\n" +
                                            wrongDigit + "\n" + line2 + "\n"));
        const ProgramRun r = runProgram(ORBITRAK_CLI, args, QDir::currentPath());
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.out.contains(out), r.out.constData());
        QVERIFY2(r.err.contains(err), r.err.constData());
        QVERIFY(exitCode != 2 || r.out.isEmpty());
    }

    // A name a spreadsheet program would run as a formula is written as text (an apostrophe,
    // inside quotes) in each CSV of orbitrak-cli; a signed number stays a number, and the OMM
    // CSV reads back to the same names.
    void csvNamesAreNotFormulas_data() {
        QTest::addColumn<QStringList>("args");
        const QString at = "2026-03-19T12:00:00Z";
        QTest::newRow("sky") << QStringList{"sky", "--tle", "formulas.txt", "--at", at, "--csv"};
        QTest::newRow("passes") << QStringList{"passes", "--tle",   "formulas.txt", "--from",
                                               at,       "--hours", "24",           "--csv"};
        QTest::newRow("convert") << QStringList{"convert", "--to", "csv", "formulas.txt"};
    }

    void csvNamesAreNotFormulas() {
        QFETCH(QStringList, args);
        const auto set = [](const QByteArray& name, const char* number, char motionSign) {
            QByteArray line1 = kIssLine1.left(68).replace(2, 5, number);
            line1[33] = motionSign; // the first derivative of the mean motion
            const QByteArray line2 = kIssLine2.left(68).replace(2, 5, number);
            return name + '\n' + hostile::withChecksum(line1.toStdString()).c_str() + '\n' +
                   hostile::withChecksum(line2.toStdString()).c_str() + '\n';
        };
        QVERIFY(writeBytes("formulas.txt", set("=HYPERLINK(\"x\")", "25544", ' ') +
                                               set("-TEST", "25545", '-') +
                                               set("@SUM", "25546", ' ')));
        const ProgramRun r = runProgram(ORBITRAK_CLI, args, QDir::currentPath());
        QCOMPARE(r.exitCode, 0);
        for (const char* cell : {"\"'=HYPERLINK(\"\"x\"\")\"", "\"'-TEST\"", "\"'@SUM\""})
            QVERIFY2(r.out.contains(cell), r.out.constData());
        int negative = 0;
        for (const QByteArray& line : r.out.split('\n'))
            for (const QByteArray& cell : line.trimmed().split(',')) {
                bool number = false;
                cell.toDouble(&number);
                QVERIFY2(cell.isEmpty() || !QByteArray("=+-@").contains(cell[0]) || number,
                         cell.constData());
                negative += number && cell.startsWith('-');
            }
        QVERIFY(negative > 0);
        if (args[0] != "convert")
            return;
        QVERIFY(writeBytes("formulas.csv", r.out));
        const ProgramRun back =
            runProgram(ORBITRAK_CLI, {"convert", "formulas.csv"}, QDir::currentPath());
        const auto names = [](const QByteArray& sets) {
            QByteArrayList lines = sets.split('\n');
            return QByteArrayList{lines.value(0), lines.value(3), lines.value(6)};
        };
        QCOMPARE(names(back.out), names(readBytes("formulas.txt")));
    }

    void cliCsvEqualsTheComputation_data() {
        QTest::addColumn<QStringList>("siteArgs");
        QTest::addColumn<Site>("site");
        QTest::addColumn<bool>("withTable"); // utc.bin in the working directory
        QTest::newRow("default site") << QStringList() << Site() << false;
        QTest::newRow("options apart")
            << QStringList({"--lat", "-33.5", "--lon", "-147.72", "--elev", "12"})
            << Site::fromDegrees(-33.5, -147.72, 12.0) << false;
        QTest::newRow("options joined, with a time table")
            << QStringList({"--lat=64.8", "--lon=-147.72", "--elev=-5"})
            << Site::fromDegrees(64.8, -147.72, -5.0) << true;
    }

    // Every printed digit of the CSV equals the computation's; the start-up lines go to stderr.
    void cliCsvEqualsTheComputation() {
        QFETCH(QStringList, siteArgs);
        QFETCH(Site, site);
        QFETCH(bool, withTable);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(!withTable ||
                QFile::copy(ORBITRAK_BINARY_DIR "/utc.bin", folder.filePath("utc.bin")));
        const QString at = "2026-03-19T12:00:00.250Z";
        const ProgramRun cli = runProgram(ORBITRAK_CLI,
                                          QStringList({"sky", "--tle", ORBITRAK_ACTIVE_CATALOGUE,
                                                       "--at", at, "--csv", "--limit", "40"}) +
                                              siteArgs,
                                          folder.path());
        QCOMPARE(cli.exitCode, 0);
        QCOMPARE(cli.err,
                 QByteArray(withTable ? "init_time_data\ninit_time_data OK with default data\n"
                                      : "init_time_data\n"));

        const std::optional<UtcTable> table = loadUtcFile(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(table);
        Catalogue catalogue;
        QCOMPARE(readCatalogueFile(ORBITRAK_ACTIVE_CATALOGUE, 40, catalogue), 0);
        const std::vector<LiveRow> rows =
            computeAt(catalogue, withTable ? TimeScales(*table) : TimeScales(), at, site);
        const QList<QByteArray> lines = cli.out.split('\n');
        QCOMPARE(lines.size(), 42); // header, 40 rows, the empty piece after the last line feed
        QCOMPARE(lines[0],
                 QByteArray("catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s"));
        for (std::size_t i = 0; i < 40; ++i) {
            const LiveRow& row = rows[i];
            QCOMPARE(lines[int(i) + 1],
                     QByteArray::number(catalogue[i].elements.satnum) + "," +
                         QByteArray::fromStdString(catalogue[i].nameLine).trimmed() + "," +
                         QByteArray::number(row.altitudeDeg, 'f', 9) + "," +
                         QByteArray::number(row.azimuthDeg, 'f', 9) + "," +
                         QByteArray::number(row.distanceKm, 'f', 6) + "," +
                         QByteArray::number(row.speedDegPerSec, 'f', 9));
        }
    }

    // orbitrak-cli sky: sets without a position have empty fields, never "nan".
    void cliSkyLeavesNoPositionEmpty() {
        QVERIFY(writeBytes("invalid.txt", kInvalidSets));
        const QStringList args = {"sky", "--tle", "invalid.txt", "--at", "2026-03-19T12:00:00Z"};
        const ProgramRun csv = runProgram(ORBITRAK_CLI, args + QStringList("--csv"));
        QCOMPARE(csv.out,
                 QByteArray("catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s\n"
                            "99991,BELOW THE SURFACE,,,,\n99992,BEYOND THE MOON,,,,\n"
                            "99993,FALLEN,,,,\n"));
        const ProgramRun table = runProgram(ORBITRAK_CLI, args);
        QCOMPARE(table.exitCode, 0);
        QVERIFY2(table.out.contains("FALLEN") && !table.out.contains("nan"), table.out);
    }

    // Rows named "then ..." keep the cache of the row before them.
    void update_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("result"); // empty: the old file must stay
        const auto row = [](const char* name, const char* arguments, int status,
                            const QStringList& lines, const QByteArray& result = {}) {
            QTest::newRow(name) << QString(arguments).split(' ', Qt::SkipEmptyParts) << status
                                << lines << result;
        };
        const QByteArray abc = sets[0] + sets[1] + sets[2];
        const QString updated = "Updated 3 element sets from 1 source.";
        row("replaced", "--source URL/a --out new.txt", 0, {updated}, abc);
        row("then within 2 hours", "--source URL/a --out new.txt", 0,
            {"Used the copy of URL/a from 0 minutes ago.", updated}, abc);
        row("then forced", "--source URL/a --out new.txt --force", 0, {updated}, abc);
        row("settings' source", "", 0, {"Updated 2 element sets from 1 source."},
            sets[3] + sets[4]);
        row("404", "--source URL/a --source=URL/missing", 1,
            {"Cannot update from URL/missing: HTTP status 404."});
        row("403", "--source URL/forbidden", 1,
            {"Updates from 127.0.0.1 paused until *",
             "Cannot update from URL/forbidden: HTTP status 403."});
        row("then paused, even forced", "--source URL/a --force", 1,
            {"Cannot update from URL/a: paused until *"});
        row("slow", "--source URL/slow --timeout 0.3", 1,
            {"Cannot update from URL/slow: no answer within 0.3 s."});
        row("bad timeout", "--timeout soon", 2,
            {"orbitrak-cli: update: --timeout needs seconds above 0 and up to 3600, got 'soon'"});
        row("unknown option", "--from URL/a", 2, {"orbitrak-cli: update: unknown option --from"});
    }

    void update() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, result);
        QTemporaryDir work;
        QVERIFY(writeBytes(work.filePath("satell.txt"), sets[5]));
        QVERIFY(writeTleSources({fileSource}));
        if (!QString(QTest::currentDataTag()).startsWith("then "))
            QVERIFY(QDir(updateCacheFolder()).removeRecursively());
        for (QString& argument : arguments)
            argument.replace("URL", server.url(""));
        const int requests = server.requests.value("/a");
        // The server answers from this event loop, which turns meanwhile.
        const ProgramRun cli =
            runProgram(ORBITRAK_CLI, QStringList{"update"} + arguments, work.path());
        QCOMPARE(cli.exitCode, status);
        QStringList actual = QString::fromLocal8Bit(cli.err).split('\n');
        QCOMPARE(actual.takeLast(), QString());
        QCOMPARE(actual, expectedLines(lines, actual, server.url(""), fileSource));
        const QString target =
            work.filePath(arguments.contains("--out") ? "new.txt" : "satell.txt");
        QCOMPARE(readBytes(target), result.isEmpty() ? sets[5] : result);
        if (lines.first().startsWith("Used the copy") || lines.first().contains(": paused until"))
            QCOMPARE(server.requests.value("/a"), requests);
    }

    // A store whose arrays claim far more than anyone keeps is read up to the cap at once:
    // orbitrak-cli says so and goes on.
    void settingsArraysAreCapped_data() {
        QTest::addColumn<QString>("key"); // set to `value`, FILE standing for the file source
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("warning");
        QTest::newRow("observing sites")
            << "observing_sites/size" << QVariant(2000000000)
            << QStringList{"sky", "--tle", "satell.txt", "--site", "Home"}
            << "The settings hold 2000000000 observing sites; the first 1000 are read.";
        QTest::newRow("update sources")
            << "tle_sources"
            << QVariant(QString("FILE,").repeated(150).split(',', Qt::SkipEmptyParts))
            << QStringList{"update"}
            << "The settings hold 150 update sources; the first 100 are read.";
    }

    void settingsArraysAreCapped() {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QStringList, arguments);
        QFETCH(QString, warning);
        QTemporaryDir work;
        QVERIFY(writeBytes(work.filePath("satell.txt"), sets[5]));
        QSettings store("Halvstar", "Orbitrak");
        store.setValue("observing_sites/1/name", "Home");
        for (const char* number : {"latitude", "longitude", "elevation"})
            store.setValue(QString("observing_sites/1/") + number, 10);
        if (value.userType() == QMetaType::QStringList)
            value = value.toStringList().replaceInStrings("FILE", fileSource);
        store.setValue(key, value);
        store.sync();
        const ProgramRun cli = runProgram(ORBITRAK_CLI, arguments, work.path());
        store.remove("observing_sites");
        store.remove("tle_sources");
        QCOMPARE(cli.exitCode, 0);
        QCOMPARE(QString::fromLocal8Bit(cli.err).section('\n', 0, 0), warning);
    }
};

ORBITRAK_SCRATCH_SETTINGS_MAIN(QCoreApplication, TestCliCatalogue)
#include "tst_cli_catalogue.moc"
