#include "app/data_paths.h"
#include "app/main_window.h"
#include "astro/time_scales.h"
#include "orbitrak_version.h"
#include "tests/common/file_bytes.h"
#include "tests/common/test_sets.h"
#include "tests/common/window_probe.h"
#include "tests/common/window_test_main.h"

#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

static const QByteArray kSet = kIssName + kIssLine1 + kIssLine2;

// Where the window looks for its files, what it keeps from one run to the next, and the
// versions the programs report. Each test starts in an empty working directory with an empty
// per-user data folder (CTest gives the program an XDG_DATA_HOME of its own).
class TestDesktop : public QObject {
    Q_OBJECT

private slots:
    void init() {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(work->path()));
        QVERIFY(QDir(data_paths::userFolder()).removeRecursively());
        QSettings(QStringLiteral("Halvstar"), QStringLiteral("Orbitrak")).clear();
    }

    void catalogueFromTheWorkingDirectoryElseThePerUserFolder() {
        const QString user = data_paths::userFolder() + QStringLiteral("/satell.txt");
        QCOMPARE(data_paths::catalogueFile(), user);
        {
            // Nowhere: an empty table and one line that says how to get element sets.
            MainWindow window(scales);
            QCOMPARE(rows(window), 0);
            QCOMPARE(windowLogEvents(&window).size(), 2);
            QVERIFY(windowLogEvents(&window).last().contains(QStringLiteral("Load TLEs")));
        }
        QVERIFY(QDir().mkpath(data_paths::userFolder()));
        QVERIFY(writeBytes(user, kSet + kSet));
        QCOMPARE(rows(MainWindow(scales)), 2);
        QVERIFY(writeBytes(QStringLiteral("satell.txt"), kSet));
        QCOMPARE(data_paths::catalogueFile(), QStringLiteral("satell.txt"));
        QCOMPARE(rows(MainWindow(scales)), 1);
    }

    // The working directory, then the per-user folder, then what was installed beside the
    // program; a table in a later folder is found when the earlier ones have none.
    void timeTableFolders() {
        const std::vector<std::string> folders = data_paths::timeTableFolders();
        QCOMPARE(int(folders.size()), 3);
        QCOMPARE(folders[0], std::string());
        QCOMPARE(QString::fromStdString(folders[1]), data_paths::userFolder());
        QCOMPARE(QString::fromStdString(folders[2]),
                 QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/orbitrak"));

        QVERIFY(QDir().mkpath(data_paths::userFolder()));
        QVERIFY(QFile::copy(QStringLiteral(ORBITRAK_BINARY_DIR "/utc.bin"),
                            data_paths::userFolder() + QStringLiteral("/utc.bin")));
        std::string report;
        const bool found = TimeScales::fromFolders(folders, &report).table() != nullptr;
        QCOMPARE(QByteArray::fromStdString(report),
                 QByteArray("init_time_data\ninit_time_data OK with default data\n"));
        QVERIFY(found);
    }

    // The first start opens as the form says; the next as the last one was left. The filter
    // keeps the names that hold its text, whatever its case.
    void windowStateIsRemembered() {
        QStringList all = {"ISS (ZARYA)", "MISSION", "NOAA 19", "kissat", "IS S"};
        QByteArray sets;
        for (const QString& name : all)
            sets += group(name.toLatin1() + "\n");
        QVERIFY(writeBytes(QStringLiteral("satell.txt"), sets));
        {
            MainWindow window(scales);
            QVERIFY(window.size() != QSize(700, 500));
            window.resize(700, 500); // within the offscreen screen: fit() keeps it there
            QHeaderView* header = table(window)->horizontalHeader();
            header->resizeSection(2, 123);
            header->setSortIndicator(3, Qt::DescendingOrder);
            QTest::keyClicks(filter(window), QStringLiteral("iSs"));
            QCOMPARE(names(window), QStringList({"ISS (ZARYA)", "MISSION", "kissat"}));
        }
        MainWindow window(scales);
        QCOMPARE(window.size(), QSize(700, 500));
        QHeaderView* header = table(window)->horizontalHeader();
        QCOMPARE(header->sectionSize(2), 123);
        const auto* proxy = qobject_cast<const QSortFilterProxyModel*>(table(window)->model());
        QCOMPARE(proxy->sortColumn(), 3);
        QCOMPARE(proxy->sortOrder(), Qt::DescendingOrder);
        QCOMPARE(filter(window)->text(), QStringLiteral("iSs"));
        QCOMPARE(proxy->rowCount(), 3);
        filter(window)->selectAll();
        QTest::keyClick(filter(window), Qt::Key_Backspace);
        all.sort();
        QCOMPARE(names(window), all);
    }

    // Every program says the one version, the window without a display too.
    void versions() {
        for (const QString& program : QStringLiteral(ORBITRAK_PROGRAMS).split('|')) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
            environment.remove(QStringLiteral("DISPLAY"));
            process.setProcessEnvironment(environment);
            process.start(program, {QStringLiteral("--version")});
            QVERIFY(process.waitForFinished(10000));
            QCOMPARE(process.exitCode(), 0);
            QCOMPARE(process.readAllStandardOutput(),
                     QFileInfo(program).fileName().toUtf8() + " " ORBITRAK_VERSION "\n");
        }
    }

private:
    static QTableView* table(const MainWindow& window) {
        return window.findChild<QTableView*>(QStringLiteral("satelliteTableView"));
    }
    static int rows(const MainWindow& window) { return table(window)->model()->rowCount(); }
    static QLineEdit* filter(const MainWindow& window) {
        return window.findChild<QLineEdit*>(QStringLiteral("filterLineEdit"));
    }
    // The names shown, without the catalogue numbers, sorted.
    static QStringList names(const MainWindow& window) {
        QStringList list;
        for (int row = 0; row < rows(window); ++row)
            list << table(window)->model()->index(row, 0).data().toString().left(24).trimmed();
        list.sort();
        return list;
    }

    const TimeScales scales;
    std::unique_ptr<QTemporaryDir> work;
};

ORBITRAK_WINDOW_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
