// The map without the window: its built-in outline and the refusal of damaged ones, zooming and
// panning within the Earth, lines across the antimeridian, the day and night shading, and a
// click on a dot.
#include "app/map_view.h"
#include "astro/time_scales.h"
#include "sky/day_night.h"

#include <QFile>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <functional>

namespace {

QByteArray builtInBytes() {
    QFile file(QStringLiteral(":/map/world_outline.bin"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool inside(const QRectF& inner, const QRectF& outer) {
    const double e = 1e-9;
    return inner.left() >= outer.left() - e && inner.right() <= outer.right() + e &&
           inner.top() >= outer.top() - e && inner.bottom() <= outer.bottom() + e;
}

const QRectF kEarth(-180.0, -90.0, 360.0, 180.0);

} // namespace

using Damage = std::function<void(QByteArray&)>;
Q_DECLARE_METATYPE(Damage)

class TestMapView : public QObject {
    Q_OBJECT

private slots:
    void builtInOutline() {
        QString problem;
        const std::optional<WorldOutline> outline = WorldOutline::readBuiltIn(&problem);
        QVERIFY2(outline, qPrintable(problem));
        int borders = 0, points = 0;
        for (const WorldOutline::Line& line : outline->lines) {
            borders += line.kind == WorldOutline::Kind::Border;
            points += line.points.size();
            QVERIFY(inside(line.bounds, kEarth));
        }
        QVERIFY(outline->lines.size() > 1000 && borders > 100 && points > 50000);
        QVERIFY(builtInBytes().size() <= 2 << 20);
    }

    void damagedOutlineIsRefused_data() {
        QTest::addColumn<Damage>("damage");
        const auto at = [](int offset, quint32 value, int bytes) {
            return Damage([=](QByteArray& b) {
                for (int i = 0; i < bytes; ++i)
                    b[offset + i] = char(value >> (8 * i));
            });
        };
        QTest::newRow("empty") << Damage([](QByteArray& b) { b.clear(); });
        QTest::newRow("truncated header") << Damage([](QByteArray& b) { b.truncate(10); });
        QTest::newRow("truncated in a line") << Damage([](QByteArray& b) { b.chop(3); });
        QTest::newRow("truncated at half")
            << Damage([](QByteArray& b) { b.truncate(b.size() / 2); });
        QTest::newRow("a byte after") << Damage([](QByteArray& b) { b.append('\0'); });
        QTest::newRow("magic") << at(0, 'X', 1);
        QTest::newRow("version") << at(4, 2, 2);
        QTest::newRow("no units") << at(6, 0, 2);
        QTest::newRow("too many lines") << at(8, 0xffffffffu, 4);
        QTest::newRow("kind") << at(12, 7, 1);
        QTest::newRow("one point") << at(13, 1, 4);
        QTest::newRow("points beyond the bytes") << at(13, 0x40000000u, 4);
        QTest::newRow("off the Earth") << at(17, 32767, 2);
        QTest::newRow("too large")
            << Damage([](QByteArray& b) { b.append(QByteArray(WorldOutline::kMaxBytes, '\0')); });
    }

    void damagedOutlineIsRefused() {
        QFETCH(Damage, damage);
        QByteArray bytes = builtInBytes();
        QVERIFY(WorldOutline::read(bytes, nullptr));
        damage(bytes);
        QString problem;
        QVERIFY(!WorldOutline::read(bytes, &problem));
        QVERIFY(!problem.isEmpty());
        MapView map; // shown without coastlines, and says why
        map.resize(400, 200);
        map.setOutline(std::nullopt, problem);
        QVERIFY(!map.grab().isNull());
    }

    // The wheel at a corner, drags far beyond the edges: the view stays on the Earth, no
    // closer than about 10 km across, and the point under the cursor stays there.
    void zoomAndPanStayOnTheEarth() {
        MapView map;
        map.resize(720, 360);
        map.showWholeEarth();
        QCOMPARE(map.visibleArea(), kEarth);
        const QPointF cursor(600.0, 90.0);
        const QPointF under = map.toLonLat(cursor);
        const auto wheel = [&](int delta) {
            QWheelEvent event(cursor, map.mapToGlobal(cursor.toPoint()), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&map, &event);
        };
        wheel(120);
        QVERIFY(map.visibleArea().width() < 360.0);
        const QPointF d = map.toLonLat(cursor) - under;
        QVERIFY(std::hypot(d.x(), d.y()) < 1e-6);
        for (int i = 0; i < 200; ++i)
            wheel(120);
        const QRectF closest = map.visibleArea();
        QVERIFY(inside(closest, kEarth));
        QVERIFY(closest.width() * 111.32 > 9.99 && closest.width() * 111.32 < 10.01);
        for (const QPoint& drag : {QPoint(700, 350), QPoint(-700, -350)}) {
            wheel(-2000);
            QTest::mousePress(&map, Qt::LeftButton, Qt::NoModifier, QPoint(360, 180));
            for (int step = 1; step <= 10; ++step)
                QTest::mouseMove(&map, QPoint(360, 180) + drag * step / 10);
            QTest::mouseRelease(&map, Qt::LeftButton, Qt::NoModifier, QPoint(360, 180) + drag);
            QVERIFY(inside(map.visibleArea(), kEarth));
            QVERIFY(map.visibleArea().width() < 359.0);
        }
        for (int i = 0; i < 50; ++i)
            wheel(-120);
        QCOMPARE(map.visibleArea(), kEarth);
        wheel(600);
        QTest::mouseDClick(&map, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QCOMPARE(map.visibleArea(), kEarth);
    }

    void antimeridian_data() {
        QTest::addColumn<QVector<QPointF>>("line");
        QTest::addColumn<int>("pieces");
        QTest::newRow("none") << QVector<QPointF>() << 0;
        QTest::newRow("within") << QVector<QPointF>{{10, 0}, {20, 5}, {30, 0}} << 1;
        QTest::newRow("across eastwards") << QVector<QPointF>{{170, 0}, {179, 1}, {-179, 2}} << 2;
        QTest::newRow("across westwards") << QVector<QPointF>{{-175, 0}, {175, -1}} << 2;
        QVector<QPointF> orbits; // a ground track of two turns, eastwards
        for (int i = 0; i <= 720; i += 10)
            orbits << QPointF(std::remainder(i - 100.0, 360.0), 50.0 * std::sin(i / 57.3));
        QTest::newRow("two turns") << orbits << 3;
    }

    void antimeridian() {
        QFETCH(QVector<QPointF>, line);
        QFETCH(int, pieces);
        const std::vector<QPolygonF> drawn = MapView::wrappedPieces(line);
        QCOMPARE(int(drawn.size()), pieces);
        for (const QPolygonF& piece : drawn) {
            QCOMPARE(piece.size(), line.size());
            QVERIFY(piece.boundingRect().intersects(kEarth.adjusted(0, -1, 0, 1)));
            for (int i = 0; i < piece.size(); ++i) {
                QVERIFY(std::fabs(std::remainder(piece[i].x() - line[i].x(), 360.0)) < 1e-9);
                QCOMPARE(piece[i].y(), line[i].y());
                if (i > 0)
                    QVERIFY(std::fabs(piece[i].x() - piece[i - 1].x()) < 180.0);
            }
        }
        // Every point shows where it is in one of the pieces.
        for (const QPointF& p : line)
            QVERIFY(std::any_of(drawn.begin(), drawn.end(),
                                [&](const QPolygonF& piece) { return piece.contains(p); }));
    }

    void twilightBands_data() {
        QTest::addColumn<double>("altitude");
        QTest::addColumn<int>("band");
        for (const auto& [altitude, band] : {std::pair{10.0, 0},
                                             {0.0, 0},
                                             {-0.01, 1},
                                             {-6.0, 1},
                                             {-6.01, 2},
                                             {-12.0, 2},
                                             {-12.01, 3},
                                             {-18.0, 3},
                                             {-18.01, 4},
                                             {-80.0, 4}})
            QTest::addRow("%g", altitude) << altitude << band;
    }

    void twilightBands() {
        QFETCH(double, altitude);
        QFETCH(int, band);
        QCOMPARE(MapView::twilightBand(altitude), band);
    }

    // The day side is lighter than the night side; a transit's line and path are drawn across
    // the antimeridian; a click on a dot names its satellite, a click beside none names none.
    void shadingAndClicks() {
        const TimeScales scales;
        MapView map;
        map.resize(720, 360);
        // A fixed instant, the Sun over Africa: with the Sun near the antimeridian the probe
        // beside its mark would fall off the map.
        const DayNight sky = dayNightAt(scales, 2461120.0);
        map.setDayNight(sky);
        map.setSites(QPointF(10, 45), QPointF(11, 46));
        map.setSatellites({{7, 100.0f, 20.0f}, {3, -40.0f, -30.0f}});
        map.setTransit({{170, 10}, {-170, 12}}, {{170, 9}, {-170, 11}, {-170, 13}, {170, 11}});
        const QImage image = map.grab().toImage();
        const QPointF sun(sky.sun.longitudeDeg, sky.sun.latitudeDeg);
        const QPointF night(std::remainder(sun.x() + 180.0, 360.0), -sun.y());
        const auto lightness = [&](const QPointF& at) {
            return image.pixelColor(map.toWidget(at + QPointF(9, 0)).toPoint()).lightness();
        };
        QVERIFY(lightness(sun) > lightness(night) + 50);
        // The transit's line reaches the antimeridian from both sides and crosses nothing else.
        const auto magenta = [&](const QPointF& at) {
            const QColor c = image.pixelColor(map.toWidget(at).toPoint());
            return c.red() > c.green() + 60 && c.blue() > c.green() + 60;
        };
        QVERIFY(magenta({175.0, 10.5}) && magenta({-175.0, 11.5}));
        QVERIFY(!magenta({0.0, 11.0}) && !magenta({90.0, 10.8}));

        QSignalSpy clicked(&map, &MapView::satelliteClicked);
        QTest::mouseClick(&map, Qt::LeftButton, Qt::NoModifier,
                          map.toWidget({-40.0, -30.0}).toPoint() + QPoint(2, 1));
        QTest::mouseClick(&map, Qt::LeftButton, Qt::NoModifier, map.toWidget({0, 0}).toPoint());
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 3);
    }
};

QTEST_MAIN(TestMapView)
#include "tst_map_view.moc"
