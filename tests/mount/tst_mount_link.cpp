// The mount link, and the transit chain and status poll over it, byte by byte against a mount
// that the test plays over loopback TCP.
#include "astro/time_scales.h"
#include "catalogue/catalogue_entry.h"
#include "mount/protocol.h"
#include "mount/reply_cutter.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/test_sets.h"
#include "tracking/pass_recorder.h"
#include "tracking/tracking_status_poll.h"
#include "tracking/transit_chain.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstring>
#include <deque>
#include <memory>
#include <tuple>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

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
// The upload of the set named CALSPHERE 1, byte by byte.
static const QByteArray upload =
    ":TLEL0CALSPHERE 1$0a1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  "
    "9991$0a2 00900  90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057$0a#";

class TestMountLink : public QObject {
    Q_OBJECT

private slots:
    void init() {
        rig = std::make_unique<LinkRig>();
        QVERIFY(rig->mount.isListening());
        replies.clear();
        chain = std::make_unique<TransitChain>(rig->link, [this] { return jd; });
        poll = std::make_unique<TrackingStatusPoll>(rig->link);
        rig->record(chain.get());
        rig->record(poll.get());
        connect(poll.get(), &TrackingStatusPoll::statusLine,
                [this](const QString& line) { statusLines << line; });
        statusLines.clear();
    }

