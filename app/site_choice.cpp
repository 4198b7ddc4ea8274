#include "app/site_choice.h"

#include "app/observing_site_dialog.h"
#include "app/settings.h"
#include "astro/horizon_mask.h"
#include "astro/topocentric.h"
#include "mount/mount_link.h"
#include "sky/sky_session.h"

#include <QFile>

SiteChoice::SiteChoice(SkySession& session, const MountLink& link, QObject* parent)
    : QObject(parent), session(session), link(link) {
    connect(&link, &MountLink::siteChanged, this, &SiteChoice::mountSiteReported);
}

std::vector<ObservingSite> SiteChoice::storedSites() {
    QString warning;
    std::vector<ObservingSite> sites = readObservingSites(&warning);
    if (!warning.isEmpty())
        emit logEvent(warning, LogLevel::Warning);
    return sites;
}

void SiteChoice::choose(const std::vector<ObservingSite>& sites, const QString& current) {
    writeObservingSites(sites);
    writeCurrentSiteName(current);
    if (link.state() != LinkState::Connected)
        mountSite.reset();
    if (const auto chosen = readCurrentObservingSite())
        emit logEvent(ObservingSiteDialog::chosenMessage(*chosen), LogLevel::Info);
    apply();
}

// The horizon file from before sites had their own counts while the chosen site names none. A
// file that cannot be read leaves the horizon flat.
void SiteChoice::apply() {
    QString warning;
    chosenSite = readCurrentObservingSite(&warning);
    if (!warning.isEmpty())
        emit logEvent(warning, LogLevel::Warning);
    const QString file = chosenSite && !chosenSite->horizonFile.isEmpty() ? chosenSite->horizonFile
                                                                          : readHorizonFile();
    if (!file.isEmpty() || !session.horizon().isFlat()) {
        HorizonMask horizon;
        if (!file.isEmpty()) {
            const HorizonMask::FileRead read =
                HorizonMask::readFile(QFile::encodeName(file).toStdString(), horizon);
            if (!read.ok())
                emit logEvent(tr("%1 The horizon stays flat.")
                                  .arg(ObservingSiteDialog::horizonProblem(file, read)),
                              LogLevel::Error);
        }
        session.setHorizon(horizon);
    }
    if (mountSite)
        warnIfMountSiteFar();
    else
        session.setSite(chosenSite ? chosenSite->site() : Site());
}

// The warning follows the line that reports the site.
void SiteChoice::mountSiteReported(const Site& site) {
    mountSite = site;
    session.setSite(site);
    QMetaObject::invokeMethod(this, &SiteChoice::warnIfMountSiteFar, Qt::QueuedConnection);
}

void SiteChoice::warnIfMountSiteFar() {
    if (!chosenSite || !mountSite)
        return;
    const double km = siteDistance(*mountSite, chosenSite->site()) / 1000.0;
    if (km > kMountSiteToleranceKm)
        emit logEvent(tr("The mount's site is %1 km from %2.")
                          .arg(QString::number(km, 'f', 1), chosenSite->name),
                      LogLevel::Warning);
}
