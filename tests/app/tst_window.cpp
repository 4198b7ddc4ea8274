#include "app/log_model.h"
#include "app/main_window.h"
#include "app/mount_settings_dialog.h"
#include "app/observing_site_dialog.h"
#include "app/passes_panel.h"
#include "app/plot_style.h"
#include "app/preferences_dialog.h"
#include "app/settings.h"
#include "app/tracking_chart.h"
#include "app/translations.h"
#include "astro/time_scales.h"
#include "catalogue/update_settings.h"
#include "orbit/element_lines.h"
#include "planning/pass_reminders.h"
#include "sky/observing_sites.h"
#include "sky/sky_session.h"
#include "tests/common/file_bytes.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"
#include "tracking/pass_recorder.h"
#include "tracking/transit_chain.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSpinBox>
#include <QTimer>
#include <QXmlStreamReader>

#include <sys/stat.h>

#include <ctime>
#include <functional>
#include <memory>

// The set's epoch is today, so that no warning of old element sets joins the log.
static QByteArray withTodaysEpoch(QByteArray line) {
    const QDate today = QDateTime::currentDateTimeUtc().date();
    return line.replace(
        18, 14,
        QString::asprintf("%02d%03d.00000000", today.year() % 100, today.dayOfYear()).toLatin1());
}
static const QByteArray line1 = withTodaysEpoch(kCalsphereLine1);
static const QByteArray& line2 = kCalsphereLine2;

static QStringList headers(const QTableView* view) {
    QStringList texts;
    for (int section = 0; section < view->model()->columnCount(); ++section)
        texts << view->model()->headerData(section, Qt::Horizontal).toString();
    return texts;
}

