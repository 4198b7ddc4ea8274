// The published SGP4/SDP4 verification run (AFSPC mode 'a', WGS-72) against its reference
// output: every position within 1e-6 km, every velocity within 1e-8 km/s, every error code at
// the same time step. Then reading element lines (fix-ups, scans, epochs, catalogue numbers), the
// model's behaviour beyond the verification run, and orbitrak-cli propagate from the outside.
#include "orbit/element_lines.h"
#include "orbit/sgp4.h"
#include "orbit/sgp4_batch.h"
#include "orbit/tle.h"
#include "orbit/tle_scan.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

// Counts every allocation through operator new in this program.
static std::atomic<long> g_allocations{0};
void* operator new(std::size_t n) {
    ++g_allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kXpdotp = 1440.0 / (2.0 * kPi); // rev/day per rad/min
const QByteArray kLine1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const QByteArray kLine2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";

struct Parsed {
    ElementSet set;
    QByteArray line1, line2; // the buffers after parsing
    bool tailsIntact = true; // nothing read or written past a line's end
};

// Parses from buffers that still hold an older line's bytes after the NUL, as a reader's do.
Parsed parse(const QByteArray& l1, const QByteArray& l2, char opsMode = 'a') {
    char b[2][256];
    const QByteArray* lines[2] = {&l1, &l2};
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 256; ++k)
            b[i][k] = k % 2 ? '7' : ' ';
        std::memcpy(b[i], lines[i]->constData(), std::min(int(lines[i]->size()) + 1, 255));
    }
    char before[2][256];
    std::memcpy(before, b, sizeof b);
    Parsed p;
    double start, stop, step;
    parseTle(b[0], b[1], 'c', 'm', opsMode, 1, start, stop, step, p.set);
    p.line1 = b[0];
    p.line2 = b[1];
    for (int i = 0; i < 2; ++i) {
        const int end = std::min(int(lines[i]->size()) + 1, 255);
        p.tailsIntact &= std::memcmp(b[i] + end, before[i] + end, 256 - end) == 0;
    }
    return p;
}

// The line with text written from a 1-based column on.
QByteArray put(QByteArray line, int column, const QByteArray& text) {
    return line.replace(column - 1, text.size(), text);
}

// What a table row checks: a field in the TLE's own units, or a part of a buffer ("line1@44").
QByteArray field(const Parsed& p, const QByteArray& what, int width) {
    if (what.startsWith("line"))
        return (what[4] == '1' ? p.line1 : p.line2).mid(what.mid(6).toInt() - 1, width);
    const ElementSet& s = p.set;
    const double tumin = 13.446839696959309; // WGS-72
    const double value = what == "satnum"      ? s.satnum
                         : what == "jd"        ? s.jdsatepoch
                         : what == "epochdays" ? s.epochdays
                         : what == "nddot"     ? s.nddot * kXpdotp * 1440.0 * 1440.0
                         : what == "bstar"     ? s.bstar
                         : what == "ecco"      ? s.ecco
                         : what == "revPerDay" ? std::pow(s.a, -1.5) / tumin * kXpdotp
                                               : NAN;
    return QByteArray::number(value, 'g', 12);
}

struct Step {
    double t = 0;
    int error = 0; // 0: r and v hold the state
    double rv[6] = {};
};

// A set of the verification run: its element lines, line 2 with the run's start, stop and step
// after column 69, and the reference output.
struct VerificationSet {
    QByteArray name, line1, line2;
    std::vector<Step> expected;
};

std::vector<VerificationSet> verificationSets() {
    std::vector<VerificationSet> sets;
    const QList<QByteArray> tle = readBytes(ORBITRAK_TEST_DATA "/sgp4/SGP4-VER.TLE").split('\n');
    QByteArray comment;
    for (int i = 0; i + 1 < tle.size(); ++i) {
        if (tle[i].startsWith('#'))
            comment = tle[i].mid(1).simplified();
        else if (tle[i].startsWith("1 ") && tle[i + 1].startsWith("2 "))
            sets.push_back({tle[i + 1].mid(2, 5).trimmed() + " " + comment,
                            tle[i] + '\n',
                            tle[++i] + '\n',
                            {}});
    }
    // "<number> xx" opens a set; then a line per step (t, x, y, z, vx, vy, vz, ...) or
    // "# error CODE at T" where the run of the set stops.
    int current = -1;
    for (const QByteArray& line :
         readBytes(ORBITRAK_TEST_DATA "/sgp4/afspc-reference.out").split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        Step s;
        if (f.size() == 2 && f[1] == "xx")
            ++current;
        if (current < 0 || current >= int(sets.size()) || f.size() == 2)
            continue;
        if (line.startsWith("# error")) {
            s.error = f.value(2).toInt();
            s.t = f.value(4).toDouble();
        } else if (f.size() >= 7) {
            s.t = f[0].toDouble();
            for (int k = 0; k < 6; ++k)
                s.rv[k] = f[1 + k].toDouble();
        } else {
            continue;
        }
        sets[current].expected.push_back(s);
    }
    return current + 1 == int(sets.size()) ? sets : std::vector<VerificationSet>();
}

