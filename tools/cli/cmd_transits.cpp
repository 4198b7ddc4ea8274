// orbitrak-cli transits: satellites crossing the Sun or the Moon as seen from one site, with the
// centre line, over the passes of a time window.
#include "astro/calendar.h"
#include "astro/site.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/omm_reader.h"
#include "planning/pass_export.h"
#include "planning/transits.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kHelp[] =
    "Usage: orbitrak-cli transits [--tle FILE] [--from TIME] [--hours H]\n"
    "                             [--site NAME | --lat DEG --lon DEG --elev M] [--body "
    "sun|moon|both]\n"
    "                             [--margin DEG] [--limit N] [--csv]\n"
    "\n"
    "Lists the satellites of FILE that pass in front of the Sun or the Moon, or within a margin\n"
    "of the disc's edge, as seen from a site within a time window, the body above the horizon.\n"
    "Each line gives the closest approach (to the millisecond), the separation from the body's\n"
    "centre and the body's radius in arc-seconds, how long the satellite stays on the disc (0\n"
    "for a near miss), where the satellite stands and how far it is, and the centre line: how\n"
    "far (km) and toward which azimuth the observer must move to see it cross the centre.\n"
    "The time table (user_utc.bin or utc.bin) is read from the current directory.\n"
    "\n"
    "Options:\n"
    "  --tle FILE     element sets: TLEs (with or without name lines), or OMM as JSON, CSV,\n"
    "                 XML or KVN; a file in none of these forms exits with status 2\n"
    "                 (default satell.txt)\n"
    "  --from TIME    start of the window, UTC, ISO 8601, e.g. 2026-03-19T12:00:00.250Z or\n"
    "                 2026-03-19 (0h)\n"
    "                 (default now)\n"
    "  --hours H      length of the window in hours (default 72)\n"
    "  --site NAME    an observing site named in the window (Mount > Observing site...),\n"
    "                 instead of --lat, --lon and --elev; its horizon file, if it names\n"
    "                 one, hides the transits behind it\n"
    "  --lat DEG      site latitude, north positive (default 45)\n"
    "  --lon DEG      site longitude, EAST positive (default 45)\n"
    "  --elev M       site elevation above the WGS-84 ellipsoid in metres (default 120)\n"
    "  --body B       sun, moon or both (default both)\n"
    "  --margin DEG   how far beyond the disc's edge a near miss is still listed (default 0.5)\n"
    "  --limit N      read at most N sets (default 500, 0 for all)\n"
    "  --csv          CSV instead of the aligned table:\n"
    "                   catalog,name,body,time_utc,separation_arcsec,body_radius_arcsec,\n"
    "                   duration_s,satellite_altitude_deg,satellite_azimuth_deg,distance_km,\n"
    "                   centre_line_km,centre_line_azimuth_deg\n"
    "                 (times with milliseconds, angles and distances with 3 decimals); the\n"
    "                 time table's start-up lines then go to standard error\n"
    "  --help         this text\n"
    "\n"
    "Exit status: 0 done, 1 output not written, 2 bad arguments or unreadable file.\n";

constexpr double kHalfMillisecond = 0.0005 / kSecondsPerDay;

std::string isoTime(const TimeScales& scales, double jd) {
    return formatCalendar(scales.utcCalendarFromJd(jd + kHalfMillisecond), CalendarFormat::Iso);
}

void printCsv(const Catalogue& catalogue, const std::vector<Transit>& transits,
              const TimeScales& scales) {
    std::puts("catalog,name,body,time_utc,separation_arcsec,body_radius_arcsec,duration_s,"
              "satellite_altitude_deg,satellite_azimuth_deg,distance_km,centre_line_km,"
              "centre_line_azimuth_deg");
    for (const Transit& t : transits) {
        const CatalogueEntry& satellite = catalogue[t.index];
        std::printf("%d,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s\n", int(satellite.elements.satnum),
                    csvName(satellite.nameLine).c_str(), transitBodyName(t.body),
                    isoTime(scales, t.jd).c_str(), fixed(t.separationArcsec, 3).c_str(),
                    fixed(t.bodyRadiusArcsec, 3).c_str(), fixed(t.durationS, 3).c_str(),
                    fixed(t.altitudeDeg, 3).c_str(), fixed(t.azimuthDeg, 3).c_str(),
                    fixed(t.distanceKm, 3).c_str(), fixed(t.centreLineKm, 3).c_str(),
                    fixed(t.centreLineAzimuthDeg, 3).c_str());
    }
}

