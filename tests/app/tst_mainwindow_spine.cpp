#include "app/mainwindow.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QtTest>

// The window's form, its log and its clock, seen from the outside: by object name, as the
// rest of the program finds them.
class TestMainWindowSpine : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowTitleSizeAndIcon();
    void widgetTexts_data();
    void widgetTexts();
    void centralLayout();
    void gridPlacement();
    void menusAndBars();
    void tableSettings();
    void logStartsWithStart();
    void metaObjectOrder();
    void clockShowsTrueUtc();
    void clockTicks();

private:
    template <typename T> T* child(const char* name) {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("missing child %s", name);
        return widget;
    }

    MainWindow* window = nullptr;
};

void TestMainWindowSpine::init() {
    window = new MainWindow;
}

void TestMainWindowSpine::cleanup() {
    delete window;
    window = nullptr;
}

void TestMainWindowSpine::windowTitleSizeAndIcon() {
    QCOMPARE(window->objectName(), QString("MainWindow"));
    QCOMPARE(window->windowTitle(), QString("Halvstar Orbitrak"));
    QCOMPARE(window->size(), QSize(677, 585));
    QVERIFY(!window->windowIcon().isNull());
    const QImage icon(":/icons/icon_halvstar.png");
    QCOMPARE(icon.size(), QSize(256, 256));
    QVERIFY(icon.hasAlphaChannel());
}

void TestMainWindowSpine::widgetTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("stop") << "pushButton_Stop"
                          << "Stop";
    QTest::newRow("unpark") << "pushButton_Unpark"
                            << "Unpark";
    QTest::newRow("park") << "pushButton_Park"
                          << "Park";
    QTest::newRow("label_2") << "label_2"
                             << "Connect mount";
    QTest::newRow("checkBox") << "checkBox"
                              << "Connect mount";
    QTest::newRow("label_3") << "label_3"
                             << "Status";
    QTest::newRow("label") << "label"
                           << "Filter TLEs by name";
    QTest::newRow("labelTime") << "labelTime"
                               << "Current UTC time";
}

void TestMainWindowSpine::widgetTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget* widget = window->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QString shown;
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        shown = button->text();
    else if (auto* label = qobject_cast<QLabel*>(widget))
        shown = label->text();
    QCOMPARE(shown, text);
}

void TestMainWindowSpine::centralLayout() {
    QWidget* central = child<QWidget>("centralWidget");
    QCOMPARE(window->centralWidget(), central);
    auto* vertical = qobject_cast<QVBoxLayout*>(central->layout());
    QVERIFY(vertical);
    QCOMPARE(vertical->objectName(), QString("verticalLayout"));
    QCOMPARE(vertical->spacing(), 6);
    QCOMPARE(vertical->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(vertical->count(), 5);

    const char* items[] = {"horizontalLayout", "gridLayout", "tableView", "horizontalLayout2",
                           "tableViewLog"};
    const int stretches[] = {0, 0, 3, 0, 1};
    for (int i = 0; i < 5; ++i) {
        QLayoutItem* item = vertical->itemAt(i);
        const QObject* object = item->layout() ? static_cast<QObject*>(item->layout())
                                               : static_cast<QObject*>(item->widget());
        QCOMPARE(object->objectName(), QString(items[i]));
        QCOMPARE(vertical->stretch(i), stretches[i]);
    }

    auto* buttons = child<QHBoxLayout>("horizontalLayout");
    QCOMPARE(buttons->spacing(), 6);
    QCOMPARE(buttons->count(), 3);
    QCOMPARE(buttons->itemAt(0)->widget()->objectName(), QString("pushButton_Stop"));
    QCOMPARE(buttons->itemAt(1)->widget()->objectName(), QString("pushButton_Unpark"));
    QCOMPARE(buttons->itemAt(2)->widget()->objectName(), QString("pushButton_Park"));

    auto* clock = child<QHBoxLayout>("horizontalLayout2");
    QCOMPARE(clock->spacing(), 6);
    QCOMPARE(clock->itemAt(0)->widget()->objectName(), QString("labelTime"));
    QCOMPARE(clock->itemAt(1)->widget()->objectName(), QString("lineTime"));
    QVERIFY(child<QLineEdit>("lineTime")->isReadOnly());
}

void TestMainWindowSpine::gridPlacement() {
    auto* grid = child<QGridLayout>("gridLayout");
    QCOMPARE(grid->spacing(), 6);
    struct Cell {
        const char* name;
        int row, column;
    };
    const Cell cells[] = {{"label_2", 1, 0},        {"checkBox", 1, 2}, {"label_3", 2, 0},
                          {"lineEditStatus", 2, 2}, {"label", 3, 0},    {"lineEdit", 3, 2}};
    QCOMPARE(grid->count(), 6);
    for (const Cell& cell : cells) {
        QLayoutItem* item = grid->itemAtPosition(cell.row, cell.column);
        QVERIFY2(item && item->widget(), cell.name);
        QCOMPARE(item->widget()->objectName(), QString(cell.name));
    }
    QVERIFY(child<QLineEdit>("lineEditStatus")->isReadOnly());
    QVERIFY(!child<QLineEdit>("lineEdit")->isReadOnly());
}

void TestMainWindowSpine::menusAndBars() {
    QMenuBar* menuBar = window->menuBar();
    QCOMPARE(menuBar->objectName(), QString("menuBar"));
    const QList<QAction*> menus = menuBar->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->menu()->objectName(), QString("menuMount"));
    QCOMPARE(menus[0]->text(), QString("Mount"));
    QCOMPARE(menus[1]->menu()->objectName(), QString("menuTLEs"));
    QCOMPARE(menus[1]->text(), QString("TLEs"));

    const QList<QAction*> mount = menus[0]->menu()->actions();
    QCOMPARE(mount.size(), 1);
    QCOMPARE(mount[0]->objectName(), QString("actionSetup"));
    QCOMPARE(mount[0]->text(), QString("Setup..."));
    const QList<QAction*> tles = menus[1]->menu()->actions();
    QCOMPARE(tles.size(), 1);
    QCOMPARE(tles[0]->objectName(), QString("actionLoad_TLEs"));
    QCOMPARE(tles[0]->text(), QString("Load TLEs..."));

    auto* toolBar = child<QToolBar>("mainToolBar");
    QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QVERIFY(toolBar->actions().isEmpty());
    QCOMPARE(window->statusBar()->objectName(), QString("statusBar"));
}

