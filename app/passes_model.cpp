#include "app/passes_model.h"

#include "astro/time_units.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kOneMinute = 1.0 / kMinutesPerDay;

} // namespace

PassesModel::PassesModel(const TimeScales& scales, QObject* parent)
    : PlannedTableModel(
          scales,
          {QT_TRANSLATE_NOOP("PassesModel", "Name"), QT_TRANSLATE_NOOP("PassesModel", "Rise (UTC)"),
           QT_TRANSLATE_NOOP("PassesModel", "Culmination (UTC)"),
           QT_TRANSLATE_NOOP("PassesModel", "Max alt (deg)"),
           QT_TRANSLATE_NOOP("PassesModel", "Set (UTC)"),
           QT_TRANSLATE_NOOP("PassesModel", "Sunlit"), QT_TRANSLATE_NOOP("PassesModel", "Visible"),
           QT_TRANSLATE_NOOP("PassesModel", "Mag")},
          parent) {}

QVariant PassesModel::cell(std::size_t row, int column, int role) const {
    const PlannedPass& p = at(row);
    const SatellitePass& s = p.pass;
    if (role == VisibleRole)
        return s.visible;
    if (role == MagnitudeRole)
        return p.magnitude ? QVariant(*p.magnitude) : QVariant();
    if (role != Qt::DisplayRole && role != SortRole)
        return QVariant();
    const bool sort = role == SortRole;
    const auto time = [&](bool present, double jd) {
        return present ? utcText(jd, CalendarFormat::Seconds) : QString();
    };
    if (sort && column != Name)
        return sortKey(int(row), column);
    switch (column) {
    case Name:
        return QString::fromStdString(p.name);
    case Rise: // a pass under way has no rise and comes first
        return time(s.hasRise, s.rise.jd);
    case Culmination:
        return time(true, s.culmination.jd);
    case MaxAltitude:
        return cellNumber(s.culmination.altitudeDeg, 1);
    case Set:
        return time(s.hasSet, s.set.jd);
    case Sunlit:
        return s.sunlit ? tr("yes") : tr("no");
    case Visible:
        return s.visible ? tr("yes") : tr("no");
    case Magnitude:
        return magnitudeCell(p.magnitude, role);
    }
    return QVariant();
}

void PassesModel::setPasses(std::vector<PlannedPass> newPasses) {
    std::vector<std::size_t> rows(newPasses.size());
    for (std::size_t k = 0; k < rows.size(); ++k)
        rows[k] = k;
    setPasses(std::make_shared<const std::vector<PlannedPass>>(std::move(newPasses)),
              std::move(rows));
}

void PassesModel::setPasses(std::shared_ptr<const std::vector<PlannedPass>> newStore,
                            std::vector<std::size_t> rows) {
    beginResetModel();
    store = std::move(newStore);
    shown = std::move(rows);
    for (std::vector<double>& column : keys)
        column.clear();
    findFirstEnd();
    endResetModel();
}

void PassesModel::dropEndedBefore(double jd) {
    // Called at every tick: nothing to look at before the first pass of the table sets.
    if (!(jd > firstEnd))
        return;
    const auto ended = [&](std::size_t row) {
        const SatellitePass& p = at(row).pass;
        return p.hasSet && p.endJd < jd;
    };
    std::vector<std::pair<std::size_t, std::size_t>> runs; // [first, last] of ended rows
    double nextEnd = kNever;
    for (std::size_t row = 0; row < shown.size(); ++row) {
        if (ended(row)) {
            if (!runs.empty() && runs.back().second + 1 == row)
                runs.back().second = row;
            else
                runs.push_back({row, row});
        } else if (at(row).pass.hasSet) {
            nextEnd = std::min(nextEnd, at(row).pass.endJd);
        }
    }
    if (runs.size() > kMostRemovals) {
        // Each removal costs the views a pass over every row: many at once (after the computer
        // slept, say) are one reset instead.
        beginResetModel();
        keep([&](std::size_t row) { return !ended(row); });
        endResetModel();
    } else {
        // From the last, so that the rows before keep their numbers.
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            beginRemoveRows(QModelIndex(), int(run->first), int(run->second));
            const auto first = std::ptrdiff_t(run->first), end = std::ptrdiff_t(run->second + 1);
            shown.erase(shown.begin() + first, shown.begin() + end);
            for (std::vector<double>& column : keys)
                if (!column.empty())
                    column.erase(column.begin() + first, column.begin() + end);
            endRemoveRows();
        }
    }
    firstEnd = nextEnd;
}

