// orbitrak-cli sky: the live satellite table for one instant, computed as the window computes
// it: same reader, same time conversions, same reduction to the site.
#include "astro/calendar.h"
#include "astro/site.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/omm_reader.h"
#include "planning/pass_export.h"
#include "sky/sky_computation.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli sky [--tle FILE] [--at TIME]\n"
    "                        [--site NAME | --lat DEG --lon DEG --elev M] [--limit N] [--csv]\n"
    "\n"
    "Prints where every satellite of FILE stands in the sky from a site at one instant: the\n"
    "window's live table, computed the same way (altitude, azimuth from north through east,\n"
    "distance, and the angle the line of sight turned during the last second). The time table\n"
    "(user_utc.bin or utc.bin) is read from the current directory, as the window reads it.\n"
    "\n"
    "Columns: Name (the name, then the catalogue number in brackets), Altitude (deg), Azimuth\n"
    "(deg, from north through east), Distance (km) and Speed (deg/s, the angle the line of\n"
    "sight turned during the last second); with --csv the same as catalog, name, altitude_deg,\n"
    "azimuth_deg, distance_km and speed_deg_s.\n"
    "\n";

const char kClosing[] =
    "Exit status: 0 done, 1 output not written, 2 bad arguments or unreadable file.\n";

} // namespace

Command skyCommand() {
    return {"sky",
            "the live satellite table for one instant and site, as the window shows it",
            0,
            runSky,
            17,
            kUsage,
            {kTleOption,
             {"at", "TIME",
              "UTC instant, ISO 8601, e.g. 2026-03-19T12:00:00.250Z, or a date alone\n"
              "for its 0h, 2026-03-19 (default now)"},
             kSiteOption,
             kLatOption,
             kLonOption,
             kElevOption,
             kLimitOption,
             kCsvOption.describedAs(
                 "CSV instead of the aligned table:\n"
                 "  catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s\n"
                 "(angles and speed with 9 decimals, distance with 6); the time table's\n"
                 "start-up lines then go to standard error")},
            kClosing};
}

namespace {

void printCsv(const Catalogue& catalogue, const std::vector<LiveRow>& rows) {
    std::puts("catalog,name,altitude_deg,azimuth_deg,distance_km,speed_deg_s");
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const CatalogueEntry& satellite = catalogue[i];
        const LiveRow& row = rows[i];
        std::printf("%d,%s,%s,%s,%s,%s\n", int(satellite.elements.satnum),
                    csvName(satellite.nameLine).c_str(), fixed(row.altitudeDeg, 9).c_str(),
                    fixed(row.azimuthDeg, 9).c_str(), fixed(row.distanceKm, 6).c_str(),
                    fixed(row.speedDegPerSec, 9).c_str());
    }
}

void printTable(const Catalogue& catalogue, const std::vector<LiveRow>& rows) {
    const char* format = "%-32s  %14s  %13s  %13s  %13s\n";
    std::printf(format, "Name", "Altitude (deg)", "Azimuth (deg)", "Distance (km)",
                "Speed (deg/s)");
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const LiveRow& row = rows[i];
        std::printf(format, catalogue[i].displayName, fixed(row.altitudeDeg, 1).c_str(),
                    fixed(row.azimuthDeg, 1).c_str(), fixed(row.distanceKm, 0).c_str(),
                    fixed(row.speedDegPerSec, 2).c_str());
    }
}

} // namespace

int runSky(const CommandOptions& options) {
    Site site;
    std::string error;
    if (!readSite(options, site, error))
        return usageError("sky: " + error);

    double limit = 500;
    if (options.has("limit") && (!parseNumber(options.value("limit"), limit) || limit < 0 ||
                                 limit != std::floor(limit) || limit > 1e9))
        return usageError("sky: --limit needs a whole number from 0 on, got '" +
                          options.value("limit") + "'");

    std::optional<CalendarTime> at;
    Catalogue catalogue;
    if (!readInstant(options, "at", at, error) ||
        !readElementSets(options, std::size_t(limit), catalogue, error))
        return usageError("sky: " + error);
    const bool csv = options.has("csv");
    const TimeScales scales = loadTimeScales(csv ? stderr : stdout);

    const double jd = at ? scales.workingJdFromUtcCalendar(*at) : scales.currentJd();
    SkyComputation sky(scales);
    const std::vector<LiveRow> rows =
        sky.compute(catalogue, jd, site, SkyComputation::Wait::ForEverySet);

    (csv ? printCsv : printTable)(catalogue, rows);
    return finishOutput();
}