// The window seen from outside, its widgets found by object name: the form, the clock, the
// log, the setting and its dialog, and the wiring of the mount link, the transit chain and the
// status poll to the widgets, against a mount scripted byte by byte. The refresh tick is stopped
// unless a test runs it.
class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A zone far from UTC, so that the UTC clock and the local log times differ.
        qputenv("TZ", "<+0545>-5:45");
        tzset();
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        QVERIFY(writeBytes("satell.txt", "US$ 1,#2\n" + line1 + line2));
    }

    void init() {
        mount = std::make_unique<ScriptedMount>();
        QVERIFY(mount->isListening());
        QVERIFY(writeMountIp(QStringLiteral("127.0.0.1")));
        QVERIFY(writeObservingSites({}) && writeCurrentSiteName(QString()));
        newWindow();
    }

    void cleanup() {
        window.reset();
        mount.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Each tick shows the instant it computed for, which lies between the readings of the system's
    // UTC clock taken around it.
    void clockShowsUtc() {
        auto* clock = child<QLineEdit>("utcClockLineEdit");
        QSignalSpy ticks(clock, &QLineEdit::textChanged);
        refreshTimer()->start();
        for (int round = 0; round < 2; ++round) {
            const QDateTime before = QDateTime::currentDateTimeUtc();
            QVERIFY(ticks.wait());
            const QDateTime after = QDateTime::currentDateTimeUtc();
            const QString text = clock->text();
            QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                         .match(text)
                         .hasMatch(),
                     qPrintable(text));
            // The fixed-width form sorts as the instants do.
            const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");
            QVERIFY2(before.toString(format) <= text && text <= after.toString(format),
                     qPrintable(text + " not within " + before.toString(format) + " .. " +
                                after.toString(format)));
        }
    }

    void translatedTexts_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("texts"); // separated by |
        QTest::newRow("German")
            << QLocale(QLocale::German, QLocale::Germany)
            << "Montierung|TLEs laden...|Ansicht|Hilfe|Montierung verbinden|Stopp|Parken|"
               "Überflüge|Name|Höhe (°)|Azimut (°)|Entfernung (km)|Geschw. (°/s)|Alter (d)|"
               "Besonnt|Zeit|Ereignis|Aufgang (UTC)|Kulmination (UTC)|Abbrechen";
        QTest::newRow("English")
            << QLocale(QLocale::English, QLocale::UnitedStates)
            << "Mount|Load TLEs...|View|Help|Connect mount|Stop|Park|Passes|Name|Altitude (deg)|"
               "Azimuth (deg)|Distance (km)|Speed (deg/s)|Age (d)|Sunlit|Time|Event|Rise (UTC)|"
               "Culmination (UTC)|Cancel";
    }

    // A sample of menus, buttons and column titles, the last one Qt's own (a standard button).
    void translatedTexts() {
        QFETCH(QLocale, locale);
        QFETCH(QString, texts);
        QObject translators;
        QCOMPARE(installTranslations(locale, &translators), locale.language() == QLocale::German);
        newWindow();
        const MountSettingsDialog setup;
        QStringList shown{child<QMenu>("mountMenu")->title(),
                          child<QAction>("loadTlesAction")->text(),
                          child<QMenu>("viewMenu")->title(),
                          child<QMenu>("helpMenu")->title(),
                          child<QCheckBox>("connectMountCheckBox")->text(),
                          child<QPushButton>("stopButton")->text(),
                          child<QPushButton>("parkButton")->text(),
                          child<QDockWidget>("passesDock")->windowTitle()};
        shown << headers(child<QTableView>("satelliteTableView"))
              << headers(child<QTableView>("logTableView"))
              << headers(child<QTableView>("passesTableView")).mid(1, 2)
              << setup.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text();
        QCOMPARE(shown, texts.split('|'));
    }

    // Every translation the program carries is complete: no entry unfinished, obsolete or empty,
    // and each keeps the place markers (%1, %n) of its English source.
    void translationsComplete_data() {
        QTest::addColumn<QString>("file");
        for (const QString& file : QString(ORBITRAK_TRANSLATIONS).split(','))
            QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
    }

    void translationsComplete() {
        QFETCH(QString, file);
        QFile ts(file);
        QVERIFY2(ts.open(QIODevice::ReadOnly), qPrintable(file));
        const auto markers = [](const QString& text) {
            QStringList found;
            for (auto m = QRegularExpression("%(\\d+|n)").globalMatch(text); m.hasNext();)
                found << m.next().captured();
            found.sort();
            return found;
        };
        QXmlStreamReader xml(&ts);
        QString source;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            if (xml.name() != QLatin1String("translation"))
                continue;
            ++messages;
            const QString type = xml.attributes().value("type").toString();
            QVERIFY2(type.isEmpty(), qPrintable(type + ": " + source));
            QStringList forms;
            QString text;
            while (!(xml.readNext() == QXmlStreamReader::EndElement &&
                     xml.name() == QLatin1String("translation")) &&
                   !xml.atEnd()) {
                if (xml.isStartElement())
                    forms << xml.readElementText(); // a numerusform
                else if (xml.isCharacters())
                    text += xml.text();
            }
            for (const QString& form : forms.isEmpty() ? QStringList{text} : forms) {
                QVERIFY2(!form.trimmed().isEmpty(), qPrintable("empty: " + source));
                QVERIFY2(markers(form) == markers(source), qPrintable(form + " for " + source));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 0);
    }

    // Every level has a colour of its own, in both columns; entries keep their order however fast
    // they come, each stamped with the local time, and the newest 10,000 are kept.
    void logModel() {
        LogModel model;
        const QTime before = QTime::currentTime();
        for (int i = 0; i < 10005; ++i)
            model.addEntry(QString::number(i), LogLevel(i % 4));
        const QTime after = QTime::currentTime();
        QCOMPARE(model.rowCount(), 10000);
        QSet<QRgb> colours;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QColor colour = LogModel::colourFor(LogLevel((row + 5) % 4));
            QCOMPARE(model.index(row, 1).data().toString(), QString::number(row + 5));
            for (int column = 0; column < 2; ++column) {
                const QVariant brush = model.index(row, column).data(Qt::ForegroundRole);
                QCOMPARE(brush.value<QBrush>().style(), Qt::SolidPattern);
                QCOMPARE(brush.value<QBrush>().color(), colour);
            }
            colours << colour.rgba();
        }
        QCOMPARE(colours.size(), 4);
        const QString stamp = model.index(0, 0).data().toString();
        const QTime shown = QTime::fromString(stamp, "hh:mm:ss.zzz");
        QVERIFY2(shown.isValid() && stamp.size() == 12, qPrintable(stamp));
        if (before <= after) // not across midnight
            QVERIFY(shown >= before && shown <= after);
        // The window's log begins with Start.
        QCOMPARE(windowLog(window.get()), QStringList{logLine(LogLevel::Info, "Start")});
    }

    void logFoldsRepeats_data() {
        QTest::addColumn<QStringList>("added"); // "seconds level text", the level I, S, W or E
        QTest::addColumn<QStringList>("rows");  // "time text"
        QTest::newRow("Error within a minute of its latest, another text between")
            << QStringList{"0 E lost", "10 E other", "30 E lost", "90 E lost"}
            << QStringList{"12:01:30.000 lost (repeated 3 times)", "12:00:10.000 other"};
        QTest::newRow("Warning more than a minute later, then again")
            << QStringList{"0 W slow", "60.001 W slow", "100 W slow"}
            << QStringList{"12:00:00.000 slow", "12:01:40.000 slow (repeated 2 times)"};
        QTest::newRow("another level; Info and Success never fold")
            << QStringList{"0 E a", "1 W a", "2 I a", "3 I a", "4 S a", "5 S a"}
            << QStringList{"12:00:00.000 a", "12:00:01.000 a", "12:00:02.000 a",
                           "12:00:03.000 a", "12:00:04.000 a", "12:00:05.000 a"};
    }

    // An Error or Warning repeated within a minute of its row's latest time updates that row.
    void logFoldsRepeats() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, rows);
        const QDateTime noon(QDate(2026, 3, 19), QTime(12, 0));
        QDateTime now;
        LogModel model(nullptr, [&now] { return now; });
        for (const QString& entry : added) {
            const QStringList parts = entry.split(' ');
            now = noon.addMSecs(qint64(parts[0].toDouble() * 1000));
            model.addEntry(parts[2], LogLevel(QString("ISWE").indexOf(parts[1])));
        }
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, 0).data().toString() + ' ' +
                         model.index(row, 1).data().toString();
        QCOMPARE(shown, rows);
    }

    // The view follows new rows while it shows the bottom, and stays where the user scrolled to.
    void logViewFollowsNewRows() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* view = child<QTableView>("logTableView");
        auto* log = qobject_cast<LogModel*>(view->model());
        QScrollBar* bar = view->verticalScrollBar();
        for (int i = 0; i < 100; ++i)
            log->addEntry(QString::number(i), LogLevel::Info);
        const int bottom = bar->maximum();
        QVERIFY(bottom > 0);
        QCOMPARE(bar->value(), bottom);
        bar->setValue(bottom / 2);
        log->addEntry("scrolled up", LogLevel::Info);
        QTRY_VERIFY(bar->maximum() > bottom);
        QCOMPARE(bar->value(), bottom / 2);
        bar->setValue(bar->maximum());
        log->addEntry("at the bottom again", LogLevel::Info);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(bar->maximum() > bottom + 1);
    }

    // The tracking chart showing above the log leaves it four rows at least, the newest in view,
    // however short the window.
    void logKeepsItsNewestRowsWhenTheChartShows() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* view = child<QTableView>("logTableView");
        auto* log = qobject_cast<LogModel*>(view->model());
        for (int i = 0; i < 100; ++i)
            log->addEntry(QString::number(i), LogLevel::Info);
        window->resize(window->width(), 100); // as short as the layout lets it be
        child<TrackingChart>("trackingChart")->show();
        QTRY_VERIFY(child<TrackingChart>("trackingChart")->height() > 0);
        QCoreApplication::processEvents();
        const int rowHeight = view->verticalHeader()->defaultSectionSize();
        QVERIFY2(view->viewport()->height() >= 4 * rowHeight,
                 qPrintable(QString::number(view->viewport()->height())));
        QScrollBar* bar = view->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(view->rowViewportPosition(99) + rowHeight <= view->viewport()->height());
    }

    // The chart's time runs from the mount's first T: the slew and the wait for the rise take
    // no width, and the pass fills the chart from its left edge to its right.
    void trackingChartStartsWhenTrackingDoes_data() {
        QTest::addColumn<int>("waitSeconds"); // slewing and waiting before the first T
        QTest::newRow("tracking at once") << 0;
        QTest::newRow("ten minutes' wait") << 600;
        QTest::newRow("an hour's wait") << 3600;
    }

    void trackingChartStartsWhenTrackingDoes() {
        QFETCH(int, waitSeconds);
        double jd = 2461000.5;
        PassRecorder recorder(scales, scratch.filePath("passes"), [&jd](long) {
            SatelliteFix fix;
            fix.jd = jd;
            return fix;
        });
        TrackingChart chart;
        chart.resize(600, 120);
        chart.setRecorder(&recorder);
        recorder.beginPass();
        for (int second = 0; second <= waitSeconds + 300; second += 2) {
            jd = 2461000.5 + second / 86400.0;
            recorder.addReading(second < waitSeconds ? 'S' : 'T', 1.0 + second % 3, -1.5);
        }
        const QImage image = chart.grab().toImage();
        int first = image.width();
        int last = -1;
        for (int y = 2 * chart.fontMetrics().height(); y < image.height(); ++y) // below the legend
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == plot_style::kBlue) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        QVERIFY2(first < image.width() / 8 && last > image.width() * 7 / 8,
                 qPrintable(QString("%1 to %2").arg(first).arg(last)));
    }

    void setupOkIsKeptForTheNextWindow() {
        const QString shown = runSetup([](MountSettingsDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Halvstar Orbitrak setup"));
            QCOMPARE(addressEdit(dialog)->placeholderText(), QString("xxx.xxx.xxx.xxx"));
            addressEdit(dialog)->setText(QStringLiteral(" 192.0.2.50 x "));
            press(dialog, QDialogButtonBox::Ok);
        });
        QCOMPARE(shown, QString("127.0.0.1")); // read at start
        // Kept as typed, and stored at once: a crash loses nothing.
        QCOMPARE(readMountIp(), QString(" 192.0.2.50 x "));
        QCOMPARE(runSetup([](MountSettingsDialog* dialog) { dialog->reject(); }),
                 QString(" 192.0.2.50 x "));
        window.reset();
        QCOMPARE(readMountIp(), QString(" 192.0.2.50 x "));
        newWindow();
        QCOMPARE(runSetup([](MountSettingsDialog* dialog) { dialog->reject(); }),
                 QString(" 192.0.2.50 x "));
    }

    void setupCancelKeepsTheAddress_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("closed") << "close";
    }

    void setupCancelKeepsTheAddress() {
        QFETCH(QString, how);
        runSetup([how](MountSettingsDialog* dialog) {
            addressEdit(dialog)->setText(QStringLiteral("10.9.9.9"));
            if (how == "cancel")
                press(dialog, QDialogButtonBox::Cancel);
            else if (how == "escape")
                QTest::keyClick(addressEdit(dialog), Qt::Key_Escape);
            else
                dialog->close();
        });
        QCOMPARE(runSetup([](MountSettingsDialog* dialog) { dialog->reject(); }),
                 QString("127.0.0.1"));
        window.reset();
        QCOMPARE(readMountIp(), QString("127.0.0.1"));
    }

    void connectBoxOpensAndClosesTheLink() {
        auto* box = child<QCheckBox>("connectMountCheckBox");
        STEP(connectMount("2.15.9"));
        QCOMPARE(
            windowLog(window.get()),
            (QStringList{
                logLine(LogLevel::Info, "Start"), logLine(LogLevel::Info, "Connecting to mount..."),
                logLine(LogLevel::Info, "Connected to mount."),
                logLine(LogLevel::Info, "Mount firmware version: 2.15.9"),
                logLine(LogLevel::Warning,
                        "This firmware doesn't support real-time tracking error readout. To "
                        "enable it upgrade at least to 2.15.14."),
                logLine(LogLevel::Info, "Received site information: lat = 48.50 deg, lon = "
                                        "-11.58 deg, elev = 520 m")}));
        const QString disconnected = logLine(LogLevel::Info, "Disconnected from mount.");
        box->click();
        QVERIFY(!box->isChecked());
        QTRY_VERIFY(!mount->isOpen());
        QTRY_COMPARE(windowLog(window.get()).mid(6), QStringList{disconnected});

        // The link's end unticks the box.
        box->click();
        QTRY_COMPARE(mount->connectionCount(), 2);
        QTRY_COMPARE(mount->received(), kOpener);
        mount->hangUp();
        QTRY_VERIFY(!box->isChecked());
        QTRY_COMPARE(windowLog(window.get()).mid(9),
                     (QStringList{logLine(LogLevel::Error, "Connection error."), disconnected}));
    }

    void motionButtons() {
        STEP(connectMount());
        child<QPushButton>("stopButton")->click();
        child<QPushButton>("parkButton")->click();
        child<QPushButton>("unparkButton")->click();
        QTRY_COMPARE(mount->afterHandshake(), QByteArray(":STOP#:KA#:PO#"));
    }

    // The satellite's own offset, set while it is selected, and the mount's clock error when the
    // box is ticked and the error is above 0.1 s, move the epoch uploaded by their sum; with a
    // sum of zero the lines go as read.
    void doubleClickStartsTheUpload_data() {
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("clockError");
        QTest::addColumn<bool>("correctClock");
        QTest::addColumn<QString>("total"); // as logged; empty: none
        QTest::newRow("as read") << 0.0 << 0.0 << true << "";
        QTest::newRow("later") << 1.5 << 0.0 << true << "+1.50";
        QTest::newRow("earlier") << -0.25 << 0.0 << false << "-0.25";
        QTest::newRow("clock ahead") << 0.0 << 0.5 << true << "+0.50";
        QTest::newRow("clock behind, not corrected") << 0.0 << -0.5 << false << "";
        QTest::newRow("clock within its noise") << 0.0 << 0.1 << true << "";
        QTest::newRow("offset and clock") << 2.0 << -0.3 << true << "+1.70";
        QTest::newRow("cancelling") << 0.5 << -0.5 << true << "";
    }

    void doubleClickStartsTheUpload() {
        QFETCH(double, offset);
        QFETCH(double, clockError);
        QFETCH(bool, correctClock);
        QFETCH(QString, total);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        STEP(connectMount());
        auto* table = child<QTableView>("satelliteTableView");
        auto* offsetBox = child<QDoubleSpinBox>("timeOffsetSpinBox");
        QCOMPARE(table->model()->rowCount(), 1);
        QVERIFY(!offsetBox->isEnabled()); // no satellite selected
        const QPoint cell = table->visualRect(table->model()->index(0, 0)).center();
        // The view takes a double click only on the row that the first click pressed.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QVERIFY(offsetBox->isEnabled());
        offsetBox->setValue(offset);
        QCOMPARE(readTimeOffset(900), offset); // kept for the catalogue number
        child<QCheckBox>("mountClockCheckBox")->setChecked(correctClock);
        QCOMPARE(readCorrectMountClock(), correctClock);
        window->findChild<TransitChain*>()->setMountClockError(clockError);
        const int logged = windowLog(window.get()).size();
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QByteArray sent = line1;
        if (!total.isEmpty())
            sent = QByteArray::fromStdString(
                shiftElementEpoch(line1.toStdString(), line2.toStdString(), total.toDouble())
                    ->line1);
        QCOMPARE(sent == line1, total.isEmpty());
        QTRY_COMPARE(mount->afterHandshake(),
                     ":TLEL0US$$ 1$2C$232$0a" + sent.trimmed() + "$0a" + line2.trimmed() + "$0a#");
        const QString name = "US$ 1,#2 (00900)"; // without the table's padding
        QStringList expected{logLine(LogLevel::Info, "Selected " + name + ".")};
        if (!total.isEmpty())
            expected << logLine(LogLevel::Info,
                                "Uploading " + name + " with a time offset of " + total + " s.");
        QCOMPARE(windowLog(window.get()).mid(logged), expected);

        // The next start shows the satellite's offset again, and the box as it was left.
        writeTimeOffset(900, 0.0);
        offsetBox->setValue(0.0);
        QCOMPARE(readTimeOffset(900), 0.0);
        writeTimeOffset(900, offset);
        newWindow();
        child<QTableView>("satelliteTableView")->selectRow(0);
        QCOMPARE(child<QDoubleSpinBox>("timeOffsetSpinBox")->value(), offset);
        QCOMPARE(child<QCheckBox>("mountClockCheckBox")->isChecked(), correctClock);
        writeTimeOffset(900, 0.0);
    }

    // Sites added, edited and chosen in the dialog are kept in the settings; the chosen one is
    // the session's, with its horizon, and the next window starts from it.
    void observingSitesAreChosenAndKept() {
        auto* session = window->findChild<SkySession*>();
        QVERIFY(sameSite(session->site(), Site()));
        QVERIFY(writeBytes("garden.txt", "0 10\n180 30\n"));
        const QString horizon = QDir::current().filePath("garden.txt");
        runSiteDialog([&](ObservingSiteDialog* dialog) {
            QVERIFY(!dialog->findChild<QLineEdit*>("siteNameEdit")->isEnabled());
            click(dialog, "addSiteButton");
            fillSite(dialog, "Home", 48.5, 11.583333, 520, horizon);
            click(dialog, "addSiteButton"); // starts as a copy, under a name of its own
            QCOMPARE(dialog->currentSite(), QString("Site 2"));
            fillSite(dialog, "Home", -33.45, -70.67, 570, "");
            QVERIFY(!okButton(dialog)->isEnabled()); // two of one name
            fillSite(dialog, "Santiago", -33.45, -70.67, 570, "");
            QVERIFY(okButton(dialog)->isEnabled());
            click(dialog, "addSiteButton");
            click(dialog, "removeSiteButton");
            dialog->findChild<QListWidget*>("siteList")->setCurrentRow(0);
            okButton(dialog)->click();
        });
        const std::vector<ObservingSite> sites = readObservingSites();
        QCOMPARE(int(sites.size()), 2);
        QCOMPARE(sites[0].name + sites[1].name, QString("HomeSantiago"));
        QCOMPARE(
            QList<double>({sites[1].latitudeDeg, sites[1].eastLongitudeDeg, sites[1].elevationM}),
            QList<double>({-33.45, -70.67, 570}));
        QCOMPARE(sites[0].horizonFile + sites[1].horizonFile, horizon);
        QCOMPARE(readCurrentSiteName(), QString("Home"));
        QVERIFY(sameSite(session->site(), sites[0].site()));
        QCOMPARE(session->horizon().maskPoints().size(), std::size_t(2));

        newWindow();
        session = window->findChild<SkySession*>();
        QVERIFY(sameSite(session->site(), sites[0].site()));
        QCOMPARE(session->horizon().maskPoints().size(), std::size_t(2));
        // Cancel changes nothing; choosing Santiago brings its site and a flat horizon.
        runSiteDialog([](ObservingSiteDialog* dialog) {
            QCOMPARE(dialog->currentSite(), QString("Home"));
            click(dialog, "removeSiteButton");
            dialog->reject();
        });
        QCOMPARE(int(readObservingSites().size()), 2);
        runSiteDialog([](ObservingSiteDialog* dialog) {
            dialog->findChild<QListWidget*>("siteList")->setCurrentRow(1);
            okButton(dialog)->click();
        });
        QVERIFY(sameSite(session->site(), sites[1].site()));
        QVERIFY(session->horizon().isFlat());
    }

    // A horizon file that is missing, not a plain file or malformed keeps OK disabled and says
    // why; a site chosen with OK is logged, south and west as positive numbers.
    void siteDialogChecksTheHorizon_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<QString>("said"); // %1 the file; empty: OK takes the site
        QTest::addColumn<QString>("logged");
        QTest::newRow("missing") << "nowhere.txt" << 47.5 << 8.5
                                 << "The horizon file %1 does not exist."
                                 << "";
        QTest::newRow("folder") << "." << 47.5 << 8.5
                                << "The horizon file %1 is not a regular file."
                                << "";
        QTest::newRow("pipe") << "pipe" << 47.5 << 8.5
                              << "The horizon file %1 is not a regular file."
                              << "";
        QTest::newRow("malformed")
            << "bad.txt" << 47.5 << 8.5
            << "Line 2 of the horizon file %1 is not an azimuth and an altitude in degrees."
            << "";
        QTest::newRow("north-east") << "garden.txt" << 47.5 << 8.5 << ""
                                    << "Observing site: Home (47.5000° N, 8.5000° E, 450 m).";
        QTest::newRow("south-west") << "" << -33.45 << -70.67 << ""
                                    << "Observing site: Home (33.4500° S, 70.6700° W, 450 m).";
        QTest::newRow("rounding to zero") << "" << -0.00001 << -0.00004 << ""
                                          << "Observing site: Home (0.0000° N, 0.0000° E, 450 m).";
    }

    void siteDialogChecksTheHorizon() {
        QFETCH(QString, file);
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(QString, said);
        QFETCH(QString, logged);
        QVERIFY(writeBytes("bad.txt", "0 10\nten 20\n") && writeBytes("garden.txt", "0 10\n"));
        QVERIFY(QFileInfo::exists("pipe") || mkfifo("pipe", 0600) == 0);
        const QString path = file.isEmpty() ? file : QDir::current().filePath(file);
        runSiteDialog([&](ObservingSiteDialog* dialog) {
            click(dialog, "addSiteButton");
            fillSite(dialog, "Home", latitude, longitude, 450, path);
            auto* label = dialog->findChild<QLabel*>("horizonProblemLabel");
            QCOMPARE(label->isVisibleTo(dialog) ? label->text() : QString(),
                     said.isEmpty() ? said : said.arg(QDir::toNativeSeparators(path)));
            QCOMPARE(okButton(dialog)->isEnabled(), said.isEmpty());
            okButton(dialog)->click();
        });
        QCOMPARE(windowLogEvents(window.get()).filter("Observing site"),
                 logged.isEmpty() ? QStringList() : QStringList(logged));
    }

    // TLEs > Preferences... shows each setting it holds; OK refuses a value it cannot take,
    // saying why, and otherwise keeps them all and brings them into effect.
    void preferencesAreCheckedOnOk_data() {
        QTest::addColumn<QString>("editor"); // its object name
        QTest::addColumn<QString>("text");   // typed into it
        QTest::addColumn<QString>("said");   // empty: accepted
        QTest::newRow("no sets") << "maxElementSetsSpinBox"
                                 << ""
                                 << "Element sets shown: give a whole number from 1 to 50000.";
        QTest::newRow("no minutes")
            << "reminderMinutesSpinBox"
            << ""
            << "Remind of a pass: give a whole number of minutes from 1 to 1440.";
        QTest::newRow("no days")
            << "autoUpdateDaysSpinBox"
            << ""
            << "Update from the sources: give a whole number of days from 0 (never) to 3650.";
        QTest::newRow("missing magnitudes") << "magnitudeFileEdit"
                                            << "none.mag"
                                            << "The magnitude file none.mag does not exist.";
        QTest::newRow("magnitudes from a pipe") << "magnitudeFileEdit"
                                                << "pipe"
                                                << "The magnitude file pipe is not a regular file.";
        QTest::newRow("malformed magnitudes")
            << "magnitudeFileEdit"
            << "bad.mag"
            << "Magnitude file bad.mag, line 2: not a catalogue number and a magnitude.";
        QTest::newRow("good magnitudes") << "magnitudeFileEdit"
                                         << "good.mag"
                                         << "";
        QTest::newRow("port too high") << "timeServerEdit"
                                       << "time.example.org:70000"
                                       << "Time server: \"70000\" is not a port; give a number "
                                          "from 1 to 65535 after the colon.";
        QTest::newRow("no port") << "timeServerEdit"
                                 << "time.example.org:"
                                 << "Time server: \"\" is not a port; give a number from 1 to "
                                    "65535 after the colon.";
        QTest::newRow("blank in a name")
            << "timeServerEdit"
            << "time example"
            << "Time server: time example is neither a host name nor an address.";
        QTest::newRow("unclosed bracket")
            << "timeServerEdit"
            << "[::1:123"
            << "Time server: [::1:123 is neither a host name nor an address.";
        QTest::newRow("name and port") << "timeServerEdit"
                                       << "ntp.example.org:1123"
                                       << "";
        QTest::newRow("bare IPv6") << "timeServerEdit"
                                   << "2001:db8::1"
                                   << "";
        QTest::newRow("IPv6 and port") << "timeServerEdit"
                                       << "[2001:db8::1]:1123"
                                       << "";
        QTest::newRow("no time server") << "timeServerEdit"
                                        << ""
                                        << "";
        const QString notHttp =
            "Time table source: %1 is not an http or https URL; give the address "
            "of a finals2000A file, such as " +
            QString(kDefaultTimeTableSource) + ", or nothing for no refresh.";
        QTest::newRow("table from a file")
            << "timeTableSourceEdit"
            << "file:///tmp/finals.all" << notHttp.arg("file:///tmp/finals.all");
        QTest::newRow("table by ftp")
            << "timeTableSourceEdit"
            << "ftp://ftp.iers.org/finals.all" << notHttp.arg("ftp://ftp.iers.org/finals.all");
        QTest::newRow("table from no host")
            << "timeTableSourceEdit"
            << "https:///finals.all"
            << "Time table source: https:///finals.all names no host.";
        QTest::newRow("table from no URL")
            << "timeTableSourceEdit"
            << "https://a b/finals.all"
            << "Time table source: https://a b/finals.all is not a URL.";
        QTest::newRow("table from a mirror") << "timeTableSourceEdit"
                                             << "http://maia.usno.navy.mil/ser7/finals2000A.all"
                                             << "";
        QTest::newRow("no table refresh") << "timeTableSourceEdit"
                                          << ""
                                          << "";
    }

    void preferencesAreCheckedOnOk() {
        QFETCH(QString, editor);
        QFETCH(QString, text);
        QFETCH(QString, said);
        QVERIFY(writeBytes("bad.mag", "25544 -1.8\nISS -1.8\n") &&
                writeBytes("good.mag", "25544 -1.8\n"));
        QVERIFY(QFileInfo::exists("pipe") || mkfifo("pipe", 0600) == 0);
        QVERIFY(
            writePreferences({500, 12, 5, QString(), "pool.ntp.org", 0, kDefaultTimeTableSource}));
        newWindow();
        QString shown = "<not shown>";
        QString refusal;
        QObject scope;
        answerNextDialog<PreferencesDialog>(&scope, [&](PreferencesDialog* dialog) {
            const Preferences p = dialog->preferences();
            shown = QString("%1 %2 %3 %4 %5 %6 %7")
                        .arg(p.maxElementSets)
                        .arg(p.passSearchHours)
                        .arg(p.reminderMinutes)
                        .arg(p.magnitudeFile, p.ntpServer)
                        .arg(p.autoUpdateDays)
                        .arg(p.timeTableSource);
            dialog->findChild<QSpinBox*>("searchAheadSpinBox")->setValue(24);
            dialog->findChild<QSpinBox*>("reminderMinutesSpinBox")->setValue(30);
            dialog->findChild<QSpinBox*>("autoUpdateDaysSpinBox")->setValue(7);
            QWidget* widget = dialog->findChild<QWidget*>(editor);
            auto* edit = qobject_cast<QLineEdit*>(widget) ? qobject_cast<QLineEdit*>(widget)
                                                          : widget->findChild<QLineEdit*>();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, text);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            if (dialog->isVisible()) {
                refusal = dialog->findChild<QLabel*>("problemLabel")->text();
                QVERIFY(dialog->findChild<QLabel*>("problemLabel")->isVisibleTo(dialog));
                dialog->reject();
            }
        });
        child<QAction>("preferencesAction")->trigger();
        QCOMPARE(shown, "500 12 5  pool.ntp.org 0 " + QString(kDefaultTimeTableSource));
        QCOMPARE(refusal, said);
        const Preferences kept = readPreferences();
        QCOMPARE(kept.reminderMinutes, said.isEmpty() ? 30 : 5);
        QCOMPARE(window->findChild<PassReminders*>()->leadMinutes(), kept.reminderMinutes);
        QCOMPARE(kept.passSearchHours, said.isEmpty() ? 24 : 12);
        QCOMPARE(child<QSpinBox>("passSearchHoursSpinBox")->value(), kept.passSearchHours);
        QCOMPARE(kept.autoUpdateDays, said.isEmpty() ? 7 : 0);
        if (said.isEmpty() && editor == "timeServerEdit")
            QCOMPARE(kept.ntpServer, text);
        // Empty turns the refresh off; a refused source keeps the one before.
        QCOMPARE(readTimeTableSource(), said.isEmpty() && editor == "timeTableSourceEdit"
                                            ? text
                                            : QString(kDefaultTimeTableSource));
        if (said.isEmpty() && editor == "magnitudeFileEdit")
            QCOMPARE(windowLog(window.get()).filter("magnitude"),
                     QStringList("Info: Read 1 standard magnitude from good.mag."));
    }

    // The mount's site takes over from the chosen one when the mount reports it and stays after
    // the mount goes; a site chosen then is used again. Beyond 1 km, a warning.
    void mountSiteTakesOver_data() {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<double>("elevation");
        QTest::addColumn<QString>("km");        // in the warning; empty: none
        const double east = 11.0 + 35.0 / 60.0; // the scripted mount's
        QTest::newRow("the same place") << 48.5 << east << 520.0 << "";
        QTest::newRow("780 m north") << 48.507 << east << 520.0 << "";
        QTest::newRow("2.5 km higher") << 48.5 << east << 3020.0 << "2.5";
        QTest::newRow("0.1 deg north") << 48.6 << east << 520.0 << "11.1";
        QTest::newRow("east") << 48.5 << 11.7 << 520.0 << "8.6";
        QTest::newRow("Santiago") << -33.45 << -70.67 << 570.0 << "10406.8";
    }

    void mountSiteTakesOver() {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(double, elevation);
        QFETCH(QString, km);
        const ObservingSite chosen{"Home", latitude, longitude, elevation, QString()};
        QVERIFY(writeObservingSites({chosen}) && writeCurrentSiteName("Home"));
        newWindow();
        auto* session = window->findChild<SkySession*>();
        QVERIFY(sameSite(session->site(), chosen.site()));
        STEP(connectMount());
        const Site mountSite = Site::fromMountDegrees(48.5, -east(), 520.0);
        QVERIFY(sameSite(session->site(), mountSite));
        const QString warning =
            logLine(LogLevel::Warning, "The mount's site is " + km + " km from Home.");
        if (!km.isEmpty())
            QTRY_COMPARE(windowLog(window.get()).last(), warning);
        QCoreApplication::processEvents();
        QCOMPARE(windowLog(window.get()).filter("The mount's site").size(), km.isEmpty() ? 0 : 1);

        child<QCheckBox>("connectMountCheckBox")->click();
        QTRY_VERIFY(!mount->isOpen());
        QVERIFY(sameSite(session->site(), mountSite));
        runSiteDialog([](ObservingSiteDialog* dialog) { okButton(dialog)->click(); });
        QVERIFY(sameSite(session->site(), chosen.site()));
    }

    // Ticks are counted by the clock they set. A poll queued out of turn would show on the wire
    // before the Park clicked during the handshake; the Stop clicked with it goes out at once.
    void tickPollsWhenReadyAndIdle() {
        QSignalSpy ticks(child<QLineEdit>("utcClockLineEdit"), &QLineEdit::textChanged);
        refreshTimer()->start();
        child<QCheckBox>("connectMountCheckBox")->click();
        QTRY_COMPARE(mount->received(), kOpener);
        const int connected = ticks.count();
        QTRY_VERIFY(ticks.count() >= connected + 2); // during the handshake
        child<QPushButton>("parkButton")->click();
        child<QPushButton>("stopButton")->click();
        QTRY_COMPARE(mount->received(), kOpener + ":STOP#");
        QByteArray sent = kOpener + ":STOP#";
        const QByteArray steps[][2] = {{"2.15.14#", ":Gt#"},
                                       {"+48*30:00#", ":Gg#"},
                                       {"-011*35:00#", ":Gev#"}}; // a reply, the next command
        for (const auto& [reply, next] : steps) {
            mount->send(reply);
            sent += next;
            QTRY_COMPARE(mount->received(), sent);
        }
        mount->send("520#");
        const QByteArray ready = kOpener + ":STOP#:Gt#:Gg#:Gev#:KA#";
        QTRY_COMPARE(mount->received(), ready + ":TLESCK#");
        mount->send("T#");
        QTRY_COMPARE(mount->received(), ready + ":TLESCK#:GaE#");
        const int seen = ticks.count();
        QTRY_VERIFY(ticks.count() >= seen + 2); // with a poll in flight
        child<QPushButton>("unparkButton")->click();
        auto* status = child<QLineEdit>("statusLineEdit");
        QCOMPARE(status->text(), QString());
        mount->send("0,0,0.0025,0,-0.001#");
        QTRY_COMPARE(status->text(), QString("Tracking satellite  errors: 9.00\", -3.60\""));
        QTRY_COMPARE(mount->received(), ready + ":TLESCK#:GaE#:PO#:TLESCK#");
    }

    void setupWhileConnectedKeepsTheLink() {
        STEP(connectMount());
        const int rows = windowLog(window.get()).size();
        runSetup([](MountSettingsDialog* dialog) {
            addressEdit(dialog)->setText(QStringLiteral("192.0.2.1"));
            press(dialog, QDialogButtonBox::Ok);
        });
        QCOMPARE(windowLog(window.get()).size(), rows);
        QVERIFY(mount->isOpen());
        child<QPushButton>("stopButton")->click();
        QTRY_COMPARE(mount->afterHandshake(), QByteArray(":STOP#"));
        QCOMPARE(mount->connectionCount(), 1);
    }

    void closingTheWindowWhileConnected() {
        STEP(connectMount());
        child<QPushButton>("parkButton")->click();
        window.reset();
        QTRY_VERIFY(!mount->isOpen());
        QCOMPARE(mount->received(), kHandshake + ":KA#");
    }

