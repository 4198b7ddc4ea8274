#pragma once

#include <QSortFilterProxyModel>

// Sorts names as text in the user's locale and every other column by its number, so that
// 9.5 comes before 10.0.
class MySortFilterProxyModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit MySortFilterProxyModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
