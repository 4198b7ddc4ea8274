#include "app/log_model.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "astro/time_scales.h"
#include "tests/common/ground_point.h"
#include "tests/common/mountsim_process.h"
#include "tests/mount/window_test_main.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTableView>

#include <memory>

// Process-level waits on a loaded machine: generous, and never a fixed sleep.
static constexpr int kPatienceMs = 20000;

// The whole job as a user does it: the real window against orbitrak-mountsim run as a process,
// with the stand-in's site right under a navigation satellite, so that the satellite is near
// the zenith. Connect, double-click the satellite, and watch the mount slew and track.
class TestTrackingEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tracksTheSatelliteOverhead();
    void oldFirmwareShowsTheStateAlone();

private:
    void runTransit(const QByteArray& firmware);
    quint16 startSim(const QStringList& options);
    QStringList simCommands() const;
    QStringList logSince(int row) const;
    QList<QColor> coloursSince(int row) const;
    QAbstractItemModel* logModel() const {
        return window->findChild<QTableView*>(QStringLiteral("tableViewLog"))->model();
    }
    QTableView* table() const {
        return window->findChild<QTableView*>(QStringLiteral("tableView"));
    }
    QLineEdit* statusLine() const {
        return window->findChild<QLineEdit*>(QStringLiteral("lineEditStatus"));
    }

    QString testDir; // where the screenshot is left, beside the test's other output
    QTemporaryDir scratch;
    QList<ThreeLines> navstar;
    MountSimProcess sim;
    MainWindow* window = nullptr;
};

