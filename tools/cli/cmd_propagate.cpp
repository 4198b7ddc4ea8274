// orbitrak-cli propagate: every element set of a three-line file, initialised as the catalogue
// does (AFSPC mode 'a', WGS-72), propagated to given minutes from its own epoch.
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_entry.h"
#include "catalogue/omm_reader.h"
#include "orbit/sgp4.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli propagate --tle FILE --minutes M1,M2,...\n"
    "\n"
    "Reads FILE (TLEs with or without name lines, or OMM as JSON, CSV, XML or KVN), initialises\n"
    "each set with SGP4/SDP4 (AFSPC mode, WGS-72) and propagates it to each number of minutes\n"
    "since its own epoch (negative for earlier). Writes CSV to standard output, one row per set\n"
    "and time, sets in file order and times in the given order:\n"
    "\n"
    "  catalog,tsince_min,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,error\n"
    "\n"
    "Position and velocity are TEME, in km and km/s, with 9 decimals; 'nan' where the model\n"
    "gave none (error codes 1 to 4). error is the model's code: 0 fine, 1 mean eccentricity out\n"
    "of range, 2 mean motion not positive, 3 perturbed eccentricity out of range, 4 semi-latus\n"
    "rectum negative, 6 below the Earth's surface (position still given).\n"
    "\n";

const char kClosing[] =
    "Exit status: 0 done, 1 output not written, 2 bad arguments, an unreadable file or one in\n"
    "none of the five forms.\n";

} // namespace

Command propagateCommand() {
    return {"propagate",
            "positions and velocities of element sets at minutes from their epochs (CSV)",
            0,
            runPropagate,
            22,
            kUsage,
            {kTleOption.describedAs("element sets to read"),
             {"minutes", "LIST", "comma-separated minutes since epoch, e.g. -1440,0,90.5"}},
            kClosing};
}

namespace {

void printNumber(double x) {
    if (std::isnan(x))
        std::fputs(",nan", stdout);
    else
        std::printf(",%.9f", x);
}

} // namespace

int runPropagate(const CommandOptions& options) {
    std::string error;
    if (!options.has("tle") || options.value("tle").empty())
        return usageError("propagate: --tle FILE is required");
    if (!options.has("minutes"))
        return usageError("propagate: --minutes M1,M2,... is required");
    std::vector<double> minutes;
    if (!parseNumberList(options.value("minutes"), minutes))
        return usageError("propagate: --minutes needs comma-separated numbers, got '" +
                          options.value("minutes") + "'");

    Catalogue catalogue;
    if (!readElementSets(options, 0, catalogue, error))
        return usageError("propagate: " + error);

    std::puts("catalog,tsince_min,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,error");
    for (const CatalogueEntry& satellite : catalogue.satellites) {
        ElementSet set = satellite.elements;
        for (double t : minutes) {
            double r[3], v[3];
            sgp4Propagate(1, set, t, r, v);
            const bool written = set.error == 0 || set.error == kSgp4Decayed;
            std::printf("%d,%.9f", int(set.satnum), t);
            for (double x : r)
                printNumber(written ? x : NAN);
            for (double x : v)
                printNumber(written ? x : NAN);
            std::printf(",%d\n", set.error);
        }
    }
    return finishOutput();
}
