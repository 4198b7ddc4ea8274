#include "app/stretched_column.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QRegularExpression>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <algorithm>
#include <cmath>

StretchedColumn::StretchedColumn(QTableView* view, int column, int minimumCharacters)
    : QObject(view), view(view), column(column), minimumCharacters(minimumCharacters) {
    QHeaderView* header = view->horizontalHeader();
    header->setSectionResizeMode(column, QHeaderView::Fixed);
    connect(header, &QHeaderView::sectionResized, this, [this](int logical) {
        if (logical != this->column)
            fit();
    });
    connect(header, &QHeaderView::sectionCountChanged, this, &StretchedColumn::fit);
    view->viewport()->installEventFilter(this);
    fit();
}

int StretchedColumn::nameWidth(const QTableView* view, int characters) {
    static const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -()[]+");
    const double average =
        double(view->fontMetrics().horizontalAdvance(sample)) / double(sample.size());
    // The delegate's text margin on either side.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return int(std::ceil(average * characters)) + 2 * margin;
}

bool StretchedColumn::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize)
        fit();
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (showWholeName(help->pos(), help->globalPos()))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

bool StretchedColumn::showWholeName(const QPoint& at, const QPoint& globalAt) {
    const QModelIndex index = view->indexAt(at);
    if (!index.isValid() || index.column() != column || index.data(Qt::ToolTipRole).isValid())
        return false;
    if (view->sizeHintForIndex(index).width() <= view->columnWidth(column))
        return false;
    // The cells pad names to line their catalogue numbers up; alone, a name needs no padding.
    static const QRegularExpression padding(QStringLiteral(" +(?= \\(\\d+\\)$)"));
    const QString name = index.data().toString().remove(padding);
    QToolTip::showText(globalAt, name, view->viewport(), view->visualRect(index));
    return true;
}

void StretchedColumn::fit() {
    QHeaderView* header = view->horizontalHeader();
    if (column >= header->count())
        return;
    const int others = header->length() - header->sectionSize(column);
    const int width =
        std::max(nameWidth(view, minimumCharacters), view->viewport()->width() - others);
    if (width != header->sectionSize(column))
        header->resizeSection(column, width);
}