void TestMainWindowSpine::tableSettings() {
    auto* table = child<QTableView>("tableView");
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(table->verticalHeader()->isHidden());
    QVERIFY(table->horizontalHeader()->isSortIndicatorShown());
    QCOMPARE(table->verticalHeader()->defaultSectionSize(), 18);
    QCOMPARE(table->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QVERIFY(!table->isSortingEnabled());

    auto* log = child<QTableView>("tableViewLog");
    QCOMPARE(log->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!log->verticalHeader()->isHidden());
    QCOMPARE(log->verticalHeader()->defaultSectionSize(), 18);
    QCOMPARE(log->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(log->horizontalHeader()->sectionResizeMode(1), QHeaderView::Stretch);
    QVERIFY(!log->showGrid());
}

void TestMainWindowSpine::logStartsWithStart() {
    QAbstractItemModel* log = child<QTableView>("tableViewLog")->model();
    QVERIFY(log);
    QCOMPARE(log->rowCount(), 1);
    QCOMPARE(log->data(log->index(0, 1)).toString(), QString("Start"));
    QCOMPARE(log->data(log->index(0, 0), Qt::ForegroundRole).value<QBrush>().color(),
             QColor(0, 0, 0));
    QCOMPARE(log->headerData(0, Qt::Horizontal).toString(), QString("Time"));
    QCOMPARE(log->headerData(1, Qt::Horizontal).toString(), QString("Event"));
}

// Replies and connections are routed by slot name, so the table of methods is part of the
// window's contract.
void TestMainWindowSpine::metaObjectOrder() {
    const char* expected[] = {"mount_response(QByteArray)",
                              "do_loadTLE()",
                              "invalidateComputation()",
                              "on_lineEdit_editingFinished()",
                              "on_lineEdit_textEdited(QString)",
                              "sortByColumn(int,Qt::SortOrder)",
                              "do_setupMount()",
                              "on_checkBox_clicked()",
                              "mount_disconnect()",
                              "mount_error(QAbstractSocket::SocketError)",
                              "mount_connected()",
                              "mount_read()",
                              "mount_destroyed()",
                              "mount_statechanged()",
                              "got_version_number(QByteArray)",
                              "got_latitude(QByteArray)",
                              "got_longitude(QByteArray)",
                              "got_elevation(QByteArray)",
                              "on_tableView_doubleClicked(QModelIndex)",
                              "entered_TLE(QByteArray)",
                              "computed_TLE(QByteArray)",
                              "slewing_TLE(QByteArray)",
                              "got_tle_tracking_status(QByteArray)",
                              "got_axis_errors(QByteArray)",
                              "got_transaction_result(QByteArray)",
                              "on_pushButton_Stop_clicked()",
                              "done_stoprequest(QByteArray)",
                              "on_pushButton_Park_clicked()",
                              "done_parkrequest(QByteArray)",
                              "on_pushButton_Unpark_clicked()",
                              "done_unparkrequest(QByteArray)"};
    const QMetaObject* meta = window->metaObject();
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 31);
    for (int i = 0; i < 31; ++i) {
        const QMetaMethod method = meta->method(meta->methodOffset() + i);
        QCOMPARE(method.methodSignature(), QByteArray(expected[i]));
        QCOMPARE(method.methodType(), i == 0 ? QMetaMethod::Signal : QMetaMethod::Slot);
        if (i > 0)
            QCOMPARE(method.access(), QMetaMethod::Private);
    }
}

static QDateTime parseClock(const QString& text) {
    QDateTime shown = QDateTime::fromString(text, "yyyy-MM-dd hh:mm:ss.zzz");
    shown.setTimeSpec(Qt::UTC);
    return shown;
}

void TestMainWindowSpine::clockShowsTrueUtc() {
    auto* clock = child<QLineEdit>("lineTime");
    for (int round = 0; round < 20; ++round) {
        const QDateTime before = QDateTime::currentDateTimeUtc();
        QVERIFY(QMetaObject::invokeMethod(window, "invalidateComputation"));
        const QDateTime after = QDateTime::currentDateTimeUtc();
        const QString text = clock->text();
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                     .match(text)
                     .hasMatch(),
                 qPrintable(text));
        const QDateTime shown = parseClock(text);
        QVERIFY(shown.isValid());
        QVERIFY2(shown >= before && shown <= after,
                 qPrintable(QString("%1 not within %2 .. %3")
                                .arg(text, before.toString(Qt::ISODateWithMs),
                                     after.toString(Qt::ISODateWithMs))));
    }
}

void TestMainWindowSpine::clockTicks() {
    auto* clock = child<QLineEdit>("lineTime");
    QTRY_VERIFY(!clock->text().isEmpty());
    const QString first = clock->text();
    QTRY_VERIFY(clock->text() != first);
}

QTEST_MAIN(TestMainWindowSpine)
#include "tst_mainwindow_spine.moc"
