#include "mount/reply_cutter.h"
#include "tests/common/scripted_mount.h"

#include <QSignalSpy>

#include <memory>

static const QString connecting = logLine(LogLevel::Info, "Connecting to mount...");
static const QString connected = logLine(LogLevel::Info, "Connected to mount.");
static const QString disconnected = logLine(LogLevel::Info, "Disconnected from mount.");
static const QString connectionError = logLine(LogLevel::Error, "Connection error.");
static const QString refusal =
    logLine(LogLevel::Error, "This firmware doesn't support satellite tracking commands. "
                             "Upgrade at least to 2.15.1.");
static const QString warning =
    logLine(LogLevel::Warning, "This firmware doesn't support real-time tracking error readout. "
                               "To enable it upgrade at least to 2.15.14.");
static constexpr double kRadiansPerDegree = 0.017453292519943295;

// MountLink against a mount that the test plays byte by byte over loopback TCP.
class TestMountLink : public QObject {
    Q_OBJECT

private slots:
    void init() {
        rig = std::make_unique<LinkRig>();
        QVERIFY(rig->mount.isListening());
        replies.clear();
    }

    void cleanup() {
        rig.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void everyConnectionOpensWithTheHandshake() {
        ScriptedMount& mount = rig->mount;
        QSignalSpy states(&rig->link, &MountLink::stateChanged);
        STEP(rig->open());
        QCOMPARE(rig->log, (QStringList{connecting, connected}));
        QCOMPARE(rig->link.state(), LinkState::Connected);
        STEP(mount.handshake());
        QVERIFY(!rig->link.isReady());
        QTRY_VERIFY(rig->link.isReady());
        QCOMPARE(mount.received(), kHandshake);
        QCOMPARE(rig->log.mid(2),
                 (QStringList{logLine(LogLevel::Info, "Mount firmware version: 2.15.14"),
                              logLine(LogLevel::Info, "Received site information: lat = 48.50 deg, "
                                                      "lon = -11.58 deg, elev = 520 m")}));

        // The user's close: the socket's disconnection, then its destruction.
        rig->link.close();
        QVERIFY(!rig->link.isReady());
        QCOMPARE(rig->link.state(), LinkState::Disconnected);
        QTRY_VERIFY(!mount.isOpen(0));
        QTRY_COMPARE(rig->log.mid(4), (QStringList{disconnected, disconnected}));
        QCOMPARE(states.first().first().value<LinkState>(), LinkState::Connecting);

        STEP(rig->connect());
        QCOMPARE(mount.received(1), kHandshake);
        QCOMPARE(mount.received(0), kHandshake);
    }

    // A reply may come in pieces; every complete reply an arrival holds is delivered at once,
    // the second to the command written after the first. A '#' alone is an empty reply.
    void replyArrivals() {
        STEP(rig->open());
        rig->mount.send("2.15.14#+48*30");
        QTRY_COMPARE(rig->mount.received(), kOpener + ":Gt#");
        rig->mount.send(":15#-011*35:00#");
        QTRY_COMPARE(rig->mount.received(), kHandshake);
        rig->mount.send("+0#");
        QTRY_VERIFY(rig->link.isReady());
        QCOMPARE(rig->link.site().latitude, (48.0 + 30.0 / 60 + 15.0 / 3600) * kRadiansPerDegree);
        QCOMPARE(rig->link.site().longitude, -(11.0 + 35.0 / 60) * kRadiansPerDegree);
        queue(":TLES#");
        queue(":TLESCK#");
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#"));
        rig->mount.send("V##");
        QTRY_COMPARE(replies, (QList<QByteArray>{"V", ""}));
        QVERIFY(rig->link.isIdle());
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#:TLESCK#"));
    }

    // Bytes that answer nothing are dropped, with one warning per connection, whether they come
    // behind a reply or while nothing is awaited: a stray reply shifts no later reply.
    void unexpectedBytesAreDropped() {
        const QString ignored = logLine(LogLevel::Warning, "Ignored unexpected data from mount.");
        for (int connection = 1; connection <= 2; ++connection) {
            replies.clear();
            STEP(rig->open());
            STEP(rig->mount.handshake("2.15.14", "+48*30:00", "-011*35:00",
                                      connection == 1 ? "520#X" : "520"));
            QTRY_VERIFY(rig->link.isReady());
            if (connection == 2)
                rig->mount.send("X#");
            QTRY_COMPARE(rig->log.count(ignored), connection);
            queue(":TLES#");
            QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#"));
            rig->mount.send("V#??#");
            QTRY_COMPARE(replies, QList<QByteArray>{"V"});
            queue(":TLESCK#");
            QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#:TLESCK#"));
            rig->mount.send("T#");
            QTRY_COMPARE(replies, (QList<QByteArray>{"V", "T"}));
            QCOMPARE(rig->log.count(ignored), connection);
            rig->link.close();
        }
    }

    // A handler runs while its command is still the head: what it queues waits behind what was
    // queued before.
    void queueOrderWithReplylessCommands() {
        STEP(rig->connect());
        rig->link.queueCommand(
            ":TLES#", ReplyKind::HashTerminated, [this](const QByteArray& reply) {
                replies << reply << QByteArray::number(rig->link.queuedCommands());
                queue(":GaE#");
            });
        rig->link.park();
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#"));
        QCOMPARE(rig->link.queuedCommands(), 2);
        rig->mount.send("V#");
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#:KA#:GaE#"));
        QCOMPARE(replies, (QList<QByteArray>{"V", "2"}));
        rig->mount.send("1,2,3,4,5#");
        QTRY_VERIFY(rig->link.isIdle());

        // Ready and idle: each completes as it is written.
        rig->link.stop();
        QVERIFY(rig->link.isIdle());
        rig->link.park();
        rig->link.unpark();
        QVERIFY(rig->link.isIdle());
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#:KA#:GaE#:STOP#:KA#:PO#"));
    }

    // While connected, Stop goes out at once, within the handshake or between a command and its
    // reply, and every reply still reaches its command; Park keeps its place. While down, every
    // command waits for the handshake, in order.
    void stopGoesOutAtOnceWhileConnected() {
        rig->link.park();
        rig->link.stop();
        rig->link.unpark();
        QCOMPARE(rig->link.queuedCommands(), 3);
        STEP(rig->open());
        rig->link.stop();
        QTRY_COMPARE(rig->mount.received(), kOpener + ":STOP#");
        rig->mount.send("2.15.14#");
        QTRY_COMPARE(rig->mount.received(), kOpener + ":STOP#:Gt#");
        rig->mount.send("+48*30:00#-011*35:00#520#");
        const QByteArray ready = kOpener + ":STOP#:Gt#:Gg#:Gev#:KA#:STOP#:PO#";
        QTRY_COMPARE(rig->mount.received(), ready);
        QVERIFY(rig->link.isIdle());
        queue(":TLESCK#");
        rig->link.stop();
        rig->link.park();
        QTRY_COMPARE(rig->mount.received(), ready + ":TLESCK#:STOP#");
        QCOMPARE(rig->link.queuedCommands(), 2);
        rig->mount.send("T#");
        QTRY_COMPARE(rig->mount.received(), ready + ":TLESCK#:STOP#:KA#");
        QCOMPARE(replies, QList<QByteArray>{"T"});
    }

    void inFlightHeadIsWrittenAgainAfterReconnection() {
        STEP(rig->connect());
        queue(":TLESCK#");
        rig->link.park();
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLESCK#"));
        rig->mount.hangUp();
        QTRY_COMPARE(rig->link.state(), LinkState::Disconnected);
        QVERIFY(!rig->link.isReady());
        QCOMPARE(rig->link.queuedCommands(), 2);

        STEP(rig->connect());
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLESCK#"));
        rig->mount.send("T#");
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLESCK#:KA#"));
        QCOMPARE(replies, QList<QByteArray>{"T"});
        QVERIFY(rig->link.isIdle());
    }

    void firmwareGate_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::addColumn<FirmwareVersion>("version");

        QTest::newRow("2.15.1 warns")
            << QByteArray("2.15.1") << warning << FirmwareVersion{2, 15, 1};
        QTest::newRow("2.15.9 warns")
            << QByteArray("2.15.9") << warning << FirmwareVersion{2, 15, 9};
        QTest::newRow("2.15.14 silent")
            << QByteArray("2.15.14") << QString() << FirmwareVersion{2, 15, 14};
        QTest::newRow("3 silent") << QByteArray("3") << QString() << FirmwareVersion{3, 0, 0};
        QTest::newRow("2.16 silent")
            << QByteArray("2.16") << QString() << FirmwareVersion{2, 16, 0};
        QTest::newRow("2.15.0 refused")
            << QByteArray("2.15.0") << refusal << FirmwareVersion{2, 15, 0};
        QTest::newRow("1.99.99 refused")
            << QByteArray("1.99.99") << refusal << FirmwareVersion{1, 99, 99};
        QTest::newRow("empty refused") << QByteArray() << refusal << FirmwareVersion{0, 0, 0};
    }

