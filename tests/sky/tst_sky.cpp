// Where the satellites stand in the sky: positions against ones computed independently
// (another SGP4 implementation, 1982 sidereal time with UT1 = UTC, WGS-84 site) for hundreds of
// real satellites and sites, the live table of the real catalogue cell by cell, the table model
// and its proxy, the sky computation's background preparation of far-epoch sets, and the map's
// day and night and a satellite's circle of visibility against the site's own reduction.
#include "app/satellite_table_model.h"
#include "astro/angles.h"
#include "astro/calendar.h"
#include "astro/moon.h"
#include "astro/sun.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "sky/day_night.h"
#include "sky/observation.h"
#include "sky/sky_computation.h"
#include "tests/common/file_bytes.h"
#include "tests/common/test_sets.h"
#include "tests/hostile/hostile_catalogue.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>

Q_DECLARE_METATYPE(LiveRow)
Q_DECLARE_METATYPE(Site)

namespace {

// The numbers bit for bit, NaN included, and the flags; the padding after them holds nothing.
bool sameBits(const LiveRow& a, const LiveRow& b) {
    return std::memcmp(&a, &b, offsetof(LiveRow, sunlight)) == 0 && a.sunlight == b.sunlight &&
           a.invalidElements == b.invalidElements;
}

// The live table over a session of its own (no time table).
struct LiveTable {
    TimeScales scales;
    SkySession session{scales};
    SatelliteTableModel model{session};
};

} // namespace

