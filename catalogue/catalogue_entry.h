#pragma once

#include "astro/vec3.h"
#include "orbit/element_set.h"
#include "orbit/mean_elements.h"

#include <string>
#include <string_view>
#include <vector>

// One catalogue entry: the initialised element set, the name the table shows, the position of
// the last propagation and the three lines exactly as read (the upload to the mount sends them
// unchanged).
struct CatalogueEntry {
    ElementSet elements;
    char displayName[64] = {}; // 32 visible characters, zero-terminated
    double position[3] = {};   // metres, Earth-centred, propagator's axes
    std::string nameLine;
    std::string line1;
    std::string line2;
};

// Initialises the set from the values read from its element lines and builds the display name
// from the name line and line 1's catalogue columns as they stand. The lines stay as they are.
void fillCatalogueEntry(CatalogueEntry& entry, std::string_view nameLine, std::string_view line1,
                        const MeanElements& elements);

// The same for the lines as satell.txt has always been read (ElementLineStrictness::Historical
// in orbit/element_lines.h): any two lines make a set.
void fillCatalogueEntry(CatalogueEntry& entry, std::string_view nameLine, std::string_view line1,
                        std::string_view line2);

// Initialises the set from mean elements as read (initElementSet) and builds the display
// name, the number of up to nine digits in brackets after the name. The lines are the set
// written as a TLE (writeElementLines), or empty when it cannot be one.
void fillCatalogueEntry(CatalogueEntry& entry, const MeanElements& elements);

// The display name without the blanks that pad the name to its field, for sentences:
// "OSCAR 7 (AO-7) (07530)".
std::string logName(const CatalogueEntry& entry);

// A satellite's position in metres from a propagation of its set to tsince minutes: the
// model's position in km and error code. NaN throughout where the model gave none, or one no
// satellite can have: below the Earth's surface (code 6, where SGP4 still writes one), beyond
// 1,500,000 km, or once the model's drag has used the orbit up (sgp4DragExhausted). Decayed
// or broken elements give those. Every propagation for the sky, the passes and the transits
// comes through here.
Vec3 satellitePosition(const ElementSet& set, double tsince, const Vec3& km, int error);

// Propagates to a UTC Julian date and stores satellitePosition, so the table shows no position
// rather than a stale or impossible place. Returns 0.
int propagateSatellite(CatalogueEntry& satellite, double jd);
