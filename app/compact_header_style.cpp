#include "app/compact_header_style.h"

#include <QHeaderView>
#include <QStyleOptionHeader>

#include <algorithm>

namespace {

// The title on two lines, broken at the blank that leaves the wider line narrowest.
QString twoLines(const QString& title, const QFontMetrics& metrics) {
    int best = -1;
    int bestWidth = metrics.horizontalAdvance(title);
    for (int blank = title.indexOf(QLatin1Char(' ')); blank > 0;
         blank = title.indexOf(QLatin1Char(' '), blank + 1)) {
        const int width = std::max(metrics.horizontalAdvance(title.left(blank)),
                                   metrics.horizontalAdvance(title.mid(blank + 1)));
        if (width < bestWidth) {
            best = blank;
            bestWidth = width;
        }
    }
    if (best < 0)
        return title;
    QString lines = title;
    lines[best] = QLatin1Char('\n');
    return lines;
}

} // namespace

CompactHeaderStyle::CompactHeaderStyle(QHeaderView* header) : header(header) {
    setParent(header);
    header->setTextElideMode(Qt::ElideNone);
    header->setStyle(this);
}

QSize CompactHeaderStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                           const QSize& size, const QWidget* widget) const {
    const auto* given = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (type != CT_HeaderSection || !given || widget != header)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    QStyleOptionHeader compact = *given;
    compact.text = twoLines(given->text, given->fontMetrics);
    if (given->section != header->sortIndicatorSection())
        compact.sortIndicator = QStyleOptionHeader::None;
    return QProxyStyle::sizeFromContents(type, &compact, size, widget);
}

void CompactHeaderStyle::drawControl(ControlElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
    const auto* given = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (element != CE_HeaderLabel || !given || widget != header) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QStyleOptionHeader compact = *given;
    compact.text = twoLines(given->text, given->fontMetrics);
    QProxyStyle::drawControl(element, &compact, painter, widget);
}
