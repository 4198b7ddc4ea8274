#include "tests/common/scripted_mount.h"
#include "tracking/status_poll.h"
#include "tracking/transit_chain.h"
#include "tracking/upload_text.h"

#include <memory>

static const QByteArray line1 =
    "1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  9991\n";
static const QByteArray line2 =
    "2 00900  90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057\n";
// The two element lines and the closing '#' as the upload carries them.
static const QByteArray escapedLines =
    "1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  9991$0a2 00900  "
    "90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057$0a#";
static const QByteArray upload = ":TLEL0CALSPHERE 1$0a" + escapedLines;

// The transit chain and the status poll over the mount link, byte by byte against a mount the
// test plays over loopback TCP.
class TestTracking : public QObject {
    Q_OBJECT

private slots:
    void init() {
        rig = std::make_unique<LinkRig>();
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
        QCOMPARE(uploadCommand(name, "1\n", "2\n"), command);
        const std::optional<QByteArray> back = unescapeUploadText(command.mid(6).chopped(1));
        QCOMPARE(back.value_or("<refused>"), (name + "1\n2\n").toUtf8());
    }

    void passCommandHasEightDecimals() {
        QCOMPARE(passCommand(2461015.5), QByteArray(":TLEP2461015.50000000,10#"));
        QCOMPARE(passCommand(2461381.123456789), QByteArray(":TLEP2461381.12345679,10#"));
    }

    void chainReplies_data() {
        QTest::addColumn<QByteArray>("uploadReply");
        QTest::addColumn<QByteArray>("passReply"); // null: the pass is not asked for
        QTest::addColumn<QByteArray>("slewReply"); // null: the slew is not asked for
        QTest::addColumn<QString>("line");         // empty: nothing logged

        const QByteArray pass = "2461015.512345,2461015.534567,45.0";
        const QByteArray none;
        const QString noPass = logLine(LogLevel::Warning, "TLE has no passes now.");
        const QString invalid = logLine(LogLevel::Error, "TLE has invalid format.");
        const QString toStart = logLine(LogLevel::Success, "Slewing to start of transit.");
        const QString toSatellite = logLine(LogLevel::Success, "Slewing to transiting TLE.");
        QTest::newRow("slew V") << QByteArray("V") << pass << QByteArray("V") << toStart;
        QTest::newRow("slew S") << QByteArray("V") << pass << QByteArray("S") << toSatellite;
        QTest::newRow("slew E") << QByteArray("V") << pass << QByteArray("E") << noPass;
        QTest::newRow("slew F") << QByteArray("V") << pass << QByteArray("F")
                                << logLine(LogLevel::Warning,
                                           "Slew failed, mount is parked or blocked.");
        QTest::newRow("slew Q") << QByteArray("V") << pass << QByteArray("Q")
                                << logLine(LogLevel::Warning, "Transit already ended.");
        QTest::newRow("first character decides")
            << QByteArray("Vx") << pass << QByteArray("Sxyz") << toSatellite;
        QTest::newRow("slew T logs nothing")
            << QByteArray("V") << pass << QByteArray("T") << QString();
        QTest::newRow("empty slew logs nothing")
            << QByteArray("V") << pass << QByteArray("") << QString();
        QTest::newRow("pass E") << QByteArray("V") << QByteArray("E") << none << noPass;
        QTest::newRow("pass N") << QByteArray("V") << QByteArray("N") << none << noPass;
        QTest::newRow("pass EN is pass data")
            << QByteArray("V") << QByteArray("EN") << QByteArray("V") << toStart;
        QTest::newRow("empty pass is pass data")
            << QByteArray("V") << QByteArray("") << QByteArray("S") << toSatellite;
        QTest::newRow("upload E") << QByteArray("E") << none << none << invalid;
        QTest::newRow("upload empty") << QByteArray("") << none << none << invalid;
        QTest::newRow("upload lower-case v") << QByteArray("v") << none << none << invalid;
    }

