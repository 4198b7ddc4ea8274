// The stand-in's random misbehaviour (--chaos SEED) that the soak test relies on: the same seed
// gives the same plans, and a connection is never broken while only commands without an answer
// may be under way.
#include "tests/common/mountsim_process.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestMountSimChaos : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }
    void cleanup();
    void sameSeedSamePlans();
    void neverBreaksWhileNothingIsAwaited();
    void badSeedIsRefused();

private:
    quint16 startSim(const QStringList& options, const QString& log);
    QList<QByteArray> logLines(const QString& log, const QByteArray& prefix) const;
    QList<QByteArray> plans(quint32 seed, const QString& log);

    QTemporaryDir scratch;
    MountSimProcess sim;
};

void TestMountSimChaos::cleanup() {
    sim.stop();
}

quint16 TestMountSimChaos::startSim(const QStringList& options, const QString& log) {
    return sim.start(options, scratch.filePath(log));
}

QList<QByteArray> TestMountSimChaos::logLines(const QString& log, const QByteArray& prefix) const {
    QFile file(scratch.filePath(log));
    QList<QByteArray> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            lines << line;
    }
    return lines;
}

// The plans of eight connections in a row.
QList<QByteArray> TestMountSimChaos::plans(quint32 seed, const QString& log) {
    const quint16 port = startSim({"--chaos", QString::number(seed)}, log);
    if (port == 0)
        return {};
    for (int i = 1; i <= 8; ++i) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        if (!client.waitForConnected(5000) ||
            !QTest::qWaitFor([&] { return logLines(log, "# plan").size() == i; }, 5000))
            return {};
    }
    cleanup();
    return logLines(log, "# plan");
}

void TestMountSimChaos::sameSeedSamePlans() {
    const QList<QByteArray> first = plans(20260319, "first.log");
    QCOMPARE(first.size(), 8);
    QCOMPARE(plans(20260319, "again.log"), first);
    QVERIFY(plans(20260320, "other.log") != first);
}

// Hundreds of motion commands, which get no answer, on each of ten connections: none is broken.
// The first command awaited afterwards, past every plan's drop count, ends each of them.
void TestMountSimChaos::neverBreaksWhileNothingIsAwaited() {
    const quint16 port = startSim({"--chaos", "99"}, "motion.log");
    QVERIFY(port != 0);
    QByteArray motion;
    for (int i = 0; i < 100; ++i)
        motion += ":STOP#:KA#:PO#";
    for (int i = 1; i <= 10; ++i) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(5000));
        client.write(motion);
        QTRY_COMPARE(logLines("motion.log", ":").size(), 301 * (i - 1) + 300);
        QVERIFY(logLines("motion.log", "# dropping").size() == i - 1);
        QCOMPARE(client.state(), QAbstractSocket::ConnectedState);
        client.write(":GVN#");
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, 5000);
        QCOMPARE(logLines("motion.log", "# dropping").size(), i);
    }
}

void TestMountSimChaos::badSeedIsRefused() {
    QProcess process;
    process.start(QStringLiteral(ORBITRAK_MOUNTSIM), {"--chaos", "random"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("--chaos"));
}

QTEST_GUILESS_MAIN(TestMountSimChaos)
#include "tst_mountsim_chaos.moc"
