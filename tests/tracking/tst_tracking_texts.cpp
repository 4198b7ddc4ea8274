#include "tracking/tracking_status.h"
#include "tracking/upload_text.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(AxisErrorReading::Outcome)

// The window-free parts of tracking: the upload text and its escapes, the pass command, the
// tracking-state table, and the reading of the axis errors into the status line.
class TestTrackingTexts : public QObject {
    Q_OBJECT

private slots:
    void escapesUploadText_data();
    void escapesUploadText();
    void uploadCommandIsUtf8();
    void unescapes_data();
    void unescapes();
    void escapingRoundTrips();
    void passCommand_data();
    void passCommand();
    void statusCodes_data();
    void statusCodes();
    void readsAxisErrors_data();
    void readsAxisErrors();
    void formatsStatusLine_data();
    void formatsStatusLine();
};

void TestTrackingTexts::escapesUploadText_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QString>("line2");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("plain lines") << "ISS\n"
                                 << "1 A\n"
                                 << "2 B\n"
                                 << QByteArray(":TLEL0ISS$0a1 A$0a2 B$0a#");
    QTest::newRow("last line without line feed") << "N\n"
                                                 << "1\n"
                                                 << "2" << QByteArray(":TLEL0N$0a1$0a2#");
    QTest::newRow("comma") << "A,B\n"
                           << "1\n"
                           << "2\n"
                           << QByteArray(":TLEL0A$2CB$0a1$0a2$0a#");
    QTest::newRow("hash") << "#1\n"
                          << "1\n"
                          << "2\n"
                          << QByteArray(":TLEL0$231$0a1$0a2$0a#");
    QTest::newRow("dollar") << "US$\n"
                            << "1\n"
                            << "2\n"
                            << QByteArray(":TLEL0US$$$0a1$0a2$0a#");
    // Only the dollar sign is doubled; the text 0a after it stays as it is.
    QTest::newRow("dollar before 0a") << "X$0a\n"
                                      << "1\n"
                                      << "2\n"
                                      << QByteArray(":TLEL0X$$0a$0a1$0a2$0a#");
    QTest::newRow("escapes are not escaped again") << "$,#\n"
                                                   << "1\n"
                                                   << "2\n"
                                                   << QByteArray(":TLEL0$$$2C$23$0a1$0a2$0a#");
    QTest::newRow("carriage return kept") << "N\r\n"
                                          << "1\n"
                                          << "2\n"
                                          << QByteArray(":TLEL0N\r$0a1$0a2$0a#");
    QTest::newRow("empty lines") << ""
                                 << ""
                                 << "" << QByteArray(":TLEL0#");
}

void TestTrackingTexts::escapesUploadText() {
    QFETCH(QString, name);
    QFETCH(QString, line1);
    QFETCH(QString, line2);
    QFETCH(QByteArray, command);
    QCOMPARE(uploadCommand(name, line1, line2), command);
    QCOMPARE(QByteArray(":TLEL0") + escapeUploadText(name + line1 + line2).toUtf8() + '#', command);
}

void TestTrackingTexts::uploadCommandIsUtf8() {
    const QString name = QString::fromUtf8("K\xC3\xB8"
                                           "benhavn\n");
    QCOMPARE(uploadCommand(name, "1\n", "2\n"), QByteArray(":TLEL0K\xC3\xB8"
                                                           "benhavn$0a1$0a2$0a#"));
}

void TestTrackingTexts::unescapes_data() {
    QTest::addColumn<QByteArray>("escaped");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("nothing escaped") << QByteArray("ABC 123") << true << QByteArray("ABC 123");
    QTest::newRow("all four") << QByteArray("$$$0a$23$2C") << true << QByteArray("$\n#,");
    QTest::newRow("doubled dollar then 0a") << QByteArray("$$0a") << true << QByteArray("$0a");
    QTest::newRow("upper-case hex") << QByteArray("$0A$2c") << true << QByteArray("\n,");
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
    QTest::newRow("lone dollar at end") << QByteArray("AB$") << false << QByteArray();
    QTest::newRow("one hex digit") << QByteArray("AB$0") << false << QByteArray();
    QTest::newRow("unknown code") << QByteArray("$0b") << false << QByteArray();
    QTest::newRow("not hex") << QByteArray("$zz1") << false << QByteArray();
}

void TestTrackingTexts::unescapes() {
    QFETCH(QByteArray, escaped);
    QFETCH(bool, valid);
    QFETCH(QByteArray, text);
    const std::optional<QByteArray> result = unescapeUploadText(escaped);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, text);
}

// Whatever the text, its escaped form has no separator the mount cuts at, and undoing the
// escapes gives the text back.
void TestTrackingTexts::escapingRoundTrips() {
    QRandomGenerator random(4242);
    const char alphabet[] = "$#,\n0a2C3 A";
    for (int round = 0; round < 3000; ++round) {
        QByteArray text(random.bounded(16), Qt::Uninitialized);
        for (char& c : text)
            c = alphabet[random.bounded(int(sizeof alphabet - 1))];
        const QByteArray escaped = escapeUploadText(QString::fromLatin1(text)).toLatin1();
        QVERIFY(!escaped.contains('#') && !escaped.contains(',') && !escaped.contains('\n'));
        const std::optional<QByteArray> back = unescapeUploadText(escaped);
        QVERIFY2(back && *back == text, text.toPercentEncoding().constData());
    }
}

