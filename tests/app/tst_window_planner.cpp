#include "app/main_window.h"
#include "app/map_view.h"
#include "app/passes_model.h"
#include "app/passes_panel.h"
#include "app/settings.h"
#include "app/stretched_column.h"
#include "app/transits_model.h"
#include "astro/time_scales.h"
#include "astro/time_units.h"
#include "planning/pass_planner.h"
#include "planning/pass_reminders.h"
#include "planning/transit_export.h"
#include "sky/observing_sites.h"
#include "sky/sky_session.h"
#include "tests/common/file_bytes.h"
#include "tests/common/ground_point.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>

namespace {

// A satellite on a one-day orbit moved to the present instant and over the longitude of the
// window's default site, so that it stands well up from there for the coming hours.
ThreeLines satelliteUpNow(const TimeScales& scales) {
    return setOverLongitude(setsNamed("EUTELSAT 139 WEST A").value(0), scales.currentJd(),
                            Site().eastLongitudeDeg(), scales);
}

// The ISS moved to the present instant and turned so that it passes over the window's default
// site within its next orbit, whatever the hour: where its track first meets the site's
// latitude, it is turned onto the site's longitude.
ThreeLines issOverheadSoon(const TimeScales& scales) {
    const ThreeLines iss = setsNamed("ISS (ZARYA)").value(0);
    const double now = scales.currentJd();
    ThreeLines moved = setOverLongitude(iss, now, 0.0, scales);
    double meets = now;
    double closest = 180.0;
    for (double t = now + 20.0 / kMinutesPerDay; t < now + 120.0 / kMinutesPerDay;
         t += 0.5 / kMinutesPerDay) {
        const double off =
            std::fabs(groundPoint(moved.satellite, t, scales).latitudeDeg - Site().latitudeDeg());
        if (off < closest) {
            closest = off;
            meets = t;
        }
    }
    const double there = groundPoint(moved.satellite, meets, scales).eastLongitudeDeg;
    return setOverLongitude(iss, now, Site().eastLongitudeDeg() - there, scales);
}

// Ticks or unticks "Remind me" in the context menu of a row of the pass table.
void toggleReminder(QTableView* passes, int row) {
    emit passes->customContextMenuRequested(
        passes->visualRect(passes->model()->index(row, 0)).center());
    auto* menu = passes->window()->findChild<QMenu*>(QStringLiteral("passMenu"));
    QVERIFY(menu);
    auto* remind = menu->findChild<QAction*>(QStringLiteral("remindMeAction"));
    QVERIFY(remind && remind->isEnabled());
    remind->trigger();
    delete menu; // as closing it would
}

// Shows the window with its planner open, and returns the pass table once a search has filled it
// with `rows` rows at least (or has failed the test).
QTableView* openPlanner(MainWindow& window, int rows = 1) {
    window.show();
    window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
    auto* passes = window.findChild<QTableView*>(QStringLiteral("passesTableView"));
    [&] {
        QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() >= rows, 30000);
    }();
    return passes;
}

} // namespace

