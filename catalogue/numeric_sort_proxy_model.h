#pragma once

#include <QSortFilterProxyModel>

// Sorts text (the names) in the user's locale and every other column by its number, so that
// 9.5 comes before 10.0.
class NumericSortProxyModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit NumericSortProxyModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
