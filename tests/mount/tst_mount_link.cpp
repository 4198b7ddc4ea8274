#include "app/log_model.h"
#include "app/mainwindow.h"
#include "app/mainwindow_form.h"
#include "app/settings.h"
#include "astro/site.h"
#include "mount/reply_cutter.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/window_probe.h"
#include "tests/mount/dialog_driver.h"
#include "tests/mount/window_test_main.h"

#include <QSignalSpy>
#include <QTimer>

#include <memory>

static const QString connecting = QStringLiteral("Connecting to mount...");
static const QString connected = QStringLiteral("Connected to mount.");
static const QString disconnected = QStringLiteral("Disconnected from mount.");
static const QString connectionError = QStringLiteral("Connection error.");
static const QString refusal = QStringLiteral(
    "This firmware doesn't support satellite tracking commands. Upgrade at least to 2.15.1.");
static const QString warning =
    QStringLiteral("This firmware doesn't support real-time tracking error readout. To enable it "
                   "upgrade at least to 2.15.14.");
static const QByteArray opener = QByteArrayLiteral("#:U2#:GVN#");
static const QByteArray handshakeBytes = QByteArrayLiteral("#:U2#:GVN#:Gt#:Gg#:Gev#");

// The link of the main window against a mount the test plays byte by byte over loopback TCP.
// The refresh tick is stopped: it polls the mount, and these tests script every byte.
class TestMountLink : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyConnectionOpensWithTheHandshake();
    void replyCutInTwoArrivals();
    void hashAloneIsAnEmptyReply();
    void twoRepliesInOneArrival();
    void strayBytesStartTheNextReply();
    void queueOrderWithReplylessCommands();
    void commandsWaitForTheHandshake();
    void inFlightHeadIsWrittenAgainAfterReconnection();
    void firmwareGate_data();
    void firmwareGate();
    void siteReadings_data();
    void siteReadings();
    void oversizeReplyEndsTheConnection_data();
    void oversizeReplyEndsTheConnection();
    void mountHangingUp();
    void refusedConnection();
    void checkingAgainOpensNoSecondConnection();
    void reconnectingRightAfterUnchecking();
    void longRunOfReplylessCommands();
    void setupWhileConnectedKeepsTheLink();
    void closingTheWindowWhileConnected();

private:
    void openLink();
    void handshake(const QByteArray& version = "2.15.14", const QByteArray& latitude = "+48*30:00",
                   const QByteArray& longitude = "-011*35:00", const QByteArray& elevation = "520");
    QStringList logSince(int row) const;
    int logSize() const { return window->logModel->rowCount(); }
    QColor logColour(int row) const;
    void clickBox() { window->ui->checkBox->click(); }

    std::unique_ptr<ScriptedMount> mount;
    MainWindow* window = nullptr;
};

void TestMountLink::init() {
    observingSite = Site{};
    mount = std::make_unique<ScriptedMount>();
    QVERIFY(mount->isListening());
    window = new MainWindow(nullptr, mount->port());
    window->refreshTimer->stop();
    mountIp = QStringLiteral("127.0.0.1");
}