    void firmwareGate() {
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        QFETCH(FirmwareVersion, version);
        ScriptedMount& mount = rig->mount;
        QSignalSpy reported(&rig->link, &MountLink::firmwareReported);

        STEP(rig->open());
        mount.send(reply + '#');
        QTRY_COMPARE(reported.count(), 1);
        QCOMPARE(rig->link.firmware(), version);
        QStringList expected{logLine(LogLevel::Info, "Mount firmware version: " + reply)};
        if (!message.isEmpty())
            expected << message;
        if (message != refusal) {
            QTRY_COMPARE(mount.received(), kOpener + ":Gt#");
            QCOMPARE(rig->log.mid(2), expected);
            QCOMPARE(rig->link.state(), LinkState::Connected);
            return;
        }

        // Closed as on a disconnection, and the released socket's end is logged too.
        QTRY_COMPARE(rig->log.mid(2), (expected + QStringList{disconnected, disconnected}));
        QVERIFY(!rig->link.isReady());
        QCOMPARE(rig->link.state(), LinkState::Disconnected);
        QTRY_VERIFY(!mount.isOpen());
        QCOMPARE(mount.received(), kOpener);

        // Stop is kept until a connection passes the gate.
        rig->link.stop();
        QCOMPARE(rig->link.queuedCommands(), 1);
        STEP(rig->connect());
        QTRY_COMPARE(mount.received(1), kHandshake + ":STOP#");
        QCOMPARE(mount.received(0), kOpener);
    }

