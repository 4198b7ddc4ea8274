#include "app/log_view_follower.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

LogViewFollower::LogViewFollower(QTableView* view) : QObject(view) {
    // The sideways scroll bar too: a long line may bring it.
    view->setMinimumHeight(2 * view->frameWidth() + view->horizontalHeader()->sizeHint().height() +
                           kMinRows * view->verticalHeader()->defaultSectionSize() +
                           view->horizontalScrollBar()->sizeHint().height());
    QScrollBar* bar = view->verticalScrollBar();
    // A new range (rows added, the view resized) leaves the value where it was: the bottom
    // moves away from a view that followed it.
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (following)
            bar->setValue(maximum);
    });
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { following = value == bar->maximum(); });
    // The view lays new rows out later; scrolling now does it at once.
    connect(view->model(), &QAbstractItemModel::rowsInserted, this, [this, view] {
        if (following)
            view->scrollToBottom();
    });
}
