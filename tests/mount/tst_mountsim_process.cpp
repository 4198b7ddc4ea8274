#include "app/log_model.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "astro/site.h"
#include "tests/common/mountsim_process.h"
#include "tests/common/window_probe.h"
#include "tests/mount/window_test_main.h"

#include <QCheckBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// The window against orbitrak-mountsim, started as a separate process on a free port that it
// reports itself, so the test runs beside anything else listening on 3490.
class TestMountSimProcess : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void handshakeAndMotionReachTheStandIn();
    void fragmentedReplies();
    void strayTextSpoilsTheVersion();
    void mutedStepHoldsTheQueue();
    void oldFirmwareIsRefused();
    void droppedConnection();
    void newClientReplacesTheOld();
    void badArguments_data();
    void badArguments();
    void helpNamesEveryOption();

private:
    quint16 startSim(const QStringList& options);
    QStringList simLog(bool commandsOnly = true) const;
    QStringList windowLog() const;
    void openWindow(quint16 port);
    bool siteReceived() const {
        return windowLog().join('\n').contains("Received site information");
    }
    QCheckBox* box() const { return window->findChild<QCheckBox*>(QStringLiteral("checkBox")); }
    QPushButton* button(const char* name) const {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    QTemporaryDir scratch;
    MountSimProcess sim;
    MainWindow* window = nullptr;
};

void TestMountSimProcess::init() {
    QVERIFY(scratch.isValid());
    QFile::remove(scratch.filePath("sim.log"));
    observingSite = Site{};
}

void TestMountSimProcess::cleanup() {
    delete window;
    window = nullptr;
    sim.stop();
}

// Starts the stand-in on a free port and returns that port, 0 on failure.
quint16 TestMountSimProcess::startSim(const QStringList& options) {
    return sim.start(options, scratch.filePath("sim.log"));
}

QStringList TestMountSimProcess::simLog(bool commandsOnly) const {
    return mountSimLog(scratch.filePath("sim.log"), commandsOnly);
}

QStringList TestMountSimProcess::windowLog() const {
    return windowLogEvents(window);
}

void TestMountSimProcess::openWindow(quint16 port) {
    window = new MainWindow(nullptr, port);
    // The refresh tick would poll the mount; these tests count every command.
    for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        timer->stop();
    mountIp = QStringLiteral("127.0.0.1");
}

void TestMountSimProcess::handshakeAndMotionReachTheStandIn() {
    const quint16 port =
        startSim({"--firmware", "2.15.14", "--lat", "48.5", "--lon", "11.25", "--elev", "520.5"});
    QVERIFY(port != 0);
    openWindow(port);

    box()->click();
    QTRY_VERIFY(siteReceived());
    QCOMPARE(windowLog(), (QStringList{"Start", "Connecting to mount...", "Connected to mount.",
                                       "Mount firmware version: 2.15.14",
                                       "Received site information: lat = 48.50 deg, lon = "
                                       "-11.25 deg, elev = 520.5 m"}));
    // East 11.25 degrees is stored west-positive, as the mount sends it.
    QVERIFY(qAbs(observingSite.latitude - 48.5 * 0.017453292519943295) < 1e-15);
    QVERIFY(qAbs(observingSite.longitude + 11.25 * 0.017453292519943295) < 1e-15);
    QCOMPARE(observingSite.elevation, 520.5);

    button("pushButton_Stop")->click();
    button("pushButton_Park")->click();
    button("pushButton_Unpark")->click();
    QTRY_COMPARE(simLog(),
                 (QStringList{":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#", ":STOP#", ":KA#", ":PO#"}));

    box()->click();
    QTRY_VERIFY(simLog(false).contains("# disconnected"));
    QTRY_COMPARE(windowLog().mid(5),
                 (QStringList{"Disconnected from mount.", "Disconnected from mount."}));
}

void TestMountSimProcess::fragmentedReplies() {
    const quint16 port = startSim({"--fragment", "--lat", "-33.5", "--lon", "-70.25"});
    QVERIFY(port != 0);
    openWindow(port);
    box()->click();
    QTRY_VERIFY_WITH_TIMEOUT(siteReceived(), 15000);
    QCOMPARE(windowLog().mid(3),
             (QStringList{"Mount firmware version: 2.15.14",
                          "Received site information: lat = -33.50 deg, lon = 70.25 deg, "
                          "elev = 450 m"}));
}