    // Each reply decides the next step. A Stop queued at the end must follow the chain's last
    // command directly: nothing else is left queued.
    void chainReplies() {
        QFETCH(QByteArray, uploadReply);
        QFETCH(QByteArray, passReply);
        QFETCH(QByteArray, slewReply);
        QFETCH(QString, line);

        STEP(rig->connect());
        const int row = rig->log.size();
        jd = 1.0;
        chain->start("CALSPHERE 1", "CALSPHERE 1\n", QString::fromLatin1(line1),
                     QString::fromLatin1(line2));
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

    void statusPoll_data() {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QByteArray>("errors"); // null: not asked for
        QTest::addColumn<QString>("line");      // the status line after the poll
        QTest::addColumn<QString>("logged");

        const QByteArray current = "2.15.14";
        const QString zero = "  errors: 0.00\", 0.00\"";
        const QByteArray zeros = "1,2,0,4,0";
        QTest::newRow("E") << current << QByteArray("E") << zeros
                           << "No transit tracking requested" + zero << QString();
        QTest::newRow("P") << current << QByteArray("P") << zeros << "Waiting for transit" + zero
                           << QString();
        QTest::newRow("Q") << current << QByteArray("Q") << zeros << "Transit ended" + zero
                           << QString();
        QTest::newRow("S") << current << QByteArray("S") << zeros
                           << "Slewing to catch satellite" + zero << QString();
        QTest::newRow("V") << current << QByteArray("V") << zeros
                           << "Slewing to start of transit" + zero << QString();
        QTest::newRow("T with errors")
            << current << QByteArray("T") << QByteArray("0,0,0.0025,0,-0.001")
            << "Tracking satellite  errors: 9.00\", -3.60\"" << QString();
        QTest::newRow("four fields keep the line")
            << current << QByteArray("S") << QByteArray("1,2,0.5,4") << "Tracking satellite" + zero
            << logLine(LogLevel::Error, "Couldn't get axis tracking errors.");
        QTest::newRow("empty field 2") << current << QByteArray("P") << QByteArray("1,2,,4,0.001")
                                       << "Waiting for transit" << QString();
        QTest::newRow("quoted field with a comma")
            << current << QByteArray("T") << QByteArray("1,\"a,b\",0.001,x,0.002")
            << "Tracking satellite  errors: 3.60\", 7.20\"" << QString();
        QTest::newRow("unknown code keeps the state")
            << current << QByteArray("X") << zeros << "Tracking satellite" + zero << QString();
        QTest::newRow("empty code keeps the state")
            << current << QByteArray("") << zeros << "Tracking satellite" + zero << QString();
        QTest::newRow("2.15.13: the state alone")
            << QByteArray("2.15.13") << QByteArray("P") << QByteArray() << "Waiting for transit"
            << QString();
        QTest::newRow("2.15.13: unknown code") << QByteArray("2.15.13") << QByteArray("X")
                                               << QByteArray() << "Tracking satellite" << QString();
    }

    // A first poll of T, then the row's; a Stop queued after it follows at once.
    void statusPoll() {
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, state);
        QFETCH(QByteArray, errors);
        QFETCH(QString, line);
        QFETCH(QString, logged);

        const bool withErrors = !errors.isNull();
        STEP(rig->connect(firmware));
        const int row = rig->log.size();
        STEP(answerPoll("T", withErrors ? QByteArray("0,0,0,0,0") : QByteArray()));
        QCOMPARE(statusLines.size(), 1);
        STEP(answerPoll(state, errors));
        QCOMPARE(statusLines.size(), logged.isEmpty() ? 2 : 1);
        QCOMPARE(statusLines.last(), line);
        QCOMPARE(rig->log.mid(row), logged.isEmpty() ? QStringList() : QStringList{logged});

        const QByteArray poll = withErrors ? ":TLESCK#:GaE#" : ":TLESCK#";
        rig->link.stop();
        QTRY_COMPARE(rig->mount.afterHandshake(), poll + poll + ":STOP#");
    }

private:
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
    std::unique_ptr<TransitChain> chain;
    std::unique_ptr<TrackingStatusPoll> poll;
    double jd = 0.0;
    QStringList statusLines;
};

QTEST_GUILESS_MAIN(TestTracking)
#include "tst_tracking.moc"