template <typename Keep> void PassesModel::keep(Keep wanted) {
    std::size_t to = 0;
    for (std::size_t row = 0; row < shown.size(); ++row)
        if (wanted(row)) {
            for (std::vector<double>& column : keys)
                if (!column.empty())
                    column[to] = column[row];
            shown[to++] = shown[row];
        }
    shown.resize(to);
    for (std::vector<double>& column : keys)
        if (!column.empty())
            column.resize(to);
}

void PassesModel::findFirstEnd() {
    firstEnd = kNever;
    for (std::size_t row = 0; row < shown.size(); ++row) {
        const SatellitePass& p = at(row).pass;
        if (p.hasSet && p.endJd < firstEnd)
            firstEnd = p.endJd;
    }
}

double PassesModel::sortKey(int row, int column) const {
    if (column <= Name || column >= ColumnCount)
        return 0.0;
    std::vector<double>& kept = keys[column];
    if (kept.size() != shown.size()) {
        kept.resize(shown.size());
        for (std::size_t k = 0; k < shown.size(); ++k)
            kept[k] = keyOf(k, column);
    }
    return kept[std::size_t(row)];
}

double PassesModel::keyOf(std::size_t row, int column) const {
    const PlannedPass& p = at(row);
    const SatellitePass& s = p.pass;
    switch (column) {
    case Rise:
        return s.startJd;
    case Culmination:
        return s.culmination.jd;
    case MaxAltitude:
        return s.culmination.altitudeDeg;
    case Set:
        return s.endJd;
    case Sunlit:
        return s.sunlit;
    case Visible:
        return s.visible;
    case Magnitude:
        return magnitudeCell(p.magnitude, SortRole).toDouble();
    }
    return 0.0;
}

int PassesModel::nextPassOf(std::size_t satellite) const {
    int next = -1;
    for (std::size_t row = 0; row < shown.size(); ++row)
        if (at(row).satellite == satellite &&
            (next < 0 || at(row).pass.startJd < at(std::size_t(next)).pass.startJd))
            next = int(row);
    return next;
}

int PassesModel::passOf(std::size_t satellite, double culminationJd) const {
    for (std::size_t row = 0; row < shown.size(); ++row)
        if (at(row).satellite == satellite &&
            std::fabs(at(row).pass.culmination.jd - culminationJd) < kOneMinute)
            return int(row);
    return -1;
}

PassesProxyModel::PassesProxyModel(QObject* parent) : NumericSortProxyModel(parent) {}

void PassesProxyModel::setVisibleOnly(bool only) {
    if (only == visibleOnly)
        return;
    visibleOnly = only;
    invalidateFilter();
}

void PassesProxyModel::setBrighterThan(std::optional<double> magnitude) {
    if (magnitude == brighterThan)
        return;
    brighterThan = magnitude;
    invalidateFilter();
}

bool PassesProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!visibleOnly && !brighterThan)
        return true; // a week's search: a million rows at once
    if (passes) {
        const PlannedPass& p = passes->pass(sourceRow);
        if (visibleOnly && !p.pass.visible)
            return false;
        return !brighterThan || (p.magnitude && *p.magnitude < *brighterThan);
    }
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (visibleOnly && !index.data(PassesModel::VisibleRole).toBool())
        return false;
    if (!brighterThan)
        return true;
    const QVariant magnitude = index.data(PassesModel::MagnitudeRole);
    return magnitude.isValid() && magnitude.toDouble() < *brighterThan;
}

void PassesProxyModel::setSourceModel(QAbstractItemModel* model) {
    passes = qobject_cast<const PassesModel*>(model);
    NumericSortProxyModel::setSourceModel(model);
}

bool PassesProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    if (!passes || left.column() == PassesModel::Name)
        return NumericSortProxyModel::lessThan(left, right);
    const double x = passes->sortKey(left.row(), left.column());
    const double y = passes->sortKey(right.row(), right.column());
    if (std::isnan(x)) // as NumericSortProxyModel: no number sorts first
        return !std::isnan(y);
    return !std::isnan(y) && x < y;
}
