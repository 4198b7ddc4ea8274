#pragma once

#include "app/numeric_sort_proxy_model.h"
#include "app/planned_table_model.h"
#include "planning/planned.h"

#include <limits>
#include <memory>
#include <optional>
#include <vector>

// The coming passes of the catalogue, one row per pass.
class PassesModel : public PlannedTableModel {
    Q_OBJECT

public:
    enum Column {
        Name = 0,
        Rise,
        Culmination,
        MaxAltitude,
        Set,
        Sunlit,
        Visible,
        Magnitude,
        ColumnCount
    };
    enum PassRole {
        VisibleRole = Qt::UserRole + 2,
        MagnitudeRole = Qt::UserRole + 3, // the magnitude, or an invalid QVariant
    };

    // Times in UTC as the scales give them.
    explicit PassesModel(const TimeScales& scales, QObject* parent = nullptr);

    void setPasses(std::vector<PlannedPass> passes);
    // The passes of `store` at `rows`, shared: a search's passes are shown without a copy.
    void setPasses(std::shared_ptr<const std::vector<PlannedPass>> store,
                   std::vector<std::size_t> rows);
    // Removes the passes that have set before the working date jd.
    void dropEndedBefore(double jd);

    const PlannedPass& pass(int row) const { return at(std::size_t(row)); }
    // What a row sorts by in a column other than Name (SortRole's number, without a QVariant:
    // a week's search sorts a million rows).
    double sortKey(int row, int column) const;
    // The row of the satellite's first pass, or -1.
    int nextPassOf(std::size_t satellite) const;
    // The row of the satellite's pass that culminates within a minute of jd, or -1.
    int passOf(std::size_t satellite, double culminationJd) const;

protected:
    std::size_t rows() const override { return shown.size(); }
    std::size_t satelliteOf(std::size_t row) const override { return at(row).satellite; }
    QVariant cell(std::size_t row, int column, int role) const override;

private:
    const PlannedPass& at(std::size_t row) const { return (*store)[shown[row]]; }

    std::shared_ptr<const std::vector<PlannedPass>> store;
    std::vector<std::size_t> shown; // rows of the store
    // sortKey's numbers by column, each taken at its first use after a change: a sort compares
    // rows at random, and a million passes spread far wider than the caches of the processor.
    mutable std::vector<double> keys[ColumnCount];
    double keyOf(std::size_t row, int column) const;
    // The earliest set among the rows (working date; kNever without one).
    static constexpr double kNever = std::numeric_limits<double>::infinity();
    static constexpr std::size_t kMostRemovals = 16; // separate runs of rows; more: a reset
    double firstEnd = kNever;
    void findFirstEnd();
    // Keeps the rows `wanted` takes, in their order, their sort keys with them.
    template <typename Keep> void keep(Keep wanted);
};

// Sorts the pass table like the live table and can hide every pass that is not visible or not
// bright enough.
class PassesProxyModel : public NumericSortProxyModel {
    Q_OBJECT

public:
    explicit PassesProxyModel(QObject* parent = nullptr);
    void setVisibleOnly(bool visibleOnly);
    // Hides every pass fainter than the magnitude, and those of no known magnitude; none: off.
    void setBrighterThan(std::optional<double> magnitude);
    void setSourceModel(QAbstractItemModel* model) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    bool visibleOnly = false;
    std::optional<double> brighterThan;
    const PassesModel* passes = nullptr; // the source, when it is a pass table
};