// The pass planner in the window, seen from outside: its dock and where it goes, the passes and
// transits of real searches, reminders, the upload of a pass, the magnitudes and the export.
// Every case starts with the settings of a first start.
class TestWindowPlanner : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales; // no table: the fixed leap count
    QList<QByteArray> sets;  // real ones, three lines each

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        sets = activeCatalogueHead(6);
        QCOMPARE(sets.size(), 6);
    }

    void init() { QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak")).clear(); }

    void passesDockHiddenAtFirstStartThenRemembered() {
        for (const bool shown : {false, true, false}) {
            MainWindow window(scales, 1);
            auto* dock = window.findChild<QDockWidget*>(QStringLiteral("passesDock"));
            auto* action = window.findChild<QAction*>(QStringLiteral("showPassesAction"));
            QVERIFY(dock && action && action->isCheckable());
            window.show();
            QCOMPARE(dock->isVisible(), shown);
            QCOMPARE(action->isChecked(), shown);
            action->trigger(); // the next window shows the opposite
            QCOMPARE(dock->isVisible(), !shown);
        }
    }

    // At first start the names are whole in the satellite table and the window stays on the
    // screen;
    // opening the planner leaves the satellite table at least eight rows, the window growing
    // within the screen or the dock going beside the table or floating where the screen is too
    // small (as the offscreen platform's 800 x 600 is: placeDock's table tests the others).
    void plannerFitsTheScreen() {
        QVERIFY(writeBytes("satell.txt", satelliteUpNow(scales).text() + sets.join()));
        MainWindow window(scales, 1);
        window.show();
        const QRect available = window.screen()->availableGeometry();
        QVERIFY(!available.isEmpty());
        auto* table = window.findChild<QTableView*>(QStringLiteral("satelliteTableView"));
        auto* passes = window.findChild<QTableView*>(QStringLiteral("passesTableView"));
        auto* dock = window.findChild<QDockWidget*>(QStringLiteral("passesDock"));
        const auto namesWhole = [](QTableView* view) {
            const int name = view->horizontalHeader()->sectionSize(0);
            bool whole = name >= StretchedColumn::nameWidth(view);
            for (int row = 0; row < view->model()->rowCount(); ++row)
                whole =
                    whole && name >= view->sizeHintForIndex(view->model()->index(row, 0)).width();
            return whole;
        };
        QVERIFY(namesWhole(table));
        QVERIFY(window.frameGeometry().width() <= available.width());
        window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() > 0, 30000);
        QVERIFY2(table->viewport()->height() >= 8 * 18,
                 qPrintable(QString::number(table->viewport()->height())));
        QVERIFY(window.frameGeometry().height() <= available.height());
        QVERIFY(window.frameGeometry().top() >= available.top());
        QVERIFY(available.contains(window.frameGeometry()));
        // Below the table where the screen is tall enough (Qt 6's offscreen screen is 800 x 800),
        // else floating, on the screen (Qt 5's, 800 x 600): inside the window or the screen.
        QVERIFY(dock->isVisible());
        QVERIFY(available.contains(dock->isFloating() ? dock->frameGeometry()
                                                      : window.frameGeometry()));
        QVERIFY(dock->isFloating() || window.geometry().contains(dock->geometry().translated(
                                          window.geometry().topLeft())));
    }

    // At 1280 px the planner shows every column of both tables whole, without scrolling
    // sideways, on the passes and transits of a real search; a name cut short ends in "…" and
    // shows whole, unpadded, in a tooltip.
    void plannerFitsAt1280() {
        QVERIFY(writeBytes("satell.txt", setsNamed("STARLINK-5765").value(0).text() +
                                             setsNamed("STARLINK-3393").value(0).text()));
        QVERIFY(writeObservingSites({{"Munich", 48.14, 11.58, 520, QString()}}) &&
                writeCurrentSiteName("Munich"));
        // Qt's default on X11 and about Windows' (the offscreen platform's 12 points are large).
        const QFont before = QApplication::font();
        const auto restore = qScopeGuard([&before] { QApplication::setFont(before); });
        QFont font("DejaVu Sans", 9);
        QApplication::setFont(font);
        MainWindow window(scales, 1);
        window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
        window.findChild<SkySession*>()->moveTo(
            scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19)));
        auto* dock = window.findChild<QDockWidget*>(QStringLiteral("passesDock"));
        window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
        dock->setFloating(false); // the offscreen screen is too small for it docked
        window.addDockWidget(Qt::BottomDockWidgetArea, dock);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(1280, 1000);
        QTRY_COMPARE(window.width(), 1280);
        int cut = 0; // tables whose first name is cut
        for (const char* tableName : {"passesTableView", "transitsTableView"}) {
            auto* table = window.findChild<QTableView*>(QString::fromLatin1(tableName));
            window.findChild<QTabWidget*>(QStringLiteral("plannerTabs"))
                ->setCurrentWidget(table->parentWidget());
            QTRY_VERIFY_WITH_TIMEOUT(table->model()->rowCount() > 0, 30000);
            QTRY_VERIFY(table->horizontalHeader()->length() <= table->viewport()->width());
            QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
            QHeaderView* header = table->horizontalHeader();
            for (int column = 1; column < header->count(); ++column) {
                int widest = header->sectionSizeHint(column);
                for (int row = 0; row < table->model()->rowCount(); ++row)
                    widest = std::max(
                        widest,
                        table->sizeHintForIndex(table->model()->index(row, column)).width());
                QVERIFY2(header->sectionSize(column) >= widest,
                         qPrintable(QString("%1, column %2").arg(tableName).arg(column)));
            }
            // A name cut short is whole in its tooltip.
            const QModelIndex name = table->model()->index(0, 0);
            if (table->sizeHintForIndex(name).width() <= header->sectionSize(0))
                continue;
            ++cut;
            QCOMPARE(table->textElideMode(), Qt::ElideRight);
            const QPoint at = table->visualRect(name).center();
            QHelpEvent help(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(table->viewport(), &help);
            QTRY_COMPARE(QToolTip::text(), name.data().toString().simplified()); // unpadded
            QToolTip::hideText();
        }
        QVERIFY(cut > 0);
    }

    // "Remind me" on a pass: the reminder is kept in the settings, comes reminder_minutes before
    // the rise by the window's clock (here run ahead), and is gone after it has come. At start,
    // a stored reminder whose time has come fires at once.
    void passRemindersFireOnceAndPersist() {
        QSettings settings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak"));
        settings.setValue(QStringLiteral("reminder_minutes"), 10);
        settings.sync();
        QVERIFY(writeBytes("satell.txt", sets.join()));
        PassReminder rising;
        {
            MainWindow window(scales, 1);
            QTableView* passes = openPlanner(window);
            const std::vector<PlannedPass> shown = window.findChild<PassesPanel*>()->shownPasses();
            const auto pass = std::find_if(shown.begin(), shown.end(), [&](const PlannedPass& p) {
                return p.pass.hasRise && p.pass.rise.jd > scales.currentJd() + 0.01;
            });
            QVERIFY(pass != shown.end());
            toggleReminder(passes, int(pass - shown.begin()));
            QCOMPARE(readPassReminders().size(), std::size_t(1));
            rising = readPassReminders()[0];
            QVERIFY(QString::fromStdString(pass->name).startsWith(rising.name + ' ') &&
                    !rising.name.endsWith(' '));

            // Run ahead to 3 minutes before the rise: it fires on the next tick, once.
            auto* reminders = window.findChild<PassReminders*>();
            reminders->setClock([&] { return rising.riseJd - 3.0 / 1440.0; });
            const QString message = QStringLiteral("%1 rises in 3 minutes (max %2°).")
                                        .arg(rising.name)
                                        .arg(std::lround(pass->pass.culmination.altitudeDeg));
            QTRY_VERIFY(windowLog(&window).contains("Info: " + message));
            QVERIFY(readPassReminders().empty());
            QCOMPARE(windowLogEvents(&window).count(message), 1);
            reminders->setClock([this] { return scales.currentJd(); });
            toggleReminder(passes, int(pass - shown.begin())); // again, for the next start
        }
        QCOMPARE(readPassReminders().size(), std::size_t(1));

        const PassReminder due{4242, scales.currentJd() + 2 / 1440.0, "DUE NOW", 44.6};
        QVERIFY(writePassReminders({rising, due}));
        MainWindow window(scales, 1);
        QVERIFY(windowLogEvents(&window).contains("DUE NOW rises in 2 minutes (max 45°)."));
        QCOMPARE(readPassReminders().size(), std::size_t(1));
        QCOMPARE(readPassReminders()[0].catalogueNumber, rising.catalogueNumber);
    }

    void passFollowsSelectionAndUploadsOnDoubleClick() {
        const ThreeLines satellite = satelliteUpNow(scales);
        QVERIFY(writeBytes("satell.txt", satellite.text()));
        ScriptedMount mount; // answers the handshake and the status poll
        mount.answerAlways({{":GVN#", "2.15.14#"},
                            {":Gt#", "+45*00:00#"},
                            {":Gg#", "-45*00:00#"},
                            {":Gev#", "+120#"},
                            {":TLESCK#", "E#"},
                            {":GaE#", "0,0,0,\"E,0\",0#"}});
        QVERIFY(writeMountIp(QStringLiteral("127.0.0.1")));
        MainWindow window(scales, mount.port());
        QTableView* passes = openPlanner(window);
        for (int column = 1; column < passes->model()->columnCount(); ++column) // titles whole
            QVERIFY(passes->horizontalHeader()->sectionSize(column) >=
                    passes->horizontalHeader()->sectionSizeHint(column));

        window.findChild<QTableView*>(QStringLiteral("satelliteTableView"))->selectRow(0);
        const QModelIndex pass = passes->currentIndex();
        QVERIFY(pass.isValid());
        QCOMPARE(pass.sibling(pass.row(), 0).data().toString(),
                 QString::fromUtf8(satellite.satellite.displayName));

        // A transit in the middle of the pass, and one outside every pass that is not shown.
        auto* panel = window.findChild<PassesPanel*>();
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("plannerTabs"));
        auto* transits = window.findChild<QTableView*>(QStringLiteral("transitsTableView"));
        QVERIFY(panel && tabs && transits);
        const std::vector<PlannedPass> planned = panel->shownPasses();
        const PlannedPass& shown = planned[std::size_t(pass.row())];
        PlannedTransit inside{shown.satellite, "MOONLIT", Transit{}, {}, -1.25};
        inside.transit.body = TransitBody::Moon;
        inside.transit.jd = (shown.pass.startJd + shown.pass.endJd) / 2;
        inside.transit.bodyAltitudeDeg = 40;
        inside.transit.bodyRadiusArcsec = 930;
        PlannedTransit outside = inside;
        outside.transit.jd = shown.pass.endJd + 0.01;
        panel->showPlanned(planned, {inside, outside});
        QCOMPARE(transits->model()->rowCount(), 1);
        QCOMPARE(transits->model()->columnCount(), int(TransitsModel::ColumnCount));
        QCOMPARE(transits->model()->index(0, TransitsModel::Body).data().toString(), "Moon");
        QCOMPARE(transits->model()->index(0, TransitsModel::Magnitude).data().toString(), "-1.3");
        passes->selectionModel()->clear();
        tabs->setCurrentIndex(1);
        QSignalSpy activated(panel, &PassesPanel::passActivated);
        QSignalSpy drawn(panel, &PassesPanel::transitShown);
        auto* map = window.findChild<MapView*>();
        map->setTransit({{1, 2}, {3, 4}}, {}); // an old line, which the choice replaces
        const QRect transitCell = transits->visualRect(transits->model()->index(0, 0));
        QTest::mouseClick(transits->viewport(), Qt::LeftButton, {}, transitCell.center());
        QCOMPARE(passes->currentIndex().row(), pass.row()); // its pass, for the sky plot
        // The map draws the chosen transit's centre line, the one the export writes.
        QCOMPARE(drawn.count(), 1);
        const auto* session = window.findChild<SkySession*>();
        const std::vector<ExportedTransit> ground =
            exportedTransits({inside}, session->catalogue(), scales, session->site());
        QCOMPARE(map->transitLine().size(),
                 ground.empty() ? 0 : int(ground.front().ground.centreLine.size()));
        QTest::mouseDClick(transits->viewport(), Qt::LeftButton, {}, transitCell.center());
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), int(shown.satellite));
        emit transits->customContextMenuRequested(transitCell.center());
        auto* menu = window.findChild<QMenu*>(QStringLiteral("passMenu"));
        QVERIFY(menu && menu->findChild<QAction*>(QStringLiteral("exportCentreLineAction")));
        delete menu;
        tabs->setCurrentIndex(0);

        window.findChild<QCheckBox*>(QStringLiteral("connectMountCheckBox"))->click();
        const QRect cell = passes->visualRect(passes->model()->index(pass.row(), 0)); // renewed
        QTest::mouseClick(passes->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(passes->viewport(), Qt::LeftButton, {}, cell.center());
        const QByteArray upload = ":TLEL0" + satellite.name.trimmed();
        QTRY_VERIFY_WITH_TIMEOUT(mount.received().contains(upload), 10000);
    }

    // The planner searches as far ahead as its spin box says (and remembers it); tonight only
    // keeps the passes in the dark.
    void plannerSearchesAheadAndTonightOnly() {
        QVERIFY(writeBytes("satell.txt", sets.join()));
        QVERIFY(writePassSearchHours(48));
        MainWindow window(scales, 1);
        QTableView* passes = openPlanner(window);
        auto* hours = window.findChild<QSpinBox*>(QStringLiteral("passSearchHoursSpinBox"));
        auto* tonight = window.findChild<QCheckBox*>(QStringLiteral("tonightOnlyCheckBox"));
        QCOMPARE(hours->value(), 48);
        const int twoDays = passes->model()->rowCount();
        tonight->click();
        const int nights = passes->model()->rowCount();
        QVERIFY2(nights > 0 && nights < twoDays, qPrintable(QString::number(nights)));
        tonight->click();
        QCOMPARE(passes->model()->rowCount(), twoDays);

        hours->setValue(12);
        QCOMPARE(readPassSearchHours(), 12);
        QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() < twoDays / 2, 30000);
        QVERIFY(passes->model()->rowCount() > 0);
    }

    // The magnitude file gives the Mag column and the brighter-than filter; File > Export
    // passes... writes what the table shows, and says so.
    void passMagnitudesFilterAndExport() {
        const ThreeLines satellite = satelliteUpNow(scales);
        const ThreeLines iss = issOverheadSoon(scales);
        QVERIFY(writeBytes("satell.txt", satellite.text() + iss.text()));
        QVERIFY(writeMagnitudeFile("good.mag"));
        const auto writeStandard = [&](double standard) {
            return writeBytes("good.mag",
                              QByteArray::number(int(satellite.satellite.elements.satnum)) + " " +
                                  QByteArray::number(standard, 'f', 3) + "\n");
        };
        const auto shownMagnitude = [](QTableView* passes) {
            double magnitude = 0; // the geostationary satellite's; the ISS has none
            for (int row = 0; row < passes->model()->rowCount(); ++row)
                magnitude = std::max(magnitude, passes->model()
                                                    ->index(row, PassesModel::Magnitude)
                                                    .data()
                                                    .toString()
                                                    .toDouble());
            return magnitude;
        };
        // Its magnitude goes with the hour (from 10 to past 15 for a standard 5, the faintest
        // the filter takes): the standard is chosen so that it shows about 9.
        double standard = 5.0;
        {
            QVERIFY(writeStandard(standard));
            MainWindow probe(scales, 1);
            const double first = shownMagnitude(openPlanner(probe, 2));
            if (!(first > 0))
                QSKIP("The geostationary satellite stands in the Earth's shadow at this hour");
            standard += 9.0 - first;
        }
        QVERIFY(writeStandard(standard));
        MainWindow window(scales, 1);
        QCOMPARE(windowLog(&window).filter("good.mag"),
                 QStringList("Info: Read 1 standard magnitude from good.mag."));
        QTableView* passes = openPlanner(window, 2);
        const double magnitude = shownMagnitude(passes);
        QVERIFY2(magnitude > 8.5 && magnitude < 9.5, qPrintable(QString::number(magnitude)));
        auto* brighter = window.findChild<QCheckBox*>(QStringLiteral("brighterThanCheckBox"));
        auto* limit = window.findChild<QDoubleSpinBox*>(QStringLiteral("brighterThanSpinBox"));
        limit->setValue(magnitude + 0.2);
        brighter->click();
        QCOMPARE(passes->model()->rowCount(), 1);
        limit->setValue(magnitude - 0.2);
        QCOMPARE(passes->model()->rowCount(), 0);
        brighter->click();

        // The export of what the table shows (what the calendar leaves out, and the words for
        // it, are tst_window_parts' exportWritesWhatItSays and tst_cli_planning's).
        const int shown = passes->model()->rowCount();
        answerNextDialog<QFileDialog>(&window, [](QFileDialog* dialog) {
            dialog->selectFile(QDir::current().absoluteFilePath("passes.csv"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        window.findChild<QAction*>(QStringLiteral("exportPassesAction"))->trigger();
        QCOMPARE(
            windowLog(&window).last(),
            QString("Info: Exported %1 passes to %2.")
                .arg(shown)
                .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath("passes.csv"))));
        const QList<QByteArray> csv = readBytes("passes.csv").split('\n');
        QVERIFY(csv.value(0).startsWith("catalog,name,rise_utc,") &&
                csv.value(0).endsWith(",magnitude"));
        QCOMPARE(csv.size(), shown + 2);
    }

    // The planner's job delivers the transits of its passes, as the search finds them, each
    // timed to the millisecond (as orbitrak-cli transits times it) and with a path about the
    // closest approach.
    void plannerDeliversTransits() {
        Catalogue catalogue;
        for (const char* name : {"STARLINK-5765", "STARLINK-3393"})
            catalogue.satellites.push_back(setsNamed(name).value(0).satellite);
        const Site munich{48.14 * kRadiansPerDegree, -11.58 * kRadiansPerDegree, 520};
        const double from = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19));
        PassPlanner planner(scales);
        std::vector<PlannedTransit> delivered;
        bool done = false;
        bool shared = false; // the plan itself is told, not a copy of it
        connect(&planner, &PassPlanner::planned, this,
                [&](const std::vector<PlannedPass>& passes,
                    const std::vector<PlannedTransit>& transits) {
                    delivered = transits;
                    shared = planner.latest() && &planner.latest()->passes == &passes;
                    done = true;
                });
        planner.plan(catalogue, munich, from, HorizonMask(), 1.0);
        QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
        QVERIFY(shared);
        Catalogue copy = catalogue;
        const std::vector<Transit> expected =
            findCatalogueTransits(copy, scales, munich, PassWindow{from, from + 1.0, 0.0, nullptr});
        QCOMPARE(delivered.size(), expected.size());
        TransitsModel table(scales);
        table.setTransits(delivered);
        QStringList seen;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            const PlannedTransit& t = delivered[k];
            QCOMPARE(t.transit.jd, expected[k].jd);
            QVERIFY(t.path.size() >= std::size_t(PassPlanner::kTransitPathPoints));
            QVERIFY(t.path.front().jd < t.transit.jd && t.transit.jd < t.path.back().jd);
            seen << QString::fromStdString(t.name).section(' ', 0, 0) + ' ' +
                        transitBodyName(t.transit.body)
                 << table.index(int(k), TransitsModel::Time).data().toString();
        }
        QVERIFY2(seen.contains("STARLINK-5765 sun") && seen.contains("STARLINK-3393 moon") &&
                     seen.contains("2026-03-19 05:26:19.645"),
                 qPrintable(seen.join(", ")));
    }

    void nightPasses_data() {
        QTest::addColumn<int>("hour"); // UTC, 2026-03-19, at Zurich
        QTest::addColumn<double>("minutes");
        QTest::addColumn<bool>("night");
        QTest::newRow("midnight") << 0 << 10.0 << true;
        QTest::newRow("noon") << 12 << 10.0 << false;
        QTest::newRow("across sunset") << 17 << 60.0 << false;
        QTest::newRow("ends before sunrise") << 4 << 60.0 << true;
        QTest::newRow("across the day") << 0 << 1400.0 << false;
    }

    void nightPasses() {
        QFETCH(int, hour);
        QFETCH(double, minutes);
        QFETCH(bool, night);
        SatellitePass pass;
        pass.startJd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, hour));
        pass.endJd = pass.startJd + minutes / 1440.0;
        const Site zurich{47.5 * kRadiansPerDegree, -8.5 * kRadiansPerDegree, 450};
        QCOMPARE(isNightPass(pass, scales, zurich), night);
    }
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindowPlanner)
#include "tst_window_planner.moc"