    void siteReadings_data() {
        QTest::addColumn<QByteArray>("latitude");
        QTest::addColumn<QByteArray>("longitude");
        QTest::addColumn<QByteArray>("elevation");
        QTest::addColumn<double>("latitudeDegrees");
        QTest::addColumn<double>("longitudeDegrees");
        QTest::addColumn<double>("metres");
        // The site taken, or the Error of the field refused; a refused site keeps the default.
        QTest::addColumn<QString>("line");
        const auto refused = [](const char* name, const QByteArray& lat, const QByteArray& lon,
                                const QByteArray& elev, const QString& field) {
            QTest::newRow(name) << lat << lon << elev << 45.0 << -45.0 << 120.0
                                << "Error: Unreadable site from mount: " + field + ".";
        };

        QTest::newRow("typical") << QByteArray("+48*30:15.2") << QByteArray("-011*35:00")
                                 << QByteArray("+0520.0") << 48.0 + 30.0 / 60 + 15.2 / 3600
                                 << -(11.0 + 35.0 / 60) << 520.0
                                 << "lat = 48.50 deg, lon = -11.58 deg, elev = 520 m";
        QTest::newRow("sign before the first digit")
            << QByteArray("-00*30:00") << QByteArray("+000*00:00") << QByteArray("1234.5") << -0.5
            << 0.0 << 1234.5 << "lat = -0.50 deg, lon = 0.00 deg, elev = 1234.5 m";
        QTest::newRow("blanks, two-byte and trailing separators, the limits")
            << QByteArray(" -90 0 0 ") << QByteArray("+359\u00b060'") << QByteArray("-500") << -90.0
            << 360.0 << -500.0 << "lat = -90.00 deg, lon = 360.00 deg, elev = -500 m";
        QTest::newRow("highest") << QByteArray("90") << QByteArray("-360.0") << QByteArray("10000")
                                 << 90.0 << -360.0 << 10000.0
                                 << "lat = 90.00 deg, lon = -360.00 deg, elev = 10000 m";
        refused("latitude out of range", "+95*00:00", "0", "0", "latitude '+95*00:00'");
        refused("longitude out of range", "0", "-360*00:01", "0", "longitude '-360*00:01'");
        refused("elevation out of range", "0", "0", "10000.1", "elevation '10000.1'");
        refused("trailing garbage", "0", "-011*35:00 W", "0", "longitude '-011*35:00 W'");
        refused("two points", "0", "0", "520.0.5", "elevation '520.0.5'");
        refused("a fourth number", "+48*30:15:02", "0", "0", "latitude '+48*30:15:02'");
        refused("empty", "0", "0", "", "elevation ''");
        refused("a sign inside", "0", "+120-30", "0", "longitude '+120-30'");
        refused("long reply cut", QByteArray(45, '9'), "0", "0",
                "latitude '" + QString(40, '9') + "...'");
    }

