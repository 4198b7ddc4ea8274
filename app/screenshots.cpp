// orbitrak-screenshots [FOLDER]: draws the window offscreen against the mount stand-in and saves
// tracking.png (the window tracking a satellite), planner.png (the same with the pass planner
// shown) and pass.png (the tracking chart after most of a minute of the pass) in FOLDER
// (default: docs/ of the source tree), and lunar-transit.png: the planner's panel alone showing a
// crossing of the Moon found for a fixed instant, with transit-map.png, that crossing's centre
// line and path on the map near the site. The window is sized so that every column title
// shows in full; the program fails when one does not.
#include "app/main_window.h"
#include "app/map_view.h"
#include "app/passes_panel.h"
#include "app/settings.h"
#include "app/transits_model.h"
#include "astro/time_scales.h"
#include "planning/transit_export.h"
#include "sky/day_night.h"
#include "sky/sky_session.h"
#include "tracking/pass_recorder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <functional>

namespace {

// A crossing of the Moon near the demo catalogue's epoch: the site (latitude, east longitude,
// elevation) and the instant the planner searches from, two minutes before it.
constexpr double kTransitSite[3] = {47.5, 8.5, 450.0};
const CalendarTime kTransitInstant = makeCalendar(2026, 3, 21, 17, 45);

// Runs the event loop until the condition holds; false after the timeout.
bool waitFor(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

int fail(const char* message) {
    std::fprintf(stderr, "orbitrak-screenshots: %s\n", message);
    return 1;
}

// The demo catalogue of ./run: the first 500 sets.
bool writeCatalogue(const QString& target) {
    QFile source(QStringLiteral(ORBITRAK_SOURCE_DIR "/tests/data/catalogue/active-2026-03.txt"));
    QFile out(target);
    if (!source.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    for (int line = 0; line < 1500 && !source.atEnd(); ++line)
        out.write(source.readLine());
    return true;
}

// Every title of the view shows in full.
bool titlesWhole(const QTableView* view) {
    const QHeaderView* header = view->horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        if (header->sectionSize(i) < header->sectionSizeHint(i)) {
            std::fprintf(stderr, "%s: column %d is %d pixels wide, its title needs %d\n",
                         qPrintable(view->objectName()), i, header->sectionSize(i),
                         header->sectionSizeHint(i));
            return false;
        }
    return true;
}

// The width the view needs to show every column with the names whole.
int neededWidth(const QTableView* view) {
    const QHeaderView* header = view->horizontalHeader();
    const QAbstractItemView* items = view; // sizeHintForColumn is public here
    int width = std::max(items->sizeHintForColumn(0), header->sectionSizeHint(0));
    for (int i = 1; i < header->count(); ++i)
        width += header->sectionSize(i);
    return width + view->verticalScrollBar()->sizeHint().width() + 2 * view->frameWidth();
}

// The planner's panel over the demo catalogue at a fixed instant, its Transits tab showing the
// first crossing of the Moon: the satellite's path across the disc in the sky plot.
bool saveLunarTransit(const TimeScales& scales, const QString& path, const QString& mapPath) {
    Catalogue catalogue;
    if (readCatalogueFile(ORBITRAK_SOURCE_DIR "/tests/data/catalogue/active-2026-03.txt", 100000,
                          catalogue) != 0)
        return false;
    SkySession session(scales);
    session.setSite(Site::fromDegrees(kTransitSite[0], kTransitSite[1], kTransitSite[2]));
    session.setCatalogue(std::move(catalogue));
    session.moveTo(scales.workingJdFromUtcCalendar(kTransitInstant));
    PassesPanel panel(session);
    panel.resize(1400, 720);
    panel.show();
    auto* view = panel.findChild<QTableView*>(QStringLiteral("transitsTableView"));
    const QAbstractItemModel* rows = view->model();
    if (!waitFor([&] { return !panel.isPlanning() && rows->rowCount() > 0; }, 300000))
        return false;
    panel.findChild<QTabWidget*>(QStringLiteral("plannerTabs"))->setCurrentIndex(1);
    // The most nearly central crossing.
    int moon = -1;
    for (int r = 0; r < rows->rowCount(); ++r) {
        const auto separation = [rows](int row) {
            return rows->index(row, TransitsModel::Separation).data(TransitsModel::SortRole);
        };
        if (rows->index(r, TransitsModel::Body).data().toString() == QLatin1String("Moon") &&
            (moon < 0 || separation(r).toDouble() < separation(moon).toDouble()))
            moon = r;
    }
    if (moon < 0)
        return false;
    view->selectRow(moon);
    view->resizeColumnToContents(TransitsModel::Name);
    waitFor([] { return false; }, 300);
    if (!panel.grab().save(path))
        return false;

    const TransitsModel* transits = panel.findChild<TransitsModel*>();
    const auto source = qobject_cast<const QSortFilterProxyModel*>(rows);
    if (!transits || !source)
        return false;
    const PlannedTransit& chosen =
        transits->transit(source->mapToSource(rows->index(moon, 0)).row());
    const std::vector<ExportedTransit> ground =
        exportedTransits({chosen}, session.catalogue(), scales, session.site());
    if (ground.empty())
        return false;
    QVector<QPointF> line, ring;
    for (const GroundPoint& p : ground.front().ground.centreLine)
        line << QPointF(p.longitudeDeg, p.latitudeDeg);
    for (const GroundPoint& p : transitPathRing(ground.front().ground))
        ring << QPointF(p.longitudeDeg, p.latitudeDeg);
    MapView map;
    map.resize(900, 560);
    const QPointF site(kTransitSite[1], kTransitSite[0]);
    map.setDayNight(dayNightAt(scales, chosen.transit.jd));
    map.setSites(site, std::nullopt);
    map.setTransit(line, ring);
    map.showAround(site, 6.0);
    return map.grab().save(mapPath);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    QTemporaryDir work;
    if (!home.isValid() || !work.isValid())
        return fail("no temporary folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path())); // the pass records
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QApplication app(argc, argv);
    const QString folder = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                         : QStringLiteral(ORBITRAK_SOURCE_DIR "/docs"))
                               .absolutePath();

    if (!writeCatalogue(work.filePath(QStringLiteral("satell.txt"))) ||
        !QFile::copy(QStringLiteral(ORBITRAK_UTC_TABLE), work.filePath(QStringLiteral("utc.bin"))))
        return fail("cannot set up the working folder");
    QDir::setCurrent(work.path());

    QProcess mount;
    mount.start(QStringLiteral(ORBITRAK_MOUNTSIM),
                {"--port", "0", "--lat", "47.5", "--lon", "8.5", "--elev", "450", "--slew-seconds",
                 "1", "--log", work.filePath(QStringLiteral("mountsim.log"))});
    QByteArray banner;
    if (!waitFor(
            [&] {
                banner += mount.readAllStandardOutput();
                return banner.contains('\n');
            },
            10000))
        return fail("the mount stand-in does not start");
    const quint16 port = quint16(banner.mid(banner.lastIndexOf(':') + 1).trimmed().toUInt());

    writeMountIp(QStringLiteral("127.0.0.1"));
    const TimeScales scales = TimeScales::fromFolders();
    // The crossing of the Moon is of a fixed instant; the window's pictures are of now.
    if (!saveLunarTransit(scales, folder + QStringLiteral("/lunar-transit.png"),
                          folder + QStringLiteral("/transit-map.png")))
        return fail("no crossing of the Moon to draw");
    {
        MainWindow window(scales, port);
        auto* table = window.findChild<QTableView*>(QStringLiteral("satelliteTableView"));
        auto* passes = window.findChild<QTableView*>(QStringLiteral("passesTableView"));
        auto* panel = window.findChild<PassesPanel*>();
        auto* statusLine = window.findChild<QLineEdit*>(QStringLiteral("statusLineEdit"));
        auto* dock = window.findChild<QDockWidget*>(QStringLiteral("passesDock"));
        window.resize(neededWidth(table) + 40, 640);
        window.show();

        window.findChild<QCheckBox*>(QStringLiteral("connectMountCheckBox"))->click();
        const QAbstractItemModel* log =
            window.findChild<QTableView*>(QStringLiteral("logTableView"))->model();
        const auto siteKnown = [log] {
            for (int r = 0; r < log->rowCount(); ++r)
                if (log->index(r, 1).data().toString().startsWith(QLatin1String("Received site")))
                    return true;
            return false;
        };
        if (!waitFor(siteKnown, 10000))
            return fail("the mount does not answer");
        waitFor([] { return false; }, 1000); // a few ticks for the mount's site

        // The planner: sized for both tables, the sky plot beside the passes. The offscreen
        // screen is too short for the dock below the table; a desktop's is not.
        dock->toggleViewAction()->trigger();
        window.addDockWidget(Qt::BottomDockWidgetArea, dock);
        const int plotWidth =
            window.findChild<QWidget*>(QStringLiteral("skyPlot"))->sizeHint().width();
        if (!waitFor([&] { return passes->model()->rowCount() > 0 && !panel->isPlanning(); },
                     60000))
            return fail("no passes");
        waitFor([] { return false; }, 200);
        window.resize(std::max(neededWidth(table), neededWidth(passes) + plotWidth + 28) + 22,
                      1100);
        window.resizeDocks({dock}, {420}, Qt::Vertical);
        // A satellite on a low orbit that is up now and passes again later.
        const QAbstractItemModel* rows = table->model();
        const QAbstractItemModel* planned = passes->model();
        const auto laterPass = [planned](const QVariant& name) {
            for (int p = 0; p < planned->rowCount(); ++p)
                if (planned->index(p, 0).data() == name &&
                    !planned->index(p, 1).data().toString().isEmpty())
                    return p;
            return -1;
        };
        int chosen = -1;
        for (int r = 0; r < rows->rowCount() && chosen < 0; ++r)
            if (rows->index(r, 1).data(Qt::UserRole).toDouble() > 20.0 &&
                rows->index(r, 4).data(Qt::UserRole).toDouble() > 0.2 &&
                laterPass(rows->index(r, 0).data()) >= 0)
                chosen = r;
        if (chosen < 0)
            return fail("no satellite is up");
        const QVariant name = rows->index(chosen, 0).data();
        table->selectRow(chosen);
        emit table->doubleClicked(rows->index(chosen, 0));
        if (!waitFor([&] { return statusLine->text().startsWith(QLatin1String("Tracking")); },
                     30000))
            return fail("the mount does not track");
        // Rows move as passes end: find it again.
        passes->selectRow(laterPass(name));
        passes->scrollTo(passes->currentIndex());
        const auto showLatest = [&] {
            table->scrollTo(table->currentIndex());
            window.findChild<QTableView*>(QStringLiteral("logTableView"))->scrollToBottom();
        };
        showLatest();
        waitFor([] { return false; }, 500);
        if (!titlesWhole(table) || !titlesWhole(passes))
            return fail("a title is cut");
        window.grab().save(folder + QStringLiteral("/planner.png"));

        dock->toggleViewAction()->trigger();
        window.resize(neededWidth(table) + 40, 640);
        waitFor([] { return false; }, 100);
        showLatest();
        waitFor([] { return false; }, 400);
        if (!titlesWhole(table))
            return fail("a title of the satellite table is cut");
        window.grab().save(folder + QStringLiteral("/tracking.png"));

        // The chart once the stand-in's simulated errors have gone through a few of their cycles.
        const PassRecorder* recorder = window.findChild<PassRecorder*>();
        window.resize(neededWidth(table) + 40, 760);
        if (!waitFor(
                [recorder] {
                    return !recorder->samples().empty() &&
                           recorder->samples().back().jd - recorder->beginJd() > 50.0 / 86400.0;
                },
                90000))
            return fail("the pass is not recorded");
        showLatest();
        waitFor([] { return false; }, 400);
        window.grab().save(folder + QStringLiteral("/pass.png"));
        QTextStream(stdout)
            << "saved " << folder
            << "/tracking.png, planner.png, pass.png, lunar-transit.png and transit-map.png\n";
    }
    mount.kill();
    mount.waitForFinished();
    return 0;
}
