#include "app/mainwindow.h"
#include "app/mountsettings.h"
#include "app/settings.h"
#include "tests/mount/dialog_driver.h"
#include "tests/mount/window_test_main.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

#include <memory>

// The one user setting and its dialog: what a start reads, what OK and Cancel do, and what a
// normal exit leaves for the next start.
class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogForm();
    void firstStartShowsEmptyAddress();
    void okKeepsAddressForNextStart();
    void cancelKeepsOldAddress_data();
    void cancelKeepsOldAddress();
    void returnAccepts();
    void addressIsKeptAsTyped();
    void storeLivesUnderTheUsersConfig();

private:
    // Opens the setup dialog through the menu action, lets `action` work it, and returns the
    // text the dialog showed when it opened.
    QString runSetup(const std::function<void(MountSettings*)>& action);
    void restart();
    static QString storedAddress();

    std::unique_ptr<MainWindow> window;
};

void TestSettings::init() {
    QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak")).clear();
    mountIp = QStringLiteral("left over from another window");
    window = std::make_unique<MainWindow>();
}

void TestSettings::cleanup() {
    window.reset();
}

QString TestSettings::runSetup(const std::function<void(MountSettings*)>& action) {
    QString shown;
    DialogDriver driver([&](MountSettings* dialog) {
        shown = DialogDriver::lineEdit(dialog)->text();
        action(dialog);
    });
    QAction* setup = window->findChild<QAction*>(QStringLiteral("actionSetup"));
    if (!setup)
        return QStringLiteral("<no setup action>");
    setup->trigger();
    return driver.acted() ? shown : QStringLiteral("<dialog never shown>");
}

// A normal exit followed by a new start.
void TestSettings::restart() {
    window.reset();
    mountIp = QStringLiteral("not read from the store");
    window = std::make_unique<MainWindow>();
}

QString TestSettings::storedAddress() {
    return QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak"))
        .value(QStringLiteral("mount_IP"), QStringLiteral("<absent>"))
        .toString();
}

void TestSettings::dialogForm() {
    MountSettings dialog;
    QCOMPARE(dialog.objectName(), QString("MountSettings"));
    QCOMPARE(dialog.windowTitle(), QString("Halvstar Orbitrak setup"));
    QCOMPARE(dialog.size(), QSize(400, 69));
    QVERIFY(!dialog.windowIcon().isNull());
    QVERIFY(!dialog.parent());

    auto* vertical = qobject_cast<QVBoxLayout*>(dialog.layout());
    QVERIFY(vertical);
    QCOMPARE(vertical->objectName(), QString("verticalLayout"));
    QCOMPARE(vertical->count(), 2);
    auto* grid = qobject_cast<QGridLayout*>(vertical->itemAt(0)->layout());
    QVERIFY(grid);
    QCOMPARE(grid->objectName(), QString("gridLayout"));
    auto* label = qobject_cast<QLabel*>(grid->itemAtPosition(0, 0)->widget());
    QVERIFY(label);
    QCOMPARE(label->objectName(), QString("label"));
    QCOMPARE(label->text(), QString("Mount IP address"));
    auto* edit = qobject_cast<QLineEdit*>(grid->itemAtPosition(0, 1)->widget());
    QVERIFY(edit);
    QCOMPARE(edit->objectName(), QString("lineEdit"));
    QCOMPARE(edit->placeholderText(), QString("xxx.xxx.xxx.xxx"));
    QVERIFY(edit->inputMask().isEmpty());
    QVERIFY(!edit->validator());

    auto* buttons = qobject_cast<QDialogButtonBox*>(vertical->itemAt(1)->widget());
    QVERIFY(buttons);
    QCOMPARE(buttons->objectName(), QString("buttonBox"));
    QCOMPARE(buttons->orientation(), Qt::Horizontal);
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    dialog.setIp(QStringLiteral("192.168.0.7"));
    QCOMPARE(edit->text(), QString("192.168.0.7"));
    QCOMPARE(dialog.ip(), QString("192.168.0.7"));
}

