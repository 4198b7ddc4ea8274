// orbitrak-cli propagate from the outside (arguments, CSV, exit status), and the option parser
// it shares with later commands.
#include "orbit/sgp4.h"
#include "orbit/tle.h"
#include "tools/cli/options.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>

namespace {

// Three-line groups: a near-Earth set, the same in the Alpha-5 form, a set that fails at its
// epoch (code 3), and one that decays within an hour (code 6).
const char kCatalogue[] = "SET ONE\n"
                          "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753\n"
                          "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667\n"
                          "SET ALPHA\n"
                          "1 A0005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753\n"
                          "2 A0005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667\n"
                          "FAILS AT EPOCH\n"
                          "1 33334U 78066F   06174.85818871  .00000620  00000-0  10000-3 0  6809\n"
                          "2 33334  68.4714 236.1303 5602877 123.7484 302.5767  0.00001000 67521\n"
                          "DECAYS\n"
                          "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n"
                          "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n";

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

Run cli(const QStringList& args) {
    QProcess p;
    p.start(ORBITRAK_CLI, args);
    Run r;
    if (!p.waitForFinished(30000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString number(double x) {
    return std::isnan(x) ? QStringLiteral("nan") : QString::asprintf("%.9f", x);
}

} // namespace

class TestCliPropagate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void options_data();
    void options();
    void numberLists_data();
    void numberLists();
    void csv();
    void argumentForms_data();
    void argumentForms();
    void badArguments_data();
    void badArguments();
    void help();

private:
    QTemporaryDir dir_;
    QString file_;
};

void TestCliPropagate::initTestCase() {
    QVERIFY(dir_.isValid());
    file_ = dir_.filePath("sets.txt");
    QFile f(file_);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kCatalogue);
}

void TestCliPropagate::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("lon");      // value of --lon, "-" if absent
    QTest::addColumn<QStringList>("rest"); // positional arguments, or the error message
    QTest::newRow("separate value")
        << QStringList{"--lon", "12.5"} << true << "12.5" << QStringList{};
    QTest::newRow("negative value")
        << QStringList{"--lon", "-147.72"} << true << "-147.72" << QStringList{};
    QTest::newRow("with equals") << QStringList{"--lon=-147.72"} << true << "-147.72"
                                 << QStringList{};
    QTest::newRow("empty with equals") << QStringList{"--lon="} << true << "" << QStringList{};
    QTest::newRow("value looks like an option")
        << QStringList{"--lon", "--verbose"} << true << "--verbose" << QStringList{};
    QTest::newRow("last one wins")
        << QStringList{"--lon", "1", "--lon=2"} << true << "2" << QStringList{};
    QTest::newRow("flag and positional")
        << QStringList{"a", "--verbose", "-5"} << true << "-" << QStringList{"a", "-5"};
    QTest::newRow("double dash ends options")
        << QStringList{"--", "--lon", "3"} << true << "-" << QStringList{"--lon", "3"};
    QTest::newRow("missing value")
        << QStringList{"--lon"} << false << "-" << QStringList{"option --lon needs a value"};
    QTest::newRow("unknown") << QStringList{"--lat", "1"} << false << "-"
                             << QStringList{"unknown option --lat"};
    QTest::newRow("flag with value") << QStringList{"--verbose=1"} << false << "-"
                                     << QStringList{"option --verbose takes no value"};
}

void TestCliPropagate::options() {
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(QString, lon);
    QFETCH(QStringList, rest);
    std::vector<std::string> argv;
    for (const QString& a : args)
        argv.push_back(a.toStdString());
    ParsedOptions parsed;
    std::string error;
    QCOMPARE(parse_options(argv, {{"lon", true}, {"verbose", false}}, parsed, error), ok);
    if (!ok) {
        QCOMPARE(QString::fromStdString(error), rest.front());
        return;
    }
    QCOMPARE(parsed.has("lon") ? QString::fromStdString(parsed.value("lon")) : QString("-"), lon);
    QStringList positional;
    for (const std::string& p : parsed.positional())
        positional << QString::fromStdString(p);
    QCOMPARE(positional, rest);
}

void TestCliPropagate::numberLists_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<double>>("values");
    QTest::newRow("one") << "0" << true << QList<double>{0};
    QTest::newRow("several") << "-1440,0,90.5,+3,1e3" << true
                             << QList<double>{-1440, 0, 90.5, 3, 1000};
    QTest::newRow("blanks") << " -1 , 2 " << true << QList<double>{-1, 2};
    QTest::newRow("empty") << "" << false << QList<double>{};
    QTest::newRow("empty item") << "1,,2" << false << QList<double>{};
    QTest::newRow("trailing comma") << "1," << false << QList<double>{};
    QTest::newRow("text") << "abc" << false << QList<double>{};
    QTest::newRow("number then text") << "12x" << false << QList<double>{};
    QTest::newRow("not finite") << "nan" << false << QList<double>{};
    QTest::newRow("overflow") << "1e999" << false << QList<double>{};
    QTest::newRow("double sign") << "+-1" << false << QList<double>{};
    QTest::newRow("decimal comma") << "1,5;2" << false << QList<double>{};
}

