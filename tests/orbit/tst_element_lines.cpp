// Element lines: the one reader in its three strictnesses side by side on the same lines, the
// rules every reader and writer shares (catalogue numbers, check digits, epochs, names), how
// the lines of a text form sets, and a real catalogue read and written back whole.
#include "orbit/element_lines.h"
#include "orbit/tle.h"

#include <QFile>
#include <QTest>

#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace {

const QByteArray kLine1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const QByteArray kLine2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";

// The line with text written from a 1-based column on.
QByteArray put(QByteArray line, int column, const QByteArray& text) {
    return line.replace(column - 1, text.size(), text);
}

// A whole line with its check digit made right, so that only the edited field can refuse it.
QByteArray checked(QByteArray line) {
    if (line.size() == 69)
        line[68] = char('0' + elementLineCheckDigit(line.toStdString()));
    return line;
}

// A value of the lines as one strictness reads them, "-" when it refuses them.
QByteArray valueRead(const QByteArray& line1, const QByteArray& line2, const QByteArray& what,
                     ElementLineStrictness strictness) {
    const std::optional<MeanElements> e =
        readElementLines(line1.toStdString(), line2.toStdString(), "", strictness);
    if (!e)
        return "-";
    if (what == "class")
        return QByteArray(1, e->classificationType);
    ElementSet set;
    initElementSet(*e, 'a', 1, set);
    const double value = what == "satnum"      ? double(set.satnum)
                         : what == "jd"        ? set.jdsatepoch
                         : what == "epochdays" ? e->epochDay
                         : what == "nddot"     ? e->meanMotionDdot
                         : what == "bstar"     ? e->bstar
                         : what == "ecco"      ? e->eccentricity
                                               : e->meanMotion;
    return QByteArray::number(value, 'g', 12);
}

} // namespace

