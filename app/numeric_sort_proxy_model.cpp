#include "app/numeric_sort_proxy_model.h"

#include <QSignalBlocker>

#include <cmath>

QString cellNumber(double value, int decimals) {
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QString();
}

NumericSortProxyModel::NumericSortProxyModel(QObject* parent) : QSortFilterProxyModel(parent) {}

bool NumericSortProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QVariant a = sourceModel()->data(left, Qt::UserRole);
    const QVariant b = sourceModel()->data(right, Qt::UserRole);
    if (a.userType() == QMetaType::QString)
        return QString::localeAwareCompare(a.toString(), b.toString()) < 0;
    // A satellite without a position (NaN) sorts below every number; a plain < would make
    // the order inconsistent, which the sort must never see.
    const double x = a.toDouble();
    const double y = b.toDouble();
    if (std::isnan(x))
        return !std::isnan(y);
    return !std::isnan(y) && x < y;
}

// The removals and insertions still update the persistent indexes (the selection, the current
// row); only the views hear of them as one layout change instead.
void NumericSortProxyModel::setFilterTextAtOnce(const QString& text) {
    emit layoutAboutToBeChanged();
    {
        const QSignalBlocker quiet(this);
        setFilterFixedString(text);
    }
    emit layoutChanged();
}