    void siteReadings() {
        QFETCH(QByteArray, latitude);
        QFETCH(QByteArray, longitude);
        QFETCH(QByteArray, elevation);
        QFETCH(double, latitudeDegrees);
        QFETCH(double, longitudeDegrees);
        QFETCH(double, metres);
        QFETCH(QString, line);
        QSignalSpy changes(&rig->link, &MountLink::siteChanged);

        STEP(rig->open());
        STEP(rig->mount.handshake("2.15.14", latitude, longitude, elevation));
        QTRY_VERIFY(rig->link.isReady());
        const bool taken = !line.startsWith("Error");
        QCOMPARE(rig->log.mid(3),
                 QStringList(taken ? logLine(LogLevel::Info, "Received site information: " + line)
                                   : line));
        QCOMPARE(changes.count(), int(taken));
        const Site site = rig->link.site();
        QVERIFY(qAbs(site.latitude - latitudeDegrees * kRadiansPerDegree) < 1e-15);
        QVERIFY(qAbs(site.longitude - longitudeDegrees * kRadiansPerDegree) < 1e-15);
        QCOMPARE(site.elevation, metres);
    }

    void replyTimeLimit_data() {
        QTest::addColumn<QByteArray>("command"); // empty: the handshake's :Gg#
        QTest::addColumn<QString>("shown");
        QTest::newRow("handshake step") << QByteArray() << ":Gg#";
        QTest::newRow("queued transaction") << QByteArray(":GaE#") << ":GaE#";
        QTest::newRow("20 characters")
            << QByteArray(":TLEL0ABCDEFGHIJKLM#") << ":TLEL0ABCDEFGHIJKLM#";
        QTest::newRow("longer, cut")
            << QByteArray(":TLEL0ABCDEFGHIJKLMNOP#") << ":TLEL0ABCDEFGHIJKLMN...";
    }

    // A reply that does not come within the limit fails the link, named in an Error; the command
    // in flight is written again after the next handshake.
    void replyTimeLimit() {
        QFETCH(QByteArray, command);
        QFETCH(QString, shown);
        QSignalSpy states(&rig->link, &MountLink::stateChanged);
        STEP(rig->open());
        if (command.isEmpty()) {
            rig->mount.send("2.15.14#+48*30:00#");
            QTRY_COMPARE(rig->mount.received(), kOpener + ":Gt#:Gg#");
        } else {
            STEP(rig->mount.handshake());
            QTRY_VERIFY(rig->link.isReady());
        }
        const int row = rig->log.size();
        rig->link.setReplyTimeout(200); // also the limit of the reply awaited now
        if (!command.isEmpty())
            queue(command);
        QTRY_COMPARE(rig->log.mid(row),
                     (QStringList{logLine(LogLevel::Error,
                                          "Mount did not answer " + shown + " within 0.2 s."),
                                  disconnected}));
        QCOMPARE(states.at(states.size() - 2).first().value<LinkState>(), LinkState::Failed);
        QCOMPARE(rig->link.state(), LinkState::Disconnected);
        QTRY_VERIFY(!rig->mount.isOpen(0));

        rig->link.setReplyTimeout(MountLink::defaultReplyTimeoutMs);
        STEP(rig->connect());
        if (command.isEmpty())
            return;
        QTRY_COMPARE(rig->mount.afterHandshake(), command);
        rig->mount.send("1#");
        QTRY_COMPARE(replies, QList<QByteArray>{"1"});
    }