class TestElementLines : public QObject {
    Q_OBJECT

private slots:
    // The same lines through the three strictnesses: a value as each reads it (published,
    // firmware, historical), "-" where it refuses them. Published sets refuse what is not in its
    // form, the firmware takes blanks among digits and refuses a field that runs into the one
    // before, satell.txt's reading refuses nothing and keeps what it read before the first field
    // that does not read. An edit is LINE@COLUMN:TEXT, LINE/COLUMNS (cut, a line feed after) or
    // LINE+TEXT (appended); check digits are made right after.
    void strictness_data() {
        QTest::addColumn<QByteArray>("line1");
        QTest::addColumn<QByteArray>("line2");
        QTest::addColumn<QByteArray>("what");
        QTest::addColumn<QByteArrayList>("expected");
        const auto row = [](const char* name, const char* edits, const char* what,
                            const char* expected) {
            QByteArray lines[2] = {kLine1, kLine2};
            for (const QByteArray& edit : QByteArray(edits).split('|')) {
                if (edit.isEmpty())
                    continue;
                QByteArray& line = lines[edit[0] - '1'];
                const int colon = edit.indexOf(':');
                if (edit[1] == '@')
                    line = put(line, edit.mid(2, colon - 2).toInt(), edit.mid(colon + 1));
                else if (edit[1] == '/')
                    line = line.left(edit.mid(2).toInt()) + '\n';
                else if (edit[1] == '+')
                    line += edit.mid(2);
            }
            QTest::newRow(name) << checked(lines[0]) << checked(lines[1]) << QByteArray(what)
                                << QByteArray(expected).split(' ');
        };
        row("as published", "", "bstar", "2.8098e-05 2.8098e-05 2.8098e-05");
        row("n'': negative", "1@45:-30915-6", "nddot", "-3.0915e-07 -3.0915e-07 -3.0915e-07");
        row("n'': blank digits", "1@45: 1 2 3-5", "nddot", "- 1.0203e-06 1.0203e-06");
        row("n'': blank exponent sign", "1@45: 12345 5", "nddot", "- 12345 12345");
        row("n'': blank exponent", "1@45: 12345- ", "nddot", "- - 0.12345");
        row("B*: -11606-4", "1@54:-11606-4", "bstar", "-1.1606e-05 -1.1606e-05 -1.1606e-05");
        row("B*: +28098+0", "1@54:+28098+0", "bstar", "0.28098 0.28098 0.28098");
        row("e: 0006703", "2@27:0006703", "ecco", "0.0006703 0.0006703 0.0006703");
        row("e: leading blanks", "2@27:   6703", "ecco", "- 0.0006703 0.0006703");
        row("e: inner blank", "2@27:12 4567", "ecco", "- 0.1204567 0.1204567");
        row("e: all blank", "2@27:       ", "ecco", "- 0 0");
        row("blank class and designator", "1@8:          ", "class", "- U U");
        row("blank designator", "1@10:        ", "epochdays",
            "179.78495062 179.78495062 179.78495062");
        row("lower-case class", "1@8:u", "class", "- - u");
        row("a field against the one before", "2@17:0", "ecco", "0.1859667 - 0.1859667");
        row("exponent in a decimal", "2@53:1.08241e+1 ", "revPerDay", "10.8241 - 10.8241");
        row("mean motion zero", "2@53: 0.00000000", "revPerDay", "- 0 0");
        row("epoch year 56 is 2056", "1@19:56001.00000000", "jd", "2471998.5 2471998.5 2471998.5");
        row("epoch year 57 is 1957", "1@19:57001.00000000", "jd", "2435839.5 2435839.5 2435839.5");
        row("2000 day 60 is Feb 29", "1@19:00060.00000000", "jd", "2451603.5 2451603.5 2451603.5");
        row("2001 day 60 is Mar 1", "1@19:01060.00000000", "jd", "2451969.5 2451969.5 2451969.5");
        row("number: leading blanks", "1@3:    5|2@3:    5", "satnum", "5 5 5");
        row("number: blanks among digits", "1@3:1 2 3|2@3:1 2 3", "satnum", "- 10203 10203");
        row("number: line 2 differs, line 2's kept", "2@3:00006", "satnum", "- - 6");
        row("number: alike, written apart", "2@3:    5", "satnum", "5 - 5");
        row("Alpha-5 A0001", "1@3:A0001|2@3:A0001", "satnum", "100001 100001 100001");
        row("Alpha-5 in line 1, line 2 too short", "1@3:B0042|2/1", "satnum", "- - 110042");
        row("I is no Alpha-5 letter", "2@3:I0001", "satnum", "- - 5");
        row("a bad number ends line 1", "1@3:a0001", "epochdays", "- - 0");
        row("short line 1 read to its end", "1/32|2+\n", "epochdays", "- - 179.78495062");
        row("short line 1, no field beyond", "1/32|2+\n", "bstar", "- - 0");
        row("line 2 cut short", "1+\n|2/24", "ecco", "- - 0");
        row("CR LF ends", "1+\r\n|2+\r\n", "revPerDay", "- - 10.82419157");
        row("blanks after the line", "1+  |2+ ", "bstar", "2.8098e-05 2.8098e-05 2.8098e-05");
        QTest::newRow("check digit") << put(kLine1, 69, "4") << kLine2 << QByteArray("bstar")
                                     << QByteArrayList{"-", "-", "2.8098e-05"};
    }

    void strictness() {
        QFETCH(QByteArray, line1);
        QFETCH(QByteArray, line2);
        QFETCH(QByteArray, what);
        QFETCH(QByteArrayList, expected);
        const ElementLineStrictness modes[] = {ElementLineStrictness::Published,
                                               ElementLineStrictness::Firmware,
                                               ElementLineStrictness::Historical};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(valueRead(line1, line2, what, modes[i]), expected[i]);
    }

