// The two clocks: this computer's against a time server played by the test (a known offset,
// forged and faulty replies, a kiss-o'-death, no answer) and unreachable, the mount's against the
// stand-in run with a clock offset and against a scripted mount (the day turning between the reads,
// unreadable replies), and both in the window's status bar.
#include "app/main_window.h"
#include "app/settings.h"
#include "astro/time_scales.h"
#include "clocks/mount_clock_check.h"
#include "clocks/sntp_clock_check.h"
#include "tests/common/mountsim_process.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"
#include "tracking/transit_chain.h"

#include <QCheckBox>
#include <QLabel>
#include <QNetworkDatagram>
#include <QSettings>
#include <QUdpSocket>

#include <ctime>
#include <functional>

// This computer's clock in the NTP form, big-endian.
static QByteArray ntpBytes(double unixSeconds) {
    const double ntp = unixSeconds + 2208988800.0;
    const quint64 value = (quint64(ntp) << 32) + quint64((ntp - std::floor(ntp)) * 4294967296.0);
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[i] = char(value >> (56 - 8 * i));
    return bytes;
}

// A sound answer of a stratum-2 server whose clock is `serverAhead` s ahead of this computer's.
static QByteArray serverReply(const QByteArray& query, double serverAhead) {
    QByteArray reply(48, '\0');
    reply[0] = char((4 << 3) | 4);
    reply[1] = 2;
    reply.replace(24, 8, query.mid(40, 8));
    const QByteArray now = ntpBytes(systemUtcSeconds() + serverAhead);
    reply.replace(32, 8, now);
    reply.replace(40, 8, now);
    return reply;
}

// A time server on a loopback port of its own: it answers each query with what `reply` makes of
// it, or not at all when that is empty.
struct TimeServer {
    QUdpSocket socket;
    int queries = 0;
    std::function<QByteArray(const QByteArray& query)> reply;

    TimeServer() {
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram query = socket.receiveDatagram();
                ++queries;
                const QByteArray answer = reply ? reply(query.data()) : QByteArray();
                if (!answer.isEmpty())
                    socket.writeDatagram(answer, query.senderAddress(), query.senderPort());
            }
        });
    }
    QString address() const { return "127.0.0.1:" + QString::number(socket.localPort()); }
};

// Silence waits a minute, or a few tenths of a second. A case that waits for an answer gives it
// a minute: a loaded machine may hold the reply longer than the short limit.
static const SntpClockCheck::Timing kShortSntp{300, 3600000, 60000};
static const SntpClockCheck::Timing kShorterSntp{300, 3600000, 150};
static const SntpClockCheck::Timing kPatientSntp{60000, 3600000, 150};
static QString noAnswer(const char* minutes = "1", const char* host = "127.0.0.1") {
    return logLine(LogLevel::Info, QStringLiteral("The time server %1 did not answer within 0.3 s: "
                                                  "this computer's clock is checked again in %2 "
                                                  "min.")
                                       .arg(host, minutes));
}
// A check of this computer's clock, its clock `ahead` s of the system's, and what it logs and
// measures.
struct SntpRig {
    SntpClockCheck check;
    QStringList log;
    QSignalSpy measured{&check, &SntpClockCheck::offsetMeasured};

    SntpRig(const SntpClockCheck::Timing& timing, double ahead = 0.0)
        : check([ahead] { return systemUtcSeconds() + ahead; }) {
        check.setTiming(timing);
        QObject::connect(
            &check, &SntpClockCheck::logEvent,
            [this](const QString& text, LogLevel level) { log << logLine(level, text); });
    }
};

// 2026-12-07 00:00:00.100 UTC, the true time of the scripted mount's rounds.
static const double kMidnight = 1796601600.1;

