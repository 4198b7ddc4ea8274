#include "app/catalogue_loader.h"
#include "app/pass_exporter.h"
#include "app/planner_dock.h"
#include "app/reminder_notices.h"
#include "app/settings.h"
#include "app/site_choice.h"
#include "app/sky_plot.h"
#include "app/transit_exporter.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "mount/mount_link.h"
#include "planning/pass_reminders.h"
#include "planning/planned.h"
#include "sky/observing_sites.h"
#include "sky/sky_session.h"
#include "tests/common/file_bytes.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_test_main.h"

#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>

namespace {

// What an object says in the log, as "Level: text".
struct LogCatch {
    QStringList lines;
    template <typename Source> void listen(Source* source) {
        QObject::connect(
            source, &Source::logEvent, source,
            [this](const QString& text, LogLevel level) { lines << logLine(level, text); });
    }
};

} // namespace

// The objects the window owns, each driven without a window: the site choice, the catalogue's
// loading, the export, the reminders' notices and the planner's dock with its placement; and the
// sky plot. Every case starts with the settings of a first start, in a scratch folder.
class TestWindowParts : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        QVERIFY(writeBytes("garden.txt", "0 10\n180 30\n") &&
                writeBytes("bad.txt", "0 10\nten 20\n"));
    }

    void init() { QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak")).clear(); }

    // The chosen site's horizon file, or the one of the settings from before sites had their
    // own; one that cannot be read leaves the horizon flat and says why.
    void siteChoiceReadsTheHorizon_data() {
        QTest::addColumn<QString>("siteFile");
        QTest::addColumn<QString>("oldFile"); // the "horizon_file" setting
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("logged"); // %1 the file's path
        const auto row = [](const char* name, const char* siteFile, const char* oldFile, int points,
                            const char* logged) {
            QTest::newRow(name) << siteFile << oldFile << points << logged;
        };
        row("the site's", "garden.txt", "bad.txt", 2, "");
        row("the old setting", "", "garden.txt", 2, "");
        row("missing", "nowhere.txt", "", 0,
            "Error: The horizon file %1 does not exist. The horizon stays flat.");
        row("malformed", "bad.txt", "", 0,
            "Error: Line 2 of the horizon file %1 is not an azimuth and an altitude in degrees. "
            "The horizon stays flat.");
    }

    void siteChoiceReadsTheHorizon() {
        QFETCH(QString, siteFile);
        QFETCH(QString, oldFile);
        QFETCH(int, points);
        QFETCH(QString, logged);
        const QString path = siteFile.isEmpty() ? siteFile : QDir::current().filePath(siteFile);
        const ObservingSite home{"Home", 48.5, 11.5, 520, path};
        QVERIFY(writeObservingSites({home}) && writeCurrentSiteName("Home"));
        QSettings("Halvstar", "Orbitrak")
            .setValue("horizon_file",
                      oldFile.isEmpty() ? oldFile : QDir::current().filePath(oldFile));
        SkySession session(scales);
        session.setHorizon(HorizonMask({{0, 45}})); // a file not read leaves none of it
        MountLink link(1);
        SiteChoice choice(session, link);
        LogCatch log;
        log.listen(&choice);
        choice.apply();
        QCOMPARE(int(session.horizon().maskPoints().size()), points);
        QCOMPARE(session.site().latitude, home.site().latitude);
        QCOMPARE(log.lines, logged.isEmpty()
                                ? QStringList()
                                : QStringList(logged.arg(QDir::toNativeSeparators(path))));
    }

    // The settings applied again keep the site the mount reported, and compare it again (the
    // rest of the mount's site taking over is tst_window_sites' mountSiteTakesOver).
    void siteChoiceKeepsTheMountsSite() {
        QVERIFY(writeObservingSites({{"Home", 48.5, 11.5, 520, QString()}}) &&
                writeCurrentSiteName("Home"));
        SkySession session(scales);
        MountLink link(1);
        SiteChoice choice(session, link);
        LogCatch log;
        log.listen(&choice);
        choice.apply();
        const Site far = Site::fromMountDegrees(48.6, -11.5, 520);
        emit link.siteChanged(far);
        QTRY_COMPARE(log.lines, QStringList("Warning: The mount's site is 11.1 km from Home."));
        choice.apply();
        QCOMPARE(session.site().latitude, far.latitude);
        QCOMPARE(log.lines.size(), 2);
    }

    void catalogueLoaderSaysWhatItCannotShow_data() {
        QTest::addColumn<QByteArray>("file"); // empty: satell.txt is a folder; "-": none
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("logged");
        const QString path = QDir::current().absoluteFilePath("satell.txt");
        const auto row = [](const char* name, const QByteArray& file, int rows,
                            const QString& logged = {}) {
            QTest::newRow(name) << file << rows
                                << (logged.isEmpty() ? QStringList() : QStringList(logged));
        };
        row("500 sets", numberedGroups(500), 500);
        row("501 sets", numberedGroups(501), 500,
            "Warning: Showing the first 500 of 501 element sets.");
        row("none yet", "-", 0,
            "Info: No element sets yet: get them with TLEs > Load TLEs... or TLEs > Update from "
            "sources.");
        row("a folder", {}, 0, "Warning: " + path + " is not a regular file.");
        row("no known form", "No GP data found\n", 0,
            "Warning: " + path + " holds no element sets in a known form.");
        row("a set cut short", numberedGroups(2) + kIssLine1, 2,
            "Warning: Skipped 1 element set that failed their checks.");
    }

    void catalogueLoaderSaysWhatItCannotShow() {
        QFETCH(QByteArray, file);
        QFETCH(int, rows);
        QFETCH(QStringList, logged);
        QFile::remove("satell.txt");
        QVERIFY(file == "-" ||
                (file.isEmpty() ? QDir().mkdir("satell.txt") : writeBytes("satell.txt", file)));
        SkySession session(scales);
        CatalogueLoader loader(session, [] { return QStringLiteral("satell.txt"); });
        LogCatch log;
        log.listen(&loader);
        loader.reload();
        QDir().rmdir("satell.txt");
        QCOMPARE(int(session.catalogue().size()), rows);
        QCOMPARE(log.lines, logged);
        // Nothing chosen, or the catalogue itself: no copy, no reload.
        QVERIFY(!loader.replaceWith(QString()));
        QVERIFY(file == "-" || file.isEmpty() || !loader.replaceWith("satell.txt"));
        QCOMPARE(log.lines.size(), logged.size());
    }

    // The file name's suffix, else the dialog's filter, picks the form (no suffix takes its); the
    // calendar takes whole passes only, and nothing is written where nothing would be said.
    void exportWritesWhatItSays_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("csvFilter");
        QTest::addColumn<QString>("passes");  // w whole, c cut, x of no satellite
        QTest::addColumn<QString>("written"); // empty: none
        QTest::addColumn<QString>("logged");
        const QString none = "Warning: No pass to export: the planner shows none.";
        const QString left = "Info: Exported 1 of 2 passes to a.%1; 1 left out as not whole "
                             "(rising or setting outside the search window).";
        const auto row = [](const char* name, const char* file, bool csvFilter, const char* passes,
                            const char* written, const QString& logged) {
            QTest::newRow(name) << file << csvFilter << passes << written << logged;
        };
        row("none", "a.csv", true, "", "", none);
        row("no satellite", "a.csv", true, "x", "", none);
        row("none whole", "a.ics", true, "c", "",
            "Warning: No whole pass to export: a pass must rise and set within the search window.");
        row("CSV, all", "a.csv", false, "wcx", "a.csv", "Info: Exported 2 passes to a.csv.");
        row("no suffix, CSV", "a", true, "wc", "a.csv", "Info: Exported 2 passes to a.csv.");
        row("no suffix, calendar", "a", false, "w", "a.ics", "Info: Exported 1 pass to a.ics.");
        row(".ics, CSV filter", "a.ics", true, "wc", "a.ics", left.arg("ics"));
        row("another suffix", "a.txt", false, "wc", "a.txt", left.arg("txt"));
        row(".CSV", "a.CSV", false, "wc", "a.CSV", "Info: Exported 2 passes to a.CSV.");
        row("no folder", "none/a.csv", true, "w", "", "Error: Cannot write none/a.csv: ");
    }

    void exportWritesWhatItSays() {
        QFETCH(QString, file);
        QFETCH(bool, csvFilter);
        QFETCH(QString, passes);
        QFETCH(QString, written);
        QFETCH(QString, logged);
        SkySession session(scales);
        Catalogue catalogue;
        readCatalogueText((kIssLine1 + kIssLine2).toStdString(), 0, catalogue);
        session.setCatalogue(std::move(catalogue));
        std::vector<PlannedPass> shown;
        for (const QChar kind : passes) {
            PlannedPass p;
            p.satellite = kind == 'x' ? 1 : 0;
            p.pass.hasRise = true;
            p.pass.hasSet = kind != 'c';
            p.pass.rise.jd = p.pass.startJd = session.instant();
            p.pass.culmination.jd = p.pass.rise.jd + 0.002;
            p.pass.set.jd = p.pass.endJd = p.pass.rise.jd + 0.004;
            shown.push_back(p);
        }
        for (const QString& old : QDir().entryList({"a", "a.*"}))
            QFile::remove(old);
        PassExporter exporter(session, scales);
        LogCatch log;
        log.listen(&exporter);
        const int count = exporter.write(file, csvFilter, shown, false);
        QCOMPARE(log.lines.size(), 1);
        QVERIFY2(log.lines[0].startsWith(logged), qPrintable(log.lines[0]));
        QCOMPARE(QDir().entryList({"a", "a.*"}),
                 written.isEmpty() ? QStringList() : QStringList(written));
        if (written.endsWith("csv", Qt::CaseInsensitive))
            QCOMPARE(readBytes(written).count('\n'), 1 + count);
        else if (!written.isEmpty())
            QCOMPARE(readBytes(written).count("BEGIN:VEVENT"), count);
    }

    // A transit's centre line: the suffix, else the filter, picks the form; a fault is logged.
    void centreLineExportPicksItsForm_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("filter"); // of TransitExporter::filters()
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("begins");
        QTest::newRow("GeoJSON") << "a.geojson" << 2 << "a.geojson" << QByteArray("{\"type\"");
        QTest::newRow("no suffix, KML") << "a" << 1 << "a.kml" << QByteArray("<?xml");
        QTest::newRow("no suffix, GPX") << "a" << 2 << "a.gpx" << QByteArray("<?xml");
        QTest::newRow(".KML") << "a.KML" << 0 << "a.KML" << QByteArray("<?xml");
        QTest::newRow("no folder") << "none/a.gpx" << 0 << QString() << QByteArray();
    }
    void centreLineExportPicksItsForm() {
        QFETCH(QString, file);
        QFETCH(int, filter);
        QFETCH(QString, written);
        QFETCH(QByteArray, begins);
        SkySession session(scales);
        Catalogue catalogue;
        for (std::size_t i = 0; i < activeCatalogue().size(); ++i)
            if (activeCatalogue()[i].elements.satnum == 22825)
                catalogue.satellites.push_back(activeCatalogue()[i]);
        const Site munich = Site::fromDegrees(48.0, 11.0, 500.0);
        const double from = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, 9));
        Catalogue searched = catalogue;
        const std::vector<Transit> found = findCatalogueTransits(
            searched, scales, munich, PassWindow{from, from + 0.04, 0, nullptr});
        QCOMPARE(found.size(), std::size_t(1));
        session.setCatalogue(std::move(catalogue));
        session.setSite(munich);
        for (const QString& old : QDir().entryList({"a", "a.*"}))
            QFile::remove(old);
        TransitExporter exporter(session, scales);
        LogCatch log;
        log.listen(&exporter);
        QCOMPARE(exporter.write(file, TransitExporter::filters()[filter],
                                PlannedTransit{0, "EYESAT", found[0], {}, {}}),
                 !written.isEmpty());
        QCOMPARE(log.lines.size(), 1);
        QVERIFY2(log.lines[0].startsWith(written.isEmpty()
                                             ? "Error: Cannot write none/a.gpx: "
                                             : "Info: Exported the centre line of EYESAT A "
                                               "(AO-27) (22825) to " +
                                                   written + "."),
                 qPrintable(log.lines[0]));
        QCOMPARE(QDir().entryList({"a", "a.*"}),
                 written.isEmpty() ? QStringList() : QStringList(written));
        if (!written.isEmpty()) {
            const QByteArray text = readBytes(written);
            QVERIFY(text.startsWith(begins) && text.contains("EYESAT A (AO-27)"));
        }
    }

    // Stored reminders come back: one due fires at once, one whose pass has begun goes without a
    // word, one that does not read is left out, and what is left is stored again.
    void remindersComeBackAndAreKept() {
        SkySession session(scales);
        session.moveTo(scales.currentJd());
        const double now = session.instant();
        const auto at = [&](double minutes, const char* name) {
            return PassReminder{4242, now + minutes / 1440.0, name, 44.6};
        };
        QVERIFY(writeReminderMinutes(10));
        QVERIFY(writePassReminders({at(2, "DUE NOW"), at(-1, "BEGUN"), at(600, "LATER"), {}}));
        QSettings("Halvstar", "Orbitrak").setValue("pass_reminders/4/rise_jd", "soon");
        QWidget window;
        auto* notices = new ReminderNotices(session, window);
        LogCatch log;
        log.listen(notices);
        notices->restore();
        QCOMPARE(log.lines, QStringList("Info: DUE NOW rises in 2 minutes (max 45°)."));
        QCOMPARE(notices->reminders()->leadMinutes(), 10);
        const std::vector<PassReminder> kept = readPassReminders();
        QCOMPARE(kept.size(), std::size_t(1));
        QCOMPARE(PassReminders::message(kept[0], 1), "LATER rises in 1 minute (max 45°).");
        notices->reminders()->add(at(300, "ADDED"));
        QCOMPARE(readPassReminders().size(), std::size_t(2));

        // A new search, after fresher sets, finds the pass seconds away: the reminder follows it.
        // Another pass of the same satellite, or the same rise of another, is not it.
        PassReminders alone([] { return 1.0; });
        alone.add({7, 100.0, "A", 10});
        alone.follow({{7, 100.0 + 20.0 / 86400, "A", 12}, {7, 100.06, "A", 80}, {8, 100, "B", 5}});
        QCOMPARE(alone.reminders().size(), std::size_t(1));
        QCOMPARE(alone.reminders()[0].riseJd, 100.0 + 20.0 / 86400);
        QCOMPARE(alone.reminders()[0].maxAltitudeDeg, 12.0);
    }

    // A magnitude file of the settings that does not read is refused, saying why (one that reads
    // is tst_window_planner's passMagnitudesFilterAndExport).
    void plannerDockRefusesBadMagnitudes() {
        QVERIFY(writeBytes("bad.mag", "1 2\nISS 3\n") && writeMagnitudeFile("bad.mag"));
        SkySession session(scales);
        QMainWindow window;
        auto* table = new QTableView;
        window.setCentralWidget(table);
        QMenu menu;
        auto* dock = new PlannerDock(session, window, *table, menu);
        LogCatch log;
        log.listen(dock);
        dock->loadMagnitudes();
        QVERIFY(!dock->hasMagnitudes());
        QCOMPARE(log.lines, QStringList("Error: Magnitude file bad.mag, line 2: not a catalogue "
                                        "number and a magnitude."));
    }

    // Shaded between the horizon circle and the mask's line, clear above it.
    void skyPlotShadesTheMask() {
        SkyPlot plot;
        plot.resize(300, 300);
        const QImage flat = plot.grab().toImage();
        HorizonMask mask;
        QVERIFY(mask.parse("90 45\n"));
        plot.setHorizon(mask);
        const QImage masked = plot.grab().toImage();
        const double radius = 150.0 - 2.0 * plot.fontMetrics().height();
        const auto east = [&](const QImage& image, double zenithDistance) { // on the east line
            return image.pixelColor(int(150 + radius * zenithDistance / 90.0 + 3), 140);
        };
        QVERIFY(east(masked, 75) != east(flat, 75)); // 15 deg up, behind the mask
        QCOMPARE(east(masked, 20), east(flat, 20));  // 70 deg up, above it

        Transit sun; // the disc, enlarged, where the Sun stands
        sun.bodyAzimuthDeg = 90;
        sun.bodyAltitudeDeg = 70;
        sun.bodyRadiusArcsec = 960;
        const auto disc = [&](const QImage& image) {
            return image.pixelColor(int(150 + radius * 20 / 90.0), 152);
        };
        plot.setTransit(sun, {});
        QVERIFY(disc(plot.grab().toImage()) != disc(masked));
        plot.clearTransit();
        QCOMPARE(disc(plot.grab().toImage()), disc(masked));
    }

    // Rise, Set, the culmination's altitude and N, E, S, W never overlap one another or a mark:
    // a label that would moves, and stays on the plot.
    void skyPlotLabelsKeepApart_data() {
        QTest::addColumn<QList<double>>("points"); // azimuth and altitude of rise, culmination, set
        QTest::newRow("low in the east") << QList<double>{80, 0, 90, 2, 100, 0};
        QTest::newRow("rise and set at N") << QList<double>{350, 0, 0, 1.5, 10, 0};
        QTest::newRow("overhead from E to W") << QList<double>{90, 0, 0, 89.5, 270, 0};
        QTest::newRow("set where it rose") << QList<double>{180, 0, 181, 0.4, 182, 0};
        QTest::newRow("by the W") << QList<double>{265, 0, 275, 15, 285, 0};
    }

    void skyPlotLabelsKeepApart() {
        QFETCH(QList<double>, points);
        SatellitePass pass;
        pass.hasRise = pass.hasSet = true;
        PassPoint* marks[] = {&pass.rise, &pass.culmination, &pass.set};
        for (int k = 0; k < 3; ++k)
            *marks[k] = {0.0, points[2 * k], points[2 * k + 1]};
        SkyPlot plot;
        plot.resize(280, 280);
        plot.setPass(pass, {pass.rise, pass.culmination, pass.set});
        const std::vector<SkyPlot::Label> labels = plot.labels();
        QStringList texts;
        for (const SkyPlot::Label& label : labels)
            texts << label.text;
        QCOMPARE(texts, QStringList({"N", "E", "S", "W", "Rise", "Set",
                                     QString::number(points[3], 'f', 1) + QChar(0x00B0)}));
        for (std::size_t i = 0; i < labels.size(); ++i) {
            QVERIFY2(plot.rect().contains(labels[i].rect.toAlignedRect()), qPrintable(texts[i]));
            for (std::size_t j = i + 1; j < labels.size(); ++j)
                QVERIFY2(!labels[i].rect.intersects(labels[j].rect),
                         qPrintable(texts[int(i)] + " meets " + texts[int(j)]));
        }
    }
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindowParts)
#include "tst_window_parts.moc"
