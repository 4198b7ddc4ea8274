// orbitrak-cli as a user runs it on element sets: propagate's rows for a catalogue and for the
// published verification file against the model computed here from the same lines, and its
// refusals; convert's records whole whatever bytes a name holds.
#include "orbit/element_lines.h"
#include "orbit/sgp4.h"
#include "orbit/tle.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kLine1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const QByteArray kLine2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";

// Near-Earth, the same in the Alpha-5 form, one failing at its epoch (code 3), one decaying
// within an hour (code 6).
const QByteArray kCatalogue =
    "SET ONE\n" + kLine1 + "\n" + kLine2 + "\nSET ALPHA\n" +
    QByteArray(kLine1).replace(2, 5, "A0005") + "\n" + QByteArray(kLine2).replace(2, 5, "A0005") +
    "\nFAILS AT EPOCH\n"
    "1 33334U 78066F   06174.85818871  .00000620  00000-0  10000-3 0  6809\n"
    "2 33334  68.4714 236.1303 5602877 123.7484 302.5767  0.00001000 67521\n"
    "DECAYS\n"
    "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n"
    "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n";

// The rows propagate should print for the sets of a text: the model's own numbers with 9
// decimals, nan where it gave no position.
QStringList expectedRows(const QByteArray& text, const QList<double>& minutes) {
    QStringList rows{"catalog,tsince_min,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,error"};
    const std::string whole = text.toStdString();
    for (const GroupedElementLines& lines : groupElementLines(whole)) {
        ElementSet set;
        initElementSet(
            *readElementLines(lines.line1, lines.line2, "", ElementLineStrictness::Historical), 'a',
            1, set);
        for (double t : minutes) {
            double rv[6];
            sgp4Propagate(1, set, t, rv, rv + 3);
            QString row = QString::asprintf("%d,%.9f", set.satnum, t);
            for (double x : rv)
                row += set.error == 0 || set.error == 6 ? QString::asprintf(",%.9f", x)
                                                        : QString(",nan");
            rows << row + "," + QString::number(set.error);
        }
    }
    return rows;
}

} // namespace

class TestCliElements : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void initTestCase() { QVERIFY(writeBytes(dir_.filePath("sets.txt"), kCatalogue)); }

    void rows() {
        const ProgramRun r = runProgram(
            ORBITRAK_CLI, {"propagate", "--tle", dir_.filePath("sets.txt"), "--minutes", "0,60"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        const QStringList got = QString::fromLatin1(r.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(got, expectedRows(kCatalogue, {0.0, 60.0}));
        // The published reference's position at the epoch.
        QVERIFY(got[1].startsWith("5,0.000000000,7022.46529"));
        QVERIFY(got[3].startsWith("100005,0.000000000,7022.46529"));
        QCOMPARE(got[5], QString("33334,0.000000000,nan,nan,nan,nan,nan,nan,3"));
        QVERIFY(got[8].startsWith("28872,60.000000000,") && got[8].endsWith(",6"));
        QVERIFY(!got[8].contains("nan"));

        // The published verification file, two-line sets between comments: every set, in order.
        const QString verification = ORBITRAK_TEST_DATA "/sgp4/SGP4-VER.TLE";
        const ProgramRun all =
            runProgram(ORBITRAK_CLI, {"propagate", "--tle", verification, "--minutes", "0"});
        QCOMPARE(all.exitCode, 0);
        const QStringList rows = QString::fromLatin1(all.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 34);
        QCOMPARE(rows, expectedRows(readBytes(verification), {0.0}));

        const ProgramRun help = runProgram(ORBITRAK_CLI, {"propagate", "--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(got.front().toLatin1()));
    }

    // A name holding a NUL byte: CSV and KVN keep it as read, and every record whole.
    void convertWritesRecordsWhole_data() {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QByteArray>("record"); // how the first record ends
        QTest::addColumn<int>("lines");
        QTest::newRow("csv") << "csv" << QByteArray(",0.00001,0\r") << 3;
        QTest::newRow("kvn") << "kvn" << QByteArray("MEAN_MOTION_DDOT = 0") << 44;
    }

    void convertWritesRecordsWhole() {
        QFETCH(QString, form);
        QFETCH(QByteArray, record);
        QFETCH(int, lines);
        const QByteArray fields =
            ",1998-067A,2026-03-19T06:00:50.156064,15.5,0.0006,51.6,10,20,30,0,"
            "U,2554N,999,1000,0.0001,0.00001,0\r\n";
        const QByteArray csv =
            "OBJECT_NAME,OBJECT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,"
            "ARG_OF_PERICENTER,MEAN_ANOMALY,EPHEMERIS_TYPE,CLASSIFICATION_TYPE,NORAD_CAT_ID,"
            "ELEMENT_SET_NO,REV_AT_EPOCH,BSTAR,MEAN_MOTION_DOT,MEAN_MOTION_DDOT\r\n" +
            QByteArray("IS\0S", 4) + QByteArray(fields).replace("2554N", "25544") + "OK" +
            QByteArray(fields).replace("2554N", "25545");
        QVERIFY(writeBytes(dir_.filePath("nul.csv"), csv));
        const ProgramRun r =
            runProgram(ORBITRAK_CLI, {"convert", "--to", form, dir_.filePath("nul.csv")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QByteArray("IS\0S", 4)));
        const QList<QByteArray> out = r.out.split('\n');
        QCOMPARE(out.size() - 1, lines);
        QVERIFY(r.out.count(record) == 2);
        QVERIFY(r.out.indexOf(record) < r.out.indexOf("25545"));
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        const auto row = [](const char* name, const char* args) {
            QTest::newRow(name) << QString(args).split(' ', Qt::SkipEmptyParts);
        };
        row("no command", "");
        row("unknown command", "orbit");
        row("no --tle", "propagate --minutes 0");
        row("no --minutes", "propagate --tle FILE");
        row("bad minutes", "propagate --tle FILE --minutes 1,,2");
        row("unreadable file", "propagate --tle MISSING --minutes 0");
    }

    void badArguments() {
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

QTEST_GUILESS_MAIN(TestCliElements)
#include "tst_cli_elements.moc"
