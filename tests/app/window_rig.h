#pragma once

#include "app/main_window.h"
#include "app/observing_site_dialog.h"
#include "app/settings.h"
#include "astro/time_scales.h"
#include "sky/observing_sites.h"
#include "tests/common/file_bytes.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <ctime>
#include <functional>
#include <memory>

// The set's epoch is today, so that no warning of old element sets joins the log.
inline QByteArray withTodaysEpoch(QByteArray line) {
    const QDate today = QDateTime::currentDateTimeUtc().date();
    return line.replace(
        18, 14,
        QString::asprintf("%02d%03d.00000000", today.year() % 100, today.dayOfYear()).toLatin1());
}

// A window beside a mount scripted byte by byte, in a scratch folder whose satell.txt holds one
// set of today's epoch; the window's refresh tick is stopped unless a test runs it. The test
// classes derive from it, and Qt Test runs its initTestCase, init and cleanup as theirs.
class WindowRig : public QObject {
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

protected:
    QTemporaryDir scratch;
    const TimeScales scales;
    std::unique_ptr<ScriptedMount> mount;
    std::unique_ptr<MainWindow> window;
    const QByteArray line1 = withTodaysEpoch(kCalsphereLine1);
    const QByteArray& line2 = kCalsphereLine2;

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

    static QPushButton* okButton(QDialog* dialog) {
        return dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
            ->button(QDialogButtonBox::Ok);
    }
};
