#include "app/log_model.h"

#include <QBrush>
#include <QSignalSpy>
#include <QTime>
#include <QtTest>

class TestLogModel : public QObject {
    Q_OBJECT

private slots:
    void levelColours_data();
    void levelColours();
    void appendsInOrderWithLocalTime();
    void headersAndEmptyCells();
    void announcesOneRowPerEntry();
};

void TestLogModel::levelColours_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("Info") << int(LogLevel::Info) << QColor(0, 0, 0);
    QTest::newRow("Success") << int(LogLevel::Success) << QColor(0, 204, 0);
    QTest::newRow("Warning") << int(LogLevel::Warning) << QColor(153, 102, 0);
    QTest::newRow("Error") << int(LogLevel::Error) << QColor(204, 0, 0);
}

void TestLogModel::levelColours() {
    QFETCH(int, level);
    QFETCH(QColor, colour);
    Log_Model model;
    model.addEntry("something happened", LogLevel(level));
    for (int column = 0; column < 2; ++column) {
        const QModelIndex index = model.index(0, column);
        const QBrush brush = model.data(index, Qt::ForegroundRole).value<QBrush>();
        QCOMPARE(brush.style(), Qt::SolidPattern);
        QCOMPARE(brush.color(), colour);
        QCOMPARE(brush.color().alpha(), 255);
        QCOMPARE(model.data(index, Qt::TextAlignmentRole).toInt(), 129);
    }
}

void TestLogModel::appendsInOrderWithLocalTime() {
    Log_Model model;
    const QTime before = QTime::currentTime();
    model.addEntry("first", LogLevel::Info);
    model.addEntry("second", LogLevel::Info);
    model.addEntry("", LogLevel::Warning);
    const QTime after = QTime::currentTime();

    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.data(model.index(0, 1)).toString(), QString("first"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QString("second"));
    QCOMPARE(model.data(model.index(2, 1)).toString(), QString());

    const QString stamp = model.data(model.index(0, 0)).toString();
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$").match(stamp).hasMatch(),
             qPrintable(stamp));
    const QTime shown = QTime::fromString(stamp, "hh:mm:ss.zzz");
    // Local wall-clock time (not UTC); skip the check across midnight.
    if (before <= after)
        QVERIFY(shown >= before && shown <= after);
}

void TestLogModel::headersAndEmptyCells() {
    Log_Model model;
    model.addEntry("x", LogLevel::Error);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Time"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("Event"));
    QVERIFY(!model.headerData(2, Qt::Horizontal).isValid());
    QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 1);
    QVERIFY(!model.headerData(0, Qt::Vertical, Qt::ToolTipRole).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(model.index(0, 0), Qt::EditRole).isValid());
    QVERIFY(!model.data(model.index(0, 1), Qt::ToolTipRole).isValid());
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsSelectable);
}

void TestLogModel::announcesOneRowPerEntry() {
    Log_Model model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.addEntry("a", LogLevel::Info);
    model.addEntry("b", LogLevel::Success);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 1);
    QCOMPARE(inserted.at(1).at(2).toInt(), 1);
    QVERIFY(!inserted.at(1).at(0).value<QModelIndex>().isValid());
}

QTEST_GUILESS_MAIN(TestLogModel)
#include "tst_log_model.moc"