    // The rules every reader and writer of element lines shares. "-": refused.
    void elementLines_data() {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        int n = 0;
        const auto row = [&n](const char* rule, const QByteArray& input, const QByteArray& out) {
            QTest::addRow("%s #%d", rule, ++n) << QByteArray(rule) << input << out;
        };
        for (const char* refused :
             {"I0001", "O0001", "a0001", "1 2 3", "-0001", "     ", "A001", "A00010"})
            row("decode", refused, "-");
        row("decode", "    7", "7");
        row("decode", "A0000", "100000");
        row("decode", "J0000", "180000"); // I left out
        row("decode", "P0000", "230000"); // O left out
        row("decode", "Z9999", "339999");
        row("encode", "340000", "-");
        row("encode", "-1", "-");
        row("write", "99999", "99999"); // a whole set written with that number
        row("write", "100000", "A0000");
        row("write", "339999", "Z9999");
        row("write", "340000", "-");
        row("write", "999999999", "-");
        row("check digit", kLine1, "3"); // column 69 does not count
        row("check digit", kLine2, "7");
        row("check digit", "1 A-+.", "2"); // '-' counts one, other signs nothing
        row("strict 1", kLine1 + "  ", kLine1);
        row("strict 1", kLine2, "-");               // line number
        row("strict 1", put(kLine1, 69, "4"), "-"); // check digit
        row("strict 1", kLine1.left(68), "-");
        row("strict 1", kLine1 + "0", "-");
        row("strict 1", put(kLine1, 2, "0"), "-");
        row("strict 1", put(kLine1, 16, "\t"), "-"); // printable ASCII only
        row("strict 2", kLine2, kLine2);
        // The name of a set without a name line.
        row("name", kLine1, "1958-002B");
        row("name", put(kLine1, 10, "57001ABC"), "1957-001ABC");
        row("name", put(kLine1, 10, "56001A  "), "2056-001A");
        row("name", put(kLine1, 10, "        "), "5");
        row("name", put(put(kLine1, 3, "A0005"), 10, "        "), "100005");
        row("name", put(kLine1, 10, "X 1     "), "X 1");
        row("name", "1 255", "255");
        // The epoch moved by SECONDS: columns 19 to 32 after, with the check digit made right.
        row("epoch", "1.5|00179.78495062", "00179.78496798");
        row("epoch", "-1.5|00179.78495062", "00179.78493326");
        row("epoch", "1|25365.99999000", "26001.00000157");
        row("epoch", "1|24365.99999000", "24366.00000157"); // leap year
        row("epoch", "1|24366.99999000", "25001.00000157");
        row("epoch", "-1|26001.00000100", "25365.99998943");
        row("epoch", "-1|25001.00000100", "24366.99998943");
        row("epoch", "1|99365.99999000", "00001.00000157"); // 1999 to 2000
        row("epoch", "1|56366.99999000", "-");              // 2057 has no two digits
        row("epoch", "-1|57001.00000000", "-");
        row("epoch", "86400|26 45.50000000", "26 46.50000000");
        row("epoch", "1|26x45.50000000", "-");
        row("epoch", "1|26045,50000000", "-");
    }

    void elementLines() {
        QFETCH(QByteArray, rule);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        const std::string in = input.toStdString();
        std::optional<std::string> out;
        if (rule == "decode") {
            if (const std::optional<long> n = decodeCatalogueNumber(in))
                out = std::to_string(*n);
        } else if (rule == "encode") {
            out = encodeCatalogueNumber(std::stol(in));
        } else if (rule == "write") {
            MeanElements e = *readElementLines(kLine1.toStdString(), kLine2.toStdString(), "X");
            e.noradCatId = std::stol(in);
            if (const std::optional<ElementLines> lines = writeElementLines(e)) {
                const bool same = lines->line1.substr(2, 5) == lines->line2.substr(2, 5);
                out = strictElementLine(lines->line1, '1') &&
                              strictElementLine(lines->line2, '2') && same
                          ? lines->line1.substr(2, 5)
                          : "mismatch";
            }
        } else if (rule == "check digit") {
            out = std::to_string(elementLineCheckDigit(in));
        } else if (rule == "epoch") {
            const QList<QByteArray> parts = input.split('|');
            const std::string line1 = put(kLine1, 19, parts[1]).toStdString() + "\r\n";
            if (const auto shifted =
                    shiftElementEpoch(line1, kLine2.toStdString(), parts[0].toDouble())) {
                std::string rest = shifted->line1;
                rest.replace(18, 14, parts[1].toStdString());
                const bool intact = strictElementLine(shifted->line1.substr(0, 69), '1') &&
                                    rest.substr(0, 68) == line1.substr(0, 68) &&
                                    rest.substr(69) == "\r\n" &&
                                    shifted->line2 == kLine2.toStdString();
                out = intact ? shifted->line1.substr(18, 14) : "broken";
            }
        } else if (rule == "name") {
            out = elementSetNameFromLine1(in);
        } else if (const auto line = strictElementLine(in, rule.back())) {
            out = std::string(*line);
        }
        QCOMPARE(QByteArray::fromStdString(out.value_or("-")), expected);
    }

