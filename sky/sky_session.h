#pragma once

#include "astro/horizon_mask.h"
#include "astro/site.h"
#include "catalogue/catalogue.h"
#include "sky/sky_computation.h"

#include <QObject>

#include <vector>

class TimeScales;

// What the window shows the sky for: the catalogue, the observing site and the instant of the
// latest tick, with each satellite's live row. It owns them and says when they change; the
// satellite table, the pass planner and the sky plot read them and never change them.
class SkySession : public QObject {
    Q_OBJECT

public:
    explicit SkySession(const TimeScales& scales, QObject* parent = nullptr);
    ~SkySession() override;

    const TimeScales& timeScales() const { return scales; }
    const Catalogue& catalogue() const { return sets; }
    // Parallel to the catalogue's satellites.
    const std::vector<LiveRow>& rows() const { return live; }
    const Site& site() const { return observingSite; }
    // What the site's horizon hides; flat unless set.
    const HorizonMask& horizon() const { return mask; }
    // The latest tick's instant, as a working Julian date (0 before the first).
    double instant() const { return jd; }

    // A new catalogue, with its rows at the present instant.
    void setCatalogue(Catalogue catalogue);
    // The rows follow at once; an unchanged site changes nothing.
    void setSite(const Site& site);
    // A new horizon is a change of the site: passes rise and set elsewhere.
    void setHorizon(HorizonMask horizon);
    // Moves to the present instant and brings every row to it.
    void tick();
    // The same for another instant (a working Julian date): a replay, a picture.
    void moveTo(double jd);
    // Rows computed elsewhere for the current catalogue (a replay, a test), cut or padded to
    // its size.
    void showRows(std::vector<LiveRow> rows);

signals:
    // New sets and new rows: whatever was keyed on rows of the old catalogue is void.
    void catalogueChanged();
    void siteChanged();
    // New rows for the same sets, at instant().
    void rowsChanged();

private:
    void computeRows();

    const TimeScales& scales;
    SkyComputation sky;
    Catalogue sets;
    std::vector<LiveRow> live;
    Site observingSite;
    HorizonMask mask;
    double jd = 0.0;
};
