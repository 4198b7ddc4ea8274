#include "app/map_view.h"
#include "app/mount_settings_dialog.h"
#include "orbit/element_lines.h"
#include "sky/ground_track.h"
#include "sky/sky_session.h"
#include "tests/app/window_rig.h"
#include "tests/common/window_test_main.h"
#include "tracking/transit_chain.h"

#include <QRegularExpression>
#include <QSignalSpy>

// The window seen from outside, its widgets found by object name: the clock, the setup dialog,
// the wiring of the mount link, the transit chain and the status poll to the widgets, against
// a mount scripted byte by byte, and the map's wiring to the table.
class TestWindow : public WindowRig {
    Q_OBJECT

private slots:
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

    // The address is kept for the next window; the link of this one stays as it is.
    void setupOkIsKeptForTheNextWindow() {
        STEP(connectMount());
        const int rows = windowLog(window.get()).size();
        const QString shown = runSetup([](MountSettingsDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Halvstar Orbitrak setup"));
            QCOMPARE(addressEdit(dialog)->placeholderText(), QString("xxx.xxx.xxx.xxx"));
            addressEdit(dialog)->setText(QStringLiteral(" 192.0.2.50 x "));
            press(dialog, QDialogButtonBox::Ok);
        });
        QCOMPARE(shown, QString("127.0.0.1")); // read at start
        // Kept as typed, and stored at once: a crash loses nothing. Cancel keeps it.
        QCOMPARE(readMountIp(), QString(" 192.0.2.50 x "));
        QCOMPARE(runSetup([](MountSettingsDialog* dialog) {
                     addressEdit(dialog)->setText(QStringLiteral("10.9.9.9"));
                     press(dialog, QDialogButtonBox::Cancel);
                 }),
                 QString(" 192.0.2.50 x "));
        QCOMPARE(windowLog(window.get()).size(), rows);
        QVERIFY(mount->isOpen());
        child<QPushButton>("stopButton")->click();
        QTRY_COMPARE(mount->afterHandshake(), QByteArray(":STOP#"));
        QCOMPARE(mount->connectionCount(), 1);
        window.reset();
        QCOMPARE(readMountIp(), QString(" 192.0.2.50 x "));
        newWindow();
        QCOMPARE(runSetup([](MountSettingsDialog* dialog) { dialog->reject(); }),
                 QString(" 192.0.2.50 x "));
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

    // View > Map shows the table's satellite at its own sub-point; a click on it selects it in
    // the table, which gives it its track and circle; the table's filter takes it off the map.
    void mapFollowsTheTable() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        child<QAction>("showMapAction")->trigger();
        auto* map = window->findChild<MapView*>();
        QTRY_VERIFY(map->isVisible());
        const SkySession* session = window->findChild<SkySession*>();
        CatalogueEntry satellite = session->catalogue()[0];
        GroundPoint below;
        QVERIFY(subSatellitePoint(satellite, scales, session->instant(), below));
        const QPoint dot = map->toWidget({below.longitudeDeg, below.latitudeDeg}).toPoint();
        QCOMPARE(map->dotAt(dot), 0);
        QVERIFY(map->groundTrack().isEmpty());
        auto* table = child<QTableView>("satelliteTableView");
        QVERIFY(!table->selectionModel()->hasSelection());
        QTest::mouseClick(map, Qt::LeftButton, Qt::NoModifier, dot);
        QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(table->currentIndex().row(), 0);
        QCOMPARE(map->groundTrack().size(), 241);
        QCOMPARE(map->visibility().size(), 91);
        auto* filter = child<QLineEdit>("filterLineEdit");
        QTest::keyClicks(filter, "NONE SUCH");
        QTRY_COMPARE(map->dotAt(dot), -1);
        QTest::keyClick(filter, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(filter, Qt::Key_Delete);
        QTRY_COMPARE(map->dotAt(dot), 0);
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

    void closingTheWindowWhileConnected() {
        STEP(connectMount());
        child<QPushButton>("parkButton")->click();
        window.reset();
        QTRY_VERIFY(!mount->isOpen());
        QCOMPARE(mount->received(), kHandshake + ":KA#");
    }

private:
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
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindow)
#include "tst_window.moc"
