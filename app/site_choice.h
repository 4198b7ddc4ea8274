#pragma once

#include "astro/log_level.h"
#include "astro/site.h"
#include "mount/metatypes.h"
#include "sky/observing_sites.h"

#include <QObject>
#include <QString>

#include <optional>
#include <vector>

class MountLink;
class SkySession;

// Which site the session computes for: the site chosen in Mount > Observing site... with its
// horizon file, until a mount reports its own. The mount's then stays, after a disconnection too
// (the table does not jump), until a site is chosen again while no mount is connected. A mount
// farther than a kilometre from the chosen site is warned of: one of them is wrong.
class SiteChoice : public QObject {
    Q_OBJECT

public:
    SiteChoice(SkySession& session, const MountLink& link, QObject* parent = nullptr);

    // The stored sites for the dialog (a warning logged when some are left out).
    std::vector<ObservingSite> storedSites();
    // Keeps the dialog's sites and choice, says which site was chosen and applies it. Chosen
    // while a mount is connected, a site only changes what the mount's site is compared with.
    void choose(const std::vector<ObservingSite>& sites, const QString& current);
    // Reads the chosen site and its horizon from the settings and gives them to the session.
    void apply();

    // Farther than this, the mount is not where the chosen site says.
    static constexpr double kMountSiteToleranceKm = 1.0;

signals:
    void logEvent(const QString& text, LogLevel level);

private:
    void mountSiteReported(const Site& site);
    void warnIfMountSiteFar();

    SkySession& session;
    const MountLink& link;
    std::optional<ObservingSite> chosenSite;
    std::optional<Site> mountSite; // as the mount last reported it, while it is the session's
};
