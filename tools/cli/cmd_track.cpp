// orbitrak-cli track: where satellites stand over the Earth, their sub-points on WGS-84 over a
// span of time, as the map draws their ground tracks.
#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "astro/time_units.h"
#include "catalogue/catalogue.h"
#include "planning/pass_export.h"
#include "sky/ground_track.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli track --tle FILE [--catalog N] --from TIME --minutes M --step S\n"
    "                          [--csv]\n"
    "\n"
    "Lists where the satellites of FILE (or only number N) stand over the Earth from TIME for\n"
    "M minutes every S seconds, both ends included: the sub-satellite point, its geodetic\n"
    "latitude and east longitude on the WGS-84 ellipsoid, and the height above it. Instants\n"
    "where the model gives no position are left out and counted on standard error; at most\n"
    "500000 rows in all.\n"
    "The time table (user_utc.bin or utc.bin) is read from the current directory.\n"
    "\n";

const char kClosing[] = "Exit status: 0 done, 1 output not written, 2 bad arguments or unreadable "
                        "file.\n";

// More would be no listing anyone reads, and slow to write.
constexpr double kMaxRows = 500000;

} // namespace

Command trackCommand() {
    return {"track",
            "sub-satellite points (ground track) over a span of time",
            0,
            runTrack,
            17,
            kUsage,
            {kTleOption.describedAs("element sets to read"),
             {"catalog", "N", "only the satellite of this catalogue number"},
             kFromOption.describedAs("the first instant, UTC, ISO 8601, e.g. 2026-03-19T12:00:00Z\n"
                                     "or 2026-03-19 (0h)"),
             {"minutes", "M", "how long, in minutes (at most 100000)"},
             {"step", "S", "seconds between the points (at least 0.001)"},
             kCsvOption.describedAs("CSV instead of the aligned table:\n"
                                    "  catalog,name,time_utc,latitude_deg,longitude_deg,height_km\n"
                                    "(times with milliseconds, degrees and km with 6 decimals);\n"
                                    "the time table's start-up lines then go to standard error")},
            kClosing};
}

namespace {

constexpr double kHalfMillisecond = 0.0005 / kSecondsPerDay;

std::string isoTime(const TimeScales& scales, double jd) {
    return formatCalendar(scales.utcCalendarFromJd(jd + kHalfMillisecond), CalendarFormat::Iso);
}

} // namespace

int runTrack(const CommandOptions& options) {
    std::string error;
    if (!options.has("tle") || options.value("tle").empty())
        return usageError("track: --tle FILE is required");
    for (const char* needed : {"from", "minutes", "step"})
        if (!options.has(needed))
            return usageError(std::string("track: --") + needed + " is required");
    double minutes = 0;
    double step = 0;
    double number = -1;
    if (!readNumber(options, "minutes", 0, 100000, minutes, error) ||
        !readNumber(options, "step", 0, 86400, step, error) ||
        !readNumber(options, "catalog", 0, 999999999, number, error))
        return usageError("track: " + error);
    if (!(step >= 0.001))
        return usageError("track: --step needs at least 0.001 seconds, got '" +
                          options.value("step") + "'");
    if (options.has("catalog") && number != std::floor(number))
        return usageError("track: --catalog needs a whole number, got '" +
                          options.value("catalog") + "'");
    std::optional<CalendarTime> from;
    if (!readInstant(options, "from", from, error))
        return usageError("track: " + error);

    Catalogue read;
    if (!readElementSets(options, 0, read, error))
        return usageError("track: " + error);
    Catalogue catalogue;
    for (const CatalogueEntry& satellite : read.satellites)
        if (!options.has("catalog") || satellite.elements.satnum == long(number))
            catalogue.satellites.push_back(satellite);
    if (catalogue.satellites.empty())
        return usageError("track: no satellite numbered " + options.value("catalog") + " in " +
                          options.value("tle"));
    const double perSatellite = std::floor(minutes * 60 / step + 1e-9) + 1;
    if (perSatellite * double(catalogue.size()) > kMaxRows)
        return usageError("track: " + fixed(perSatellite * double(catalogue.size()), 0) +
                          " rows asked for, at most " + fixed(kMaxRows, 0) +
                          ": give fewer minutes, a longer step or --catalog");

    const bool csv = options.has("csv");
    const TimeScales scales = loadTimeScales(csv ? stderr : stdout);
    const double fromJd = scales.workingJdFromUtcCalendar(*from);
    const char* format = "%-32s  %-24s  %11s  %12s  %12s\n";
    if (csv)
        std::puts("catalog,name,time_utc,latitude_deg,longitude_deg,height_km");
    else
        std::printf(format, "Name", "Time (UTC)", "Lat", "Lon", "Height (km)");
    for (CatalogueEntry& satellite : catalogue.satellites) {
        // Counted here rather than from the end's Julian date, whose rounding could lose the
        // last instant.
        double left = 0;
        for (double i = 0; i < perSatellite; ++i) {
            GroundPoint p;
            // On the row's millisecond: the model is given UTC to the millisecond, cut, and a
            // Julian date a hair short of the row's time would put the satellite a millisecond
            // (metres) behind it.
            const double jd = scales.workingJdFromUtcCalendar(
                scales.utcCalendarFromJd(fromJd + i * step / kSecondsPerDay + kHalfMillisecond));
            if (!subSatellitePoint(satellite, scales, jd, p)) {
                ++left;
                continue;
            }
            if (csv)
                std::printf("%d,%s,%s,%s,%s,%s\n", int(satellite.elements.satnum),
                            csvName(satellite.nameLine).c_str(), isoTime(scales, p.jd).c_str(),
                            fixed(p.latitudeDeg, 6).c_str(), fixed(p.longitudeDeg, 6).c_str(),
                            fixed(p.heightKm, 6).c_str());
            else
                std::printf(format, satellite.displayName, isoTime(scales, p.jd).c_str(),
                            fixed(p.latitudeDeg, 4).c_str(), fixed(p.longitudeDeg, 4).c_str(),
                            fixed(p.heightKm, 3).c_str());
        }
        if (left > 0)
            std::fprintf(stderr, "orbitrak-cli: track: %s: no position at %s of %s instants\n",
                         logName(satellite).c_str(), fixed(left, 0).c_str(),
                         fixed(perSatellite, 0).c_str());
    }
    return finishOutput();
}
