#pragma once

#include <QObject>

class QTableView;

// Stretches one column of a table, as QHeaderView::Stretch does, over the width the other
// columns leave, but never below the width of a name of `minimumCharacters` characters: a
// narrower table scrolls sideways. A name wider than its column is elided ("…") and shown whole,
// without the blanks that line up its catalogue number, in a tooltip, unless the model has a
// tooltip of its own there. The user cannot drag the
// column, as with Stretch.
class StretchedColumn : public QObject {
    Q_OBJECT

public:
    static constexpr int kNameCharacters = 40;

    // The view owns it.
    StretchedColumn(QTableView* view, int column, int minimumCharacters = kNameCharacters);

    // The width of a name of that many characters in the view's font, the cell's margins
    // included. Names are mostly capitals and digits with a few spaces and brackets ("IRIDIUM 73
    // [+]", "STARLINK-1234"): their average width, not the widest letter's, is taken per
    // character.
    static int nameWidth(const QTableView* view, int characters = kNameCharacters);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();
    // Shows the whole name under the pointer when its cell cuts it; false when it does not.
    bool showWholeName(const QPoint& at, const QPoint& globalAt);

    QTableView* view;
    int column;
    int minimumCharacters;
};
