#pragma once

#include <QSize>

// Where a dock below the main table goes and how large the window becomes, from sizes alone
// (client sizes: the window's frame is left out of all of them).
struct DockPlacement {
    bool below = true; // false: beside the table
    QSize windowSize;
};

// current: the window now; least: the least size the window takes with the dock (the table
// kept at its least height); wanted: the size that gives the dock its preferred size; room: the
// screen's available area less the window's frame. The dock stays below when the least size
// fits the room's height; beside, the caller asks again with the sizes the window has then. The
// window grows towards wanted as far as the room allows; it shrinks only where it is larger than
// the room, never below least (the layout would force that anyway).
DockPlacement placeDock(const QSize& current, const QSize& least, const QSize& wanted,
                        const QSize& room);