void TestMountLink::cleanup() {
    delete window;
    window = nullptr;
    mount.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Ticks the box and waits until the mount has the ten opening bytes.
void TestMountLink::openLink() {
    const int before = mount->connectionCount();
    clickBox();
    QVERIFY(window->ui->checkBox->isChecked());
    QTRY_COMPARE(mount->connectionCount(), before + 1);
    QTRY_COMPARE(mount->received(), opener);
}

// Answers the four handshake steps, each once its command has arrived.
void TestMountLink::handshake(const QByteArray& version, const QByteArray& latitude,
                              const QByteArray& longitude, const QByteArray& elevation) {
    QTRY_COMPARE(mount->received(), opener);
    mount->send(version + '#');
    QTRY_COMPARE(mount->received(), opener + ":Gt#");
    mount->send(latitude + '#');
    QTRY_COMPARE(mount->received(), opener + ":Gt#:Gg#");
    mount->send(longitude + '#');
    QTRY_COMPARE(mount->received(), handshakeBytes);
    QVERIFY(!window->mountReady);
    mount->send(elevation + '#');
    QTRY_VERIFY(window->mountReady);
}

QStringList TestMountLink::logSince(int row) const {
    QStringList lines;
    const Log_Model& log = *window->logModel;
    for (int r = row; r < log.rowCount(); ++r)
        lines << log.data(log.index(r, 1)).toString();
    return lines;
}

QColor TestMountLink::logColour(int row) const {
    const Log_Model& log = *window->logModel;
    return log.data(log.index(row, 1), Qt::ForegroundRole).value<QBrush>().color();
}

void TestMountLink::everyConnectionOpensWithTheHandshake() {
    STEP(openLink());
    QCOMPARE(logSince(0), (QStringList{"Start", connecting, connected}));
    QCOMPARE(window->linkState, LinkState::Connected);
    STEP(handshake());
    QCOMPARE(mount->received(), handshakeBytes);

    // The user's disconnection: the socket's disconnection, then its destruction.
    const int row = logSize();
    clickBox();
    QVERIFY(!window->mountReady);
    QCOMPARE(window->linkState, LinkState::Disconnected);
    QTRY_VERIFY(!mount->isOpen(0));
    QTRY_COMPARE(logSince(row), (QStringList{disconnected, disconnected}));
    QVERIFY(!window->ui->checkBox->isChecked());

    STEP(openLink());
    QCOMPARE(mount->received(1), opener);
    STEP(handshake());
    QCOMPARE(mount->received(1), handshakeBytes);
    QCOMPARE(mount->received(0), handshakeBytes);
}

// Replies are observed through what the window does with them: every receiving slot begins by
// disconnecting all receivers of mount_response, a signal spy included.
void TestMountLink::replyCutInTwoArrivals() {
    STEP(openLink());
    mount->send("2.15");
    QTRY_COMPARE(window->receiveBuffer, QByteArray("2.15"));
    QCOMPARE(logSize(), 3);
    mount->send(".14#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#");
    QCOMPARE(logSince(3), QStringList{"Mount firmware version: 2.15.14"});
    QVERIFY(window->receiveBuffer.isEmpty());
}

void TestMountLink::hashAloneIsAnEmptyReply() {
    STEP(openLink());
    STEP(handshake("2.15.14", "+10", "+20", "30"));
    QSignalSpy replies(window, SIGNAL(mount_response(QByteArray)));
    window->queueCommand(":TLESCK#", ReplyKind::HashTerminated, &MainWindow::done_stoprequest);
    QTRY_COMPARE(mount->received(), handshakeBytes + ":TLESCK#");
    mount->send("#");
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(replies.at(0).at(0).toByteArray(), QByteArray(""));
    QVERIFY(window->pendingRequests.isEmpty());
}

void TestMountLink::twoRepliesInOneArrival() {
    const double startLatitude = observingSite.latitude;
    STEP(openLink());
    mount->send("2.15.14#+10*00:00#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#");
    QCOMPARE(logSince(3), QStringList{"Mount firmware version: 2.15.14"});
    // The latitude is complete but waits for the next arrival.
    QCOMPARE(window->receiveBuffer, QByteArray("+10*00:00#"));
    QCOMPARE(observingSite.latitude, startLatitude);

    mount->send("-011*35:00#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#:Gg#");
    QCOMPARE(observingSite.latitude, 10.0 * 0.017453292519943295);
    QCOMPARE(window->receiveBuffer, QByteArray("-011*35:00#"));
}

void TestMountLink::strayBytesStartTheNextReply() {
    STEP(openLink());
    STEP(handshake());
    QSignalSpy replies(window, SIGNAL(mount_response(QByteArray)));
    mount->send("X");
    QTRY_COMPARE(window->receiveBuffer, QByteArray("X"));
    QCOMPARE(replies.count(), 0);

    window->queueCommand(":TLES#", ReplyKind::HashTerminated, &MainWindow::done_parkrequest);
    QTRY_COMPARE(mount->received(), handshakeBytes + ":TLES#");
    mount->send("V#");
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(replies.at(0).at(0).toByteArray(), QByteArray("XV"));
}

void TestMountLink::queueOrderWithReplylessCommands() {
    STEP(openLink());
    STEP(handshake());
    window->queueCommand(":TLES#", ReplyKind::HashTerminated, &MainWindow::done_parkrequest);
    window->ui->pushButton_Stop->click();
    QTRY_COMPARE(mount->received(), handshakeBytes + ":TLES#");
    QCOMPARE(window->pendingRequests.size(), 2);

    // The reply completes the head, then Stop is written and completes at once.
    mount->send("V#");
    QTRY_COMPARE(mount->received(), handshakeBytes + ":TLES#:STOP#");
    QVERIFY(window->pendingRequests.isEmpty());
    QCOMPARE(window->expectedReply, ReplyKind::None);

    window->ui->pushButton_Stop->click();
    QVERIFY(window->pendingRequests.isEmpty());
    window->ui->pushButton_Park->click();
    window->ui->pushButton_Unpark->click();
    QVERIFY(window->pendingRequests.isEmpty());
    QTRY_COMPARE(mount->received(), handshakeBytes + ":TLES#:STOP#:STOP#:KA#:PO#");
}

void TestMountLink::commandsWaitForTheHandshake() {
    window->ui->pushButton_Stop->click();
    window->ui->pushButton_Park->click();
    window->ui->pushButton_Unpark->click();
    QCOMPARE(window->pendingRequests.size(), 3);
    QCOMPARE(mount->connectionCount(), 0);

    STEP(openLink());
    mount->send("2.15.14#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#");
    mount->send("+1#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#:Gg#");
    mount->send("+2#");
    QTRY_COMPARE(mount->received(), handshakeBytes);
    QCOMPARE(window->pendingRequests.size(), 3);
    mount->send("3#");
    QTRY_COMPARE(mount->received(), handshakeBytes + ":STOP#:KA#:PO#");
    QVERIFY(window->pendingRequests.isEmpty());
}

void TestMountLink::inFlightHeadIsWrittenAgainAfterReconnection() {
    STEP(openLink());
    STEP(handshake());
    window->queueCommand(":TLESCK#", ReplyKind::HashTerminated, &MainWindow::done_stoprequest);
    window->ui->pushButton_Park->click();
    QTRY_COMPARE(mount->received(), handshakeBytes + ":TLESCK#");

    mount->hangUp();
    QTRY_VERIFY(!window->ui->checkBox->isChecked());
    QTRY_COMPARE(window->linkState, LinkState::Disconnected);
    QVERIFY(!window->mountReady);
    QCOMPARE(window->pendingRequests.size(), 2);

    STEP(openLink());
    STEP(handshake());
    QTRY_COMPARE(mount->received(1), handshakeBytes + ":TLESCK#");
    mount->send("T#");
    QTRY_COMPARE(mount->received(1), handshakeBytes + ":TLESCK#:KA#");
    QVERIFY(window->pendingRequests.isEmpty());
}

void TestMountLink::firmwareGate_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<uint>("major");
    QTest::addColumn<uint>("minor");
    QTest::addColumn<uint>("patch");

    QTest::newRow("2.15.1 warns") << QByteArray("2.15.1") << false << true << 2u << 15u << 1u;
    QTest::newRow("2.15.9 warns") << QByteArray("2.15.9") << false << true << 2u << 15u << 9u;
    QTest::newRow("2.15.14 silent") << QByteArray("2.15.14") << false << false << 2u << 15u << 14u;
    QTest::newRow("3 silent") << QByteArray("3") << false << false << 3u << 0u << 0u;
    QTest::newRow("2.16 silent") << QByteArray("2.16") << false << false << 2u << 16u << 0u;
    QTest::newRow("2.15.0 refused") << QByteArray("2.15.0") << true << false << 2u << 15u << 0u;
    QTest::newRow("1.99.99 refused") << QByteArray("1.99.99") << true << false << 1u << 99u << 99u;
    QTest::newRow("empty refused") << QByteArray() << true << false << 0u << 0u << 0u;
}

