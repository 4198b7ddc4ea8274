#include "app/dock_placement.h"
#include "app/main_window.h"
#include "app/passes_model.h"
#include "app/passes_panel.h"
#include "app/settings.h"
#include "app/sky_plot.h"
#include "app/stretched_column.h"
#include "app/transits_model.h"
#include "astro/site.h"
#include "astro/time_scales.h"
#include "catalogue/update_settings.h"
#include "planning/pass_planner.h"
#include "planning/pass_reminders.h"
#include "sky/observing_sites.h"
#include "sky/sky_session.h"
#include "tests/catalogue/http_test_server.h"
#include "tests/common/file_bytes.h"
#include "tests/common/ground_point.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
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

QStringList names(const QAbstractItemModel& model) {
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.index(row, 0).data().toString().left(24).trimmed();
    return list;
}

QAbstractItemModel* satelliteTable(MainWindow& window) {
    return window.findChild<QTableView*>(QStringLiteral("satelliteTableView"))->model();
}

// The set with its epoch year 26 made 17: one digit up and the one before it down keep the
// check digit.
QByteArray yearsOld(QByteArray set) {
    const int line1 = set.indexOf('\n') + 1;
    set[line1 + 19] = char(set[line1 + 19] + 1);
    set[line1 + 18] = char(set[line1 + 18] - 1);
    return set;
}

// A satellite on a one-day orbit moved to the present instant and over the longitude of the
// window's default site, so that it stands well up from there for the coming hours.
ThreeLines satelliteUpNow(const TimeScales& scales) {
    return setOverLongitude(setsNamed("EUTELSAT 139 WEST A").value(0), scales.currentJd(),
                            Site().eastLongitudeDeg(), scales);
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

} // namespace

