// orbitrak-cli for maps, run as a program: track's sub-points against Skyfield's, and the
// transits' centre lines and paths in GeoJSON, KML and GPX: the same line in each, one from
// which the satellite is seen on the body's centre, and valid files whatever the names hold.
#include "astro/angles.h"
#include "astro/time_scales.h"
#include "planning/transits.h"
#include "sky/observation.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"
#include "tests/common/test_sets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

namespace {

struct LinePoint {
    double lon = 0, lat = 0;
    QString time;
};

// The two sets with transits over Munich on 2026-03-19 between 9h and 10h UTC, under the name.
QByteArray transitSets(const QByteArray& name = {}) {
    const QList<QByteArray> lines =
        readBytes(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt").split('\n');
    QByteArray sets;
    for (int i = 0; i + 2 < lines.size(); i += 3)
        if (lines[i + 1].startsWith("1 22825") || lines[i + 1].startsWith("1 49205"))
            sets += (name.isNull() ? lines[i] : name) + '\n' + lines[i + 1] + '\n' + lines[i + 2] +
                    '\n';
    return sets;
}

// The centre lines of a GeoJSON file, with each feature's kind and name; false if not valid.
bool readGeoJson(const QByteArray& bytes, QList<QList<LinePoint>>& lines, QStringList& kinds,
                 QStringList& names) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning() << error.errorString() << error.offset;
        return false;
    }
    for (const QJsonValue f : doc.object().value("features").toArray()) {
        const QJsonObject properties = f.toObject().value("properties").toObject();
        const QJsonObject geometry = f.toObject().value("geometry").toObject();
        kinds << properties.value("kind").toString();
        names << properties.value("name").toString();
        if (kinds.last() == "path") {
            const QJsonArray ring = geometry.value("coordinates").toArray().at(0).toArray();
            if (geometry.value("type") != "Polygon" || ring.size() < 4 ||
                ring.first() != ring.last())
                return false;
            continue;
        }
        const QJsonArray coordinates = geometry.value("coordinates").toArray();
        const QJsonArray times = properties.value("times_utc").toArray();
        if (geometry.value("type") != "LineString" || times.size() != coordinates.size())
            return false;
        QList<LinePoint> line;
        for (int i = 0; i < coordinates.size(); ++i)
            line.append({coordinates[i].toArray()[0].toDouble(),
                         coordinates[i].toArray()[1].toDouble(), times[i].toString()});
        lines.append(line);
    }
    return true;
}

// The centre lines of a KML file (LineStrings and their times_utc), or of a GPX file (tracks);
// false unless the XML is well formed.
bool readXmlLines(const QByteArray& bytes, QList<QList<LinePoint>>& lines, QStringList& names) {
    QXmlStreamReader xml(bytes);
    QStringList times;
    QString data;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("Data"))
            data = xml.attributes().value("name").toString();
        else if (name == QLatin1String("value") && data == "times_utc")
            times = xml.readElementText().split(' ');
        else if (name == QLatin1String("value") && data == "name")
            names << xml.readElementText();
        else if (name == QLatin1String("LineString") || name == QLatin1String("trkseg"))
            lines.append(QList<LinePoint>());
        else if (name == QLatin1String("coordinates") && !lines.isEmpty() &&
                 lines.last().isEmpty()) {
            const QStringList points = xml.readElementText().split(' ');
            for (int i = 0; i < points.size(); ++i)
                lines.last().append({points[i].section(',', 0, 0).toDouble(),
                                     points[i].section(',', 1, 1).toDouble(), times.value(i)});
        } else if (name == QLatin1String("trkpt"))
            lines.last().append({xml.attributes().value("lon").toDouble(),
                                 xml.attributes().value("lat").toDouble(), QString()});
        else if (name == QLatin1String("time") && !lines.isEmpty())
            lines.last().last().time = xml.readElementText();
        else if (name == QLatin1String("trk")) {
            xml.readNextStartElement();
            names << xml.readElementText();
        }
    }
    if (xml.hasError())
        qWarning() << xml.errorString() << xml.lineNumber();
    return !xml.hasError();
}

} // namespace

