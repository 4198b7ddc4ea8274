// The satellite catalogue: the reader, the table model and its proxy, where the satellites stand
// in the sky against positions computed independently (another SGP4 implementation, 1982
// sidereal time with UT1 = UTC, WGS-84 site) for hundreds of real satellites and sites, the sky
// computation's background preparation of far-epoch sets, orbitrak-cli sky against the
// computation, and the window's filter and "Load TLEs...".
#include "app/numeric_sort_proxy_model.h"
#include "app/satellite_table_model.h"
#include "astro/angles.h"
#include "astro/calendar.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/element_set_merge.h"
#include "catalogue/omm_reader.h"
#include "sky/observation.h"
#include "sky/sky_computation.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"
#include "tests/common/test_sets.h"
#include "tests/hostile/hostile_catalogue.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>

Q_DECLARE_METATYPE(LiveRow)
Q_DECLARE_METATYPE(Site)

namespace {

const QByteArray kIssDisplayName = "ISS (ZARYA)              (25544)";
const double kNaN = std::nan("");

// Orbit mean-elements records as CelesTrak publishes them, written in each of its four forms.
using OmmRecord = QList<QPair<QByteArray, QByteArray>>;
const QByteArrayList kOmmTextFields = {"OBJECT_NAME", "OBJECT_ID", "EPOCH", "CLASSIFICATION_TYPE"};

OmmRecord ommRecord(const QByteArray& name, const QByteArray& number) {
    return {{"OBJECT_NAME", name},
            {"OBJECT_ID", "1998-067A"},
            {"EPOCH", "2026-03-19T12:00:00.123456"},
            {"MEAN_MOTION", "15.48919755"},
            {"ECCENTRICITY", ".0003737"},
            {"INCLINATION", "51.6416"},
            {"RA_OF_ASC_NODE", "247.4627"},
            {"ARG_OF_PERICENTER", "130.536"},
            {"MEAN_ANOMALY", "325.0288"},
            {"EPHEMERIS_TYPE", "0"},
            {"CLASSIFICATION_TYPE", "U"},
            {"NORAD_CAT_ID", number},
            {"ELEMENT_SET_NO", "999"},
            {"REV_AT_EPOCH", "12345"},
            {"BSTAR", "-1.1606e-5"},
            {"MEAN_MOTION_DOT", "-0.00002182"},
            {"MEAN_MOTION_DDOT", "0"}};
}

// The record with one field changed, or left out when value is null.
OmmRecord changed(OmmRecord record, const QByteArray& field, const QByteArray& value) {
    for (int i = 0; i < record.size(); ++i)
        if (record[i].first == field) {
            if (value.isNull())
                record.removeAt(i);
            else
                record[i].second = value;
        }
    return record;
}

QByteArray csvQuoted(const QByteArray& text) {
    return text.contains(',') || text.contains('"')
               ? '"' + QByteArray(text).replace("\"", "\"\"") + '"'
               : text;
}

QByteArray ommText(const QByteArray& form, const QList<OmmRecord>& records) {
    QByteArray text;
    if (form == "csv") {
        for (const auto& field : ommRecord("", ""))
            text += (text.isEmpty() ? "" : ",") + field.first;
        text += "\r\n";
    }
    text += form == "json" ? "[" : form == "xml" ? "<?xml version=\"1.0\"?>\n<ndm>\n" : "";
    for (const OmmRecord& record : records) {
        QByteArrayList items;
        for (const auto& [key, value] : record) {
            const bool isText = kOmmTextFields.contains(key) || value == "abc";
            if (form == "json")
                items << '"' + key + "\":" +
                             (isText ? '"' + QByteArray(value).replace("\"", "\\\"") + '"' : value);
            else if (form == "csv")
                items << csvQuoted(value);
            else if (form == "xml")
                items << '<' + key + '>' + QByteArray(value).replace("&", "&amp;") + "</" + key +
                             '>';
            else
                items << key + " = " + value;
        }
        if (form == "json")
            text += (&record == &records.front() ? "{" : ",\n{") + items.join(',') + '}';
        else if (form == "csv")
            text += items.join(',') + "\r\n";
        else if (form == "xml")
            text +=
                "<omm id=\"CCSDS_OMM_VERS\" version=\"2.0\"><header/><body><segment><metadata>" +
                items.mid(0, 2).join("") + "</metadata><data><meanElements>" +
                items.mid(2, 7).join("") + "</meanElements><tleParameters>" +
                items.mid(9).join("") + "</tleParameters></data></segment></body></omm>\n";
        else
            text += "CCSDS_OMM_VERS = 2.0\nCOMMENT made by a test\n" + items.join('\n') + '\n';
    }
    return text + (form == "json" ? "]" : form == "xml" ? "</ndm>\n" : "");
}

// Two sets of five-digit numbers or the Alpha-5 form, one of nine digits, and three records
// that must be left out.
QList<OmmRecord> sampleRecords() {
    return {ommRecord("ISS (ZARYA)", "25544"),
            ommRecord("DEB, PIECE \"A\" & MORE", "270000000"),
            changed(ommRecord("NO MOTION", "11"), "MEAN_MOTION", QByteArray()),
            changed(ommRecord("BAD ECC", "12"), "ECCENTRICITY", "abc"),
            changed(ommRecord("TILTED", "13"), "INCLINATION", "181"),
            ommRecord("FIRST ALPHA-5", "100000")};
}

// The numbers bit for bit, NaN included, and the flags; the padding after them holds nothing.
bool sameBits(const LiveRow& a, const LiveRow& b) {
    return std::memcmp(&a, &b, offsetof(LiveRow, sunlight)) == 0 && a.sunlight == b.sunlight &&
           a.invalidElements == b.invalidElements;
}

// The live table over a session of its own (no time table).
struct LiveTable {
    TimeScales scales;
    SkySession session{scales};
    SatelliteTableModel model{session};
};

// Rows with the given altitudes (the other columns follow them) and names.
void fill(LiveTable& table, const QList<double>& altitudes, QByteArrayList labels = {}) {
    Catalogue catalogue;
    std::vector<LiveRow> rows;
    for (int i = 0; i < altitudes.size(); ++i) {
        CatalogueEntry entry;
        const QByteArray name = i < labels.size() ? labels[i] : "SAT";
        std::snprintf(entry.displayName, sizeof entry.displayName, "%-24.24s (25544)",
                      name.constData());
        entry.nameLine = (name + "\n").toStdString();
        entry.line1 = kIssLine1.toStdString();
        entry.line2 = kIssLine2.toStdString();
        catalogue.satellites.push_back(entry);
        rows.push_back({1000.0 + altitudes[i], 180.0 + altitudes[i], altitudes[i], 0.5});
    }
    table.session.setCatalogue(std::move(catalogue));
    table.session.showRows(std::move(rows));
}

QStringList names(const QAbstractItemModel& model) {
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.index(row, 0).data().toString().left(24).trimmed();
    return list;
}

Site siteAt(double latitude, double eastLongitude, double elevation) {
    return Site::fromDegrees(latitude, eastLongitude, elevation);
}

std::vector<LiveRow> computeAt(Catalogue& catalogue, const TimeScales& scales, const QString& utc,
                               const Site& site) {
    const double jd = scales.workingJdFromUtcCalendar(*parseCalendar(utc.toStdString()));
    return SkyComputation(scales).compute(catalogue, jd, site, SkyComputation::Wait::ForEverySet);
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales; // no table: the fixed leap count, and UT1 = UTC as the sky reference
    std::map<int, CatalogueEntry> bySatnum;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        QVERIFY(activeCatalogue().size() > 14000);
        for (const CatalogueEntry& satellite : activeCatalogue().satellites)
            bySatnum.emplace(satellite.elements.satnum, satellite);
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

    // The parser reads a blank classification column as 'U', in its own copy only.
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
    }

