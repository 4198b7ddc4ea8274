// Bad files as the program meets them at start-up: a time table cut short, with counts beyond
// its size, with values that are not numbers, with leap records out of order; a settings store
// that cannot be read and mount addresses that lead nowhere. Each table is rejected or used as
// the loader's checks say, and every conversion afterwards returns; each address fails with
// "Connection error." and the window goes on working.
#include "app/log_model.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "astro/time_scales.h"
#include "astro/utc_table.h"
#include "tests/common/file_bytes.h"
#include "tests/common/window_probe.h"
#include "tests/mount/window_test_main.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableView>
#include <QTcpServer>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>

using TableEdit = std::function<void(UtcTable&)>;
Q_DECLARE_METATYPE(TableEdit)

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// What setup_time_scales printed, as the program prints it at start-up.
QByteArray startTimeScales() {
    std::FILE* out = std::tmpfile();
    setup_time_scales(out);
    std::rewind(out);
    QByteArray text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, out))
        text += buffer;
    std::fclose(out);
    return text;
}

QByteArray image(const UtcTable& table) {
    const std::vector<unsigned char> bytes = encode_utc_table(table);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

// Every conversion the program makes, at instants from the Julian calendar to far beyond any
// table, and at values that are not dates at all. Each must return; with a sound table the
// results near now are numbers.
bool conversionsReturn(bool expectNumbersNow) {
    const double now = current_jd();
    for (double jd : {now, now - 1.0 / 86400.0, 2299150.5, 2441317.5, 2457754.49999, 2488000.0,
                      9.0e6, -1.0e12, 1.0e300, -kInf, kInf, kNaN}) {
        const double ut1 = ut1_from_jd(jd);
        const double utc = utc_from_jd(jd);
        const CalendarTime c = utc_calendar_from_jd(jd);
        (void)c;
        if (expectNumbersNow && jd == now && !(std::isfinite(ut1) && std::isfinite(utc)))
            return false;
    }
    return true;
}

} // namespace

class TestBadFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void truncatedTableFallsBackToTheFixedCount();
    void truncatedUserTableLeavesTheDefault();
    void acceptedOrRejectedAsTheChecksSay_data();
    void acceptedOrRejectedAsTheChecksSay();
    void windowRunsOnANonsenseTable();

    void badStoreOrAddressFailsTheConnectionOnly_data();
    void badStoreOrAddressFailsTheConnectionOnly();

private:
    QStringList windowLog() const;

    QTemporaryDir scratch;
    UtcTable sound;
    std::unique_ptr<MainWindow> window;
};

void TestBadFiles::initTestCase() {
    QVERIFY(scratch.isValid());
    QVERIFY(QDir::setCurrent(scratch.path()));
    // The table the build makes from data/: real leap seconds, Delta T and extrapolation.
    std::optional<UtcTable> table = load_utc_file(ORBITRAK_BINARY_DIR "/utc.bin");
    QVERIFY(table);
    sound = *table;
}

void TestBadFiles::init() {
    QFile::remove(QStringLiteral("utc.bin"));
    QFile::remove(QStringLiteral("user_utc.bin"));
}

