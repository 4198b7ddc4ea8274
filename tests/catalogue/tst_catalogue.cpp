// The element-set reader: TLE text as the window's catalogue takes it, and the orbit
// mean-elements forms told apart by content, each read to the same sets.
#include "catalogue/catalogue.h"
#include "catalogue/element_set_merge.h"
#include "catalogue/omm_reader.h"
#include "tests/common/file_bytes.h"
#include "tests/common/test_sets.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
    }

    void reader_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("sets");
        QTest::addColumn<int>("inFile");          // complete sets counted
        QTest::addColumn<QByteArray>("lastName"); // display name of the last set listed
        const auto row = [](const char* name, const QByteArray& file, int sets, int inFile,
                            const QByteArray& lastName = {}) {
            QTest::newRow(name) << file << sets << inFile << lastName;
        };
        const QByteArray one = group(kIssName);
        const QByteArray sat = "SAT                      (25544)";
        row("empty file", {}, 0, 0);
        row("one line", kIssName, 0, 0);
        row("two lines", kIssName + kIssLine1, 0, 0);
        row("one group", one, 1, 1, kIssDisplayName);
        row("last group without a final line feed",
            one + "SAT\n" + kIssLine1 + kIssLine2.left(kIssLine2.size() - 1), 2, 2, sat);
        row("CR LF reads as LF", QByteArray(one + group("SAT\n")).replace("\n", "\r\n"), 2, 2, sat);
        row("blank lines between groups passed over",
            "\n \t\n\r\n" + one + "\n  \n" + group("SAT\n") + "\n\n", 2, 2, sat);
        row("unparsable set still listed", "x\n1 y\n2 z\n", 1, 1,
            "x" + QByteArray(23, ' ') + " (   y\n)");
        const QByteArray bare = kIssLine1 + kIssLine2; // without a name line
        const QByteArray designated = "1998-067A                (25544)";
        row("two-line sets, mark, comments, CR LF",
            QByteArray("\xEF\xBB\xBF# sets\n" + bare + "#\n" + bare).replace("\n", "\r\n"), 2, 2,
            designated);
        row("mixed", "SAT\n" + bare + bare, 2, 2, designated);
        row("Space-Track's 0 NAME", "0 " + one, 1, 1, kIssDisplayName);
        row("stray lines passed over", "JUNK\n" + one + kIssLine1 + group("SAT\n"), 2, 2, sat);
        row("short line 1 brings its line end", "SHORT\n1 255\n" + kIssLine2, 1, 1,
            "SHORT" + QByteArray(19, ' ') + " ( 255\n)");
        row("padded to 24", group("TESTSAT 1\n", "12345"), 1, 1,
            "TESTSAT 1                (12345)");
        row("leading zeros kept", group("TESTSAT 1\n", "00005"), 1, 1,
            "TESTSAT 1                (00005)");
        row("30 characters cut to 24", group("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n"), 1, 1,
            "ABCDEFGHIJKLMNOPQRSTUVWX (25544)");
        // Blanks at columns 15, 16, 21, 26, 36 and 'v' or 'd' at 37: a 14-character name.
        row("14-character layout", group("ABCDEFGHIJKLMN  1234 1234 123456789 v 99\n"), 1, 1,
            "ABCDEFGHIJKLMN           (25544)");
        row("layout without its marker", group("ABCDEFGHIJKLMN  1234 1234 123456789 x 99\n"), 1, 1,
            "ABCDEFGHIJKLMN  1234 123 (25544)");
        row("at most 500, in file order, all counted", numberedGroups(501), 500, 501,
            "SAT 499                  (25544)");
    }

    void reader() {
        QFETCH(QByteArray, file);
        QFETCH(int, sets);
        QFETCH(int, inFile);
        QFETCH(QByteArray, lastName);
        QVERIFY(writeBytes("catalogue.txt", file));
        Catalogue catalogue;
        QCOMPARE(readCatalogueFile("catalogue.txt", kWindowSetLimit, catalogue), 0);
        QCOMPARE(int(catalogue.size()), sets);
        QCOMPARE(int(catalogue.setsInFile), inFile);
        if (sets > 0)
            QCOMPARE(QByteArray(catalogue.satellites.back().displayName), lastName);
    }

    // The parser reads a blank classification column as 'U', in its own copy only. A path that
    // cannot be read leaves the catalogue empty.
    void storesTheLinesAsRead() {
        const QByteArray blankClass = QByteArray(kIssLine1).replace(7, 1, " ");
        QVERIFY(writeBytes("catalogue.txt",
                           QByteArray(kIssName + blankClass + kIssLine2).replace("\n", "\r\n")));
        Catalogue catalogue;
        QCOMPARE(readCatalogueFile("catalogue.txt", kWindowSetLimit, catalogue), 0);
        QCOMPARE(int(catalogue.size()), 1);
        QCOMPARE(QByteArray::fromStdString(catalogue[0].nameLine), kIssName);
        QCOMPARE(QByteArray::fromStdString(catalogue[0].line1), blankClass);
        QCOMPARE(QByteArray::fromStdString(catalogue[0].line2), kIssLine2);
        for (const char* path : {"nowhere.txt", "."}) {
            QCOMPARE(readCatalogueFile(path, kWindowSetLimit, catalogue), 1);
            QVERIFY(catalogue.empty());
            QCOMPARE(readCatalogueFile("catalogue.txt", kWindowSetLimit, catalogue), 0);
        }
    }

    // Every form read from a sample of its own, told apart by content alone: the sets in order,
    // the bad records counted, nine-digit numbers shown whole, the update's check writing TLEs
    // for the numbers that fit.
    void ommForms_data() {
        const auto sample = [](const char* form) {
            return readBytes(ORBITRAK_OMM_SAMPLES "/sample." + QString(form));
        };
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("kept"); // of the sample's three good records
        QTest::addColumn<int>("skipped");
        for (const char* form : {"json", "csv", "xml", "kvn"})
            QTest::newRow(form) << QByteArray(form) << sample(form) << 3 << 3;
        const QByteArray xml = sample("xml");
        QTest::newRow("xml cut short")
            << QByteArray("xml") << xml.left(xml.indexOf("DEB,") + 5) << 1 << 1;
        QByteArray csv = sample("csv");
        csv.replace("MORE\"", "MORE"); // a quote left open spoils its own row only
        QTest::newRow("csv open quote") << QByteArray("csv") << csv << 2 << 4;
        QTest::newRow("json cut short") << QByteArray("json") << sample("json").left(500) << 0 << 0;
    }

    void ommForms() {
        QFETCH(QByteArray, form);
        QFETCH(QByteArray, text);
        QFETCH(int, kept);
        QFETCH(int, skipped);
        QCOMPARE(elementSetFormName(elementSetForm(text)), form.constData());
        const MeanElementsRead read = readMeanElements(text, elementSetForm(text));
        const std::vector<long> numbers = {25544, 270000000, 100000};
        QCOMPARE(int(read.sets.size()), kept);
        QCOMPARE(int(read.skipped), skipped);
        for (std::size_t i = 0; i < read.sets.size(); ++i)
            QCOMPARE(read.sets[i].noradCatId, numbers[i + (kept == 2 && i > 0)]);
        if (kept != 3)
            return;
        QCOMPARE(read.sets[1].objectName, std::string("DEB, PIECE \"A\" & MORE"));
        QCOMPARE(read.sets[0].epochDay, 78.5 + 0.123456 / 86400.0);

        const CheckedText checked = checkElementSetsAnyForm(text);
        QCOMPARE(int(checked.sets.size()), 2);
        QCOMPARE(int(checked.beyondTle), 1);
        QCOMPARE(int(checked.skipped), 3);
        QCOMPARE(
            QByteArray::fromStdString(checked.sets[0].line1),
            QByteArray("1 25544U 98067A   26078.50000143 -.00002182  00000+0 -11606-4 0  9998"));
        QCOMPARE(
            QByteArray::fromStdString(checked.sets[1].line2),
            QByteArray("2 A0000  51.6416 247.4627 0003737 130.5360 325.0288 15.48919755123452"));

        QVERIFY(writeBytes("sample.txt", text)); // the name says nothing of the form
        Catalogue catalogue;
        QVERIFY(readElementSetFile("sample.txt", 2, catalogue));
        QCOMPARE(int(catalogue.setsInFile), 3);
        QCOMPARE(int(catalogue.skippedSets), 3);
        QCOMPARE(QByteArray(catalogue[0].displayName), kIssDisplayName);
        QCOMPARE(QByteArray(catalogue[1].displayName), "DEB, PIECE \"A\" & MORE    (270000000)");
        QCOMPARE(catalogue[1].elements.satnum, 270000000);
        QVERIFY(catalogue[1].line1.empty()); // no TLE for it
        QCOMPARE(catalogue[0].elements.error, 0);
    }

    // A file in none of the forms reads as no sets; TLE text as readCatalogueFile reads it.
    void noKnownForm() {
        for (const QByteArray& text : {QByteArray("{\"OBJECT_NAME\": }"), QByteArray("hello\n"),
                                       QByteArray(), QByteArray("1 25544U\n1 25544U\n")}) {
            QVERIFY(writeBytes("sample.txt", text));
            Catalogue catalogue;
            ElementSetForm form = ElementSetForm::Tle;
            QVERIFY(readElementSetFile("sample.txt", 0, catalogue, &form));
            QCOMPARE(form, ElementSetForm::None);
            QVERIFY(catalogue.empty());
        }
        QVERIFY(writeBytes("sample.txt", "\n" + group("ISS (ZARYA)\n")));
        Catalogue catalogue;
        QVERIFY(readElementSetFile("sample.txt", 0, catalogue));
        QCOMPARE(QByteArray(catalogue[0].displayName), kIssDisplayName);
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
