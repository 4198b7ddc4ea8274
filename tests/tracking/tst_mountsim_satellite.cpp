#include "tests/common/ground_point.h"
#include "tools/mountsim/command_splitter.h"
#include "tools/mountsim/element_set_check.h"
#include "tools/mountsim/simulated_mount.h"
#include "tracking/tracking_status.h"
#include "tracking/upload_text.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

static constexpr double kSecond = 1.0 / 86400.0;
// 2026-03-20 0h on the working scale, two days after the test sets' epochs.
static constexpr double kT0 = 2461119.5;

static QString catalogue() {
    return QStringLiteral(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt");
}

// An element line with its check digit put right after a change.
static QByteArray withCheckDigit(QByteArray line) {
    line.truncate(68);
    return line + QByteArray::number(elementLineCheckDigit(line.toStdString())) + '\n';
}

static QByteArray withColumns(const QByteArray& line, int column, const QByteArray& text) {
    QByteArray changed = line;
    changed.replace(column - 1, text.size(), text);
    return withCheckDigit(changed);
}

// The stand-in's satellite commands, driven with explicit instants: element-set checks, the
// pass search, the slew and tracking states over time, the axis-error reply, and robustness.
class TestMountSimSatellite : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void checksElementSets_data();
    void checksElementSets();
    void acceptsTheWholeTestCatalogue();
    void answersUploads_data();
    void answersUploads();
    void tracksAPassUnderWay();
    void waitsForAPassToCome();
    void parkStopAndNewUploadEndTheTracking();
    void noPassFromTheFarSide();
    void refusesPassParameters_data();
    void refusesPassParameters();
    void axisErrorsNeedNewFirmware();
    void survivesRandomCommands();

private:
    SimulatedMount::Config configUnderGps(double jd) const;
    static QByteArray upload(const ThreeLines& set) {
        return ":TLEL0" + escapeUploadText(QString::fromLatin1(set.text())).toLatin1() + '#';
    }
    static QByteArray reply(SimulatedMount& mount, const QByteArray& command, double now) {
        return mount.answer(command, now).value_or("(none)");
    }

    ThreeLines gps;
    ThreeLines geostationary;
};

void TestMountSimSatellite::initTestCase() {
    const QList<ThreeLines> navstar = setsNamed(catalogue(), "NAVSTAR");
    const QList<ThreeLines> eutelsat = setsNamed(catalogue(), "EUTELSAT 139 WEST A");
    QVERIFY(!navstar.isEmpty() && !eutelsat.isEmpty());
    gps = navstar.first();
    geostationary = eutelsat.first();
}

SimulatedMount::Config TestMountSimSatellite::configUnderGps(double jd) const {
    TLE_Satellite satellite = satelliteOf(gps);
    const GroundPoint below = groundPoint(satellite, jd);
    SimulatedMount::Config config;
    config.site = SimulatedSite{below.latitudeDeg, below.eastLongitudeDeg, 0.0};
    config.slewSeconds = 5.0;
    return config;
}

