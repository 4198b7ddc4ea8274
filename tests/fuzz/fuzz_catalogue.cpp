// Arbitrary bytes as a satell.txt: the catalogue reader, the parsing and initialisation of every
// set it takes, propagation of each at a few times around its epoch and at fixed dates, and the
// table's rows for a few instants as the window's tick computes them (far-epoch sets handed to
// the worker pool) and as the tools do (every set waited for). Both must agree to the bit.

#include "catalogue/catalogue.h"
#include "orbit/gravity.h"
#include "orbit/sgp4.h"
#include "sky/sky_computation.h"
#include "tests/fuzz/fuzz_input.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

// Minutes from each set's own epoch: the epoch, a day either side, a month, a year.
constexpr double kMinutesFromEpoch[] = {0.0, -1440.0, 1440.0, 43200.0, 525960.0};
// Working Julian dates: 2000 January 1.5 and March 2026. Dates decades from a resonant set's
// epoch cost the integrator tens of thousands of steps each; two keep the target quick.
constexpr double kInstants[] = {2451545.0, 2461118.75};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TimeScales scales; // no table: the fallback leap count
    const std::string path = fuzz::scratchFolder() + "/satell.txt";
    fuzz::writeFile(path, data, size);
    Catalogue catalogue;
    if (readCatalogueFile(path.c_str(), kWindowSetLimit, catalogue) != 0)
        fuzz::fail("a readable file reported as unreadable");
    if (catalogue.size() > kWindowSetLimit)
        fuzz::fail("more sets than the limit");

    for (CatalogueEntry& entry : catalogue.satellites) {
        // 32 visible characters and the terminating zero, no line end in the name field.
        if (std::strlen(entry.displayName) > 32 ||
            std::string(entry.displayName, 24).find_first_of("\r\n") != std::string::npos)
            fuzz::fail("display name too long or holding a line end");
        // Propagation itself, from a copy of the set as initialised.
        ElementSet elements = entry.elements;
        for (const double minutes : kMinutesFromEpoch) {
            double r[3] = {}, v[3] = {};
            sgp4Propagate(kWgs72, elements, minutes, r, v);
            if (elements.error < 0 || elements.error > 6)
                fuzz::fail("unknown error code");
        }
        for (const double jd : kInstants)
            propagateSatellite(entry, jd);
    }

    // The rows from the default site, on copies of the sets, as the window's ticks get them and
    // with every set waited for: a row the tick shows is the one the wait gives.
    Catalogue ticked = catalogue;
    SkyComputation tickSky(scales), sky(scales);
    for (const double jd : kInstants) {
        const std::vector<LiveRow> tick =
            tickSky.compute(ticked, jd, Site{}, SkyComputation::Wait::NoLongerThanATick);
        const std::vector<LiveRow> all =
            sky.compute(catalogue, jd, Site{}, SkyComputation::Wait::ForEverySet);
        if (tick.size() != catalogue.size() || all.size() != catalogue.size())
            fuzz::fail("rows not parallel to the catalogue");
        for (std::size_t i = 0; i < all.size(); ++i) {
            // The numbers bit for bit and the sunlight; the padding after it holds nothing.
            if (!std::isnan(tick[i].distanceKm) &&
                (std::memcmp(&tick[i], &all[i], offsetof(LiveRow, sunlight)) != 0 ||
                 tick[i].sunlight != all[i].sunlight))
                fuzz::fail("a row depends on whether the tick waited for its set");
        }
    }
    if (sky.setsInPreparation() != 0)
        fuzz::fail("sets left in preparation after waiting for every one");
    return 0;
}