void TestSettings::firstStartShowsEmptyAddress() {
    QCOMPARE(mountIp, QString());
    const QString shown = runSetup([](MountSettings* dialog) {
        QVERIFY(DialogDriver::lineEdit(dialog)->text().isEmpty());
        DialogDriver::button(dialog, QDialogButtonBox::Cancel)->click();
    });
    QCOMPARE(shown, QString());
}

void TestSettings::okKeepsAddressForNextStart() {
    runSetup([](MountSettings* dialog) {
        DialogDriver::lineEdit(dialog)->setText(QStringLiteral("192.168.1.50"));
        DialogDriver::button(dialog, QDialogButtonBox::Ok)->click();
    });
    QCOMPARE(mountIp, QString("192.168.1.50"));
    // The store learns it only at exit.
    QCOMPARE(storedAddress(), QString("<absent>"));

    restart();
    QCOMPARE(storedAddress(), QString("192.168.1.50"));
    QCOMPARE(mountIp, QString("192.168.1.50"));
    const QString shown = runSetup([](MountSettings* dialog) { dialog->reject(); });
    QCOMPARE(shown, QString("192.168.1.50"));
}

void TestSettings::cancelKeepsOldAddress_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "cancel";
    QTest::newRow("Escape key") << "escape";
    QTest::newRow("window closed") << "close";
}

void TestSettings::cancelKeepsOldAddress() {
    QFETCH(QString, how);
    runSetup([](MountSettings* dialog) {
        DialogDriver::lineEdit(dialog)->setText(QStringLiteral("10.0.0.1"));
        dialog->accept();
    });
    QCOMPARE(mountIp, QString("10.0.0.1"));

    runSetup([how](MountSettings* dialog) {
        DialogDriver::lineEdit(dialog)->setText(QStringLiteral("10.9.9.9"));
        if (how == "cancel")
            DialogDriver::button(dialog, QDialogButtonBox::Cancel)->click();
        else if (how == "escape")
            QTest::keyClick(DialogDriver::lineEdit(dialog), Qt::Key_Escape);
        else
            dialog->close();
    });
    QCOMPARE(mountIp, QString("10.0.0.1"));
    const QString shown = runSetup([](MountSettings* dialog) { dialog->reject(); });
    QCOMPARE(shown, QString("10.0.0.1"));

    restart();
    QCOMPARE(mountIp, QString("10.0.0.1"));
}

void TestSettings::returnAccepts() {
    runSetup([](MountSettings* dialog) {
        QLineEdit* edit = DialogDriver::lineEdit(dialog);
        edit->setText(QStringLiteral("mount.example"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QCOMPARE(mountIp, QString("mount.example"));
}

// Nothing checks or trims the address; the connection attempt gets it unchanged.
void TestSettings::addressIsKeptAsTyped() {
    const QString typed = QStringLiteral(" 192.168.1.5 x ");
    runSetup([typed](MountSettings* dialog) {
        DialogDriver::lineEdit(dialog)->setText(typed);
        DialogDriver::button(dialog, QDialogButtonBox::Ok)->click();
    });
    QCOMPARE(mountIp, typed);
    restart();
    QCOMPARE(mountIp, typed);
    QVERIFY(writeSettings());
}

void TestSettings::storeLivesUnderTheUsersConfig() {
    mountIp = QStringLiteral("172.16.0.9");
    window.reset();
    const QString file = QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")))
                             .filePath(QStringLiteral("Halvstar/Orbitrak.conf"));
    QVERIFY2(QFile::exists(file), qPrintable(file));
    QSettings raw(file, QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("mount_IP")).toString(), QString("172.16.0.9"));

    mountIp.clear();
    readSettings();
    QCOMPARE(mountIp, QString("172.16.0.9"));
    window = std::make_unique<MainWindow>();
}

ORBITRAK_WINDOW_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
