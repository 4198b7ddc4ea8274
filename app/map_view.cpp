#include "app/map_view.h"

#include "app/plot_style.h"
#include "astro/angles.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kKmPerDegree = 111.32; // along the equator
constexpr double kLeastSpanKm = 10.0;
constexpr int kShadingWidth = 720; // half a degree a pixel, smoothed when drawn
constexpr double kPickPixels = 6.0;
constexpr double kReshadeDeg = 0.05; // the Sun moves this far in 12 s
const QColor kOcean(214, 228, 240);
const QColor kCoastline(70, 90, 70);
const QColor kBorder(150, 150, 150);
const QColor kNight(0, 10, 50);
const QColor kSite(0, 150, 0);
const QColor kMount(200, 0, 0);

QPointF pointOf(const QMouseEvent* event) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event->position();
#else
    return event->localPos();
#endif
}

QPointF lonLat(const GroundPoint& p) {
    return {p.longitudeDeg, p.latitudeDeg};
}

} // namespace

MapView::MapView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMouseTracking(false);
    QString problem;
    std::optional<WorldOutline> builtIn = WorldOutline::readBuiltIn(&problem);
    setOutline(std::move(builtIn), problem);
}

void MapView::setOutline(std::optional<WorldOutline> lines, const QString& problem) {
    outline = std::move(lines);
    outlineProblem = problem;
    background = QImage();
    update();
}

void MapView::setDayNight(const DayNight& now) {
    sky = now;
    hasSky = true;
    terminator.clear();
    for (const GroundPoint& p : sunAltitudeLine(sky.sunDirection, 0.0, 180))
        terminator << lonLat(p);
    if (shading.isNull() ||
        angleBetween(shadedSun, sky.sunDirection) * kDegreesPerRadian > kReshadeDeg)
        shade();
    update();
}

void MapView::setSites(std::optional<QPointF> observing, std::optional<QPointF> mount) {
    observingSite = observing;
    mountSite = mount;
    update();
}

void MapView::setSatellites(std::vector<MapDot> shown) {
    dots = std::move(shown);
    update();
}

void MapView::setNames(std::function<QString(int)> names) {
    nameOf = std::move(names);
}

void MapView::setSelection(int index, const QVector<QPointF>& groundTrack,
                           const QVector<QPointF>& visibility) {
    selected = index;
    track = groundTrack;
    circle = visibility;
    update();
}

void MapView::setTransit(const QVector<QPointF>& line, const QVector<QPointF>& path) {
    centreLine = line;
    pathOutline = path;
    update();
}

void MapView::clearTransit() {
    setTransit({}, {});
}

QSize MapView::sizeHint() const {
    return {720, 380};
}

QSize MapView::minimumSizeHint() const {
    return {240, 130};
}

int MapView::twilightBand(double altitude) {
    if (altitude >= 0.0)
        return 0;
    if (altitude >= kCivilTwilightDeg)
        return 1;
    if (altitude >= kNauticalTwilightDeg)
        return 2;
    return altitude >= kAstronomicalTwilightDeg ? 3 : 4;
}

// Row by row the Sun's altitude needs only the sine of the latitude and, across, the longitude's
// sine and cosine: no trigonometry per pixel.
void MapView::shade() {
    shadedSun = sky.sunDirection;
    shading = QImage(kShadingWidth, kShadingWidth / 2, QImage::Format_ARGB32_Premultiplied);
    const double step = 360.0 / kShadingWidth;
    std::vector<double> cosLon(kShadingWidth), sinLon(kShadingWidth);
    for (int x = 0; x < kShadingWidth; ++x) {
        const double lon = (-180.0 + (x + 0.5) * step) * kRadiansPerDegree;
        cosLon[std::size_t(x)] = std::cos(lon);
        sinLon[std::size_t(x)] = std::sin(lon);
    }
    const int alpha[] = {0, 50, 90, 125, 155};
    QRgb colours[5];
    for (int band = 0; band < 5; ++band) {
        QColor c = kNight;
        c.setAlpha(alpha[band]);
        colours[band] = qPremultiply(c.rgba());
    }
    const Vec3& s = sky.sunDirection;
    for (int y = 0; y < shading.height(); ++y) {
        const double lat = (90.0 - (y + 0.5) * step) * kRadiansPerDegree;
        const double c = std::cos(lat), z = std::sin(lat) * s.z;
        auto* row = reinterpret_cast<QRgb*>(shading.scanLine(y));
        for (int x = 0; x < kShadingWidth; ++x) {
            const double sine =
                c * (cosLon[std::size_t(x)] * s.x + sinLon[std::size_t(x)] * s.y) + z;
            row[x] =
                colours[twilightBand(std::asin(std::clamp(sine, -1.0, 1.0)) * kDegreesPerRadian)];
        }
    }
    background = QImage();
}

