#pragma once

#include <QObject>

class QTableView;

// Stretches one column of a table, as QHeaderView::Stretch does, over the width the other
// columns leave, but never below the width of a name of kNameCharacters characters: a narrow
// table scrolls sideways rather than cut the names. The user cannot drag the column, as with
// Stretch.
class StretchedColumn : public QObject {
    Q_OBJECT

public:
    static constexpr int kNameCharacters = 40;

    // The view owns it.
    StretchedColumn(QTableView* view, int column);

    // The width of a name of that many characters in the view's font, the cell's margins
    // included. Names are mostly capitals and digits with a few spaces and brackets ("IRIDIUM 73
    // [+]", "STARLINK-1234"): their average width, not the widest letter's, is taken per
    // character.
    static int nameWidth(const QTableView* view, int characters = kNameCharacters);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();

    QTableView* view;
    int column;
};
