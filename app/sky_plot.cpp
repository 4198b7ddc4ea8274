#include "app/sky_plot.h"

#include "app/plot_style.h"
#include "astro/angles.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMinimumDiscPixels = 5.0;

} // namespace

SkyPlot::SkyPlot(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void SkyPlot::setPass(const SatellitePass& shown, std::vector<PassPoint> points) {
    hasPass = true;
    pass = shown;
    track = std::move(points);
    update();
}

void SkyPlot::clearPass() {
    hasPass = false;
    track.clear();
    update();
}

void SkyPlot::setPosition(double azimuth, double altitude) {
    const bool shown = std::isfinite(azimuth) && std::isfinite(altitude) && altitude >= 0;
    if (shown == hasPosition && azimuth == azimuthDeg && altitude == altitudeDeg)
        return;
    hasPosition = shown;
    azimuthDeg = azimuth;
    altitudeDeg = altitude;
    update();
}

void SkyPlot::clearPosition() {
    setPosition(0.0, -90.0);
}

void SkyPlot::setHorizon(const HorizonMask& mask) {
    horizon = mask;
    update();
}

void SkyPlot::setTransit(const Transit& shown, std::vector<PassPoint> path) {
    hasTransit = true;
    transit = shown;
    transitPath = std::move(path);
    update();
}

void SkyPlot::clearTransit() {
    hasTransit = false;
    transitPath.clear();
    update();
}

QSize SkyPlot::sizeHint() const {
    return {280, 280};
}

QSize SkyPlot::minimumSizeHint() const {
    return {160, 160};
}

// Distance from the centre grows with the zenith distance; below the horizon stays on it.
QPointF SkyPlot::toPlot(double azimuth, double altitude) const {
    const double margin = 2.0 * fontMetrics().height();
    const double radius = std::max(1.0, std::min(width(), height()) / 2.0 - margin);
    const double d = radius * (90.0 - std::clamp(altitude, 0.0, 90.0)) / 90.0;
    const double a = azimuth * kRadiansPerDegree;
    return {width() / 2.0 + d * std::sin(a), height() / 2.0 - d * std::cos(a)};
}

void SkyPlot::paintEvent(QPaintEvent*) {
    using namespace plot_style;
    QPainter painter(this);
    begin(painter, *this);

    const QPointF centre = toPlot(0.0, 90.0);
    const double radius = centre.y() - toPlot(0.0, 0.0).y();
    painter.setPen(gridPen(*this));
    for (int altitude = 0; altitude < 90; altitude += 30) {
        const double r = radius * (90 - altitude) / 90.0;
        painter.drawEllipse(centre, r, r);
    }
    painter.drawLine(toPlot(0, 0), toPlot(180, 0));
    painter.drawLine(toPlot(90, 0), toPlot(270, 0));

    if (!horizon.isFlat()) {
        // Between the horizon circle and the mask's line, a degree of azimuth at a time.
        QPainterPath hidden;
        hidden.addEllipse(centre, radius, radius);
        QPolygonF line;
        for (int azimuth = 0; azimuth < 360; ++azimuth)
            line << toPlot(azimuth, horizon.altitudeAt(azimuth));
        hidden.addPolygon(line);
        hidden.closeSubpath();
        hidden.setFillRule(Qt::OddEvenFill);
        painter.fillPath(hidden, kMask);
    }

    if (hasPass && !track.empty()) {
        QPainterPath path(toPlot(track.front().azimuthDeg, track.front().altitudeDeg));
        for (const PassPoint& p : track)
            path.lineTo(toPlot(p.azimuthDeg, p.altitudeDeg));
        painter.setPen(QPen(kBlue, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        for (const Mark& m : marks())
            drawMark(painter, m.at, m.colour);
    }

    if (hasTransit) {
        // Half a degree is a pixel or two here: the disc is drawn large enough to be seen.
        const QPointF at = toPlot(transit.bodyAzimuthDeg, transit.bodyAltitudeDeg);
        const double r = std::max(kMinimumDiscPixels,
                                  radius * transit.bodyRadiusArcsec / kArcsecondsPerDegree / 90.0);
        const bool sun = transit.body == TransitBody::Sun;
        painter.setPen(QPen(palette().color(QPalette::Text), 1.0));
        painter.setBrush(sun ? kSun : kMoon);
        painter.drawEllipse(at, r, r);
        if (!transitPath.empty()) {
            QPainterPath path(
                toPlot(transitPath.front().azimuthDeg, transitPath.front().altitudeDeg));
            for (const PassPoint& p : transitPath)
                path.lineTo(toPlot(p.azimuthDeg, p.altitudeDeg));
            painter.setPen(QPen(kMagenta, 2.0));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(path);
        }
    }

    if (hasPosition) {
        const QPointF at = toPlot(azimuthDeg, altitudeDeg);
        painter.setPen(QPen(palette().color(QPalette::Text), 1.5));
        painter.setBrush(kOrange);
        painter.drawEllipse(at, 6.0, 6.0);
    }

    for (const Label& label : labels()) {
        painter.setPen(label.colour.isValid() ? QPen(label.colour) : textPen(*this));
        painter.drawText(label.rect, Qt::AlignCenter, label.text);
    }
}

std::vector<SkyPlot::Mark> SkyPlot::marks() const {
    if (!hasPass || track.empty())
        return {};
    using namespace plot_style;
    const auto at = [this](const PassPoint& p) {
        return toPlot(p.azimuthDeg, p.altitudeDeg);
    };
    return {{at(pass.hasRise ? pass.rise : track.front()), kGreen,
             pass.hasRise ? tr("Rise") : QString()},
            {at(pass.hasSet ? pass.set : track.back()), kRed, pass.hasSet ? tr("Set") : QString()},
            {at(pass.culmination), kBlue,
             QString::number(pass.culmination.altitudeDeg, 'f', 1) + QChar(0x00B0)}};
}

std::vector<SkyPlot::Label> SkyPlot::labels() const {
    const QFontMetricsF metrics(font());
    std::vector<Label> shown;
    std::vector<QRectF> wanted;
    const auto centredOn = [&](const QPointF& at, const QString& text) {
        const double width = metrics.horizontalAdvance(text) + 4.0;
        return QRectF(at.x() - width / 2, at.y() - metrics.height() / 2, width, metrics.height());
    };
    const QPointF centre = toPlot(0.0, 90.0);
    const double labelDistance = centre.y() - toPlot(0.0, 0.0).y() + metrics.height() * 0.9;
    const char* const directions[] = {QT_TR_NOOP("N"), QT_TR_NOOP("E"), QT_TR_NOOP("S"),
                                      QT_TR_NOOP("W")};
    for (int k = 0; k < 4; ++k) {
        const double a = k * 90.0 * kRadiansPerDegree;
        shown.push_back({tr(directions[k]), {}, {}});
        wanted.push_back(centredOn(centre + labelDistance * QPointF(std::sin(a), -std::cos(a)),
                                   shown.back().text));
    }
    // Up and to the right of its mark, clear of the dot.
    std::vector<QRectF> dots;
    for (const Mark& m : marks()) {
        dots.emplace_back(m.at - QPointF(5, 5), QSizeF(10, 10));
        if (m.label.isEmpty())
            continue;
        shown.push_back({m.label, {}, m.colour});
        wanted.emplace_back(m.at.x() + 6, m.at.y() - 4 - metrics.ascent(),
                            metrics.horizontalAdvance(m.label) + 2.0, metrics.height());
    }
    if (hasTransit) {
        const QPointF at = toPlot(transit.bodyAzimuthDeg, transit.bodyAltitudeDeg);
        const double r = std::max(kMinimumDiscPixels, (centre.y() - toPlot(0.0, 0.0).y()) *
                                                          transit.bodyRadiusArcsec /
                                                          kArcsecondsPerDegree / 90.0);
        dots.emplace_back(at - QPointF(r, r), QSizeF(2 * r, 2 * r));
        shown.push_back({transit.body == TransitBody::Sun ? tr("Sun") : tr("Moon"), {}, {}});
        wanted.emplace_back(at.x() + r + 3, at.y() + r,
                            metrics.horizontalAdvance(shown.back().text) + 2.0, metrics.height());
    }
    const std::vector<QRectF> placed = plot_style::placeLabels(wanted, dots, rect());
    for (std::size_t i = 0; i < shown.size(); ++i)
        shown[i].rect = placed[i];
    return shown;
}
