#include "mount/firmware_version.h"
#include "mount/reply_cutter.h"
#include "mount/reply_fields.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ReplyKind)

// The pieces of the link that need no socket: field splitting, the sexagesimal reader, the
// firmware gate and the cutting of the received stream into replies.
class TestReplyParsers : public QObject {
    Q_OBJECT

private slots:
    void splitsFields_data();
    void splitsFields();
    void readsSexagesimal_data();
    void readsSexagesimal();
    void parsesFirmwareVersion_data();
    void parsesFirmwareVersion();
    void comparesFirmwareVersions_data();
    void comparesFirmwareVersions();
    void cutsReplies_data();
    void cutsReplies();
    void boundsTheBuffer();
    void cuttingConservesBytes();
};

void TestReplyParsers::splitsFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separators");
    QTest::addColumn<bool>("quoting");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("version") << "2.15.14"
                             << "." << false << QStringList{"2", "15", "14"};
    QTest::newRow("empty text gives no field") << ""
                                               << "." << false << QStringList{};
    QTest::newRow("separator alone gives two empty") << "."
                                                     << "." << false << QStringList{"", ""};
    QTest::newRow("empty fields kept") << "2..14."
                                       << "." << false << QStringList{"2", "", "14", ""};
    QTest::newRow("stops at line feed") << "2.15\n.14"
                                        << "." << false << QStringList{"2", "15"};
    QTest::newRow("stops at carriage return") << "\r2.15"
                                              << "." << false << QStringList{""};
    QTest::newRow("quote is ordinary without quoting")
        << "a\"b,c\""
        << "," << false << QStringList{"a\"b", "c\""};
    QTest::newRow("quoted separator") << "1,\"a,b\",3"
                                      << "," << true << QStringList{"1", "a,b", "3"};
    QTest::newRow("quotes dropped mid-field") << "x\"y\"z,w"
                                              << "," << true << QStringList{"xyz", "w"};
    QTest::newRow("unclosed quote runs to the end") << "1,\"2,3"
                                                    << "," << true << QStringList{"1", "2,3"};
    QTest::newRow("axis error reply")
        << "T,0,+0.0012,V,-0.0034,extra"
        << "," << true << QStringList{"T", "0", "+0.0012", "V", "-0.0034", "extra"};
    QTest::newRow("several separators") << "a.b,c"
                                        << ".," << false << QStringList{"a", "b", "c"};
}

void TestReplyParsers::splitsFields() {
    QFETCH(QString, text);
    QFETCH(QString, separators);
    QFETCH(bool, quoting);
    QFETCH(QStringList, fields);
    QCOMPARE(splitFields(text, separators, quoting), fields);
}

void TestReplyParsers::readsSexagesimal_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("valid");

    QTest::newRow("latitude") << QByteArray("+48*30:15.2") << 48.0 + 30.0 / 60 + 15.2 / 3600
                              << true;
    QTest::newRow("negative longitude") << QByteArray("-011*35:00") << -(11.0 + 35.0 / 60) << true;
    QTest::newRow("sign before first digit only") << QByteArray("-00*30:00") << -0.5 << true;
    QTest::newRow("plain decimal") << QByteArray("+00450.3") << 450.3 << true;
    QTest::newRow("elevation") << QByteArray("1234.5") << 1234.5 << true;
    QTest::newRow("zero") << QByteArray("0") << 0.0 << true;
    QTest::newRow("no number") << QByteArray("abc") << 0.0 << false;
    QTest::newRow("empty") << QByteArray() << 0.0 << false;
    QTest::newRow("last sign wins before digits") << QByteArray("-+5") << 5.0 << true;
    QTest::newRow("minus after digits separates") << QByteArray("-10-30") << -10.5 << true;
    QTest::newRow("second point ends number") << QByteArray("1.5.9:30") << 1.5 + 0.5 << true;
    QTest::newRow("point alone counts as zero") << QByteArray(".:30") << 0.5 << true;
    QTest::newRow("fourth field in 216000ths") << QByteArray("0:0:0:216000") << 1.0 << true;
    QTest::newRow("any separator") << QByteArray("12 30 00") << 12.5 << true;
    QTest::newRow("exponent letter is a separator") << QByteArray("1e5") << 1.0 + 5.0 / 60 << true;
    QTest::newRow("overlong digit run is refused") << QByteArray(400, '9') << 0.0 << false;
}

