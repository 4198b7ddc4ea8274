// orbitrak-cli passes: the pass planner's search over a catalogue, from one site over a window,
// computed as the window computes it.
#include "astro/calendar.h"
#include "astro/site.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/omm_reader.h"
#include "planning/magnitudes.h"
#include "planning/pass_export.h"
#include "planning/passes.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kHelp[] =
    "Usage: orbitrak-cli passes [--tle FILE] [--from TIME] [--hours H]\n"
    "                           [--site NAME | --lat DEG --lon DEG --elev M] [--min-alt DEG] "
    "[--limit N] "
    "[--csv]\n"
    "                           [--threads N] [--horizon FILE] [--magnitudes FILE] [--ics]\n"
    "\n"
    "Lists every pass of the satellites of FILE above a site's horizon threshold within a time\n"
    "window: rise, culmination and set (to the millisecond), whether the satellite is sunlit at\n"
    "culmination, the Sun's altitude then, and whether the pass is visible (sunlit while the Sun\n"
    "stands below -6 deg). A pass under way when the window opens has no rise, one still under\n"
    "way when it closes no set. The time table (user_utc.bin or utc.bin) is read from the\n"
    "current directory, as the window reads it.\n"
    "\n"
    "Options:\n"
    "  --tle FILE     element sets: TLEs (with or without name lines), or OMM as JSON, CSV,\n"
    "                 XML or KVN; a file in none of these forms exits with status 2\n"
    "                 (default satell.txt)\n"
    "  --from TIME    start of the window, UTC, ISO 8601, e.g. 2026-03-19T12:00:00.250Z or\n"
    "                 2026-03-19 (0h)\n"
    "                 (default now)\n"
    "  --hours H      length of the window in hours (default 24)\n"
    "  --site NAME    an observing site named in the window (Mount > Observing site...),\n"
    "                 instead of --lat, --lon and --elev; its horizon file, if it names\n"
    "                 one, applies unless --horizon is given\n"
    "  --lat DEG      site latitude, north positive (default 45)\n"
    "  --lon DEG      site longitude, EAST positive (default 45)\n"
    "  --elev M       site elevation above the WGS-84 ellipsoid in metres (default 120)\n"
    "  --min-alt DEG  the horizon threshold (default 0)\n"
    "  --horizon FILE the site's horizon: lines of 'azimuth altitude' in degrees, separated\n"
    "                 by blanks or a comma, '#' comments; linear between the points and\n"
    "                 round across north. Passes rise and set where the satellite clears it\n"
    "                 (or --min-alt, where that is higher)\n"
    "  --limit N      read at most N sets (default 500, 0 for all)\n"
    "  --threads N    threads the search runs on (default: one per processor); the passes\n"
    "                 are the same for any number\n"
    "  --csv          CSV instead of the aligned table:\n"
    "                   catalog,name,rise_utc,rise_azimuth_deg,culmination_utc,\n"
    "                   culmination_altitude_deg,culmination_azimuth_deg,set_utc,\n"
    "                   set_azimuth_deg,sunlit,sun_altitude_deg,visible\n"
    "                 (times with milliseconds, empty without a rise or set; angles with 6\n"
    "                 decimals; yes/no); the time table's start-up lines then go to standard\n"
    "                 error\n"
    "  --magnitudes FILE\n"
    "                 standard magnitudes, lines of 'catalogue-number magnitude' (at 1000 km,\n"
    "                 half lit; '#' comments): adds the estimated magnitude at culmination,\n"
    "                 empty where unknown or in the Earth's shadow (a Mag column; with --csv a\n"
    "                 last column, magnitude)\n"
    "  --ics          an iCalendar file (RFC 5545) instead: one event per whole pass (rise\n"
    "                 and set within the window), rise to set\n"
    "  --help         this text\n"
    "\n"
    "Passes are listed by their first instant in the window, then by catalogue number.\n"
    "Exit status: 0 done, 1 output not written, 2 bad arguments or unreadable file.\n";

constexpr double kHalfMillisecond = 0.0005 / kSecondsPerDay;

// The UTC calendar of a working date, to the nearest millisecond.
CalendarTime utc(const TimeScales& scales, double jd) {
    return scales.utcCalendarFromJd(jd + kHalfMillisecond);
}

std::string tableTime(const TimeScales& scales, double jd) {
    return formatCalendar(utc(scales, jd), CalendarFormat::Seconds);
}

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

