#include "catalogue/catalogue_file.h"
#include "tests/common/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QtTest>

// Replacing satell.txt must never leave it destroyed or half written.
class TestCatalogueFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void copiesTheChosenFile();
    void keepsTheOldFileWhenTheSourceIsMissing();
    void keepsTheOldFileWhenTheSourceIsItself();
    void keepsTheOldFileWhenTheSourceCannotBeRead();
    void createsTheFileWhenThereIsNone();
    void leavesNoTemporaryFilesBehind();
};

void TestCatalogueFile::init() {
    for (const QString& name : QDir(".").entryList(QDir::Files | QDir::Hidden))
        QFile::remove(name);
    QVERIFY(writeBytes("satell.txt", "old catalogue\n"));
}

void TestCatalogueFile::copiesTheChosenFile() {
    QDir().mkpath("downloads");
    QByteArray big;
    for (int i = 0; i < 20000; ++i)
        big += "line " + QByteArray::number(i) + "\r\n";
    QVERIFY(writeBytes("downloads/new.txt", big));
    QVERIFY(replace_catalogue_file("downloads/new.txt", "satell.txt"));
    QCOMPARE(readBytes("satell.txt"), big);
    QCOMPARE(readBytes("downloads/new.txt"), big);
}

void TestCatalogueFile::keepsTheOldFileWhenTheSourceIsMissing() {
    QVERIFY(!replace_catalogue_file("nowhere.txt", "satell.txt"));
    QCOMPARE(readBytes("satell.txt"), QByteArray("old catalogue\n"));
}

void TestCatalogueFile::keepsTheOldFileWhenTheSourceIsItself() {
    QVERIFY(is_same_file("satell.txt", QDir::current().absoluteFilePath("satell.txt")));
    QVERIFY(!replace_catalogue_file(QDir::current().absoluteFilePath("satell.txt"), "satell.txt"));
    QVERIFY(!replace_catalogue_file("./satell.txt", "satell.txt"));
    QCOMPARE(readBytes("satell.txt"), QByteArray("old catalogue\n"));
}

void TestCatalogueFile::keepsTheOldFileWhenTheSourceCannotBeRead() {
    QDir().mkpath("folder.txt");
    QVERIFY(!replace_catalogue_file("folder.txt", "satell.txt"));
    QVERIFY(writeBytes("locked.txt", "secret"));
    QFile::setPermissions("locked.txt", QFileDevice::Permissions());
    QFile probe("locked.txt");
    if (probe.open(QIODevice::ReadOnly))
        QSKIP("running with rights that read any file");
    QVERIFY(!replace_catalogue_file("locked.txt", "satell.txt"));
    QCOMPARE(readBytes("satell.txt"), QByteArray("old catalogue\n"));
}

void TestCatalogueFile::createsTheFileWhenThereIsNone() {
    QFile::remove("satell.txt");
    QVERIFY(writeBytes("new.txt", "fresh\n"));
    QVERIFY(replace_catalogue_file("new.txt", "satell.txt"));
    QCOMPARE(readBytes("satell.txt"), QByteArray("fresh\n"));
}

void TestCatalogueFile::leavesNoTemporaryFilesBehind() {
    QVERIFY(writeBytes("new.txt", "fresh\n"));
    QVERIFY(replace_catalogue_file("new.txt", "satell.txt"));
    QVERIFY(!replace_catalogue_file("missing.txt", "satell.txt"));
    QCOMPARE(QDir(".").entryList(QDir::Files | QDir::Hidden),
             QStringList({"new.txt", "satell.txt"}));
}

QTEST_GUILESS_MAIN(TestCatalogueFile)
#include "tst_catalogue_file.moc"
