// The stand-in, orbitrak-mountsim, driven directly at chosen instants: its handshake and
// motion, its checks of uploads, and passes under way, to come, and from the far side.
#include "mount/protocol.h"
#include "sky/observation.h"
#include "tests/common/ground_point.h"
#include "tests/common/scripted_mount.h"
#include "tools/mountsim/simulated_mount.h"

#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <initializer_list>

static constexpr double kSecond = 1.0 / 86400.0;
// 2026-03-20 0h on the working scale, two days after the test sets' epochs.
static constexpr double kT0 = 2461119.5;

static QByteArray upload(const QByteArray& text) {
    return MountProtocol::uploadCommand(QString::fromLatin1(text), QString(), QString());
}

// The satellite's altitude from the site, as the stand-in computes it (no time table).
static double altitudeDeg(CatalogueEntry& satellite, const Site& site, double jd) {
    return horizonDirection(topocentricEnu(satellite, observationInstant(TimeScales(), jd, site)))
        .altitudeDeg;
}

// One command to the stand-in, some seconds after a start, and its answer ("" for none).
struct Step {
    double seconds;
    QByteArray command;
    QByteArray answer;
};

class TestMountSim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // GPS orbits stay meaningful for months after their epoch.
        navstar = setsNamed("NAVSTAR");
        QVERIFY(navstar.size() > 20);
    }

    void standInHandshakeAndMotion() {
        SimulatedMount::Config config;
        config.firmware = "2.15.9";
        config.site = Site::fromDegrees(-33.5, 151.25, 58.0);
        SimulatedMount mount(config);
        // East 151.25 is west -151.25 on the wire; 2.15.9 leaves ":GaE#" unanswered.
        STEP(play(mount, kT0,
                  {{0, ":U2#", ""},
                   {0, ":GVN#", "2.15.9#"},
                   {0, ":Gt#", "-33*30:00.0#"},
                   {0, ":Gg#", "-151*15:00.0#"},
                   {0, ":Gev#", "+0058.0#"},
                   {0, ":GaE#", ""},
                   {0, ":GVNX#", ""},
                   {0, "GVN#", ""},
                   {0, ":KA#", ""}}));
        QVERIFY(mount.isParked());
        STEP(play(mount, kT0, {{0, ":PO#", ""}}));
        QVERIFY(!mount.isParked());
    }

    void standInChecksUploads_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("refuseAlpha5");

        const ThreeLines set = navstar.first();
        const auto row = [](const char* name, const QByteArray& text, const char* answer,
                            bool refuseAlpha5 = false) {
            QTest::newRow(name) << upload(text) << QByteArray(answer) << refuseAlpha5;
        };
        const QByteArray alpha5[2] = {withColumns(set.line1, 3, "A0001"),
                                      withColumns(set.line2, 3, "A0001")};
        row("Alpha-5", set.name + alpha5[0] + alpha5[1], "V#");
        row("Alpha-5 refused", set.name + alpha5[0] + alpha5[1], "E#", true);
        row("five digits, Alpha-5 refused", set.text(), "V#", true);
        row("Alpha-5 in one line only", set.name + alpha5[0] + set.line2, "E#");
        row("three lines", set.text(), "V#");
        row("carriage returns",
            set.name.trimmed() + "\r\n" + set.line1.trimmed() + "\r\n" + set.line2, "V#");
        QByteArray badDigit = set.line1;
        badDigit[68] = badDigit[68] == '0' ? '1' : '0';
        row("check digit", set.name + badDigit + set.line2, "E#");
        row("lines swapped", set.name + set.line2 + set.line1, "E#");
        row("catalogue numbers differ", set.name + set.line1 + withColumns(set.line2, 3, "99999"),
            "E#");
        row("short line", set.name + set.line1.left(60) + "\n" + set.line2, "E#");
        row("letter in a number", set.name + set.line1 + withColumns(set.line2, 9, " 55.9X37"),
            "E#");
        row("two lines only", set.line1 + set.line2, "E#");
        row("NUL in the name", QByteArray("N\0X\n", 4) + set.line1 + set.line2, "E#");
        const QByteArray escaped = upload(set.text());
        QTest::newRow("upper-case escapes")
            << QByteArray(escaped).replace("$0a", "$0A") << QByteArray("V#") << false;
        QTest::newRow("unknown escape")
            << QByteArray(escaped).replace("$0a", "$zz") << QByteArray("E#") << false;
        QTest::newRow("raw line feeds")
            << QByteArray(escaped).replace("$0a", "\n") << QByteArray("E#") << false;
        QTest::newRow("empty") << QByteArray(":TLEL0#") << QByteArray("E#") << false;
    }

    void standInChecksUploads() {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        QFETCH(bool, refuseAlpha5);
        SimulatedMount::Config config;
        config.refuseAlpha5 = refuseAlpha5;
        SimulatedMount mount(config);
        QCOMPARE(mount.answer(command, kT0).value_or("(none)"), answer);
        QCOMPARE(mount.satellites().hasSatellite(), answer == "V#");
    }

    // The site right under the satellite: the pass is under way, the slew goes to the satellite,
    // tracking follows the slew; stop, park and a new set end the tracking; the pass ends.
    void standInPassUnderWay() {
        SimulatedMount mount(under(navstar.first(), kT0));
        const QByteArray gps = upload(navstar.first().text());
        STEP(play(mount, kT0,
                  {{0, ":TLES#", "E#"},
                   {0, ":TLEP2461119.5,10#", "E#"},
                   {0, gps, "V#"},
                   {0, ":TLESCK#", "E#"},
                   {0, ":TLEP2461119.5#", "E#"},
                   {0, ":TLEPx,10#", "E#"},
                   {0, ":TLEP2461119.5,1.5#", "E#"},
                   {0, ":TLEP2400000.5,10#", "E#"},
                   {0, ":TLEP2464800.5,10#", "E#"},
                   {0, ":TLES#", "E#"}}));

        const QByteArray passData = pass(mount, kT0);
        const QRegularExpressionMatch match =
            QRegularExpression("^(\\d+\\.\\d{6}),(\\d+\\.\\d{6}),(\\d+\\.\\d)#$").match(passData);
        QVERIFY2(match.hasMatch(), passData.constData());
        QCOMPARE(match.captured(1).toDouble(), kT0);
        QVERIFY(match.captured(2).toDouble() > kT0 + 2.0 / 24.0); // a GPS pass lasts hours
        QVERIFY(match.captured(3).toDouble() > 89.0);

        STEP(play(mount, kT0,
                  {{60, ":TLES#", "S#"},
                   {64.9, ":TLESCK#", "S#"},
                   {65.1, ":TLESCK#", "T#"},
                   {70, ":STOP#", ""},
                   {71, ":TLESCK#", "E#"},
                   {80, ":TLES#", "S#"},
                   {90, ":KA#", ""},
                   {91, ":TLESCK#", "E#"},
                   {92, ":TLES#", "F#"},
                   {93, ":PO#", ""},
                   {94, ":TLES#", "S#"}}));
        // While tracking: errors of a few arc-seconds, the state quoted with the seconds since the
        // slew began.
        const QByteArray errors = mount.answer(":GaE#", kT0 + 114 * kSecond).value_or("");
        QVERIFY2(errors.contains(",\"T,20.0\","), errors.constData());
        const auto reading = MountProtocol::readAxisErrors(errors.chopped(1));
        QCOMPARE(reading.outcome, MountProtocol::AxisErrorReading::Numbers);
        QVERIFY(reading.firstDegrees != 0.0 && std::fabs(reading.firstDegrees) < 3.0 / 3600.0);
        QVERIFY(reading.secondDegrees != 0.0 && std::fabs(reading.secondDegrees) < 3.0 / 3600.0);
        STEP(play(mount, kT0,
                  {{43200, ":TLESCK#", "Q#"},
                   {43200, ":TLES#", "Q#"},
                   {43201, gps, "V#"},
                   {43202, ":TLESCK#", "E#"},
                   {43203, ":TLES#", "E#"}}));
    }

    // From well before the rise: a slew to where the pass begins, then waiting, then tracking.
    void standInPassToCome() {
        const SimulatedMount::Config config = under(navstar.first(), kT0);
        CatalogueEntry satellite = navstar.first().satellite;
        const Site site = config.site;
        double before = kT0;
        while (altitudeDeg(satellite, site, before) > -10.0 && before > kT0 - 1.0)
            before -= 600 * kSecond;
        QVERIFY(altitudeDeg(satellite, site, before) <= -10.0);

        SimulatedMount mount(config);
        STEP(play(mount, before, {{0, upload(navstar.first().text()), "V#"}}));
        const QByteArray passData = pass(mount, before);
        const double start = passData.split(',').at(0).toDouble();
        QVERIFY2(start > before + 600 * kSecond && start < kT0, passData.constData());
        QVERIFY(altitudeDeg(satellite, site, start - 0.1 * kSecond) < 0.0);
        QVERIFY(altitudeDeg(satellite, site, start + 0.1 * kSecond) > 0.0);
        STEP(play(mount, before,
                  {{0, ":TLES#", "V#"}, {1, ":TLESCK#", "V#"}, {6, ":TLESCK#", "P#"}}));
        STEP(play(mount, start, {{-1, ":TLESCK#", "P#"}, {1, ":TLESCK#", "T#"}}));
    }

    // A geostationary satellite never rises on the other side of the Earth; right under it, it is
    // up all day and the pass ends with the search window.
    void standInNoPassFromTheFarSide() {
        const ThreeLines set = setsNamed("EUTELSAT 139 WEST A").value(0);
        SimulatedMount farSide(under(set, kT0, true));
        STEP(play(farSide, kT0,
                  {{0, upload(set.text()), "V#"},
                   {0, MountProtocol::passCommand(kT0), "E#"},
                   {0, ":TLES#", "E#"}}));
        SimulatedMount overhead(under(set, kT0));
        STEP(play(overhead, kT0, {{0, upload(set.text()), "V#"}}));
        QCOMPARE(pass(overhead, kT0).left(29), QByteArray("2461119.500000,2461120.500000"));
    }

