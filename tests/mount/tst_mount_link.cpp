// The mount link's queue and replies, byte by byte against a mount that the test plays over
// loopback TCP: replies in pieces, stray and flooding bytes, Stop and Park in the queue, the
// command in flight after a reconnection, the reply time limit and the receive bound.
#include "mount/reply_cutter.h"
#include "tests/common/link_test.h"

#include <QSignalSpy>

static const QString ignored = logLine(LogLevel::Warning, "Ignored unexpected data from mount.");

class TestMountLink : public QObject, LinkTest {
    Q_OBJECT

private slots:
    void init() { QVERIFY(openRig()); }
    void cleanup() { closeRig(); }

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
        STEP(expectThenAnswer(":TLES#", "V#"));
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLES#:TLESCK#"));
        QCOMPARE(replies, QList<QByteArray>{"V"});
        rig->mount.send("T#");
        QTRY_COMPARE(replies, (QList<QByteArray>{"V", "T"}));
        QVERIFY(rig->link.isIdle());
        QCOMPARE(rig->log.count(ignored), 1);
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
            STEP(expectThenAnswer(":TLES#", "V"));
        }
        QTRY_COMPARE(replies, QList<QByteArray>{"V"});
        QCOMPARE(rig->mount.afterHandshake(), QByteArray(stop ? ":TLES#:STOP#" : ":TLES#"));
        QCOMPARE(rig->log.mid(4), stop ? QStringList() : QStringList{ignored});
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
        STEP(expectThenAnswer(":TLESCK#", "T"));
        QTRY_COMPARE(replies, QList<QByteArray>{"T"});
        QCOMPARE(rig->log.mid(4), QStringList{ignored});
        QCOMPARE(rig->link.state(), LinkState::Connected);
    }

    // Bytes that answer nothing are dropped, with one warning per connection, whether they come
    // behind a reply or while nothing is awaited: a stray reply shifts no later reply.
    void unexpectedBytesAreDropped() {
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
            STEP(expectThenAnswer(":TLES#", "V#??"));
            QTRY_COMPARE(replies, QList<QByteArray>{"V"});
            queue(":TLESCK#");
            STEP(expectThenAnswer(":TLES#:TLESCK#", "T"));
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

    // The mount hanging up is a connection error; the command in flight is written again.
    void inFlightHeadIsWrittenAgainAfterReconnection() {
        STEP(rig->connect());
        queue(":TLESCK#");
        rig->link.park();
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLESCK#"));
        const int row = rig->log.size();
        rig->mount.hangUp();
        QTRY_COMPARE(rig->log.mid(row), (QStringList{connectionError, disconnected}));
        QCOMPARE(rig->link.state(), LinkState::Disconnected);
        QVERIFY(!rig->link.isReady());
        QCOMPARE(rig->link.queuedCommands(), 2);

        STEP(rig->connect());
        STEP(expectThenAnswer(":TLESCK#", "T"));
        QTRY_COMPARE(rig->mount.afterHandshake(), QByteArray(":TLESCK#:KA#"));
        QCOMPARE(replies, QList<QByteArray>{"T"});
        QVERIFY(rig->link.isIdle());
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
        STEP(expectThenAnswer(command, "1"));
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
};

QTEST_GUILESS_MAIN(TestMountLink)
#include "tst_mount_link.moc"