void TestTrackingEndToEnd::initTestCase() {
    testDir = QDir::currentPath();
    QVERIFY(scratch.isValid());
    QVERIFY(QDir::setCurrent(scratch.path()));
    // GPS orbits stay meaningful for months after their epoch.
    navstar =
        setsNamed(QStringLiteral(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt"), "NAVSTAR");
    QVERIFY(navstar.size() > 20);
    QFile file(QStringLiteral("satell.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const ThreeLines& set : navstar)
        file.write(set.text());
}

void TestTrackingEndToEnd::init() {
    QFile::remove(scratch.filePath("sim.log"));
}

void TestTrackingEndToEnd::cleanup() {
    delete window;
    window = nullptr;
    sim.stop();
}

quint16 TestTrackingEndToEnd::startSim(const QStringList& options) {
    return sim.start(options, scratch.filePath("sim.log"), 0, kPatienceMs);
}

QStringList TestTrackingEndToEnd::simCommands() const {
    return mountSimLog(scratch.filePath("sim.log"), true);
}

QStringList TestTrackingEndToEnd::logSince(int row) const {
    QStringList lines;
    for (int r = row; r < logModel()->rowCount(); ++r)
        lines << logModel()->index(r, 1).data().toString();
    return lines;
}

QList<QColor> TestTrackingEndToEnd::coloursSince(int row) const {
    QList<QColor> colours;
    for (int r = row; r < logModel()->rowCount(); ++r)
        colours << logModel()->index(r, 1).data(Qt::ForegroundRole).value<QBrush>().color();
    return colours;
}

void TestTrackingEndToEnd::runTransit(const QByteArray& firmware) {
    const bool withErrors = firmware == "2.15.14";
    TLE_Satellite satellite = satelliteOf(navstar.first());
    const GroundPoint below = groundPoint(satellite, current_jd());
    const quint16 port = startSim({"--firmware", QString::fromLatin1(firmware), "--lat",
                                   QString::number(below.latitudeDeg, 'f', 6), "--lon",
                                   QString::number(below.eastLongitudeDeg, 'f', 6), "--elev", "0",
                                   "--slew-seconds", "1"});
    QVERIFY(port != 0);

    window = new MainWindow(nullptr, port);
    mountIp = QStringLiteral("127.0.0.1");
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QStringList shown;
    connect(statusLine(), &QLineEdit::textChanged,
            [&shown](const QString& text) { shown << text; });

    window->findChild<QCheckBox*>(QStringLiteral("checkBox"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(logSince(0).join('\n').contains("Received site information"),
                             kPatienceMs);
    // The window sees the satellite overhead from the site the stand-in reported.
    QTRY_VERIFY_WITH_TIMEOUT(table()->model()->index(0, 1).data().toDouble() > 85.0, kPatienceMs);

    const int logRow = logModel()->rowCount();
    const QRect cell = table()->visualRect(table()->model()->index(0, 0));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    const QString name = table()->model()->index(0, 0).data().toString();
    QTRY_COMPARE_WITH_TIMEOUT(logSince(logRow),
                              (QStringList{"Selected " + name + ".", "Slewing to transiting TLE."}),
                              kPatienceMs);
    QCOMPARE(coloursSince(logRow), (QList<QColor>{Log_Model::colourFor(LogLevel::Info),
                                                  Log_Model::colourFor(LogLevel::Success)}));

    // The upload exactly as escaped, then the pass and the slew, and no poll between them. A
    // poll in flight at the double-click has its error reading queued behind the upload.
    const ThreeLines& set = navstar.first();
    const QString upload = ":TLEL0" + QString::fromLatin1(set.name.trimmed()) + "$0a" +
                           QString::fromLatin1(set.line1.trimmed()) + "$0a" +
                           QString::fromLatin1(set.line2.trimmed()) + "$0a#";
    QStringList commands = simCommands();
    const int at = commands.indexOf(upload);
    QVERIFY2(at >= 0, qPrintable(commands.join('\n')));
    commands = commands.mid(at + 1);
    if (!commands.isEmpty() && commands.first() == ":GaE#")
        commands.removeFirst();
    QVERIFY2(commands.size() >= 2, qPrintable(commands.join('\n')));
    QVERIFY2(QRegularExpression("^:TLEP\\d{7}\\.\\d{8},10#$").match(commands[0]).hasMatch(),
             qPrintable(commands[0]));
    QCOMPARE(commands[1], QString(":TLES#"));

    if (withErrors) {
        const QRegularExpression tracking(
            "^Tracking satellite  errors: -?\\d+\\.\\d\\d\", -?\\d+\\.\\d\\d\"$");
        QTRY_VERIFY_WITH_TIMEOUT(tracking.match(statusLine()->text()).hasMatch(), kPatienceMs);
        QVERIFY(simCommands().contains(":GaE#"));
        // Before the tracking only the idle state and the slew, with zero errors.
        const QString zero = "  errors: 0.00\", 0.00\"";
        for (const QString& text : shown.mid(0, shown.size() - 1))
            QVERIFY2(text == "No transit tracking requested" + zero ||
                         text == "Slewing to catch satellite" + zero,
                     qPrintable(text));
        // A picture for the user guide: wide enough for the column headers, the latest log
        // lines in view.
        window->resize(820, 640);
        window->findChild<QTableView*>(QStringLiteral("tableViewLog"))->scrollToBottom();
        QVERIFY(window->grab().save(QDir(testDir).filePath("tracking.png")));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(statusLine()->text(), QString("Tracking satellite"), kPatienceMs);
        QVERIFY(!simCommands().contains(":GaE#"));
        for (const QString& text : shown)
            QVERIFY2(text == "No transit tracking requested" ||
                         text == "Slewing to catch satellite" || text == "Tracking satellite",
                     qPrintable(text));
    }
}

void TestTrackingEndToEnd::tracksTheSatelliteOverhead() {
    runTransit("2.15.14");
}

void TestTrackingEndToEnd::oldFirmwareShowsTheStateAlone() {
    runTransit("2.15.13");
}

ORBITRAK_WINDOW_TEST_MAIN(TestTrackingEndToEnd)
#include "tst_tracking_end_to_end.moc"