// The window's side of the catalogue, seen from outside: the filter, the warnings and TLEs >
// Load TLEs..., the update from the sources through the menu and at start-up, the pass dock and
// the upload of a pass. Every case starts with the settings of a first start.
class TestWindowCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales; // no table: the fixed leap count
    HttpTestServer server;
    QList<QByteArray> sets; // real ones, three lines each
    QString fileSource;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        QFile catalogue(ORBITRAK_ACTIVE_CATALOGUE);
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        for (int i = 0; i < 6; ++i) {
            QByteArray set = catalogue.readLine(); // one read after the other
            set += catalogue.readLine();
            sets << set + catalogue.readLine();
        }
        server.answers["/a"] = server.response("200 OK", sets[0] + sets[1] + sets[2]);
        server.answers["/forbidden"] = server.response("429 Too Many Requests", {});
        fileSource = QUrl::fromLocalFile(scratch.filePath("sets.txt")).toString();
        QVERIFY(writeBytes(scratch.filePath("sets.txt"), sets[3] + sets[4]));
    }

    void init() {
        QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak")).clear();
        QDir(updateCacheFolder()).removeRecursively(); // no copies, no paused hosts
    }

    void windowFiltersIgnoringCase() {
        QByteArray text;
        const QStringList all = {"ISS (ZARYA)", "MISSION", "NOAA 19", "kissat", "IS S"};
        for (const QString& name : all)
            text += group(name.toLatin1() + "\n");
        QVERIFY(writeBytes("satell.txt", text));
        MainWindow window(scales);
        auto* filter = window.findChild<QLineEdit*>(QStringLiteral("filterLineEdit"));
        QTest::keyClicks(filter, QStringLiteral("iSs"));
        QCOMPARE(names(*satelliteTable(window)), QStringList({"ISS (ZARYA)", "MISSION", "kissat"}));
        filter->selectAll();
        QTest::keyClick(filter, Qt::Key_Backspace);
        QCOMPARE(names(*satelliteTable(window)), all);
    }

    // TLEs > Preferences... keeps more or fewer sets, and the table follows at once.
    void preferencesLimitTheSets() {
        QVERIFY(writeBytes("satell.txt", numberedGroups(3)));
        MainWindow window(scales);
        answerNextDialog<QDialog>(&window, [](QDialog* dialog) {
            dialog->findChild<QSpinBox*>("maxElementSetsSpinBox")->setValue(2);
            dialog->accept();
        });
        window.findChild<QAction*>("preferencesAction")->trigger();
        QCOMPARE(satelliteTable(window)->rowCount(), 2);
        QCOMPARE(windowLog(&window).filter("Showing the first"),
                 QStringList("Warning: Showing the first 2 of 3 element sets."));
        QCOMPARE(readMaxElementSets(), 2);
    }

    void windowWarnsOfWhatItCannotShow_data() {
        QTest::addColumn<QByteArray>("file"); // empty: satell.txt is a folder
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("500 sets") << numberedGroups(500) << QStringList();
        QTest::newRow("501 sets") << numberedGroups(501)
                                  << QStringList(
                                         "Warning: Showing the first 500 of 501 element sets.");
        QTest::newRow("a folder") << QByteArray()
                                  << QStringList("Warning: " +
                                                 QDir::current().absoluteFilePath("satell.txt") +
                                                 " is not a regular file.");
        QTest::newRow("no known form")
            << QByteArray("No GP data found\n")
            << QStringList("Warning: " + QDir::current().absoluteFilePath("satell.txt") +
                           " holds no element sets in a known form.");
    }

    void windowWarnsOfWhatItCannotShow() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, warnings);
        QFile::remove("satell.txt");
        QVERIFY(file.isEmpty() ? QDir().mkdir("satell.txt") : writeBytes("satell.txt", file));
        MainWindow window(scales);
        QDir().rmdir("satell.txt");
        QCOMPARE(windowLog(&window).filter(
                     QRegularExpression("Showing the first|regular file|known form|Skipped")),
                 warnings);
    }

    // satell.txt as CelesTrak's JSON: a nine-digit number shown whole, a broken record counted.
    void windowReadsJson() {
        QVERIFY(writeBytes("satell.txt",
                           R"([{"OBJECT_NAME":"NEW OBJECT","OBJECT_ID":"2026-100A",
                "EPOCH":"2026-03-19T12:00:00.5","MEAN_MOTION":15.48919755,
                "ECCENTRICITY":0.0003737,"INCLINATION":51.6416,"RA_OF_ASC_NODE":247.4627,
                "ARG_OF_PERICENTER":130.536,"MEAN_ANOMALY":325.0288,"EPHEMERIS_TYPE":0,
                "CLASSIFICATION_TYPE":"U","NORAD_CAT_ID":123456789,"ELEMENT_SET_NO":999,
                "REV_AT_EPOCH":12,"BSTAR":0.0001,"MEAN_MOTION_DOT":0.0001,"MEAN_MOTION_DDOT":0},
               {"OBJECT_NAME":"BROKEN","NORAD_CAT_ID":5}])"));
        MainWindow window(scales);
        QAbstractItemModel* table = satelliteTable(window);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->index(0, 0).data().toString(),
                 QString("NEW OBJECT               (123456789)"));
        QCOMPARE(windowLog(&window).filter("Skipped"),
                 QStringList("Warning: Skipped 1 element set that failed their checks."));
    }

    // satell.txt of two-line sets as tools write them, one in Space-Track's "0 NAME" form, and an
    // element line out of place, counted.
    void windowReadsTwoLineSets() {
        QVERIFY(writeBytes("satell.txt", QByteArray("\xEF\xBB\xBF# sets\n" + kIssLine1 + kIssLine2 +
                                                    "0 CALSPHERE 1\n" + kCalsphereLine1 +
                                                    kCalsphereLine2 + kIssLine1)
                                             .replace("\n", "\r\n")));
        MainWindow window(scales);
        QAbstractItemModel* table = satelliteTable(window);
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->index(0, 0).data().toString(), QString("1998-067A                (25544)"));
        QCOMPARE(table->index(1, 0).data().toString(), QString("CALSPHERE 1              (00900)"));
        QCOMPARE(windowLog(&window).filter("Skipped"),
                 QStringList("Warning: Skipped 1 element set that failed their checks."));
    }

    void loadTles_data() {
        QTest::addColumn<QString>("choice"); // empty: the user cancels
        QTest::addColumn<int>("sets");       // what satell.txt holds afterwards
        QTest::newRow("cancel") << QString() << 2;
        QTest::newRow("another file") << "downloads/fresh.txt" << 5;
        QTest::newRow("satell.txt itself") << "satell.txt" << 2;
        // Reading a process's memory at address 0 fails, even for root.
        if (QFile::exists("/proc/self/mem"))
            QTest::newRow("a copy that fails") << "downloads/broken.txt" << 2;
    }

    // The old file stays whole unless a new one was copied in full; the table shows the result,
    // and a failed copy is named in an Error.
    void loadTles() {
        QFETCH(QString, choice);
        QFETCH(int, sets);
        QVERIFY(writeBytes("satell.txt", numberedGroups(2)));
        QVERIFY(QDir().mkpath("downloads"));
        QVERIFY(writeBytes("downloads/fresh.txt", numberedGroups(5)));
        QFile::remove("downloads/broken.txt");
        QFile::link("/proc/self/mem", "downloads/broken.txt");
        MainWindow window(scales);
        QCOMPARE(satelliteTable(window)->rowCount(), 2);
        // The file dialog picks the choice, or is cancelled.
        answerNextDialog<QFileDialog>(&window, [choice](QFileDialog* dialog) {
            if (choice.isEmpty())
                return dialog->reject();
            dialog->selectFile(QDir::current().absoluteFilePath(choice));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        window.findChild<QAction*>(QStringLiteral("loadTlesAction"))->trigger();
        QCOMPARE(readBytes("satell.txt"), numberedGroups(sets));
        QCOMPARE(satelliteTable(window)->rowCount(), sets);
        QCOMPARE(QDir().entryList({"satell*"}, QDir::Files | QDir::Hidden),
                 QStringList("satell.txt"));
        QCOMPARE(windowLog(&window).filter("unchanged"),
                 choice.endsWith("broken.txt")
                     ? QStringList("Error: Cannot read " +
                                   QDir::current().absoluteFilePath(choice) +
                                   ": Input/output error. The catalogue is unchanged.")
                     : QStringList());
    }

    // The age warning at start, an update through the menu that reloads the table, and one
    // cancelled in its progress dialog.
    void updateFromTheMenu() {
        QVERIFY(writeBytes("satell.txt", yearsOld(sets[5])));
        QVERIFY(writeTleSources({server.url("/a")}));
        MainWindow window(scales, 1);
        QCOMPARE(windowLogEvents(&window).size(), 2);
        QVERIFY2(
            QRegularExpression("^Element sets are \\d+ days old: TLEs > Update from sources\\.$")
                .match(windowLogEvents(&window)[1])
                .hasMatch(),
            qPrintable(windowLogEvents(&window)[1]));
        QAction* update = window.findChild<QAction*>("updateFromSourcesAction");
        update->trigger();
        QVERIFY(!update->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(
            windowLogEvents(&window).contains("Updated 3 element sets from 1 source."), 60000);
        QCOMPARE(window.findChild<QTableView*>("satelliteTableView")->model()->rowCount(), 3);
        QCOMPARE(readBytes("satell.txt"), sets[0] + sets[1] + sets[2]);

        QVERIFY(writeTleSources({server.url("/slow")}));
        QTRY_VERIFY(update->isEnabled());
        update->trigger();
        QProgressDialog* progress = window.findChild<QProgressDialog*>();
        QVERIFY(progress);
        progress->findChild<QPushButton*>()->click();
        QCOMPARE(windowLogEvents(&window).last(),
                 "Cannot update from " + server.url("/slow") + ": cancelled.");
        QCOMPARE(readBytes("satell.txt"), sets[0] + sets[1] + sets[2]);
        QVERIFY(update->isEnabled());
    }

    // A host that refused is paused; the forced update asks it again only when the person
    // agrees, and says so.
    void refusingHostAskedAgainOnlyWithConsent() {
        QVERIFY(writeBytes("satell.txt", sets[5]));
        QVERIFY(writeTleSources({server.url("/forbidden")}));
        MainWindow window(scales, 1);
        QAction* update = window.findChild<QAction*>("forcedUpdateAction");
        update->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(windowLogEvents(&window).last().endsWith("HTTP status 429."),
                                 60000);
        QVERIFY(windowLogEvents(&window).filter("Updates from 127.0.0.1 paused until").size() == 1);
        QVERIFY(writeTleSources({server.url("/a")}));
        for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
            const int requests = server.requests.value("/a");
            answerNextDialog<QMessageBox>(&window, [button](QMessageBox* box) {
                QCOMPARE(box->text(), QString("127.0.0.1 refused the last request (HTTP 429). Ask "
                                              "it again anyway?"));
                box->button(button)->click();
            });
            QTRY_VERIFY(update->isEnabled());
            update->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(update->isEnabled(), 60000);
            QCOMPARE(server.requests.value("/a"), requests + int(button == QMessageBox::Yes));
        }
        const QStringList log = windowLogEvents(&window);
        QVERIFY(log.filter(QRegularExpression("^Cannot update from .*/a: paused until")).size() ==
                1);
        QVERIFY(log.filter("Asking 127.0.0.1 again, by request").size() == 1);
        QCOMPARE(log.last(), QString("Updated 3 element sets from 1 source."));
    }

    void autoUpdate() {
        QVERIFY(writeBytes("satell.txt", sets[5]));
        QFile file("satell.txt");
        QVERIFY(file.open(QIODevice::Append) &&
                file.setFileTime(QDateTime::currentDateTime().addDays(-2),
                                 QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(writeTleSources({fileSource}));
        QSettings("Halvstar", "Orbitrak").setValue("tle_auto_update_days", 1);
        MainWindow window(scales, 1);
        QCOMPARE(windowLogEvents(&window).last(),
                 "satell.txt is older than 1 day: updating from the sources.");
        QTRY_VERIFY_WITH_TIMEOUT(
            windowLogEvents(&window).contains("Updated 2 element sets from 1 source."), 60000);
        QCOMPARE(readBytes("satell.txt"), sets[3] + sets[4]);
    }

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
    // within the screen or the dock going beside the table where the screen is too short (as the
    // offscreen platform's 800 x 600 is, even with a 6-point font: placeDock below tests growth).
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
        if (available.height() < 700)
            QCOMPARE(window.dockWidgetArea(dock), Qt::RightDockWidgetArea);
        if (window.dockWidgetArea(dock) == Qt::BottomDockWidgetArea)
            QVERIFY(available.contains(window.frameGeometry()));
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

    void dockPlacement_data() {
        QTest::addColumn<QSize>("current");
        QTest::addColumn<QSize>("least");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QSize>("room");
        QTest::addColumn<bool>("below");
        QTest::addColumn<QSize>("size");
        // current, least (with the table's eight rows), wanted, the screen's room
        QTest::newRow("fits already") << QSize(900, 800) << QSize(400, 600) << QSize(500, 700)
                                      << QSize(1900, 1000) << true << QSize(900, 800);
        QTest::newRow("grows to wanted") << QSize(677, 585) << QSize(600, 700) << QSize(800, 820)
                                         << QSize(1900, 1000) << true << QSize(800, 820);
        QTest::newRow("grows to the screen")
            << QSize(677, 585) << QSize(600, 700) << QSize(800, 1200) << QSize(1300, 740) << true
            << QSize(800, 740);
        QTest::newRow("exactly the screen") << QSize(677, 585) << QSize(600, 740) << QSize(800, 900)
                                            << QSize(1300, 740) << true << QSize(800, 740);
        QTest::newRow("too short: beside") << QSize(677, 585) << QSize(600, 741) << QSize(800, 900)
                                           << QSize(1300, 740) << false << QSize(800, 741);
        QTest::newRow("bigger than the screen shrinks")
            << QSize(1500, 900) << QSize(600, 700) << QSize(800, 800) << QSize(1300, 740) << true
            << QSize(1300, 740);
        QTest::newRow("larger than wanted stays")
            << QSize(1200, 700) << QSize(600, 700) << QSize(800, 690) << QSize(1300, 740) << true
            << QSize(1200, 700);
    }

    void dockPlacement() {
        QFETCH(QSize, current);
        QFETCH(QSize, least);
        QFETCH(QSize, wanted);
        QFETCH(QSize, room);
        const DockPlacement placement = placeDock(current, least, wanted, room);
        QTEST(placement.below, "below");
        QTEST(placement.windowSize, "size");
    }

    // "Remind me" on a pass: the reminder is kept in the settings, comes reminder_minutes before
    // the rise by the window's clock (here run ahead), and is gone after it has come. At start,
    // a stored reminder whose time has come fires at once, one whose pass has begun goes without
    // a word, and one that does not read is left out.
    void passRemindersFireOnceAndPersist() {
        QSettings settings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak"));
        settings.setValue(QStringLiteral("reminder_minutes"), 10);
        settings.sync();
        QVERIFY(writeBytes("satell.txt", sets.join()));
        PassReminder rising;
        {
            MainWindow window(scales, 1);
            window.show();
            window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
            auto* passes = window.findChild<QTableView*>(QStringLiteral("passesTableView"));
            QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() > 0, 30000);
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

        const double now = scales.currentJd();
        const auto at = [&](double minutes, const char* name) {
            return PassReminder{4242, now + minutes / 1440.0, name, 44.6};
        };
        QVERIFY(writePassReminders({rising, at(2, "DUE NOW"), at(-1, "BEGUN"), at(600, "LATER")}));
        settings.setValue(QStringLiteral("pass_reminders/5/rise_jd"), "soon");
        settings.setValue(QStringLiteral("pass_reminders/size"), 5);
        settings.sync();
        MainWindow window(scales, 1);
        const QStringList log = windowLogEvents(&window);
        QVERIFY(log.contains("DUE NOW rises in 2 minutes (max 45°)."));
        QVERIFY(!log.join('\n').contains("BEGUN"));
        std::vector<PassReminder> kept = readPassReminders();
        QCOMPARE(kept.size(), std::size_t(2));
        QCOMPARE(kept[0].catalogueNumber, rising.catalogueNumber);
        QCOMPARE(kept[1].name, QStringLiteral("LATER"));
        QCOMPARE(PassReminders::message(kept[1], 1), "LATER rises in 1 minute (max 45°).");

        // A new search, after fresher sets, finds the pass seconds away: the reminder follows it.
        // Another pass of the same satellite, or the same rise of another, is not it.
        PassReminders alone([] { return 1.0; });
        alone.add({7, 100.0, "A", 10});
        alone.follow({{7, 100.0 + 20.0 / 86400, "A", 12}, {7, 100.06, "A", 80}, {8, 100, "B", 5}});
        QCOMPARE(alone.reminders().size(), std::size_t(1));
        QCOMPARE(alone.reminders()[0].riseJd, 100.0 + 20.0 / 86400);
        QCOMPARE(alone.reminders()[0].maxAltitudeDeg, 12.0);
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
        window.show();
        window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
        auto* passes = window.findChild<QTableView*>(QStringLiteral("passesTableView"));
        QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() > 0, 30000);
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
        const QRect transitCell = transits->visualRect(transits->model()->index(0, 0));
        QTest::mouseClick(transits->viewport(), Qt::LeftButton, {}, transitCell.center());
        QCOMPARE(passes->currentIndex().row(), pass.row()); // its pass, for the sky plot
        QTest::mouseDClick(transits->viewport(), Qt::LeftButton, {}, transitCell.center());
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), int(shown.satellite));
        tabs->setCurrentIndex(0);

        window.findChild<QCheckBox*>(QStringLiteral("connectMountCheckBox"))->click();
        const QRect cell = passes->visualRect(passes->model()->index(pass.row(), 0)); // renewed
        QTest::mouseClick(passes->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(passes->viewport(), Qt::LeftButton, {}, cell.center());
        const QByteArray upload = ":TLEL0" + satellite.name.trimmed();
        QTRY_VERIFY_WITH_TIMEOUT(mount.received().contains(upload), 10000);
    }

    // The planner searches as far ahead as its spin box says (and remembers it); tonight only
    // keeps the passes in the dark. A malformed horizon file is an Error naming its line.
    void plannerSearchesAheadAndTonightOnly() {
        QVERIFY(writeBytes("satell.txt", sets.join()));
        QVERIFY(writeBytes("horizon.txt", "0 5\n90 five\n"));
        QSettings settings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak"));
        settings.setValue(QStringLiteral("pass_search_hours"), 48);
        settings.setValue(QStringLiteral("horizon_file"), scratch.filePath("horizon.txt"));
        settings.sync();
        MainWindow window(scales, 1);
        QVERIFY(windowLogEvents(&window).join('\n').contains(
            "Line 2 of the horizon file " +
            QDir::toNativeSeparators(scratch.filePath("horizon.txt"))));
        window.show();
        window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
        auto* hours = window.findChild<QSpinBox*>(QStringLiteral("passSearchHoursSpinBox"));
        auto* tonight = window.findChild<QCheckBox*>(QStringLiteral("tonightOnlyCheckBox"));
        auto* passes = window.findChild<QTableView*>(QStringLiteral("passesTableView"));
        QVERIFY(hours && tonight && passes);
        QCOMPARE(hours->value(), 48);
        QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() > 0, 30000);
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
        connect(&planner, &PassPlanner::planned, this,
                [&](const std::vector<PlannedPass>&, const std::vector<PlannedTransit>& transits) {
                    delivered = transits;
                    done = true;
                });
        planner.plan(catalogue, munich, from, HorizonMask(), 1.0);
        QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
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

    // The magnitude file gives the Mag column and the brighter-than filter; File > Export
    // passes... writes what the table shows, the calendar only its whole passes, and says so. A
    // malformed file is named in an Error.
    void passMagnitudesFilterAndExport() {
        const ThreeLines satellite = satelliteUpNow(scales);
        const ThreeLines iss =
            movedSet(setsNamed("ISS (ZARYA)").value(0), scales.utcFromJd(scales.currentJd()));
        QVERIFY(writeBytes("satell.txt", satellite.text() + iss.text()));
        QSettings settings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak"));
        settings.setValue("magnitude_file", "bad.mag");
        QVERIFY(writeBytes("bad.mag", "# test\n25544 -1.8\nISS -1.8\n"));
        {
            MainWindow window(scales, 1);
            QCOMPARE(windowLog(&window).filter("bad.mag"),
                     QStringList("Error: Magnitude file bad.mag, line 3: not a catalogue number "
                                 "and a magnitude."));
        }
        settings.setValue("magnitude_file", "good.mag");
        QVERIFY(writeBytes(
            "good.mag", QByteArray::number(int(satellite.satellite.elements.satnum)) + " 5.0\n"));
        MainWindow window(scales, 1);
        QCOMPARE(windowLog(&window).filter("good.mag"),
                 QStringList("Info: Read 1 standard magnitude from good.mag."));
        window.show();
        window.findChild<QAction*>(QStringLiteral("showPassesAction"))->trigger();
        auto* passes = window.findChild<QTableView*>(QStringLiteral("passesTableView"));
        QTRY_VERIFY_WITH_TIMEOUT(passes->model()->rowCount() > 1, 30000);
        double magnitude = 0; // the geostationary satellite's; the ISS has none
        for (int row = 0; row < passes->model()->rowCount(); ++row)
            magnitude = std::max(
                magnitude,
                passes->model()->index(row, PassesModel::Magnitude).data().toString().toDouble());
        QVERIFY2(magnitude > 8 && magnitude < 20, qPrintable(QString::number(magnitude))); // GEO
        const auto exportTo = [&](const char* file) {
            QFile::remove(file);
            answerNextDialog<QFileDialog>(&window, [file](QFileDialog* dialog) {
                dialog->selectFile(QDir::current().absoluteFilePath(file));
                QMetaObject::invokeMethod(dialog, "accept");
            });
            window.findChild<QAction*>(QStringLiteral("exportPassesAction"))->trigger();
            return windowLog(&window).last();
        };
        auto* brighter = window.findChild<QCheckBox*>(QStringLiteral("brighterThanCheckBox"));
        auto* limit = window.findChild<QDoubleSpinBox*>(QStringLiteral("brighterThanSpinBox"));
        limit->setValue(magnitude + 0.2);
        brighter->click();
        QCOMPARE(passes->model()->rowCount(), 1);
        // Always up, the geostationary satellite never rises: no event, and no file.
        QCOMPARE(exportTo("passes.ics"), "Warning: No whole pass to export: a pass must rise and "
                                         "set within the search window.");
        limit->setValue(magnitude - 0.2);
        QCOMPARE(passes->model()->rowCount(), 0);
        QCOMPARE(exportTo("passes.csv"), "Warning: No pass to export: the planner shows none.");
        QVERIFY(!QFile::exists("passes.ics") && !QFile::exists("passes.csv"));
        brighter->click();

        const int shown = passes->model()->rowCount();
        const std::vector<PlannedPass> planned = window.findChild<PassesPanel*>()->shownPasses();
        const int whole = int(std::count_if(planned.begin(), planned.end(),
                                            [](const PlannedPass& p) { return p.pass.whole(); }));
        QVERIFY2(whole > 0 && whole < shown, qPrintable(QString("%1 %2").arg(whole).arg(shown)));
        const QString path = QDir::toNativeSeparators(QDir::current().absoluteFilePath("passes"));
        QCOMPARE(exportTo("passes.csv"),
                 QString("Info: Exported %1 passes to %2.csv.").arg(shown).arg(path));
        QCOMPARE(exportTo("passes.ics"),
                 QString("Info: Exported %1 of %2 passes to %3.ics; %4 left "
                         "out as not whole (rising or setting outside "
                         "the search window).")
                     .arg(whole)
                     .arg(shown)
                     .arg(path)
                     .arg(shown - whole));
        const QList<QByteArray> csv = readBytes("passes.csv").split('\n');
        QVERIFY(csv.value(0).startsWith("catalog,name,rise_utc,") &&
                csv.value(0).endsWith(",magnitude"));
        QCOMPARE(csv.size(), shown + 2);
        const QByteArray ics = readBytes("passes.ics");
        QVERIFY(ics.startsWith("BEGIN:VCALENDAR\r\n") && ics.endsWith("END:VCALENDAR\r\n"));
        QCOMPARE(ics.count("BEGIN:VEVENT"), whole);
    }
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindowCatalogue)
#include "tst_window_catalogue.moc"
