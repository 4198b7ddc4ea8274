#include "app/stretched_column.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <cmath>

StretchedColumn::StretchedColumn(QTableView* view, int column)
    : QObject(view), view(view), column(column) {
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
    return QObject::eventFilter(watched, event);
}

void StretchedColumn::fit() {
    QHeaderView* header = view->horizontalHeader();
    if (column >= header->count())
        return;
    const int others = header->length() - header->sectionSize(column);
    const int width = std::max(nameWidth(view), view->viewport()->width() - others);
    if (width != header->sectionSize(column))
        header->resizeSection(column, width);
}
