// The judge of the soak test on hand-made stand-in logs: it must pass the link's rules and
// catch each way of breaking them. A log or the user's commands are written as their lines
// joined by '|'; among the commands, ":STOP#@N" is a Stop given at once on connection N, and
// "timeout@N" says that the window ended connection N at its reply limit.
#include "tests/soak/command_log_check.h"

#include <QtTest>

const QByteArray kOpening = "# connected 127.0.0.1:4000|:U2#|:GVN#|";
const QByteArray kReplies =
    "#> 2.15.14#|:Gt#|#> +47*30:00.0#|:Gg#|#> -008*30:00.0#|:Gev#|#> +0450.0#|";
const QByteArray kHandshake = kOpening + kReplies;
const QByteArray kUpload = ":TLEL0SAT$0a1 ...$0a2 ...$0a#";
const QByteArray kChain = kUpload + "|#> V#|:TLEP2461119.50000000,10#|#> 1,2,30.0#|:TLES#|#> V#|";
const QByteArray kPoll = ":TLESCK#|#> E#|:GaE#|#> 0,0,0,\"E,0\",0#|";
const QByteArray kClock =
    ":GC#|#> 12/07/26#|:GL#|#> 10:00:00.00#|:GG#|#> -01.0#|:GC#|#> 12/07/26#|";

class TestCommandLogCheck : public QObject {
    Q_OBJECT

private slots:
    void judges_data();
    void judges();
};

