#pragma once

#include "astro/site.h"
#include "astro/vec3.h"

#include <vector>

// The instant the live table is computed for, as a working Julian date. Set at start-up, on
// every refresh tick and after a catalogue reload; the pass request sends it to the mount.
extern double currentJd;

// What the table shows of one satellite, as seen from the site.
struct LiveRow {
    double distanceKm = 0.0;
    double azimuthDeg = 0.0;  // from north through east, [0, 360)
    double altitudeDeg = 0.0; // above the site's horizontal plane
    double speedDegPerSec = 0.0;
};

// Parallel to satellite_list: row i belongs to satellite i.
extern std::vector<LiveRow> liveRows;

// The row for the horizon vectors of one satellite one second apart.
LiveRow live_row(const Vec3& secondBefore, const Vec3& now);

// Fills liveRows for currentJd from the observing site.
void recomputeLiveRows();

// Fills liveRows for any working date and site.
void recomputeLiveRows(double jd, const Site& site);