void TestReplyParsers::readsSexagesimal() {
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QFETCH(bool, valid);
    const SexagesimalValue result = parseSexagesimal(text);
    QCOMPARE(result.valid, valid);
    QVERIFY2(std::fabs(result.value - value) < 1e-12,
             qPrintable(QString::number(result.value, 'g', 17)));
}

void TestReplyParsers::parsesFirmwareVersion_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<uint>("major");
    QTest::addColumn<uint>("minor");
    QTest::addColumn<uint>("patch");

    QTest::newRow("full") << QByteArray("2.15.14") << 2u << 15u << 14u;
    QTest::newRow("major only") << QByteArray("3") << 3u << 0u << 0u;
    QTest::newRow("empty") << QByteArray() << 0u << 0u << 0u;
    QTest::newRow("two fields") << QByteArray("2.16") << 2u << 16u << 0u;
    QTest::newRow("extra fields ignored") << QByteArray("2.15.14.7") << 2u << 15u << 14u;
    QTest::newRow("leading blanks") << QByteArray(" 2. 15.\t1") << 2u << 15u << 1u;
    QTest::newRow("trailing text") << QByteArray("2.15.14beta") << 2u << 15u << 14u;
    QTest::newRow("text gives zero") << QByteArray("v2.15.14") << 0u << 15u << 14u;
    QTest::newRow("stops at line end") << QByteArray("2.15\r\n.14") << 2u << 15u << 0u;
    QTest::newRow("saturates") << QByteArray("99999999999999999999.4294967295.4294967296")
                               << 4294967295u << 4294967295u << 4294967295u;
}

void TestReplyParsers::parsesFirmwareVersion() {
    QFETCH(QByteArray, reply);
    QFETCH(uint, major);
    QFETCH(uint, minor);
    QFETCH(uint, patch);
    const FirmwareVersion version = FirmwareVersion::fromReply(reply);
    QCOMPARE(version.major, major);
    QCOMPARE(version.minor, minor);
    QCOMPARE(version.patch, patch);
}

void TestReplyParsers::comparesFirmwareVersions_data() {
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<bool>("lower");

    QTest::newRow("numeric, not textual") << QByteArray("2.15.9") << QByteArray("2.15.14") << true;
    QTest::newRow("equal") << QByteArray("2.15.14") << QByteArray("2.15.14") << false;
    QTest::newRow("minor beats patch") << QByteArray("2.16") << QByteArray("2.15.14") << false;
    QTest::newRow("major beats all") << QByteArray("1.99.99") << QByteArray("2.15.1") << true;
    QTest::newRow("missing patch is zero") << QByteArray("2.15") << QByteArray("2.15.1") << true;
    QTest::newRow("empty is lowest") << QByteArray() << QByteArray("0.0.1") << true;
}

void TestReplyParsers::comparesFirmwareVersions() {
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(bool, lower);
    const FirmwareVersion a = FirmwareVersion::fromReply(left);
    const FirmwareVersion b = FirmwareVersion::fromReply(right);
    QCOMPARE(a < b, lower);
    QCOMPARE(a.isAtLeast(b), !lower);
    if (lower)
        QVERIFY(!(b < a));
}

void TestReplyParsers::cutsReplies_data() {
    QTest::addColumn<QByteArray>("buffered");
    QTest::addColumn<ReplyKind>("expected");
    QTest::addColumn<QByteArray>("arrived");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("left");

    const ReplyKind hash = ReplyKind::HashTerminated;
    const ReplyKind none = ReplyKind::None;
    QTest::newRow("whole reply") << QByteArray() << hash << QByteArray("2.15.14#") << true
                                 << QByteArray("2.15.14") << QByteArray();
    QTest::newRow("first half waits") << QByteArray() << hash << QByteArray("2.15") << false
                                      << QByteArray() << QByteArray("2.15");
    QTest::newRow("second half completes") << QByteArray("2.15") << hash << QByteArray(".14#")
                                           << true << QByteArray("2.15.14") << QByteArray();
    QTest::newRow("hash alone is empty reply")
        << QByteArray() << hash << QByteArray("#") << true << QByteArray() << QByteArray();
    QTest::newRow("one reply per arrival") << QByteArray() << hash << QByteArray("A#B#") << true
                                           << QByteArray("A") << QByteArray("B#");
    QTest::newRow("nothing awaited keeps bytes")
        << QByteArray() << none << QByteArray("X#") << false << QByteArray() << QByteArray("X#");
    QTest::newRow("stray joins next reply")
        << QByteArray("X") << hash << QByteArray("V#") << true << QByteArray("XV") << QByteArray();
    QTest::newRow("buffered reply cut on empty arrival")
        << QByteArray("N#") << hash << QByteArray() << true << QByteArray("N") << QByteArray();
}