void TestMountLink::firmwareGate() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, refused);
    QFETCH(bool, warned);
    QFETCH(uint, major);
    QFETCH(uint, minor);
    QFETCH(uint, patch);

    STEP(openLink());
    mount->send(reply + '#');
    QTRY_VERIFY(logSize() > 3);
    QCOMPARE(window->firmwareVersion, (FirmwareVersion{major, minor, patch}));
    const QString versionLine = "Mount firmware version: " + QString::fromLatin1(reply);

    if (!refused) {
        QTRY_COMPARE(mount->received(), opener + ":Gt#");
        QStringList expected{versionLine};
        if (warned)
            expected << warning;
        QCOMPARE(logSince(3), expected);
        if (warned)
            QCOMPARE(logColour(4), Log_Model::colourFor(LogLevel::Warning));
        QCOMPARE(window->linkState, LinkState::Connected);
        return;
    }

    // The link closes as on a disconnection, and the released socket's end is logged too.
    QTRY_COMPARE(logSince(3), (QStringList{versionLine, refusal, disconnected, disconnected}));
    QCOMPARE(logColour(4), Log_Model::colourFor(LogLevel::Error));
    QCOMPARE(logColour(5), Log_Model::colourFor(LogLevel::Info));
    QVERIFY(!window->ui->checkBox->isChecked());
    QVERIFY(!window->mountReady);
    QCOMPARE(window->linkState, LinkState::Disconnected);
    QTRY_VERIFY(!mount->isOpen());
    QCOMPARE(mount->received(), opener);

    // Stop is kept until a connection passes the gate.
    window->ui->pushButton_Stop->click();
    QCOMPARE(window->pendingRequests.size(), 1);
    QCOMPARE(mount->received(0), opener);
    STEP(openLink());
    STEP(handshake());
    QTRY_COMPARE(mount->received(1), handshakeBytes + ":STOP#");
    QCOMPARE(mount->received(0), opener);
}