    void cleanup() {
        poll.reset();
        chain.reset();
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

    // A reply may come in pieces and is delivered once complete. Nothing sent before a command
    // is written answers it: what comes behind a reply is dropped, a lone '#' too.
    void replyArrivals() {
        STEP(rig->open());
        rig->mount.send("2.15");
        rig->mount.send(".14#");
        QTRY_COMPARE(rig->mount.received(), kOpener + ":Gt#");
        rig->mount.send("+48*30");
        rig->mount.send(":15#-011*35:00#");
        QTRY_COMPARE(rig->mount.received(), kOpener + ":Gt#:Gg#");
        rig->mount.send("-011*35:00#");
        QTRY_COMPARE(rig->mount.received(), kHandshake);
        rig->mount.send("+0#");
        QTRY_VERIFY(rig->link.isReady());
        QCOMPARE(rig->link.firmware(), (FirmwareVersion{2, 15, 14}));
        QCOMPARE(rig->link.site().latitude, (48.0 + 30.0 / 60 + 15.0 / 3600) * kRadiansPerDegree);
        QCOMPARE(rig->link.site().westLongitude, -(11.0 + 35.0 / 60) * kRadiansPerDegree);
        queue(":TLES#");
        queue(":TLESCK#");
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#"));
        rig->mount.send("V##");
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#:TLESCK#"));
        QCOMPARE(replies, QList<QByteArray>{"V"});
        rig->mount.send("T#");
        QTRY_COMPARE(replies, (QList<QByteArray>{"V", "T"}));
        QVERIFY(rig->link.isIdle());
        QCOMPARE(rig->log.count(logLine(LogLevel::Warning, "Ignored unexpected data from mount.")),
                 1);
    }

    // Bytes still unread when a command is written are dropped, not taken as its reply. Stop,
    // written while a reply is awaited, leaves the bytes that may be it where they are.
    void bytesUnreadBeforeACommand_data() {
        QTest::addColumn<bool>("stop");
        QTest::newRow("stray reply, then a command") << false;
        QTest::newRow("reply, then Stop") << true;
    }

    void bytesUnreadBeforeACommand() {
        QFETCH(bool, stop);
        STEP(rig->connect());
        if (stop) {
            queue(":TLES#");
            QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#"));
        }
        rig->mount.send(stop ? "V#" : "X#");
        if (!rig->mount.waitUntilDelivered())
            QSKIP("Needs to know when the link's socket holds the bytes (Linux).");
        if (stop) {
            rig->link.stop();
        } else {
            queue(":TLES#");
            QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#"));
            rig->mount.send("V#");
        }
        QTRY_COMPARE(replies, QList<QByteArray>{"V"});
        QCOMPARE(rig->mount.afterHandshake(), QByteArray(stop ? ":TLES#:STOP#" : ":TLES#"));
        QCOMPARE(
            rig->log.mid(4),
            stop ? QStringList()
                 : QStringList{logLine(LogLevel::Warning, "Ignored unexpected data from mount.")});
    }

    // More than 64 KiB that nobody asked for within 10 s end the connection: the link must not
    // spend its thread reading a flood. Up to the bound, the link goes on.
    void unaskedFlood_data() {
        QTest::addColumn<QByteArray>("reply");  // to a command queued first; null: none
        QTest::addColumn<QList<int>>("pieces"); // unasked bytes, each taken in before the next
        QTest::newRow("the bound") << QByteArray() << QList<int>{64 * 1024};
        QTest::newRow("beyond") << QByteArray() << QList<int>{64 * 1024 + 1};
        QTest::newRow("beyond, behind a reply") << QByteArray("V#") << QList<int>{64 * 1024 + 1};
        QTest::newRow("beyond in two arrivals")
            << QByteArray() << QList<int>{40000, 64 * 1024 + 1 - 40000};
    }

    void unaskedFlood() {
        QFETCH(QByteArray, reply);
        QFETCH(QList<int>, pieces);
        const QString ignored = logLine(LogLevel::Warning, "Ignored unexpected data from mount.");
        STEP(rig->connect());
        QSignalSpy states(&rig->link, &MountLink::stateChanged);
        if (!reply.isNull()) {
            queue(":TLES#");
            QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#"));
        }
        int total = 0;
        for (int i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                QTRY_COMPARE(rig->log.count(ignored), 1);
            rig->mount.send((i == 0 ? reply : QByteArray()) + QByteArray(pieces[i], 'X'));
            total += pieces[i];
        }
        if (total > 64 * 1024) {
            QTRY_COMPARE(rig->link.state(), LinkState::Disconnected);
            QCOMPARE(rig->log.mid(rig->log.size() - 2),
                     (QStringList{logLine(LogLevel::Warning, "Mount sent more than 64 KiB of "
                                                             "unexpected data within 10 s."),
                                  disconnected}));
            QCOMPARE(states.at(states.size() - 2).first().value<LinkState>(), LinkState::Failed);
            QCOMPARE(replies, reply.isNull() ? QList<QByteArray>() : QList<QByteArray>{"V"});
            QTRY_VERIFY(!rig->mount.isOpen());
            return;
        }
        if (!rig->mount.waitUntilDelivered())
            QSKIP("Needs to know when the link's socket holds the bytes (Linux).");
        queue(":TLESCK#");
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLESCK#"));
        rig->mount.send("T#");
        QTRY_COMPARE(replies, QList<QByteArray>{"T"});
        QCOMPARE(rig->log.mid(4), QStringList{ignored});
        QCOMPARE(rig->link.state(), LinkState::Connected);
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
        using Step = std::pair<QByteArray, QByteArray>; // a reply, and what follows it
        for (const auto& [reply, next] : {Step{"+48*30:00#", ":Gg#"}, Step{"-011*35:00#", ":Gev#"},
                                          Step{"520#", ":KA#:STOP#:PO#"}}) {
            const QByteArray before = rig->mount.received();
            rig->mount.send(reply);
            QTRY_COMPARE(rig->mount.received(), before + next);
        }
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
        const std::optional<QDate> date = command == kDate ? readDate(reply) : std::nullopt;
        const std::optional<double> read = command == kDate        ? std::nullopt
                                           : command == kLocalTime ? readLocalTime(reply)
                                                                   : readUtcOffset(reply);
        const std::optional<double> got =
            date ? std::optional<double>(double(date->toJulianDay())) : read;
        QCOMPARE(got.has_value(), !qIsNaN(value));
        if (got)
            QVERIFY2(qAbs(*got - value) < 1e-9, qPrintable(QString::number(*got, 'g', 12)));
        if (!got)
            return;
        const QByteArray written = command == kDate        ? dateReply(*date)
                                   : command == kLocalTime ? localTimeReply(qRound64(value * 100))
                                                           : utcOffsetReply(value * 3600);
        const std::optional<double> back = command == kDate        ? std::nullopt
                                           : command == kLocalTime ? readLocalTime(written)
                                                                   : readUtcOffset(written);
        QVERIFY2(command == kDate ? readDate(written) == date : back && qAbs(*back - value) < 0.006,
                 written.constData());
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
            rig->mount.send("2.15.14#");
            QTRY_COMPARE(rig->mount.received(), kOpener + ":Gt#");
            rig->mount.send("+48*30:00#");
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
        QTest::newRow("the bound less one, and the hash") << maxReceiveBuffer - 1;
        QTest::newRow("the bound") << maxReceiveBuffer;
    }

    void receiveBound() {
        QFETCH(int, length);
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
        LinkRig refused(closedPort);
        for (int attempt = 0; attempt < 2; ++attempt) {
            refused.link.open(QStringLiteral("127.0.0.1"));
            QTRY_COMPARE(refused.log.size(), 3 * attempt + 3);
            QCOMPARE(refused.log.mid(3 * attempt),
                     (QStringList{connecting, connectionError, disconnected}));
            QCOMPARE(refused.link.state(), LinkState::Disconnected);
        }
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
            getsockopt(listener, IPPROTO_TCP, TCP_INFO, &info, &size);
            return std::pair<int, int>(info.tcpi_unacked, info.tcpi_sacked);
        };
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

    // The transit chain and the status poll.
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

    void chainReplies_data() {
        QTest::addColumn<QByteArray>("uploadReply");
        QTest::addColumn<QByteArray>("passReply"); // null: the pass is not asked for
        QTest::addColumn<QByteArray>("slewReply"); // null: the slew is not asked for
        QTest::addColumn<QString>("line");         // empty: nothing logged
        const QString noPass = logLine(LogLevel::Warning, "TLE has no passes now.");
        const QString invalid = logLine(LogLevel::Error, "TLE has invalid format.");
        const QString toStart = logLine(LogLevel::Success, "Slewing to start of transit.");
        const QString toSatellite = logLine(LogLevel::Success, "Slewing to transiting TLE.");
        const auto row = [](const char* name, const char* toUpload, const char* toPass,
                            const char* toSlew, const QString& line) {
            QTest::newRow(name) << QByteArray(toUpload) << QByteArray(toPass) << QByteArray(toSlew)
                                << line;
        };
        const char* const data = "2461015.512345,2461015.534567,45.0";
        row("slew V", "V", data, "V", toStart);
        row("slew S", "V", data, "S", toSatellite);
        row("slew E", "V", data, "E", noPass);
        row("slew F", "V", data, "F",
            logLine(LogLevel::Warning, "Slew failed, mount is parked or blocked."));
        row("slew Q", "V", data, "Q", logLine(LogLevel::Warning, "Transit already ended."));
        row("first character decides", "Vx", data, "Sxyz", toSatellite);
        row("slew T logs nothing", "V", data, "T", QString());
        row("empty slew logs nothing", "V", data, "", QString());
        row("pass E", "V", "E", nullptr, noPass);
        row("pass N", "V", "N", nullptr, noPass);
        row("pass EN is pass data", "V", "EN", "V", toStart);
        row("empty pass is pass data", "V", "", "S", toSatellite);
        row("upload E", "E", nullptr, nullptr, invalid);
        row("upload empty", "", nullptr, nullptr, invalid);
        row("upload lower-case v", "v", nullptr, nullptr, invalid);
    }

    // Each reply decides the next step. A Stop queued at the end must follow the chain's last
    // command directly: nothing else is left queued.
    // A set numbered past 339999 has no element lines: nothing goes to the mount.
    void setBeyondTleIsNotUploaded() {
        STEP(rig->connect());
        const int row = rig->log.size();
        chain->start(entry("NEW OBJECT (123456789)", "NEW OBJECT\n", {}, {}));
        rig->link.stop();
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":STOP#"));
        QCOMPARE(rig->log.mid(row),
                 (QStringList{logLine(LogLevel::Info, "Selected NEW OBJECT (123456789)."),
                              logLine(LogLevel::Warning,
                                      "The element set of NEW OBJECT (123456789) has a catalogue "
                                      "number above 339999, which no TLE can carry: the mount "
                                      "cannot take it.")}));
    }

    void chainReplies() {
        QFETCH(QByteArray, uploadReply);
        QFETCH(QByteArray, passReply);
        QFETCH(QByteArray, slewReply);
        QFETCH(QString, line);

        STEP(rig->connect());
        const int row = rig->log.size();
        jd = 1.0;
        chain->start(entry("CALSPHERE 1", "CALSPHERE 1\n", kCalsphereLine1, kCalsphereLine2));
        QCOMPARE(rig->log.mid(row), QStringList{logLine(LogLevel::Info, "Selected CALSPHERE 1.")});
        // The pass starts at the instant of its asking, not of the start.
        jd = 2461015.5;
        QByteArray sent = upload;
        STEP(expectThenAnswer(sent, uploadReply));
        if (!passReply.isNull()) {
            sent += ":TLEP2461015.50000000,10#";
            STEP(expectThenAnswer(sent, passReply));
        }
        if (!slewReply.isNull()) {
            sent += ":TLES#";
            STEP(expectThenAnswer(sent, slewReply));
        }
        rig->link.stop();
        QTRY_COMPARE(rig->mount.afterHandshake(), sent + ":STOP#");
        QCOMPARE(rig->log.mid(row + 1), line.isEmpty() ? QStringList() : QStringList{line});
    }

    // An Alpha-5 set goes as it stands; when it is refused, the log says why that may be.
    void alpha5SetRefused() {
        STEP(rig->connect());
        const int row = rig->log.size();
        const QString line1 = QString::fromLatin1(kCalsphereLine1).replace(2, 5, "A0900");
        const QString line2 = QString::fromLatin1(kCalsphereLine2).replace(2, 5, "A0900");
        chain->start(entry("NEW 1", "NEW 1\n", line1.toLatin1(), line2.toLatin1()));
        const QByteArray sent = MountProtocol::uploadCommand("NEW 1\n", line1, line2);
        QVERIFY(sent.contains("$0a1 A0900U 64063C"));
        STEP(expectThenAnswer(sent, "E"));
        QTRY_COMPARE(
            rig->log.mid(row + 1),
            (QStringList{logLine(LogLevel::Error, "TLE has invalid format."),
                         logLine(LogLevel::Warning,
                                 "The element set of NEW 1 has its catalogue number in "
                                 "the Alpha-5 form, which older firmware may not read.")}));
    }

    void statusPoll_data() {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QByteArray>("errors"); // null: not asked for
        QTest::addColumn<QString>("line");      // the status line after the poll
        QTest::addColumn<QString>("logged");
        QTest::addColumn<double>("riseSeconds"); // a countdown to a rise this far ahead; 0: none
        QTest::addColumn<QString>("reading");    // the poll's reading: code, errors; "": unchecked
        const auto row = [](const char* name, const char* firmware, const char* state,
                            const char* errors, const QString& line, const QString& logged = {},
                            const char* reading = "", double riseSeconds = 0.0) {
            QTest::newRow(name) << QByteArray(firmware) << QByteArray(state) << QByteArray(errors)
                                << line << logged << riseSeconds << QString(reading);
        };
        const QString zero = "  errors: 0.00\", 0.00\"";
        const char* const zeros = "1,2,0,4,0";
        row("E", "2.15.14", "E", zeros, "No transit tracking requested" + zero);
        row("P", "2.15.14", "P", zeros, "Waiting for transit" + zero);
        row("Q", "2.15.14", "Q", zeros, "Transit ended" + zero);
        row("S", "2.15.14", "S", zeros, "Slewing to catch satellite" + zero);
        row("V", "2.15.14", "V", zeros, "Slewing to start of transit" + zero);
        row("T with errors", "2.15.14", "T", "0,0,0.0025,0,-0.001",
            "Tracking satellite  errors: 9.00\", -3.60\"", {}, "T 9.00 -3.60");
        row("four fields keep the line", "2.15.14", "S", "1,2,0.5,4", "Tracking satellite" + zero,
            logLine(LogLevel::Error, "Couldn't get axis tracking errors."), "S nan nan");
        row("empty field 2", "2.15.14", "P", "1,2,,4,0.001", "Waiting for transit", {},
            "P nan nan");
        row("quoted field with a comma", "2.15.14", "T", "1,\"a,b\",0.001,x,0.002",
            "Tracking satellite  errors: 3.60\", 7.20\"");
        row("unknown code keeps the state", "2.15.14", "X", zeros, "Tracking satellite" + zero, {},
            "T 0.00 0.00");
        row("empty code keeps the state", "2.15.14", "", zeros, "Tracking satellite" + zero);
        row("2.15.13: the state alone", "2.15.13", "P", nullptr, "Waiting for transit", {},
            "P nan nan");
        row("2.15.13: unknown code", "2.15.13", "X", nullptr, "Tracking satellite");
        // The countdown takes the place of the errors while the mount waits, rounded up.
        row("P counts down", "2.15.14", "P", zeros, "Waiting for transit: rises in 02:06", {},
            "P 0.00 0.00", 125.4);
        row("P counts down an hour", "2.15.13", "P", nullptr, "Waiting for transit: rises in 62:05",
            {}, "P nan nan", 3724.5);
        row("P after the rise", "2.15.14", "P", zeros, "Waiting for transit" + zero, {}, "", -5.0);
        row("T while counting down", "2.15.14", "T", zeros, "Tracking satellite" + zero, {}, "",
            60.0);
    }

    // A first poll of T, then the row's; a Stop queued after it follows at once.
    void statusPoll() {
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, state);
        QFETCH(QByteArray, errors);
        QFETCH(QString, line);
        QFETCH(QString, logged);
        QFETCH(double, riseSeconds);
        QFETCH(QString, reading);

        const bool withErrors = !errors.isNull();
        STEP(rig->connect(firmware));
        if (riseSeconds != 0.0)
            poll->countDownTo(jd + riseSeconds / 86400.0, [this] { return jd; });
        QSignalSpy readings(poll.get(), &TrackingStatusPoll::readingReceived);
        const int row = rig->log.size();
        STEP(answerPoll("T", withErrors ? QByteArray("0,0,0,0,0") : QByteArray()));
        QCOMPARE(statusLines.size(), 1);
        STEP(answerPoll(state, errors));
        QCOMPARE(statusLines.size(), logged.isEmpty() ? 2 : 1);
        QCOMPARE(statusLines.last(), line);
        QCOMPARE(rig->log.mid(row), logged.isEmpty() ? QStringList() : QStringList{logged});
        QCOMPARE(readings.size(), 2);
        const QList<QVariant> last = readings.last();
        if (!reading.isEmpty())
            QCOMPARE(QString("%1 %2 %3")
                         .arg(QChar(last[0].value<char>()))
                         .arg(last[1].toDouble(), 0, 'f', 2)
                         .arg(last[2].toDouble(), 0, 'f', 2),
                     reading);

        const QByteArray poll = withErrors ? ":TLESCK#:GaE#" : ":TLESCK#";
        rig->link.stop();
        QTRY_COMPARE(rig->mount.afterHandshake(), poll + poll + ":STOP#");
    }

    void passRecord_data() {
        // b: the slew taken; x: the link ends; fill: the most samples a record keeps, tracking;
        // CODE[:E1:E2]: a poll's reading (errors in arc-seconds, none when not read).
        QTest::addColumn<QString>("events");
        QTest::addColumn<QList<int>>("samples"); // of each record written, oldest first
        QTest::addColumn<QString>("logged");     // the last line logged; PATH: the last record
        const QString noErrors = "Info: Pass record: PATH (no tracking errors read).";
        QTest::newRow("ends at Transit ended; RMS and peak while tracking")
            << "T:9:9 b S:7:7 T:3:1 T:-4:-2 Q Q" << QList<int>{4}
            << "Info: Pass record: PATH (RMS 3.5\", 1.6\").";
        QTest::newRow("ends when stopped") << "b E V P T:1:1 E T:5:5" << QList<int>{5}
                                           << "Info: Pass record: PATH (RMS 1.0\", 1.0\").";
        QTest::newRow("a new slew ends the pass") << "b T:2:2 b T:1:1 x" << QList<int>{1, 1}
                                                  << "Info: Pass record: PATH (RMS 1.0\", 1.0\").";
        QTest::newRow("the link ends it; no errors read")
            << "b S T x T" << QList<int>{2} << noErrors;
        QTest::newRow("no slew, no record") << "T:1:1 Q x" << QList<int>{} << "";
        QTest::newRow("a pass without end")
            << "b fill T:1:1 x" << QList<int>{int(PassRecorder::kMaxSamples), 1}
            << "Info: Pass record: PATH (RMS 1.0\", 1.0\").";
    }

    void passRecord() {
        QFETCH(QString, events);
        QFETCH(QList<int>, samples);
        QFETCH(QString, logged);
        QTemporaryDir dir;
        const QDir folder(dir.filePath("passes"));
        const TimeScales scales;
        int ticks = 0;
        PassRecorder recorder(scales, folder.path(), [&ticks](long number) {
            return SatelliteFix{2461119.5 + ticks++ / 86400.0, number == 900 ? 45.0 : NAN, 180.0};
        });
        rig->record(&recorder);
        recorder.follow(900, 1.5);
        for (const QString& event : events.split(' ')) {
            const QStringList f = event.split(':');
            if (event == "b")
                recorder.beginPass();
            else if (event == "x")
                recorder.endPass();
            else if (event == "fill")
                for (std::size_t i = 0; i < PassRecorder::kMaxSamples; ++i)
                    recorder.addReading('T', 1.0, -1.0);
            else
                recorder.addReading(f[0].at(0).toLatin1(), f.value(1, "nan").toDouble(),
                                    f.value(2, "nan").toDouble());
        }
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        QCOMPARE(files.size(), samples.size());
        const QRegularExpression line(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,[EPQSTV],"
            "(-?\\d+\\.\\d{3},-?\\d+\\.\\d{3}|,),45\\.000000,180\\.000000,"
            "1\\.500$");
        for (int i = 0; i < files.size(); ++i) {
            QVERIFY2(QRegularExpression("^\\d{8}-\\d{6}-900\\.csv$").match(files[i]).hasMatch(),
                     qPrintable(files[i]));
            QFile file(folder.filePath(files[i]));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromLatin1(file.readAll()).split('\n');
            QCOMPARE(lines.size(), samples[i] + 2); // the header, the samples, the last line end
            QCOMPARE(lines[0], QString("utc,status,first_axis_error_arcsec,second_axis_error_"
                                       "arcsec,altitude_deg,azimuth_deg,time_offset_s"));
            for (const QString& sample : lines.mid(1, samples[i]))
                QVERIFY2(line.match(sample).hasMatch(), qPrintable(sample));
        }
        const QString path =
            files.isEmpty() ? "" : QDir::toNativeSeparators(folder.filePath(files.last()));
        QCOMPARE(rig->log.value(rig->log.size() - 1), logged.replace("PATH", path));
    }

