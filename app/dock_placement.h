#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

// Where the planner's dock goes and where the window and the dock stand, from sizes alone.
// All sizes and rectangles are client ones: the frame is left out.
enum class DockSpot { Hidden, Below, Beside, Floating };

struct DockSizes {
    QSize least;      // the window without the dock, its contents whole at their least
    QSize wanted;     // the window without the dock at the size it would like
    QSize dockLeast;  // the dock docked, its separator included
    QSize dockWanted; // the same at the dock's preferred size
};

struct DockPlacement {
    DockSpot spot = DockSpot::Hidden;
    QRect window;
    QRect dock; // the floating dock; empty for the others
};

// The dock goes below the window's contents where both fit the screen at their least, else
// beside them, else it floats over the lower part of the window, no larger than the screen.
// The window grows towards what it wants, never shrinks unless it is larger than the screen,
// and never leaves it: on a screen smaller than its least, its contents scroll.
// current: the window now; frame: the window's (a floating dock's is taken to be the same);
// available: the screen's available area.
DockPlacement placeDock(const QRect& current, const DockSizes& sizes, bool dockShown,
                        const QMargins& frame, const QRect& available);

// r moved, as little as can be, into room; as large as room at most.
QRect keptInside(QRect r, const QRect& room);