class TestCliMaps : public QObject {
    Q_OBJECT

    QTemporaryDir folder; // no time table: UT1 = UTC, as the reference takes it
    TimeScales scales;

    ProgramRun transits(const QString& form) {
        return runProgram(ORBITRAK_CLI,
                          {"transits", "--tle", "sets.txt", "--from", "2026-03-19T09:00:00Z",
                           "--hours", "1", "--lat", "48", "--lon", "11", "--elev", "500", form},
                          folder.path());
    }

private slots:
    // Skyfield's sub-points (tools/scripts/make_track_reference.py) for near-Earth and deep-space
    // sets: the same to 1e-5 degrees and a metre.
    void trackAgreesWithSkyfield() {
        const QList<QByteArray> reference =
            readBytes(ORBITRAK_TEST_DATA "/sky/ground-track-reference.csv").trimmed().split('\n');
        QCOMPARE(reference.size(), 51);
        QMap<QByteArray, QList<QByteArray>> expected; // "catalog,time" to the row
        for (const QByteArray& row : reference.mid(1))
            expected.insert(row.split(',')[0] + ',' + row.split(',')[1], row.split(','));
        int compared = 0;
        double worst = 0;
        for (const char* number : {"25544", "22825", "49205", "28474", "41866"}) {
            const ProgramRun run =
                runProgram(ORBITRAK_CLI,
                           {"track", "--tle", ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt",
                            "--catalog", number, "--from", "2026-03-19T09:00:00Z", "--minutes",
                            "90", "--step", "600", "--csv"},
                           folder.path());
            QCOMPARE(run.exitCode, 0);
            QList<QByteArray> rows = run.out.trimmed().split('\n');
            QCOMPARE(rows.takeFirst(),
                     QByteArray("catalog,name,time_utc,latitude_deg,longitude_deg,height_km"));
            QCOMPARE(rows.size(), 10);
            for (const QByteArray& row : rows) {
                const QList<QByteArray> f = row.split(',');
                const QList<QByteArray> e = expected.value(f[0] + ',' + f[f.size() - 4]);
                QVERIFY2(e.size() == 5, row.constData());
                const double dLat = f[f.size() - 3].toDouble() - e[2].toDouble();
                const double dLon =
                    std::remainder(f[f.size() - 2].toDouble() - e[3].toDouble(), 360) *
                    std::cos(e[2].toDouble() * kRadiansPerDegree);
                const double dHeight = f.last().toDouble() - e[4].toDouble();
                QVERIFY2(std::fabs(dLat) < 1e-5 && std::fabs(dLon) < 1e-5 &&
                             std::fabs(dHeight) < 0.001,
                         row.constData());
                worst = std::max({worst, std::fabs(dLat), std::fabs(dLon)});
                ++compared;
            }
        }
        QCOMPARE(compared, 50);
        qInfo("worst difference %.2g deg", worst);
    }

