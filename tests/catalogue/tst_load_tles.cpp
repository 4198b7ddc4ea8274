// "Load TLEs..." in the running window: the dialog, the safe replacement and the reload.
#include "app/mainwindow.h"
#include "tests/common/file_bytes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTableView>
#include <QTimer>
#include <QtTest>

class TestLoadTles : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cancelChangesNothing();
    void chosenFileReplacesTheCatalogueAndReloads();
    void choosingTheCatalogueItselfChangesNothing();
    void dialogAsksForTextFiles();

private:
    // Answers the next file dialog: picks `path`, or cancels when it is empty. Returns what
    // the dialog showed, for the checks.
    void answerDialog(const QString& path);
    int rows(MainWindow& window) {
        return window.findChild<QTableView*>("tableView")->model()->rowCount();
    }
    QString shownCaption;
    QStringList shownFilters;
};

static const QByteArray kLine1 =
    "1 25544U 98067A   26078.51782528  .00016717  00000-0  30597-3 0  9993\n";
static const QByteArray kLine2 =
    "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.49503057500451\n";

static QByteArray catalogue(int sets) {
    QByteArray text;
    for (int i = 0; i < sets; ++i)
        text += "SAT " + QByteArray::number(i) + "\n" + kLine1 + kLine2;
    return text;
}

void TestLoadTles::init() {
    QVERIFY(writeBytes("satell.txt", catalogue(2)));
    QDir().mkpath("downloads");
    QVERIFY(writeBytes("downloads/fresh.txt", catalogue(5)));
}

void TestLoadTles::answerDialog(const QString& path) {
    QTimer::singleShot(0, this, [this, path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerDialog(path); // not shown yet
            return;
        }
        shownCaption = dialog->windowTitle();
        shownFilters = dialog->nameFilters();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(QDir::current().absoluteFilePath(path));
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

static void loadTles(MainWindow& window) {
    window.findChild<QAction*>("actionLoad_TLEs")->trigger();
}

void TestLoadTles::cancelChangesNothing() {
    MainWindow window;
    QCOMPARE(rows(window), 2);
    answerDialog(QString());
    loadTles(window);
    QCOMPARE(readBytes("satell.txt"), catalogue(2));
    QCOMPARE(rows(window), 2);
}

void TestLoadTles::chosenFileReplacesTheCatalogueAndReloads() {
    MainWindow window;
    answerDialog("downloads/fresh.txt");
    loadTles(window);
    QCOMPARE(readBytes("satell.txt"), catalogue(5));
    QCOMPARE(rows(window), 5);
    QVERIFY(QFile::exists("downloads/fresh.txt"));
    // A later start reads the copy.
    MainWindow next;
    QCOMPARE(rows(next), 5);
}

void TestLoadTles::choosingTheCatalogueItselfChangesNothing() {
    MainWindow window;
    answerDialog("satell.txt");
    loadTles(window);
    QCOMPARE(readBytes("satell.txt"), catalogue(2));
    QCOMPARE(rows(window), 2);
}

void TestLoadTles::dialogAsksForTextFiles() {
    MainWindow window;
    answerDialog(QString());
    loadTles(window);
    QCOMPARE(shownCaption, QString("Open TLE elements file"));
    QCOMPARE(shownFilters, QStringList("TLE files (*.txt)"));
}

QTEST_MAIN(TestLoadTles)
#include "tst_load_tles.moc"
