#include "app/planner_dock.h"

#include "app/dock_placement.h"
#include "app/passes_panel.h"
#include "app/preferences_dialog.h"
#include "app/settings.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>

#include <algorithm>
#include <memory>

PlannerDock::PlannerDock(const SkySession& session, QMainWindow& window, QTableView& table,
                         QMenu& viewMenu)
    : QDockWidget(tr("Passes"), &window), window(window), table(table) {
    setObjectName(QStringLiteral("passesDock"));
    // On a small screen the panel scrolls rather than push the dock off it.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("passesScrollArea"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    passes = new PassesPanel(session, scroller);
    scroller->setWidget(passes);
    setWidget(scroller);
    window.addDockWidget(Qt::BottomDockWidgetArea, this);
    setVisible(readPassesVisible());

    QAction* showPasses = toggleViewAction();
    showPasses->setObjectName(QStringLiteral("showPassesAction"));
    viewMenu.addAction(showPasses);
    connect(showPasses, &QAction::toggled, this, [](bool shown) { writePassesVisible(shown); });
    connect(this, &QDockWidget::topLevelChanged, this, [this] { floatedByFit = false; });
    // After the dock's own handler: the dock is shown by then.
    connect(showPasses, &QAction::triggered, this, [this](bool shown) {
        if (shown)
            fit(false);
    });
}

void PlannerDock::keepShownState() {
    disconnect(toggleViewAction(), &QAction::toggled, this, nullptr);
}

void PlannerDock::loadMagnitudes() {
    const QString file = readMagnitudeFile();
    const bool had = magnitudesLoaded;
    auto magnitudes = std::make_shared<StandardMagnitudes>();
    const QString problem =
        file.isEmpty() ? QString() : PreferencesDialog::readMagnitudes(file, *magnitudes);
    if (!problem.isEmpty())
        emit logEvent(problem, LogLevel::Error);
    magnitudesLoaded = !file.isEmpty() && problem.isEmpty();
    if (magnitudesLoaded) {
        const int count = int(magnitudes->size());
        emit logEvent((count == 1 ? tr("Read %n standard magnitude from %1.", nullptr, count)
                                  : tr("Read %n standard magnitudes from %1.", nullptr, count))
                          .arg(QDir::toNativeSeparators(file)),
                      LogLevel::Info);
    }
    if (magnitudesLoaded || had)
        passes->setMagnitudes(magnitudesLoaded ? std::move(magnitudes) : nullptr);
}

namespace {

// The window's frame: before the window is first shown it is not known yet, and a title bar and
// borders are allowed for.
QMargins frameOf(const QWidget& window) {
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    if (outer != inner)
        return {inner.left() - outer.left(), inner.top() - outer.top(),
                outer.right() - inner.right(), outer.bottom() - inner.bottom()};
    const int border = window.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {border, border + window.style()->pixelMetric(QStyle::PM_TitleBarHeight), border,
            border};
}

// What scrolls in w, if it scrolls.
QWidget* contents(QWidget* w) {
    auto* area = qobject_cast<QScrollArea*>(w);
    return area && area->widget() ? area->widget() : w;
}

// The menu bar, the tool bars above and below and the status bar.
int barsHeight(const QMainWindow& window) {
    int height = window.menuWidget() && !window.menuWidget()->isHidden()
                     ? window.menuWidget()->sizeHint().height()
                     : 0;
    for (QToolBar* bar : window.findChildren<QToolBar*>(QString(), Qt::FindDirectChildrenOnly))
        if (!bar->isHidden() && !bar->isFloating() &&
            (window.toolBarArea(bar) & (Qt::TopToolBarArea | Qt::BottomToolBarArea)))
            height += bar->sizeHint().height();
    const auto* status = window.findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    return height + (status && !status->isHidden() ? status->sizeHint().height() : 0);
}

} // namespace

void PlannerDock::fit(bool firstStart) {
    constexpr int kTableRows = 8;
    // Room for the sideways scroll bar too: it comes and goes with the columns' widths.
    table.setMinimumHeight(2 * table.frameWidth() + table.horizontalHeader()->sizeHint().height() +
                           kTableRows * table.verticalHeader()->defaultSectionSize() +
                           table.horizontalScrollBar()->sizeHint().height());
    const QRect available = fixedArea.isEmpty() ? window.screen()->availableGeometry() : fixedArea;
    const QMargins frame = frameOf(window);
    const bool userPlaced =
        isFloating() ? !floatedByFit : window.dockWidgetArea(this) != Qt::BottomDockWidgetArea;
    DockPlacement placement;
    if (!firstStart && (userPlaced || isHidden())) { // the size the user left, on the screen
        placement.window = keptInside(window.geometry(), available.marginsRemoved(frame));
        if (isFloating() && !isHidden())
            setGeometry(keptInside(geometry(), available.marginsRemoved(frame)));
    } else {
        window.layout()->activate();
        QWidget* central = window.centralWidget();
        QWidget* inside = contents(central);
        if (inside->layout())
            inside->layout()->activate();
        DockSizes sizes;
        sizes.least = inside->minimumSizeHint().grownBy({0, barsHeight(window), 0, 0});
        sizes.wanted = sizes.least;
        if (firstStart)
            sizes.wanted.setWidth(std::max(sizes.least.width(),
                                           central->width() + table.horizontalHeader()->length() +
                                               table.verticalScrollBar()->sizeHint().width() -
                                               table.maximumViewportSize().width()));
        const int separator =
            window.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, &window);
        const QSize dockFrame =
            minimumSizeHint() - widget()->minimumSizeHint() + QSize(separator, separator);
        sizes.dockLeast = passes->minimumSizeHint() + dockFrame;
        sizes.dockWanted = passes->sizeHint().expandedTo(passes->minimumSizeHint()) + dockFrame;
        placement = placeDock(window.geometry(), sizes, !isHidden(), frame, available);
        const auto dockIn = [this](Qt::DockWidgetArea area) {
            setFloating(false);
            if (window.dockWidgetArea(this) != area)
                window.addDockWidget(area, this);
        };
        if (placement.spot == DockSpot::Below)
            dockIn(Qt::BottomDockWidgetArea);
        else if (placement.spot == DockSpot::Beside)
            dockIn(Qt::RightDockWidgetArea);
        if (placement.spot == DockSpot::Floating) {
            setFloating(true);
            floatedByFit = true;
            setGeometry(placement.dock);
        } else if (placement.spot != DockSpot::Hidden) {
            const bool below = placement.spot == DockSpot::Below;
            const QSize size = sizes.dockWanted - QSize(separator, separator);
            window.resizeDocks({this}, {below ? size.height() : size.width()},
                               below ? Qt::Vertical : Qt::Horizontal);
        }
    }
    if (window.isMaximized() || window.isFullScreen()) // those have all the room already
        return;
    window.resize(placement.window.size());
    if (window.isVisible() || window.testAttribute(Qt::WA_Moved)) // else the system places it
        window.move(placement.window.topLeft() - QPoint(frame.left(), frame.top()));
}
