// Connections and their handshake against a mount that the test plays over loopback TCP: the
// firmware gate, the site read, slow and repeated connections (refused ones through the window,
// in tests/hostile); and the protocol's replies and commands read and written.
#include "mount/protocol.h"
#include "tests/common/link_test.h"

#include <QSignalSpy>

#include <cstddef>
#include <deque>
#include <tuple>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

static const QString refusal =
    logLine(LogLevel::Error, "This firmware doesn't support satellite tracking commands. "
                             "Upgrade at least to 2.15.1.");
static const QString warning =
    logLine(LogLevel::Warning, "This firmware doesn't support real-time tracking error readout. "
                               "To enable it upgrade at least to 2.15.14.");

class TestMountHandshake : public QObject, LinkTest {
    Q_OBJECT

private slots:
    void init() { QVERIFY(openRig()); }
    void cleanup() { closeRig(); }

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
        QCOMPARE(rig->log.size(), 4); // the version and the site, as firmwareGate and siteReadings

        // The user's close ends the connection at once, and says so once.
        rig->link.close();
        QVERIFY(!rig->link.isReady());
        QCOMPARE(rig->link.state(), LinkState::Disconnected);
        QCOMPARE(rig->log.mid(4), QStringList{disconnected});
        QTRY_VERIFY(!mount.isOpen(0));
        QCOMPARE(states.first().first().value<LinkState>(), LinkState::Connecting);