class TestClocks : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        // The stand-in keeps this zone's time: a UTC offset in minutes.
        qputenv("TZ", "<+0545>-5:45");
        tzset();
    }

    void sntpReplies_data() {
        QTest::addColumn<double>("computerAhead"); // of the server, in seconds
        QTest::addColumn<int>("at");               // where the reply is changed
        QTest::addColumn<QByteArray>("bytes");     // ... to these; a negative `at` cuts it there
        QTest::addColumn<QString>("logged");       // %1: the offset measured; empty: none
        const QString off = logLine(LogLevel::Warning, "This computer's clock is off by %1 s: "
                                                       "every position is off by that much time.");
        const QByteArray zeros(10, '\0');
        QTest::newRow("ahead") << 0.734 << 0 << QByteArray() << off;
        QTest::newRow("behind") << -0.75 << 0 << QByteArray() << off;
        QTest::newRow("within a tenth") << 0.02 << 0 << QByteArray() << QString();
        QTest::newRow("forged originate") << 1.0 << 24 << QByteArray(8, '\1') << noAnswer();
        QTest::newRow("client mode") << 1.0 << 0 << QByteArray(1, (4 << 3) | 3) << noAnswer();
        QTest::newRow("version 2") << 1.0 << 0 << QByteArray(1, (2 << 3) | 4) << noAnswer();
        QTest::newRow("unsynchronised") << 1.0 << 0 << QByteArray(1, char(0xe4)) << noAnswer();
        QTest::newRow("stratum 16") << 1.0 << 1 << QByteArray(1, 16) << noAnswer();
        QTest::newRow("no transmit time") << 1.0 << 40 << QByteArray(8, '\0') << noAnswer();
        QTest::newRow("47 bytes") << 1.0 << -47 << QByteArray() << noAnswer();
        const QString notUsed = "Info: The time server 127.0.0.1 %1: the reply is not used, and "
                                "this computer's clock is checked again in 0.0025 min.";
        QTest::newRow("sent before received")
            << 1.0 << 32 << ntpBytes(systemUtcSeconds() + 1000)
            << notUsed.arg("says it sent its reply before it received the query");
        QTest::newRow("negative round trip")
            << 1.0 << 32 << ntpBytes(systemUtcSeconds() - 1000)
            << notUsed.arg("took longer to answer than the query and reply took together");
        QTest::newRow("other kiss code") << 1.0 << 1 << '\0' + zeros + "INIT" << noAnswer();
        QTest::newRow("kiss RATE")
            << 1.0 << 1 << '\0' + zeros + "RATE"
            << logLine(LogLevel::Warning, "The time server 127.0.0.1 asked not to be asked "
                                          "again (RATE): this computer's clock is not checked "
                                          "until the next start.");
    }

    void sntpReplies() {
        QFETCH(double, computerAhead);
        QFETCH(int, at);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, logged);
        TimeServer server;
        server.reply = [&](const QByteArray& query) {
            QByteArray reply = serverReply(query, 0.0);
            return at < 0 ? reply.left(-at) : reply.replace(at, bytes.size(), bytes);
        };
        SntpRig rig(logged == noAnswer() ? kShortSntp : kPatientSntp, computerAhead);
        auto& [check, log, measured] = rig;
        check.start(server.address());
        const bool sound = bytes.isEmpty() && at == 0;
        if (sound) {
            QVERIFY(measured.wait());
            const double within = *check.uncertainty() + 0.001;
            QVERIFY2(qAbs(*check.offset() - computerAhead) <= within,
                     qPrintable(QString::number(*check.offset())));
            QCOMPARE(measured.at(0).at(0).toDouble(), *check.offset());
            QVERIFY(qAbs(check.trueUtc() - systemUtcSeconds()) <= within);
            if ((qAbs(*check.offset()) > 0.1) != (qAbs(computerAhead) > 0.1))
                QSKIP("The round trip took too long here to tell the threshold.");
            if (!logged.isEmpty())
                logged = logged.arg(QString::asprintf("%+.3f", *check.offset()));
        }
        QTRY_COMPARE(log, logged.isEmpty() ? QStringList() : QStringList{logged});
        QCOMPARE(measured.count(), int(sound));
        // A kiss-o'-death ends the queries; anything else asks again in time.
        const QList<QTimer*> timers = check.findChildren<QTimer*>();
        const bool asksAgain =
            std::any_of(timers.begin(), timers.end(), [](QTimer* t) { return t->isActive(); });
        QCOMPARE(asksAgain, !logged.contains("RATE"));
        QCOMPARE(server.queries, 1);
    }

    // The server's times are read in the era nearest this computer's clock. An offset above a
    // second is used only when a second query, soon after, agrees within a tenth; it is then
    // warned of.
    void sntpLargeOffsets_data() {
        QTest::addColumn<double>("now");          // this computer's clock, Unix; 0: today's
        QTest::addColumn<QList<double>>("ahead"); // of the server, at each reply
        QTest::addColumn<QStringList>("logged");  // N: an offset
        QTest::addColumn<double>("used");         // NaN: none
        const double eraTurn = 2085978496.0;      // 2036-02-07T06:28:16Z
        const QString off = "Warning: This computer's clock is off by N s: every position is off "
                            "by that much time.";
        const QString confirm = "Info: The time server 127.0.0.1 says this computer's clock is "
                                "off by N s; asking again to confirm.";
        QTest::newRow("era 0, near its end")
            << eraTurn - 30 << QList<double>{0.5} << QStringList{off} << 0.5;
        QTest::newRow("era 1, 2040")
            << 2208988800.0 << QList<double>{-0.5} << QStringList{off} << -0.5;
        QTest::newRow("across the eras' turn")
            << eraTurn - 2 << QList<double>{-5, -5} << QStringList{confirm, off} << -5.0;
        QTest::newRow("5 s once") << 0.0 << QList<double>{5} << QStringList{confirm} << qQNaN();
        QTest::newRow("5 s twice")
            << 0.0 << QList<double>{5, 5} << QStringList{confirm, off} << 5.0;
        QTest::newRow("5 s, then 5.5 s")
            << 0.0 << QList<double>{5, 5.5}
            << QStringList{confirm, "Info: The time server 127.0.0.1 said this computer's clock "
                                    "is off by N s, then N s: neither is used, and the clock is "
                                    "checked again in 60 min."}
            << qQNaN();
    }

    void sntpLargeOffsets() {
        QFETCH(double, now);
        QFETCH(QList<double>, ahead);
        QFETCH(QStringList, logged);
        QFETCH(double, used);
        const double shift = now == 0.0 ? 0.0 : now - systemUtcSeconds();
        TimeServer server;
        server.reply = [&](const QByteArray& query) {
            return serverReply(query, shift - ahead.value(server.queries - 1));
        };
        // A single reply is not confirmed within the test; nothing is asked after a failure.
        SntpRig rig({60000, 3600000, 3600000, ahead.size() > 1 ? 20 : 3600000}, shift);
        auto& [check, log, measured] = rig;
        check.start(server.address());
        QTRY_COMPARE_WITH_TIMEOUT(log.size(), logged.size(), 30000);
        for (int i = 0; i < log.size(); ++i) {
            const QString pattern =
                QRegularExpression::escape(logged[i]).replace("N", "[+-]\\d+\\.\\d{3}");
            QVERIFY2(QRegularExpression("^" + pattern + "$").match(log[i]).hasMatch(),
                     qPrintable(log[i]));
        }
        QCOMPARE(server.queries, ahead.size());
        QCOMPARE(measured.count(), int(!qIsNaN(used)));
        QCOMPARE(check.offset().has_value(), !qIsNaN(used));
        if (!qIsNaN(used))
            QVERIFY2(qAbs(*check.offset() - used) <= *check.uncertainty() + 0.05,
                     qPrintable(QString::number(*check.offset())));
        else
            QVERIFY(qAbs(check.trueUtc() - systemUtcSeconds() - shift) < 1); // uncorrected
    }

    // Silence is logged once, and asked again after the pause until an answer comes. The server
    // by name this time.
    void sntpAsksAgainAfterSilence() {
        TimeServer server;
        SntpRig rig(kShorterSntp);
        auto& [check, log, measured] = rig;
        check.start("localhost:" + QString::number(server.socket.localPort()));
        QTRY_VERIFY_WITH_TIMEOUT(server.queries >= 3, 30000);
        QCOMPARE(log, QStringList{noAnswer("0.0025", "localhost")});
        check.setTiming(kPatientSntp);
        server.reply = [](const QByteArray& query) {
            return serverReply(query, -0.01);
        };
        QVERIFY(measured.wait(30000));
        QCOMPARE(log, QStringList{noAnswer("0.0025", "localhost")});
        QVERIFY(qAbs(*check.offset() - 0.01) <= *check.uncertainty() + 0.001);
    }

    // A server that cannot be reached is said at once, long before the limit, and not as silence:
    // the limit stops and only the query after the pause is due.
    void sntpUnreachable_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("reason"); // a pattern
        QUdpSocket probe;                    // for a port nobody listens on
        QVERIFY(probe.bind(QHostAddress(QHostAddress::LocalHost), 0));
        const QString port = QString::number(probe.localPort());
        probe.close();
        QTest::newRow("name not found") << "time.orbitrak.invalid"
                                        << "[^()]+";
        QTest::newRow("port refused")
            << "127.0.0.1:" + port << "the query to port " + port + " was refused";
    }

    void sntpUnreachable() {
        QFETCH(QString, server);
        QFETCH(QString, reason);
        SntpRig rig({90000, 3600000, 120000});
        auto& [check, log, measured] = rig;
        check.start(server);
        QTRY_COMPARE_WITH_TIMEOUT(log.size(), 1, 45000);
        const QString line =
            logLine(LogLevel::Info, "The time server " + server.section(':', 0, 0) +
                                        " could not be reached (%1): this "
                                        "computer's clock is checked again in "
                                        "2 min.");
        const QStringList parts = line.split("%1");
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(parts[0]) + reason + QRegularExpression::escape(parts[1])));
        QVERIFY2(pattern.match(log[0]).hasMatch(), qPrintable(log[0]));
        QList<int> due;
        for (const QTimer* timer : check.findChildren<QTimer*>())
            if (timer->isActive())
                due << timer->interval();
        QCOMPARE(due, QList<int>{120000});
    }

    void standInClock_data() {
        QTest::addColumn<double>("offset");
        QTest::addColumn<QString>("logged"); // %1: the error measured; empty: none
        QTest::newRow("behind") << -1.5
                                << "The mount's clock is %1 s behind UTC: it will trail the "
                                   "satellite by that much.";
        QTest::newRow("ahead") << 2.25
                               << "The mount's clock is %1 s ahead of UTC: it will lead the "
                                  "satellite by that much.";
        QTest::newRow("right") << 0.0 << QString();
    }

    // The stand-in's clock with its offset, in a zone of 5:45 h, read after the handshake and
    // again after the (shortened) interval.
    void standInClock() {
        QFETCH(double, offset);
        QFETCH(QString, logged);
        MountSimProcess sim;
        const QString simLog = scratch.filePath("clock.log");
        const quint16 port = sim.start({"--clock-offset", QString::number(offset)}, simLog);
        QVERIFY(port != 0);
        MountLink link(port);
        MountClockCheck check(link, systemUtcSeconds);
        check.setTiming({300, 20});
        QStringList log;
        connect(&check, &MountClockCheck::logEvent,
                [&log](const QString& text, LogLevel level) { log << logLine(level, text); });
        QSignalSpy measured(&check, &MountClockCheck::mountClockMeasured);
        check.start();
        link.open(QStringLiteral("127.0.0.1"));
        QVERIFY(measured.wait(20000));
        const double error = measured.at(0).at(0).toDouble();
        // The stand-in shows hundredths, cut.
        const double within = *check.uncertainty() + 0.011;
        QVERIFY2(qAbs(error - offset) <= within, qPrintable(QString::number(error)));
        QCOMPARE(*check.error(), error);
        if ((qAbs(error) > 0.1) != (qAbs(offset) > 0.1))
            QSKIP("The exchange took too long here to tell the threshold.");
        const QString shown = QString::number(qAbs(error), 'f', 2);
        QCOMPARE(log, logged.isEmpty()
                          ? QStringList()
                          : QStringList{logLine(LogLevel::Warning, logged.arg(shown))});
        QTRY_VERIFY(measured.count() >= 2);
        const QStringList round{":GC#", ":GL#", ":GG#", ":GC#"};
        QCOMPARE(mountSimLog(simLog, ":").mid(5, 8), round + round);
    }

    void scriptedRounds_data() {
        QTest::addColumn<QByteArray>("replies"); // to rounds of :GC# :GL# :GG# :GC#, '|' apart
        QTest::addColumn<double>("error");       // NaN: none measured
        QTest::addColumn<QString>("logged");     // %1: the error measured; empty: none
        const QString ahead = logLine(LogLevel::Warning, "The mount's clock is %1 s ahead of "
                                                         "UTC: it will lead the satellite by "
                                                         "that much.");
        const auto unreadable = [](const char* reply) {
            return logLine(LogLevel::Warning,
                           QStringLiteral("Unreadable time from mount: '%1'.").arg(reply));
        };
        QTest::newRow("the day turns between the reads")
            << QByteArray("12/06/26|00:00:00.20|+00|12/07/26|12/07/26|00:00:00.40|+00.0|12/07/26")
            << 0.3 << ahead;
        QTest::newRow("behind, in a zone west of UTC")
            << QByteArray("12/06/26|18:14:59|+05:45|12/06/26") << -1.1
            << logLine(LogLevel::Warning, "The mount's clock is %1 s behind UTC: it will trail "
                                          "the satellite by that much.");
        QTest::newRow("within a tenth")
            << QByteArray("12/07/26|01:00:00.05|-01:00:00.0|12/07/26") << -0.05 << QString();
        QTest::newRow("unreadable time")
            << QByteArray("12/07/26|25:00:00|+00|12/07/26") << qQNaN() << unreadable("25:00:00");
        QTest::newRow("offset without its sign")
            << QByteArray("12/07/26|00:00:00|5|12/07/26") << qQNaN() << unreadable("5");
        QTest::newRow("the first unreadable one named")
            << QByteArray("7.12.2026||+00|12/07/26") << qQNaN() << unreadable("7.12.2026");
    }

    // Against a true clock standing at kMidnight. After the round the link goes on.
    void scriptedRounds() {
        QFETCH(QByteArray, replies);
        QFETCH(double, error);
        QFETCH(QString, logged);
        LinkRig rig;
        MountClockCheck check(rig.link, [] { return kMidnight; });
        check.setTiming({600000, 20});
        rig.record(&check);
        QSignalSpy measured(&check, &MountClockCheck::mountClockMeasured);
        check.start();
        STEP(rig.connect());
        const int row = rig.log.size();
        const QByteArray round[] = {":GC#", ":GL#", ":GG#", ":GC#"};
        QByteArray sent;
        const QList<QByteArray> answers = replies.split('|');
        for (int i = 0; i < answers.size(); ++i) {
            sent += round[i % 4];
            QTRY_COMPARE(rig.mount.afterHandshake(), sent);
            rig.mount.send(answers[i] + '#');
        }
        QTRY_VERIFY(!measured.isEmpty() || rig.log.size() > row || logged.isEmpty());
        QTRY_COMPARE(measured.count(), int(!qIsNaN(error)));
        // Less the half of the exchange, which the scripted mount takes polling.
        const double got = measured.isEmpty() ? qQNaN() : measured.at(0).at(0).toDouble();
        QVERIFY2(qIsNaN(error) || qAbs(got - error - *check.uncertainty()) < 1e-6,
                 qPrintable(QString::number(got)));
        if (!qIsNaN(error) && (qAbs(got) > 0.1) != (qAbs(error) > 0.1))
            QSKIP("The exchange took too long here to tell the threshold.");
        if (!measured.isEmpty() && !logged.isEmpty())
            logged = logged.arg(QString::number(qAbs(got), 'f', 2));
        QTRY_COMPARE(rig.log.mid(row), logged.isEmpty() ? QStringList() : QStringList{logged});
        rig.link.park();
        QTRY_COMPARE(rig.mount.afterHandshake(), sent + ":KA#");
    }

    // A mount that lets ":GC#" time out: the link fails, the read is not written again on the
    // next connection and the user's command queued meanwhile goes first; no read follows.
    void mountWithoutTimeCommands() {
        LinkRig rig;
        rig.link.setReplyTimeout(300);
        MountClockCheck check(rig.link, systemUtcSeconds);
        check.setTiming({50, 20});
        rig.record(&check);
        check.start();
        STEP(rig.connect());
        QTRY_COMPARE(rig.mount.afterHandshake(), QByteArray(":GC#"));
        QTRY_VERIFY(rig.log.contains(
            logLine(LogLevel::Warning, "The connection failed while the mount's clock was read: "
                                       "it is not read again, in case this mount does not "
                                       "answer the time commands.")));
        rig.link.park();
        STEP(rig.connect());
        QTRY_COMPARE(rig.mount.afterHandshake(), QByteArray(":KA#"));
        rig.link.unpark();
        QTRY_COMPARE(rig.mount.afterHandshake(), QByteArray(":KA#:PO#"));
        QVERIFY(rig.link.isIdle());
    }

    // The window, with this computer half a second ahead of the time server and the stand-in
    // 1.24 s behind this computer: 0.74 s behind true UTC.
    void windowShowsBothClocks() {
        TimeServer server;
        server.reply = [](const QByteArray& query) {
            return serverReply(query, -0.5);
        };
        MountSimProcess sim;
        const quint16 port = sim.start({"--clock-offset", "-1.24"}, scratch.filePath("window.log"));
        QVERIFY(port != 0);
        QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak"))
            .setValue(QStringLiteral("ntp_server"), server.address());
        QVERIFY(writeMountIp(QStringLiteral("127.0.0.1")));
        const TimeScales scales;
        MainWindow window(scales, port);
        auto* computer = window.findChild<QLabel*>(QStringLiteral("computerClockLabel"));
        auto* mount = window.findChild<QLabel*>(QStringLiteral("mountClockLabel"));
        QCOMPARE(computer->text(), QString());
        window.startClockChecks();
        const auto shows = [](const QLabel* label, const char* pattern) {
            return QRegularExpression(pattern).match(label->text()).hasMatch();
        };
        // The values are checked above; here their form and sign.
        QTRY_VERIFY2(shows(computer, "^Clock \\+\\d\\.\\d{3} s$"), qPrintable(computer->text()));
        auto* box = window.findChild<QCheckBox*>(QStringLiteral("connectMountCheckBox"));
        box->click();
        QTRY_VERIFY_WITH_TIMEOUT(shows(mount, "^Mount clock -\\d\\.\\d\\d s$"), 20000);
        const QStringList log = windowLog(&window);
        for (const char* warning : {"This computer's clock is off by \\+0\\.\\d{3} s: ",
                                    "The mount's clock is \\d\\.\\d\\d s behind UTC: "})
            QCOMPARE(log.filter(QRegularExpression(QString("^Warning: ") + warning)).size(), 1);
        // The upload corrects for it, until the next connection.
        auto* chain = window.findChild<TransitChain*>();
        QCOMPARE(chain->totalOffset(0.0), *window.findChild<MountClockCheck*>()->error());
        box->click();
        box->click();
        QCOMPARE(chain->totalOffset(0.0), 0.0);
    }
};

ORBITRAK_WINDOW_TEST_MAIN(TestClocks)
#include "tst_clocks.moc"
