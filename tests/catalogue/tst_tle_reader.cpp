#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite.h"

#include <QFile>
#include <QtTest>

#include <cstring>

// Reading three-line groups: the fixed-size line reads, the end-of-file rule, the display name.
class TestTleReader : public QObject {
    Q_OBJECT

private slots:
    void missingFileEmptiesTheList();
    void groupCounts_data();
    void groupCounts();
    void keepsAtMostTheLimitInFileOrder();
    void crLfReadsAsLf();
    void storesLinesAsRead();
    void displayName_data();
    void displayName();
    void overlongLineShiftsLaterGroups();
    void alpha5NumberKeptInName();
};

static const char* const kName = "ISS (ZARYA)\n";
static const char* const kLine1 =
    "1 25544U 98067A   26078.51782528  .00016717  00000-0  30597-3 0  9993\n";
static const char* const kLine2 =
    "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.49503057500451\n";

static QByteArray group(const QByteArray& name = kName) {
    return name + kLine1 + kLine2;
}

static void writeFile(const QByteArray& bytes) {
    QFile file("catalogue.txt");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

static int readFile(std::size_t limit = kWindowSetLimit) {
    return read_TLE_file("catalogue.txt", limit);
}

void TestTleReader::missingFileEmptiesTheList() {
    writeFile(group());
    QCOMPARE(readFile(), 0);
    QCOMPARE(satellite_list.size(), std::size_t(1));
    QFile::remove("catalogue.txt");
    QCOMPARE(readFile(), 1);
    QVERIFY(satellite_list.empty());
}

void TestTleReader::groupCounts_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("sets");
    const QByteArray one = group();
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("one line") << QByteArray(kName) << 0;
    QTest::newRow("two lines") << QByteArray(kName) + kLine1 << 0;
    QTest::newRow("one group") << one << 1;
    QTest::newRow("final line feed missing") << one + one.left(one.size() - 1) << 1;
    QTest::newRow("final line feed present") << one + one << 2;
    QTest::newRow("trailing blank line") << one + "\n" << 1;
    QTest::newRow("blank lines count as lines") << "\n\n\n" + one << 2;
    QTest::newRow("unparsable group still listed") << QByteArray("x\ny\nz\n") << 1;
}

void TestTleReader::groupCounts() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, sets);
    writeFile(bytes);
    QCOMPARE(readFile(), 0);
    QCOMPARE(int(satellite_list.size()), sets);
}

void TestTleReader::keepsAtMostTheLimitInFileOrder() {
    QByteArray bytes;
    for (int i = 0; i < 501; ++i)
        bytes += group(QByteArray("SAT ") + QByteArray::number(i) + "\n");
    writeFile(bytes);
    QCOMPARE(readFile(), 0);
    QCOMPARE(satellite_list.size(), std::size_t(500));
    QCOMPARE(QByteArray(satellite_list.front().name_line.c_str()), QByteArray("SAT 0\n"));
    QCOMPARE(QByteArray(satellite_list.back().name_line.c_str()), QByteArray("SAT 499\n"));
    QCOMPARE(readFile(0), 0);
    QCOMPARE(satellite_list.size(), std::size_t(501));
}

void TestTleReader::crLfReadsAsLf() {
    QByteArray bytes = group();
    bytes.replace("\n", "\r\n");
    writeFile(bytes + bytes);
    QCOMPARE(readFile(), 0);
    QCOMPARE(satellite_list.size(), std::size_t(2));
    const TLE_Satellite& s = satellite_list[0];
    QCOMPARE(QByteArray(s.name_line.c_str()), QByteArray(kName));
    QCOMPARE(QByteArray(s.line2.c_str()), QByteArray(kLine2));
    QCOMPARE(s.elements.satnum, 25544);
    QCOMPARE(QByteArray(s.display_name), QByteArray("ISS (ZARYA)              (25544)"));
    QVERIFY(qAbs(s.elements.inclo / 0.017453292519943295 - 51.6416) < 1e-12);
    // A lone carriage return is an ordinary character.
    writeFile("A\rB\n" + QByteArray(kLine1) + kLine2);
    QCOMPARE(readFile(), 0);
    QCOMPARE(QByteArray(satellite_list[0].name_line.c_str()), QByteArray("A\rB\n"));
}

