// Catalogues a user may really load: noise, element sets that fail in every way the model
// knows, deep-space resonant sets with epochs decades away. The reader keeps them, the live
// rows stay sane (a number in range or NaN), the window shows and sorts them, and the resonant
// ones give the same positions however their integrators got there.
#include "app/mainwindow.h"
#include "astro/time_scales.h"
#include "catalogue/live_rows.h"
#include "catalogue/observation.h"
#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite.h"
#include "orbit/sgp4.h"
#include "tests/hostile/hostile_catalogue.h"
#include "tests/mount/window_test_main.h"

#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

const Site kSite{0.7853981633974483, -0.7853981633974483, 120.0};
// 2026-03-19 12:00:00 UTC
constexpr double kNowUtc = 2461119.0;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameRow(const LiveRow& a, const LiveRow& b) {
    return sameBits(a.distanceKm, b.distanceKm) && sameBits(a.azimuthDeg, b.azimuthDeg) &&
           sameBits(a.altitudeDeg, b.altitudeDeg) && sameBits(a.speedDegPerSec, b.speedDegPerSec);
}

// A number in its column's range, or NaN (no position).
bool saneRow(const LiveRow& r) {
    auto within = [](double x, double low, double high) {
        return std::isnan(x) || (x >= low && x <= high);
    };
    return within(r.azimuthDeg, 0.0, 360.0) && within(r.altitudeDeg, -90.0, 90.0) &&
           within(r.speedDegPerSec, 0.0, 180.0) &&
           (std::isnan(r.distanceKm) || r.distanceKm >= 0.0);
}

// The row of one satellite computed on its own, from a copy fresh from the reader.
LiveRow rowAlone(TLE_Satellite satellite, double jd) {
    const ObservationInstant before = observation_instant(jd - 1.0 / 86400.0, kSite);
    const ObservationInstant now = observation_instant(jd, kSite);
    const Vec3 a = topocentric_enu(satellite, before);
    const Vec3 b = topocentric_enu(satellite, now);
    return live_row(a, b);
}

// The groups a catalogue text holds when every line read takes at most 255 characters (a longer
// line is read in pieces) and CR LF reads as one line feed.
std::size_t groupsIn(const std::string& text) {
    std::size_t reads = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break; // an unfinished last line never completes a group here
        std::size_t length = end - start + 1;
        if (length >= 2 && text[end - 1] == '\r')
            --length;
        reads += (length + 254) / 255;
        start = end + 1;
    }
    return reads / 3;
}

} // namespace

class TestHostileCatalogue : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void noiseIsKeptAndStaysSane_data();
    void noiseIsKeptAndStaysSane();
    void failingSetsReachEveryCode();
    void resonanceStepsCountTheIntegratorsWork();
    void resonantResultsIgnoreTheOrderOfCalls_data();
    void resonantResultsIgnoreTheOrderOfCalls();
    void manyResonantSetsMatchOneByOne_data();
    void manyResonantSetsMatchOneByOne();
    void windowShowsAndSortsTheWorst_data();
    void windowShowsAndSortsTheWorst();

private:
    void writeCatalogue(const std::string& text);

    QTemporaryDir scratch;
    double workingNow = 0.0; // kNowUtc as a working date
};

void TestHostileCatalogue::initTestCase() {
    QVERIFY(scratch.isValid());
    QVERIFY(QDir::setCurrent(scratch.path()));
    std::FILE* quiet = std::fopen("/dev/null", "w");
    setup_time_scales(quiet); // no table here: the fixed leap count
    if (quiet)
        std::fclose(quiet);
    // Without a table UTC is the working date less 2 s (to the millisecond).
    workingNow = kNowUtc + 2.0 / 86400.0;
    QVERIFY(std::fabs(utc_from_jd(workingNow) - kNowUtc) < 2e-8);
}

void TestHostileCatalogue::init() {
    satellite_list.clear();
    liveRows.clear();
}

void TestHostileCatalogue::cleanupTestCase() {
    satellite_list.clear();
    liveRows.clear();
}

