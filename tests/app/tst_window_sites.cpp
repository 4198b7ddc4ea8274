#include "app/map_view.h"
#include "app/preferences_dialog.h"
#include "catalogue/update_settings.h"
#include "planning/pass_reminders.h"
#include "sky/sky_session.h"
#include "tests/app/window_rig.h"
#include "tests/common/window_test_main.h"

#include <QLabel>
#include <QListWidget>
#include <QSpinBox>

#include <sys/stat.h>

// The window's settings seen from outside: Mount > Observing site... with its horizon check, the
// mount's site taking over from the chosen one, and TLEs > Preferences...
class TestWindowSites : public WindowRig {
    Q_OBJECT

private slots:
    // Sites added, edited and chosen in the dialog are kept in the settings; the chosen one is
    // the session's, with its horizon.
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

        // Cancel changes nothing.
        runSiteDialog([](ObservingSiteDialog* dialog) {
            QCOMPARE(dialog->currentSite(), QString("Home"));
            click(dialog, "removeSiteButton");
            dialog->reject();
        });
        QCOMPARE(int(readObservingSites().size()), 2);
    }

    // A horizon file that is missing, not a plain file or malformed keeps OK disabled and says
    // why; a site chosen with OK is logged, south and west as positive numbers.
    void siteDialogChecksTheHorizon_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<QString>("said"); // %1 the file; empty: OK takes the site
        QTest::addColumn<QString>("logged");
        const auto row = [](const char* name, const char* file, double latitude, double longitude,
                            const QString& said, const QString& logged = {}) {
            QTest::newRow(name) << file << latitude << longitude << said << logged;
        };
        row("missing", "nowhere.txt", 47.5, 8.5, "The horizon file %1 does not exist.");
        row("pipe", "pipe", 47.5, 8.5, "The horizon file %1 is not a regular file.");
        row("malformed", "bad.txt", 47.5, 8.5,
            "Line 2 of the horizon file %1 is not an azimuth and an altitude in degrees.");
        row("north-east", "garden.txt", 47.5, 8.5, "",
            "Observing site: Home (47.5000° N, 8.5000° E, 450 m).");
        row("south-west", "", -33.45, -70.67, "",
            "Observing site: Home (33.4500° S, 70.6700° W, 450 m).");
        row("rounding to zero", "", -0.00001, -0.00004, "",
            "Observing site: Home (0.0000° N, 0.0000° E, 450 m).");
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
        const auto row = [](const char* name, const char* editor, const char* text,
                            const QString& said = {}) {
            QTest::newRow(name) << editor << text << said;
        };
        row("no sets", "maxElementSetsSpinBox", "",
            "Element sets shown: give a whole number from 1 to 50000.");
        row("no minutes", "reminderMinutesSpinBox", "",
            "Remind of a pass: give a whole number of minutes from 1 to 1440.");
        row("no days", "autoUpdateDaysSpinBox", "",
            "Update from the sources: give a whole number of days from 0 (never) to 3650.");
        row("missing magnitudes", "magnitudeFileEdit", "none.mag",
            "The magnitude file none.mag does not exist.");
        row("malformed magnitudes", "magnitudeFileEdit", "bad.mag",
            "Magnitude file bad.mag, line 2: not a catalogue number and a magnitude.");
        row("good magnitudes", "magnitudeFileEdit", "good.mag");
        row("port too high", "timeServerEdit", "time.example.org:70000",
            "Time server: \"70000\" is not a port; give a number from 1 to 65535 after the colon.");
        row("blank in a name", "timeServerEdit", "time example",
            "Time server: time example is neither a host name nor an address.");
        row("unclosed bracket", "timeServerEdit", "[::1:123",
            "Time server: [::1:123 is neither a host name nor an address.");
        row("IPv6 and port", "timeServerEdit", "[2001:db8::1]:1123");
        row("no time server", "timeServerEdit", "");
        row("table from a file", "timeTableSourceEdit", "file:///tmp/finals.all",
            "Time table source: file:///tmp/finals.all is not an http or https URL; give the "
            "address of a finals2000A file, such as " +
                QString(kDefaultTimeTableSource) + ", or nothing for no refresh.");
        row("table from no host", "timeTableSourceEdit", "https:///finals.all",
            "Time table source: https:///finals.all names no host.");
        row("table from no URL", "timeTableSourceEdit", "https://a b/finals.all",
            "Time table source: https://a b/finals.all is not a URL.");
        row("table from a mirror", "timeTableSourceEdit",
            "http://maia.usno.navy.mil/ser7/finals2000A.all");
        row("no table refresh", "timeTableSourceEdit", "");
    }

    void preferencesAreCheckedOnOk() {
        QFETCH(QString, editor);
        QFETCH(QString, text);
        QFETCH(QString, said);
        QVERIFY(writeBytes("bad.mag", "25544 -1.8\nISS -1.8\n") &&
                writeBytes("good.mag", "25544 -1.8\n"));
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
    // the mount goes; a site chosen then is used again. Beyond 1 km, a warning. The map shows
    // the chosen site throughout and the mount's while it is connected.
    void mountSiteTakesOver_data() {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<double>("elevation");
        QTest::addColumn<QString>("km"); // in the warning; empty: none
        QTest::newRow("the same place") << 48.5 << east() << 520.0 << "";
        QTest::newRow("2.5 km higher") << 48.5 << east() << 3020.0 << "2.5";
        QTest::newRow("0.1 deg north") << 48.6 << east() << 520.0 << "11.1";
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
        const MapView* map = window->findChild<MapView*>();
        QCOMPARE(map->observingSitePoint(), std::optional(QPointF(longitude, latitude)));
        QCOMPARE(map->mountSitePoint(), std::optional(QPointF(east(), 48.5)));
        const QString warning =
            logLine(LogLevel::Warning, "The mount's site is " + km + " km from Home.");
        if (!km.isEmpty())
            QTRY_COMPARE(windowLog(window.get()).last(), warning);
        QCoreApplication::processEvents();
        QCOMPARE(windowLog(window.get()).filter("The mount's site").size(), km.isEmpty() ? 0 : 1);

        child<QCheckBox>("connectMountCheckBox")->click();
        QTRY_VERIFY(!mount->isOpen());
        QVERIFY(sameSite(session->site(), mountSite));
        QTRY_VERIFY(!map->mountSitePoint());
        QCOMPARE(map->observingSitePoint(), std::optional(QPointF(longitude, latitude)));
        runSiteDialog([](ObservingSiteDialog* dialog) { okButton(dialog)->click(); });
        QVERIFY(sameSite(session->site(), chosen.site()));
    }

private:
    static double east() { return 11.0 + 35.0 / 60.0; } // the scripted mount's

    static void click(QDialog* dialog, const char* button) {
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
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
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindowSites)
#include "tst_window_sites.moc"