double MapView::fitScale() const {
    return std::max(1e-3, std::min(width() / 360.0, height() / 180.0));
}

double MapView::maxScale() const {
    return std::max(fitScale(), width() * kKmPerDegree / kLeastSpanKm);
}

double MapView::pixelsPerDegree() const {
    return scale > 0.0 ? scale : fitScale();
}

void MapView::setView(double longitude, double latitude, double wanted) {
    const double fit = fitScale();
    const double s = std::clamp(std::isfinite(wanted) ? wanted : fit, fit, maxScale());
    scale = s <= fit * (1.0 + 1e-9) ? 0.0 : s;
    const double halfWidth = width() / 2.0 / s, halfHeight = height() / 2.0 / s;
    centreLongitude = halfWidth >= 180.0 || !std::isfinite(longitude)
                          ? 0.0
                          : std::clamp(longitude, -180.0 + halfWidth, 180.0 - halfWidth);
    centreLatitude = halfHeight >= 90.0 || !std::isfinite(latitude)
                         ? 0.0
                         : std::clamp(latitude, -90.0 + halfHeight, 90.0 - halfHeight);
    update();
}

void MapView::showWholeEarth() {
    setView(0.0, 0.0, 0.0);
}

void MapView::showAround(const QPointF& lonLat, double degreesAcross) {
    if (!(degreesAcross > 0.0))
        return;
    setView(lonLat.x(), lonLat.y(), std::clamp(width() / degreesAcross, fitScale(), maxScale()));
}

QRectF MapView::visibleArea() const {
    const double s = pixelsPerDegree();
    const double halfWidth = width() / 2.0 / s, halfHeight = height() / 2.0 / s;
    return QRectF(centreLongitude - halfWidth, centreLatitude - halfHeight, 2 * halfWidth,
                  2 * halfHeight)
        .intersected(QRectF(-180.0, -90.0, 360.0, 180.0));
}

QPointF MapView::toWidget(const QPointF& p) const {
    const double s = pixelsPerDegree();
    return {width() / 2.0 + (p.x() - centreLongitude) * s,
            height() / 2.0 - (p.y() - centreLatitude) * s};
}

QPointF MapView::toLonLat(const QPointF& w) const {
    const double s = pixelsPerDegree();
    return {centreLongitude + (w.x() - width() / 2.0) / s,
            centreLatitude - (w.y() - height() / 2.0) / s};
}

QRectF MapView::worldRect() const {
    return QRectF(toWidget({-180.0, 90.0}), toWidget({180.0, -90.0}));
}

int MapView::dotAt(const QPointF& at) const {
    int found = -1;
    double best = kPickPixels * kPickPixels;
    for (const MapDot& dot : dots) {
        const QPointF d = toWidget({dot.longitudeDeg, dot.latitudeDeg}) - at;
        const double squared = QPointF::dotProduct(d, d);
        if (squared <= best) {
            best = squared;
            found = dot.index;
        }
    }
    return found;
}

