// Arbitrary bytes as a satell.txt: the catalogue reader, the parsing and initialisation of every
// set it takes, propagation of each at a few times around its epoch and at fixed dates, and
// the live rows of the table for a few instants, as the window computes them.

#include "catalogue/live_rows.h"
#include "catalogue/tle_reader.h"
#include "catalogue/tle_satellite.h"
#include "orbit/sgp4.h"
#include "tests/fuzz/fuzz_input.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kWgs72 = 1;
// Minutes from each set's own epoch: the epoch, a day either side, a month, a year.
constexpr double kMinutesFromEpoch[] = {0.0, -1440.0, 1440.0, 43200.0, 525960.0};
// Working Julian dates: 2000 January 1.5 and March 2026. Dates decades from a resonant set's
// epoch cost the integrator tens of thousands of steps each; two keep the target quick.
constexpr double kInstants[] = {2451545.0, 2461118.75};

void checkDisplayName(const TLE_Satellite& entry) {
    // 32 visible characters and the terminating zero, whatever the lines held.
    if (std::strlen(entry.display_name) > 32)
        fuzz::fail("display name longer than 32 characters");
    for (std::size_t i = 0; i < 24; ++i) {
        if (entry.display_name[i] == '\n' || entry.display_name[i] == '\r')
            fuzz::fail("line end in the display name");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = fuzz::scratchPath();
    fuzz::writeFile(path, data, size);
    if (read_TLE_file(path.c_str(), kWindowSetLimit) != 0)
        fuzz::fail("a readable file reported as unreadable");
    if (satellite_list.size() > kWindowSetLimit)
        fuzz::fail("more sets than the limit");

    for (TLE_Satellite& entry : satellite_list) {
        checkDisplayName(entry);
        // Propagation itself, from a copy of the set as initialised.
        ElementSet elements = entry.elements;
        for (const double minutes : kMinutesFromEpoch) {
            double r[3] = {};
            double v[3] = {};
            sgp4_propagate(kWgs72, elements, minutes, r, v);
            if (elements.error < 0 || elements.error > 6)
                fuzz::fail("unknown error code");
        }
        for (const double jd : kInstants)
            propagate_satellite(entry, jd);
    }

    // The table's rows, from the default site, for each instant.
    for (const double jd : kInstants) {
        recomputeLiveRows(jd, Site{});
        if (liveRows.size() != satellite_list.size())
            fuzz::fail("live rows not parallel to the list");
    }
    return 0;
}
