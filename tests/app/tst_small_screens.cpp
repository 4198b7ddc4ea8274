#include "app/dock_placement.h"
#include "app/main_window.h"
#include "app/planner_dock.h"
#include "astro/time_scales.h"
#include "tests/common/file_bytes.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"

#include <QAction>
#include <QDialog>
#include <QSettings>
#include <QTemporaryDir>

Q_DECLARE_METATYPE(DockSpot)

namespace {

// The window's frame as the offscreen platform draws it, and a title bar of a real desktop.
const QMargins kFrame(2, 24, 2, 2);

} // namespace

// The window on the small screens of a computer beside the mount (a 7-inch 800 x 480 touch
// display, 1024 x 600 and 1280 x 720 panels): where the planner's dock goes, and the window, the
// dock and every dialog of the program staying on the screen.
class TestSmallScreens : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        QVERIFY(writeBytes("satell.txt", activeCatalogueHead(6).join()));
    }

    void init() { QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak")).clear(); }

    // Sizes as the offscreen platform measures the window (630 x 569 at its least, the planner
    // 880 x 225 with its title) and as a small font makes them.
    void placement_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("least");
        QTest::addColumn<QSize>("dockLeast");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<DockSpot>("spot");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("dock");
        const auto row = [](const char* name, QSize screen, QSize least, QSize dockLeast,
                            bool shown, DockSpot spot, QRect window, QRect dock) {
            QTest::newRow(name) << screen << least << dockLeast << shown << spot << window << dock;
        };
        const QSize large(630, 569), small(470, 300), dock(880, 225), narrow(500, 150);
        row("800x480 alone", {800, 480}, large, dock, false, DockSpot::Hidden, {2, 24, 700, 454},
            {});
        row("800x480 planner", {800, 480}, large, dock, true, DockSpot::Floating, {2, 24, 700, 454},
            {2, 158, 796, 320});
        row("1024x600 planner", {1024, 600}, large, dock, true, DockSpot::Floating,
            {2, 24, 700, 569}, {2, 273, 1000, 320});
        row("1280x720 planner", {1280, 720}, large, dock, true, DockSpot::Floating,
            {2, 24, 700, 569}, {2, 273, 1000, 320});
        row("1280x720 small font", {1280, 720}, small, dock, true, DockSpot::Below,
            {2, 24, 1000, 620}, {});
        row("1920x480 small font", {1920, 480}, small, dock, true, DockSpot::Beside,
            {2, 24, 1700, 320}, {});
        row("800x480 small font, narrow planner", {800, 480}, small, narrow, true, DockSpot::Below,
            {2, 24, 700, 454}, {});
        row("1024x600 small font, narrow planner", {1024, 600}, small, narrow, true,
            DockSpot::Below, {2, 24, 700, 545}, {});
        row("1920x1080 planner", {1920, 1080}, large, dock, true, DockSpot::Below,
            {2, 24, 1000, 889}, {});
        row("larger than the screen", {1920, 1080}, QSize(2000, 1200), dock, false,
            DockSpot::Hidden, {2, 24, 1916, 1054}, {});
    }

    // The window starts at 700 x 300 and wants its least size widened to 700, the dock 120 x 95
    // more than its least; the screen starts at (0, 0).
    void placement() {
        QFETCH(QSize, screen);
        QFETCH(QSize, least);
        QFETCH(QSize, dockLeast);
        QFETCH(bool, shown);
        DockSizes sizes{least, least.expandedTo({700, 0}), dockLeast, dockLeast + QSize(120, 95)};
        const QRect available(QPoint(0, 0), screen);
        const DockPlacement placement =
            placeDock(QRect(2, 24, 700, 300), sizes, shown, kFrame, available);
        QTEST(placement.spot, "spot");
        QTEST(placement.window, "window");
        QTEST(placement.dock, "dock");
        QVERIFY(available.contains(placement.window.marginsAdded(kFrame)));
        QVERIFY(placement.dock.isEmpty() ||
                available.contains(placement.dock.marginsAdded(kFrame)));
    }

    void windowStaysOnTheScreen_data() {
        QTest::addColumn<QRect>("available");
        QTest::newRow("800x480") << QRect(0, 0, 800, 480);
        QTest::newRow("1024x600") << QRect(0, 0, 1024, 600);
        QTest::newRow("1280x720") << QRect(0, 0, 1280, 720);
    }

    // At its first start, with the planner open and with a pass's tracking chart shown.
    void windowStaysOnTheScreen() {
        QFETCH(QRect, available);
        MainWindow window(scales, 1);
        auto* dock = window.findChild<PlannerDock*>(QStringLiteral("passesDock"));
        dock->setAvailableArea(available); // as the window's screen, which offscreen cannot be
        dock->fit(true);                   // as the window's start does
        window.show();
        const auto onScreen = [&](const char* when) {
            QVERIFY2(available.contains(window.frameGeometry()),
                     qPrintable(QStringLiteral("%1: window at %2, %3 x %4")
                                    .arg(when)
                                    .arg(window.frameGeometry().top())
                                    .arg(window.frameGeometry().width())
                                    .arg(window.frameGeometry().height())));
            QVERIFY2(!dock->isFloating() || available.contains(dock->frameGeometry()), when);
        };
        onScreen("at start");
        window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
        QVERIFY(dock->isVisible());
        onScreen("with the planner");
        window.findChild<QWidget*>(QStringLiteral("trackingChart"))->show(); // as a pass begins
        QCoreApplication::sendPostedEvents();
        onScreen("with the tracking chart");
    }

    void dialogsFitTheSmallestScreen_data() {
        QTest::addColumn<QString>("action");
        for (const char* action : {"preferencesAction", "mountSetupAction", "observingSiteAction",
                                   "tleSourcesAction", "aboutAction"})
            QTest::newRow(action) << QString::fromLatin1(action);
    }

    // As each opens, and at its least: within 800 x 480 with a title bar.
    void dialogsFitTheSmallestScreen() {
        QFETCH(QString, action);
        MainWindow window(scales, 1);
        window.show();
        QSize opened, least;
        answerNextDialog<QDialog>(&window, [&](QDialog* dialog) {
            opened = dialog->frameGeometry().size();
            least = dialog->minimumSizeHint();
            dialog->reject();
        });
        window.findChild<QAction*>(action)->trigger();
        const QSize room = QSize(800, 480).shrunkBy(kFrame);
        QVERIFY(!opened.isEmpty());
        QVERIFY2(opened.width() <= 800 && opened.height() <= room.height(),
                 qPrintable(QStringLiteral("%1 x %2").arg(opened.width()).arg(opened.height())));
        QVERIFY(least.width() <= room.width() && least.height() <= room.height());
    }
};

ORBITRAK_WINDOW_TEST_MAIN(TestSmallScreens)
#include "tst_small_screens.moc"