// Every set of the test catalogue, initialised.
std::vector<ElementSet> catalogueSets() {
    std::vector<ElementSet> sets;
    const QList<QByteArray> lines =
        readBytes(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt").split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].startsWith("1 ") && lines[i + 1].startsWith("2 "))
            sets.push_back(parse(lines[i], lines[i + 1]).set);
    return sets;
}

// Output arrays for a batch of n propagations.
struct BatchResults {
    explicit BatchResults(std::size_t n) : rv(6, std::vector<double>(n)), error(n) {}
    std::vector<std::vector<double>> rv;
    std::vector<int> error;
    Sgp4States states() {
        return {rv[0].data(), rv[1].data(), rv[2].data(), rv[3].data(),
                rv[4].data(), rv[5].data(), error.data()};
    }
};

// The batch's k-th result against sgp4Propagate's for the same set and time: the same code, and
// the state within 1e-6 km and 1e-9 km/s where there is one. Empty when they agree.
QByteArray batchMismatch(ElementSet set, double t, const BatchResults& got, std::size_t k) {
    double r[3], v[3];
    const bool ok = sgp4Propagate(1, set, t, r, v);
    const QByteArray at = QByteArray::number(set.satnum) + " at " + QByteArray::number(t);
    if (got.error[k] != set.error)
        return at + ": code " + QByteArray::number(got.error[k]) + " for " +
               QByteArray::number(set.error);
    if (!ok && set.error != kSgp4Decayed)
        return std::isnan(got.rv[0][k]) ? QByteArray() : at + ": a state without one";
    for (int c = 0; c < 6; ++c) {
        const double d = std::fabs(got.rv[c][k] - (c < 3 ? r[c] : v[c - 3]));
        if (!(d <= (c < 3 ? 1e-6 : 1e-9)))
            return at + ": component " + QByteArray::number(c) + " off by " + QByteArray::number(d);
    }
    return {};
}

bool sameBits(const double* a, const double* b, int n) {
    return std::memcmp(a, b, sizeof(double) * n) == 0;
}

// Near-Earth, the same in the Alpha-5 form, one failing at its epoch (code 3), one decaying
// within an hour (code 6).
const QByteArray kCatalogue =
    "SET ONE\n" + kLine1 + "\n" + kLine2 + "\nSET ALPHA\n" + put(kLine1, 3, "A0005") + "\n" +
    put(kLine2, 3, "A0005") +
    "\nFAILS AT EPOCH\n"
    "1 33334U 78066F   06174.85818871  .00000620  00000-0  10000-3 0  6809\n"
    "2 33334  68.4714 236.1303 5602877 123.7484 302.5767  0.00001000 67521\n"
    "DECAYS\n"
    "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n"
    "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n";

} // namespace

class TestOrbit : public QObject {
    Q_OBJECT