void printTable(const Catalogue& catalogue, const std::vector<Transit>& transits,
                const TimeScales& scales) {
    const char* format = "%-32s  %-4s  %-24s  %9s  %9s  %8s  %7s  %7s  %9s  %9s  %7s\n";
    std::printf(format, "Name", "Body", "Closest (UTC)", "Sep (\")", "Radius (\")", "Dur (s)",
                "Alt", "Az", "Dist (km)", "Line (km)", "Line az");
    for (const Transit& t : transits)
        std::printf(format, catalogue[t.index].displayName, transitBodyName(t.body),
                    isoTime(scales, t.jd).c_str(), fixed(t.separationArcsec, 1).c_str(),
                    fixed(t.bodyRadiusArcsec, 1).c_str(), fixed(t.durationS, 3).c_str(),
                    fixed(t.altitudeDeg, 1).c_str(), fixed(t.azimuthDeg, 1).c_str(),
                    fixed(t.distanceKm, 1).c_str(), fixed(t.centreLineKm, 2).c_str(),
                    fixed(t.centreLineAzimuthDeg, 0).c_str());
}

} // namespace

int runTransits(const std::vector<std::string>& args) {
    const std::vector<OptionRule> rules = {{"tle", true},   {"from", true}, {"hours", true},
                                           {"site", true},  {"lat", true},  {"lon", true},
                                           {"elev", true},  {"body", true}, {"margin", true},
                                           {"limit", true}, {"csv", false}, {"help", false}};
    CommandOptions options(rules);
    std::string error;
    if (!options.parse(args, error))
        return usageError("transits: " + error);
    if (options.has("help")) {
        std::fputs(kHelp, stdout);
        return finishOutput();
    }
    if (!options.positional().empty())
        return usageError("transits: unexpected argument '" + options.positional().front() + "'");

    Site site;
    double hours = 72;
    double limit = 500;
    TransitOptions search;
    std::string horizonPath;
    if (!readSite(options, site, error, &horizonPath) ||
        !readNumber(options, "hours", 0, 8784, hours, error) ||
        !readNumber(options, "margin", 0, 90, search.marginDeg, error) ||
        !readNumber(options, "limit", 0, 1e9, limit, error))
        return usageError("transits: " + error);
    if (limit != std::floor(limit))
        return usageError("transits: --limit needs a whole number, got '" + options.value("limit") +
                          "'");
    if (options.has("body")) {
        const std::string body = options.value("body");
        if (body != "sun" && body != "moon" && body != "both")
            return usageError("transits: --body needs sun, moon or both, got '" + body + "'");
        search.sun = body != "moon";
        search.moon = body != "sun";
    }
    std::optional<CalendarTime> from;
    if (!readInstant(options, "from", from, error))
        return usageError("transits: " + error);

    const bool csv = options.has("csv");
    const std::string path = options.has("tle") ? options.value("tle") : kCatalogueFileName;
    Catalogue catalogue;
    if (!readElementSets(path, std::size_t(limit), catalogue, error))
        return usageError("transits: " + error);
    const TimeScales scales = loadTimeScales(csv ? stderr : stdout);

    HorizonMask horizon;
    if (!horizonPath.empty() && !readHorizon(horizonPath, horizon, error))
        return usageError("transits: " + error);
    PassWindow window;
    window.horizon = &horizon;
    window.fromJd = from ? scales.workingJdFromUtcCalendar(*from) : scales.currentJd();
    window.toJd = window.fromJd + hours / 24.0;
    const std::vector<Transit> transits =
        findCatalogueTransits(catalogue, scales, site, window, search);
    if (csv)
        printCsv(catalogue, transits, scales);
    else
        printTable(catalogue, transits, scales);
    return finishOutput();
}
