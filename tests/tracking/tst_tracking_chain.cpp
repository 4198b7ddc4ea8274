#include "app/log_model.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "catalogue/live_rows.h"
#include "tests/common/scripted_mount.h"
#include "tests/common/window_probe.h"
#include "tests/mount/window_test_main.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <memory>

static const QByteArray opener = QByteArrayLiteral("#:U2#:GVN#");
static const QByteArray handshakeBytes = QByteArrayLiteral("#:U2#:GVN#:Gt#:Gg#:Gev#");

// Three sets of one real orbit: plain, with all four escaped characters in the name, and with
// a name that already holds a dollar sign followed by 0a.
static const QByteArray line1 =
    "1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  9991\n";
static const QByteArray line2 =
    "2 00900  90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057\n";
static const QByteArray names[] = {"CALSPHERE 1\n", "US$ 1,#2\n", "TAG $0a\n"};

// The two element lines and the closing '#' as the upload carries them.
static QByteArray escapedLines() {
    return "1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  9991$0a2 00900  "
           "90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057$0a#";
}

// The transit chain and the status poll of the window, byte by byte against a mount the test
// plays over loopback TCP. The refresh tick is stopped and run by hand where a test wants one.
class TestTrackingChain : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadBytes_data();
    void uploadBytes();
    void chainReplies_data();
    void chainReplies();
    void secondDoubleClickDuringChain();
    void pollWaitsForHandshakeAndIdleQueue();
    void pollNeverComesBetweenChainSteps();
    void statusLineFollowsReplies();
    void oldFirmwareShowsStateAlone();
    void stopBetweenPollAndErrors();

private:
    void connectMount(const QByteArray& version = "2.15.14");
    void doubleClickRow(int row);
    void tick() { QVERIFY(QMetaObject::invokeMethod(window, "invalidateComputation")); }
    // Ticks until the status poll is on the wire behind what was sent before. A reply that
    // leaves the line as it was shows no sign of being handled; until it is, ticks poll nothing.
    void pollAfter(const QByteArray& sent) {
        QTRY_VERIFY((tick(), afterHandshake() == sent + ":TLESCK#"));
    }
    // Waits until the mount has received exactly this after the handshake, then answers.
    void expectThenAnswer(const QByteArray& sent, const QByteArray& reply);
    QByteArray afterHandshake() const { return mount->received().mid(handshakeBytes.size()); }
    QStringList logSince(int row) const;
    QList<QColor> coloursSince(int row) const;
    int logSize() const { return logModel()->rowCount(); }
    QString statusLine() const {
        return window->findChild<QLineEdit*>(QStringLiteral("lineEditStatus"))->text();
    }
    QAbstractItemModel* logModel() const {
        return window->findChild<QTableView*>(QStringLiteral("tableViewLog"))->model();
    }
    QTableView* table() const {
        return window->findChild<QTableView*>(QStringLiteral("tableView"));
    }

    QTemporaryDir scratch;
    std::unique_ptr<ScriptedMount> mount;
    MainWindow* window = nullptr;
};

