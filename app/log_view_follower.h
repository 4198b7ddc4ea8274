#pragma once

#include <QObject>

class QTableView;

// Keeps a log's view on its newest row while the user has not scrolled away from it: as rows
// come and go, and as the view shrinks (the tracking chart showing above it) or grows. The view
// never gets shorter than kMinRows rows of its fixed height.
class LogViewFollower : public QObject {
    Q_OBJECT

public:
    static constexpr int kMinRows = 4;

    // The view owns it; it has its model, and its rows their height.
    explicit LogViewFollower(QTableView* view);

private:
    bool following = true;
};
