#include "app/log_model.h"
#include "app/main_window.h"
#include "app/mount_settings_dialog.h"
#include "app/settings.h"
#include "app/translations.h"
#include "astro/time_scales.h"
#include "tests/common/file_bytes.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QXmlStreamReader>

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

    void doubleClickStartsTheUpload() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        STEP(connectMount());
        auto* table = child<QTableView>("satelliteTableView");
        QCOMPARE(table->model()->rowCount(), 1);
        const QPoint cell = table->visualRect(table->model()->index(0, 0)).center();
        // The view takes a double click only on the row that the first click pressed.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        const QByteArray upload =
            ":TLEL0US$$ 1$2C$232$0a" + line1.trimmed() + "$0a" + line2.trimmed() + "$0a#";
        QTRY_COMPARE(mount->afterHandshake(), upload);
        QCOMPARE(windowLog(window.get()).last(),
                 logLine(LogLevel::Info,
                         "Selected " + table->model()->index(0, 0).data().toString() + "."));
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
        mount->send("2.15.14#+48*30:00#-011*35:00#520#");
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
        child<QCheckBox>("connectMountCheckBox")->click();
        QVERIFY(child<QCheckBox>("connectMountCheckBox")->isChecked());
        STEP(mount->handshake(version));
        QTRY_VERIFY(windowLogEvents(window.get()).last().startsWith("Received site information"));
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
