#pragma once

#include "astro/horizon_mask.h"
#include "planning/passes.h"
#include "planning/transits.h"

#include <QWidget>

#include <vector>

// The sky of the site as a polar plot seen from above: the horizon is the outer circle, the
// zenith the centre, rings every 30 deg of altitude, north up and east to the right. It shows
// one pass as a track with its rise, culmination and set, where the satellite is now, and
// shades what the site's horizon mask hides. For a transit it adds the Sun's or the Moon's disc,
// enlarged to stay visible, and the satellite's path across it.
class SkyPlot : public QWidget {
    Q_OBJECT

public:
    explicit SkyPlot(QWidget* parent = nullptr);

    // The track from the first to the last instant; no track when empty.
    void setPass(const SatellitePass& pass, std::vector<PassPoint> track);
    void clearPass();
    // The satellite's place now; drawn while it stands above the horizon.
    void setPosition(double azimuthDeg, double altitudeDeg);
    void clearPosition();
    void setHorizon(const HorizonMask& horizon);
    // The body's disc where the transit sees it and the satellite's path around it.
    void setTransit(const Transit& transit, std::vector<PassPoint> path);
    void clearTransit();

    // A text the plot writes, and where: N, E, S and W, then Rise, Set and the culmination's
    // altitude, then the Sun or the Moon. None covers another or a mark: one that would moves.
    struct Label {
        QString text;
        QRectF rect;
        QColor colour; // invalid: the text's colour
    };
    std::vector<Label> labels() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The pass's rise, set and culmination, in that order, each with its label (none for a rise
    // or a set beyond the track).
    struct Mark {
        QPointF at;
        QColor colour;
        QString label;
    };
    std::vector<Mark> marks() const;
    QPointF toPlot(double azimuthDeg, double altitudeDeg) const;

    bool hasPass = false;
    SatellitePass pass;
    std::vector<PassPoint> track;
    HorizonMask horizon;
    bool hasTransit = false;
    Transit transit;
    std::vector<PassPoint> transitPath;
    bool hasPosition = false;
    double azimuthDeg = 0.0;
    double altitudeDeg = 0.0;
};
