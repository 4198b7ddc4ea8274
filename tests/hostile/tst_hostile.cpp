// Hostile input. Catalogues a user may really load: noise, element sets that fail in every way
// the model knows, deep-space resonant sets with epochs decades away. Files the program meets
// at start-up: time tables cut short or full of nonsense, settings stores that lead nowhere, a
// pipe, a device or a folder where a file belongs. Nothing crashes or waits, every row is a
// number in range or NaN, and the window goes on working.
#include "app/main_window.h"
#include "app/observing_site_dialog.h"
#include "app/preferences_dialog.h"
#include "app/settings.h"
#include "astro/time_scales.h"
#include "astro/utc_table.h"
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/catalogue_updater.h"
#include "catalogue/omm_reader.h"
#include "catalogue/settings_store.h"
#include "sky/observing_sites.h"
#include "sky/sky_computation.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"
#include "tests/hostile/hostile_catalogue.h"

#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>

using TableEdit = std::function<void(UtcTable&)>;

namespace {

constexpr double kNowUtc = 2461119.0; // 2026-03-19 12:00 UTC
// Without a table UTC is the working date less 2 s.
constexpr double kNowWorking = kNowUtc + 2.0 / 86400.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QByteArray kAbsent = "<absent>";

// A number in its column's range, or NaN (no position).
bool saneRow(const LiveRow& r) {
    auto within = [](double x, double low, double high) {
        return std::isnan(x) || (x >= low && x <= high);
    };
    return within(r.azimuthDeg, 0.0, 360.0) && within(r.altitudeDeg, -90.0, 90.0) &&
           within(r.speedDegPerSec, 0.0, 180.0) && within(r.distanceKm, 0.0, kInf);
}

Catalogue loadCatalogue(const std::string& text) {
    Catalogue catalogue;
    if (writeBytes("satell.txt", QByteArray::fromStdString(text)))
        readCatalogueFile("satell.txt", kWindowSetLimit, catalogue);
    return catalogue;
}

// Ascending: the rows without a number first, then the numbers in order.
bool sortedWithNaNFirst(const QAbstractItemModel& model, int column, Qt::SortOrder order) {
    std::vector<double> values;
    for (int row = 0; row < model.rowCount(); ++row)
        values.push_back(model.index(row, column).data(Qt::UserRole).toDouble());
    const auto below = [](double a, double b) {
        return !std::isnan(b) && (std::isnan(a) || a < b);
    };
    return order == Qt::AscendingOrder ? std::is_sorted(values.begin(), values.end(), below)
                                       : std::is_sorted(values.rbegin(), values.rend(), below);
}

// Whether every row whose name starts with the prefix has (or lacks) a position.
bool rowsNamedHavePositions(const QAbstractItemModel& model, const QString& prefix, bool have) {
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, 0).data().toString().startsWith(prefix) &&
            std::isnan(model.index(row, 1).data(Qt::UserRole).toDouble()) == have)
            return false;
    return true;
}

} // namespace

Q_DECLARE_METATYPE(TableEdit)

using FileReader = std::function<QString(const QString& path)>;

