// Reading element lines: the column fix-ups, the scans (compared with the C library's sscanf),
// epochs, Alpha-5 catalogue numbers, and lines that are short, stale or malformed.
#include "orbit/sgp4.h"
#include "orbit/tle.h"
#include "orbit/tle_scan.h"

#include <QTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

const QByteArray kLine1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const QByteArray kLine2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";
constexpr double kPi = 3.14159265358979323846;
constexpr double kXpdotp = 1440.0 / (2.0 * kPi); // rev/day per rad/min

struct Parsed {
    ElementSet set;
    QByteArray line1, line2; // buffers after parsing
};

Parsed parse(const QByteArray& l1, const QByteArray& l2) {
    char b1[256] = {}, b2[256] = {};
    std::memcpy(b1, l1.constData(), std::min<int>(l1.size(), 255));
    std::memcpy(b2, l2.constData(), std::min<int>(l2.size(), 255));
    Parsed p;
    double start, stop, step;
    parse_TLE(b1, b2, 'c', 'm', 'a', 1, start, stop, step, p.set);
    p.line1 = b1;
    p.line2 = b2;
    return p;
}

// The line with text written from a 1-based column on.
QByteArray put(QByteArray line, int column, const QByteArray& text) {
    return line.replace(column - 1, text.size(), text);
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class TestTleParse : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { std::setlocale(LC_ALL, "C"); }
    void exponentFields_data();
    void exponentFields();
    void eccentricity_data();
    void eccentricity();
    void blankClassificationAndDesignator();
    void fixUpsInPlace();
    void epoch_data();
    void epoch();
    void calendar_data();
    void calendar();
    void meanMotionWidths_data();
    void meanMotionWidths();
    void catalogueNumber_data();
    void catalogueNumber();
    void lineTerminators();
    void shortLinesStopAtTheirEnd();
    void malformedNumbers_data();
    void malformedNumbers();
    void scanAgreesWithSscanf();
};

void TestTleParse::exponentFields_data() {
    QTest::addColumn<QByteArray>("nddotField"); // columns 45-52
    QTest::addColumn<QByteArray>("bstarField"); // columns 54-61
    QTest::addColumn<double>("nddotMantissa");
    QTest::addColumn<int>("nddotExponent");
    QTest::addColumn<double>("bstar");
    QTest::newRow("blank sign, zero")
        << QByteArray(" 00000-0") << QByteArray("-11606-4") << 0.0 << 0 << -0.11606e-4;
    QTest::newRow("negative second derivative")
        << QByteArray("-30915-6") << QByteArray(" 18784-3") << -0.30915 << -6 << 0.18784e-3;
    QTest::newRow("plus signs") << QByteArray("+12345+1") << QByteArray("+28098+0") << 0.12345 << 1
                                << 0.28098;
    QTest::newRow("blank mantissa digits")
        << QByteArray(" 1 2 3-5") << QByteArray(" 28098-4") << 0.10203 << -5 << 0.28098e-4;
    QTest::newRow("blank exponent digit")
        << QByteArray(" 12345- ") << QByteArray(" 28098-4") << 0.12345 << 0 << 0.28098e-4;
}

void TestTleParse::exponentFields() {
    QFETCH(QByteArray, nddotField);
    QFETCH(QByteArray, bstarField);
    QFETCH(double, nddotMantissa);
    QFETCH(int, nddotExponent);
    QFETCH(double, bstar);
    const Parsed p = parse(put(put(kLine1, 45, nddotField), 54, bstarField), kLine2);
    const double nddot = nddotMantissa * std::pow(10.0, nddotExponent) / (kXpdotp * 1440.0 * 1440);
    QVERIFY(sameBits(p.set.nddot, nddot));
    QCOMPARE(p.set.bstar, bstar);
    QCOMPARE(p.set.epochdays, 179.78495062); // fields before and after still line up
    QCOMPARE(p.set.ndot, 0.00000023 / (kXpdotp * 1440.0));
}

void TestTleParse::eccentricity_data() {
    QTest::addColumn<QByteArray>("field"); // columns 27-33
    QTest::addColumn<double>("ecco");
    QTest::newRow("0006703") << QByteArray("0006703") << 0.0006703;
    QTest::newRow("leading blanks") << QByteArray("   6703") << 0.0006703;
    QTest::newRow("inner blank") << QByteArray("12 4567") << 0.1204567;
    QTest::newRow("all blank") << QByteArray("       ") << 0.0;
    QTest::newRow("1859667") << QByteArray("1859667") << 0.1859667;
}

