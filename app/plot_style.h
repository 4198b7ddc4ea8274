#pragma once

#include <QColor>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;
class QWidget;

// What the window's plots (the sky plot, the tracking chart) share: their colours, the pen of
// their grid and text, and how they place labels, so that they look alike.
namespace plot_style {

inline const QColor kBlue(0, 110, 200);    // a track, the first axis
inline const QColor kRed(180, 0, 0);       // a set, the second axis
inline const QColor kGreen(0, 160, 0);     // a rise
inline const QColor kOrange(240, 150, 0);  // the satellite now
inline const QColor kMagenta(200, 0, 160); // a path across the Sun or the Moon
inline const QColor kMask(120, 120, 120, 90);
inline const QColor kSun(250, 200, 0, 200);
inline const QColor kMoon(170, 170, 190, 200);

// Antialiased, on the palette's base colour.
void begin(QPainter& painter, const QWidget& widget);
QPen gridPen(const QWidget& widget);
QPen textPen(const QWidget& widget);
// The text centred on a point.
void drawCentred(QPainter& painter, const QPointF& at, const QString& text);
// A dot in the colour.
void drawMark(QPainter& painter, const QPointF& at, const QColor& colour);
// Where labels go so that none covers another or an obstacle (a mark): each in turn, in the
// order given, keeps its wanted place when that is free, or else moves to the nearest free
// place inside bounds, in steps of a quarter of its height up to four heights away. One that
// finds none there stays where it wanted to be.
std::vector<QRectF> placeLabels(const std::vector<QRectF>& wanted,
                                const std::vector<QRectF>& obstacles, const QRectF& bounds);
// A step for about `count` grid lines across `span`: 1, 2 or 5 times a power of ten.
double niceStep(double span, int count);

} // namespace plot_style