void TestMountSimSatellite::checksElementSets_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");

    const QByteArray name = "NAVSTAR 43 (USA 132)\n";
    const QByteArray l1 = "1 24876U 97035A   26077.46012909  .00000065  00000+0  00000+0 0  9993\n";
    const QByteArray l2 = "2 24876  55.9437 102.1210 0098349  56.1749 304.8335  2.00563927210131\n";
    QTest::newRow("three lines") << name + l1 + l2 << true;
    QTest::newRow("no final line feed") << name + l1 + l2.trimmed() << true;
    QTest::newRow("carriage returns") << "N\r\n" + l1.trimmed() + "\r\n" + l2.trimmed() + "\r\n"
                                      << true;
    QTest::newRow("UTF-8 name") << QByteArray("K\xC3\xB8sat\n") + l1 + l2 << true;
    QTest::newRow("empty name") << "\n" + l1 + l2 << true;
    QTest::newRow("trailing blanks") << name + l1.trimmed() + "   \n" + l2 << true;
    QTest::newRow("Alpha-5 number")
        << name + withColumns(l1, 3, "A4876") + withColumns(l2, 3, "A4876") << true;
    QTest::newRow("negative first derivative")
        << name + withColumns(l1, 34, "-.00000016") + l2 << true;

    QByteArray badDigit1 = l1;
    badDigit1[68] = '4';
    QByteArray badDigit2 = l2;
    badDigit2[68] = '0';
    QTest::newRow("check digit line 1") << name + badDigit1 + l2 << false;
    QTest::newRow("check digit line 2") << name + l1 + badDigit2 << false;
    QTest::newRow("lines swapped") << name + l2 + l1 << false;
    QTest::newRow("line numbers") << name + withColumns(l1, 1, "3") + l2 << false;
    QTest::newRow("catalogue numbers differ") << name + l1 + withColumns(l2, 3, "24877") << false;
    QTest::newRow("short line") << name + l1.left(60) + "\n" + l2 << false;
    QTest::newRow("long line") << name + l1.trimmed() + "7\n" + l2 << false;
    QTest::newRow("letter in the inclination")
        << name + l1 + withColumns(l2, 9, " 55.9X37") << false;
    QTest::newRow("two points in the mean motion")
        << name + l1 + withColumns(l2, 53, " 2.0056.927") << false;
    QTest::newRow("exponent field") << name + withColumns(l1, 54, "00000+00") + l2 << false;
    QTest::newRow("epoch year") << name + withColumns(l1, 19, "2X") + l2 << false;
    QTest::newRow("eccentricity") << name + l1 + withColumns(l2, 27, "00.8349") << false;
    QTest::newRow("tab for blank") << name + withColumns(l1, 9, "\t") + l2 << false;
    QTest::newRow("two lines only") << l1 + l2 << false;
    QTest::newRow("four lines") << name + name + l1 + l2 << false;
    QTest::newRow("NUL in the name") << QByteArray("N\0X\n", 4) + l1 + l2 << false;
    QTest::newRow("nothing") << QByteArray() << false;
}

void TestMountSimSatellite::checksElementSets() {
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(checkElementSet(text).has_value(), valid);
}

void TestMountSimSatellite::acceptsTheWholeTestCatalogue() {
    const QList<ThreeLines> sets = setsNamed(catalogue(), "");
    QVERIFY(sets.size() > 10000);
    for (const ThreeLines& set : sets)
        QVERIFY2(checkElementSet(set.text()), set.name.constData());
}

void TestMountSimSatellite::answersUploads_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer");
    const QByteArray escaped = upload(setsNamed(catalogue(), "NAVSTAR").first());
    QTest::newRow("escaped set") << escaped << QByteArray("V#");
    QTest::newRow("upper-case escapes")
        << QByteArray(escaped).replace("$0a", "$0A") << QByteArray("V#");
    QTest::newRow("unknown escape")
        << QByteArray(escaped).replace("$0a", "$zz") << QByteArray("E#");
    QTest::newRow("comma inside a line")
        << QByteArray(escaped).replace("55.9437", "55$2C9437") << QByteArray("E#");
    QTest::newRow("line feeds unescaped")
        << QByteArray(escaped).replace("$0a", "\n") << QByteArray("E#");
    QTest::newRow("empty") << QByteArray(":TLEL0#") << QByteArray("E#");
}

void TestMountSimSatellite::answersUploads() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);
    SimulatedMount mount({});
    QCOMPARE(reply(mount, command, kT0), answer);
    QCOMPARE(mount.satellites().hasSatellite(), answer == "V#");
}