void TestMountLink::siteReadings_data() {
    QTest::addColumn<QByteArray>("latitude");
    QTest::addColumn<QByteArray>("longitude");
    QTest::addColumn<QByteArray>("elevation");
    QTest::addColumn<double>("latitudeDegrees");
    QTest::addColumn<double>("longitudeDegrees");
    QTest::addColumn<double>("elevationMetres");
    QTest::addColumn<QString>("line");

    QTest::newRow("typical") << QByteArray("+48*30:15.2") << QByteArray("-011*35:00")
                             << QByteArray("+0520.0") << 48.0 + 30.0 / 60 + 15.2 / 3600
                             << -(11.0 + 35.0 / 60) << 520.0
                             << "lat = 48.50 deg, lon = -11.58 deg, elev = 520 m";
    QTest::newRow("sign before the first digit")
        << QByteArray("-00*30:00") << QByteArray("+000*00:00") << QByteArray("1234.5") << -0.5
        << 0.0 << 1234.5 << "lat = -0.50 deg, lon = 0.00 deg, elev = 1234.5 m";
    QTest::newRow("no digits store zero")
        << QByteArray("") << QByteArray("?") << QByteArray("0") << 0.0 << 0.0 << 0.0
        << "lat = 0.00 deg, lon = 0.00 deg, elev = 0 m";
    QTest::newRow("exponent form")
        << QByteArray("+45*00:00") << QByteArray("+120*00:00") << QByteArray("1234567") << 45.0
        << 120.0 << 1234567.0 << "lat = 45.00 deg, lon = 120.00 deg, elev = 1.23457e+06 m";
}

void TestMountLink::siteReadings() {
    QFETCH(QByteArray, latitude);
    QFETCH(QByteArray, longitude);
    QFETCH(QByteArray, elevation);
    QFETCH(double, latitudeDegrees);
    QFETCH(double, longitudeDegrees);
    QFETCH(double, elevationMetres);
    QFETCH(QString, line);

    STEP(openLink());
    STEP(handshake("2.15.14", latitude, longitude, elevation));
    QCOMPARE(logSince(logSize() - 1), QStringList{"Received site information: " + line});
    QCOMPARE(logColour(logSize() - 1), Log_Model::colourFor(LogLevel::Info));
    QVERIFY(qAbs(observingSite.latitude - latitudeDegrees * 0.017453292519943295) < 1e-15);
    QVERIFY(qAbs(observingSite.longitude - longitudeDegrees * 0.017453292519943295) < 1e-15);
    QCOMPARE(observingSite.elevation, elevationMetres);
}

void TestMountLink::oversizeReplyEndsTheConnection_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("reply filling the buffer") << maxReceiveBuffer - 1 << false;
    QTest::newRow("one byte more") << maxReceiveBuffer << true;
}

void TestMountLink::oversizeReplyEndsTheConnection() {
    QFETCH(int, length);
    QFETCH(bool, overflow);

    window->ui->pushButton_Stop->click();
    STEP(openLink());
    mount->send(QByteArray(length, '7') + '#');
    if (!overflow) {
        // Delivered whole; a version of 7777... is major 4294967295, so the link goes on.
        QTRY_COMPARE(mount->received(), opener + ":Gt#");
        QCOMPARE(logSince(3).value(0).size(), 24 + length);
        QVERIFY(!logSince(0).contains(connectionError));
        return;
    }
    QTRY_COMPARE(logSince(3).value(0), connectionError);
    QCOMPARE(logColour(3), Log_Model::colourFor(LogLevel::Error));
    QVERIFY(!window->ui->checkBox->isChecked());
    QVERIFY(!window->mountReady);
    QVERIFY(window->receiveBuffer.isEmpty());
    QTRY_VERIFY(!mount->isOpen());
    QTRY_COMPARE(logSince(3), (QStringList{connectionError, disconnected}));
    QCOMPARE(window->linkState, LinkState::Disconnected);
    QCOMPARE(mount->received(0), opener);

    // The queue outlives the connection.
    QCOMPARE(window->pendingRequests.size(), 1);
    STEP(openLink());
    STEP(handshake());
    QTRY_COMPARE(mount->received(1), handshakeBytes + ":STOP#");
}

