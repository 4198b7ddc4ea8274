#pragma once

#include "mount/metatypes.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CatalogueUpdater;
class QAction;
class QProgressDialog;
class QWidget;
struct Catalogue;

// The window's side of fresh element sets: TLEs > Sources..., TLEs > Update from sources and
// its forced form with their progress dialog, the update at start when the settings ask for it,
// and the warning when the loaded sets are old. Only an update a person asked for may ask a
// paused host again, and only after the person agreed. The download runs in the event loop, so the
// window and its tick go on meanwhile.
class CatalogueUpdateUi : public QObject {
    Q_OBJECT

public:
    // Sets older than this (their median) are worth a warning.

    // The actions are wired here; catalogueFile names the file an update replaces, asked anew
    // at every update.
    CatalogueUpdateUi(QWidget* window, QAction* sourcesAction, QAction* updateAction,
                      QAction* forcedUpdateAction, std::function<QString()> catalogueFile);
    ~CatalogueUpdateUi() override;

    void editSources();
    // From the menu: asks whether to ask paused hosts again. force skips the 2-hour wait.
    void update(bool force = false);
    // At start: an update when tle_auto_update_days is set and the file is older than that.
    void updateIfDue();
    // After each load, with the present instant as a UTC Julian date.
    void warnIfStale(const Catalogue& catalogue, double utcJd);

signals:
    void logEvent(const QString& text, LogLevel level);
    // The file holds new sets: time to reload.
    void catalogueReplaced();

private:
    void start(bool force);
    void finished();

    QWidget* window;
    QAction* updateAction;
    QAction* forcedUpdateAction;
    std::function<QString()> catalogueFile;
    CatalogueUpdater* updater;
    QPointer<QProgressDialog> progress;
};
