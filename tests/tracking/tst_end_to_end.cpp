#include "app/main_window.h"
#include "app/plot_style.h"
#include "app/settings.h"
#include "app/tracking_chart.h"
#include "mount/mount_link.h"
#include "orbit/element_lines.h"
#include "tests/common/file_bytes.h"
#include "tests/common/ground_point.h"
#include "tests/common/mountsim_process.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"
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

// The whole job as a user does it: the real window against the stand-in, orbitrak-mountsim, run
// as a process, with its site right under a satellite.
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
        const SpotBelow below = groundPoint(satellite, now, scales);
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
        // The epoch moved as the element-line tests check it.
        QByteArray line1 = set.line1.trimmed();
        if (offset != 0.0)
            line1 = QByteArray::fromStdString(
                shiftElementEpoch(line1.toStdString(), set.line2.toStdString(), offset)->line1);
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
        const SpotBelow below = groundPoint(satellite, now + 600 * kSecond, scales);
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

    const TimeScales scales; // the window's, outliving it
    QString testDir;         // where the screenshot is left, beside the test's other output
    QTemporaryDir scratch;
    QList<ThreeLines> navstar;
    MountSimProcess sim;
    std::unique_ptr<MainWindow> window;
};

ORBITRAK_WINDOW_TEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