namespace {

// What each reader says of a file it is given; the command-line ones exit with 2 as well.
const std::map<QString, FileReader>& fileReaders() {
    static const std::map<QString, FileReader> readers = [] {
        std::map<QString, FileReader> r{
            {"catalogue",
             [](const QString& path) {
                 Catalogue catalogue;
                 return fileFaultText(path, readElementSetFile(path, 0, catalogue),
                                      qint64(kMaxElementSetFileBytes));
             }},
            {"Load TLEs",
             [](const QString& path) {
                 return readBytes("satell.txt") == kIssLine1 + kIssLine2
                            ? replaceCatalogueFile(path, "satell.txt")
                            : QString("satell.txt changed");
             }},
            {"horizon",
             [](const QString& path) {
                 HorizonMask mask;
                 return ObservingSiteDialog::horizonProblem(
                     path, HorizonMask::readFile(QFile::encodeName(path).toStdString(), mask));
             }},
            {"magnitudes",
             [](const QString& path) {
                 StandardMagnitudes magnitudes;
                 return PreferencesDialog::readMagnitudes(path, magnitudes);
             }},
            {"time table",
             [](const QString& path) {
                 FileResult file;
                 loadUtcFile(QFile::encodeName(path).toStdString(), &file);
                 return QString::fromStdString(
                     describeFileFault(path.toStdString(), file, kMaxUtcFileBytes));
             }},
            {"update source",
             [](const QString& path) {
                 CatalogueUpdater updater;
                 updater.setCacheFolder("cache");
                 QSignalSpy finished(&updater, &CatalogueUpdater::finished);
                 updater.start({QUrl::fromLocalFile(path).toString()}, "satell.txt");
                 QStringList said;
                 if (finished.count() > 0 || finished.wait(20000))
                     for (const UpdateMessage& message : updateMessages(updater.outcome()))
                         said << message.text;
                 return said.join('\n');
             }},
        };
        // The programs' arguments, PATH standing for the file.
        const std::pair<const char*, const char*> programs[] = {
            {"orbitrak-cli --tle", "passes --tle PATH --hours 1"},
            {"orbitrak-cli --horizon", "passes --tle satell.txt --hours 1 --horizon PATH"},
            {"orbitrak-cli --magnitudes", "passes --tle satell.txt --magnitudes PATH"},
            {"orbitrak-cli convert", "convert PATH"},
            {"orbitrak-utctable --finals", "--finals PATH -o table.bin"}};
        for (const auto& [name, words] : programs)
            r[name] = [name = QString(name), words = QString(words)](const QString& path) {
                const ProgramRun run =
                    runProgram(name.startsWith("orbitrak-cli") ? ORBITRAK_CLI : ORBITRAK_UTCTABLE,
                               words.split(' ').replaceInStrings("PATH", path), {}, 20000);
                return run.exitCode == 2 ? QString::fromLocal8Bit(run.err)
                                         : "exit " + QString::number(run.exitCode);
            };
        return r;
    }();
    return readers;
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales; // no table: the fixed leap count
    UtcTable sound;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        // The table the build makes from data/: real leap seconds, Delta T and extrapolation.
        std::optional<UtcTable> table = loadUtcFile(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(table);
        sound = *table;
    }

    void init() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.filePath("cfg"));
        for (const char* name : {"satell.txt", "utc.bin", "user_utc.bin"})
            QFile::remove(QString::fromLatin1(name));
    }

    void filesAreRefused_data() {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("path");
        QVERIFY(QDir().mkpath("folder") && mkfifo("pipe", 0600) == 0);
        // Larger than any reader takes, without taking the room: the size is a hole.
        QFile big("big");
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize((65 << 20) + 1));
        for (const auto& reader : fileReaders())
            for (const char* path : {"pipe", "/dev/zero", "folder", "big"})
                QTest::addRow("%s, %s", qPrintable(reader.first), path)
                    << reader.first << QDir::current().absoluteFilePath(path);
    }

    // Each reader refuses at once, naming the file and why; none waits on the pipe or reads the
    // device, and Load TLEs leaves the catalogue as it was.
    void filesAreRefused() {
        QFETCH(QString, reader);
        QFETCH(QString, path);
        QVERIFY(writeBytes("satell.txt", kIssLine1 + kIssLine2));
        const QString said = fileReaders().at(reader)(path);
        const QRegularExpression why(path.endsWith("big") ? "(larger|more) than \\d+ MiB"
                                                          : "not a regular file");
        QVERIFY2(said.contains(path) && said.contains(why), qPrintable(said));
        QCOMPARE(readBytes("satell.txt"), kIssLine1 + kIssLine2);
    }

    void windowStartsDespiteFiles_data() {
        QTest::addColumn<QString>("catalogue"); // satell.txt made as: "pipe" or "folder"; or none
        QTest::addColumn<QString>("horizon");   // the horizon file in the settings
        QTest::addColumn<QStringList>("logged");
        const auto row = [](const char* name, const QString& catalogue, const QString& horizon,
                            const QStringList& logged) {
            QTest::newRow(name) << catalogue << horizon << logged;
        };
        const QString pipe = QDir::current().absoluteFilePath("horizon-pipe");
        row("horizon /dev/zero", "", "/dev/zero",
            QStringList("Error: The horizon file /dev/zero is not a regular file. The horizon "
                        "stays flat."));
        row("horizon a pipe", "", pipe,
            QStringList("Error: The horizon file " + pipe +
                        " is not a regular file. The horizon stays flat."));
        row("catalogue a pipe", "pipe", "",
            QStringList("Warning: " + QDir::current().absoluteFilePath("satell.txt") +
                        " is not a regular file."));
    }

    // A pipe or a device in the settings or as the catalogue: the window starts and says why
    // it did not read them.
    void windowStartsDespiteFiles() {
        QFETCH(QString, catalogue);
        QFETCH(QString, horizon);
        QFETCH(QStringList, logged);
        QVERIFY(QFileInfo::exists("horizon-pipe") || mkfifo("horizon-pipe", 0600) == 0);
        QVERIFY(catalogue.isEmpty() || mkfifo("satell.txt", 0600) == 0);
        settingsStore().setValue("horizon_file", horizon);
        MainWindow window(scales, 1);
        QFile::remove("satell.txt");
        QCOMPARE(windowLog(&window).filter("regular file"), logged);
    }

    void noiseIsKeptAndStaysSane_data() {
        QTest::addColumn<unsigned>("seed");
        for (unsigned seed : {1u, 2u, 3u, 20260319u, 0xdeadbeefu})
            QTest::addRow("seed %u", seed) << seed;
    }

    // Every set listed has a 32-character name, and every row is a number in range or NaN at
    // instants near and far from any epoch.
    void noiseIsKeptAndStaysSane() {
        QFETCH(unsigned, seed);
        const std::string noise = hostile::printableNoise(seed, 1200);
        Catalogue catalogue = loadCatalogue(noise);
        QVERIFY(!catalogue.empty());
        // 32 printable characters; a short line 1 brings its line end into the catalogue field.
        const QRegularExpression name("^[\\x20-\\x7e]{26}[\\x20-\\x7e\r\n]{6}$");
        for (const CatalogueEntry& s : catalogue.satellites)
            QVERIFY2(name.match(QString::fromLatin1(s.displayName)).hasMatch(), s.displayName);
        SkyComputation sky(scales);
        for (double jd : {kNowWorking, kNowWorking + 36525.0, kNowWorking - 25000.0, 2451545.0}) {
            const std::vector<LiveRow> rows =
                sky.compute(catalogue, jd, Site(), SkyComputation::Wait::ForEverySet);
            for (std::size_t i = 0; i < rows.size(); ++i)
                QVERIFY2(saneRow(rows[i]), catalogue[i].line1.c_str());
        }
    }

    void windowHoldsUp_data() {
        QTest::addColumn<QByteArray>("catalogue");
        QTest::addColumn<int>("rows");
        const std::string noise = hostile::printableNoise(7, 1500);
        QTest::newRow("noise") << QByteArray::fromStdString(noise)
                               << int(loadCatalogue(noise).size());
        std::vector<hostile::Group> worst = hostile::resonantSets(40, hostile::earliestEpoch());
        const std::vector<hostile::Group> failing = hostile::failingSets(kNowUtc);
        worst.insert(worst.begin() + 7, failing.begin(), failing.end());
        QTest::newRow("far-epoch resonant and failing")
            << QByteArray::fromStdString(hostile::text(worst)) << int(worst.size());
    }

    // The window starts without waiting for the far-epoch sets, sorts on every column both ways
    // with the rows without a position below every number, shows the far sets once they are
    // prepared, and keeps the order as the values change.
    void windowHoldsUp() {
        QFETCH(QByteArray, catalogue);
        QFETCH(int, rows);
        QVERIFY(writeBytes("satell.txt", catalogue));
        MainWindow window(scales, 1);
        auto* table = window.findChild<QTableView*>(QStringLiteral("satelliteTableView"));
        const QAbstractItemModel& model = *table->model();
        QCOMPARE(model.rowCount(), rows);
        QVERIFY(rowsNamedHavePositions(model, "RESONANT", false));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int column = 0; column < model.columnCount(); ++column) {
            for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                table->horizontalHeader()->setSortIndicator(column, order);
                QVERIFY(column == 0 || sortedWithNaNFirst(model, column, order));
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(rowsNamedHavePositions(model, "RESONANT", true), 60000);
        QVERIFY(sortedWithNaNFirst(model, model.columnCount() - 1, Qt::DescendingOrder));
    }

    void timeTableAtStartUp_data() {
        QTest::addColumn<QByteArray>("standard"); // utc.bin
        QTest::addColumn<QByteArray>("printed");
        QTest::addColumn<bool>("used");
        const QByteArray full = bytesOf(encodeUtcTable(sound));
        const QByteArray none = "init_time_data\n";
        const QByteArray standard = none + "init_time_data OK with default data\n";
        const auto edited = [this](const TableEdit& edit) {
            UtcTable table = sound;
            edit(table);
            return bytesOf(encodeUtcTable(table));
        };
        QTest::newRow("sound table") << full << standard << true;
        QTest::newRow("one byte short") << full.left(full.size() - 1) << none << false;
        // Values and order are not checked: such tables load and are used.
        QTest::newRow("every number NaN") << edited([](UtcTable& t) {
            t.a = t.b = t.c = kNaN;
            for (LeapRecord& r : t.leaps)
                r.offset = kNaN;
            for (DeltaTPoint& p : t.points)
                p.deltaT = std::numeric_limits<float>::quiet_NaN();
        }) << standard << true;
        QTest::newRow("leap records reversed")
            << edited([](UtcTable& t) { std::reverse(t.leaps.begin(), t.leaps.end()); }) << standard
            << true;
        // The one value check: the table date may not lie after the last point.
        QTest::newRow("last point at minus infinity") << edited([](UtcTable& t) {
            t.points.back().year = -std::numeric_limits<float>::infinity();
        }) << none << false;
    }

    // The start-up lines name the table used; every conversion returns whatever the table
    // holds; the window starts on the time scales and its clock runs.
    void timeTableAtStartUp() {
        QFETCH(QByteArray, standard);
        QFETCH(QByteArray, printed);
        QFETCH(bool, used);
        QVERIFY(writeBytes("utc.bin", standard));
        TimeScales scales; // as the program builds them at start-up
        std::string report;
        scales = TimeScales::fromFolders({""}, &report);
        QCOMPARE(QByteArray::fromStdString(report), printed);
        QCOMPARE(scales.table() != nullptr, used);
        const double now = scales.currentJd();
        for (double jd : {now, 2299150.5, 2441317.5, 2457754.49999, 2488000.0, 9.0e6, -1.0e12,
                          1.0e300, -kInf, kInf, kNaN}) {
            scales.ut1FromJd(jd);
            scales.utcFromJd(jd);
            scales.utcCalendarFromJd(jd);
        }
        QVERIFY(used || std::fabs(scales.utcFromJd(now) - (now - 2.0 / 86400.0)) < 2e-8);
        MainWindow window(scales, 1);
        auto* clock = window.findChild<QLineEdit*>(QStringLiteral("utcClockLineEdit"));
        QTRY_VERIFY(!clock->text().isEmpty());
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                     .match(clock->text())
                     .hasMatch(),
                 qPrintable(clock->text()));
    }

    void settingsStoreLeadingNowhere_data() {
        QTest::addColumn<QByteArray>("store"); // the store file; kAbsent: a folder in its place
        QTest::addColumn<QString>("address");  // the address read from it
        const QByteArray general = "[General]\nmount_IP=";
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage += char((i * 7919 + 13) % 256);
        QTest::newRow("store is a folder") << kAbsent << QString();
        QTest::newRow("store is binary garbage") << garbage << QString();
        QTest::newRow("address 100,000 characters long") << general + QByteArray(100000, '7') + "\n"
                                                         << QString(100000, '7');
        QTest::newRow("address unresolvable") << general + "mount.invalid\n"
                                              << "mount.invalid";
        QTest::newRow("address a list, no text") << general + "127.0.0.1, 127.0.0.2\n" << QString();
        QTest::newRow("address with control characters") << general + "127.0.0.1\\x1\\t\n"
                                                         << QString("127.0.0.1\x01\t");
    }

    // Whatever the store holds, the window starts; ticking "Connect mount" logs the attempt
    // and "Connection error.", the box comes back unchecked, nothing reaches the port, and it
    // all happens again the same way on a second attempt.
    void settingsStoreLeadingNowhere() {
        QFETCH(QByteArray, store);
        QFETCH(QString, address);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
        const QString file = home.filePath("Halvstar/Orbitrak.conf");
        QVERIFY(QDir().mkpath(store == kAbsent ? file : home.filePath("Halvstar")));
        QVERIFY(store == kAbsent || writeBytes(file, store));
        QCOMPARE(readMountIp(), address);

        QTcpServer listener; // on the port the window would use
        QVERIFY(listener.listen(QHostAddress::Any));
        int arrived = 0;
        connect(&listener, &QTcpServer::newConnection, this, [&arrived] { ++arrived; });
        MainWindow window(scales, listener.serverPort());
        auto* box = window.findChild<QCheckBox*>(QStringLiteral("connectMountCheckBox"));
        // No catalogue here: the window says how to get one.
        QStringList expected{"Start", "No element sets yet: get them with TLEs > Load TLEs... or "
                                      "TLEs > Update from sources."};
        for (int attempt = 0; attempt < 2; ++attempt) {
            box->click();
            // The second error repeats the first within a minute, and is counted in its row.
            expected << "Connecting to mount...";
            if (attempt == 0)
                expected << "Connection error.";
            else
                expected[expected.indexOf("Connection error.")] += " (repeated 2 times)";
            expected << "Disconnected from mount.";
            QTRY_COMPARE_WITH_TIMEOUT(windowLogEvents(&window), expected, 20000);
            QVERIFY(!box->isChecked());
        }
        QCOMPARE(arrived, 0);
    }
};

ORBITRAK_WINDOW_TEST_MAIN(TestHostile)
#include "tst_hostile.moc"
