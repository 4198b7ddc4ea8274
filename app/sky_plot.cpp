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

    painter.setPen(textPen(*this));
    const double labelDistance = radius + fontMetrics().height() * 0.9;
    const char* const directions[] = {QT_TR_NOOP("N"), QT_TR_NOOP("E"), QT_TR_NOOP("S"),
                                      QT_TR_NOOP("W")};
    for (int k = 0; k < 4; ++k) {
        const double a = k * 90.0 * kRadiansPerDegree;
        const QPointF at(centre.x() + labelDistance * std::sin(a),
                         centre.y() - labelDistance * std::cos(a));
        drawCentred(painter, at, tr(directions[k]));
    }

    if (hasPass && !track.empty()) {
        QPainterPath path(toPlot(track.front().azimuthDeg, track.front().altitudeDeg));
        for (const PassPoint& p : track)
            path.lineTo(toPlot(p.azimuthDeg, p.altitudeDeg));
        painter.setPen(QPen(kBlue, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);

        const auto mark = [&painter, this](const PassPoint& p, const QColor& colour,
                                           const QString& label) {
            drawMark(painter, toPlot(p.azimuthDeg, p.altitudeDeg), colour, label);
        };
        const PassPoint& first = pass.hasRise ? pass.rise : track.front();
        const PassPoint& last = pass.hasSet ? pass.set : track.back();
        mark(first, kGreen, pass.hasRise ? tr("Rise") : QString());
        mark(last, kRed, pass.hasSet ? tr("Set") : QString());
        mark(pass.culmination, kBlue,
             QString::number(pass.culmination.altitudeDeg, 'f', 1) + QChar(0x00B0));
    }

    if (hasTransit) {
        // Half a degree is a pixel or two here: the disc is drawn large enough to be seen.
        const QPointF at = toPlot(transit.bodyAzimuthDeg, transit.bodyAltitudeDeg);
        const double r =
            std::max(kMinimumDiscPixels, radius * transit.bodyRadiusArcsec / 3600.0 / 90.0);
        const bool sun = transit.body == TransitBody::Sun;
        painter.setPen(QPen(palette().color(QPalette::Text), 1.0));
        painter.setBrush(sun ? kSun : kMoon);
        painter.drawEllipse(at, r, r);
        painter.drawText(at + QPointF(r + 3, r + fontMetrics().ascent()),
                         sun ? tr("Sun") : tr("Moon"));
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
}
