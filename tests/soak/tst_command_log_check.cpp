// The judge of the soak test on hand-made stand-in logs: it must pass the link's rules and
// catch each way of breaking them.
#include "tests/soak/command_log_check.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<QByteArray>)

namespace {

const QList<QByteArray> kHandshake = {"# connected 127.0.0.1:4000",
                                      ":U2#",
                                      ":GVN#",
                                      "#> 2.15.14#",
                                      ":Gt#",
                                      "#> +47*30:00.0#",
                                      ":Gg#",
                                      "#> -008*30:00.0#",
                                      ":Gev#",
                                      "#> +0450.0#"};

QList<QByteArray> connection(const QList<QByteArray>& rest) {
    return kHandshake + rest;
}

} // namespace

class TestCommandLogCheck : public QObject {
    Q_OBJECT

private slots:
    void judges_data();
    void judges();
    void escapedLines();
};

void TestCommandLogCheck::judges_data() {
    QTest::addColumn<QList<QByteArray>>("log");
    QTest::addColumn<QList<QByteArray>>("queued");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("drained");
    QTest::addColumn<int>("repetitions");

    const QByteArray upload = ":TLEL0SAT$0a1 ...$0a2 ...$0a#";
    const QList<QByteArray> chain = {upload,         "#> V#",  ":TLEP2461119.50000000,10#",
                                     "#> 1,2,30.0#", ":TLES#", "#> V#"};
    const QList<QByteArray> poll = {":TLESCK#", "#> E#", ":GaE#", "#> 0,0,0,\"E,0\",0#"};
    const QList<QByteArray> none;
    const QList<QByteArray> stop = {":STOP#"};

    QTest::newRow("motion, a poll and a chain")
        << connection(QList<QByteArray>{":STOP#", ":KA#"} + poll + chain + poll)
        << QList<QByteArray>{":STOP#", ":KA#", upload} << true << true << 0;
    QTest::newRow("upload in flight written again")
        << connection({upload, "# dropping the connection at command 6"}) +
               QList<QByteArray>{"# connected 127.0.0.1:4001", ":U2#", "#> X",
                                 "# dropping the connection at command 1"} +
               connection(chain)
        << QList<QByteArray>{upload} << true << true << 1;
    QTest::newRow("in flight twice over")
        << connection({":TLESCK#"}) + connection({":TLESCK#"}) + connection(poll) << none << true
        << true << 2;
    QTest::newRow("refused firmware writes nothing more")
        << QList<QByteArray>{"# connected 127.0.0.1:4000", ":U2#", ":GVN#", "#> X2.15.14#"} << none
        << true << true << 0;
    QTest::newRow("stray text spoils the upload's V")
        << connection({"#> X", upload, "#> V#"}) << QList<QByteArray>{upload} << true << true << 0;
    QTest::newRow("still to come: a queued command")
        << connection(stop) << QList<QByteArray>{":STOP#", ":KA#"} << true << false << 0;
    QTest::newRow("still to come: the pass request")
        << connection({upload, "#> V#"}) << QList<QByteArray>{upload} << true << false << 0;

    QTest::newRow("written before the handshake")
        << QList<QByteArray>{"# connected 127.0.0.1:4000", ":U2#", ":GVN#", ":STOP#", "#> 2.15.14#"}
        << stop << false << true << 0;
    QTest::newRow("handshake step before its turn")
        << QList<QByteArray>{"# connected 127.0.0.1:4000", ":U2#", ":GVN#", ":Gt#", "#> 2.15.14#"}
        << none << false << true << 0;
    QTest::newRow("in flight lost") << connection({upload}) + connection(stop)
                                    << QList<QByteArray>{upload, ":STOP#"} << false << false << 0;
    QTest::newRow("user command repeated")
        << connection({":STOP#", ":STOP#"}) << stop << false << false << 0;
    QTest::newRow("user commands out of order")
        << connection({":KA#", ":STOP#"}) << QList<QByteArray>{":STOP#", ":KA#"} << false << true
        << 0;
    QTest::newRow("answered command written again")
        << connection({":TLESCK#", "#> E#", ":GaE#", "#> 0,0,0,0,0#"}) +
               connection({":GaE#", "#> 0,0,0,0,0#"})
        << none << false << false << 0;
    QTest::newRow("poll between chain steps") << connection({upload, "#> V#", ":TLESCK#", "#> E#"})
                                              << QList<QByteArray>{upload} << false << false << 0;
    QTest::newRow("two commands on the wire")
        << connection({":TLESCK#", ":GaE#", "#> E#"}) << none << false << false << 0;
    QTest::newRow("pass request after a rejected upload")
        << connection({upload, "#> E#", ":TLEP2461119.50000000,10#", "#> E#"})
        << QList<QByteArray>{upload} << false << true << 0;
    QTest::newRow("error request without a status reply")
        << connection({":GaE#", "#> 0,0,0,0,0#"}) << none << false << true << 0;
}

void TestCommandLogCheck::judges() {
    QFETCH(QList<QByteArray>, log);
    QFETCH(QList<QByteArray>, queued);
    QFETCH(bool, sound);
    QFETCH(bool, drained);
    QFETCH(int, repetitions);
    const soak::LogCheck r = soak::checkCommandLog(log, queued);
    QVERIFY2(r.violations.isEmpty() == sound, qPrintable(r.violations.join('\n')));
    if (sound) {
        QCOMPARE(r.drained(queued.size()), drained);
        QCOMPARE(r.repetitions, repetitions);
    }
}

// The stand-in writes bytes outside printable ASCII and the backslash escaped.
void TestCommandLogCheck::escapedLines() {
    QCOMPARE(soak::unescapeLogText("a\\\\b\\x0d\\x0a\\x7fz"), QByteArray("a\\b\r\n\x7fz"));
    const QList<QByteArray> log =
        connection({"#> \\x0d\\x0aE#", ":TLESCK#", "#> \\x0d\\x0a", "#> T#", ":GaE#", "#> 1#"});
    const soak::LogCheck r = soak::checkCommandLog(log, {});
    QVERIFY2(r.violations.size() == 1, qPrintable(r.violations.join('\n'))); // the early reply
}

QTEST_GUILESS_MAIN(TestCommandLogCheck)
#include "tst_command_log_check.moc"
