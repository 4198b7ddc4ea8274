#include "app/tracking_chart.h"

#include "app/plot_style.h"
#include "astro/time_units.h"
#include "tracking/pass_recorder.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// Each column of pixels gets the lowest and the highest value that falls in it, so that hours
// of samples draw as fast as minutes and no peak is lost between pixels.
QPainterPath envelope(const std::vector<QPointF>& points) {
    QPainterPath path;
    bool drawing = false;
    int column = 0;
    double low = 0.0;
    double high = 0.0;
    const auto flush = [&] {
        const QPointF a(column, low);
        const QPointF b(column, high);
        if (drawing) {
            path.lineTo(a);
        } else {
            path.moveTo(a);
            drawing = true;
        }
        path.lineTo(b);
    };
    bool open = false;
    for (const QPointF& p : points) {
        if (!std::isfinite(p.y())) { // a gap: the mount did not track then
            if (open)
                flush();
            open = drawing = false;
            continue;
        }
        const int x = int(std::lround(p.x()));
        if (open && x == column) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
            continue;
        }
        if (open)
            flush();
        open = true;
        column = x;
        low = high = p.y();
    }
    if (open)
        flush();
    return path;
}

} // namespace

TrackingChart::TrackingChart(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TrackingChart::setRecorder(const PassRecorder* source) {
    if (recorder)
        disconnect(recorder, nullptr, this, nullptr);
    recorder = source;
    if (recorder)
        connect(recorder, &PassRecorder::samplesChanged, this, qOverload<>(&QWidget::update));
    update();
}

// Each axis's part of the legend, in its colour.
static QStringList legendParts(const PassRecorder& recorder) {
    const auto axis = [](const AxisErrorStatistics& s) {
        return s.count == 0
                   ? QStringLiteral("-")
                   : TrackingChart::tr("RMS %1\", peak %2\"")
                         .arg(QString::number(s.rms(), 'f', 1), QString::number(s.peak, 'f', 1));
    };
    return {TrackingChart::tr("Axis 1: %1").arg(axis(recorder.firstAxis())),
            TrackingChart::tr("Axis 2: %1").arg(axis(recorder.secondAxis()))};
}

QString TrackingChart::legend() const {
    return recorder ? legendParts(*recorder).join(QStringLiteral("    ")) : QString();
}

QSize TrackingChart::sizeHint() const {
    return {400, 6 * fontMetrics().height()};
}

QSize TrackingChart::minimumSizeHint() const {
    return {200, 5 * fontMetrics().height()};
}

void TrackingChart::paintEvent(QPaintEvent*) {
    using namespace plot_style;
    QPainter painter(this);
    begin(painter, *this);
    painter.setPen(gridPen(*this));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    if (!recorder)
        return;
    const std::vector<PassSample>& samples = recorder->samples();
    // A mount that reports absurd errors gets a scale that still has a few grid lines.
    const double peak =
        std::clamp(std::max(recorder->firstAxis().peak, recorder->secondAxis().peak), 1.0, 1e6);
    // Time counts from the first reading while tracking: the slew and the wait for the rise,
    // which may take most of an hour, would squeeze the pass into the chart's last pixels.
    const auto tracking = [](const PassSample& s) {
        return s.state == 'T';
    };
    const auto start = std::find_if(samples.begin(), samples.end(), tracking);
    const double startJd = start == samples.end() ? 0.0 : start->jd;
    const double seconds =
        start == samples.end() ? 0.0 : (samples.back().jd - startJd) * kSecondsPerDay;
    const double span = std::max(60.0, seconds);

    const double line = fontMetrics().height();
    const double yStep = niceStep(2.0 * peak, 4);
    const double yMax = std::ceil(peak / yStep) * yStep;
    const QString widest = QString::number(-yMax, 'f', yStep < 1.0 ? 1 : 0) + QLatin1Char('"');
    const QRectF plot(
        QPointF(fontMetrics().horizontalAdvance(widest) + 8.0, line + 4.0),
        QPointF(width() - fontMetrics().horizontalAdvance(tr("%1 min").arg(999)) / 2.0,
                height() - line - 4.0));
    const auto toX = [&](double s) {
        return plot.left() + plot.width() * s / span;
    };
    const auto toY = [&](double arcsec) { // NaN stays NaN: a gap
        return plot.center().y() -
               plot.height() / 2.0 * std::clamp(arcsec, -2 * yMax, 2 * yMax) / yMax;
    };

    for (double v = -yMax; v <= yMax + yStep / 2; v += yStep) {
        painter.setPen(gridPen(*this));
        painter.drawLine(QPointF(plot.left(), toY(v)), QPointF(plot.right(), toY(v)));
        painter.setPen(textPen(*this));
        const QString label = QString::number(v, 'f', yStep < 1.0 ? 1 : 0) + QLatin1Char('"');
        painter.drawText(QRectF(0, toY(v) - line / 2, plot.left() - 4, line),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }
    // Minutes once the pass is longer than ten.
    const double unit = span > 600.0 ? 60.0 : 1.0;
    const double xStep = niceStep(span / unit, 6) * unit;
    for (double s = 0.0; s <= span + xStep / 100; s += xStep) {
        painter.setPen(gridPen(*this));
        painter.drawLine(QPointF(toX(s), plot.top()), QPointF(toX(s), plot.bottom()));
        painter.setPen(textPen(*this));
        if (s > 0.0) // the origin goes without saying, and its label would meet the last one's
            drawCentred(painter, QPointF(toX(s), plot.bottom() + line / 2 + 2),
                        unit > 1.0 ? tr("%1 min").arg(s / unit, 0, 'f', 0)
                                   : tr("%1 s").arg(s, 0, 'f', 0));
    }
    const QStringList parts = legendParts(*recorder);
    painter.setPen(kBlue);
    painter.drawText(QPointF(plot.left(), fontMetrics().ascent() + 2.0), parts[0]);
    painter.setPen(kRed);
    painter.drawText(QPointF(plot.left() + fontMetrics().horizontalAdvance(parts[0] + "    "),
                             fontMetrics().ascent() + 2.0),
                     parts[1]);

    // Only the readings while the mount tracks: slewing and waiting leave gaps.
    std::vector<QPointF> firstAxis;
    std::vector<QPointF> secondAxis;
    firstAxis.reserve(samples.size());
    secondAxis.reserve(samples.size());
    for (auto s = start; s != samples.end(); ++s) {
        // A clock set back or far ahead meanwhile leaves the sample at an edge.
        const double x =
            std::clamp(toX((s->jd - startJd) * kSecondsPerDay), plot.left(), plot.right());
        firstAxis.emplace_back(x, tracking(*s) ? toY(s->firstErrorArcsec) : NAN);
        secondAxis.emplace_back(x, tracking(*s) ? toY(s->secondErrorArcsec) : NAN);
    }
    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    painter.setPen(QPen(kBlue, 1.5));
    painter.drawPath(envelope(firstAxis));
    painter.setPen(QPen(kRed, 1.5));
    painter.drawPath(envelope(secondAxis));
}
