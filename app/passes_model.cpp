#include "app/passes_model.h"

#include "astro/time_units.h"

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
    switch (column) {
    case Name:
        return QString::fromStdString(p.name);
    case Rise: // a pass under way has no rise and comes first
        return sort ? QVariant(s.startJd) : QVariant(time(s.hasRise, s.rise.jd));
    case Culmination:
        return sort ? QVariant(s.culmination.jd) : QVariant(time(true, s.culmination.jd));
    case MaxAltitude:
        return sort ? QVariant(s.culmination.altitudeDeg)
                    : QVariant(cellNumber(s.culmination.altitudeDeg, 1));
    case Set:
        return sort ? QVariant(s.endJd) : QVariant(time(s.hasSet, s.set.jd));
    case Sunlit:
        return sort ? QVariant(int(s.sunlit)) : QVariant(s.sunlit ? tr("yes") : tr("no"));
    case Visible:
        return sort ? QVariant(int(s.visible)) : QVariant(s.visible ? tr("yes") : tr("no"));
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
    endResetModel();
}

void PassesModel::dropEndedBefore(double jd) {
    for (int row = int(shown.size()) - 1; row >= 0; --row) {
        const SatellitePass& p = at(std::size_t(row)).pass;
        if (p.hasSet && p.endJd < jd) {
            beginRemoveRows(QModelIndex(), row, row);
            shown.erase(shown.begin() + row);
            endRemoveRows();
        }
    }
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
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (visibleOnly && !index.data(PassesModel::VisibleRole).toBool())
        return false;
    if (!brighterThan)
        return true;
    const QVariant magnitude = index.data(PassesModel::MagnitudeRole);
    return magnitude.isValid() && magnitude.toDouble() < *brighterThan;
}