void TestReplyParsers::cutsReplies() {
    QFETCH(QByteArray, buffered);
    QFETCH(ReplyKind, expected);
    QFETCH(QByteArray, arrived);
    QFETCH(bool, cut);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, left);

    QByteArray buffer = buffered;
    ReplyKind kind = expected;
    const ReplyCut result = cutReply(buffer, kind, arrived);
    QCOMPARE(result.outcome, cut ? ReplyCut::Reply : ReplyCut::Waiting);
    QCOMPARE(result.reply, reply);
    QCOMPARE(buffer, left);
    QCOMPARE(kind, cut ? ReplyKind::None : expected);
}

void TestReplyParsers::boundsTheBuffer() {
    QByteArray buffer(maxReceiveBuffer - 1, 'x');
    ReplyKind kind = ReplyKind::HashTerminated;
    ReplyCut result = cutReply(buffer, kind, "#");
    QCOMPARE(result.outcome, ReplyCut::Reply);
    QCOMPARE(result.reply.size(), maxReceiveBuffer - 1);

    buffer = QByteArray(maxReceiveBuffer, 'x');
    kind = ReplyKind::HashTerminated;
    result = cutReply(buffer, kind, "#");
    QCOMPARE(result.outcome, ReplyCut::Overflow);
    QVERIFY(buffer.isEmpty());

    // Also while nothing is awaited: stray bytes are what an unasked flood consists of.
    buffer.clear();
    kind = ReplyKind::None;
    QCOMPARE(cutReply(buffer, kind, QByteArray(maxReceiveBuffer, 'y')).outcome, ReplyCut::Waiting);
    QCOMPARE(cutReply(buffer, kind, "y").outcome, ReplyCut::Overflow);
    QVERIFY(buffer.isEmpty());
}

// Random arrivals: every byte ends up in exactly one place (a reply, a consumed '#', the
// buffer), replies never hold a '#', and the buffer never exceeds its bound.
void TestReplyParsers::cuttingConservesBytes() {
    QRandomGenerator random(20240517);
    const char alphabet[] = "#:V.0123456789+-*";
    for (int round = 0; round < 200; ++round) {
        QByteArray buffer;
        QByteArray replies;
        qint64 fed = 0;
        qint64 consumed = 0;
        ReplyKind kind = ReplyKind::None;
        for (int step = 0; step < 50; ++step) {
            if (random.bounded(3) == 0)
                kind = ReplyKind::HashTerminated;
            QByteArray arrived(random.bounded(12), Qt::Uninitialized);
            for (char& c : arrived)
                c = alphabet[random.bounded(int(sizeof alphabet - 1))];
            const int before = buffer.size();
            const ReplyCut cut = cutReply(buffer, kind, arrived);
            QVERIFY(cut.outcome != ReplyCut::Overflow);
            QVERIFY(!cut.reply.contains('#'));
            fed += arrived.size();
            if (cut.outcome == ReplyCut::Reply) {
                QCOMPARE(kind, ReplyKind::None);
                consumed += cut.reply.size() + 1;
                QCOMPARE(before + arrived.size() - cut.reply.size() - 1, buffer.size());
            }
            QCOMPARE(qint64(buffer.size()) + consumed, fed);
            QVERIFY(buffer.size() <= maxReceiveBuffer);
        }
    }
}

QTEST_APPLESS_MAIN(TestReplyParsers)
#include "tst_reply_parsers.moc"
