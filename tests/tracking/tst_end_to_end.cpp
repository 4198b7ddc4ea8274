#include "app/main_window.h"
#include "app/plot_style.h"
#include "app/settings.h"
#include "app/tracking_chart.h"
#include "mount/mount_link.h"
#include "mount/protocol.h"
#include "orbit/element_lines.h"
#include "sky/observation.h"
#include "tests/common/file_bytes.h"
#include "tests/common/ground_point.h"
#include "tests/common/mountsim_process.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"
#include "tools/mountsim/simulated_mount.h"
#include "tracking/pass_recorder.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <cmath>
#include <initializer_list>
#include <memory>

// Process-level waits on a loaded machine: generous, and never a fixed sleep.
static constexpr int kPatienceMs = 20000;
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

// An element line with its check digit put right after a change of columns (from 1).
static QByteArray changed(const QByteArray& line, int column, const QByteArray& text) {
    QByteArray result = line.left(68);
    result.replace(column - 1, text.size(), text);
    return result.left(68) + QByteArray::number(elementLineCheckDigit(result.toStdString())) + '\n';
}

// The stand-in, orbitrak-mountsim: first its protocol and satellite behaviour driven directly at
// chosen instants, then the whole job as a user does it, the real window against the stand-in
// run as a process, with its site right under a navigation satellite.
class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        testDir = QDir::currentPath();
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        // GPS orbits stay meaningful for months after their epoch.
        navstar = setsNamed("NAVSTAR");
        QVERIFY(navstar.size() > 20);
        QByteArray text;
        for (const ThreeLines& set : navstar)
            text += set.text();
        QVERIFY(writeBytes("satell.txt", text));
    }

    void cleanup() {
        window.reset();
        sim.stop();
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
        const QByteArray alpha5[2] = {changed(set.line1, 3, "A0001"),
                                      changed(set.line2, 3, "A0001")};
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
        row("catalogue numbers differ", set.name + set.line1 + changed(set.line2, 3, "99999"),
            "E#");
        row("short line", set.name + set.line1.left(60) + "\n" + set.line2, "E#");
        row("letter in a number", set.name + set.line1 + changed(set.line2, 9, " 55.9X37"), "E#");
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
        SimulatedMount mount(underGps(kT0));
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
        const SimulatedMount::Config config = underGps(kT0);
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
        CatalogueEntry satellite = set.satellite;
        const GroundPoint below = groundPoint(satellite, kT0);
        SimulatedMount::Config config;
        config.site = Site::fromDegrees(-below.latitudeDeg, below.eastLongitudeDeg + 180.0, 0.0);
        SimulatedMount farSide(config);
        STEP(play(farSide, kT0,
                  {{0, upload(set.text()), "V#"},
                   {0, MountProtocol::passCommand(kT0), "E#"},
                   {0, ":TLES#", "E#"}}));

        config.site = Site::fromDegrees(below.latitudeDeg, below.eastLongitudeDeg, 0.0);
        SimulatedMount overhead(config);
        STEP(play(overhead, kT0, {{0, upload(set.text()), "V#"}}));
        QCOMPARE(pass(overhead, kT0).left(29), QByteArray("2461119.500000,2461120.500000"));
    }

    void tracksTheSatelliteOverhead_data() {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<double>("offset"); // the satellite's time offset, seconds
        QTest::newRow("2.15.14: state and errors") << "2.15.14" << 0.0;
        QTest::newRow("2.15.13: the state alone, 1.5 s later") << "2.15.13" << 1.5;
    }

    // Connect, double-click the satellite, and watch the mount slew and track. With a time
    // offset the stand-in takes the set with its epoch moved, and the check digit made anew.
    void tracksTheSatelliteOverhead() {
        QFETCH(QString, firmware);
        QFETCH(double, offset);
        const bool withErrors = firmware == "2.15.14";
        // The sets moved to the present instant, so that the test does not age with them.
        const double now = scales.currentJd();
        QList<ThreeLines> current;
        QByteArray text;
        for (const ThreeLines& set : navstar) {
            current << movedSet(set, scales.utcFromJd(now));
            text += current.last().text();
        }
        QVERIFY(writeBytes("satell.txt", text));
        CatalogueEntry satellite = current.first().satellite;
        const GroundPoint below = groundPoint(satellite, now, scales);
        const QString log = scratch.filePath("sim-" + firmware + ".log");
        const quint16 port = sim.start(
            {"--firmware", firmware, "--lat", QString::number(below.latitudeDeg, 'f', 6), "--lon",
             QString::number(below.eastLongitudeDeg, 'f', 6), "--elev", "0", "--slew-seconds", "1"},
            log);
        STEP(connectWindow(port));
        auto* table = window->findChild<QTableView*>(QStringLiteral("satelliteTableView"));
        auto* status = window->findChild<QLineEdit*>(QStringLiteral("statusLineEdit"));
        QStringList shown;
        connect(status, &QLineEdit::textChanged, [&shown](const QString& text) { shown << text; });
        QTRY_VERIFY_WITH_TIMEOUT(windowLogEvents(window.get()).join('\n').contains("Received site"),
                                 kPatienceMs);
        QCOMPARE(mountSimLog(log, ":").mid(0, 5),
                 (QStringList{":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#"}));
        // The window sees the satellite overhead from the site the stand-in reported.
        QTRY_VERIFY_WITH_TIMEOUT(table->model()->index(0, 1).data().toDouble() > 85.0, kPatienceMs);

        const int row = windowLog(window.get()).size();
        writeTimeOffset(current.first().satellite.elements.satnum, offset);
        const QRect cell = table->visualRect(table->model()->index(0, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        // The log names it without the table's padding.
        const QString name =
            current.first().name.trimmed() + " (" + current.first().line1.mid(2, 5) + ")";
        QStringList expected{logLine(LogLevel::Info, "Selected " + name + "."),
                             logLine(LogLevel::Success, "Slewing to transiting TLE.")};
        if (offset != 0.0)
            expected.insert(1, logLine(LogLevel::Info,
                                       "Uploading " + name + " with a time offset of +1.50 s."));
        QTRY_COMPARE_WITH_TIMEOUT(windowLog(window.get()).mid(row), expected, kPatienceMs);
        writeTimeOffset(current.first().satellite.elements.satnum, 0.0);

        // The upload exactly as escaped, then the pass and the slew, and no poll between them. A
        // poll in flight at the double-click has its error reading queued behind the upload.
        const ThreeLines& set = current.first();
        QByteArray line1 = set.line1.trimmed();
        if (offset != 0.0) {
            const std::string moved =
                shiftElementEpoch(line1.toStdString(), set.line2.toStdString(), offset)->line1;
            const auto before =
                readElementLines(line1.toStdString(), set.line2.trimmed().toStdString(), "");
            const auto after = readElementLines(moved, set.line2.trimmed().toStdString(), "");
            QVERIFY(before && after);
            QVERIFY(std::fabs(after->epochDay - before->epochDay - offset * kSecond) < 0.6e-8);
            line1 = QByteArray::fromStdString(moved);
        }
        const QString uploaded = ":TLEL0" + QString::fromLatin1(set.name.trimmed()) + "$0a" +
                                 QString::fromLatin1(line1) + "$0a" +
                                 QString::fromLatin1(set.line2.trimmed()) + "$0a#";
        QStringList commands = mountSimLog(log, ":");
        const int at = commands.indexOf(uploaded);
        QVERIFY2(at >= 0, qPrintable(commands.join('\n')));
        commands = commands.mid(at + 1);
        if (!commands.isEmpty() && commands.first() == ":GaE#")
            commands.removeFirst();
        QVERIFY2(commands.size() >= 2, qPrintable(commands.join('\n')));
        QVERIFY2(QRegularExpression("^:TLEP\\d{7}\\.\\d{8},10#$").match(commands[0]).hasMatch(),
                 qPrintable(commands[0]));
        QCOMPARE(commands[1], QString(":TLES#"));

        // Before the tracking only the idle state and the slew, with zero errors when read. The
        // errors are read after the state: the slew's last line may carry the errors of the
        // tracking that began between the two reads.
        const QString zero = withErrors ? "  errors: 0.00\", 0.00\"" : "";
        const QString errors = withErrors ? "  errors: -?\\d+\\.\\d\\d\", -?\\d+\\.\\d\\d\"" : "";
        const QRegularExpression tracking("^Tracking satellite" + errors + "$");
        const QRegularExpression slewing("^Slewing to catch satellite" + errors + "$");
        QTRY_VERIFY_WITH_TIMEOUT(tracking.match(status->text()).hasMatch(), kPatienceMs);
        QCOMPARE(mountSimLog(log, ":").contains(":GaE#"), withErrors);
        for (int i = 0; i + 1 < shown.size(); ++i)
            QVERIFY2(
                shown[i] == "No transit tracking requested" + zero ||
                    shown[i] == "Slewing to catch satellite" + zero ||
                    tracking.match(shown[i]).hasMatch() ||
                    (slewing.match(shown[i]).hasMatch() && tracking.match(shown[i + 1]).hasMatch()),
                qPrintable(shown[i]));
        if (withErrors) {
            // A picture for the user guide: wide enough for the column headers, the latest log
            // lines in view.
            window->resize(820, 640);
            window->findChild<QTableView*>(QStringLiteral("logTableView"))->scrollToBottom();
            QVERIFY(window->grab().save(QDir(testDir).filePath("tracking.png")));
        }
        STEP(checkPassRecord(withErrors, offset));
    }

    // The site where the satellite culminates overhead in ten minutes: the mount slews to where
    // it will rise and waits, and the status line counts down to the rise the stand-in computed.
    void countsDownToTheRise() {
        const double now = scales.currentJd();
        const ThreeLines iss = movedSet(setsNamed("ISS (ZARYA)").value(0), scales.utcFromJd(now));
        QVERIFY(writeBytes("satell.txt", iss.text()));
        CatalogueEntry satellite = iss.satellite;
        const GroundPoint below = groundPoint(satellite, now + 600 * kSecond, scales);
        const QString log = scratch.filePath("sim-countdown.log");
        const quint16 port = sim.start({"--lat", QString::number(below.latitudeDeg, 'f', 6),
                                        "--lon", QString::number(below.eastLongitudeDeg, 'f', 6),
                                        "--elev", "0", "--slew-seconds", "1", "--log-replies"},
                                       log);
        STEP(connectWindow(port));
        QTRY_VERIFY_WITH_TIMEOUT(windowLogEvents(window.get()).join('\n').contains("Received site"),
                                 kPatienceMs);
        auto* table = window->findChild<QTableView*>(QStringLiteral("satelliteTableView"));
        emit table->doubleClicked(table->model()->index(0, 0));
        auto* status = window->findChild<QLineEdit*>(QStringLiteral("statusLineEdit"));
        const QRegularExpression waiting("^Waiting for transit: rises in (\\d\\d):(\\d\\d)$");
        QTRY_VERIFY_WITH_TIMEOUT(waiting.match(status->text()).hasMatch(), kPatienceMs);
        const QRegularExpressionMatch shown = waiting.match(status->text());
        const double left = (shown.captured(1).toInt() * 60 + shown.captured(2).toInt()) * kSecond;
        const QStringList replies =
            mountSimLog(log, "#> ").filter(QRegularExpression("^#> \\d+\\.\\d{6},\\d+\\.\\d{6},"));
        QCOMPARE(replies.size(), 1); // the pass the stand-in computed: its start, end, height
        const double rise = replies[0].mid(3).section(',', 0, 0).toDouble();
        QVERIFY2(std::fabs(scales.currentJd() + left - rise) < 2.5 * kSecond,
                 qPrintable(status->text() + " / " + replies[0]));
        QVERIFY(left > 60 * kSecond);
        // Each tick counts on.
        QTRY_VERIFY_WITH_TIMEOUT(status->text() != shown.captured(0), kPatienceMs);
        QVERIFY(waiting.match(status->text()).hasMatch());
    }

    // A stand-in that reports a latitude of 95 degrees and sends a stray reply after the second
    // status reply: the window keeps the site it had, warns once, and stays in step.
    void windowCopesWithAMisbehavingMount() {
        const QString log = scratch.filePath("sim-misbehaving.log");
        const quint16 port = sim.start(
            {"--site-reply", "latitude=+95*00:00", "--stray-after", ":TLESCK#:2:X#"}, log);
        STEP(connectWindow(port));
        const QString ignored = logLine(LogLevel::Warning, "Ignored unexpected data from mount.");
        QTRY_VERIFY_WITH_TIMEOUT(windowLog(window.get()).contains(ignored), kPatienceMs);
        QVERIFY(windowLog(window.get())
                    .contains(logLine(LogLevel::Error,
                                      "Unreadable site from mount: latitude '+95*00:00'.")));
        QVERIFY(windowLogEvents(window.get()).filter("Received site").isEmpty());
        const Site site = window->findChild<MountLink*>()->site();
        QCOMPARE(QList<double>({site.latitude, site.westLongitude, site.elevation}),
                 QList<double>({Site().latitude, Site().westLongitude, Site().elevation}));
        // The status line is set anew from the replies to the polls that follow.
        auto* status = window->findChild<QLineEdit*>(QStringLiteral("statusLineEdit"));
        status->clear();
        QTRY_COMPARE_WITH_TIMEOUT(status->text(),
                                  QString("No transit tracking requested  errors: 0.00\", 0.00\""),
                                  kPatienceMs);
        QCOMPARE(windowLogEvents(window.get()).filter("unexpected data").size(), 1);
    }

private:
    // The chart of the pass under way draws both axes; Stop ends the pass, and its record holds
    // what the mount reported, with the RMS that the log gives.
    void checkPassRecord(bool withErrors, double offset) {
        auto* chart = window->findChild<TrackingChart*>(QStringLiteral("trackingChart"));
        const auto* recorder = window->findChild<PassRecorder*>();
        QVERIFY(chart->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(recorder->firstAxis().count >= 6 || !withErrors, kPatienceMs);
        const QImage image = chart->grab().toImage();
        const auto drawn = [&image, chart](const QColor& colour) {
            for (int y = 2 * chart->fontMetrics().height(); y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                            std::abs(c.blue() - colour.blue()) <
                        40)
                        return true;
                }
            return false;
        };
        QCOMPARE(drawn(plot_style::kBlue), withErrors);
        QCOMPARE(drawn(plot_style::kRed), withErrors);
        QCOMPARE(chart->legend().startsWith("Axis 1: RMS "), withErrors);

        window->findChild<QPushButton*>(QStringLiteral("stopButton"))->click();
        const QRegularExpression recorded(
            "^Info: Pass record: (.+) \\((RMS (\\d+\\.\\d)\", (\\d+\\.\\d)\"|no tracking errors "
            "read)\\)\\.$");
        QTRY_VERIFY_WITH_TIMEOUT(!windowLog(window.get()).filter(recorded).isEmpty(), kPatienceMs);
        const QRegularExpressionMatch match =
            recorded.match(windowLog(window.get()).filter(recorded).first());
        QCOMPARE(!match.captured(3).isEmpty(), withErrors);
        QFile file(match.captured(1));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(match.captured(1)));
        QStringList lines = QString::fromLatin1(file.readAll()).split('\n');
        QVERIFY(lines.size() > 3 && lines.takeLast().isEmpty());
        QCOMPARE(lines.takeFirst(), QString("utc,status,first_axis_error_arcsec,second_axis_"
                                            "error_arcsec,altitude_deg,azimuth_deg,time_offset_s"));
        QCOMPARE(lines.last().section(',', 1, 1), QString("E")); // stopped
        double squares[2] = {0.0, 0.0};
        int tracking = 0;
        for (const QString& line : lines) {
            const QStringList f = line.split(',');
            QVERIFY2(f.size() == 7 && QString("EST").contains(f[1]) &&
                         f[6] == QString::number(offset, 'f', 3),
                     qPrintable(line));
            QVERIFY2(f[4].toDouble() > 85.0, qPrintable(line)); // the satellite overhead
            QCOMPARE(f[2].isEmpty(), !withErrors);
            if (f[1] != "T")
                continue;
            ++tracking;
            for (int axis = 0; axis < 2; ++axis) {
                QVERIFY2(std::fabs(f[2 + axis].toDouble()) < 3.0, qPrintable(line));
                squares[axis] += f[2 + axis].toDouble() * f[2 + axis].toDouble();
            }
        }
        QVERIFY(tracking >= 1);
        for (int axis = 0; axis < 2 && withErrors; ++axis)
            QVERIFY(std::fabs(std::sqrt(squares[axis] / tracking) -
                              match.captured(3 + axis).toDouble()) < 0.051);
    }

    // A window, shown, that connects to the stand-in on the port.
    void connectWindow(quint16 port) {
        QVERIFY(port != 0);
        QVERIFY(writeMountIp(QStringLiteral("127.0.0.1")));
        window = std::make_unique<MainWindow>(scales, port);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->findChild<QCheckBox*>(QStringLiteral("connectMountCheckBox"))->click();
    }

    SimulatedMount::Config underGps(double jd) const {
        CatalogueEntry satellite = navstar.first().satellite;
        const GroundPoint below = groundPoint(satellite, jd);
        SimulatedMount::Config config;
        config.site = Site::fromDegrees(below.latitudeDeg, below.eastLongitudeDeg, 0.0);
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

    const TimeScales scales; // the window's, outliving it
    QString testDir;         // where the screenshot is left, beside the test's other output
    QTemporaryDir scratch;
    QList<ThreeLines> navstar;
    MountSimProcess sim;
    std::unique_ptr<MainWindow> window;
};

ORBITRAK_WINDOW_TEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
