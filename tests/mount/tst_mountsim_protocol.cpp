#include "tools/mountsim/command_splitter.h"
#include "tools/mountsim/simulated_mount.h"

#include <QRandomGenerator>
#include <QtTest>

// The stand-in's protocol side, without sockets: how it cuts the client's stream into
// commands and what it answers.
class TestMountSimProtocol : public QObject {
    Q_OBJECT

private slots:
    void splitsCommands_data();
    void splitsCommands();
    void splitsAcrossFeeds();
    void discardsOverlongCommand();
    void formatsAngles_data();
    void formatsAngles();
    void formatsElevation_data();
    void formatsElevation();
    void answersHandshakeAndMotion();
    void leavesUnknownUnanswered_data();
    void leavesUnknownUnanswered();
    void mutesCommands();
    void survivesRandomInput();
};

void TestMountSimProtocol::splitsCommands_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("commands");

    QTest::newRow("handshake opener")
        << QByteArray("#:U2#:GVN#") << QList<QByteArray>{":U2#", ":GVN#"};
    QTest::newRow("noise between")
        << QByteArray("\r\n:Gt#xx:Gg#") << QList<QByteArray>{":Gt#", ":Gg#"};
    QTest::newRow("colon inside kept")
        << QByteArray(":TLEL0A:B#") << QList<QByteArray>{":TLEL0A:B#"};
    QTest::newRow("unfinished waits") << QByteArray(":STOP#:KA") << QList<QByteArray>{":STOP#"};
    QTest::newRow("hashes alone") << QByteArray("###") << QList<QByteArray>{};
}

void TestMountSimProtocol::splitsCommands() {
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, commands);
    CommandSplitter splitter;
    QCOMPARE(splitter.feed(stream), commands);
}

void TestMountSimProtocol::splitsAcrossFeeds() {
    CommandSplitter splitter;
    const QByteArray stream = "#:U2#:GVN#:Gt#:Gg#:Gev#:STOP#";
    QList<QByteArray> commands;
    for (const char c : stream)
        commands += splitter.feed(QByteArray(1, c));
    QCOMPARE(commands, (QList<QByteArray>{":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#", ":STOP#"}));
    QCOMPARE(splitter.feed(":KA"), QList<QByteArray>{});
    splitter.reset();
    QCOMPARE(splitter.feed("#:PO#"), QList<QByteArray>{":PO#"});
}

void TestMountSimProtocol::discardsOverlongCommand() {
    CommandSplitter splitter;
    QByteArray flood(":");
    flood += QByteArray(CommandSplitter::maxCommandLength + 10, 'x');
    QCOMPARE(splitter.feed(flood), QList<QByteArray>{});
    // The rest of the overlong command up to its '#' goes too; the next command is whole.
    QCOMPARE(splitter.feed("yyy#:Gt#"), QList<QByteArray>{":Gt#"});
}

void TestMountSimProtocol::formatsAngles_data() {
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QByteArray>("latitude");
    QTest::addColumn<QByteArray>("longitude");

    QTest::newRow("positive") << 48.504222222 << QByteArray("+48*30:15.2")
                              << QByteArray("+048*30:15.2");
    QTest::newRow("negative") << -11.583333333 << QByteArray("-11*35:00.0")
                              << QByteArray("-011*35:00.0");
    QTest::newRow("half degree south")
        << -0.5 << QByteArray("-00*30:00.0") << QByteArray("-000*30:00.0");
    QTest::newRow("zero has plus")
        << -0.000001 << QByteArray("+00*00:00.0") << QByteArray("+000*00:00.0");
    QTest::newRow("seconds carry")
        << 10.999999 << QByteArray("+11*00:00.0") << QByteArray("+011*00:00.0");
    QTest::newRow("far west") << 179.99 << QByteArray("+179*59:24.0") << QByteArray("+179*59:24.0");
}

void TestMountSimProtocol::formatsAngles() {
    QFETCH(double, degrees);
    QFETCH(QByteArray, latitude);
    QFETCH(QByteArray, longitude);
    QCOMPARE(formatLatitude(degrees), latitude);
    QCOMPARE(formatLongitude(degrees), longitude);
}