// The site right under the satellite: the pass is under way, the slew goes to the satellite,
// tracking follows the slew, and the transit ends with the set.
void TestMountSimSatellite::tracksAPassUnderWay() {
    SimulatedMount mount(configUnderGps(kT0));
    QCOMPARE(reply(mount, ":TLES#", kT0), QByteArray("E#"));
    QCOMPARE(reply(mount, upload(gps), kT0), QByteArray("V#"));
    QCOMPARE(reply(mount, ":TLESCK#", kT0), QByteArray("E#"));

    const QByteArray passData = reply(mount, ":TLEP2461119.50000000,10#", kT0);
    const QRegularExpressionMatch match =
        QRegularExpression("^(\\d+\\.\\d{6}),(\\d+\\.\\d{6}),(\\d+\\.\\d)#$").match(passData);
    QVERIFY2(match.hasMatch(), passData.constData());
    const double start = match.captured(1).toDouble();
    const double end = match.captured(2).toDouble();
    QCOMPARE(start, kT0);
    QVERIFY(end > kT0 + 2.0 / 24.0 && end < kT0 + 0.5); // a GPS pass lasts hours
    QVERIFY(match.captured(3).toDouble() > 89.0);
    QCOMPARE(reply(mount, ":GaE#", kT0).split(',').at(2), QByteArray("0.0000000"));

    const double slew = kT0 + 60 * kSecond;
    QCOMPARE(reply(mount, ":TLES#", slew), QByteArray("S#"));
    QCOMPARE(reply(mount, ":TLESCK#", slew + 4.9 * kSecond), QByteArray("S#"));
    QCOMPARE(reply(mount, ":TLESCK#", slew + 5.1 * kSecond), QByteArray("T#"));

    // While tracking: the satellite high up, errors of a few arc-seconds, the state quoted.
    const QByteArray errors = reply(mount, ":GaE#", slew + 20 * kSecond);
    QVERIFY2(errors.contains(",\"T,20.0\","), errors.constData());
    const QList<QByteArray> fields = errors.split(',');
    QVERIFY(fields.at(1).toDouble() > 89.0);
    const AxisErrorReading reading = readAxisErrors(errors.chopped(1));
    QCOMPARE(reading.outcome, AxisErrorReading::Numbers);
    QVERIFY(reading.firstDegrees != 0.0 && std::fabs(reading.firstDegrees) < 3.0 / 3600.0);
    QVERIFY(reading.secondDegrees != 0.0 && std::fabs(reading.secondDegrees) < 3.0 / 3600.0);

    QCOMPARE(reply(mount, ":TLESCK#", end - kSecond), QByteArray("T#"));
    QCOMPARE(reply(mount, ":TLESCK#", end + kSecond), QByteArray("Q#"));
    QCOMPARE(reply(mount, ":GaE#", end + kSecond).split(',').at(5), QByteArray("0.0000000#"));
    QCOMPARE(reply(mount, ":TLES#", end + kSecond), QByteArray("Q#"));
}

void TestMountSimSatellite::waitsForAPassToCome() {
    SimulatedMount::Config config = configUnderGps(kT0);
    TLE_Satellite satellite = satelliteOf(gps);
    const Site site = siteRecord(config.site);
    // Back from the zenith pass to a time when the satellite is well below the horizon.
    double before = kT0;
    while (skyPoint(satellite, site, before).altitudeDeg > -10.0 && before > kT0 - 1.0)
        before -= 600 * kSecond;
    QVERIFY(skyPoint(satellite, site, before).altitudeDeg <= -10.0);

    SimulatedMount mount(config);
    QCOMPARE(reply(mount, upload(gps), before), QByteArray("V#"));
    const QByteArray passData =
        reply(mount, ":TLEP" + QByteArray::number(before, 'f', 8) + ",10#", before);
    const double start = passData.split(',').at(0).toDouble();
    QVERIFY2(start > before + 600 * kSecond && start < kT0, passData.constData());
    QVERIFY(skyPoint(satellite, site, start - 0.1 * kSecond).altitudeDeg < 0.0);
    QVERIFY(skyPoint(satellite, site, start + 0.1 * kSecond).altitudeDeg > 0.0);

    QCOMPARE(reply(mount, ":TLES#", before), QByteArray("V#"));
    QCOMPARE(reply(mount, ":TLESCK#", before + kSecond), QByteArray("V#"));
    QCOMPARE(reply(mount, ":TLESCK#", before + 6 * kSecond), QByteArray("P#"));
    QCOMPARE(reply(mount, ":TLESCK#", start - kSecond), QByteArray("P#"));
    QCOMPARE(reply(mount, ":TLESCK#", start + kSecond), QByteArray("T#"));
}

