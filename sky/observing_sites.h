#pragma once

#include "astro/horizon_mask.h"
#include "astro/site.h"

#include <QString>

#include <optional>
#include <vector>

// The observing sites the user has named, in the per-user settings store (organisation
// "Halvstar", application "Orbitrak"): the window's Mount > Observing site... edits them and
// chooses the current one, and orbitrak-cli --site NAME reads them, so they live here rather
// than with the window.

// One named site, in the degrees the user typed.
struct ObservingSite {
    QString name;
    double latitudeDeg = 0.0;      // north positive
    double eastLongitudeDeg = 0.0; // east positive
    double elevationM = 0.0;       // above the WGS-84 ellipsoid
    QString horizonFile;           // its horizon mask (astro/horizon_mask.h); empty: none

    Site site() const { return Site::fromDegrees(latitudeDeg, eastLongitudeDeg, elevationM); }
    // A name with more than blanks, and each value within Site's ranges.
    bool isValid() const;
};

// Far more than anyone names: a damaged store that claims billions cannot keep a reader busy.
constexpr int kMaxObservingSites = 1000;

// "observing_sites", an array of name, latitude, longitude, elevation and horizon_file, in
// order. Entries that are not valid, and later ones of a name already read, are left out.
// Only the first kMaxObservingSites are read; warning, when given, then says so (else empty).
std::vector<ObservingSite> readObservingSites(QString* warning = nullptr);
// Replaces the whole array. Returns whether the store reports success.
bool writeObservingSites(const std::vector<ObservingSite>& sites);

// "observing_site": the name of the current site; empty when none is chosen.
QString readCurrentSiteName();
bool writeCurrentSiteName(const QString& name);

// The site of that name (exact match), if any.
std::optional<ObservingSite> findObservingSite(const std::vector<ObservingSite>& sites,
                                               const QString& name);
// The current site, when one is chosen and still among the sites; warning as above.
std::optional<ObservingSite> readCurrentObservingSite(QString* warning = nullptr);