void TestBadFiles::cleanup() {
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList TestBadFiles::windowLog() const {
    return windowLogEvents(window.get());
}

// Cut at every byte: rejected, the fixed leap count is used, and the clock still reads.
void TestBadFiles::truncatedTableFallsBackToTheFixedCount() {
    const QByteArray full = image(sound);
    QVERIFY(writeBytes("utc.bin", full));
    QCOMPARE(startTimeScales(),
             QByteArray("init_time_data\ninit_time_data OK with default data\n"));
    QVERIFY(conversionsReturn(true));
    for (int length = 0; length < full.size(); ++length) {
        QVERIFY(writeBytes("utc.bin", full.left(length)));
        const QByteArray said = startTimeScales();
        if (said != "init_time_data\n" || active_utc_table())
            QFAIL(qPrintable(QString("a table cut to %1 of %2 bytes was used: %3")
                                 .arg(length)
                                 .arg(full.size())
                                 .arg(QString::fromLatin1(said))));
        // Without a table UTC is the working date less 2 s.
        const double now = current_jd();
        if (std::fabs(utc_from_jd(now) - (now - 2.0 / 86400.0)) > 2e-8)
            QFAIL(qPrintable(QString("cut to %1 bytes: no fixed leap count").arg(length)));
    }
    QVERIFY(conversionsReturn(true));
}

// A user table cut short beside a sound default one: the default one is used.
void TestBadFiles::truncatedUserTableLeavesTheDefault() {
    const QByteArray full = image(sound);
    QVERIFY(writeBytes("utc.bin", full));
    for (int length : {0, 7, 8, 20, 21, full.size() / 2, full.size() - 25, full.size() - 1}) {
        QVERIFY(writeBytes("user_utc.bin", full.left(length)));
        QCOMPARE(startTimeScales(),
                 QByteArray("init_time_data\ninit_time_data OK with default data\n"));
        QVERIFY(active_utc_table());
    }
    QVERIFY(writeBytes("user_utc.bin", full));
    QCOMPARE(startTimeScales(), QByteArray("init_time_data\ninit_time_data OK with user data\n"));
}

void TestBadFiles::acceptedOrRejectedAsTheChecksSay_data() {
    QTest::addColumn<TableEdit>("edit");
    QTest::addColumn<QByteArray>("patch"); // "N" or "M": that count made larger than the file
    QTest::addColumn<bool>("accepted");
    const QByteArray none;
    auto row = [&](const char* name, TableEdit edit, bool accepted) {
        QTest::newRow(name) << edit << none << accepted;
    };
    // The counts are checked against the file's size before anything is allocated.
    QTest::newRow("N beyond the file") << TableEdit() << QByteArray("N") << false;
    QTest::newRow("M beyond the file") << TableEdit() << QByteArray("M") << false;

    // Values are not checked: tables with non-numbers load and are used.
    row(
        "a, b, c NaN", [](UtcTable& t) { t.a = t.b = t.c = kNaN; }, true);
    row(
        "a infinite", [](UtcTable& t) { t.a = kInf; }, true);
    row(
        "b, c infinite", [](UtcTable& t) { t.b = -kInf, t.c = kInf; }, true);
    row(
        "c huge", [](UtcTable& t) { t.c = 1e300; }, true);
    row(
        "leap offset NaN", [](UtcTable& t) { t.leaps.back().offset = kNaN; }, true);
    row(
        "leap offset infinite", [](UtcTable& t) { t.leaps[t.leaps.size() / 2].offset = kInf; },
        true);
    row(
        "leap rate and reference NaN",
        [](UtcTable& t) {
            t.leaps[3].rate = std::numeric_limits<float>::quiet_NaN();
            t.leaps[3].ref_mjd = std::numeric_limits<float>::quiet_NaN();
        },
        true);
    row(
        "Delta T values NaN",
        [](UtcTable& t) {
            for (DeltaTPoint& p : t.points)
                p.delta_t = std::numeric_limits<float>::quiet_NaN();
        },
        true);
    row(
        "a Delta T year NaN",
        [](UtcTable& t) {
            t.points[t.points.size() / 2].year = std::numeric_limits<float>::quiet_NaN();
        },
        true);
    row(
        "last Delta T year NaN",
        [](UtcTable& t) { t.points.back().year = std::numeric_limits<float>::quiet_NaN(); }, true);
    row(
        "last Delta T year infinite",
        [](UtcTable& t) { t.points.back().year = std::numeric_limits<float>::infinity(); }, true);
    // The one value check: the table date may not lie after the last point.
    row(
        "last Delta T year minus infinity",
        [](UtcTable& t) { t.points.back().year = -std::numeric_limits<float>::infinity(); }, false);

    // Order is not checked either.
    row(
        "leap records reversed", [](UtcTable& t) { std::reverse(t.leaps.begin(), t.leaps.end()); },
        true);
    row(
        "leap records shuffled",
        [](UtcTable& t) {
            for (std::size_t i = 0; i + 3 < t.leaps.size(); i += 3)
                std::swap(t.leaps[i], t.leaps[i + 3]);
        },
        true);
    row(
        "one leap record repeated",
        [](UtcTable& t) { t.leaps.assign(t.leaps.size(), t.leaps.back()); }, true);
    row(
        "leap dates out of range",
        [](UtcTable& t) {
            t.leaps[0].month = 0;
            t.leaps[1].day = 0;
            t.leaps[2].month = 65535;
            t.leaps[3].year = std::numeric_limits<std::int32_t>::min();
            t.leaps.back().year = std::numeric_limits<std::int32_t>::max();
        },
        true);
    row(
        "Delta T points reversed",
        [](UtcTable& t) {
            const DeltaTPoint last = t.points.back();
            std::reverse(t.points.begin(), t.points.end());
            t.points.push_back(last); // the date check looks at the last point
        },
        true);
}

// Loaded through the start-up path; accepted tables are used and every conversion returns.
void TestBadFiles::acceptedOrRejectedAsTheChecksSay() {
    QFETCH(TableEdit, edit);
    QFETCH(QByteArray, patch);
    QFETCH(bool, accepted);
    UtcTable table = sound;
    if (edit)
        edit(table);
    QByteArray bytes = image(table);
    if (!patch.isEmpty()) {
        // The count at its offset, one more than the bytes that follow could hold.
        const int n = int(table.leaps.size());
        const int at = patch == "N" ? 16 : 20 + 24 * n;
        const quint32 count = patch == "N" ? quint32(n + (bytes.size() - 20) / 24)
                                           : quint32((bytes.size() - at - 4 - 24) / 8 + 1);
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char((count >> (8 * i)) & 0xff);
    }
    QVERIFY(writeBytes("utc.bin", bytes));
    const QByteArray said = startTimeScales();
    QCOMPARE(said, accepted ? QByteArray("init_time_data\ninit_time_data OK with default data\n")
                            : QByteArray("init_time_data\n"));
    QCOMPARE(active_utc_table() != nullptr, accepted);
    QVERIFY(conversionsReturn(!accepted));
}

// The window starts, ticks and shows a clock on a table whose every number is NaN.
void TestBadFiles::windowRunsOnANonsenseTable() {
    UtcTable table = sound;
    table.a = table.b = table.c = kNaN;
    for (LeapRecord& r : table.leaps)
        r.offset = kNaN;
    for (DeltaTPoint& p : table.points)
        p.delta_t = std::numeric_limits<float>::quiet_NaN();
    QVERIFY(writeBytes("utc.bin", image(table)));
    window = std::make_unique<MainWindow>(nullptr, quint16(1));
    QVERIFY(active_utc_table());
    for (int i = 0; i < 3; ++i)
        QVERIFY(QMetaObject::invokeMethod(window.get(), "invalidateComputation"));
    const QString clock = window->findChild<QLineEdit*>(QStringLiteral("lineTime"))->text();
    QVERIFY2(QRegularExpression("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}$")
                 .match(clock)
                 .hasMatch(),
             qPrintable(clock));
}

void TestBadFiles::badStoreOrAddressFailsTheConnectionOnly_data() {
    QTest::addColumn<QByteArray>("store"); // what the store's file holds
    QTest::addColumn<bool>("folder");      // the store's file is a folder instead
    QTest::addColumn<QString>("address");  // the address read from it
    const QByteArray general = "[General]\nmount_IP=";
    const QString none;
    QTest::newRow("store is a folder") << QByteArray() << true << none;
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 7919 + 13) % 256);
    QTest::newRow("store is binary garbage") << garbage << false << none;
    QTest::newRow("store is empty") << QByteArray() << false << none;
    QTest::newRow("address empty") << general + "\n" << false << none;
    QTest::newRow("address 100,000 characters long") << general + QByteArray(100000, '7') + "\n"
                                                     << false << QString(100000, '7');
    QTest::newRow("address with a blank inside") << general + "\"127.0.0.1 1\"\n"
                                                 << false << QString("127.0.0.1 1");
    QTest::newRow("address of blanks") << general + "\"   \"\n" << false << QString("   ");
    QTest::newRow("address with a port") << general + "127.0.0.1:1\n"
                                         << false << QString("127.0.0.1:1");
    QTest::newRow("address unresolvable") << general + "mount.invalid\n"
                                          << false << QString("mount.invalid");
    // Read as a list of two, which is no text.
    QTest::newRow("address a list") << general + "127.0.0.1, 127.0.0.2\n" << false << none;
    QTest::newRow("address of an unknown type")
        << general + "@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x3xyz)\n"
        << false << none;
    QTest::newRow("address with control characters") << general + "127.0.0.1\\x1\\t\n"
                                                     << false << QString("127.0.0.1\x01\t");
}

