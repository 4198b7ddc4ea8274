#include "app/passes_model.h"

#include "astro/time_units.h"

#include <cmath>

namespace {

constexpr double kOneMinute = 1.0 / kMinutesPerDay;

} // namespace

PassesModel::PassesModel(QObject* parent) : QAbstractTableModel(parent) {}

int PassesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(passes.size());
}

int PassesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PassesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || std::size_t(index.row()) >= passes.size())
        return QVariant();
    const PlannedPass& p = passes[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return p.name;
        case Rise:
            return p.rise;
        case Culmination:
            return p.culmination;
        case MaxAltitude:
            return cellNumber(p.pass.culmination.altitudeDeg, 1);
        case Set:
            return p.set;
        case Sunlit:
            return p.pass.sunlit ? tr("yes") : tr("no");
        case Visible:
            return p.pass.visible ? tr("yes") : tr("no");
        case Magnitude:
            return p.magnitude ? cellNumber(*p.magnitude, 1) : QString();
        }
        return QVariant();
    case SortRole:
        switch (index.column()) {
        case Name:
            return p.name;
        case Rise:
            return p.pass.startJd; // a pass under way has no rise and comes first
        case Culmination:
            return p.pass.culmination.jd;
        case MaxAltitude:
            return p.pass.culmination.altitudeDeg;
        case Set:
            return p.pass.endJd;
        case Sunlit:
            return int(p.pass.sunlit);
        case Visible:
            return int(p.pass.visible);
        case Magnitude: // the unknown last
            return p.magnitude ? *p.magnitude : 1e9;
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Name ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                      : int(Qt::AlignCenter);
    case SatelliteRole:
        return qulonglong(p.satellite);
    case VisibleRole:
        return p.pass.visible;
    case MagnitudeRole:
        return p.magnitude ? QVariant(*p.magnitude) : QVariant();
    default:
        return QVariant();
    }
}

QVariant PassesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[ColumnCount] = {
        QT_TR_NOOP("Name"),          QT_TR_NOOP("Rise (UTC)"), QT_TR_NOOP("Culmination (UTC)"),
        QT_TR_NOOP("Max alt (deg)"), QT_TR_NOOP("Set (UTC)"),  QT_TR_NOOP("Sunlit"),
        QT_TR_NOOP("Visible"),       QT_TR_NOOP("Mag")};
    if (section < 0 || section >= ColumnCount)
        return QVariant();
    return tr(titles[section]);
}

void PassesModel::setPasses(std::vector<PlannedPass> newPasses) {
    beginResetModel();
    passes = std::move(newPasses);
    endResetModel();
}

void PassesModel::dropEndedBefore(double jd) {
    for (int row = int(passes.size()) - 1; row >= 0; --row) {
        const SatellitePass& p = passes[std::size_t(row)].pass;
        if (p.hasSet && p.endJd < jd) {
            beginRemoveRows(QModelIndex(), row, row);
            passes.erase(passes.begin() + row);
            endRemoveRows();
        }
    }
}

int PassesModel::nextPassOf(std::size_t satellite) const {
    int next = -1;
    for (std::size_t row = 0; row < passes.size(); ++row)
        if (passes[row].satellite == satellite &&
            (next < 0 || passes[row].pass.startJd < passes[std::size_t(next)].pass.startJd))
            next = int(row);
    return next;
}

int PassesModel::passOf(std::size_t satellite, double culminationJd) const {
    for (std::size_t row = 0; row < passes.size(); ++row)
        if (passes[row].satellite == satellite &&
            std::fabs(passes[row].pass.culmination.jd - culminationJd) < kOneMinute)
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