void TestMountSimSatellite::parkStopAndNewUploadEndTheTracking() {
    SimulatedMount mount(configUnderGps(kT0));
    QCOMPARE(reply(mount, upload(gps), kT0), QByteArray("V#"));
    QVERIFY(reply(mount, ":TLEP2461119.50000000,10#", kT0).startsWith("2461119.5"));
    QCOMPARE(reply(mount, ":TLES#", kT0), QByteArray("S#"));
    QCOMPARE(mount.answer(":STOP#", kT0 + 10 * kSecond), std::nullopt);
    QCOMPARE(reply(mount, ":TLESCK#", kT0 + 11 * kSecond), QByteArray("E#"));

    // The pass outlives a stop, not a park.
    QCOMPARE(reply(mount, ":TLES#", kT0 + 20 * kSecond), QByteArray("S#"));
    QCOMPARE(mount.answer(":KA#", kT0 + 30 * kSecond), std::nullopt);
    QCOMPARE(reply(mount, ":TLESCK#", kT0 + 31 * kSecond), QByteArray("E#"));
    QCOMPARE(reply(mount, ":TLES#", kT0 + 32 * kSecond), QByteArray("F#"));
    QCOMPARE(mount.answer(":PO#", kT0 + 33 * kSecond), std::nullopt);
    QCOMPARE(reply(mount, ":TLES#", kT0 + 34 * kSecond), QByteArray("S#"));
    QCOMPARE(reply(mount, ":TLESCK#", kT0 + 40 * kSecond), QByteArray("T#"));

    QCOMPARE(reply(mount, upload(gps), kT0 + 50 * kSecond), QByteArray("V#"));
    QCOMPARE(reply(mount, ":TLESCK#", kT0 + 51 * kSecond), QByteArray("E#"));
    QCOMPARE(reply(mount, ":TLES#", kT0 + 52 * kSecond), QByteArray("E#"));
}

// A geostationary satellite never rises on the other side of the Earth.
void TestMountSimSatellite::noPassFromTheFarSide() {
    TLE_Satellite satellite = satelliteOf(geostationary);
    const GroundPoint below = groundPoint(satellite, kT0);
    SimulatedMount::Config config;
    config.site = SimulatedSite{-below.latitudeDeg, below.eastLongitudeDeg + 180.0, 0.0};
    SimulatedMount mount(config);
    QCOMPARE(reply(mount, upload(geostationary), kT0), QByteArray("V#"));
    QCOMPARE(reply(mount, ":TLEP2461119.50000000,10#", kT0), QByteArray("E#"));
    QCOMPARE(reply(mount, ":TLES#", kT0), QByteArray("E#"));

    SimulatedMount::Config under;
    under.site = SimulatedSite{below.latitudeDeg, below.eastLongitudeDeg, 0.0};
    SimulatedMount overhead(under);
    QCOMPARE(reply(overhead, upload(geostationary), kT0), QByteArray("V#"));
    // Up all day: the pass ends with the search window.
    const QList<QByteArray> pass =
        reply(overhead, ":TLEP2461119.50000000,10#", kT0).chopped(1).split(',');
    QCOMPARE(pass.at(0), QByteArray("2461119.500000"));
    QCOMPARE(pass.at(1), QByteArray("2461120.500000"));
}

void TestMountSimSatellite::refusesPassParameters_data() {
    QTest::addColumn<QByteArray>("parameters");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("date alone") << QByteArray("2461119.5");
    QTest::newRow("count missing") << QByteArray("2461119.5,");
    QTest::newRow("count not whole") << QByteArray("2461119.5,1.5");
    QTest::newRow("date not a number") << QByteArray("x,10");
    QTest::newRow("three parameters") << QByteArray("2461119.5,10,1");
    QTest::newRow("not a number") << QByteArray("nan,10");
    QTest::newRow("infinite") << QByteArray("inf,10");
    QTest::newRow("huge") << QByteArray("1e300,10");
    QTest::newRow("before 1900") << QByteArray("2400000.5,10");
    QTest::newRow("ten years from the epoch") << QByteArray("2464800.5,10");
}