void TestTrackingChain::initTestCase() {
    QVERIFY(scratch.isValid());
    QVERIFY(QDir::setCurrent(scratch.path()));
    QFile file(QStringLiteral("satell.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const QByteArray& name : names)
        file.write(name + line1 + line2);
}

void TestTrackingChain::init() {
    mount = std::make_unique<ScriptedMount>();
    QVERIFY(mount->isListening());
    window = new MainWindow(nullptr, mount->port());
    for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        timer->stop();
    mountIp = QStringLiteral("127.0.0.1");
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(table()->model()->rowCount(), 3);
}

void TestTrackingChain::cleanup() {
    delete window;
    window = nullptr;
    mount.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestTrackingChain::connectMount(const QByteArray& version) {
    window->findChild<QCheckBox*>(QStringLiteral("checkBox"))->click();
    QTRY_COMPARE(mount->received(), opener);
    mount->send(version + '#');
    QTRY_COMPARE(mount->received(), opener + ":Gt#");
    mount->send("+48*30:00#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#:Gg#");
    mount->send("-011*35:00#");
    QTRY_COMPARE(mount->received(), handshakeBytes);
    const int before = logSize();
    mount->send("520#");
    QTRY_COMPARE(logSize(), before + 1);
}

void TestTrackingChain::doubleClickRow(int row) {
    const QRect cell = table()->visualRect(table()->model()->index(row, 0));
    QVERIFY(cell.isValid());
    QSignalSpy doubleClicks(table(), SIGNAL(doubleClicked(QModelIndex)));
    // The view takes a double click only on the row that the first click pressed.
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(doubleClicks.count(), 1);
}

void TestTrackingChain::expectThenAnswer(const QByteArray& sent, const QByteArray& reply) {
    QTRY_COMPARE(afterHandshake(), sent);
    mount->send(reply + '#');
}

QStringList TestTrackingChain::logSince(int row) const {
    QStringList lines;
    for (int r = row; r < logModel()->rowCount(); ++r)
        lines << logModel()->index(r, 1).data().toString();
    return lines;
}

QList<QColor> TestTrackingChain::coloursSince(int row) const {
    QList<QColor> colours;
    for (int r = row; r < logModel()->rowCount(); ++r)
        colours << logModel()->index(r, 1).data(Qt::ForegroundRole).value<QBrush>().color();
    return colours;
}

void TestTrackingChain::uploadBytes_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("upload");
    const QByteArray lines = escapedLines();
    QTest::newRow("plain") << 0 << ":TLEL0CALSPHERE 1$0a" + lines;
    QTest::newRow("dollar, comma, hash") << 1 << ":TLEL0US$$ 1$2C$232$0a" + lines;
    QTest::newRow("dollar before 0a") << 2 << ":TLEL0TAG $$0a$0a" + lines;
}

void TestTrackingChain::uploadBytes() {
    QFETCH(int, row);
    QFETCH(QByteArray, upload);
    STEP(connectMount());
    const int logRow = logSize();
    STEP(doubleClickRow(row));
    QTRY_COMPARE(afterHandshake(), upload);
    const QString name = table()->model()->index(row, 0).data().toString();
    QCOMPARE(logSince(logRow), QStringList{"Selected " + name + "."});
    QCOMPARE(coloursSince(logRow), QList<QColor>{Log_Model::colourFor(LogLevel::Info)});
}

void TestTrackingChain::chainReplies_data() {
    QTest::addColumn<QByteArray>("uploadReply");
    QTest::addColumn<QByteArray>("passReply"); // null: the pass is not asked for
    QTest::addColumn<QByteArray>("slewReply"); // null: the slew is not asked for
    QTest::addColumn<QString>("logLine");      // empty: nothing logged
    QTest::addColumn<int>("level");

    const QByteArray pass = "2461015.512345,2461015.534567,45.0";
    const QByteArray none;
    const int success = int(LogLevel::Success);
    const int warning = int(LogLevel::Warning);
    const int error = int(LogLevel::Error);
    QTest::newRow("to the start") << QByteArray("V") << pass << QByteArray("V")
                                  << "Slewing to start of transit." << success;
    QTest::newRow("to the satellite")
        << QByteArray("V") << pass << QByteArray("S") << "Slewing to transiting TLE." << success;
    QTest::newRow("slew: no pass")
        << QByteArray("V") << pass << QByteArray("E") << "TLE has no passes now." << warning;
    QTest::newRow("slew refused") << QByteArray("V") << pass << QByteArray("F")
                                  << "Slew failed, mount is parked or blocked." << warning;
    QTest::newRow("transit over") << QByteArray("V") << pass << QByteArray("Q")
                                  << "Transit already ended." << warning;
    QTest::newRow("first character decides") << QByteArray("Vx") << pass << QByteArray("Sxyz")
                                             << "Slewing to transiting TLE." << success;
    QTest::newRow("slew T logs nothing")
        << QByteArray("V") << pass << QByteArray("T") << QString() << 0;
    QTest::newRow("slew empty logs nothing")
        << QByteArray("V") << pass << QByteArray("") << QString() << 0;
    QTest::newRow("pass E") << QByteArray("V") << QByteArray("E") << none
                            << "TLE has no passes now." << warning;
    QTest::newRow("pass N") << QByteArray("V") << QByteArray("N") << none
                            << "TLE has no passes now." << warning;
    QTest::newRow("pass EN is pass data") << QByteArray("V") << QByteArray("EN") << QByteArray("V")
                                          << "Slewing to start of transit." << success;
    QTest::newRow("empty pass is pass data") << QByteArray("V") << QByteArray("") << QByteArray("Q")
                                             << "Transit already ended." << warning;
    QTest::newRow("upload E") << QByteArray("E") << none << none << "TLE has invalid format."
                              << error;
    QTest::newRow("upload empty") << QByteArray("") << none << none << "TLE has invalid format."
                                  << error;
    QTest::newRow("upload lower-case v")
        << QByteArray("v") << none << none << "TLE has invalid format." << error;
}

// Each reply decides the next step; the step's command and the log line are checked byte for
// byte, and a Stop pressed at the end must follow the chain's last command directly.
void TestTrackingChain::chainReplies() {
    QFETCH(QByteArray, uploadReply);
    QFETCH(QByteArray, passReply);
    QFETCH(QByteArray, slewReply);
    QFETCH(QString, logLine);
    QFETCH(int, level);

    STEP(connectMount());
    currentJd = 2461015.5;
    const int logRow = logSize() + 1; // after "Selected ..."
    STEP(doubleClickRow(0));
    QByteArray sent = ":TLEL0CALSPHERE 1$0a" + escapedLines();
    STEP(expectThenAnswer(sent, uploadReply));
    if (!passReply.isNull()) {
        sent += ":TLEP2461015.50000000,10#";
        STEP(expectThenAnswer(sent, passReply));
    }
    if (!slewReply.isNull()) {
        sent += ":TLES#";
        STEP(expectThenAnswer(sent, slewReply));
    }
    const QStringList expected = logLine.isEmpty() ? QStringList() : QStringList{logLine};
    if (!logLine.isEmpty()) {
        QTRY_COMPARE(logSince(logRow), expected);
        QCOMPARE(coloursSince(logRow), QList<QColor>{Log_Model::colourFor(LogLevel(level))});
    }
    window->findChild<QPushButton*>(QStringLiteral("pushButton_Stop"))->click();
    QTRY_COMPARE(afterHandshake(), sent + ":STOP#");
    QCOMPARE(logSince(logRow), expected);
}

// A second double-click is not held back: its upload follows the step in flight, and the later
// steps of both chains come after it in queue order.
void TestTrackingChain::secondDoubleClickDuringChain() {
    STEP(connectMount());
    currentJd = 2461015.5;
    const int logRow = logSize();
    STEP(doubleClickRow(0));
    const QByteArray first = ":TLEL0CALSPHERE 1$0a" + escapedLines();
    QTRY_COMPARE(afterHandshake(), first);
    STEP(doubleClickRow(2));
    const QByteArray second = ":TLEL0TAG $$0a$0a" + escapedLines();
    const QByteArray pass = ":TLEP2461015.50000000,10#";
    STEP(expectThenAnswer(first, "V"));
    STEP(expectThenAnswer(first + second, "V"));
    STEP(expectThenAnswer(first + second + pass, "1,2,3"));
    STEP(expectThenAnswer(first + second + pass + pass, "1,2,3"));
    STEP(expectThenAnswer(first + second + pass + pass + ":TLES#", "S"));
    STEP(expectThenAnswer(first + second + pass + pass + ":TLES#:TLES#", "V"));
    const QStringList expected = {
        "Selected " + table()->model()->index(0, 0).data().toString() + ".",
        "Selected " + table()->model()->index(2, 0).data().toString() + ".",
        "Slewing to transiting TLE.", "Slewing to start of transit."};
    QTRY_COMPARE(logSince(logRow), expected);
}

void TestTrackingChain::pollWaitsForHandshakeAndIdleQueue() {
    tick(); // no connection: nothing is queued for later either
    window->findChild<QCheckBox*>(QStringLiteral("checkBox"))->click();
    QTRY_COMPARE(mount->received(), opener);
    tick(); // connected, but the handshake is under way
    mount->send("2.15.14#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#");
    mount->send("+48*30:00#");
    QTRY_COMPARE(mount->received(), opener + ":Gt#:Gg#");
    mount->send("-011*35:00#");
    QTRY_COMPARE(mount->received(), handshakeBytes);
    tick();
    const int logRow = logSize();
    mount->send("520#");
    QTRY_COMPARE(logSize(), logRow + 1);
    QCOMPARE(afterHandshake(), QByteArray());

    tick();
    QTRY_COMPARE(afterHandshake(), QByteArray(":TLESCK#"));
    tick(); // the poll is still in flight
    mount->send("E#");
    QTRY_COMPARE(afterHandshake(), QByteArray(":TLESCK#:GaE#"));
    tick(); // its error reading is in flight
    QCOMPARE(statusLine(), QString());
    mount->send("0,0,0,0,0#");
    QTRY_COMPARE(statusLine(), QString("No transit tracking requested  errors: 0.00\", 0.00\""));
    QCOMPARE(afterHandshake(), QByteArray(":TLESCK#:GaE#"));
    tick();
    QTRY_COMPARE(afterHandshake(), QByteArray(":TLESCK#:GaE#:TLESCK#"));
}

void TestTrackingChain::pollNeverComesBetweenChainSteps() {
    STEP(connectMount());
    currentJd = 2461015.5;
    STEP(doubleClickRow(0));
    QByteArray sent = ":TLEL0CALSPHERE 1$0a" + escapedLines();
    QTRY_COMPARE(afterHandshake(), sent);
    tick();
    STEP(expectThenAnswer(sent, "V"));
    // The pass starts at the latest tick's instant.
    sent += ":TLEP" + QByteArray::number(currentJd, 'f', 8) + ",10#";
    QTRY_COMPARE(afterHandshake(), sent);
    tick();
    STEP(expectThenAnswer(sent, "1,2,3"));
    sent += ":TLES#";
    QTRY_COMPARE(afterHandshake(), sent);
    tick();
    STEP(expectThenAnswer(sent, "S"));
    QTRY_VERIFY(logSince(0).contains("Slewing to transiting TLE."));
    QCOMPARE(afterHandshake(), sent);
    tick();
    QTRY_COMPARE(afterHandshake(), sent + ":TLESCK#");
}

// Each poll: the state reply, then the error reply; the line changes only with the latter.
void TestTrackingChain::statusLineFollowsReplies() {
    STEP(connectMount());
    struct Poll {
        QByteArray state;
        QByteArray errors;
        QString line;
        QStringList log;
    };
    const QString tracking = QStringLiteral("Tracking satellite");
    const QString lost = QStringLiteral("Couldn't get axis tracking errors.");
    const Poll polls[] = {
        {"T", "0,0,0.0025,0,-0.001", tracking + "  errors: 9.00\", -3.60\"", {}},
        {"S", "1,2,0.5,4", tracking + "  errors: 9.00\", -3.60\"", {lost}},
        {"T", "1,2,,4,0.001", tracking, {}},
        {"X", "1,\"a,b\",0.001,x,0.002", tracking + "  errors: 3.60\", 7.20\"", {}},
        {"", "1,2,0,4,0", tracking + "  errors: 0.00\", 0.00\"", {}},
        {"P", "1,2,0.001,4,\"", "Waiting for transit", {}},
        {"Q", "1,2,0,4,0", "Transit ended  errors: 0.00\", 0.00\"", {}},
    };
    QByteArray sent;
    QString line;
    for (const Poll& poll : polls) {
        const int logRow = logSize();
        STEP(pollAfter(sent));
        sent += ":TLESCK#";
        STEP(expectThenAnswer(sent, poll.state));
        sent += ":GaE#";
        QTRY_COMPARE(afterHandshake(), sent);
        QCOMPARE(statusLine(), line);
        mount->send(poll.errors + '#');
        if (poll.log.isEmpty()) {
            QTRY_COMPARE(statusLine(), poll.line);
        } else {
            QTRY_COMPARE(logSince(logRow), poll.log);
            QCOMPARE(coloursSince(logRow), QList<QColor>{Log_Model::colourFor(LogLevel::Error)});
            QCOMPARE(statusLine(), poll.line);
        }
        line = poll.line;
    }
    // The line keeps its last text while the link is down.
    window->findChild<QCheckBox*>(QStringLiteral("checkBox"))->click();
    QTRY_VERIFY(!mount->isOpen());
    tick();
    QCOMPARE(statusLine(), line);
}

void TestTrackingChain::oldFirmwareShowsStateAlone() {
    STEP(connectMount("2.15.13"));
    const QByteArray replies[] = {"T", "X", "P", "", "Q"};
    const QString lines[] = {"Tracking satellite", "Tracking satellite", "Waiting for transit",
                             "Waiting for transit", "Transit ended"};
    QByteArray sent;
    for (int i = 0; i < 5; ++i) {
        STEP(pollAfter(sent));
        sent += ":TLESCK#";
        STEP(expectThenAnswer(sent, replies[i]));
        QTRY_COMPARE(statusLine(), lines[i]);
    }
    // Nothing was queued behind the polls: a Stop goes straight out.
    window->findChild<QPushButton*>(QStringLiteral("pushButton_Stop"))->click();
    QTRY_COMPARE(afterHandshake(), sent + ":STOP#");
}

void TestTrackingChain::stopBetweenPollAndErrors() {
    STEP(connectMount());
    tick();
    QTRY_COMPARE(afterHandshake(), QByteArray(":TLESCK#"));
    window->findChild<QPushButton*>(QStringLiteral("pushButton_Stop"))->click();
    mount->send("T#");
    QTRY_COMPARE(afterHandshake(), QByteArray(":TLESCK#:STOP#:GaE#"));
    QCOMPARE(statusLine(), QString());
    mount->send("0,0,-0.0001,0,0.0002#");
    QTRY_COMPARE(statusLine(), QString("Tracking satellite  errors: -0.36\", 0.72\""));
}

ORBITRAK_WINDOW_TEST_MAIN(TestTrackingChain)
#include "tst_tracking_chain.moc"