void TestMountSimProtocol::formatsElevation_data() {
    QTest::addColumn<double>("metres");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("typical") << 450.0 << QByteArray("+0450.0");
    QTest::newRow("fraction") << 1234.56 << QByteArray("+1234.6");
    QTest::newRow("below sea") << -12.5 << QByteArray("-0012.5");
    QTest::newRow("zero") << 0.0 << QByteArray("+0000.0");
    QTest::newRow("wide") << 12345.0 << QByteArray("+12345.0");
}

void TestMountSimProtocol::formatsElevation() {
    QFETCH(double, metres);
    QFETCH(QByteArray, text);
    QCOMPARE(formatElevation(metres), text);
}

void TestMountSimProtocol::answersHandshakeAndMotion() {
    SimulatedMount::Config config;
    config.firmware = "2.15.9";
    config.site = SimulatedSite{-33.5, 151.25, 58.0};
    SimulatedMount mount(config);

    QCOMPARE(mount.answer(":U2#"), std::nullopt);
    QVERIFY(mount.highPrecision());
    QCOMPARE(mount.answer(":GVN#"), std::optional<QByteArray>("2.15.9#"));
    QCOMPARE(mount.answer(":Gt#"), std::optional<QByteArray>("-33*30:00.0#"));
    // East 151.25 is west -151.25 on the wire.
    QCOMPARE(mount.answer(":Gg#"), std::optional<QByteArray>("-151*15:00.0#"));
    QCOMPARE(mount.answer(":Gev#"), std::optional<QByteArray>("+0058.0#"));

    QVERIFY(!mount.isParked());
    QCOMPARE(mount.answer(":KA#"), std::nullopt);
    QVERIFY(mount.isParked());
    QCOMPARE(mount.answer(":STOP#"), std::nullopt);
    QCOMPARE(mount.satellites().state(0.0), 'E');
    QCOMPARE(mount.answer(":PO#"), std::nullopt);
    QVERIFY(!mount.isParked());
}

void TestMountSimProtocol::leavesUnknownUnanswered_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("unknown") << QByteArray(":XYZ#");
    QTest::newRow("known prefix, longer") << QByteArray(":GVNX#");
    QTest::newRow("no colon") << QByteArray("GVN#");
    QTest::newRow("no hash") << QByteArray(":GVN");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("bare") << QByteArray(":#");
}

void TestMountSimProtocol::leavesUnknownUnanswered() {
    QFETCH(QByteArray, command);
    SimulatedMount mount({});
    QCOMPARE(mount.answer(command), std::nullopt);
}

void TestMountSimProtocol::mutesCommands() {
    SimulatedMount::Config config;
    config.muted = {SimulatedMount::normaliseCommandName("Gt#"),
                    SimulatedMount::normaliseCommandName(" :KA# ")};
    QCOMPARE(config.muted, (QList<QByteArray>{":Gt#", ":KA#"}));
    SimulatedMount mount(config);
    QCOMPARE(mount.answer(":Gt#"), std::nullopt);
    QVERIFY(mount.answer(":Gg#").has_value());
    // Muted, but still obeyed.
    QCOMPARE(mount.answer(":KA#"), std::nullopt);
    QVERIFY(mount.isParked());

    SimulatedMount::Config byPrefix;
    byPrefix.muted = {SimulatedMount::normaliseCommandName("G")};
    SimulatedMount quiet(byPrefix);
    QCOMPARE(quiet.answer(":GVN#"), std::nullopt);
    QCOMPARE(quiet.answer(":Gev#"), std::nullopt);
}

// Whatever a client sends, the stand-in only ever answers with one '#'-terminated reply
// per command and never more than it was asked.
void TestMountSimProtocol::survivesRandomInput() {
    QRandomGenerator random(31337);
    SimulatedMount mount({});
    CommandSplitter splitter;
    const char alphabet[] = ":#GVNtgevSTOPKAU2\r\n\x00\xff";
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(random.bounded(40), Qt::Uninitialized);
        for (char& c : bytes)
            c = alphabet[random.bounded(int(sizeof alphabet - 1))];
        for (const QByteArray& command : splitter.feed(bytes)) {
            QVERIFY(command.startsWith(':') && command.endsWith('#'));
            QCOMPARE(command.count('#'), 1);
            const std::optional<QByteArray> reply = mount.answer(command);
            if (reply) {
                QVERIFY(reply->endsWith('#'));
                QCOMPARE(reply->count('#'), 1);
            }
        }
    }
}

QTEST_APPLESS_MAIN(TestMountSimProtocol)
#include "tst_mountsim_protocol.moc"