void TestTleParse::eccentricity() {
    QFETCH(QByteArray, field);
    QFETCH(double, ecco);
    const Parsed p = parse(kLine1, put(kLine2, 27, field));
    QCOMPARE(p.set.ecco, ecco);
    QCOMPARE(p.set.argpo, 331.7664 * kPi / 180.0);
}

void TestTleParse::blankClassificationAndDesignator() {
    const Parsed p = parse(put(kLine1, 8, "          "), kLine2); // columns 8-17
    QCOMPARE(p.line1.mid(7, 10), QByteArray("U .______ "));
    QCOMPARE(p.set.epochyr, 0);
    QCOMPARE(p.set.epochdays, 179.78495062);
    QCOMPARE(p.set.bstar, 0.28098e-4);
}

void TestTleParse::fixUpsInPlace() {
    const Parsed p = parse(put(kLine1, 45, "-30915-6"), kLine2);
    QCOMPARE(p.line1.mid(43, 9), QByteArray("-.30915-6"));
    QCOMPARE(p.line1.mid(52, 9), QByteArray(" .28098-4"));
    QCOMPARE(p.line2.mid(25, 8), QByteArray(".1859667"));
    QCOMPARE(p.line1.size(), kLine1.size());
    QCOMPARE(p.line2.size(), kLine2.size());
}

void TestTleParse::epoch_data() {
    QTest::addColumn<QByteArray>("field"); // columns 19-32
    QTest::addColumn<int>("epochyr");
    QTest::addColumn<double>("jd");
    QTest::newRow("56 is 2056") << QByteArray("56001.00000000") << 56 << 2471998.5;
    QTest::newRow("57 is 1957") << QByteArray("57001.00000000") << 57 << 2435839.5;
    QTest::newRow("day 1.5 is noon") << QByteArray("00001.50000000") << 0 << 2451545.0;
    QTest::newRow("2000 day 60 is Feb 29") << QByteArray("00060.00000000") << 0 << 2451603.5;
    QTest::newRow("2001 day 60 is Mar 1") << QByteArray("01060.00000000") << 1 << 2451969.5;
}

void TestTleParse::epoch() {
    QFETCH(QByteArray, field);
    QFETCH(int, epochyr);
    QFETCH(double, jd);
    const Parsed p = parse(put(kLine1, 19, field), kLine2);
    QCOMPARE(p.set.epochyr, epochyr);
    QCOMPARE(p.set.jdsatepoch, jd);
}

void TestTleParse::calendar_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<double>("days");
    QTest::addColumn<QList<int>>("mdhm");
    QTest::addColumn<double>("seconds");
    QTest::newRow("Jan 1 noon") << 2000 << 1.5 << QList<int>{1, 1, 12, 0} << 0.0;
    QTest::newRow("Feb 29") << 2000 << 60.0 << QList<int>{2, 29, 0, 0} << 0.0;
    QTest::newRow("Mar 1") << 2001 << 60.0 << QList<int>{3, 1, 0, 0} << 0.0;
    QTest::newRow("Dec 31 18h") << 2000 << 366.75 << QList<int>{12, 31, 18, 0} << 0.0;
    QTest::newRow("no century rule") << 1900 << 60.0 << QList<int>{2, 29, 0, 0} << 0.0;
    QTest::newRow("past the year") << 2001 << 400.0 << QList<int>{12, 66, 0, 0} << 0.0;
    QTest::newRow("minutes, seconds")
        << 2006 << 176.0 + (3723.5 / 86400.0) << QList<int>{6, 25, 1, 2} << 3.5;
}

void TestTleParse::calendar() {
    QFETCH(int, year);
    QFETCH(double, days);
    QFETCH(QList<int>, mdhm);
    QFETCH(double, seconds);
    int month, day, hour, minute;
    double sec;
    days_to_mdhms(year, days, month, day, hour, minute, sec);
    QCOMPARE((QList<int>{month, day, hour, minute}), mdhm);
    QVERIFY(std::fabs(sec - seconds) < 1e-6);
}