    // Which lines form sets: each set as NAME@LINE:NUMBER1/NUMBER2 ("-" without a name line,
    // "none" for a missing line).
    void grouping_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("sets");
        const auto row = [](const char* name, const QByteArray& text, const QByteArray& sets) {
            QTest::newRow(name) << text << sets;
        };
        const QByteArray one = kLine1 + "\n" + kLine2 + "\n";
        const QByteArray named =
            "ISS (ZARYA)\n" + put(kLine1, 3, "25544") + "\n" + put(kLine2, 3, "25544") + "\n";
        row("three lines", named, "ISS (ZARYA)@1:25544/25544");
        row("two lines, mark, CR LF, comments",
            "\xEF\xBB\xBF# from a tool\r\n" + QByteArray(one + one).replace("\n", "\r\n") + "#\r\n",
            "-@2:00005/00005 -@4:00005/00005");
        row("mixed, blank lines", one + "\n" + named + "  \n" + one,
            "-@1:00005/00005 ISS (ZARYA)@4:25544/25544 -@8:00005/00005");
        row("Space-Track's 0 NAME", "0 ISS (ZARYA)\n" + one, "ISS (ZARYA)@1:00005/00005");
        row("a line missing", kLine1 + "\n" + named + kLine2 + "\nNAME\n" + kLine1 + "\n",
            "-@1:00005/none ISS (ZARYA)@2:25544/25544 -@5:none/00005 -@7:00005/none");
        row("page around", "<pre>\n" + named + "</pre>\n<p>1 2</p>", "ISS (ZARYA)@2:25544/25544");
        row("no sets", "hello\n\n# 1 2\n", {});
    }

    void grouping() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, sets);
        QByteArrayList got;
        const auto number = [](std::string_view line) {
            return line.empty() ? QByteArray("none") : QByteArray(line.substr(2, 5).data(), 5);
        };
        const std::string whole = text.toStdString();
        for (const GroupedElementLines& set : groupElementLines(whole))
            got << (set.hasNameLine ? QByteArray(set.name.data(), int(set.name.size())) : "-") +
                       "@" + QByteArray::number(qulonglong(set.lineNumber)) + ":" +
                       number(set.line1) + "/" + number(set.line2);
        QCOMPARE(got.join(' '), sets);
    }

    // Every catalogue number comes back from its five columns.
    void catalogueNumbersRoundTrip() {
        for (long n = 0; n <= kMaxCatalogueNumber; ++n) {
            const std::optional<std::string> field = encodeCatalogueNumber(n);
            if (!field || field->size() != 5 || decodeCatalogueNumber(*field) != n)
                QFAIL(qPrintable(QString::number(n)));
        }
    }

    // Every set of a real catalogue becomes mean elements, their values become the text an
    // orbit mean-elements message holds, and the two lines written back from that are the lines
    // read, check digits included.
    void meanElementsRoundTrip() {
        QFile file(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        int sets = 0;
        for (int g = 0; g + 2 < lines.size(); g += 3, ++sets) {
            const std::string l1 = lines[g + 1].trimmed().toStdString();
            const std::string l2 = lines[g + 2].trimmed().toStdString();
            std::optional<MeanElements> e = readElementLines(l1, l2, "NAME");
            QVERIFY2(e, l1.c_str());
            const auto epoch = readIsoEpoch(isoEpochText(e->epochYear, e->epochDay));
            QVERIFY(epoch);
            std::tie(e->epochYear, e->epochDay) = *epoch;
            for (double* v : {&e->meanMotion, &e->eccentricity, &e->inclination, &e->raOfAscNode,
                              &e->argOfPericenter, &e->meanAnomaly, &e->bstar, &e->meanMotionDot,
                              &e->meanMotionDdot})
                *v = *readDecimal(shortestDecimal(*v));
            const std::optional<ElementLines> written = writeElementLines(*e);
            QVERIFY(written);
            QCOMPARE(QByteArray::fromStdString(written->line1), QByteArray::fromStdString(l1));
            QCOMPARE(QByteArray::fromStdString(written->line2), QByteArray::fromStdString(l2));
        }
        QCOMPARE(sets, 14710);
    }
};

QTEST_GUILESS_MAIN(TestElementLines)
#include "tst_element_lines.moc"