void TestCommandLogCheck::judges_data() {
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QByteArray>("queued");
    // "unsound", or whether the queue drained and how many commands were written again.
    QTest::addColumn<QString>("verdict");
    const auto row = [](const char* name, const QByteArray& log, const QByteArray& queued,
                        const char* verdict) {
        QTest::newRow(name) << log << queued << QString(verdict);
    };
    const auto unsound = [&row](const char* name, const QByteArray& log,
                                const QByteArray& queued = {}) {
        row(name, log, queued, "unsound");
    };

    row("motion, a poll and a chain", kHandshake + ":STOP#|:KA#|" + kPoll + kChain + kPoll,
        ":STOP#|:KA#|" + kUpload, "drained, 0 again");
    row("upload in flight written again",
        kHandshake + kUpload +
            "|# dropping the connection at command 6|# connected 127.0.0.1:4001|:U2#|#> X|"
            "# dropping the connection at command 1|" +
            kHandshake + kChain,
        kUpload, "drained, 1 again");
    row("in flight twice over",
        kHandshake + ":TLESCK#|" + kHandshake + ":TLESCK#|" + kHandshake + kPoll, {},
        "drained, 2 again");
    row("refused firmware writes nothing more", kOpening + "#> X2.15.14#", {}, "drained, 0 again");
    row("stray text spoils the upload's V", kHandshake + "#> X|" + kUpload + "|#> V#", kUpload,
        "drained, 0 again");
    // The stand-in writes bytes outside printable ASCII and the backslash escaped.
    row("escaped replies", kHandshake + ":TLESCK#|#> \\\\x23\\x0d\\x0aT|#> \\x23|:GaE#|#> 1#", {},
        "drained, 0 again");
    row("still to come: a queued command", kHandshake + ":STOP#", ":STOP#|:KA#",
        "pending, 0 again");
    row("still to come: the pass request", kHandshake + kUpload + "|#> V#", kUpload,
        "pending, 0 again");
    row("Stops at once within the handshake and a transaction, one queued before",
        kOpening + ":STOP#|" + kReplies + ":STOP#|:TLESCK#|:STOP#|#> E#|:KA#|:GaE#|#> 0#",
        ":STOP#|:STOP#@1|:STOP#@1|:KA#", "drained, 0 again");
    row("Stop at once lost with its connection",
        kHandshake + ":TLESCK#|" + kHandshake + ":TLESCK#|#> E#|:GaE#|#> 0#", ":STOP#@1",
        "drained, 1 again");
    row("reply after the window's limit unread",
        kHandshake + ":TLESCK#|#> E#|# disconnected|" + kHandshake + ":TLESCK#|#> E#|:GaE#|#> 0#",
        "timeout@1", "drained, 1 again");
    // The reply the window gave up on shows in the log before a Stop given while it waited;
    // the Stop queued before that one is written after the next handshake.
    row("Stop at once behind a reply read too late, one queued before",
        kHandshake + ":TLESCK#|" + kHandshake + ":TLESCK#|#> E#|:STOP#|" + kHandshake +
            ":TLESCK#|#> E#|:STOP#|:GaE#|#> 0#",
        ":STOP#|:STOP#@2|timeout@1|timeout@2", "drained, 2 again");
    row("clock rounds", kHandshake + kClock + kPoll + kClock, {}, "drained, 0 again");
    row("clock round dropped with its connection",
        kHandshake + ":GC#|#> 12/07/26#|:GL#|" + kHandshake + kClock, {}, "drained, 0 again");
    row("still to come: clock reads", kHandshake + ":GC#|#> 12/07/26#|:GL#|#> 10:00:00#", {},
        "pending, 0 again");
    row("still to come: a Stop at once", kHandshake + ":TLESCK#", ":STOP#@1", "pending, 0 again");

    unsound("written before the handshake", kOpening + ":STOP#|#> 2.15.14#", ":STOP#");
    unsound("handshake step before its turn", kOpening + ":Gt#|#> 2.15.14#");
    unsound("in flight lost", kHandshake + kUpload + "|" + kHandshake + ":STOP#",
            kUpload + "|:STOP#");
    unsound("user command repeated", kHandshake + ":STOP#|:STOP#", ":STOP#");
    unsound("user commands out of order", kHandshake + ":KA#|:STOP#", ":STOP#|:KA#");
    unsound("answered command written again", kHandshake + ":TLESCK#|#> E#|:GaE#|#> 0,0,0,0,0#|" +
                                                  kHandshake + ":GaE#|#> 0,0,0,0,0#");
    unsound("poll between chain steps", kHandshake + kUpload + "|#> V#|:TLESCK#|#> E#", kUpload);
    unsound("two commands on the wire", kHandshake + ":TLESCK#|:GaE#|#> E#");
    unsound("pass request after a rejected upload",
            kHandshake + kUpload + "|#> E#|:TLEP2461119.50000000,10#|#> E#", kUpload);
    unsound("error request without a status reply", kHandshake + ":GaE#|#> 0,0,0,0,0#");
    unsound("poll between the clock reads",
            kHandshake + ":GC#|#> 12/07/26#|:TLESCK#|#> E#|:GaE#|#> 0#");
    unsound("clock read between chain steps", kHandshake + kUpload + "|#> V#|" + kClock, kUpload);
    unsound("clock round resumed after a break",
            kHandshake + ":GC#|#> 12/07/26#|:GL#|" + kHandshake +
                ":GL#|#> 10:00:00#|:GG#|#> +00#|" + ":GC#|#> 12/07/26#");
    unsound("clock read out of its round", kHandshake + ":GL#|#> 10:00:00#");
    unsound("a command the window does not send", kHandshake + ":GR#|#> 10:00:00#");
    unsound("a reply before any command", kHandshake + "#> \\x0d\\x0aE#");
    unsound("Stop at once missing", kHandshake + ":KA#", ":STOP#@1|:KA#");
    unsound("Stop at once twice", kHandshake + ":TLESCK#|:STOP#|:STOP#|#> E#", ":STOP#@1");
    unsound("queued command written while a reply read too late was awaited",
            kHandshake + ":TLESCK#|#> E#|:KA#|" + kHandshake + ":TLESCK#|#> E#|:GaE#|#> 0#",
            ":KA#|timeout@1");
    unsound("Stop at once on a later connection", kHandshake + ":TLESCK#|" + kHandshake + ":STOP#",
            ":STOP#@1");
}

void TestCommandLogCheck::judges() {
    QFETCH(QByteArray, log);
    QFETCH(QByteArray, queued);
    QFETCH(QString, verdict);
    QList<soak::UserCommand> commands;
    QList<int> timedOut;
    for (const QByteArray& entry : queued.isEmpty() ? QList<QByteArray>() : queued.split('|')) {
        const QList<QByteArray> parts = entry.split('@');
        if (parts[0] == "timeout")
            timedOut << parts[1].toInt();
        else
            commands << soak::UserCommand{parts[0], parts.value(1).toInt()};
    }
    const soak::LogCheck r =
        soak::checkCommandLog(QByteArray(log).replace('|', '\n'), commands, timedOut);
    const QString found = !r.violations.isEmpty() ? QStringLiteral("unsound")
                                                  : QStringLiteral("%1, %2 again")
                                                        .arg(r.drained() ? "drained" : "pending")
                                                        .arg(r.repetitions);
    QVERIFY2(found == verdict, qPrintable(found + '\n' + r.violations.join('\n')));
}

QTEST_GUILESS_MAIN(TestCommandLogCheck)
#include "tst_command_log_check.moc"