private:
    // A catalogue entry as far as the chain reads it: the name it logs and the three lines.
    static CatalogueEntry entry(const char* name, const char* nameLine, const QByteArray& line1,
                                const QByteArray& line2) {
        CatalogueEntry satellite;
        std::strncpy(satellite.displayName, name, sizeof satellite.displayName - 1);
        satellite.nameLine = nameLine;
        satellite.line1 = line1.toStdString();
        satellite.line2 = line2.toStdString();
        return satellite;
    }

    // Queues a command whose reply lands in `replies`.
    void queue(const QByteArray& command) {
        rig->link.queueCommand(command, ReplyKind::HashTerminated,
                               [this](const QByteArray& reply) { replies << reply; });
    }

    // One poll answered with the state and, unless null, the errors.
    void answerPoll(const QByteArray& state, const QByteArray& errors) {
        const QByteArray before = rig->mount.afterHandshake();
        poll->poll();
        STEP(expectThenAnswer(before + ":TLESCK#", state));
        if (!errors.isNull())
            STEP(expectThenAnswer(before + ":TLESCK#:GaE#", errors));
        QTRY_VERIFY(rig->link.isIdle());
    }

    // Waits until the mount has this after the handshake, then answers.
    void expectThenAnswer(const QByteArray& sent, const QByteArray& reply) {
        QTRY_COMPARE(rig->mount.afterHandshake(), sent);
        rig->mount.send(reply + '#');
    }

    std::unique_ptr<LinkRig> rig;
    QList<QByteArray> replies;
    std::unique_ptr<TransitChain> chain;
    std::unique_ptr<TrackingStatusPoll> poll;
    double jd = 0.0;
    QStringList statusLines;
};

QTEST_GUILESS_MAIN(TestMountLink)
#include "tst_mount_link.moc"