private:
    // A stand-in right under the set's satellite at `jd`, or on the far side of the Earth.
    static SimulatedMount::Config under(const ThreeLines& set, double jd, bool farSide = false) {
        CatalogueEntry satellite = set.satellite;
        const SpotBelow below = groundPoint(satellite, jd);
        SimulatedMount::Config config;
        config.site = farSide
                          ? Site::fromDegrees(-below.latitudeDeg, below.eastLongitudeDeg + 180, 0)
                          : Site::fromDegrees(below.latitudeDeg, below.eastLongitudeDeg, 0);
        config.slewSeconds = 5.0;
        return config;
    }

    static void play(SimulatedMount& mount, double start, std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            const std::optional<QByteArray> answer =
                mount.answer(step.command, start + step.seconds * kSecond);
            QVERIFY2(answer.value_or("") == step.answer,
                     qPrintable(
                         QString::asprintf("%s at %g s: ", step.command.constData(), step.seconds) +
                         QString::fromLatin1(answer.value_or("(none)"))));
        }
    }

    static QByteArray pass(SimulatedMount& mount, double jd) {
        return mount.answer(MountProtocol::passCommand(jd), jd).value_or("");
    }

    QList<ThreeLines> navstar;
};

QTEST_GUILESS_MAIN(TestMountSim)
#include "tst_mountsim.moc"