void TestMountSimSatellite::refusesPassParameters() {
    QFETCH(QByteArray, parameters);
    SimulatedMount mount(configUnderGps(kT0));
    QCOMPARE(reply(mount, ":TLEP2461119.5,10#", kT0), QByteArray("E#")); // no set yet
    QCOMPARE(reply(mount, upload(gps), kT0), QByteArray("V#"));
    QCOMPARE(reply(mount, ":TLEP" + parameters + '#', kT0), QByteArray("E#"));
    QCOMPARE(reply(mount, ":TLES#", kT0), QByteArray("E#"));
}

void TestMountSimSatellite::axisErrorsNeedNewFirmware() {
    SimulatedMount::Config config;
    config.firmware = "2.15.13";
    SimulatedMount old(config);
    QVERIFY(!old.reportsAxisErrors());
    QCOMPARE(old.answer(":GaE#", kT0), std::nullopt);
    QCOMPARE(reply(old, ":TLESCK#", kT0), QByteArray("E#"));

    config.firmware = "2.15.14";
    SimulatedMount current(config);
    QVERIFY(current.reportsAxisErrors());
    QCOMPARE(reply(current, ":GaE#", kT0),
             QByteArray("0.0000,0.0000,0.0000000,\"E,0.0\",0.0000000#"));
}

// Whatever a client sends, and whenever: one '#'-terminated reply or none, an upload answered
// V or E, a state among the six letters. Bounded in count, so it ends quickly.
void TestMountSimSatellite::survivesRandomCommands() {
    QRandomGenerator random(2026);
    SimulatedMount mount(configUnderGps(kT0));
    CommandSplitter splitter;
    const QByteArray valid = upload(gps);
    const QByteArray prefixes[] = {":TLEL0", ":TLEP", ":TLES#", ":TLESCK#", ":GaE#",
                                   ":STOP#", ":KA#",  ":PO#",   "#",        ":"};
    const char alphabet[] = "$0a2C3#,.:-+e 19TLESPn\n\r\x00\xff";
    for (int round = 0; round < 1500; ++round) {
        QByteArray bytes;
        const int pick = random.bounded(int(std::size(prefixes)) + 2);
        if (pick == int(std::size(prefixes))) {
            bytes = valid; // an upload with a few bytes changed
            for (int i = random.bounded(3); i > 0; --i)
                bytes[random.bounded(6, bytes.size() - 1)] =
                    alphabet[random.bounded(int(sizeof alphabet - 1))];
        } else if (pick == int(std::size(prefixes)) + 1) {
            bytes = ":TLEP" + QByteArray::number(kT0 + random.bounded(2.0) - 1.0, 'f', 8) + ",10#";
        } else {
            bytes = prefixes[pick];
            for (int i = random.bounded(12); i > 0; --i)
                bytes += alphabet[random.bounded(int(sizeof alphabet - 1))];
            bytes += '#';
        }
        const double now = kT0 + random.bounded(2.0) - 1.0;
        for (const QByteArray& command : splitter.feed(bytes)) {
            const std::optional<QByteArray> answer = mount.answer(command, now);
            if (!answer)
                continue;
            QVERIFY(answer->endsWith('#'));
            QCOMPARE(answer->count('#'), 1);
            if (command.startsWith(":TLEL0"))
                QVERIFY2(*answer == "V#" || *answer == "E#", command.constData());
            if (command == ":TLESCK#")
                QVERIFY(QByteArray("EVSPTQ").contains(answer->at(0)));
            if (command.startsWith(":TLEP"))
                QVERIFY(*answer != "N#");
        }
    }
}

QTEST_GUILESS_MAIN(TestMountSimSatellite)
#include "tst_mountsim_satellite.moc"
