#include "app/dock_placement.h"

#include <algorithm>

namespace {

bool fits(const QSize& size, const QSize& room) {
    return size.width() <= room.width() && size.height() <= room.height();
}

QSize below(const QSize& window, const QSize& dock) {
    return {std::max(window.width(), dock.width()), window.height() + dock.height()};
}

QSize beside(const QSize& window, const QSize& dock) {
    return {window.width() + dock.width(), std::max(window.height(), dock.height())};
}

} // namespace

QRect keptInside(QRect r, const QRect& room) {
    r.setSize(r.size().boundedTo(room.size()));
    r.moveRight(std::min(r.right(), room.right()));
    r.moveBottom(std::min(r.bottom(), room.bottom()));
    r.moveLeft(std::max(r.left(), room.left()));
    r.moveTop(std::max(r.top(), room.top()));
    return r;
}

DockPlacement placeDock(const QRect& current, const DockSizes& sizes, bool dockShown,
                        const QMargins& frame, const QRect& available) {
    const QRect room = available.marginsRemoved(frame);
    DockPlacement placement;
    QSize least = sizes.least;
    QSize wanted = sizes.wanted;
    if (dockShown) {
        if (fits(below(sizes.least, sizes.dockLeast), room.size())) {
            placement.spot = DockSpot::Below;
            least = below(sizes.least, sizes.dockLeast);
            wanted = below(sizes.wanted, sizes.dockWanted);
        } else if (fits(beside(sizes.least, sizes.dockLeast), room.size())) {
            placement.spot = DockSpot::Beside;
            least = beside(sizes.least, sizes.dockLeast);
            wanted = beside(sizes.wanted, sizes.dockWanted);
        } else {
            placement.spot = DockSpot::Floating;
        }
    }
    const QSize size = current.size().expandedTo(wanted).expandedTo(least).boundedTo(room.size());
    placement.window = keptInside(QRect(current.topLeft(), size), room);
    if (placement.spot == DockSpot::Floating) {
        const QSize dock = sizes.dockWanted.boundedTo(room.size());
        const QRect over(
            QPoint(placement.window.left(), placement.window.bottom() - dock.height() + 1), dock);
        placement.dock = keptInside(over, room);
    }
    return placement;
}