private:
    template <typename T> T* child(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    QTimer* refreshTimer() const {
        return window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    }

    void newWindow() {
        window = std::make_unique<MainWindow>(scales, mount->port());
        refreshTimer()->stop();
    }

    void connectMount(const QByteArray& version = "2.15.14") {
        const int logged = windowLog(window.get()).size();
        child<QCheckBox>("connectMountCheckBox")->click();
        QVERIFY(child<QCheckBox>("connectMountCheckBox")->isChecked());
        STEP(mount->handshake(version));
        QTRY_VERIFY(windowLogEvents(window.get())
                        .mid(logged)
                        .join('\n')
                        .contains("\nReceived site information"));
    }

    // Opens the setup dialog through the menu, lets `act` work it, and returns the address it
    // showed when it opened.
    QString runSetup(const std::function<void(MountSettingsDialog*)>& act) {
        QString shown = QStringLiteral("<dialog never shown>");
        QObject scope;
        answerNextDialog<MountSettingsDialog>(&scope, [&](MountSettingsDialog* dialog) {
            shown = addressEdit(dialog)->text();
            act(dialog);
        });
        child<QAction>("mountSetupAction")->trigger();
        return shown;
    }

    // Opens Mount > Observing site... and lets `act` work the dialog.
    void runSiteDialog(const std::function<void(ObservingSiteDialog*)>& act) {
        QObject scope;
        bool shown = false;
        answerNextDialog<ObservingSiteDialog>(&scope, [&](ObservingSiteDialog* dialog) {
            shown = true;
            act(dialog);
            if (dialog->isVisible())
                dialog->reject(); // a check that failed left it open
        });
        child<QAction>("observingSiteAction")->trigger();
        QVERIFY(shown);
    }

    static bool sameSite(const Site& a, const Site& b) {
        return std::fabs(a.latitude - b.latitude) < 1e-12 &&
               std::fabs(a.westLongitude - b.westLongitude) < 1e-12 &&
               std::fabs(a.elevation - b.elevation) < 1e-9;
    }

    static double east() { return 11.0 + 35.0 / 60.0; }

    static void click(QDialog* dialog, const char* button) {
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }

    static QPushButton* okButton(QDialog* dialog) {
        return dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
            ->button(QDialogButtonBox::Ok);
    }

    // Types into the editors as a user would.
    static void fillSite(QDialog* dialog, const QString& name, double latitude, double longitude,
                         double elevation, const QString& horizon) {
        for (const auto& [editName, text] : {std::pair<const char*, QString>{"siteNameEdit", name},
                                             {"horizonFileEdit", horizon}}) {
            auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(editName));
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, text);
        }
        dialog->findChild<QDoubleSpinBox*>("latitudeSpinBox")->setValue(latitude);
        dialog->findChild<QDoubleSpinBox*>("longitudeSpinBox")->setValue(longitude);
        dialog->findChild<QDoubleSpinBox*>("elevationSpinBox")->setValue(elevation);
    }

    static void press(MountSettingsDialog* dialog, QDialogButtonBox::StandardButton which) {
        dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(which)->click();
    }

    static QLineEdit* addressEdit(MountSettingsDialog* dialog) {
        return dialog->findChild<QLineEdit*>(QStringLiteral("mountAddressLineEdit"));
    }

    QTemporaryDir scratch;
    const TimeScales scales;
    std::unique_ptr<ScriptedMount> mount;
    std::unique_ptr<MainWindow> window;
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindow)
#include "tst_window.moc"