    void unreadablePathEmptiesTheCatalogue() {
        QVERIFY(writeBytes("catalogue.txt", group(kIssName)));
        for (const char* path : {"nowhere.txt", "."}) {
            Catalogue catalogue;
            QCOMPARE(readCatalogueFile("catalogue.txt", kWindowSetLimit, catalogue), 0);
            QCOMPARE(readCatalogueFile(path, kWindowSetLimit, catalogue), 1);
            QVERIFY(catalogue.empty());
        }
    }

    // Three classes of colour, the same in every column: above 20 degrees, above the horizon
    // up to 20, the rest (no position too).
    // Every form read from a sample of its own, told apart by content alone: the sets in order,
    // the bad records counted, nine-digit numbers shown whole, the update's check writing TLEs
    // for the numbers that fit.
    void ommForms_data() {
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("kept"); // of the sample's three good records
        QTest::addColumn<int>("skipped");
        for (const char* form : {"json", "csv", "xml", "kvn"})
            QTest::newRow(form) << QByteArray(form) << ommText(form, sampleRecords()) << 3 << 3;
        const QByteArray xml = ommText("xml", sampleRecords());
        QTest::newRow("xml cut short")
            << QByteArray("xml") << xml.left(xml.indexOf("DEB,") + 5) << 1 << 1;
        QByteArray csv = ommText("csv", sampleRecords());
        csv.replace("MORE\"", "MORE"); // a quote left open spoils its own row only
        QTest::newRow("csv open quote") << QByteArray("csv") << csv << 2 << 4;
        QTest::newRow("json cut short")
            << QByteArray("json") << ommText("json", sampleRecords()).left(500) << 0 << 0;
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

    // orbitrak-cli: convert gives 0 with a set written, 1 with none, 2 for a usage error; every
    // command refuses a file in no known form.
    void cli_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out"); // a piece of standard output
        QTest::addColumn<QByteArray>("err"); // and of standard error
        const auto row = [](const char* name, const char* args, int code, const char* out,
                            const char* err) {
            QTest::newRow(name) << QString(args).split(' ') << code << QByteArray(out)
                                << QByteArray(err);
        };
        row("to tle", "convert sample.json", 0,
            "FIRST ALPHA-5\n1 A0000U 98067A   26078.50000143 -.00002182  00000+0 -11606-4 0  "
            "9998\n",
            "skipped 1 element sets whose catalogue numbers do not fit a TLE");
        row("to csv", "convert --to csv sample.json", 0,
            "\r\n\"DEB, PIECE \"\"A\"\" & MORE\",1998-067A,2026-03-19T12:00:00.123456,15.48919755,",
            "skipped 3 element sets that failed their checks");
        row("to xml", "convert --to=xml sample.json", 0,
            "<OBJECT_NAME>DEB, PIECE \"A\" &amp; MORE<", "");
        row("to kvn", "convert --to kvn sample.json", 0, "\nNORAD_CAT_ID = 270000000\n", "");
        row("to json", "convert --to json sample.kvn", 0, "\n    \"BSTAR\": -0.000011606,\n", "");
        row("nothing valid", "convert bad.json", 1, "",
            "orbitrak-cli: convert: set 1: MEAN_MOTION is missing\n"
            "orbitrak-cli: convert: set 2: ECCENTRICITY does not read\n"
            "orbitrak-cli: convert: set 3: a value lies out of range\n"
            "orbitrak-cli: convert: skipped 3 element sets");
        row("the first five reasons", "convert skips.txt", 0, "GOOD\n1 25544U",
            "orbitrak-cli: convert: set 2 (line 5): line 1 has check digit 1 where its columns "
            "give 0\n"
            "orbitrak-cli: convert: set 3 (line 8): line 2 is missing\n"
            "orbitrak-cli: convert: set 4 (line 9): lines 1 and 2 carry different catalogue "
            "numbers\n"
            "orbitrak-cli: convert: set 5 (line 13): line 2 has 60 columns, not 69\n"
            "orbitrak-cli: convert: set 6 (line 15): line 1 is missing\n"
            "orbitrak-cli: convert: skipped 6 element sets that failed their checks\n");
        row("csv rows", "convert --to kvn bad.csv", 1, "",
            "set 1 (line 3): the row has 3 fields, the header 2\n");
        for (const char* command : {"convert", "sky --tle", "passes --tle", "transits --tle",
                                    "propagate --minutes 0 --tle"})
            QTest::addRow("no known form: %s", command)
                << (QString(command) + " notes.md").split(' ') << 2 << QByteArray()
                << "orbitrak-cli: " + QByteArray(command).split(' ').front() +
                       ": notes.md holds no element sets in a known form.\n";
        row("sky names its columns", "sky --help", 0, "\nColumns: Name (", "");
        row("update names the forms", "update --help", 0,
            "orbit mean-elements messages (OMM) as JSON,\nCSV, XML or KVN", "");
        row("unknown form", "convert --to yaml sample.json", 2, "", "--to needs");
        row("two files", "convert sample.json sample.kvn", 2, "", "unexpected argument");
        row("missing file", "convert missing.json", 2, "", "missing.json does not exist.");
    }