void TestMountSimProcess::strayTextSpoilsTheVersion() {
    const quint16 port = startSim({"--stray", "X"});
    QVERIFY(port != 0);
    openWindow(port);
    box()->click();
    QTRY_VERIFY(windowLog().contains("Mount firmware version: X2.15.14"));
    QTRY_VERIFY(simLog(false).contains("# disconnected"));
    QCOMPARE(simLog(), (QStringList{":U2#", ":GVN#"}));
}

void TestMountSimProcess::mutedStepHoldsTheQueue() {
    const quint16 port = startSim({"--mute", ":Gev#"});
    QVERIFY(port != 0);
    openWindow(port);
    box()->click();
    QTRY_COMPARE(simLog(), (QStringList{":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#"}));
    button("pushButton_Stop")->click();
    // Anything written before the close would reach the stand-in before the close does.
    box()->click();
    QTRY_VERIFY(simLog(false).contains("# disconnected"));
    QCOMPARE(simLog(), (QStringList{":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#"}));
    QVERIFY(!siteReceived());
}

void TestMountSimProcess::oldFirmwareIsRefused() {
    const quint16 port = startSim({"--firmware", "2.14.2"});
    QVERIFY(port != 0);
    openWindow(port);
    box()->click();
    QTRY_VERIFY(simLog(false).contains("# disconnected"));
    QCOMPARE(simLog(), (QStringList{":U2#", ":GVN#"}));
    QTRY_COMPARE(windowLog().mid(3),
                 (QStringList{"Mount firmware version: 2.14.2",
                              "This firmware doesn't support satellite tracking commands. "
                              "Upgrade at least to 2.15.1.",
                              "Disconnected from mount.", "Disconnected from mount."}));
}

void TestMountSimProcess::droppedConnection() {
    const quint16 port = startSim({"--drop-after", "3"});
    QVERIFY(port != 0);
    openWindow(port);
    box()->click();
    QTRY_COMPARE(windowLog().mid(4),
                 (QStringList{"Connection error.", "Disconnected from mount."}));
    QVERIFY(!box()->isChecked());
    QCOMPARE(simLog(), (QStringList{":U2#", ":GVN#", ":Gt#"}));
}

void TestMountSimProcess::newClientReplacesTheOld() {
    const quint16 port = startSim({});
    QVERIFY(port != 0);
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(first.waitForConnected(5000));
    QTRY_VERIFY(simLog(false).size() == 1);
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(second.waitForConnected(5000));
    QTRY_COMPARE(first.state(), QAbstractSocket::UnconnectedState);
    second.write("#:GVN#");
    QByteArray reply;
    QTRY_COMPARE(reply += second.readAll(), QByteArray("2.15.14#"));
    QVERIFY(simLog(false).contains("# connection replaced by a new one"));
}

void TestMountSimProcess::badArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("latitude beyond the pole") << QStringList{"--lat", "91"};
    QTest::newRow("longitude not a number") << QStringList{"--lon", "east"};
    QTest::newRow("port too large") << QStringList{"--port", "70000"};
    QTest::newRow("listen not an address") << QStringList{"--listen", "mount.local"};
    QTest::newRow("firmware with hash") << QStringList{"--firmware", "2.15#"};
    QTest::newRow("drop after zero") << QStringList{"--drop-after", "0"};
    QTest::newRow("empty mute") << QStringList{"--mute", " "};
    QTest::newRow("negative slew") << QStringList{"--slew-seconds", "-1"};
    QTest::newRow("slew beyond an hour") << QStringList{"--slew-seconds", "3601"};
    QTest::newRow("unknown option") << QStringList{"--frobnicate"};
}

void TestMountSimProcess::badArguments() {
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QStringLiteral(ORBITRAK_MOUNTSIM), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY(process.exitCode() != 0);
    QVERIFY(!process.readAllStandardError().isEmpty());
    QVERIFY(!process.readAllStandardOutput().contains("listening"));
}

void TestMountSimProcess::helpNamesEveryOption() {
    QProcess process;
    process.start(QStringLiteral(ORBITRAK_MOUNTSIM), {"--help"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray help = process.readAllStandardOutput();
    for (const char* option : {"--listen", "--port", "--firmware", "--lat", "--lon", "--elev",
                               "--slew-seconds", "--log", "--fragment", "--stray", "--drop-after",
                               "--mute", ":TLEL0", ":TLEP", ":TLES#", ":TLESCK#", ":GaE#"})
        QVERIFY2(help.contains(option), option);
}

ORBITRAK_WINDOW_TEST_MAIN(TestMountSimProcess)
#include "tst_mountsim_process.moc"