        STEP(rig->connect());
        QCOMPARE(mount.received(1), kHandshake);
        QCOMPARE(mount.received(0), kHandshake);
    }
    void firmwareGate_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::addColumn<FirmwareVersion>("version");
        const auto row = [](const char* name, const char* reply, const QString& message,
                            FirmwareVersion version) {
            QTest::newRow(name) << QByteArray(reply) << message << version;
        };
        row("2.15.1 warns", "2.15.1", warning, {2, 15, 1});
        row("2.15.9 warns", "2.15.9", warning, {2, 15, 9});
        row("2.15.14 silent", "2.15.14", QString(), {2, 15, 14});
        row("3 silent", "3", QString(), {3, 0, 0});
        row("2.16 silent", "2.16", QString(), {2, 16, 0});
        row("2.15.0 refused", "2.15.0", refusal, {2, 15, 0});
        row("1.99.99 refused", "1.99.99", refusal, {1, 99, 99});
        row("empty refused", "", refusal, {0, 0, 0});
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

        // Closed as on a disconnection.
        QTRY_COMPARE(rig->log.mid(2), (expected + QStringList{disconnected}));
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

        const auto taken = [](const char* name, const QByteArray& lat, const QByteArray& lon,
                              const QByteArray& elev, double latitude, double longitude,
                              double metres, const char* line) {
            QTest::newRow(name) << lat << lon << elev << latitude << longitude << metres
                                << QString(line);
        };
        taken("typical", "+48*30:15.2", "-011*35:00", "+0520.0", 48.0 + 30.0 / 60 + 15.2 / 3600,
              -(11.0 + 35.0 / 60), 520.0, "lat = 48.50 deg, lon = -11.58 deg, elev = 520 m");
        taken("sign before the first digit", "-00*30:00", "+000*00:00", "1234.5", -0.5, 0.0, 1234.5,
              "lat = -0.50 deg, lon = 0.00 deg, elev = 1234.5 m");
        taken("blanks, two-byte and trailing separators, the limits", " -90 0 0 ", "+359\u00b060'",
              "-500", -90.0, 360.0, -500.0, "lat = -90.00 deg, lon = 360.00 deg, elev = -500 m");
        taken("highest", "90", "-360.0", "10000", 90.0, -360.0, 10000.0,
              "lat = 90.00 deg, lon = -360.00 deg, elev = 10000 m");
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
        QVERIFY(qAbs(site.westLongitude - longitudeDegrees * kRadiansPerDegree) < 1e-15);
        QCOMPARE(site.elevation, metres);
    }

    // The site as the stand-in writes it reads back to the reply's last digit, the limits too.
    void siteRepliesReadBack() {
        using namespace MountProtocol;
        const auto near = [](std::optional<double> back, double value, double step) {
            return back && qAbs(*back - value) <= step / 2 + 1e-9;
        };
        for (const double degrees : {-90.0, -33.5, 0.0, 47.9999875, 90.0})
            QVERIFY2(near(readLatitude(latitudeReply(degrees)), degrees, 0.1 / 3600),
                     latitudeReply(degrees).constData());
        for (const double degrees : {-360.0, -151.25, 8.4999999, 359.99999})
            QVERIFY2(near(readLongitude(longitudeReply(degrees)), degrees, 0.1 / 3600),
                     longitudeReply(degrees).constData());
        for (const double metres : {-500.0, -0.04, 58.0, 9999.96})
            QVERIFY2(near(readElevation(elevationReply(metres)), metres, 0.1),
                     elevationReply(metres).constData());
        // 59.95" carries into the next minute; a negative zero loses its sign.
        QCOMPARE(latitudeReply(47.9999875), QByteArray("+48*00:00.0"));
        QCOMPARE(longitudeReply(-151.25), QByteArray("-151*15:00.0"));
        QCOMPARE(elevationReply(-0.04), QByteArray("+0000.0"));
    }

    void clockReplies_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        // The date as a Julian day number, the time in seconds, the offset in hours; NaN: refused.
        QTest::addColumn<double>("value");
        const double no = qQNaN();
        const QList<std::tuple<const char*, const char*, double>> rows = {
            {":GC#", "12/07/26", 2461382},
            {":GC#", "02/29/24", 2460370},
            {":GC#", "02/29/25", no},
            {":GC#", "13/01/26", no},
            {":GC#", "12/07/2026", no},
            {":GC#", "12-07-26", no},
            {":GC#", "", no},
            {":GL#", "23:59:59", 86399},
            {":GL#", "00:00:00.25", 0.25},
            {":GL#", "12:34:56.789", 45296.789},
            {":GL#", "24:00:00", no},
            {":GL#", "12:60:00", no},
            {":GL#", "12:00:00.", no},
            {":GL#", "12:00:00.1234", no},
            {":GL#", "12:00", no},
            {":GL#", "+12:00:00", no},
            {":GG#", "+05", 5},
            {":GG#", "-05.5", -5.5},
            {":GG#", "+05:45", 5.75},
            {":GG#", "-03:30:00.0", -3.5},
            {":GG#", "+00:00:36.0", 0.01},
            {":GG#", "+14", 14},
            {":GG#", "05", no},
            {":GG#", "+15", no},
            {":GG#", "+05:60", no},
            {":GG#", "+5", no},
            {":GG#", "+05.55", no},
            {":GG#", "12:34:56", no},
        };
        for (const auto& [command, reply, value] : rows)
            QTest::addRow("%s %s", command, reply)
                << QByteArray(command) << QByteArray(reply) << value;
    }

    // The mount's clock replies read strictly; what the stand-in writes reads back.
    void clockReplies() {
        using namespace MountProtocol;
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        QFETCH(double, value);
        const auto read = [&command](const QByteArray& text) -> std::optional<double> {
            if (command != kDate)
                return command == kLocalTime ? readLocalTime(text) : readUtcOffset(text);
            const std::optional<QDate> date = readDate(text);
            return date ? std::optional<double>(double(date->toJulianDay())) : std::nullopt;
        };
        const std::optional<double> got = read(reply);
        QCOMPARE(got.has_value(), !qIsNaN(value));
        if (!got)
            return;
        QVERIFY2(qAbs(*got - value) < 1e-9, qPrintable(QString::number(*got, 'g', 12)));
        const QByteArray written = command == kDate ? dateReply(QDate::fromJulianDay(qint64(value)))
                                   : command == kLocalTime ? localTimeReply(qRound64(value * 100))
                                                           : utcOffsetReply(value * 3600);
        const std::optional<double> back = read(written);
        QVERIFY2(back && qAbs(*back - value) < 0.006, written.constData());
    }

    // A connection not accepted within the limit fails as a reply does; the queue is kept. The
    // address is a listener whose backlog is full: the system drops every further attempt
    // unanswered, so the attempt never completes.
    void connectionTimeLimit() {
#ifndef Q_OS_LINUX
        QSKIP("Needs a listener's backlog as Linux keeps it.");
#else
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        const auto closeListener = qScopeGuard([listener] { ::close(listener); });
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0);
        QVERIFY(listen(listener, 1) == 0);
        QVERIFY(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
        // For a listener, the system reports the connections waiting and the backlog there.
        const auto waiting = [listener] {
            tcp_info info{};
            socklen_t size = sizeof info;
            if (getsockopt(listener, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
                size < offsetof(tcp_info, tcpi_sacked) + sizeof info.tcpi_sacked)
                return std::pair<int, int>(-1, -1);
            return std::pair<int, int>(info.tcpi_unacked, info.tcpi_sacked);
        };
        // qemu-user hands on only the first word of the report.
        if (waiting().first < 0)
            QSKIP("The system does not report a listener's queue (TCP_INFO).");
        std::deque<QTcpSocket> fillers;
        while (waiting().first <= waiting().second) {
            fillers.emplace_back().connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
            QVERIFY(fillers.back().waitForConnected(5000));
            QTRY_COMPARE(waiting().first, int(fillers.size()));
        }

        LinkRig stuck(ntohs(address.sin_port));
        stuck.link.setReplyTimeout(200);
        stuck.link.stop();
        QSignalSpy states(&stuck.link, &MountLink::stateChanged);
        stuck.link.open(QStringLiteral("127.0.0.1"));
        QTRY_COMPARE(stuck.link.state(), LinkState::Disconnected);
        QCOMPARE(stuck.log,
                 (QStringList{
                     connecting,
                     logLine(LogLevel::Error, "Mount did not accept the connection within 0.2 s."),
                     disconnected}));
        QCOMPARE(states.size(), 3);
        QCOMPARE(states.at(1).first().value<LinkState>(), LinkState::Failed);
        QCOMPARE(stuck.link.queuedCommands(), 1);
        QCOMPARE(waiting().first, int(fillers.size()));
#endif
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
    void uploadText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("command");
        // Only the dollar sign is doubled; the 0a after it stays as it is.
        QTest::newRow("dollar before 0a") << "TAG $0a\n"
                                          << QByteArray(":TLEL0TAG $$0a$0a1$0a2$0a#");
        QTest::newRow("escapes not escaped again") << "$,#\n"
                                                   << QByteArray(":TLEL0$$$2C$23$0a1$0a2$0a#");
        QTest::newRow("sent as UTF-8") << QString::fromUtf8("K\xC3\xB8sat\r\n")
                                       << QByteArray(":TLEL0K\xC3\xB8sat\r$0a1$0a2$0a#");
    }

    // Short element lines will do: the escapes are what is looked at.
    void uploadText() {
        QFETCH(QString, name);
        QFETCH(QByteArray, command);
        QCOMPARE(MountProtocol::uploadCommand(name, "1\n", "2\n"), command);
        const std::optional<QByteArray> back =
            MountProtocol::unescapeUploadText(command.mid(6).chopped(1));
        QCOMPARE(back.value_or("<refused>"), (name + "1\n2\n").toUtf8());
    }

    void passCommandHasEightDecimals() {
        QCOMPARE(MountProtocol::passCommand(2461015.5), QByteArray(":TLEP2461015.50000000,10#"));
        QCOMPARE(MountProtocol::passCommand(2461381.123456789),
                 QByteArray(":TLEP2461381.12345679,10#"));
    }
};

QTEST_GUILESS_MAIN(TestMountHandshake)
#include "tst_mount_handshake.moc"
