// The satellite catalogue: the reader, the table model and its proxy, the sky computation's
// background preparation of far-epoch sets, and the window's filter and "Load TLEs...".
#include "app/mainwindow.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/numeric_sort_proxy.h"
#include "catalogue/sky_computation.h"
#include "catalogue/tle_satellite_model.h"
#include "tests/common/file_bytes.h"
#include "tests/common/window_probe.h"
#include "tests/hostile/hostile_catalogue.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

const QByteArray kName = "ISS (ZARYA)\n";
const QByteArray kLine1 = "1 25544U 98067A   26078.51782528  .00016717  00000-0  30597-3 0  9993\n";
const QByteArray kLine2 = "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.49503057500451\n";
const QByteArray kIssName = "ISS (ZARYA)              (25544)";
const double kNaN = std::nan("");

// One three-line group, the catalogue field (columns 3 to 7) of both element lines replaced.
QByteArray group(const QByteArray& name, const QByteArray& number = "25544") {
    return name + QByteArray(kLine1).replace(2, 5, number) +
           QByteArray(kLine2).replace(2, 5, number);
}

QByteArray numberedGroups(int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += group("SAT " + QByteArray::number(i) + "\n");
    return text;
}

// The numbers bit for bit, NaN included, and the sunlight; the padding after it holds nothing.
bool sameBits(const LiveRow& a, const LiveRow& b) {
    return std::memcmp(&a, &b, offsetof(LiveRow, sunlight)) == 0 && a.sunlight == b.sunlight;
}

// Rows with the given altitudes (the other columns follow them) and names.
void fill(TLE_Satellite_Model& model, const QList<double>& altitudes, QByteArrayList labels = {}) {
    Catalogue catalogue;
    std::vector<LiveRow> rows;
    for (int i = 0; i < altitudes.size(); ++i) {
        TLE_Satellite entry;
        const QByteArray name = i < labels.size() ? labels[i] : "SAT";
        std::snprintf(entry.display_name, sizeof entry.display_name, "%-24.24s (25544)",
                      name.constData());
        entry.name_line = (name + "\n").toStdString();
        entry.line1 = kLine1.toStdString();
        entry.line2 = kLine2.toStdString();
        catalogue.satellites.push_back(entry);
        rows.push_back({1000.0 + altitudes[i], 180.0 + altitudes[i], altitudes[i], 0.5});
    }
    model.setCatalogue(std::move(catalogue), std::move(rows));
}

QStringList names(const QAbstractItemModel& model) {
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.index(row, 0).data().toString().left(24).trimmed();
    return list;
}