void TestCliPropagate::numberLists() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QList<double>, values);
    std::vector<double> got{42.0};
    QCOMPARE(parse_number_list(text.toStdString(), got), ok);
    if (ok)
        QCOMPARE(QList<double>(got.begin(), got.end()), values);
    else
        QCOMPARE(got, std::vector<double>{42.0}); // untouched on failure
}

void TestCliPropagate::csv() {
    const QList<double> times{0.0, -1440.0, 60.0, 1440.5};
    const Run r = cli({"propagate", "--tle", file_, "--minutes", "0,-1440,60,1440.5"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());

    // Expected rows straight from the model, set by set in file order.
    QStringList expected{"catalog,tsince_min,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,error"};
    const QList<QByteArray> lines = QByteArray(kCatalogue).split('\n');
    for (int g = 0; g + 2 < lines.size(); g += 3) {
        char l1[256] = {}, l2[256] = {};
        std::strcpy(l1, (lines[g + 1] + '\n').constData());
        std::strcpy(l2, (lines[g + 2] + '\n').constData());
        ElementSet set;
        double a, b, c;
        parse_TLE(l1, l2, 'c', 'm', 'a', 1, a, b, c, set);
        for (double t : times) {
            double rv[6];
            sgp4_propagate(1, set, t, rv, rv + 3);
            const bool written = set.error == 0 || set.error == 6;
            QStringList row{QString::number(set.satnum), number(t)};
            for (double x : rv)
                row << number(written ? x : NAN);
            row << QString::number(set.error);
            expected << row.join(',');
        }
    }
    const QStringList got = QString::fromLatin1(r.out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(got, expected);

    // What the rows must show, independently of the model's numbers.
    QCOMPARE(got.size(), 1 + 4 * 4);
    QVERIFY(got[1].startsWith("5,0.000000000,7022.46529"));
    QVERIFY(got[5].startsWith("100005,0.000000000,7022.46529")); // Alpha-5 number, same set
    QCOMPARE(got[9], QString("33334,0.000000000,nan,nan,nan,nan,nan,nan,3"));
    QVERIFY(got[15].startsWith("28872,60.000000000,") && got[15].endsWith(",6"));
    QVERIFY(!got[15].contains("nan"));
}

void TestCliPropagate::argumentForms_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("separate") << QStringList{"--tle", "FILE", "--minutes", "-10,20"};
    QTest::newRow("equals") << QStringList{"--tle=FILE", "--minutes=-10,20"};
    QTest::newRow("reversed") << QStringList{"--minutes", "-10,20", "--tle", "FILE"};
}

void TestCliPropagate::argumentForms() {
    QFETCH(QStringList, args);
    args.replaceInStrings("FILE", file_);
    const Run r = cli(QStringList{"propagate"} + args);
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> rows = r.out.trimmed().split('\n');
    QCOMPARE(rows.size(), 1 + 4 * 2);
    QVERIFY(rows[1].startsWith("5,-10.000000000,"));
    QVERIFY(rows[2].startsWith("5,20.000000000,"));
}

void TestCliPropagate::badArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"orbit"};
    QTest::newRow("no --tle") << QStringList{"propagate", "--minutes", "0"};
    QTest::newRow("no --minutes") << QStringList{"propagate", "--tle", "FILE"};
    QTest::newRow("--tle without value") << QStringList{"propagate", "--minutes", "0", "--tle"};
    QTest::newRow("bad minutes") << QStringList{"propagate", "--tle", "FILE", "--minutes", "1,,2"};
    QTest::newRow("empty minutes") << QStringList{"propagate", "--tle", "FILE", "--minutes="};
    QTest::newRow("unreadable file")
        << QStringList{"propagate", "--tle", "MISSING", "--minutes", "0"};
    QTest::newRow("a folder") << QStringList{"propagate", "--tle", "DIR", "--minutes", "0"};
    QTest::newRow("unknown option")
        << QStringList{"propagate", "--tle", "FILE", "--minutes", "0", "--step", "5"};
    QTest::newRow("extra argument")
        << QStringList{"propagate", "--tle", "FILE", "--minutes", "0", "more"};
}

void TestCliPropagate::badArguments() {
    QFETCH(QStringList, args);
    args.replaceInStrings("FILE", file_);
    args.replaceInStrings("MISSING", dir_.filePath("missing.txt"));
    args.replaceInStrings("DIR", dir_.path());
    const Run r = cli(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.startsWith("orbitrak-cli: "));
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY(r.err.endsWith('\n'));
}

void TestCliPropagate::help() {
    Run r = cli({"--help"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("propagate"));
    r = cli({"propagate", "--help"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("--tle FILE"));
    QVERIFY(r.out.contains("--minutes"));
    QVERIFY(r.out.contains("catalog,tsince_min,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,error"));
}

QTEST_GUILESS_MAIN(TestCliPropagate)
#include "tst_cli_propagate.moc"
