#include "app/dock_placement.h"

#include <algorithm>

namespace {

int grown(int current, int least, int wanted, int room) {
    return std::max(least, std::min(std::max(current, wanted), room));
}

} // namespace

DockPlacement placeDock(const QSize& current, const QSize& least, const QSize& wanted,
                        const QSize& room) {
    return {least.height() <= room.height(),
            QSize(grown(current.width(), least.width(), wanted.width(), room.width()),
                  grown(current.height(), least.height(), wanted.height(), room.height()))};
}