// Whatever the store holds, the window starts; ticking "Connect mount" logs the attempt and
// "Connection error." (then the release of the socket), the box comes back unchecked, no
// connection reaches the port, and it all happens again the same way on a second attempt.
void TestBadFiles::badStoreOrAddressFailsTheConnectionOnly() {
    QFETCH(QByteArray, store);
    QFETCH(bool, folder);
    QFETCH(QString, address);
    // A store of its own for each case; the path is read where Qt keeps the user's settings.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    const QString file = home.filePath("Halvstar/Orbitrak.conf");
    QVERIFY(QDir().mkpath(home.filePath("Halvstar")));
    if (folder)
        QVERIFY(QDir().mkpath(file));
    else
        QVERIFY(writeBytes(file, store));

    QTcpServer listener; // on the port the window would use: nothing may arrive
    QVERIFY(listener.listen(QHostAddress::Any));
    int arrived = 0;
    connect(&listener, &QTcpServer::newConnection, this, [&arrived] { ++arrived; });

    mountIp = QStringLiteral("left over");
    window = std::make_unique<MainWindow>(nullptr, listener.serverPort());
    for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        timer->stop();
    QCOMPARE(mountIp, address);
    auto* box = window->findChild<QCheckBox*>(QStringLiteral("checkBox"));
    const QStringList attempt = {"Connecting to mount...", "Connection error.",
                                 "Disconnected from mount."};
    box->click();
    QTRY_COMPARE_WITH_TIMEOUT(windowLog(), QStringList{"Start"} + attempt, 20000);
    QVERIFY(!box->isChecked());
    window->findChild<QPushButton*>(QStringLiteral("pushButton_Stop"))->click();
    box->click();
    QTRY_COMPARE_WITH_TIMEOUT(windowLog(), QStringList{"Start"} + attempt + attempt, 20000);
    QVERIFY(!box->isChecked());
    QCOMPARE(arrived, 0);

    // The window works on: a tick recomputes and shows the clock.
    auto* clock = window->findChild<QLineEdit*>(QStringLiteral("lineTime"));
    clock->clear();
    QVERIFY(QMetaObject::invokeMethod(window.get(), "invalidateComputation"));
    QVERIFY(!clock->text().isEmpty());
    window.reset(); // writes the address back; a store that cannot be written stays silent
}

ORBITRAK_WINDOW_TEST_MAIN(TestBadFiles)
#include "tst_bad_files.moc"