void TestTrackingTexts::passCommand_data() {
    QTest::addColumn<double>("jd");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("half day") << 2461015.5 << QByteArray(":TLEP2461015.50000000,10#");
    QTest::newRow("rounded to eight decimals")
        << 2461381.123456789 << QByteArray(":TLEP2461381.12345679,10#");
    QTest::newRow("whole") << 2461000.0 << QByteArray(":TLEP2461000.00000000,10#");
}

void TestTrackingTexts::passCommand() {
    QFETCH(double, jd);
    QFETCH(QByteArray, command);
    QCOMPARE(::passCommand(jd), command);
}

void TestTrackingTexts::statusCodes_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text"); // empty: no state, the caller keeps its own

    QTest::newRow("E") << QByteArray("E") << "No transit tracking requested";
    QTest::newRow("P") << QByteArray("P") << "Waiting for transit";
    QTest::newRow("Q") << QByteArray("Q") << "Transit ended";
    QTest::newRow("S") << QByteArray("S") << "Slewing to catch satellite";
    QTest::newRow("T") << QByteArray("T") << "Tracking satellite";
    QTest::newRow("V") << QByteArray("V") << "Slewing to start of transit";
    QTest::newRow("first character counts") << QByteArray("T0042") << "Tracking satellite";
    QTest::newRow("unknown") << QByteArray("X") << QString();
    QTest::newRow("lower case") << QByteArray("t") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestTrackingTexts::statusCodes() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);
    const std::optional<QString> state = trackingStatusFromReply(reply);
    QCOMPARE(state.has_value(), !text.isEmpty());
    if (state)
        QCOMPARE(*state, text);
}

void TestTrackingTexts::readsAxisErrors_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<AxisErrorReading::Outcome>("outcome");
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("second");

    const auto numbers = AxisErrorReading::Numbers;
    const auto notNumbers = AxisErrorReading::NotNumbers;
    const auto tooFew = AxisErrorReading::TooFewFields;
    QTest::newRow("five fields") << QByteArray("1,2,0.0025,4,-0.001") << numbers << 0.0025
                                 << -0.001;
    QTest::newRow("more fields") << QByteArray("a,b,1e-3,c,2E-3,f,g") << numbers << 0.001 << 0.002;
    QTest::newRow("blanks around") << QByteArray("a,b, 0.5 ,c,\t-0.25 ") << numbers << 0.5 << -0.25;
    QTest::newRow("quoted comma counts once")
        << QByteArray("1,\"x,y\",0.5,\"\",0.25") << numbers << 0.5 << 0.25;
    QTest::newRow("quoted error field")
        << QByteArray("1,2,\"0.5\",4,0.25") << numbers << 0.5 << 0.25;
    QTest::newRow("read up to the line end")
        << QByteArray("1,2,0.5,4,0.25\r\n,9,9") << numbers << 0.5 << 0.25;
    QTest::newRow("four fields") << QByteArray("1,2,0.5,4") << tooFew << 0.0 << 0.0;
    QTest::newRow("quoted comma leaves four")
        << QByteArray("1,\"x,y\",0.5,4") << tooFew << 0.0 << 0.0;
    QTest::newRow("line end cuts to four")
        << QByteArray("1,2,0.5\n,4,0.25") << tooFew << 0.0 << 0.0;
    QTest::newRow("empty reply") << QByteArray() << tooFew << 0.0 << 0.0;
    QTest::newRow("empty field 2") << QByteArray("1,2,,4,0.25") << notNumbers << 0.0 << 0.0;
    QTest::newRow("empty field 4") << QByteArray("1,2,0.5,4,") << notNumbers << 0.0 << 0.0;
    QTest::newRow("trailing text") << QByteArray("1,2,0.5x,4,0.25") << notNumbers << 0.0 << 0.0;
    QTest::newRow("decimal comma") << QByteArray("1,2,\"0,5\",4,0.25") << notNumbers << 0.0 << 0.0;
    QTest::newRow("not finite") << QByteArray("1,2,nan,4,inf") << notNumbers << 0.0 << 0.0;
    QTest::newRow("overflows in arc-seconds")
        << QByteArray("1,2,1e307,4,0") << notNumbers << 0.0 << 0.0;
}

void TestTrackingTexts::readsAxisErrors() {
    QFETCH(QByteArray, reply);
    QFETCH(AxisErrorReading::Outcome, outcome);
    QFETCH(double, first);
    QFETCH(double, second);
    const AxisErrorReading reading = readAxisErrors(reply);
    QCOMPARE(reading.outcome, outcome);
    if (outcome == AxisErrorReading::Numbers) {
        QCOMPARE(reading.firstDegrees, first);
        QCOMPARE(reading.secondDegrees, second);
    }
}

void TestTrackingTexts::formatsStatusLine_data() {
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("second");
    QTest::addColumn<QString>("line");

    QTest::newRow("nine and minus three point six")
        << 0.0025 << -0.001 << "Tracking satellite  errors: 9.00\", -3.60\"";
    QTest::newRow("zero") << 0.0 << 0.0 << "Tracking satellite  errors: 0.00\", 0.00\"";
    QTest::newRow("rounded to two decimals") << 0.5 / 3600.0 + 1e-9 << 1.0 / 3600.0 * 1.234
                                             << "Tracking satellite  errors: 0.50\", 1.23\"";
    QTest::newRow("whole degrees")
        << 1.0 << -2.0 << "Tracking satellite  errors: 3600.00\", -7200.00\"";
}

void TestTrackingTexts::formatsStatusLine() {
    QFETCH(double, first);
    QFETCH(double, second);
    QFETCH(QString, line);
    QCOMPARE(statusLineWithErrors("Tracking satellite", first, second), line);
}

QTEST_APPLESS_MAIN(TestTrackingTexts)
#include "tst_tracking_texts.moc"