void TestMountLink::mountHangingUp() {
    STEP(openLink());
    STEP(handshake());
    const int row = logSize();
    mount->hangUp();
    QTRY_COMPARE(window->linkState, LinkState::Disconnected);
    QVERIFY(!window->ui->checkBox->isChecked());
    QVERIFY(!window->mountReady);
    QTRY_COMPARE(logSince(row), (QStringList{connectionError, disconnected}));
    QCOMPARE(logColour(row), Log_Model::colourFor(LogLevel::Error));
}

void TestMountLink::refusedConnection() {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    delete window;
    window = new MainWindow(nullptr, closedPort);
    window->refreshTimer->stop();
    mountIp = QStringLiteral("127.0.0.1");

    clickBox();
    QTRY_COMPARE(logSince(1), (QStringList{connecting, connectionError, disconnected}));
    QCOMPARE(window->linkState, LinkState::Disconnected);
    QVERIFY(!window->ui->checkBox->isChecked());

    // The box works again at once.
    clickBox();
    QTRY_COMPARE(logSince(4), (QStringList{connecting, connectionError, disconnected}));
}

void TestMountLink::checkingAgainOpensNoSecondConnection() {
    STEP(openLink());
    // A click that finds the box already checked, while connected.
    QVERIFY(QMetaObject::invokeMethod(window, "on_checkBox_clicked"));
    QCOMPARE(window->linkState, LinkState::Connected);
    STEP(handshake());
    QCOMPARE(mount->connectionCount(), 1);
    QCOMPARE(logSince(0).count(connecting), 1);

    // Unchecking in the failed state only settles the state.
    window->linkState = LinkState::Failed;
    window->ui->checkBox->setChecked(false);
    QVERIFY(QMetaObject::invokeMethod(window, "on_checkBox_clicked"));
    QCOMPARE(window->linkState, LinkState::Disconnected);
    QVERIFY(mount->isOpen());
}

// The released socket's destruction arrives while the new connection is under way; it must not
// take the new one down.
void TestMountLink::reconnectingRightAfterUnchecking() {
    STEP(openLink());
    STEP(handshake());
    const int row = logSize();
    clickBox();
    clickBox();
    QCOMPARE(window->linkState, LinkState::Connecting);
    QTRY_COMPARE(mount->connectionCount(), 2);
    QTRY_COMPARE(mount->received(1), opener);
    STEP(handshake());
    QVERIFY(window->ui->checkBox->isChecked());
    QCOMPARE(window->linkState, LinkState::Connected);
    window->ui->pushButton_Stop->click();
    QTRY_COMPARE(mount->received(1), handshakeBytes + ":STOP#");
    QVERIFY(!mount->isOpen(0));
    // The old connection's end is logged once; its late destruction is not news.
    QCOMPARE(logSince(row).mid(0, 3), (QStringList{disconnected, connecting, connected}));
    QCOMPARE(logSince(row).count(disconnected), 1);
}

void TestMountLink::longRunOfReplylessCommands() {
    const int count = 50000;
    for (int i = 0; i < count; ++i)
        window->ui->pushButton_Stop->click();
    STEP(openLink());
    STEP(handshake());
    QVERIFY(window->pendingRequests.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(mount->received().size(), handshakeBytes.size() + 6 * count, 20000);
    QCOMPARE(mount->received().count(":STOP#"), count);
}

void TestMountLink::setupWhileConnectedKeepsTheLink() {
    STEP(openLink());
    STEP(handshake());
    const int row = logSize();
    DialogDriver driver([](MountSettings* dialog) {
        DialogDriver::lineEdit(dialog)->setText("10.1.2.3");
        DialogDriver::button(dialog, QDialogButtonBox::Ok)->click();
    });
    window->ui->actionSetup->trigger();
    QVERIFY(driver.acted());
    QCOMPARE(mountIp, QString("10.1.2.3"));
    QCOMPARE(logSize(), row);
    QVERIFY(mount->isOpen());
    window->ui->pushButton_Stop->click();
    QTRY_COMPARE(mount->received(), handshakeBytes + ":STOP#");
    QCOMPARE(mount->connectionCount(), 1);
}

void TestMountLink::closingTheWindowWhileConnected() {
    STEP(openLink());
    STEP(handshake());
    window->ui->pushButton_Park->click();
    delete window;
    window = nullptr;
    QTRY_VERIFY(!mount->isOpen());
    QCOMPARE(mount->received(), handshakeBytes + ":KA#");
}

ORBITRAK_WINDOW_TEST_MAIN(TestMountLink)
#include "tst_mount_link.moc"