std::vector<QPolygonF> MapView::wrappedPieces(const QVector<QPointF>& line) {
    std::vector<QPolygonF> pieces;
    if (line.isEmpty())
        return pieces;
    QPolygonF continuous;
    continuous.reserve(line.size());
    double shift = 0.0, west = 1e9, east = -1e9;
    for (int i = 0; i < line.size(); ++i) {
        if (!std::isfinite(line[i].x()) || !std::isfinite(line[i].y()))
            continue;
        if (!continuous.isEmpty()) {
            const double step = line[i].x() + shift - continuous.back().x();
            shift -= 360.0 * std::round(step / 360.0);
        }
        continuous << QPointF(line[i].x() + shift, line[i].y());
        west = std::min(west, continuous.back().x());
        east = std::max(east, continuous.back().x());
    }
    if (continuous.isEmpty())
        return pieces;
    for (int turn = int(std::floor((-180.0 - east) / 360.0));
         turn <= int(std::ceil((180.0 - west) / 360.0)); ++turn)
        if (west + 360.0 * turn <= 180.0 && east + 360.0 * turn >= -180.0)
            pieces.push_back(continuous.translated(360.0 * turn, 0.0));
    return pieces;
}

void MapView::drawLine(QPainter& painter, const QVector<QPointF>& line, const QPen& pen,
                       const QBrush& fill) {
    painter.setPen(pen);
    painter.setBrush(fill);
    for (const QPolygonF& piece : wrappedPieces(line)) {
        QPolygonF shown;
        shown.reserve(piece.size());
        for (const QPointF& p : piece)
            shown << toWidget(p);
        if (fill.style() == Qt::NoBrush)
            painter.drawPolyline(shown);
        else
            painter.drawPolygon(shown);
    }
}

// What changes only with the view or the shading: drawn once into an image and reused.
void MapView::drawBackground(QPainter& painter) {
    const QRectF area = visibleArea();
    const QRectF world = worldRect();
    painter.fillRect(rect(), palette().window());
    painter.fillRect(world, kOcean);
    if (!shading.isNull()) {
        const double k = shading.width() / 360.0;
        const QRectF source((area.left() + 180.0) * k, (90.0 - area.bottom()) * k, area.width() * k,
                            area.height() * k);
        const QRectF target(toWidget({area.left(), area.bottom()}),
                            toWidget({area.right(), area.top()}));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, shading, source);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(plot_style::gridPen(*this));
    for (int lon = -150; lon < 180; lon += 30)
        painter.drawLine(toWidget({double(lon), area.top()}),
                         toWidget({double(lon), area.bottom()}));
    for (int lat = -60; lat < 90; lat += 30)
        painter.drawLine(toWidget({area.left(), double(lat)}),
                         toWidget({area.right(), double(lat)}));
    if (!outline)
        return;
    const double s = pixelsPerDegree();
    painter.save();
    painter.setClipRect(world);
    painter.setTransform(QTransform(s, 0.0, 0.0, -s, width() / 2.0 - centreLongitude * s,
                                    height() / 2.0 + centreLatitude * s));
    QPen coast(kCoastline, 1.0), border(kBorder, 1.0);
    coast.setCosmetic(true);
    border.setCosmetic(true);
    for (const WorldOutline::Line& line : outline->lines) {
        const QRectF& b = line.bounds;
        if (b.right() < area.left() || b.left() > area.right() || b.bottom() < area.top() ||
            b.top() > area.bottom())
            continue;
        painter.setPen(line.kind == WorldOutline::Kind::Border ? border : coast);
        painter.drawPolyline(line.points);
    }
    painter.restore();
}