// The window's pass table.
void printTable(const std::vector<ExportedPass>& passes, const TimeScales& scales,
                bool withMagnitude) {
    const char* format = "%-32s  %-19s  %-19s  %13s  %-19s  %-6s  %-7s";
    std::printf(format, "Name", "Rise (UTC)", "Culmination (UTC)", "Max alt (deg)", "Set (UTC)",
                "Sunlit", "Visible");
    std::puts(withMagnitude ? "  Mag" : "");
    for (const ExportedPass& entry : passes) {
        const SatellitePass& p = entry.pass;
        std::printf(
            format, entry.name.c_str(), p.hasRise ? tableTime(scales, p.rise.jd).c_str() : "",
            tableTime(scales, p.culmination.jd).c_str(),
            fixed(p.culmination.altitudeDeg, 1).c_str(),
            p.hasSet ? tableTime(scales, p.set.jd).c_str() : "", yesNo(p.sunlit), yesNo(p.visible));
        const std::string magnitude =
            entry.magnitude ? "  " + fixed(*entry.magnitude, 1) : std::string();
        std::puts(withMagnitude ? magnitude.c_str() : "");
    }
}

} // namespace

int runPasses(const std::vector<std::string>& args) {
    const std::vector<OptionRule> rules = {
        {"tle", true},        {"from", true}, {"hours", true},  {"site", true},
        {"lat", true},        {"lon", true},  {"elev", true},   {"min-alt", true},
        {"limit", true},      {"csv", false}, {"help", false},  {"threads", true},
        {"magnitudes", true}, {"ics", false}, {"horizon", true}};
    CommandOptions options(rules);
    std::string error;
    if (!options.parse(args, error))
        return usageError("passes: " + error);
    if (options.has("help")) {
        std::fputs(kHelp, stdout);
        return finishOutput();
    }
    if (!options.positional().empty())
        return usageError("passes: unexpected argument '" + options.positional().front() + "'");

    Site site;
    double hours = 24;
    double minAltitude = 0;
    double limit = 500;
    double threads = passSearchThreads();
    std::string horizonPath;
    if (!readSite(options, site, error, &horizonPath) ||
        !readNumber(options, "hours", 0, 8784, hours, error) ||
        !readNumber(options, "min-alt", -90, 90, minAltitude, error) ||
        !readNumber(options, "limit", 0, 1e9, limit, error) ||
        !readNumber(options, "threads", 1, 1024, threads, error))
        return usageError("passes: " + error);
    if (limit != std::floor(limit))
        return usageError("passes: --limit needs a whole number, got '" + options.value("limit") +
                          "'");
    if (threads != std::floor(threads))
        return usageError("passes: --threads needs a whole number, got '" +
                          options.value("threads") + "'");

    std::optional<CalendarTime> from;
    if (!readInstant(options, "from", from, error))
        return usageError("passes: " + error);

    const bool csv = options.has("csv");
    const bool ics = options.has("ics");
    if (csv && ics)
        return usageError("passes: --csv and --ics exclude each other");
    StandardMagnitudes magnitudes;
    const bool withMagnitude = options.has("magnitudes");
    if (withMagnitude) {
        const MagnitudeReadResult read =
            readStandardMagnitudeFile(options.value("magnitudes"), magnitudes);
        if (!read.file)
            return usageError("passes: " + describeFileFault(options.value("magnitudes"), read.file,
                                                             kMaxMagnitudeFileBytes));
        if (!read.ok)
            return usageError("passes: cannot read '" + options.value("magnitudes") + "': line " +
                              std::to_string(read.errorLine) +
                              " is not a catalogue number and a magnitude");
    }
    const std::string path = options.has("tle") ? options.value("tle") : kCatalogueFileName;
    Catalogue catalogue;
    if (!readElementSets(path, std::size_t(limit), catalogue, error))
        return usageError("passes: " + error);
    const TimeScales scales = loadTimeScales(csv || ics ? stderr : stdout);

    // --horizon wins over the named site's horizon.
    if (options.has("horizon"))
        horizonPath = options.value("horizon");
    HorizonMask horizon;
    if (!horizonPath.empty() && !readHorizon(horizonPath, horizon, error))
        return usageError("passes: " + error);

    PassWindow window;
    window.fromJd = from ? scales.workingJdFromUtcCalendar(*from) : scales.currentJd();
    window.toJd = window.fromJd + hours / 24.0;
    window.minAltitudeDeg = minAltitude;
    window.horizon = &horizon;
    const std::vector<CataloguePass> passes =
        findCataloguePasses(catalogue, scales, site, window, 0, {}, unsigned(threads));

    std::vector<ExportedPass> rows;
    rows.reserve(passes.size());
    for (const CataloguePass& entry : passes) {
        CatalogueEntry& satellite = catalogue[entry.index];
        ExportedPass row{int(satellite.elements.satnum),
                         csv || ics ? satellite.nameLine : satellite.displayName, entry.pass,
                         std::nullopt};
        const auto known = magnitudes.find(row.catalogNumber);
        if (known != magnitudes.end())
            row.magnitude = passMagnitude(satellite, scales, site, entry.pass, known->second);
        rows.push_back(std::move(row));
    }
    if (csv)
        std::fputs(passesCsv(rows, scales, withMagnitude).c_str(), stdout);
    else if (ics)
        std::fputs(passesICalendar(rows, scales, site, utc(scales, scales.currentJd())).c_str(),
                   stdout);
    else
        printTable(rows, scales, withMagnitude);
    return finishOutput();
}