void TestHostileCatalogue::writeCatalogue(const std::string& text) {
    QFile file(QStringLiteral("satell.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text.data(), qint64(text.size())), qint64(text.size()));
}

void TestHostileCatalogue::noiseIsKeptAndStaysSane_data() {
    QTest::addColumn<unsigned>("seed");
    for (unsigned seed : {1u, 2u, 3u, 20260319u, 0xdeadbeefu})
        QTest::addRow("seed %u", seed) << seed;
}

// Every group is listed whatever it holds, with a 32-character name; every row is a number in
// range or NaN at instants near and far from any epoch.
void TestHostileCatalogue::noiseIsKeptAndStaysSane() {
    QFETCH(unsigned, seed);
    const std::string noise = hostile::printableNoise(seed, 1200);
    writeCatalogue(noise);
    QCOMPARE(read_TLE_file("satell.txt", 500), 0);
    QCOMPARE(satellite_list.size(), std::min<std::size_t>(500, groupsIn(noise)));
    for (const TLE_Satellite& s : satellite_list) {
        QCOMPARE(std::strlen(s.display_name), std::size_t(32));
        // The catalogue field is columns 3 to 7 of line 1 as they stand, so a short line 1
        // brings its line end along; the name itself never holds one.
        for (int i = 0; i < 32; ++i) {
            const char c = s.display_name[i];
            QVERIFY2((c >= 0x20 && c < 0x7f) || (i > 25 && (c == '\n' || c == '\r')),
                     QByteArray(s.display_name, 32).toPercentEncoding().constData());
        }
    }
    for (double jd : {workingNow, workingNow + 36525.0, workingNow - 25000.0, 2451545.0}) {
        recomputeLiveRows(jd, kSite);
        QCOMPARE(liveRows.size(), satellite_list.size());
        for (std::size_t i = 0; i < liveRows.size(); ++i)
            QVERIFY2(saneRow(liveRows[i]), satellite_list[i].line1.c_str());
    }
}

// The designed sets fail as built, through the reader: no position for codes 1 to 4 (NaN rows),
// a position for code 6.
void TestHostileCatalogue::failingSetsReachEveryCode() {
    const std::vector<hostile::Group> groups = hostile::failingSets(kNowUtc);
    writeCatalogue(hostile::text(groups));
    QCOMPARE(read_TLE_file("satell.txt", 500), 0);
    QCOMPARE(satellite_list.size(), groups.size());
    recomputeLiveRows(workingNow, kSite);
    QList<int> codes;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        TLE_Satellite& s = satellite_list[i];
        propagate_satellite(s, kNowUtc);
        QVERIFY2(s.elements.error == groups[i].code, groups[i].name.c_str());
        codes << s.elements.error;
        const LiveRow& row = liveRows[i];
        QVERIFY(saneRow(row));
        if (groups[i].code == 6) {
            QVERIFY(std::isfinite(s.position[0]));
            QVERIFY(std::isfinite(row.distanceKm));
            QVERIFY(row.distanceKm < 6378.135); // inside the Earth, seen from its surface
        } else {
            QVERIFY(std::isnan(s.position[0]));
            QVERIFY(std::isnan(row.altitudeDeg) && std::isnan(row.distanceKm));
        }
    }
    QCOMPARE(codes, (QList<int>{1, 2, 3, 4, 6}));
}

// What the recomputation uses to decide whether to bring integrators forward on other threads.
void TestHostileCatalogue::resonanceStepsCountTheIntegratorsWork() {
    std::vector<hostile::Group> groups = {hostile::resonantSet(0, hostile::earliestEpoch())};
    groups.push_back(hostile::failingSets(kNowUtc).back()); // near-Earth
    writeCatalogue(hostile::text(groups));
    QCOMPARE(read_TLE_file("satell.txt", 500), 0);
    ElementSet& set = satellite_list[0].elements;
    const double t = (kNowUtc - set.jdsatepoch) * 1440.0;
    QCOMPARE(sgp4_resonance_steps(set, t), std::floor(t / 720.0));
    double r[3], v[3];
    sgp4_propagate(1, set, t, r, v);
    QCOMPARE(sgp4_resonance_steps(set, t), 0.0);
    QCOMPARE(sgp4_resonance_steps(set, t + 1440.0), 2.0);
    QCOMPARE(sgp4_resonance_steps(set, t - 1440.0), std::floor((t - 1440.0) / 720.0));
    QCOMPARE(sgp4_resonance_steps(set, -t), std::floor(t / 720.0));
    QCOMPARE(sgp4_resonance_steps(set, 2.0e8), 0.0); // beyond the integrator's reach
    QCOMPARE(sgp4_resonance_steps(satellite_list[1].elements, t), 0.0);
}

void TestHostileCatalogue::resonantResultsIgnoreTheOrderOfCalls_data() {
    QTest::addColumn<double>("epoch");
    QTest::newRow("1957, 69 years behind") << hostile::earliestEpoch();
    QTest::newRow("2056, 30 years ahead") << hostile::latestEpoch();
}

// Instants on both sides of an integrator step and of the epoch, in every order: each position
// equals the one a fresh copy computes for that instant alone.
void TestHostileCatalogue::resonantResultsIgnoreTheOrderOfCalls() {
    QFETCH(double, epoch);
    writeCatalogue(hostile::text(hostile::resonantSets(3, epoch)));
    QCOMPARE(read_TLE_file("satell.txt", 500), 0);
    const std::vector<TLE_Satellite> fresh = satellite_list;

    // A step boundary (a whole number of 720-minute steps from the epoch) near now.
    const double steps = std::round((kNowUtc - epoch) * 2.0);
    const double boundary = epoch + steps / 2.0;
    const double second = 1.0 / 86400.0;
    const std::vector<double> instants = {boundary - 0.7 * second,
                                          boundary + 0.4 * second,
                                          boundary - 2.0 * second,
                                          boundary,
                                          boundary + 0.5,
                                          boundary - 0.5 - second,
                                          epoch + 0.1,
                                          boundary + 3.0 * second};
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        TLE_Satellite reused = fresh[i];
        for (double jd : instants) {
            TLE_Satellite alone = fresh[i];
            propagate_satellite(alone, jd);
            propagate_satellite(reused, jd);
            QCOMPARE(reused.elements.error, alone.elements.error);
            for (int k = 0; k < 3; ++k)
                QVERIFY(sameBits(reused.position[k], alone.position[k]));
        }
    }
}

