#include "app/plot_style.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace plot_style {

void begin(QPainter& painter, const QWidget& widget) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(widget.rect(), widget.palette().base());
}

QPen gridPen(const QWidget& widget) {
    return QPen(widget.palette().color(QPalette::Mid), 1.0);
}

QPen textPen(const QWidget& widget) {
    return QPen(widget.palette().color(QPalette::Text));
}

void drawCentred(QPainter& painter, const QPointF& at, const QString& text) {
    const double width = painter.fontMetrics().horizontalAdvance(text) + 4.0;
    const double height = painter.fontMetrics().height();
    painter.drawText(QRectF(at.x() - width / 2, at.y() - height / 2, width, height),
                     Qt::AlignCenter, text);
}

void drawMark(QPainter& painter, const QPointF& at, const QColor& colour) {
    painter.setPen(QPen(colour, 1.5));
    painter.setBrush(colour);
    painter.drawEllipse(at, 4.0, 4.0);
}

std::vector<QRectF> placeLabels(const std::vector<QRectF>& wanted,
                                const std::vector<QRectF>& obstacles, const QRectF& bounds) {
    std::vector<QRectF> taken = obstacles;
    std::vector<QRectF> placed;
    placed.reserve(wanted.size());
    const auto fits = [&](const QRectF& r) {
        return bounds.contains(r) &&
               std::none_of(taken.begin(), taken.end(),
                            [&r](const QRectF& t) { return t.intersects(r); });
    };
    constexpr int kRings = 16;
    for (const QRectF& label : wanted) {
        const double step = std::max(1.0, label.height() / 4.0);
        QRectF chosen = label;
        for (int ring = 0; ring <= kRings; ++ring) {
            // The places this many steps away, nearest first.
            std::vector<QPointF> moves;
            for (int i = -ring; i <= ring; ++i)
                for (int j = -ring; j <= ring; ++j)
                    if (std::max(std::abs(i), std::abs(j)) == ring)
                        moves.emplace_back(i * step, j * step);
            std::stable_sort(moves.begin(), moves.end(), [](const QPointF& a, const QPointF& b) {
                return QPointF::dotProduct(a, a) < QPointF::dotProduct(b, b);
            });
            const auto free = std::find_if(moves.begin(), moves.end(), [&](const QPointF& move) {
                return fits(label.translated(move));
            });
            if (free != moves.end()) {
                chosen = label.translated(*free);
                break;
            }
        }
        placed.push_back(chosen);
        taken.push_back(chosen);
    }
    return placed;
}

double niceStep(double span, int count) {
    const double raw = span / std::max(1, count);
    if (!(raw > 0.0) || !std::isfinite(raw))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0})
        if (raw <= factor * power)
            return factor * power;
    return 10.0 * power;
}

} // namespace plot_style
