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
#include <QProgressDialog>

#include <cmath>

CatalogueUpdateUi::CatalogueUpdateUi(QWidget* window, QAction* sourcesAction, QAction* updateAction,
                                     std::function<QString()> catalogueFile)
    : QObject(window), window(window), updateAction(updateAction),
      catalogueFile(std::move(catalogueFile)), updater(new CatalogueUpdater(this)) {
    connect(sourcesAction, &QAction::triggered, this, &CatalogueUpdateUi::editSources);
    connect(updateAction, &QAction::triggered, this, &CatalogueUpdateUi::update);
    connect(updater, &CatalogueUpdater::finished, this, &CatalogueUpdateUi::finished);
}

CatalogueUpdateUi::~CatalogueUpdateUi() = default;

void CatalogueUpdateUi::editSources() {
    TleSourcesDialog dialog(window);
    dialog.setSources(readTleSources());
    if (dialog.exec() == QDialog::Accepted)
        writeTleSources(dialog.sources());
}

void CatalogueUpdateUi::update() {
    const QStringList sources = readTleSources();
    const QString target = catalogueFile();
    QDir().mkpath(QFileInfo(target).absolutePath()); // a first catalogue in the per-user folder
    if (!updater->start(sources, target))
        return;
    updateAction->setEnabled(false);
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
    update();
}

void CatalogueUpdateUi::warnIfStale(const Catalogue& catalogue, double utcJd) {
    const std::optional<double> age = medianAgeDays(catalogue, utcJd);
    if (age && *age > kOldElementSetDays)
        emit logEvent(tr("Element sets are %1 days old: TLEs > Update from sources.")
                          .arg(std::floor(*age), 0, 'f', 0),
                      LogLevel::Warning);
}