    void cli() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QVERIFY(writeBytes("sample.json", ommText("json", sampleRecords())));
        QVERIFY(writeBytes("sample.kvn", ommText("kvn", sampleRecords())));
        QVERIFY(writeBytes("bad.json", ommText("json", sampleRecords().mid(2, 3))));
        QVERIFY(writeBytes("bad.csv", "OBJECT_NAME,OBJECT_ID\n\nX,1,2\n"));
        QVERIFY(writeBytes("notes.md", "# Notes\n\nKEY\n1 2\n"));
        const QByteArray line1 = hostile::withChecksum(kIssLine1.left(68).toStdString()).c_str();
        const QByteArray line2 = hostile::withChecksum(kIssLine2.left(68).toStdString()).c_str();
        const QByteArray other =
            hostile::withChecksum(QByteArray(line2).replace(2, 5, "25545").toStdString()).c_str();
        const QByteArray wrongDigit = line1.left(68) + char(line1[68] == '9' ? '0' : line1[68] + 1);
        QVERIFY(writeBytes("skips.txt", "# sets that fail\nGOOD\n" + line1 + "\n" + line2 +
                                            "\nDIGIT\n" + wrongDigit + "\n" + line2 + "\n" + line1 +
                                            "\nNUMBERS\n" + line1 + "\n" + other + "\n\n" + line1 +
                                            "\n" + line2.left(60) + "\n" + line2 + "\n" +
                                            wrongDigit + "\n" + line2 + "\n"));
        const ProgramRun r = runProgram(ORBITRAK_CLI, args, QDir::currentPath());
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.out.contains(out), r.out.constData());
        QVERIFY2(r.err.contains(err), r.err.constData());
        QVERIFY(exitCode != 2 || r.out.isEmpty());
    }

    // A name a spreadsheet program would run as a formula is written as text (an apostrophe,
    // inside quotes) in each CSV of orbitrak-cli; a signed number stays a number, and the OMM
    // CSV reads back to the same names.
    void csvNamesAreNotFormulas_data() {
        QTest::addColumn<QStringList>("args");
        const QString at = "2026-03-19T12:00:00Z";
        QTest::newRow("sky") << QStringList{"sky", "--tle", "formulas.txt", "--at", at, "--csv"};
        QTest::newRow("passes") << QStringList{"passes", "--tle",   "formulas.txt", "--from",
                                               at,       "--hours", "24",           "--csv"};
        QTest::newRow("convert") << QStringList{"convert", "--to", "csv", "formulas.txt"};
    }

    void csvNamesAreNotFormulas() {
        QFETCH(QStringList, args);
        const auto set = [](const QByteArray& name, const char* number, char motionSign) {
            QByteArray line1 = kIssLine1.left(68).replace(2, 5, number);
            line1[33] = motionSign; // the first derivative of the mean motion
            const QByteArray line2 = kIssLine2.left(68).replace(2, 5, number);
            return name + '\n' + hostile::withChecksum(line1.toStdString()).c_str() + '\n' +
                   hostile::withChecksum(line2.toStdString()).c_str() + '\n';
        };
        QVERIFY(writeBytes("formulas.txt", set("=HYPERLINK(\"x\")", "25544", ' ') +
                                               set("-TEST", "25545", '-') +
                                               set("@SUM", "25546", ' ')));
        const ProgramRun r = runProgram(ORBITRAK_CLI, args, QDir::currentPath());
        QCOMPARE(r.exitCode, 0);
        for (const char* cell : {"\"'=HYPERLINK(\"\"x\"\")\"", "\"'-TEST\"", "\"'@SUM\""})
            QVERIFY2(r.out.contains(cell), r.out.constData());
        int negative = 0;
        for (const QByteArray& line : r.out.split('\n'))
            for (const QByteArray& cell : line.trimmed().split(',')) {
                bool number = false;
                cell.toDouble(&number);
                QVERIFY2(cell.isEmpty() || !QByteArray("=+-@").contains(cell[0]) || number,
                         cell.constData());
                negative += number && cell.startsWith('-');
            }
        QVERIFY(negative > 0);
        if (args[0] != "convert")
            return;
        QVERIFY(writeBytes("formulas.csv", r.out));
        const ProgramRun back =
            runProgram(ORBITRAK_CLI, {"convert", "formulas.csv"}, QDir::currentPath());
        const auto names = [](const QByteArray& sets) {
            QByteArrayList lines = sets.split('\n');
            return QByteArrayList{lines.value(0), lines.value(3), lines.value(6)};
        };
        QCOMPARE(names(back.out), names(readBytes("formulas.txt")));
    }

    void colourFollowsTheAltitude() {
        LiveTable table;
        SatelliteTableModel& model = table.model;
        fill(table, {45.0, 20.000001, 20.0, 1e-9, 0.0, -12.0, kNaN});
        const QList<int> colourClass = {0, 0, 1, 1, 2, 2, 2};
        const auto colour = [&model](int row, int column) {
            return model.index(row, column).data(Qt::ForegroundRole).value<QBrush>().color();
        };
        for (int i = 0; i < model.rowCount(); ++i)
            for (int j = 0; j < model.rowCount(); ++j)
                for (int column = 0; column < 5; ++column)
                    QCOMPARE(colour(i, column) == colour(j, 0), colourClass[i] == colourClass[j]);
        QVERIFY(colour(0, 0).green() > colour(0, 0).red() &&
                colour(6, 0).red() > colour(6, 0).green());
    }

    void displayTexts_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("altitude, one decimal") << 1 << -3.26 << "-3.3";
        QTest::newRow("azimuth just below 360") << 2 << 359.96 << "360.0";
        QTest::newRow("distance, nearest km") << 3 << 1234.6 << "1235";
        QTest::newRow("distance, no grouping") << 3 << 41607.2 << "41607";
        QTest::newRow("speed, two decimals") << 4 << 0.456 << "0.46";
        QTest::newRow("no position") << 1 << kNaN << "";
        QTest::newRow("no distance") << 3 << kNaN << "";
    }

    void displayTexts() {
        QFETCH(int, column);
        QFETCH(double, value);
        QFETCH(QString, text);
        LiveTable table;
        SatelliteTableModel& model = table.model;
        fill(table, {0.0});
        LiveRow row{};
        double* fields[] = {nullptr, &row.altitudeDeg, &row.azimuthDeg, &row.distanceKm,
                            &row.speedDegPerSec};
        *fields[column] = value;
        table.session.showRows({row});
        const QModelIndex index = model.index(0, column);
        QCOMPARE(index.data().toString(), text);
        QCOMPARE(index.data(Qt::EditRole).toString(), text);
        QCOMPARE(index.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        const double raw = index.data(SatelliteTableModel::SortRole).toDouble();
        QVERIFY(std::memcmp(&raw, &value, sizeof raw) == 0);
    }

    void rolesAndChangeNotification() {
        LiveTable table;
        SatelliteTableModel& model = table.model;
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        table.session.showRows({});
        QCOMPARE(changed.count(), 0); // nothing to announce in an empty table

        fill(table, {12.0, 1.0, 2.0}, {"ISS (ZARYA)"});
        const QModelIndex name = model.index(0, 0);
        QCOMPARE(name.data().toString(), QString::fromLatin1(kIssDisplayName));
        QCOMPARE(name.data(SatelliteTableModel::SortRole).toString(), name.data().toString());
        QCOMPARE(name.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
        for (int column = 0; column < 5; ++column) {
            const QModelIndex index = model.index(0, column);
            QCOMPARE(index.data(257).toString(), QString::fromLatin1(kIssName));
            QCOMPARE(index.data(258).toString(), QString::fromLatin1(kIssLine1));
            QCOMPARE(index.data(259).toString(), QString::fromLatin1(kIssLine2));
            QVERIFY(!(model.flags(index) & Qt::ItemIsEditable));
        }
        changed.clear();
        table.session.showRows(table.session.rows());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].value<QModelIndex>(), model.index(0, 0));
        QCOMPARE(changed[0][1].value<QModelIndex>(),
                 model.index(2, SatelliteTableModel::ColumnCount - 1));
        QVERIFY(changed[0][2].value<QVector<int>>().isEmpty());
    }

    // Numbers sort as numbers (9.5 before 10.0), a row without a position below every number.
    void proxySortsNumbersAsNumbers() {
        LiveTable table;
        SatelliteTableModel& model = table.model;
        fill(table, {10.0, 9.5, kNaN, -2.0, 100.0},
             {"TEN", "NINE AND A HALF", "NO POSITION", "MINUS", "HUNDRED"});
        NumericSortProxyModel proxy;
        proxy.setSourceModel(&model);
        QStringList order = {"NO POSITION", "MINUS", "NINE AND A HALF", "TEN", "HUNDRED"};
        proxy.sort(SatelliteTableModel::Altitude, Qt::AscendingOrder);
        QCOMPARE(names(proxy), order);
        proxy.sort(SatelliteTableModel::Altitude, Qt::DescendingOrder);
        std::reverse(order.begin(), order.end());
        QCOMPARE(names(proxy), order);
        proxy.sort(SatelliteTableModel::Name, Qt::AscendingOrder);
        std::sort(order.begin(), order.end());
        QCOMPARE(names(proxy), order);
    }

    void matchesIndependentReference_data() {
        QTest::addColumn<int>("satnum");
        QTest::addColumn<QString>("utc");
        QTest::addColumn<Site>("site");
        QTest::addColumn<LiveRow>("reference");
        QFile file(ORBITRAK_TEST_DATA "/sky/active-reference.csv");
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 1 + 375); // the header, then the cases
        for (const QByteArray& line : lines.mid(1)) {
            const QList<QByteArray> r = line.split(',');
            QTest::addRow("%s@%s", r[0].constData(), r[1].constData())
                << r[0].toInt() << QString::fromLatin1(r[1])
                << siteAt(r[2].toDouble(), r[3].toDouble(), r[4].toDouble())
                << LiveRow{r[7].toDouble(), r[6].toDouble(), r[5].toDouble(), r[8].toDouble()};
        }
    }

    void matchesIndependentReference() {
        QFETCH(int, satnum);
        QFETCH(QString, utc);
        QFETCH(Site, site);
        QFETCH(LiveRow, reference);
        const auto found = bySatnum.find(satnum);
        QVERIFY2(found != bySatnum.end(), "satellite missing from the catalogue");
        Catalogue one;
        one.satellites.push_back(found->second);
        const LiveRow row = computeAt(one, scales, utc, site)[0];
        const QByteArray values =
            QString::asprintf("altitude %.9f, azimuth %.9f, distance %.6f, speed %.9g",
                              row.altitudeDeg, row.azimuthDeg, row.distanceKm, row.speedDegPerSec)
                .toLatin1();
        // Either instant may be truncated to the millisecond below.
        const double angle = 1e-4 + reference.speedDegPerSec * 0.001;
        QVERIFY2(std::abs(row.altitudeDeg - reference.altitudeDeg) <= angle, values);
        QVERIFY2(std::abs(std::remainder(row.azimuthDeg - reference.azimuthDeg, 360.0)) <= angle,
                 values);
        QVERIFY2(row.azimuthDeg >= 0.0 && row.azimuthDeg < 360.0, values);
        QVERIFY2(std::abs(row.distanceKm - reference.distanceKm) <= 0.001 + 0.01, values);
        QVERIFY2(std::abs(row.speedDegPerSec - reference.speedDegPerSec) <=
                     1e-6 + 0.0011 * reference.speedDegPerSec,
                 values);
    }

    void cliCsvEqualsTheComputation_data() {
        QTest::addColumn<QStringList>("siteArgs");
        QTest::addColumn<Site>("site");
        QTest::addColumn<bool>("withTable"); // utc.bin in the working directory
        QTest::newRow("default site") << QStringList() << Site() << false;
        QTest::newRow("options apart")
            << QStringList({"--lat", "-33.5", "--lon", "-147.72", "--elev", "12"})
            << siteAt(-33.5, -147.72, 12.0) << false;
        QTest::newRow("options joined, with a time table")
            << QStringList({"--lat=64.8", "--lon=-147.72", "--elev=-5"})
            << siteAt(64.8, -147.72, -5.0) << true;
    }

    // Every printed digit of the CSV equals the computation's; the start-up lines go to stderr.
    void cliCsvEqualsTheComputation() {
        QFETCH(QStringList, siteArgs);
        QFETCH(Site, site);
        QFETCH(bool, withTable);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(!withTable ||
                QFile::copy(ORBITRAK_BINARY_DIR "/utc.bin", folder.filePath("utc.bin")));
        const QString at = "2026-03-19T12:00:00.250Z";
        const ProgramRun cli = runProgram(ORBITRAK_CLI,
                                          QStringList({"sky", "--tle", ORBITRAK_ACTIVE_CATALOGUE,
                                                       "--at", at, "--csv", "--limit", "40"}) +
                                              siteArgs,
                                          folder.path());
        QCOMPARE(cli.exitCode, 0);
        QCOMPARE(cli.err,
                 QByteArray(withTable ? "init_time_data\ninit_time_data OK with default data\n"
                                      : "init_time_data\n"));

        const std::optional<UtcTable> table = loadUtcFile(ORBITRAK_BINARY_DIR "/utc.bin");
        QVERIFY(table);
        Catalogue catalogue;
        QCOMPARE(readCatalogueFile(ORBITRAK_ACTIVE_CATALOGUE, 40, catalogue), 0);
        const std::vector<LiveRow> rows =
            computeAt(catalogue, withTable ? TimeScales(*table) : TimeScales(), at, site);
        const QList<QByteArray> lines = cli.out.split('\n');
        QCOMPARE(lines.size(), 42); // header, 40 rows, the empty piece after the last line feed
        QCOMPARE(lines[0],
                 QByteArray("catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s"));
        for (std::size_t i = 0; i < 40; ++i) {
            const LiveRow& row = rows[i];
            QCOMPARE(lines[int(i) + 1],
                     QByteArray::number(catalogue[i].elements.satnum) + "," +
                         QByteArray::fromStdString(catalogue[i].nameLine).trimmed() + "," +
                         QByteArray::number(row.altitudeDeg, 'f', 9) + "," +
                         QByteArray::number(row.azimuthDeg, 'f', 9) + "," +
                         QByteArray::number(row.distanceKm, 'f', 6) + "," +
                         QByteArray::number(row.speedDegPerSec, 'f', 9));
        }
    }

    // The same sets written as two-line sets (a byte-order mark, CR LF, comments, every third
    // in Space-Track's "0 NAME" form) print the same rows, named by their designators; a date
    // alone is its 0h.
    void cliReadsTwoLineSets() {
        const QList<QByteArray> lines =
            readBytes(ORBITRAK_ACTIVE_CATALOGUE).split('\n').mid(0, 120);
        QByteArray three, two = "\xEF\xBB\xBF# two-line sets\n";
        QByteArrayList names;
        for (int k = 0; k < 40; ++k) {
            const QByteArray& line1 = lines[3 * k + 1];
            three += lines[3 * k] + '\n' + line1 + '\n' + lines[3 * k + 2] + '\n';
            const QByteArray designator = line1.mid(9, 8).trimmed();
            names << (k % 3 == 0 ? lines[3 * k].trimmed()
                                 : (designator.left(2).toInt() < 57 ? "20" : "19") +
                                       designator.left(2) + '-' + designator.mid(2));
            two += (k % 3 == 0 ? "0 " + lines[3 * k] + '\n' : QByteArray(k == 20 ? "#\n" : "")) +
                   line1 + '\n' + lines[3 * k + 2] + '\n';
        }
        QVERIFY(writeBytes("three.txt", three));
        QVERIFY(writeBytes("two.txt", two.replace("\n", "\r\n")));
        const auto sky = [](const char* file, const char* at) {
            return runProgram(ORBITRAK_CLI, {"sky", "--tle", file, "--at", at, "--csv"},
                              QDir::currentPath());
        };
        const ProgramRun fromThree = sky("three.txt", "2026-03-19T00:00:00Z");
        const ProgramRun fromTwo = sky("two.txt", "2026-03-19");
        QCOMPARE(fromTwo.exitCode, 0);
        const QList<QByteArray> expected = fromThree.out.split('\n'), got = fromTwo.out.split('\n');
        QCOMPARE(got.size(), 42);
        QCOMPARE(got.size(), expected.size());
        QCOMPARE(names[1], QByteArray("1964-063E"));
        for (int row = 1; row <= 40; ++row) {
            QList<QByteArray> want = expected[row].split(',');
            want[1] = names[row - 1];
            QCOMPARE(got[row].split(','), want);
        }
    }

    // The live table of the real catalogue at one instant, every cell of every row as the window
    // shows it, against each set computed alone by the scalar propagator: near-Earth sets (which
    // a tick propagates in a batch), deep-space sets, and sets whose elements give no position.
    void tableShowsEverySetAsComputedAlone() {
        Catalogue catalogue = activeCatalogue();
        QVERIFY(writeBytes("invalid.txt", kInvalidSets));
        Catalogue invalid;
        QCOMPARE(readCatalogueFile("invalid.txt", 0, invalid), 0);
        catalogue.satellites.insert(catalogue.satellites.end(), invalid.satellites.begin(),
                                    invalid.satellites.end());
        LiveTable table;
        const Site site = siteAt(47.4, 8.5, 500.0);
        const double jd = table.scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, 12));
        const ObservationInstant before = observationInstant(table.scales, jd - 1.0 / 86400, site);
        const ObservationInstant now = observationInstant(table.scales, jd, site);
        const Vec3 sun = sunPosition(jd + kWorkingToTtDays);
        struct Expected {
            double values[SatelliteTableModel::ColumnCount]; // by column; the name's unused
            QString sunlit;
            bool invalid;
        };
        std::vector<Expected> expected;
        int batched = 0;
        for (const CatalogueEntry& satellite : catalogue.satellites) {
            CatalogueEntry alone = satellite;
            const Vec3 a = topocentricEnu(alone, before), b = topocentricEnu(alone, now);
            const Vec3 position{alone.position[0], alone.position[1], alone.position[2]};
            const HorizonDirection direction = horizonDirection(b);
            const bool none = std::isnan(length(position));
            expected.push_back({{0.0, direction.altitudeDeg, direction.azimuthDeg,
                                 length(b) / 1000.0, angleBetween(a, b) * kDegreesPerRadian,
                                 now.utcJd - satellite.elements.jdsatepoch},
                                none                      ? QString()
                                : isSunlit(position, sun) ? "yes"
                                                          : "no",
                                none});
            batched += sgp4BatchVectorises(satellite.elements);
        }
        QVERIFY(batched > 10000 && catalogue.size() - std::size_t(batched) > 500);

        table.session.setSite(site);
        table.session.setCatalogue(catalogue);
        // A tick hands long integrations to its pool: ticks at the instant until every row that
        // has a position shows it.
        const auto placed = [&] {
            table.session.moveTo(jd);
            for (std::size_t i = 0; i < expected.size(); ++i)
                if (std::isnan(table.session.rows()[i].altitudeDeg) && !expected[i].invalid)
                    return false;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(placed(), 60000);

        const SatelliteTableModel& model = table.model;
        QCOMPARE(model.rowCount(), int(catalogue.size()));
        const QColor amber(230, 140, 0), red(204, 0, 0);
        const int decimals[] = {0, 1, 1, 0, 2, 1};
        int stale = 0, old = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            const Expected& e = expected[std::size_t(row)];
            const CatalogueEntry& satellite = catalogue[std::size_t(row)];
            const auto cell = [&](int column, int role = Qt::DisplayRole) {
                return model.index(row, column).data(role);
            };
            const QByteArray where = QByteArray(satellite.displayName) + ", column ";
            QCOMPARE(cell(SatelliteTableModel::Name).toString(),
                     QString::fromLatin1(satellite.displayName));
            const double altitude = e.values[SatelliteTableModel::Altitude];
            const QColor rowColour = altitude > 20.0  ? QColor(0, 204, 0)
                                     : altitude > 0.0 ? QColor(0, 0, 0)
                                                      : QColor(153, 0, 0);
            for (int column = SatelliteTableModel::Altitude; column <= SatelliteTableModel::Age;
                 ++column) {
                const double want = e.values[column];
                const double got = cell(column, SatelliteTableModel::SortRole).toDouble();
                const QString text = cell(column).toString();
                const QByteArray message =
                    where + QByteArray::number(column) + ": " + text.toLatin1();
                const double error = column == SatelliteTableModel::Azimuth
                                         ? std::remainder(got - want, 360.0)
                                         : got - want;
                if (std::isnan(want))
                    QVERIFY2(std::isnan(got) && text.isEmpty(), message);
                else
                    QVERIFY2(std::abs(error) <= 1e-6 &&
                                 text == QString::number(got, 'f', decimals[column]),
                             message);
                const QColor colour = cell(column, Qt::ForegroundRole).value<QBrush>().color();
                const bool ageColour = column == SatelliteTableModel::Age && want > 3.0;
                QVERIFY2(colour == (!ageColour ? rowColour : want > 10.0 ? red : amber), message);
            }
            QCOMPARE(cell(SatelliteTableModel::Sunlit).toString(), e.sunlit);
            QCOMPARE(cell(SatelliteTableModel::Sunlit, Qt::ToolTipRole).toString(),
                     e.invalid ? QStringLiteral("Decayed or invalid elements.") : QString());
            stale += e.values[SatelliteTableModel::Age] > 3.0;
            old += e.values[SatelliteTableModel::Age] > 10.0;
        }
        QVERIFY(stale > old && old > 0);
        for (std::size_t k = 1; k <= invalid.size(); ++k)
            QVERIFY(expected[expected.size() - k].invalid);
    }

    // orbitrak-cli sky: sets without a position have empty fields, never "nan".
    void cliSkyLeavesNoPositionEmpty() {
        QVERIFY(writeBytes("invalid.txt", kInvalidSets));
        const QStringList args = {"sky", "--tle", "invalid.txt", "--at", "2026-03-19T12:00:00Z"};
        const ProgramRun csv = runProgram(ORBITRAK_CLI, args + QStringList("--csv"));
        QCOMPARE(csv.out,
                 QByteArray("catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s\n"
                            "99991,BELOW THE SURFACE,,,,\n99992,BEYOND THE MOON,,,,\n"
                            "99993,FALLEN,,,,\n"));
        const ProgramRun table = runProgram(ORBITRAK_CLI, args);
        QCOMPARE(table.exitCode, 0);
        QVERIFY2(table.out.contains("FALLEN") && !table.out.contains("nan"), table.out);
    }

    // A low orbit and resonant sets near their epoch are computed at once, every call; resonant
    // sets 69 years from theirs go to the pool with NaN rows, and come back with the very bits
    // a computation that waits for every set gives.
    void farEpochSetsArePreparedInTheBackground() {
        // 2026-03-19 18:00, half-way between two resonance steps of the far sets.
        double jd = 2461119.25;
        const std::size_t ordinary = 3, distant = 8;
        const std::string text =
            group(kIssName).toStdString() +
            hostile::text(hostile::resonantSets(ordinary - 1, jd - 2.0)) +
            hostile::text(hostile::resonantSets(distant, hostile::earliestEpoch()));
        QVERIFY(writeBytes("resonant.txt", QByteArray::fromStdString(text)));
        Catalogue fresh;
        QCOMPARE(readCatalogueFile("resonant.txt", 0, fresh), 0);
        QCOMPARE(fresh.size(), ordinary + distant);
        const Site site;
        const auto waitingFor = [&](double instant) {
            Catalogue copy = fresh;
            return SkyComputation(scales).compute(copy, instant, site,
                                                  SkyComputation::Wait::ForEverySet);
        };

        const std::vector<LiveRow> expected = waitingFor(jd);
        Catalogue catalogue = fresh;
        SkyComputation sky(scales);
        std::vector<LiveRow> rows = sky.compute(catalogue, jd, site);
        QCOMPARE(sky.setsInPreparation(), distant);
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            QVERIFY(std::isfinite(expected[i].altitudeDeg));
            QVERIFY(i < ordinary ? sameBits(rows[i], expected[i])
                                 : std::isnan(rows[i].altitudeDeg));
        }
        // Ticks a third of a second apart until the pool has handed every set back.
        const auto tick = [&] {
            jd += 1.0 / 86400.0 / 3.0;
            rows = sky.compute(catalogue, jd, site);
            return sky.setsInPreparation() == 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(tick(), 60000);
        const std::vector<LiveRow> last = waitingFor(jd);
        for (std::size_t i = 0; i < fresh.size(); ++i)
            QVERIFY2(sameBits(rows[i], last[i]), catalogue[i].nameLine.c_str());

        // A call that waits for every set also waits for those an earlier tick handed over.
        Catalogue mixed = fresh;
        SkyComputation both(scales);
        both.compute(mixed, jd, site);
        rows = both.compute(mixed, jd, site, SkyComputation::Wait::ForEverySet);
        QCOMPARE(both.setsInPreparation(), std::size_t(0));
        for (std::size_t i = 0; i < fresh.size(); ++i)
            QVERIFY(sameBits(rows[i], last[i]));

        // Ticks across one of the far sets' 720-minute steps (at 12:00 UTC): the second between
        // a tick's two instants straddles it, and no tick may start an integration anew.
        jd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, 11, 59, 58));
        Catalogue steady = fresh;
        SkyComputation across(scales);
        across.compute(steady, jd, site, SkyComputation::Wait::ForEverySet);
        for (int i = 0; i < 12; ++i) {
            jd += 1.0 / 86400.0 / 3.0;
            rows = across.compute(steady, jd, site);
            QCOMPARE(across.setsInPreparation(), std::size_t(0));
            QVERIFY(std::isfinite(rows.back().altitudeDeg));
        }
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