QAbstractItemModel* satelliteTable(MainWindow& window) {
    return window.findChild<QTableView*>(QStringLiteral("tableView"))->model();
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales; // no table: the fixed leap count

    // Answers the next file dialog: picks `path`, or cancels when it is empty.
    void answerDialog(const QString& path) {
        QTimer::singleShot(0, this, [this, path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                answerDialog(path); // not shown yet
                return;
            }
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(QDir::current().absoluteFilePath(path));
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.filePath("cfg"));
    }

    void reader_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("sets");
        QTest::addColumn<int>("inFile");          // complete sets counted
        QTest::addColumn<QByteArray>("lastName"); // display name of the last set listed
        const QByteArray one = group(kName);
        const QByteArray sat = "SAT                      (25544)";
        QTest::newRow("empty file") << QByteArray() << 0 << 0 << QByteArray();
        QTest::newRow("one line") << kName << 0 << 0 << QByteArray();
        QTest::newRow("two lines") << kName + kLine1 << 0 << 0 << QByteArray();
        QTest::newRow("one group") << one << 1 << 1 << kIssName;
        QTest::newRow("last group without a final line feed")
            << one + "SAT\n" + kLine1 + kLine2.left(kLine2.size() - 1) << 2 << 2 << sat;
        QTest::newRow("CR LF reads as LF")
            << QByteArray(one + group("SAT\n")).replace("\n", "\r\n") << 2 << 2 << sat;
        QTest::newRow("blank lines between groups passed over")
            << "\n \t\n\r\n" + one + "\n  \n" + group("SAT\n") + "\n\n"
            << 2 << 2 << sat;
        QTest::newRow("unparsable group still listed")
            << QByteArray("x\ny\nz\n") << 1 << 1 << "x" + QByteArray(23, ' ') + " (     )";
        QTest::newRow("short line 1 brings its line end")
            << "SHORT\n1 255\n" + kLine2 << 1 << 1 << "SHORT" + QByteArray(19, ' ') + " ( 255\n)";
        QTest::newRow("padded to 24") << group("TESTSAT 1\n", "12345") << 1 << 1
                                      << QByteArray("TESTSAT 1                (12345)");
        QTest::newRow("leading zeros kept") << group("TESTSAT 1\n", "00005") << 1 << 1
                                            << QByteArray("TESTSAT 1                (00005)");
        QTest::newRow("30 characters cut to 24")
            << group("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n") << 1 << 1
            << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWX (25544)");
        // Blanks at columns 15, 16, 21, 26, 36 and 'v' or 'd' at 37: a 14-character name.
        QTest::newRow("14-character layout")
            << group("ABCDEFGHIJKLMN  1234 1234 123456789 v 99\n") << 1 << 1
            << QByteArray("ABCDEFGHIJKLMN           (25544)");
        QTest::newRow("layout without its marker")
            << group("ABCDEFGHIJKLMN  1234 1234 123456789 x 99\n") << 1 << 1
            << QByteArray("ABCDEFGHIJKLMN  1234 123 (25544)");
        QTest::newRow("at most 500, in file order, all counted")
            << numberedGroups(501) << 500 << 501 << QByteArray("SAT 499                  (25544)");
    }

    void reader() {
        QFETCH(QByteArray, file);
        QFETCH(int, sets);
        QFETCH(int, inFile);
        QFETCH(QByteArray, lastName);
        QVERIFY(writeBytes("catalogue.txt", file));
        Catalogue catalogue;
        QCOMPARE(read_TLE_file("catalogue.txt", kWindowSetLimit, catalogue), 0);
        QCOMPARE(int(catalogue.size()), sets);
        QCOMPARE(int(catalogue.setsInFile), inFile);
        if (sets > 0)
            QCOMPARE(QByteArray(catalogue.satellites.back().display_name), lastName);
    }

    // The parser reads a blank classification column as 'U', in its own copy only.
    void storesTheLinesAsRead() {
        const QByteArray blankClass = QByteArray(kLine1).replace(7, 1, " ");
        QVERIFY(writeBytes("catalogue.txt",
                           QByteArray(kName + blankClass + kLine2).replace("\n", "\r\n")));
        Catalogue catalogue;
        QCOMPARE(read_TLE_file("catalogue.txt", kWindowSetLimit, catalogue), 0);
        QCOMPARE(int(catalogue.size()), 1);
        QCOMPARE(QByteArray::fromStdString(catalogue[0].name_line), kName);
        QCOMPARE(QByteArray::fromStdString(catalogue[0].line1), blankClass);
        QCOMPARE(QByteArray::fromStdString(catalogue[0].line2), kLine2);
    }

    void unreadablePathEmptiesTheCatalogue() {
        QVERIFY(writeBytes("catalogue.txt", group(kName)));
        for (const char* path : {"nowhere.txt", "."}) {
            Catalogue catalogue;
            QCOMPARE(read_TLE_file("catalogue.txt", kWindowSetLimit, catalogue), 0);
            QCOMPARE(read_TLE_file(path, kWindowSetLimit, catalogue), 1);
            QVERIFY(catalogue.empty());
        }
    }

    // Three classes of colour, the same in every column: above 20 degrees, above the horizon
    // up to 20, the rest (no position too).
    void colourFollowsTheAltitude() {
        TLE_Satellite_Model model;
        fill(model, {45.0, 20.000001, 20.0, 1e-9, 0.0, -12.0, kNaN});
        const QList<int> colourClass = {0, 0, 1, 1, 2, 2, 2};
        const auto colour = [&model](int row, int column) {
            return model.index(row, column).data(Qt::ForegroundRole).value<QBrush>().color();
        };
        for (int i = 0; i < model.rowCount(); ++i)
            for (int j = 0; j < model.rowCount(); ++j)
                for (int column = 0; column < 5; ++column)
                    QCOMPARE(colour(i, column) == colour(j, 0), colourClass[i] == colourClass[j]);
        QVERIFY(colour(0, 0).green() > colour(0, 0).red() &&
                colour(6, 0).red() > colour(6, 0).green());
    }

    void displayTexts_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("altitude, one decimal") << 1 << -3.26 << "-3.3";
        QTest::newRow("azimuth just below 360") << 2 << 359.96 << "360.0";
        QTest::newRow("distance, nearest km") << 3 << 1234.6 << "1235";
        QTest::newRow("distance, no grouping") << 3 << 41607.2 << "41607";
        QTest::newRow("speed, two decimals") << 4 << 0.456 << "0.46";
        QTest::newRow("no position") << 1 << kNaN << "nan";
    }

    void displayTexts() {
        QFETCH(int, column);
        QFETCH(double, value);
        QFETCH(QString, text);
        TLE_Satellite_Model model;
        fill(model, {0.0});
        LiveRow row{};
        double* fields[] = {nullptr, &row.altitudeDeg, &row.azimuthDeg, &row.distanceKm,
                            &row.speedDegPerSec};
        *fields[column] = value;
        model.setRows({row});
        const QModelIndex index = model.index(0, column);
        QCOMPARE(index.data().toString(), text);
        QCOMPARE(index.data(Qt::EditRole).toString(), text);
        QCOMPARE(index.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        const double raw = index.data(TLE_Satellite_Model::SortRole).toDouble();
        QVERIFY(std::memcmp(&raw, &value, sizeof raw) == 0);
    }

    void rolesHeadersAndChangeNotification() {
        TLE_Satellite_Model model;
        const QStringList titles = {"Name", "Altitude (deg)", "Azimuth (deg)", "Distance (km)",
                                    "Speed (deg/s)"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(model.headerData(i, Qt::Horizontal).toString(), titles[i]);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setRows({});
        QCOMPARE(changed.count(), 0); // nothing to announce in an empty table

        fill(model, {12.0, 1.0, 2.0}, {"ISS (ZARYA)"});
        const QModelIndex name = model.index(0, 0);
        QCOMPARE(name.data().toString(), QString::fromLatin1(kIssName));
        QCOMPARE(name.data(TLE_Satellite_Model::SortRole).toString(), name.data().toString());
        QCOMPARE(name.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
        for (int column = 0; column < 5; ++column) {
            const QModelIndex index = model.index(0, column);
            QCOMPARE(index.data(257).toString(), QString::fromLatin1(kName));
            QCOMPARE(index.data(258).toString(), QString::fromLatin1(kLine1));
            QCOMPARE(index.data(259).toString(), QString::fromLatin1(kLine2));
            QVERIFY(!(model.flags(index) & Qt::ItemIsEditable));
        }
        model.setRows(model.rows());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].value<QModelIndex>(), model.index(0, 0));
        QCOMPARE(changed[0][1].value<QModelIndex>(),
                 model.index(2, TLE_Satellite_Model::ColumnCount - 1));
        QVERIFY(changed[0][2].value<QVector<int>>().isEmpty());
    }

    // Numbers sort as numbers (9.5 before 10.0), a row without a position below every number.
    void proxySortsNumbersAsNumbers() {
        TLE_Satellite_Model model;
        fill(model, {10.0, 9.5, kNaN, -2.0, 100.0},
             {"TEN", "NINE AND A HALF", "NO POSITION", "MINUS", "HUNDRED"});
        NumericSortProxyModel proxy;
        proxy.setSourceModel(&model);
        QStringList order = {"NO POSITION", "MINUS", "NINE AND A HALF", "TEN", "HUNDRED"};
        proxy.sort(TLE_Satellite_Model::Altitude, Qt::AscendingOrder);
        QCOMPARE(names(proxy), order);
        proxy.sort(TLE_Satellite_Model::Altitude, Qt::DescendingOrder);
        std::reverse(order.begin(), order.end());
        QCOMPARE(names(proxy), order);
        proxy.sort(TLE_Satellite_Model::Name, Qt::AscendingOrder);
        std::sort(order.begin(), order.end());
        QCOMPARE(names(proxy), order);
    }

    // A low orbit and resonant sets near their epoch are computed at once, every call; resonant
    // sets 69 years from theirs go to the pool with NaN rows, and come back with the very bits
    // a computation that waits for every set gives.
    void farEpochSetsArePreparedInTheBackground() {
        // 2026-03-19 18:00, half-way between two resonance steps of the far sets.
        double jd = 2461119.25;
        const std::size_t ordinary = 3, distant = 8;
        const std::string text =
            group(kName).toStdString() +
            hostile::text(hostile::resonantSets(ordinary - 1, jd - 2.0)) +
            hostile::text(hostile::resonantSets(distant, hostile::earliestEpoch()));
        QVERIFY(writeBytes("resonant.txt", QByteArray::fromStdString(text)));
        Catalogue fresh;
        QCOMPARE(read_TLE_file("resonant.txt", 0, fresh), 0);
        QCOMPARE(fresh.size(), ordinary + distant);
        const Site site;
        const auto waitingFor = [&](double instant) {
            Catalogue copy = fresh;
            return SkyComputation(scales).compute(copy, instant, site,
                                                  SkyComputation::Wait::ForEverySet);
        };

        const std::vector<LiveRow> expected = waitingFor(jd);
        Catalogue catalogue = fresh;
        SkyComputation sky(scales);
        std::vector<LiveRow> rows = sky.compute(catalogue, jd, site);
        QCOMPARE(sky.setsInPreparation(), distant);
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            QVERIFY(std::isfinite(expected[i].altitudeDeg));
            QVERIFY(i < ordinary ? sameBits(rows[i], expected[i])
                                 : std::isnan(rows[i].altitudeDeg));
        }
        // Ticks a third of a second apart until the pool has handed every set back.
        const auto tick = [&] {
            jd += 1.0 / 86400.0 / 3.0;
            rows = sky.compute(catalogue, jd, site);
            return sky.setsInPreparation() == 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(tick(), 60000);
        const std::vector<LiveRow> last = waitingFor(jd);
        for (std::size_t i = 0; i < fresh.size(); ++i)
            QVERIFY2(sameBits(rows[i], last[i]), catalogue[i].name_line.c_str());

        // A call that waits for every set also waits for those an earlier tick handed over.
        Catalogue mixed = fresh;
        SkyComputation both(scales);
        both.compute(mixed, jd, site);
        rows = both.compute(mixed, jd, site, SkyComputation::Wait::ForEverySet);
        QCOMPARE(both.setsInPreparation(), std::size_t(0));
        for (std::size_t i = 0; i < fresh.size(); ++i)
            QVERIFY(sameBits(rows[i], last[i]));

        // Ticks across one of the far sets' 720-minute steps (at 12:00 UTC): the second between
        // a tick's two instants straddles it, and no tick may start an integration anew.
        jd = scales.working_jd_from_utc_calendar(make_calendar(2026, 3, 19, 11, 59, 58));
        Catalogue steady = fresh;
        SkyComputation across(scales);
        across.compute(steady, jd, site, SkyComputation::Wait::ForEverySet);
        for (int i = 0; i < 12; ++i) {
            jd += 1.0 / 86400.0 / 3.0;
            rows = across.compute(steady, jd, site);
            QCOMPARE(across.setsInPreparation(), std::size_t(0));
            QVERIFY(std::isfinite(rows.back().altitudeDeg));
        }
    }

    void windowFiltersIgnoringCase() {
        QByteArray text;
        const QStringList all = {"ISS (ZARYA)", "MISSION", "NOAA 19", "kissat", "IS S"};
        for (const QString& name : all)
            text += group(name.toLatin1() + "\n");
        QVERIFY(writeBytes("satell.txt", text));
        MainWindow window(scales);
        auto* filter = window.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
        QTest::keyClicks(filter, QStringLiteral("iSs"));
        QCOMPARE(names(*satelliteTable(window)), QStringList({"ISS (ZARYA)", "MISSION", "kissat"}));
        filter->selectAll();
        QTest::keyClick(filter, Qt::Key_Backspace);
        QCOMPARE(names(*satelliteTable(window)), all);
    }

    void windowWarnsOfWhatItCannotShow_data() {
        QTest::addColumn<QByteArray>("file"); // empty: satell.txt is a folder
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("500 sets") << numberedGroups(500) << QStringList();
        QTest::newRow("501 sets") << numberedGroups(501)
                                  << QStringList(
                                         "Warning: Showing the first 500 of 501 element sets.");
        QTest::newRow("a folder") << QByteArray()
                                  << QStringList("Warning: Cannot read " +
                                                 QDir::current().absoluteFilePath("satell.txt") +
                                                 ".");
    }

    void windowWarnsOfWhatItCannotShow() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, warnings);
        QFile::remove("satell.txt");
        QVERIFY(file.isEmpty() ? QDir().mkdir("satell.txt") : writeBytes("satell.txt", file));
        MainWindow window(scales);
        QDir().rmdir("satell.txt");
        QCOMPARE(windowLog(&window).filter(QRegularExpression("Showing the first|Cannot read")),
                 warnings);
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
        answerDialog(choice);
        window.findChild<QAction*>(QStringLiteral("actionLoad_TLEs"))->trigger();
        QCOMPARE(readBytes("satell.txt"), numberedGroups(sets));
        QCOMPARE(satelliteTable(window)->rowCount(), sets);
        QCOMPARE(QDir().entryList({"satell*"}, QDir::Files | QDir::Hidden),
                 QStringList("satell.txt"));
        QCOMPARE(windowLog(&window).filter("Could not copy"),
                 choice.endsWith("broken.txt")
                     ? QStringList("Error: Could not copy " +
                                   QDir::current().absoluteFilePath(choice) +
                                   " to satell.txt; the catalogue is unchanged.")
                     : QStringList());
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
