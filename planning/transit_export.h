#pragma once

// Transits' centre lines and paths written out for maps: GeoJSON (RFC 7946) for GIS programs,
// KML 2.2 for Google Earth and GPX 1.1 (the centre line as a track) for a phone's navigation.
// orbitrak-cli transits and the window's export share these, so both write the same bytes.
// Names may hold any bytes: each form escapes them, invalid UTF-8 and the control characters
// a form cannot carry replaced, so the file stays valid.

#include "catalogue/catalogue.h"
#include "planning/planned.h"
#include "planning/transit_ground.h"

#include <string>
#include <vector>

class TimeScales;

struct ExportedTransit {
    int catalogNumber = 0;
    std::string name; // from the name line, as the file had it
    TransitBody body = TransitBody::Sun;
    double jd = 0.0; // the closest approach at the site
    TransitGround ground;
};

enum class TransitFileForm { GeoJson, Kml, Gpx };

// The transits with their ground, the satellites taken from the catalogue (copies, which are
// propagated). Transits of rows the catalogue does not hold, and those without a centre line,
// are left out; *missing (when given) counts the latter.
std::vector<ExportedTransit> exportedTransits(const std::vector<PlannedTransit>& transits,
                                              const Catalogue& catalogue, const TimeScales& scales,
                                              const Site& site, int* missing = nullptr);

// One file of the given form; '\n' line ends.
std::string transitsFile(TransitFileForm form, const std::vector<ExportedTransit>& transits,
                         const TimeScales& scales);