void TestTleParse::meanMotionWidths_data() {
    QTest::addColumn<QByteArray>("field"); // columns 53-63
    QTest::addColumn<double>("revPerDay");
    QTest::newRow("below 10, column 53 blank") << QByteArray(" 1.00270000") << 1.0027;
    QTest::newRow("above 10") << QByteArray("15.72125391") << 15.72125391;
}

void TestTleParse::meanMotionWidths() {
    QFETCH(QByteArray, field);
    QFETCH(double, revPerDay);
    const Parsed p = parse(kLine1, put(kLine2, 53, field));
    const double tumin = 1.0 / 0.074366916133173422;
    QCOMPARE(p.set.a, std::pow(revPerDay / kXpdotp * tumin, -2.0 / 3.0));
}

void TestTleParse::catalogueNumber_data() {
    QTest::addColumn<QByteArray>("number1");
    QTest::addColumn<QByteArray>("number2");
    QTest::addColumn<int>("satnum");
    QTest::addColumn<bool>("elementsRead");
    QTest::newRow("five digits") << QByteArray("00005") << QByteArray("00005") << 5 << true;
    QTest::newRow("leading blanks") << QByteArray("    5") << QByteArray("    5") << 5 << true;
    QTest::newRow("line 2 wins") << QByteArray("00005") << QByteArray("00006") << 6 << true;
    QTest::newRow("A0001") << QByteArray("A0001") << QByteArray("A0001") << 100001 << true;
    QTest::newRow("Z9999") << QByteArray("Z9999") << QByteArray("Z9999") << 339999 << true;
    QTest::newRow("J skips I") << QByteArray("J0000") << QByteArray("J0000") << 180000 << true;
    QTest::newRow("P skips O") << QByteArray("P1234") << QByteArray("P1234") << 231234 << true;
    QTest::newRow("mixed forms") << QByteArray("99999") << QByteArray("B0042") << 110042 << true;
    QTest::newRow("I is no Alpha-5 letter")
        << QByteArray("I0001") << QByteArray("I0001") << 0 << false;
    QTest::newRow("lower case") << QByteArray("a0001") << QByteArray("a0001") << 0 << false;
}

void TestTleParse::catalogueNumber() {
    QFETCH(QByteArray, number1);
    QFETCH(QByteArray, number2);
    QFETCH(int, satnum);
    QFETCH(bool, elementsRead);
    const Parsed p = parse(put(kLine1, 3, number1), put(kLine2, 3, number2));
    QCOMPARE(p.set.satnum, satnum);
    QCOMPARE(p.set.epochdays, elementsRead ? 179.78495062 : 0.0);
    QCOMPARE(p.set.inclo, elementsRead ? 34.2682 * kPi / 180.0 : 0.0);
    QCOMPARE(p.set.bstar, elementsRead ? 0.28098e-4 : 0.0);
}

void TestTleParse::lineTerminators() {
    const Parsed bare = parse(kLine1, kLine2);
    for (const QByteArray& end : {QByteArray("\n"), QByteArray("\r\n"), QByteArray(" \n")}) {
        const Parsed p = parse(kLine1 + end, kLine2 + end);
        QVERIFY(std::memcmp(&p.set, &bare.set, sizeof bare.set) == 0);
    }
}