    void receiveBound_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("65,535 bytes and the hash") << 65535;
        QTest::newRow("one more") << 65536;
    }

    void receiveBound() {
        QFETCH(int, length);
        QCOMPARE(maxReceiveBuffer, 65536);
        rig->link.stop();
        STEP(rig->open());
        rig->mount.send(QByteArray(length, '7') + '#');
        if (length < maxReceiveBuffer) {
            // Delivered whole; a version of 7777... saturates, so the link goes on.
            QTRY_COMPARE(rig->mount.received(), kOpener + ":Gt#");
            QCOMPARE(rig->log.value(2).size(), 30 + length);
            QVERIFY(!rig->log.contains(connectionError));
            return;
        }
        QTRY_COMPARE(rig->log.mid(2), (QStringList{connectionError, disconnected}));
        QVERIFY(!rig->link.isReady());
        QCOMPARE(rig->link.state(), LinkState::Disconnected);
        QTRY_VERIFY(!rig->mount.isOpen());
        QCOMPARE(rig->mount.received(0), kOpener);
        // The queue outlives the connection.
        STEP(rig->connect());
        QTRY_COMPARE(rig->mount.received(1), kHandshake + ":STOP#");
    }

    void mountHangingUp() {
        STEP(rig->connect());
        const int row = rig->log.size();
        rig->mount.hangUp();
        QTRY_COMPARE(rig->log.mid(row), (QStringList{connectionError, disconnected}));
        QCOMPARE(rig->link.state(), LinkState::Disconnected);
        QVERIFY(!rig->link.isReady());
    }

    void refusedConnectionThenAgain() {
        quint16 closedPort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            closedPort = probe.serverPort();
        }
        rig = std::make_unique<LinkRig>(closedPort);
        for (int attempt = 0; attempt < 2; ++attempt) {
            rig->link.open(QStringLiteral("127.0.0.1"));
            QTRY_COMPARE(rig->log.size(), 3 * attempt + 3);
            QCOMPARE(rig->log.mid(3 * attempt),
                     (QStringList{connecting, connectionError, disconnected}));
            QCOMPARE(rig->link.state(), LinkState::Disconnected);
        }
    }

    void openingAgainOpensNoSecondConnection() {
        rig->link.open(QStringLiteral("127.0.0.1"));
        QCOMPARE(rig->link.state(), LinkState::Connecting);
        rig->link.open(QStringLiteral("127.0.0.1"));
        STEP(rig->mount.handshake());
        QTRY_VERIFY(rig->link.isReady());
        rig->link.open(QStringLiteral("127.0.0.1"));
        rig->link.stop();
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":STOP#"));
        QCOMPARE(rig->mount.connectionCount(), 1);
        QCOMPARE(rig->log.count(connecting), 1);
        QCOMPARE(rig->link.state(), LinkState::Connected);
    }

    // The closed socket's destruction arrives while the new connection is under way; it must not
    // take the new one down.
    void reconnectingRightAfterClosing() {
        STEP(rig->connect());
        const int row = rig->log.size();
        rig->link.close();
        rig->link.open(QStringLiteral("127.0.0.1"));
        QCOMPARE(rig->link.state(), LinkState::Connecting);
        QTRY_COMPARE(rig->mount.connectionCount(), 2);
        STEP(rig->mount.handshake());
        QTRY_VERIFY(rig->link.isReady());
        rig->link.stop();
        QTRY_COMPARE(rig->mount.received(1), kHandshake + ":STOP#");
        QVERIFY(!rig->mount.isOpen(0));
        QCOMPARE(rig->link.state(), LinkState::Connected);
        // The old connection's end is logged once; its late destruction is not news.
        QCOMPARE(rig->log.mid(row, 3), (QStringList{disconnected, connecting, connected}));
        QCOMPARE(rig->log.count(disconnected), 1);
    }

    void longRunOfReplylessCommands() {
        const int count = 50000;
        for (int i = 0; i < count; ++i)
            rig->link.stop();
        STEP(rig->connect());
        QVERIFY(rig->link.isIdle());
        QTRY_COMPARE_WITH_TIMEOUT(rig->mount.received().size(), kHandshake.size() + 6 * count,
                                  30000);
        QCOMPARE(rig->mount.received().count(":STOP#"), count);
    }

private:
    // Queues a command whose reply lands in `replies`.
    void queue(const QByteArray& command) {
        rig->link.queueCommand(command, ReplyKind::HashTerminated,
                               [this](const QByteArray& reply) { replies << reply; });
    }

    std::unique_ptr<LinkRig> rig;
    QList<QByteArray> replies;
};

QTEST_GUILESS_MAIN(TestMountLink)
#include "tst_mount_link.moc"