class TestSky : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    const TimeScales scales; // no table: the fixed leap count, and UT1 = UTC as the sky reference
    std::map<int, CatalogueEntry> bySatnum;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY(QDir::setCurrent(scratch.path()));
        QVERIFY(activeCatalogue().size() > 14000);
        for (const CatalogueEntry& satellite : activeCatalogue().satellites)
            bySatnum.emplace(satellite.elements.satnum, satellite);
    }

    void rolesAndChangeNotification() {
        LiveTable table;
        SatelliteTableModel& model = table.model;
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        table.session.showRows({});
        QCOMPARE(changed.count(), 0); // nothing to announce in an empty table

        QVERIFY(writeBytes("three.txt", group(kIssName).repeated(3)));
        Catalogue three;
        QCOMPARE(readCatalogueFile("three.txt", 0, three), 0);
        table.session.setCatalogue(std::move(three));
        table.session.showRows({{1012, 192, 12, 0.5}, {1001, 181, 1, 0.5}, {1002, 182, 2, 0.5}});
        const QModelIndex name = model.index(0, 0);
        QCOMPARE(name.data().toString(), QString::fromLatin1(kIssDisplayName));
        QCOMPARE(name.data(SatelliteTableModel::SortRole).toString(), name.data().toString());
        QCOMPARE(name.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
        for (int column = 0; column < 5; ++column) {
            const QModelIndex index = model.index(0, column);
            QVERIFY(!(model.flags(index) & Qt::ItemIsEditable));
            QCOMPARE(index.data(Qt::EditRole), index.data());
            QVERIFY(column == 0 || index.data(Qt::TextAlignmentRole).toInt() == Qt::AlignCenter);
        }
        changed.clear();
        table.session.showRows(table.session.rows());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].value<QModelIndex>(), model.index(0, 0));
        QCOMPARE(changed[0][1].value<QModelIndex>(),
                 model.index(2, SatelliteTableModel::ColumnCount - 1));
        QVERIFY(changed[0][2].value<QVector<int>>().isEmpty());
    }

    void matchesIndependentReference_data() {
        QTest::addColumn<int>("satnum");
        QTest::addColumn<QString>("utc");
        QTest::addColumn<Site>("site");
        QTest::addColumn<LiveRow>("reference");
        QFile file(ORBITRAK_TEST_DATA "/sky/active-reference.csv");
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 1 + 375); // the header, then the cases
        for (const QByteArray& line : lines.mid(1)) {
            const QList<QByteArray> r = line.split(',');
            QTest::addRow("%s@%s", r[0].constData(), r[1].constData())
                << r[0].toInt() << QString::fromLatin1(r[1])
                << Site::fromDegrees(r[2].toDouble(), r[3].toDouble(), r[4].toDouble())
                << LiveRow{r[7].toDouble(), r[6].toDouble(), r[5].toDouble(), r[8].toDouble()};
        }
    }

    void matchesIndependentReference() {
        QFETCH(int, satnum);
        QFETCH(QString, utc);
        QFETCH(Site, site);
        QFETCH(LiveRow, reference);
        const auto found = bySatnum.find(satnum);
        QVERIFY2(found != bySatnum.end(), "satellite missing from the catalogue");
        Catalogue one;
        one.satellites.push_back(found->second);
        const double jd = scales.workingJdFromUtcCalendar(*parseCalendar(utc.toStdString()));
        const LiveRow row =
            SkyComputation(scales).compute(one, jd, site, SkyComputation::Wait::ForEverySet)[0];
        const QByteArray values =
            QString::asprintf("altitude %.9f, azimuth %.9f, distance %.6f, speed %.9g",
                              row.altitudeDeg, row.azimuthDeg, row.distanceKm, row.speedDegPerSec)
                .toLatin1();
        // Either instant may be truncated to the millisecond below.
        const double angle = 1e-4 + reference.speedDegPerSec * 0.001;
        QVERIFY2(std::abs(row.altitudeDeg - reference.altitudeDeg) <= angle, values);
        QVERIFY2(std::abs(std::remainder(row.azimuthDeg - reference.azimuthDeg, 360.0)) <= angle,
                 values);
        QVERIFY2(row.azimuthDeg >= 0.0 && row.azimuthDeg < 360.0, values);
        QVERIFY2(std::abs(row.distanceKm - reference.distanceKm) <= 0.001 + 0.01, values);
        QVERIFY2(std::abs(row.speedDegPerSec - reference.speedDegPerSec) <=
                     1e-6 + 0.0011 * reference.speedDegPerSec,
                 values);
    }

    // The live table of the real catalogue at one instant, every cell of every row as the window
    // shows it, against each set computed alone by the scalar propagator: near-Earth sets (which
    // a tick propagates in a batch), deep-space sets, and sets whose elements give no position.
    void tableShowsEverySetAsComputedAlone() {
        Catalogue catalogue = activeCatalogue();
        QVERIFY(writeBytes("invalid.txt", kInvalidSets));
        Catalogue invalid;
        QCOMPARE(readCatalogueFile("invalid.txt", 0, invalid), 0);
        catalogue.satellites.insert(catalogue.satellites.end(), invalid.satellites.begin(),
                                    invalid.satellites.end());
        LiveTable table;
        const Site site = Site::fromDegrees(47.4, 8.5, 500.0);
        const double jd = table.scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, 12));
        const ObservationInstant before = observationInstant(table.scales, jd - 1.0 / 86400, site);
        const ObservationInstant now = observationInstant(table.scales, jd, site);
        const Vec3 sun = sunPosition(jd + kWorkingToTtDays);
        struct Expected {
            double values[SatelliteTableModel::ColumnCount]; // by column; the name's unused
            QString sunlit;
            bool invalid;
        };
        std::vector<Expected> expected;
        int batched = 0;
        for (const CatalogueEntry& satellite : catalogue.satellites) {
            CatalogueEntry alone = satellite;
            const Vec3 a = topocentricEnu(alone, before), b = topocentricEnu(alone, now);
            const Vec3 position{alone.position[0], alone.position[1], alone.position[2]};
            const HorizonDirection direction = horizonDirection(b);
            const bool none = std::isnan(length(position));
            expected.push_back({{0.0, direction.altitudeDeg, direction.azimuthDeg,
                                 length(b) / 1000.0, angleBetween(a, b) * kDegreesPerRadian,
                                 now.utcJd - satellite.elements.jdsatepoch},
                                none                      ? QString()
                                : isSunlit(position, sun) ? "yes"
                                                          : "no",
                                none});
            batched += SkyComputation::batches(satellite.elements);
        }
        QVERIFY(batched > 10000 && catalogue.size() - std::size_t(batched) > 500);

        table.session.setSite(site);
        table.session.setCatalogue(catalogue);
        // A tick hands long integrations to its pool: ticks at the instant until every row that
        // has a position shows it.
        const auto placed = [&] {
            table.session.moveTo(jd);
            for (std::size_t i = 0; i < expected.size(); ++i)
                if (std::isnan(table.session.rows()[i].altitudeDeg) && !expected[i].invalid)
                    return false;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(placed(), 60000);

        const SatelliteTableModel& model = table.model;
        QCOMPARE(model.rowCount(), int(catalogue.size()));
        const QColor amber(230, 140, 0), red(204, 0, 0);
        const int decimals[] = {0, 1, 1, 0, 2, 1};
        int stale = 0, old = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            const Expected& e = expected[std::size_t(row)];
            const CatalogueEntry& satellite = catalogue[std::size_t(row)];
            const auto cell = [&](int column, int role = Qt::DisplayRole) {
                return model.index(row, column).data(role);
            };
            const QByteArray where = QByteArray(satellite.displayName) + ", column ";
            QCOMPARE(cell(SatelliteTableModel::Name).toString(),
                     QString::fromLatin1(satellite.displayName));
            const double altitude = e.values[SatelliteTableModel::Altitude];
            const QColor rowColour = altitude > 20.0  ? QColor(0, 204, 0)
                                     : altitude > 0.0 ? QColor(0, 0, 0)
                                                      : QColor(153, 0, 0);
            for (int column = SatelliteTableModel::Altitude; column <= SatelliteTableModel::Age;
                 ++column) {
                const double want = e.values[column];
                const double got = cell(column, SatelliteTableModel::SortRole).toDouble();
                const QString text = cell(column).toString();
                const QByteArray message =
                    where + QByteArray::number(column) + ": " + text.toLatin1();
                const double error = column == SatelliteTableModel::Azimuth
                                         ? std::remainder(got - want, 360.0)
                                         : got - want;
                if (std::isnan(want))
                    QVERIFY2(std::isnan(got) && text.isEmpty(), message);
                else
                    QVERIFY2(std::abs(error) <= 1e-6 &&
                                 text == QString::number(got, 'f', decimals[column]),
                             message);
                const QColor colour = cell(column, Qt::ForegroundRole).value<QBrush>().color();
                const bool ageColour = column == SatelliteTableModel::Age && want > 3.0;
                QVERIFY2(colour == (!ageColour ? rowColour : want > 10.0 ? red : amber), message);
            }
            QCOMPARE(cell(SatelliteTableModel::Sunlit).toString(), e.sunlit);
            QCOMPARE(cell(SatelliteTableModel::Sunlit, Qt::ToolTipRole).toString(),
                     e.invalid ? QStringLiteral("Decayed or invalid elements.") : QString());
            stale += e.values[SatelliteTableModel::Age] > 3.0;
            old += e.values[SatelliteTableModel::Age] > 10.0;
        }
        QVERIFY(stale > old && old > 0);
        for (std::size_t k = 1; k <= invalid.size(); ++k)
            QVERIFY(expected[expected.size() - k].invalid);
    }

    // A low orbit and resonant sets near their epoch are computed at once, every call; resonant
    // sets 69 years from theirs go to the pool with NaN rows, and come back with the very bits
    // a computation that waits for every set gives.
    void farEpochSetsArePreparedInTheBackground() {
        // 2026-03-19 18:00, half-way between two resonance steps of the far sets.
        double jd = 2461119.25;
        const std::size_t ordinary = 3, distant = 8;
        const std::string text =
            group(kIssName).toStdString() +
            hostile::text(hostile::resonantSets(ordinary - 1, jd - 2.0)) +
            hostile::text(hostile::resonantSets(distant, hostile::earliestEpoch()));
        QVERIFY(writeBytes("resonant.txt", QByteArray::fromStdString(text)));
        Catalogue fresh;
        QCOMPARE(readCatalogueFile("resonant.txt", 0, fresh), 0);
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
            QVERIFY2(sameBits(rows[i], last[i]), catalogue[i].nameLine.c_str());

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
        jd = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19, 11, 59, 58));
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

    // At solstices and equinoxes: the Sun and the Moon stand at the zenith of their sub-points,
    // and every point of each line of equal altitude (the terminator, the ends of the three
    // twilights) sees the Sun at that altitude, through the site's reduction on the model's axes.
    void dayAndNight_data() {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("hour");
        QTest::newRow("March equinox") << 3 << 0;
        QTest::newRow("June solstice") << 6 << 9;
        QTest::newRow("September equinox") << 9 << 17;
        QTest::newRow("December solstice") << 12 << 22;
    }

    void dayAndNight() {
        QFETCH(int, month);
        QFETCH(int, hour);
        const double jd =
            scales.workingJdFromUtcCalendar(makeCalendar(2026, month, 21, hour, 7, 0));
        const DayNight sky = dayNightAt(scales, jd);
        const double tt = jd + kWorkingToTtDays;
        const auto altitudeAt = [&](const Vec3& body, const GroundPoint& p) {
            const Site site = Site::fromDegrees(p.latitudeDeg, p.longitudeDeg, 0.0);
            return altitudeDegrees(body, observationInstant(scales, jd, site).frame);
        };
        QVERIFY(std::fabs(altitudeAt(sunPosition(tt), sky.sun) - 90.0) < 0.01);
        QVERIFY(std::fabs(altitudeAt(moonPosition(tt), sky.moon) - 90.0) < 0.01);
        QVERIFY(std::fabs(sky.sun.latitudeDeg) < 23.5);
        for (double altitude :
             {0.0, kCivilTwilightDeg, kNauticalTwilightDeg, kAstronomicalTwilightDeg}) {
            const std::vector<GroundPoint> line = sunAltitudeLine(sky.sunDirection, altitude, 36);
            QCOMPARE(line.size(), std::size_t(37));
            for (const GroundPoint& p : line) {
                QVERIFY2(std::fabs(altitudeAt(sunPosition(tt), p) - altitude) < 0.01,
                         qPrintable(QString::number(altitude)));
                QVERIFY(std::fabs(sunAltitudeDeg(sky.sunDirection, p.latitudeDeg, p.longitudeDeg) -
                                  altitude) < 1e-9);
            }
        }
    }

    // Each point of the circle sees the satellite at the threshold, as the table reduces it.
    void visibilityCircle_data() {
        QTest::addColumn<QByteArray>("line1");
        QTest::addColumn<QByteArray>("line2");
        QTest::addColumn<double>("elevation");
        QTest::newRow("ISS, horizon") << kIssLine1 << kIssLine2 << 0.0;
        QTest::newRow("ISS, 30 deg") << kIssLine1 << kIssLine2 << 30.0;
        QTest::newRow("Calsphere, 10 deg") << kCalsphereLine1 << kCalsphereLine2 << 10.0;
    }

    void visibilityCircle() {
        QFETCH(QByteArray, line1);
        QFETCH(QByteArray, line2);
        QFETCH(double, elevation);
        Catalogue one;
        readCatalogueText((kIssName + line1 + line2).toStdString(), 0, one);
        QCOMPARE(one.size(), std::size_t(1));
        CatalogueEntry& satellite = one[0];
        const double jd = satellite.elements.jdsatepoch + 0.3;
        GroundPoint below;
        QVERIFY(subSatellitePoint(satellite, scales, jd, below));
        const Vec3 model{satellite.position[0], satellite.position[1], satellite.position[2]};
        const std::vector<GroundPoint> circle =
            ::visibilityCircle(earthFixedFromModel(model, scales, jd), elevation, 24);
        QCOMPARE(circle.size(), std::size_t(25));
        for (const GroundPoint& p : circle) {
            const Site site = Site::fromDegrees(p.latitudeDeg, p.longitudeDeg, 0.0);
            const Vec3 seen = topocentricEnu(satellite, observationInstant(scales, jd, site));
            QVERIFY(std::fabs(horizonDirection(seen).altitudeDeg - elevation) < 1e-4);
        }
        QVERIFY(::visibilityCircle({1e6, 0.0, 0.0}, 0.0, 24).empty()); // inside the Earth
        // The map's closed-form sub-point agrees with the iterated one, low and high.
        for (double scale : {1.0, 6.2})
            for (const Vec3& r : {model, Vec3{model.z, model.x, -model.y}}) {
                const Vec3 far{r.x * scale, r.y * scale, r.z * scale};
                const GroundPoint exact = geodeticFromEarthFixed(far), quick = quickGeodetic(far);
                QVERIFY(std::fabs(exact.latitudeDeg - quick.latitudeDeg) < 1e-6);
                QCOMPARE(quick.longitudeDeg, exact.longitudeDeg);
            }
        QVERIFY(::visibilityCircle(model, 90.0, 24).empty());
    }
};

QTEST_MAIN(TestSky)
#include "tst_sky.moc"