    std::vector<VerificationSet> sets_;
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        std::setlocale(LC_ALL, "C");
        sets_ = verificationSets();
        QCOMPARE(int(sets_.size()), 33); // each with its reference output
        QVERIFY(writeBytes(dir_.filePath("sets.txt"), kCatalogue));
    }

    void verification_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(sets_.size()); ++i)
            QTest::newRow(sets_[i].name.constData()) << i;
    }

    void verification() {
        QFETCH(int, index);
        const VerificationSet& set = sets_[index];
        const QList<QByteArray> times = set.line2.mid(69).simplified().split(' ');
        QCOMPARE(times.size(), 3);
        const double start = times[0].toDouble(), stop = times[1].toDouble();
        const double step = times[2].toDouble();
        ElementSet satrec = parse(set.line1, set.line2).set;

        // The epoch first, then start to stop by step, and stop itself; a failure ends the run.
        std::vector<Step> got;
        auto run = [&](double t) {
            Step s;
            s.t = t;
            sgp4Propagate(1, satrec, t, s.rv, s.rv + 3);
            s.error = satrec.error;
            got.push_back(s);
            return s.error == 0;
        };
        if (run(0.0)) {
            double t = std::fabs(start) > 1e-8 ? start - step : start;
            while (t < stop && run(t = std::min(t + step, stop))) {
            }
        }

        QCOMPARE(got.size(), set.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            const Step &g = got[i], &e = set.expected[i];
            const QByteArray at = "t = " + QByteArray::number(e.t, 'f', 8);
            QVERIFY2(std::fabs(g.t - e.t) < 1e-6, at.constData());
            QVERIFY2(g.error == e.error,
                     (at + ": code " + QByteArray::number(g.error)).constData());
            for (int k = 0; k < 6 && e.error == 0; ++k) {
                const double tolerance = k < 3 ? 1e-6 : 1e-8;
                QVERIFY2(std::fabs(g.rv[k] - e.rv[k]) <= tolerance,
                         (at + ": component " + QByteArray::number(k) + " is " +
                          QByteArray::number(g.rv[k], 'f', 10) + ", expected " +
                          QByteArray::number(e.rv[k], 'f', 9))
                             .constData());
            }
        }
    }

    void parsing_data() {
        QTest::addColumn<QByteArray>("line1");
        QTest::addColumn<QByteArray>("line2");
        QTest::addColumn<QByteArray>("what");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* name, const QByteArray& l1, const QByteArray& l2,
                            const char* what, const char* expected) {
            QTest::newRow(name) << l1 << l2 << QByteArray(what) << QByteArray(expected);
        };
        const QByteArray nddotNegative = put(kLine1, 45, "-30915-6");
        row("n'': blank sign, zero", put(kLine1, 45, " 00000-0"), kLine2, "nddot", "0");
        row("n'': sign moved, point set", nddotNegative, kLine2, "line1@44", "-.30915-6");
        row("n'': negative", nddotNegative, kLine2, "nddot", "-3.0915e-07");
        row("n'': blank digits", put(kLine1, 45, " 1 2 3-5"), kLine2, "nddot", "1.0203e-06");
        row("n'': blank exponent", put(kLine1, 45, " 12345- "), kLine2, "nddot", "0.12345");
        row("B*: point set", kLine1, kLine2, "line1@53", " .28098-4");
        row("B*: -11606-4", put(kLine1, 54, "-11606-4"), kLine2, "bstar", "-1.1606e-05");
        row("B*: +28098+0", put(kLine1, 54, "+28098+0"), kLine2, "bstar", "0.28098");
        row("e: point set", kLine1, kLine2, "line2@26", ".1859667");
        row("e: 0006703", kLine1, put(kLine2, 27, "0006703"), "ecco", "0.0006703");
        row("e: leading blanks", kLine1, put(kLine2, 27, "   6703"), "ecco", "0.0006703");
        row("e: inner blank", kLine1, put(kLine2, 27, "12 4567"), "ecco", "0.1204567");
        row("e: all blank", kLine1, put(kLine2, 27, "       "), "ecco", "0");
        const QByteArray noDesignator = put(kLine1, 8, "          ");
        row("blank class and designator", noDesignator, kLine2, "line1@8", "U .______ ");
        row("blank designator still scans", noDesignator, kLine2, "epochdays", "179.78495062");
        row("epoch year 56 is 2056", put(kLine1, 19, "56001.00000000"), kLine2, "jd", "2471998.5");
        row("epoch year 57 is 1957", put(kLine1, 19, "57001.00000000"), kLine2, "jd", "2435839.5");
        row("day 1.5 is noon", put(kLine1, 19, "00001.50000000"), kLine2, "jd", "2451545");
        row("2000 day 60 is Feb 29", put(kLine1, 19, "00060.00000000"), kLine2, "jd", "2451603.5");
        row("2001 day 60 is Mar 1", put(kLine1, 19, "01060.00000000"), kLine2, "jd", "2451969.5");
        row("n: column 53 blank", kLine1, put(kLine2, 53, " 1.00270000"), "revPerDay", "1.0027");
        row("n: column 53 set", kLine1, put(kLine2, 53, "15.72125391"), "revPerDay", "15.72125391");
        // Line 2's catalogue number is the one kept.
        row("number: line 2 wins", kLine1, put(kLine2, 3, "00006"), "satnum", "6");
        row("number: leading blanks", kLine1, put(kLine2, 3, "    6"), "satnum", "6");
        row("Alpha-5 A0001", kLine1, put(kLine2, 3, "A0001"), "satnum", "100001");
        row("Alpha-5 in line 1", put(kLine1, 3, "B0042"), "2\n", "satnum", "110042");
        row("I is no Alpha-5 letter", kLine1, put(kLine2, 3, "I0001"), "satnum", "5");
        row("scan stops at a bad number", put(kLine1, 3, "a0001"), kLine2, "epochdays", "0");
        const QByteArray short1 = "1 00005U 58002B   00179.78495062\n";
        row("short line 1 read to its end", short1, kLine2 + '\n', "epochdays", "179.78495062");
        row("short line 1, no field beyond", short1, kLine2 + '\n', "bstar", "0");
        row("line 2 cut short", kLine1 + '\n', "2 00005  34.2682 348.724\n", "ecco", "0");
        row("line 2 too short for a number", kLine1, "2\n", "satnum", "5");
        row("CR LF ends", kLine1 + "\r\n", kLine2 + "\r\n", "revPerDay", "10.82419157");
        row("blank after the line", kLine1 + " \n", kLine2 + " \n", "bstar", "2.8098e-05");
    }

    void parsing() {
        QFETCH(QByteArray, line1);
        QFETCH(QByteArray, line2);
        QFETCH(QByteArray, what);
        QFETCH(QByteArray, expected);
        const Parsed p = parse(line1, line2);
        QCOMPARE(field(p, what, int(expected.size())), expected);
        QVERIFY(p.tailsIntact);
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
        row("decode", "00000", "0");
        row("decode", "    7", "7");
        row("decode", "99999", "99999");
        row("decode", "A0000", "100000");
        row("decode", "J0000", "180000"); // I left out
        row("decode", "P0000", "230000"); // O left out
        row("decode", "Z9999", "339999");
        row("encode", "0", "00000");
        row("encode", "99999", "99999");
        row("encode", "100000", "A0000");
        row("encode", "339999", "Z9999");
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
        row("year", "0", "2000");
        row("year", "56", "2056");
        row("year", "57", "1957");
        row("year", "99", "1999");
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
        row("epoch", "0|00179.78495062", "00179.78495062");
        row("epoch", "1.5|00179.78495062", "00179.78496798");
        row("epoch", "-1.5|00179.78495062", "00179.78493326");
        row("epoch", "60|00179.78495062", "00179.78564506");
        row("epoch", "-0.01|00179.78495062", "00179.78495050");
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
        } else if (rule == "year") {
            out = std::to_string(yearFromTwoDigits(std::stoi(in)));
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
        const QByteArray one = kLine1 + "\n" + kLine2 + "\n";
        const QByteArray named =
            "ISS (ZARYA)\n" + put(kLine1, 3, "25544") + "\n" + put(kLine2, 3, "25544") + "\n";
        QTest::newRow("three lines") << named << QByteArray("ISS (ZARYA)@1:25544/25544");
        QTest::newRow("two lines, mark, CR LF, comments")
            << "\xEF\xBB\xBF# from a tool\r\n" + QByteArray(one + one).replace("\n", "\r\n") +
                   "#\r\n"
            << QByteArray("-@2:00005/00005 -@4:00005/00005");
        QTest::newRow("mixed, blank lines")
            << one + "\n" + named + "  \n" + one
            << QByteArray("-@1:00005/00005 ISS (ZARYA)@4:25544/25544 "
                          "-@8:00005/00005");
        QTest::newRow("Space-Track's 0 NAME")
            << "0 ISS (ZARYA)\n" + one << QByteArray("ISS (ZARYA)@1:00005/00005");
        QTest::newRow("a line missing")
            << kLine1 + "\n" + named + kLine2 + "\nNAME\n" + kLine1 + "\n"
            << QByteArray("-@1:00005/none ISS (ZARYA)@2:25544/25544 -@5:none/00005 "
                          "-@7:00005/none");
        QTest::newRow("page around")
            << "<pre>\n" + named + "</pre>\n<p>1 2</p>" << QByteArray("ISS (ZARYA)@2:25544/25544");
        QTest::newRow("no sets") << QByteArray("hello\n\n# 1 2\n") << QByteArray();
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
    // read, check digits included. The model starts from the values alike.
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
            if (g % 300 == 0) {
                ElementSet fromLines = parse(lines[g + 1], lines[g + 2]).set, fromOmm;
                initElementSet(*e, 'a', 1, fromOmm);
                QCOMPARE(fromOmm.satnum, fromLines.satnum);
                QVERIFY(std::fabs(fromOmm.jdsatepoch - fromLines.jdsatepoch) < 1e-9);
                QVERIFY(std::fabs(fromOmm.no - fromLines.no) <= 1e-15 * fromLines.no);
                QVERIFY(std::fabs(fromOmm.bstar - fromLines.bstar) <= 1e-15);
            }
        }
        QCOMPARE(sets, 14710);
    }

    // The hand-written scanner against sscanf itself, on real lines after random edits and on
    // random text made of the characters that matter to number scanning.
    void scanAgreesWithSscanf() {
        std::mt19937 rng(20260319);
        const std::string alphabet = "0123456789+-.eExXnNaAiIfFtTyYpP \t\n_U";
        const std::string bases[] = {kLine1.toStdString() + "\n", kLine2.toStdString() + "\n",
                                     "1 16925U 86065D   06151.67415771  .02550794 -30915-6  "
                                     "18784-3 0  4486\n",
                                     "2 04632  11.4628 273.1101 1450506 207.6000 143.9350  "
                                     "1.20231981 44145\n"};
        int mismatches = 0;
        for (int i = 0; i < 60000; ++i) {
            std::string s;
            if (i % 2 == 0) {
                s = bases[rng() % 4];
                for (int k = 1 + rng() % 6; k > 0; --k) {
                    const std::size_t pos = rng() % (s.size() + 1);
                    const char c = alphabet[rng() % alphabet.size()];
                    if (rng() % 2 && pos < s.size())
                        s[pos] = c;
                    else
                        s.insert(s.begin() + pos, c);
                }
            } else {
                for (int k = rng() % 80; k > 0; --k)
                    s += alphabet[rng() % alphabet.size()];
            }
            Line1Fields a, b;
            int na = scanLine1(s.c_str(), a, CatalogueNumbers::Digits);
            int nb = std::sscanf(
                s.c_str(), "%2d %5ld %1c %10s %2d %12lf %11lf %7lf %2d %7lf %2d %2d %6ld ",
                &b.cardnumb, &b.satnum, &b.classification, b.intldesg, &b.epochyr, &b.epochdays,
                &b.ndot, &b.nddot, &b.nexp, &b.bstar, &b.ibexp, &b.numb, &b.elnum);
            const double da[] = {a.epochdays, a.ndot, a.nddot, a.bstar};
            const double db[] = {b.epochdays, b.ndot, b.nddot, b.bstar};
            bool same = na == std::max(nb, 0) && a.cardnumb == b.cardnumb && a.satnum == b.satnum &&
                        a.classification == b.classification &&
                        std::strcmp(a.intldesg, b.intldesg) == 0 && a.epochyr == b.epochyr &&
                        sameBits(da, db, 4) && a.nexp == b.nexp && a.ibexp == b.ibexp &&
                        a.numb == b.numb && a.elnum == b.elnum;
            const bool wide = rng() % 2;
            Line2Fields c, d;
            na = scanLine2(s.c_str(), wide, c, CatalogueNumbers::Digits);
            nb = std::sscanf(s.c_str(),
                             wide ? "%2d %5ld %9lf %9lf %8lf %9lf %9lf %11lf %6ld \n"
                                  : "%2d %5ld %9lf %9lf %8lf %9lf %9lf %10lf %6ld \n",
                             &d.cardnumb, &d.satnum, &d.inclo, &d.nodeo, &d.ecco, &d.argpo, &d.mo,
                             &d.no, &d.revnum);
            const double dc[] = {c.inclo, c.nodeo, c.ecco, c.argpo, c.mo, c.no};
            const double dd[] = {d.inclo, d.nodeo, d.ecco, d.argpo, d.mo, d.no};
            same = same && na == std::max(nb, 0) && c.cardnumb == d.cardnumb &&
                   c.satnum == d.satnum && sameBits(dc, dd, 6) && c.revnum == d.revnum;
            if (!same && ++mismatches < 5)
                qWarning("the scans differ from sscanf on [%s]", s.c_str());
        }
        QCOMPARE(mismatches, 0);
    }

    void batchAgreesWithScalar_data() {
        QTest::addColumn<QString>("path");
        for (const std::string& path : sgp4BatchPaths())
            QTest::newRow(path.c_str()) << QString::fromStdString(path);
    }

    // Every dispatch path, forced: the verification sets at the times of their run, one set at
    // many instants; every set of the test catalogue at seven common instants. No allocation.
    void batchAgreesWithScalar() {
        QFETCH(QString, path);
        QVERIFY(sgp4BatchForcePath(path.toStdString()));
        QCOMPARE(QString::fromStdString(sgp4BatchPath()), path);
        for (const VerificationSet& verified : sets_) {
            ElementSet set = parse(verified.line1, verified.line2).set;
            const QList<QByteArray> range = verified.line2.mid(69).simplified().split(' ');
            std::vector<double> times;
            for (double t = range[0].toDouble(); t <= range[1].toDouble() && times.size() < 2000;
                 t += range[2].toDouble())
                times.push_back(t);
            BatchResults got(times.size());
            ElementSet batchSet = set;
            const long before = g_allocations;
            sgp4PropagateTimes(batchSet, times.data(), times.size(), got.states());
            QCOMPARE(g_allocations - before, 0L);
            for (std::size_t k = 0; k < times.size(); ++k) {
                const QByteArray wrong = batchMismatch(set, times[k], got, k);
                QVERIFY2(wrong.isEmpty(), wrong.constData());
            }
        }

        const std::vector<ElementSet> sets = catalogueSets();
        QVERIFY(sets.size() > 14000);
        Sgp4Batch batch;
        batch.assign(sets.data(), sets.size());
        QCOMPARE(batch.vectorSets() > 0, path != "scalar");
        std::vector<ElementSet> scalar = sets;
        BatchResults got(sets.size());
        const double jd0 = sets.front().jdsatepoch;
        for (double days : {-20.0, -3.0, -0.25, 0.0, 0.7, 2.0, 9.0}) {
            const long before = g_allocations;
            batch.propagateAt(jd0 + days, got.states());
            QCOMPARE(g_allocations - before, 0L);
            for (std::size_t i = 0; i < sets.size(); ++i) {
                const QByteArray wrong =
                    batchMismatch(scalar[i], (jd0 + days - scalar[i].jdsatepoch) * 1440.0, got, i);
                QVERIFY2(wrong.isEmpty(), wrong.constData());
            }
        }

        // Elevations: within four ulps of the C library's, its NaN and signed zeros included.
        std::vector<double> e = {0, 0, 3, -0.0, NAN, 1, 1e-300, 5e7, -2, 1},
                            n = {0, 1, 4, 0, 1, 0, 0, -5e7, 7, 1},
                            u = {0, -0.0, 0, 2, 1, NAN, 1, 1e-9, -7, 1};
        std::mt19937 random(23);
        std::uniform_real_distribution<double> component(-4e7, 4e7);
        for (int i = 0; i < 3000; ++i) {
            e.push_back(component(random));
            n.push_back(component(random) * (i % 3 ? 1.0 : 1e-6));
            u.push_back(component(random) * (i % 5 ? 1.0 : 1e-5));
        }
        std::vector<double> elevations(e.size());
        batchElevations(e.data(), n.data(), u.data(), e.size(), elevations.data());
        for (std::size_t i = 0; i < e.size(); ++i) {
            const double want = std::atan2(u[i], std::sqrt(e[i] * e[i] + n[i] * n[i]));
            QVERIFY2(std::isnan(want)
                         ? std::isnan(elevations[i])
                         : std::signbit(want) == std::signbit(elevations[i]) &&
                               std::fabs(elevations[i] - want) <=
                                   4 * (std::nextafter(std::fabs(want), 1e9) - std::fabs(want)),
                     QByteArray::number(qulonglong(i)).constData());
        }
        QVERIFY(sgp4BatchForcePath(""));
    }

    // Time 0 reproduces initialisation; a resonant set's result does not depend on the calls
    // before it, even across a change of sign.
    void stateCarriedBetweenCalls() {
        int resonant = 0;
        for (const VerificationSet& verified : sets_) {
            const ElementSet initialised = parse(verified.line1, verified.line2).set;
            ElementSet set = initialised, fresh = initialised;
            double r[3][3], v[3][3];
            sgp4Propagate(1, set, 0.0, r[0], v[0]);
            QVERIFY2(std::memcmp(&set, &initialised, sizeof set) == 0, verified.name.constData());
            if (set.irez == 0 || set.error != 0)
                continue;
            ++resonant;
            sgp4Propagate(1, set, 3000.0, r[0], v[0]);
            sgp4Propagate(1, set, -100.0, r[1], v[1]);
            sgp4Propagate(1, set, 3000.0, r[1], v[1]);
            sgp4Propagate(1, fresh, 3000.0, r[2], v[2]);
            QVERIFY(sameBits(r[0], r[1], 3) && sameBits(v[0], v[1], 3));
            QVERIFY(sameBits(r[0], r[2], 3) && sameBits(v[0], v[2], 3));
        }
        QVERIFY(resonant >= 4);
    }

    // Codes 1 to 4 leave position and velocity alone, code 6 writes them; the result agrees.
    void errorCodes() {
        QList<int> seen;
        for (const VerificationSet& verified : sets_) {
            ElementSet set = parse(verified.line1, verified.line2).set;
            for (double t = 0.0; t <= 3000.0; t += 5.0) {
                double r[3] = {1234.5, 1234.5, 1234.5}, v[3] = {6.5, 6.5, 6.5};
                const bool ok = sgp4Propagate(1, set, t, r, v);
                QCOMPARE(ok, set.error == 0);
                if (set.error == 0)
                    continue;
                if (!seen.contains(set.error))
                    seen.append(set.error);
                QCOMPARE(r[0] != 1234.5 && v[0] != 6.5, set.error == kSgp4Decayed);
                break;
            }
        }
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, (QList<int>{1, 3, 4, 6}));
    }

    // Malformed numbers and far or undefined times: no hang, and no success without a result.
    void noSuccessWithoutAResult() {
        std::vector<std::pair<QByteArray, QByteArray>> sets;
        for (const VerificationSet& verified : sets_)
            sets.push_back({verified.line1, verified.line2});
        sets.push_back({put(kLine1, 21, "inf         "), kLine2});
        sets.push_back({put(kLine1, 19, "99999999999999"), kLine2});
        for (const char* n : {"nan        ", "1e999      ", "0          ", "-1.0       "})
            sets.push_back({kLine1, put(kLine2, 53, n)});
        for (const auto& [line1, line2] : sets) {
            ElementSet set = parse(line1, line2).set;
            for (double t : {0.0, -1440.0, 1.0e12, -1.0e12, HUGE_VAL, std::nan("")}) {
                double r[3], v[3];
                const bool ok = sgp4Propagate(1, set, t, r, v);
                QCOMPARE(ok, set.error == 0);
                QVERIFY(!ok || (std::isfinite(r[0]) && std::isfinite(v[2]) && std::fabs(t) < 1e9));
            }
        }
    }

    // Periods of 225 minutes and more (from the Brouwer mean motion) are deep space.
    void deepSpaceBoundary() {
        auto init = [](double kozai) {
            ElementSet s;
            sgp4Init(1, 'a', 1, 20000.0, 0.0, 0.01, 0.0, 1.0, 0.0, kozai, 0.0, s);
            return s;
        };
        double lo = 2.0 * kPi / 226.0, hi = 2.0 * kPi / 224.0; // 'd' at lo, 'n' at hi
        QCOMPARE(init(lo).method, 'd');
        QCOMPARE(init(hi).method, 'n');
        for (double mid = lo + (hi - lo) / 2; mid > lo && mid < hi; mid = lo + (hi - lo) / 2)
            (init(mid).method == 'd' ? lo : hi) = mid;
        QVERIFY(2.0 * kPi / init(lo).no >= 225.0);
        QVERIFY(2.0 * kPi / init(hi).no < 225.0);
    }

    void noAllocation() {
        char b1[256] = {}, b2[256] = {};
        double start, stop, step, r[3], v[3];
        const long before = g_allocations;
        for (const VerificationSet& verified : sets_) {
            std::memcpy(b1, verified.line1.constData(), verified.line1.size());
            std::memcpy(b2, verified.line2.constData(), verified.line2.size());
            ElementSet set;
            parseTle(b1, b2, 'c', 'm', 'a', 1, start, stop, step, set);
            for (double t = -1440.0; t <= 1440.0; t += 144.0)
                sgp4Propagate(1, set, t, r, v);
        }
        QCOMPARE(g_allocations - before, 0L);
    }

    // The rows are the model's own numbers with 9 decimals, nan where it gave no position.
    void cliPropagate() {
        const ProgramRun r = runProgram(
            ORBITRAK_CLI, {"propagate", "--tle", dir_.filePath("sets.txt"), "--minutes", "0,60"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        QStringList expected{"catalog,tsince_min,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,error"};
        const QList<QByteArray> lines = kCatalogue.split('\n');
        for (int g = 0; g + 2 < lines.size(); g += 3) {
            ElementSet set = parse(lines[g + 1] + '\n', lines[g + 2] + '\n').set;
            for (double t : {0.0, 60.0}) {
                double rv[6];
                sgp4Propagate(1, set, t, rv, rv + 3);
                QString row = QString::asprintf("%d,%.9f", set.satnum, t);
                for (double x : rv)
                    row += set.error == 0 || set.error == 6 ? QString::asprintf(",%.9f", x)
                                                            : QString(",nan");
                expected << row + "," + QString::number(set.error);
            }
        }
        const QStringList got = QString::fromLatin1(r.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(got, expected);
        QVERIFY(got[1].startsWith("5,0.000000000,7022.46529"));
        QVERIFY(got[3].startsWith("100005,0.000000000,7022.46529"));
        QCOMPARE(got[5], QString("33334,0.000000000,nan,nan,nan,nan,nan,nan,3"));
        QVERIFY(got[8].startsWith("28872,60.000000000,") && got[8].endsWith(",6"));
        QVERIFY(!got[8].contains("nan"));

        const ProgramRun help = runProgram(ORBITRAK_CLI, {"propagate", "--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(expected.front().toLatin1()));
    }

    // The published verification file, two-line sets between comments, through the reader:
    // every set, in order, at the reference's positions.
    void cliPropagateReadsTwoLineSets() {
        const ProgramRun r =
            runProgram(ORBITRAK_CLI, {"propagate", "--tle", ORBITRAK_TEST_DATA "/sgp4/SGP4-VER.TLE",
                                      "--minutes", "0"});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> rows = r.out.trimmed().split('\n').mid(1);
        QCOMPARE(rows.size(), int(sets_.size()));
        for (std::size_t i = 0; i < sets_.size(); ++i) {
            const QList<QByteArray> f = rows[int(i)].split(',');
            QCOMPARE(f[0], QByteArray::number(sets_[i].line1.mid(2, 5).toInt()));
            const Step& first = sets_[i].expected.front();
            if (first.t != 0.0 || first.error != 0)
                continue;
            for (int k = 0; k < 3; ++k)
                QVERIFY2(std::fabs(f[2 + k].toDouble() - first.rv[k]) < 1e-6, rows[int(i)]);
        }
    }

    void cliBadArguments_data() {
        QTest::addColumn<QStringList>("args");
        const auto row = [](const char* name, const char* args) {
            QTest::newRow(name) << QString(args).split(' ', Qt::SkipEmptyParts);
        };
        row("no command", "");
        row("unknown command", "orbit");
        row("no --tle", "propagate --minutes 0");
        row("no --minutes", "propagate --tle FILE");
        row("--tle without value", "propagate --minutes 0 --tle");
        row("bad minutes", "propagate --tle FILE --minutes 1,,2");
        row("unreadable file", "propagate --tle MISSING --minutes 0");
        row("unknown option", "propagate --tle FILE --minutes 0 --step 5");
        row("extra argument", "propagate --tle FILE --minutes 0 more");
    }

    void cliBadArguments() {
        QFETCH(QStringList, args);
        args.replaceInStrings("FILE", dir_.filePath("sets.txt"));
        args.replaceInStrings("MISSING", dir_.filePath("missing.txt"));
        const ProgramRun r = runProgram(ORBITRAK_CLI, args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("orbitrak-cli: ") && r.err.count('\n') == 1 &&
                     r.err.endsWith('\n'),
                 r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestOrbit)
#include "tst_orbit.moc"
