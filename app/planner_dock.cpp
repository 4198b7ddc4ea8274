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
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <memory>

PlannerDock::PlannerDock(const SkySession& session, QMainWindow& window, QTableView& table,
                         QMenu& viewMenu)
    : QDockWidget(tr("Passes"), &window), window(window), table(table) {
    setObjectName(QStringLiteral("passesDock"));
    passes = new PassesPanel(session, this);
    setWidget(passes);
    window.addDockWidget(Qt::BottomDockWidgetArea, this);
    setVisible(readPassesVisible());

    QAction* showPasses = toggleViewAction();
    showPasses->setObjectName(QStringLiteral("showPassesAction"));
    viewMenu.addAction(showPasses);
    connect(showPasses, &QAction::toggled, this, [](bool shown) { writePassesVisible(shown); });
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

void PlannerDock::fit(bool firstStart) {
    constexpr int kTableRows = 8;
    // Room for the sideways scroll bar too: it comes and goes with the columns' widths.
    table.setMinimumHeight(2 * table.frameWidth() + table.horizontalHeader()->sizeHint().height() +
                           kTableRows * table.verticalHeader()->defaultSectionSize() +
                           table.horizontalScrollBar()->sizeHint().height());
    const bool below =
        !isHidden() && !isFloating() && window.dockWidgetArea(this) == Qt::BottomDockWidgetArea;
    if (!firstStart && !below)
        return;
    // Before the window is first shown its frame is not known yet: a title bar and borders are
    // allowed for.
    QSize frame = window.frameGeometry().size() - window.size();
    if (frame.isNull()) {
        const int border = 2 * window.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
        frame = QSize(border, border + window.style()->pixelMetric(QStyle::PM_TitleBarHeight));
    }
    const QRect available = window.screen()->availableGeometry();
    const QSize before = window.size(); // the layout may force the window larger as it is measured
    const auto place = [&] {
        window.layout()->invalidate();
        window.layout()->activate();
        if (QWidget* central = window.centralWidget(); central && central->layout())
            central->layout()->activate();
        const QSize least = window.minimumSizeHint();
        QSize wanted = least;
        if (!isHidden())
            wanted += sizeHint() - minimumSizeHint();
        if (firstStart)
            wanted.setWidth(
                std::max(wanted.width(), window.width() + table.horizontalHeader()->length() +
                                             table.verticalScrollBar()->sizeHint().width() -
                                             table.maximumViewportSize().width()));
        return placeDock(before, least, wanted, available.size() - frame);
    };
    DockPlacement placement = place();
    if (below && !placement.below) {
        window.addDockWidget(Qt::RightDockWidgetArea, this);
        placement = place();
    }
    if (!window.isMaximized() && !window.isFullScreen()) { // those have all the room already
        window.resize(placement.windowSize);
        if (window.isVisible()) { // all of it on the screen
            QRect outer(window.pos(), placement.windowSize + frame);
            outer.moveRight(std::min(outer.right(), available.right()));
            outer.moveBottom(std::min(outer.bottom(), available.bottom()));
            outer.moveLeft(std::max(outer.left(), available.left()));
            outer.moveTop(std::max(outer.top(), available.top()));
            window.move(outer.topLeft());
        }
    }
    if (!isHidden())
        window.resizeDocks({this}, {placement.below ? sizeHint().height() : sizeHint().width()},
                           placement.below ? Qt::Vertical : Qt::Horizontal);
}