void TestTleParse::shortLinesStopAtTheirEnd() {
    // A reader's buffer keeps the tail of an earlier, longer line after the NUL.
    struct Case {
        QByteArray line1, line2;
    } cases[] = {
        {"1 00005U 58002B   00179.78495062  .00000023\n", kLine2 + "\n"},
        {"1 00005U 58002B   00179.78495062  .00000023  00000\n", kLine2 + "\n"},
        {kLine1 + "\n", "2 00005  34.2682 348.724\n"},
        {kLine1 + "\n", "2 00005  34.2682 348.7242\n"},
        {"1\n", "2\n"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char b1[256], b2[256];
        std::memset(b1, 0, sizeof b1);
        std::memset(b2, 0, sizeof b2);
        std::memcpy(b1, c.line1.constData(), c.line1.size());
        std::memcpy(b2, c.line2.constData(), c.line2.size());
        ElementSet clean;
        double s, e, st;
        parse_TLE(b1, b2, 'c', 'm', 'a', 1, s, e, st, clean);

        char stale1[256], stale2[256];
        std::memset(stale1, '7', sizeof stale1);
        std::memset(stale2, '7', sizeof stale2);
        std::memcpy(stale1, (kLine1 + "  12345-6 888\n").constData(), kLine1.size() + 14);
        std::memcpy(stale2, (kLine2 + " 4 4 4 4\n").constData(), kLine2.size() + 9);
        std::memcpy(stale1, c.line1.constData(), c.line1.size() + 1);
        std::memcpy(stale2, c.line2.constData(), c.line2.size() + 1);
        char before1[256], before2[256];
        std::memcpy(before1, stale1, sizeof before1);
        std::memcpy(before2, stale2, sizeof before2);
        ElementSet stale;
        parse_TLE(stale1, stale2, 'c', 'm', 'a', 1, s, e, st, stale);

        QVERIFY2(std::memcmp(&stale, &clean, sizeof clean) == 0, c.line1.constData());
        const std::size_t n1 = c.line1.size(), n2 = c.line2.size();
        QVERIFY(std::memcmp(stale1 + n1, before1 + n1, sizeof stale1 - n1) == 0);
        QVERIFY(std::memcmp(stale2 + n2, before2 + n2, sizeof stale2 - n2) == 0);
    }

    // What the scan does not reach stays zero.
    const Parsed p = parse("1 00005U 58002B   00179.78495062\n", kLine2 + "\n");
    QCOMPARE(p.set.epochdays, 179.78495062);
    QCOMPARE(p.set.ndot, 0.0);
    QCOMPARE(p.set.bstar, 0.0);
    QCOMPARE(p.set.inclo, 34.2682 * kPi / 180.0);
}

void TestTleParse::malformedNumbers_data() {
    QTest::addColumn<QByteArray>("line1");
    QTest::addColumn<QByteArray>("line2");
    QTest::addColumn<QByteArray>("what");
    QTest::newRow("infinite epoch day")
        << put(kLine1, 21, "inf         ") << kLine2 << QByteArray("epoch");
    QTest::newRow("nan mean motion")
        << kLine1 << put(kLine2, 53, "nan        ") << QByteArray("motion");
    QTest::newRow("huge exponent mean motion")
        << kLine1 << put(kLine2, 53, "1e999      ") << QByteArray("motion");
    QTest::newRow("zero mean motion")
        << kLine1 << put(kLine2, 53, "0          ") << QByteArray("motion");
    QTest::newRow("negative mean motion")
        << kLine1 << put(kLine2, 53, "-1.0       ") << QByteArray("motion");
    QTest::newRow("huge epoch day")
        << put(kLine1, 19, "99999999999999") << kLine2 << QByteArray("epoch");
    QTest::newRow("hex inclination") << kLine1 << put(kLine2, 9, "0x1p-3.  ") << QByteArray("none");
    QTest::newRow("long digit runs") << put(kLine1, 1, QByteArray(68, '9'))
                                     << put(kLine2, 1, QByteArray(68, '9')) << QByteArray("none");
}

void TestTleParse::malformedNumbers() {
    QFETCH(QByteArray, line1);
    QFETCH(QByteArray, line2);
    QFETCH(QByteArray, what);
    Parsed p = parse(line1, line2);
    if (what == "epoch")
        QVERIFY(std::isnan(p.set.jdsatepoch) || p.set.jdsatepoch > 1e9);
    double r[3], v[3];
    for (double t : {0.0, -1440.0, 1.0e6, 1.0e12, HUGE_VAL, std::nan("")}) {
        const bool ok = sgp4_propagate(1, p.set, t, r, v);
        QCOMPARE(ok, p.set.error == 0);
        if (ok)
            QVERIFY(std::isfinite(r[0]) && std::isfinite(v[2]));
    }
    if (what == "motion")
        QVERIFY(p.set.error != 0);
}

// The hand-written scanner against sscanf itself, on lines made from real ones by random
// edits and on random text built from the characters that matter to number scanning.
void TestTleParse::scanAgreesWithSscanf() {
    std::mt19937 rng(20260319);
    const std::string alphabet = "0123456789+-.eExXnNaAiIfFtTyYpP \t\n_U";
    const std::string tokens[] = {"1e5",          "1E+5",    "1e-400", "1e400",       "4.9e-324",
                                  "2.47032e-324", "1.8e308", "0x1p3",  "0x1p1024",    "0x1p-1075",
                                  "0x.8p-1074",   "0x",      "0x.",    "0xp",         "inf",
                                  "infinity",     "infinit", "nan",    "-nan",        "-0",
                                  "-.",           ".",       "1.e5",   "1e",          "1e+",
                                  "00",           "-",       "+",      "123456789012"};
    const std::string bases[] = {kLine1.toStdString() + "\n", kLine2.toStdString() + "\n",
                                 "1 16925U 86065D   06151.67415771  .02550794 -30915-6  "
                                 "18784-3 0  4486\n",
                                 "2 04632  11.4628 273.1101 1450506 207.6000 143.9350  "
                                 "1.20231981 44145\n"};
    int mismatches = 0;
    for (int i = 0; i < 150000; ++i) {
        std::string s;
        switch (i % 3) {
        case 0:
            s = bases[rng() % 4];
            for (int k = 1 + rng() % 6; k > 0; --k) {
                const std::size_t pos = rng() % (s.size() + 1);
                const char c = alphabet[rng() % alphabet.size()];
                if (rng() % 3 == 0 && pos < s.size())
                    s[pos] = c;
                else if (rng() % 2 == 0)
                    s.insert(s.begin() + pos, c);
                else if (pos < s.size())
                    s.erase(pos, 1);
            }
            break;
        case 1:
            for (int k = rng() % 80; k > 0; --k)
                s += alphabet[rng() % alphabet.size()];
            break;
        default:
            for (int k = 1 + rng() % 12; k > 0; --k) {
                s += (rng() % 4 == 0) ? std::to_string(rng() % 100000)
                                      : tokens[rng() % (sizeof tokens / sizeof *tokens)];
                if (rng() % 3)
                    s += ' ';
            }
        }

        Line1Fields a, b;
        int na = scan_line1(s.c_str(), a, CatalogueNumbers::Digits);
        int nb = std::sscanf(
            s.c_str(), "%2d %5ld %1c %10s %2d %12lf %11lf %7lf %2d %7lf %2d %2d %6ld ", &b.cardnumb,
            &b.satnum, &b.classification, b.intldesg, &b.epochyr, &b.epochdays, &b.ndot, &b.nddot,
            &b.nexp, &b.bstar, &b.ibexp, &b.numb, &b.elnum);
        bool same = na == std::max(nb, 0) && a.cardnumb == b.cardnumb && a.satnum == b.satnum &&
                    a.classification == b.classification &&
                    std::strcmp(a.intldesg, b.intldesg) == 0 && a.epochyr == b.epochyr &&
                    sameBits(a.epochdays, b.epochdays) && sameBits(a.ndot, b.ndot) &&
                    sameBits(a.nddot, b.nddot) && a.nexp == b.nexp && sameBits(a.bstar, b.bstar) &&
                    a.ibexp == b.ibexp && a.numb == b.numb && a.elnum == b.elnum;
        if (!same && ++mismatches < 5)
            qWarning("line 1 format differs on [%s]", s.c_str());

        const bool wide = rng() % 2;
        Line2Fields c, d;
        na = scan_line2(s.c_str(), wide, c, CatalogueNumbers::Digits);
        nb = std::sscanf(s.c_str(),
                         wide ? "%2d %5ld %9lf %9lf %8lf %9lf %9lf %11lf %6ld \n"
                              : "%2d %5ld %9lf %9lf %8lf %9lf %9lf %10lf %6ld \n",
                         &d.cardnumb, &d.satnum, &d.inclo, &d.nodeo, &d.ecco, &d.argpo, &d.mo,
                         &d.no, &d.revnum);
        same = na == std::max(nb, 0) && c.cardnumb == d.cardnumb && c.satnum == d.satnum &&
               sameBits(c.inclo, d.inclo) && sameBits(c.nodeo, d.nodeo) &&
               sameBits(c.ecco, d.ecco) && sameBits(c.argpo, d.argpo) && sameBits(c.mo, d.mo) &&
               sameBits(c.no, d.no) && c.revnum == d.revnum;
        if (!same && ++mismatches < 5)
            qWarning("line 2 format differs on [%s]", s.c_str());
    }
    QCOMPARE(mismatches, 0);
}

QTEST_APPLESS_MAIN(TestTleParse)
#include "tst_tle_parse.moc"