void TestHostileCatalogue::manyResonantSetsMatchOneByOne_data() {
    QTest::addColumn<double>("epoch");
    QTest::newRow("1957") << hostile::earliestEpoch();
    QTest::newRow("2056") << hostile::latestEpoch();
}

// Enough far-epoch resonant sets that the integrators are brought forward on several threads:
// every row is bit for bit the row of its set computed alone, at the load and at later ticks,
// also when the integrators must start again from their epochs.
void TestHostileCatalogue::manyResonantSetsMatchOneByOne() {
    QFETCH(double, epoch);
    std::vector<hostile::Group> groups = hostile::resonantSets(24, epoch);
    const std::vector<hostile::Group> failing = hostile::failingSets(kNowUtc);
    groups.insert(groups.begin() + 5, failing.begin(), failing.end());
    writeCatalogue(hostile::text(groups));
    QCOMPARE(read_TLE_file("satell.txt", 500), 0);
    const std::vector<TLE_Satellite> fresh = satellite_list;
    QVERIFY(sgp4_resonance_steps(fresh[0].elements, (kNowUtc - epoch) * 1440.0) > 20000.0);

    const double second = 1.0 / 86400.0;
    for (double jd : {workingNow, workingNow + second / 3, workingNow + 2 * second / 3,
                      workingNow - 0.5, workingNow + 40.0}) {
        recomputeLiveRows(jd, kSite);
        QCOMPARE(liveRows.size(), fresh.size());
        for (std::size_t i = 0; i < fresh.size(); ++i)
            QVERIFY2(sameRow(liveRows[i], rowAlone(fresh[i], jd)), fresh[i].name_line.c_str());
    }
}

void TestHostileCatalogue::windowShowsAndSortsTheWorst_data() {
    QTest::addColumn<QByteArray>("catalogue");
    QTest::addColumn<int>("rows");
    const std::vector<hostile::Group> failing = hostile::failingSets(kNowUtc);
    std::vector<hostile::Group> worst = hostile::resonantSets(40, hostile::latestEpoch());
    worst.insert(worst.end(), failing.begin(), failing.end());
    const std::string noise = hostile::printableNoise(7, 1500);
    QTest::newRow("noise") << QByteArray(noise.data(), int(noise.size()))
                           << int(std::min<std::size_t>(500, groupsIn(noise)));
    const std::string text = hostile::text(worst);
    QTest::newRow("resonant and failing")
        << QByteArray(text.data(), int(text.size())) << int(worst.size());
}

// The window loads such a catalogue, ticks, sorts on every column both ways and filters,
// and rows without a position sort below every number.
void TestHostileCatalogue::windowShowsAndSortsTheWorst() {
    QFETCH(QByteArray, catalogue);
    QFETCH(int, rows);
    writeCatalogue(catalogue.toStdString());
    auto window = std::make_unique<MainWindow>(nullptr, quint16(1));
    for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        timer->stop();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* table = window->findChild<QTableView*>(QStringLiteral("tableView"));
    const QAbstractItemModel* model = table->model();
    QCOMPARE(model->rowCount(), rows);

    for (int column = 0; column < model->columnCount(); ++column) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            table->horizontalHeader()->setSortIndicator(column, order);
            QVERIFY(QMetaObject::invokeMethod(window.get(), "invalidateComputation"));
            QCoreApplication::processEvents();
            QCOMPARE(model->rowCount(), rows);
            if (column == 0)
                continue;
            // Ascending: the rows without a number first, then the numbers in order.
            QList<double> values;
            for (int r = 0; r < rows; ++r)
                values << model->index(r, column).data(Qt::UserRole).toDouble();
            if (order == Qt::DescendingOrder)
                std::reverse(values.begin(), values.end());
            int r = 0;
            while (r < rows && std::isnan(values[r]))
                ++r;
            for (++r; r < rows; ++r)
                QVERIFY(!std::isnan(values[r]) && values[r - 1] <= values[r]);
        }
    }
    auto* filter = window->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    QTest::keyClicks(filter, QStringLiteral("1"));
    QVERIFY(model->rowCount() <= rows);
    filter->clear();
    QTest::keyClick(filter, Qt::Key_Return);
    QCOMPARE(model->rowCount(), rows);
}

ORBITRAK_WINDOW_TEST_MAIN(TestHostileCatalogue)
#include "tst_hostile_catalogue.moc"