    // The three forms hold the same centre lines; from a point of the line, at its time, the
    // satellite stands on the body's centre.
    void threeFormsHoldTheSameCentralLine() {
        QVERIFY(writeBytes(folder.filePath("sets.txt"), transitSets()));
        QList<QList<LinePoint>> geo, kml, gpx;
        QStringList kinds, names;
        const ProgramRun json = transits("--geojson");
        QCOMPARE(json.exitCode, 0);
        QVERIFY(readGeoJson(json.out, geo, kinds, names));
        QCOMPARE(kinds, QStringList({"centre_line", "path", "centre_line", "path"}));
        QVERIFY(readXmlLines(transits("--kml").out, kml, names));
        QVERIFY(readXmlLines(transits("--gpx").out, gpx, names));
        QCOMPARE(geo.size(), 2);
        for (const auto* other : {&kml, &gpx}) {
            QCOMPARE(other->size(), 2);
            for (int l = 0; l < 2; ++l) {
                QCOMPARE((*other)[l].size(), geo[l].size());
                for (int i = 0; i < geo[l].size(); ++i)
                    QVERIFY((*other)[l][i].lon == geo[l][i].lon &&
                            (*other)[l][i].lat == geo[l][i].lat &&
                            (*other)[l][i].time == geo[l][i].time);
            }
        }
        Catalogue catalogue;
        for (std::size_t i = 0; i < activeCatalogue().size(); ++i)
            if (activeCatalogue()[i].elements.satnum == 22825)
                catalogue.satellites.push_back(activeCatalogue()[i]);
        QCOMPARE(catalogue.size(), std::size_t(1));
        for (const LinePoint& p : {geo[0].first(), geo[0][geo[0].size() / 2], geo[0].last()}) {
            const Site there = Site::fromDegrees(p.lat, p.lon, 500);
            const std::optional<CalendarTime> time = parseCalendar(p.time.toStdString());
            QVERIFY(time);
            const double jd = scales.workingJdFromUtcCalendar(*time);
            const double separation =
                angleBetween(topocentricEnu(catalogue[0], observationInstant(scales, jd, there)),
                             bodyTopocentricEnu(TransitBody::Sun, scales, jd, there)) *
                kArcsecondsPerRadian;
            QVERIFY2(separation < 5, qPrintable(QString::number(separation)));
        }
    }

    // Names with markup, quotes, control characters and bytes that are no UTF-8 still give
    // files that read, the name's text kept.
    void hostileNamesGiveValidFiles() {
        const QByteArray hostile =
            "A <a & \"b\" 'c'>\\ \x01\x1f\x7f Zo\xc3\xab \xff\xc3(\xed\xa0\x80";
        QVERIFY(writeBytes(folder.filePath("sets.txt"), transitSets(hostile)));
        QList<QList<LinePoint>> lines;
        QStringList kinds, names;
        QVERIFY(readGeoJson(transits("--geojson").out, lines, kinds, names));
        QVERIFY(readXmlLines(transits("--kml").out, lines, names));
        QVERIFY(readXmlLines(transits("--gpx").out, lines, names));
        QCOMPARE(names.size(), 4 + 4 + 2);
        for (const QString& name : names)
            QVERIFY2(name.contains(QString::fromUtf8("A <a & \"b\" 'c'>\\")) &&
                         name.contains(QString::fromUtf8("Zo\xc3\xab \xef\xbf\xbd")),
                     qPrintable(name));
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("err");
        const QString tle = ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt";
        const QStringList track{"track", "--tle", tle, "--from", "2026-03-19"};
        QTest::newRow("two forms") << QStringList{"transits", "--csv", "--gpx"}
                                   << QByteArray("transits: --csv, --geojson, --kml and --gpx "
                                                 "exclude each other");
        QTest::newRow("no step") << track + QStringList{"--minutes", "5"}
                                 << QByteArray("track: --step is required");
        QTest::newRow("step 0") << track + QStringList{"--minutes", "5", "--step", "0"}
                                << QByteArray(
                                       "track: --step needs at least 0.001 seconds, got '0'");
        QTest::newRow("too many rows")
            << track + QStringList{"--minutes", "100", "--step", "60"}
            << QByteArray("rows asked for, at most 500000: give fewer minutes, a longer step or "
                          "--catalog");
        QTest::newRow("no such satellite")
            << track + QStringList{"--minutes", "5", "--step", "60", "--catalog", "1"}
            << QByteArray("track: no satellite numbered 1 in");
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, err);
        const ProgramRun run = runProgram(ORBITRAK_CLI, args, folder.path());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(err), run.err.constData());
        QVERIFY(run.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliMaps)
#include "tst_cli_maps.moc"