void TestTleReader::storesLinesAsRead() {
    // A blank classification column is read as 'U' by the parser, in its own copy only.
    QByteArray line1(kLine1);
    line1[7] = ' ';
    writeFile(QByteArray(kName) + line1 + kLine2);
    QCOMPARE(readFile(), 0);
    const TLE_Satellite& s = satellite_list[0];
    QCOMPARE(QByteArray(s.line1.c_str()), line1);
    QCOMPARE(QByteArray(s.line2.c_str()), QByteArray(kLine2));
    QCOMPARE(s.position[0], 0.0);
}

void TestTleReader::displayName_data() {
    QTest::addColumn<QByteArray>("nameLine");
    QTest::addColumn<QByteArray>("catalogueField");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("padded to 24") << QByteArray("TESTSAT 1\n") << QByteArray("12345")
                                  << QByteArray("TESTSAT 1                (12345)");
    QTest::newRow("leading zeros kept") << QByteArray("TESTSAT 1\n") << QByteArray("00005")
                                        << QByteArray("TESTSAT 1                (00005)");
    QTest::newRow("30 characters cut to 24")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n") << QByteArray("12345")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWX (12345)");
    // Blanks at columns 15, 16, 21, 26, 36 and 'v' at 37: a 14-character name with more columns.
    QTest::newRow("14-character layout")
        << QByteArray("ABCDEFGHIJKLMN  1234 1234 123456789 v 99\n") << QByteArray("12345")
        << QByteArray("ABCDEFGHIJKLMN           (12345)");
    QTest::newRow("layout with d")
        << QByteArray("ABCDEFGHIJKLMN  1234 1234 123456789 d\n") << QByteArray("12345")
        << QByteArray("ABCDEFGHIJKLMN           (12345)");
    QTest::newRow("layout marker missing")
        << QByteArray("ABCDEFGHIJKLMN  1234 1234 123456789 x 99\n") << QByteArray("12345")
        << QByteArray("ABCDEFGHIJKLMN  1234 123 (12345)");
    QTest::newRow("no line feed in the name") << QByteArray("NAME\r\n") << QByteArray("12345")
                                              << QByteArray("NAME                     (12345)");
    QTest::newRow("empty name line") << QByteArray("\n") << QByteArray("12345")
                                     << QByteArray("                         (12345)");
}

void TestTleReader::displayName() {
    QFETCH(QByteArray, nameLine);
    QFETCH(QByteArray, catalogueField);
    QFETCH(QByteArray, expected);
    QByteArray line1(kLine1);
    line1.replace(2, 5, catalogueField);
    QByteArray line2(kLine2);
    line2.replace(2, 5, catalogueField);
    writeFile(nameLine + line1 + line2);
    QCOMPARE(readFile(), 0);
    QCOMPARE(satellite_list.size(), std::size_t(1));
    const char* name = satellite_list[0].display_name;
    QCOMPARE(QByteArray(name), expected);
    QCOMPARE(std::strlen(name), std::size_t(32));
    for (int i = 33; i < 64; ++i)
        QCOMPARE(int(name[i]), 0);
}

void TestTleReader::overlongLineShiftsLaterGroups() {
    // A read takes at most 255 characters; the rest of the line becomes the next line.
    const QByteArray longName = QByteArray(300, 'N') + "\n";
    writeFile(longName + kLine1 + kLine2 + group());
    QCOMPARE(readFile(), 0);
    QCOMPARE(satellite_list.size(), std::size_t(2));
    QCOMPARE(satellite_list[0].name_line.size(), std::size_t(255));
    QCOMPARE(QByteArray(satellite_list[0].line1.c_str()), QByteArray(45, 'N') + "\n");
}

void TestTleReader::alpha5NumberKeptInName() {
    QByteArray line1(kLine1);
    line1.replace(2, 5, "A0001");
    QByteArray line2(kLine2);
    line2.replace(2, 5, "A0001");
    writeFile(QByteArray(kName) + line1 + line2);
    QCOMPARE(readFile(), 0);
    QCOMPARE(satellite_list[0].elements.satnum, 100001);
    QCOMPARE(QByteArray(satellite_list[0].display_name).right(7), QByteArray("(A0001)"));
}

QTEST_GUILESS_MAIN(TestTleReader)
#include "tst_tle_reader.moc"