void MapView::paintEvent(QPaintEvent*) {
    using namespace plot_style;
    const QRectF area = visibleArea();
    const qreal ratio = devicePixelRatioF();
    if (background.size() != size() * ratio || backgroundFor != area) {
        background = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        background.setDevicePixelRatio(ratio);
        QPainter layer(&background);
        drawBackground(layer);
        backgroundFor = area;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, background);
    painter.setClipRect(worldRect());
    painter.setRenderHint(QPainter::Antialiasing);

    drawLine(painter, terminator, QPen(kNight, 1.0));
    drawLine(painter, pathOutline, QPen(kMagenta, 1.0), QColor(200, 0, 160, 50));
    drawLine(painter, centreLine, QPen(kMagenta, 2.0));
    drawLine(painter, circle, QPen(kBlue, 1.5, Qt::DashLine));
    drawLine(painter, track, QPen(kBlue, 1.5));

    // Thousands of dots: squares without antialiasing, one call.
    QPolygonF shown;
    shown.reserve(int(dots.size()));
    const QRectF inside = QRectF(rect()).adjusted(-2, -2, 2, 2);
    QPointF selectedAt(-1e9, -1e9);
    for (const MapDot& dot : dots) {
        const QPointF at = toWidget({dot.longitudeDeg, dot.latitudeDeg});
        if (inside.contains(at))
            shown << at;
        if (dot.index == selected)
            selectedAt = at;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kOrange, 3.0, Qt::SolidLine, Qt::SquareCap));
    painter.drawPoints(shown);
    painter.setRenderHint(QPainter::Antialiasing);
    if (inside.contains(selectedAt)) {
        painter.setPen(QPen(kBlue, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(selectedAt, 6.0, 6.0);
    }

    if (hasSky) {
        for (const auto& [at, colour] :
             {std::pair{lonLat(sky.moon), kMoon}, std::pair{lonLat(sky.sun), kSun}}) {
            painter.setPen(QPen(Qt::black, 1.0));
            painter.setBrush(colour);
            painter.drawEllipse(toWidget(at), 7.0, 7.0);
        }
    }
    for (const auto& [at, colour] :
         {std::pair{observingSite, kSite}, std::pair{mountSite, kMount}}) {
        if (!at)
            continue;
        const QPointF p = toWidget(*at);
        painter.setPen(QPen(colour, 2.0));
        painter.drawLine(p - QPointF(6, 6), p + QPointF(6, 6));
        painter.drawLine(p - QPointF(6, -6), p + QPointF(6, -6));
    }
    if (!outline) {
        painter.setClipping(false);
        painter.setPen(textPen(*this));
        painter.drawText(rect().adjusted(6, 6, -6, -6),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                         tr("No coastlines: %1").arg(outlineProblem));
    }
}

void MapView::resizeEvent(QResizeEvent*) {
    setView(centreLongitude, centreLatitude, scale);
}

void MapView::wheelEvent(QWheelEvent* event) {
    const QPointF at = event->position();
    const QPointF fixed = toLonLat(at);
    const double s = std::clamp(pixelsPerDegree() * std::pow(2.0, event->angleDelta().y() / 480.0),
                                fitScale(), maxScale());
    setView(fixed.x() - (at.x() - width() / 2.0) / s, fixed.y() + (at.y() - height() / 2.0) / s, s);
    event->accept();
}

void MapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressedAt = draggedTo = pointOf(event).toPoint();
        dragging = false;
    }
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = pointOf(event).toPoint();
    dragging = dragging || (at - pressedAt).manhattanLength() >= QApplication::startDragDistance();
    if (!dragging)
        return;
    const double s = pixelsPerDegree();
    setView(centreLongitude - (at.x() - draggedTo.x()) / s,
            centreLatitude + (at.y() - draggedTo.y()) / s, scale);
    draggedTo = at;
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (!dragging) {
        const int index = dotAt(pointOf(event));
        if (index >= 0)
            emit satelliteClicked(index);
    }
    dragging = false;
}

void MapView::mouseDoubleClickEvent(QMouseEvent*) {
    showWholeEarth();
}

bool MapView::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const auto near = [&](const QPointF& lonLatPoint) {
        const QPointF d = toWidget(lonLatPoint) - QPointF(help->pos());
        return QPointF::dotProduct(d, d) <= kPickPixels * kPickPixels * 2;
    };
    QString text;
    const int index = dotAt(help->pos());
    if (index >= 0 && nameOf)
        text = nameOf(index);
    else if (hasSky && near(lonLat(sky.sun)))
        text = tr("The Sun overhead");
    else if (hasSky && near(lonLat(sky.moon)))
        text = tr("The Moon overhead");
    else if (mountSite && near(*mountSite))
        text = tr("The mount's site");
    else if (observingSite && near(*observingSite))
        text = tr("The observing site");
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}
