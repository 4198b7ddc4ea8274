#pragma once

// How bright a satellite looks: standard magnitudes from the lists visual observers keep, and
// the magnitude they give at one instant of a pass.

#include "astro/file_io.h"
#include "astro/site.h"
#include "astro/vec3.h"
#include "catalogue/catalogue_entry.h"
#include "planning/passes.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <unordered_map>

class TimeScales;

// Standard magnitude (at 1000 km, half illuminated) by catalogue number.
using StandardMagnitudes = std::unordered_map<int, double>;

struct MagnitudeReadResult {
    bool ok = true;
    int errorLine = 0; // 1-based; 0 with !ok: the file was not read (see file)
    FileResult file;
};

// The largest magnitude file read: every catalogued object fits many times over.
constexpr std::uint64_t kMaxMagnitudeFileBytes = 8 << 20;

// Lines of "catalogue-number standard-magnitude", blanks between; '#' starts a comment, blank
// lines are skipped. The first malformed line stops the reading and is reported; the
// magnitudes are then left empty.
MagnitudeReadResult readStandardMagnitudes(std::istream& in, StandardMagnitudes& magnitudes);
// The same for a regular file of at most kMaxMagnitudeFileBytes (readFileBounded).
MagnitudeReadResult readStandardMagnitudeFile(const std::string& path,
                                              StandardMagnitudes& magnitudes);

// The magnitude of a satellite of the given standard magnitude: satellite from the observer
// and Sun from the satellite, in metres on any common axes. Empty when the lit fraction seen is
// nil or the geometry is not finite.
std::optional<double> estimatedMagnitude(double standardMagnitude, const Vec3& fromObserver,
                                         const Vec3& sunFromSatellite);

// At a working Julian date; empty in the Earth's shadow. Propagates the satellite.
std::optional<double> magnitudeAt(CatalogueEntry& satellite, const TimeScales& scales,
                                  const Site& site, double jd, double standardMagnitude);

// At the pass's culmination; empty in the Earth's shadow. Propagates the satellite.
std::optional<double> passMagnitude(CatalogueEntry& satellite, const TimeScales& scales,
                                    const Site& site, const SatellitePass& pass,
                                    double standardMagnitude);
