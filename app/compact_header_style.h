#pragma once

#include <QProxyStyle>

class QHeaderView;

// Narrower columns for a table with many: a header title of several words takes two lines
// (split where the wider line is narrowest), and only the sorted column keeps room for the
// sort arrow (Qt's styles keep it in every column). Sorting by another column widens that one
// instead, as a header that resizes to its contents resizes again.
class CompactHeaderStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Applies itself to the header, which owns it; titles are no longer elided there.
    explicit CompactHeaderStyle(QHeaderView* header);

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

private:
    QHeaderView* header;
};
