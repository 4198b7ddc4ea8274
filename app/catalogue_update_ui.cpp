#include "app/catalogue_update_ui.h"

#include "app/tle_sources_dialog.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_updater.h"
#include "catalogue/update_settings.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>

#include <cmath>

CatalogueUpdateUi::CatalogueUpdateUi(QWidget* window, QAction* sourcesAction, QAction* updateAction,
                                     QAction* forcedUpdateAction,
                                     std::function<QString()> catalogueFile)
    : QObject(window), window(window), updateAction(updateAction),
      forcedUpdateAction(forcedUpdateAction), catalogueFile(std::move(catalogueFile)),
      updater(new CatalogueUpdater(this)) {
    connect(sourcesAction, &QAction::triggered, this, &CatalogueUpdateUi::editSources);
    connect(updateAction, &QAction::triggered, this, [this] { update(false); });
    connect(forcedUpdateAction, &QAction::triggered, this, [this] { update(true); });
    connect(updater, &CatalogueUpdater::finished, this, &CatalogueUpdateUi::finished);
}

CatalogueUpdateUi::~CatalogueUpdateUi() = default;

void CatalogueUpdateUi::editSources() {
    TleSourcesDialog dialog(window);
    dialog.setSources(readTleSources());
    if (dialog.exec() == QDialog::Accepted)
        writeTleSources(dialog.sources());
}

void CatalogueUpdateUi::update(bool force) {
    if (updater->isRunning())
        return;
    const QString cache = updateCacheFolder();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const HostPause& pause : CatalogueUpdater::pausedHosts(readTleSources(), cache, now)) {
        const QMessageBox::StandardButton answer =
            QMessageBox::question(window, tr("Update from sources"),
                                  tr("%1 refused the last request (HTTP %2). Ask it again anyway?")
                                      .arg(pause.host)
                                      .arg(pause.status),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            continue;
        CatalogueUpdater::liftPause(pause.host, cache);
        emit logEvent(
            tr("Asking %1 again, by request, before its pause ends at %2 UTC.")
                .arg(pause.host, pause.until.toString(QStringLiteral("yyyy-MM-dd hh:mm"))),
            LogLevel::Warning);
    }
    start(force);
}

void CatalogueUpdateUi::start(bool force) {
    QString warning;
    const QStringList sources = readTleSources(&warning);
    if (!warning.isEmpty())
        emit logEvent(warning, LogLevel::Warning);
    const QString target = catalogueFile();
    QDir().mkpath(QFileInfo(target).absolutePath()); // a first catalogue in the per-user folder
    updater->setForce(force);
    if (!updater->start(sources, target))
        return;
    updateAction->setEnabled(false);
    forcedUpdateAction->setEnabled(false);
    // Shown only when the download takes a while; Cancel fails the sources still running.
    progress = new QProgressDialog(tr("Downloading element sets..."), tr("Cancel"), 0,
                                   int(sources.size()), window);
    progress->setWindowTitle(tr("Update from sources"));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);
    progress->setMinimumDuration(500);
    QProgressDialog* dialog = progress;
    connect(dialog, &QProgressDialog::canceled, updater, &CatalogueUpdater::cancel);
    connect(dialog, &QDialog::rejected, updater, &CatalogueUpdater::cancel); // Escape
    connect(updater, &CatalogueUpdater::progress, dialog,
            [dialog](int done, int count, qint64 received) {
                dialog->setValue(done);
                dialog->setLabelText(tr("Waiting for %1 of %2 sources: %3 KiB received.")
                                         .arg(count - done)
                                         .arg(count)
                                         .arg(received / 1024));
            });
}

void CatalogueUpdateUi::finished() {
    if (progress)
        progress->deleteLater();
    updateAction->setEnabled(true);
    forcedUpdateAction->setEnabled(true);
    const UpdateOutcome& outcome = updater->outcome();
    for (const UpdateMessage& message : updateMessages(outcome))
        emit logEvent(message.text, message.level);
    if (outcome.replaced)
        emit catalogueReplaced();
}

void CatalogueUpdateUi::updateIfDue() {
    const int days = readAutoUpdateDays();
    if (days == 0)
        return;
    const QFileInfo file(catalogueFile());
    if (file.exists() && file.lastModified().secsTo(QDateTime::currentDateTime()) <= days * 86400LL)
        return;
    // Two source texts: without a translation, Qt only puts in the number for %n.
    const QString age = days == 1 ? tr("%n day", nullptr, days) : tr("%n days", nullptr, days);
    emit logEvent(
        file.exists()
            ? tr("%1 is older than %2: updating from the sources.").arg(file.fileName(), age)
            : tr("No %1: updating from the sources.").arg(file.fileName()),
        LogLevel::Info);
    start(false); // never asks a paused host again: nobody asked for this update
}

void CatalogueUpdateUi::warnIfStale(const Catalogue& catalogue, double utcJd) {
    const std::optional<double> age = medianAgeDays(catalogue, utcJd);
    if (age && *age > kOldElementSetDays)
        emit logEvent(tr("Element sets are %1 days old: TLEs > Update from sources.")
                          .arg(std::floor(*age), 0, 'f', 0),
                      LogLevel::Warning);
}
