#include "app/main_window.h"
#include "astro/time_scales.h"
#include "catalogue/update_settings.h"
#include "tests/catalogue/http_test_server.h"
#include "tests/common/file_bytes.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>

namespace {

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

} // namespace

// The window's side of the catalogue, seen from outside: the warnings and TLEs >
// Load TLEs..., the update from the sources through the menu and at start-up. Every case starts
// with the settings of a first start.
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
        sets = activeCatalogueHead(6);
        QCOMPARE(sets.size(), 6);
        server.answers["/a"] = server.response("200 OK", sets[0] + sets[1] + sets[2]);
        server.answers["/forbidden"] = server.response("429 Too Many Requests", {});
        fileSource = QUrl::fromLocalFile(scratch.filePath("sets.txt")).toString();
        QVERIFY(writeBytes(scratch.filePath("sets.txt"), sets[3] + sets[4]));
    }

    void init() {
        QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak")).clear();
        QDir(updateCacheFolder()).removeRecursively(); // no copies, no paused hosts
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

    // satell.txt as CelesTrak's JSON (a nine-digit number shown whole), or as two-line sets as
    // tools write them (one in Space-Track's "0 NAME" form); a broken record, or an element line
    // out of place, is counted.
    void windowReadsTheForms_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("JSON") << QByteArray(R"([{"OBJECT_NAME":"NEW OBJECT","OBJECT_ID":"2026-100A",
                "EPOCH":"2026-03-19T12:00:00.5","MEAN_MOTION":15.48919755,
                "ECCENTRICITY":0.0003737,"INCLINATION":51.6416,"RA_OF_ASC_NODE":247.4627,
                "ARG_OF_PERICENTER":130.536,"MEAN_ANOMALY":325.0288,"EPHEMERIS_TYPE":0,
                "CLASSIFICATION_TYPE":"U","NORAD_CAT_ID":123456789,"ELEMENT_SET_NO":999,
                "REV_AT_EPOCH":12,"BSTAR":0.0001,"MEAN_MOTION_DOT":0.0001,"MEAN_MOTION_DDOT":0},
               {"OBJECT_NAME":"BROKEN","NORAD_CAT_ID":5}])")
                              << QStringList("NEW OBJECT               (123456789)");
        QTest::newRow("two-line sets")
            << QByteArray("\xEF\xBB\xBF# sets\n" + kIssLine1 + kIssLine2 + "0 CALSPHERE 1\n" +
                          kCalsphereLine1 + kCalsphereLine2 + kIssLine1)
                   .replace("\n", "\r\n")
            << QStringList{"1998-067A                (25544)", "CALSPHERE 1              (00900)"};
    }

    void windowReadsTheForms() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, rows);
        QVERIFY(writeBytes("satell.txt", file));
        MainWindow window(scales);
        QAbstractItemModel* table = satelliteTable(window);
        QStringList shown;
        for (int row = 0; row < table->rowCount(); ++row)
            shown << table->index(row, 0).data().toString();
        QCOMPARE(shown, rows);
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
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindowCatalogue)
#include "tst_window_catalogue.moc"
