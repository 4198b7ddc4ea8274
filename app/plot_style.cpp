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

void drawMark(QPainter& painter, const QPointF& at, const QColor& colour, const QString& label) {
    painter.setPen(QPen(colour, 1.5));
    painter.setBrush(colour);
    painter.drawEllipse(at, 4.0, 4.0);
    painter.drawText(at + QPointF(6, -4), label);
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
