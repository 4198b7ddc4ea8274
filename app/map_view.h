#pragma once

#include "app/world_outline.h"
#include "sky/day_night.h"

#include <QImage>
#include <QPolygonF>
#include <QVector>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

// A satellite on the map: its catalogue index and sub-point (degrees).
struct MapDot {
    int index = -1;
    float longitudeDeg = 0.0f;
    float latitudeDeg = 0.0f;
};

// The whole Earth, equirectangular (longitude to the right, latitude up): coastlines and borders,
// day and night with the three twilights shaded, the Sun's and the Moon's sub-points, the
// observing site and the mount's, the satellites as dots, the selected one's ground track and
// the circle of ground that sees it above the horizon, and a transit's centre line and path.
// The wheel zooms towards the cursor down to about 10 km across, a drag pans, a double-click
// shows the whole Earth again, and a click on a dot says which satellite it is.
//
// Points are QPointF(longitude east, latitude north) in degrees. Lines may cross the
// antimeridian: they are drawn continuous across it.
class MapView : public QWidget {
    Q_OBJECT

public:
    explicit MapView(QWidget* parent = nullptr);

    void setOutline(std::optional<WorldOutline> outline, const QString& problem = QString());
    void setDayNight(const DayNight& sky);
    void setSites(std::optional<QPointF> observing, std::optional<QPointF> mount);
    void setSatellites(std::vector<MapDot> dots);
    // The name a dot's tooltip shows, by catalogue index.
    void setNames(std::function<QString(int)> nameOf);
    // index: the catalogue's, or -1 for none; track and circle may be empty.
    void setSelection(int index, const QVector<QPointF>& track, const QVector<QPointF>& circle);
    void setTransit(const QVector<QPointF>& centreLine, const QVector<QPointF>& pathOutline);
    void clearTransit();
    const QVector<QPointF>& groundTrack() const { return track; }
    const QVector<QPointF>& visibility() const { return circle; }
    const QVector<QPointF>& transitLine() const { return centreLine; }
    std::optional<QPointF> observingSitePoint() const { return observingSite; }
    std::optional<QPointF> mountSitePoint() const { return mountSite; }

    void showWholeEarth();
    // Centres the view on a point, this many degrees of longitude across (within the zoom's range).
    void showAround(const QPointF& lonLat, double degreesAcross);
    // The part of the Earth in view: x from west to east, y from south to north, degrees.
    QRectF visibleArea() const;
    QPointF toWidget(const QPointF& lonLat) const;
    QPointF toLonLat(const QPointF& widgetPoint) const;
    // The catalogue index of the dot nearest the point within a few pixels, or -1.
    int dotAt(const QPointF& widgetPoint) const;

    // A line as drawn: its longitudes made continuous (no step over 180 deg), then it and its
    // copies shifted by whole turns that reach [-180, 180].
    static std::vector<QPolygonF> wrappedPieces(const QVector<QPointF>& line);
    // 0 day, 1 civil twilight, 2 nautical, 3 astronomical, 4 night.
    static int twilightBand(double sunAltitudeDeg);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void satelliteClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    double fitScale() const;
    double pixelsPerDegree() const;
    double maxScale() const;
    void setView(double longitude, double latitude, double scale);
    QRectF worldRect() const;
    void drawBackground(QPainter& painter);
    void drawLine(QPainter& painter, const QVector<QPointF>& line, const QPen& pen,
                  const QBrush& fill = Qt::NoBrush);
    void shade();

    std::optional<WorldOutline> outline;
    QString outlineProblem;
    DayNight sky;
    bool hasSky = false;
    QVector<QPointF> terminator; // where the Sun's centre stands on the horizon
    QImage shading;              // the Earth's day and night, low resolution
    Vec3 shadedSun;              // the Sun's direction the shading is for
    QImage background;           // ocean, shading, outlines and grid for the view below
    QRectF backgroundFor;        // the visible area the background shows
    std::optional<QPointF> observingSite;
    std::optional<QPointF> mountSite;
    std::vector<MapDot> dots;
    std::function<QString(int)> nameOf;
    int selected = -1;
    QVector<QPointF> track;
    QVector<QPointF> circle;
    QVector<QPointF> centreLine;
    QVector<QPointF> pathOutline;
    double centreLongitude = 0.0;
    double centreLatitude = 0.0;
    double scale = 0.0; // pixels per degree; 0: the whole Earth, whatever the size
    QPoint pressedAt;
    QPoint draggedTo;
    bool dragging = false;
};
