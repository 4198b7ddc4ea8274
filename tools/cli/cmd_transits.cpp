// orbitrak-cli transits: satellites crossing the Sun or the Moon as seen from one site, with the
// centre line, over the passes of a time window.
#include "astro/calendar.h"
#include "astro/site.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/omm_reader.h"
#include "planning/pass_export.h"
#include "planning/planned.h"
#include "planning/transit_export.h"
#include "planning/transits.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli transits [--tle FILE] [--from TIME] [--hours H]\n"
    "                             [--site NAME | --lat DEG --lon DEG --elev M] [--body "
    "sun|moon|both]\n"
    "                             [--margin DEG] [--limit N]\n"
    "                             [--csv | --geojson | --kml | --gpx]\n"
    "\n"
    "Lists the satellites of FILE that pass in front of the Sun or the Moon, or within a margin\n"
    "of the disc's edge, as seen from a site within a time window, the body above the horizon.\n"
    "Each line gives the closest approach (to the millisecond), the separation from the body's\n"
    "centre and the body's radius in arc-seconds, how long the satellite stays on the disc (0\n"
    "for a near miss), where the satellite stands and how far it is, and the centre line: how\n"
    "far (km) and toward which azimuth the observer must move to see it cross the centre.\n"
    "With --geojson, --kml or --gpx it writes instead, for a map, each transit's centre line\n"
    "(the ground from which the satellite crosses the centre, at the site's elevation, 50 km\n"
    "either side of the point nearest the site or to where the body sets, with the instant of\n"
    "each point) and its path (the band from which it crosses any part of the disc).\n"
    "The time table (user_utc.bin or utc.bin) is read from the current directory.\n"
    "\n";

const char kClosing[] =
    "Exit status: 0 done, 1 output not written, 2 bad arguments or unreadable file.\n";

} // namespace

Command transitsCommand() {
    return {"transits",
            "satellites crossing the Sun or the Moon as seen from a site, with the centre line",
            0,
            runTransits,
            17,
            kUsage,
            {kTleOption,
             kFromOption,
             kHoursOption.describedAs("length of the window in hours (default 72)"),
             kSiteOption.describedAs(
                 "an observing site named in the window (Mount > Observing site...),\n"
                 "instead of --lat, --lon and --elev; its horizon file, if it names\n"
                 "one, hides the transits behind it"),
             kLatOption,
             kLonOption,
             kElevOption,
             {"body", "B", "sun, moon or both (default both)"},
             {"margin", "DEG",
              "how far beyond the disc's edge a near miss is still listed (default 0.5)"},
             kLimitOption,
             kCsvOption.describedAs(
                 "CSV instead of the aligned table:\n"
                 "  catalog,name,body,time_utc,separation_arcsec,body_radius_arcsec,\n"
                 "  duration_s,satellite_altitude_deg,satellite_azimuth_deg,distance_km,\n"
                 "  centre_line_km,centre_line_azimuth_deg\n"
                 "(times with milliseconds, angles and distances with 3 decimals); the\n"
                 "time table's start-up lines then go to standard error"),
             {"geojson", nullptr,
              "GeoJSON (RFC 7946) instead of the table: per transit a LineString\n"
              "of the centre line (properties kind \"centre_line\", catalog, name,\n"
              "body, time_utc and times_utc, one per point) and a Polygon of the\n"
              "path (kind \"path\")"},
             {"kml", nullptr, "KML 2.2 instead of the table: the same line and path as placemarks"},
             {"gpx", nullptr, "GPX 1.1 instead of the table: each centre line as a track"}},
            kClosing};
}

namespace {

constexpr double kHalfMillisecond = 0.0005 / kSecondsPerDay;

std::string isoTime(const TimeScales& scales, double jd) {
    return formatCalendar(scales.utcCalendarFromJd(jd + kHalfMillisecond), CalendarFormat::Iso);
}

void printCsv(const Catalogue& catalogue, const std::vector<PlannedTransit>& transits,
              const TimeScales& scales) {
    std::puts("catalog,name,body,time_utc,separation_arcsec,body_radius_arcsec,duration_s,"
              "satellite_altitude_deg,satellite_azimuth_deg,distance_km,centre_line_km,"
              "centre_line_azimuth_deg");
    for (const PlannedTransit& planned : transits) {
        const Transit& t = planned.transit;
        const CatalogueEntry& satellite = catalogue[planned.satellite];
        std::printf("%d,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s\n", int(satellite.elements.satnum),
                    csvName(satellite.nameLine).c_str(), transitBodyName(t.body),
                    isoTime(scales, t.jd).c_str(), fixed(t.separationArcsec, 3).c_str(),
                    fixed(t.bodyRadiusArcsec, 3).c_str(), fixed(t.durationS, 3).c_str(),
                    fixed(t.altitudeDeg, 3).c_str(), fixed(t.azimuthDeg, 3).c_str(),
                    fixed(t.distanceKm, 3).c_str(), fixed(t.centreLineKm, 3).c_str(),
                    fixed(t.centreLineAzimuthDeg, 3).c_str());
    }
}

void printTable(const std::vector<PlannedTransit>& transits, const TimeScales& scales) {
    const char* format = "%-32s  %-4s  %-24s  %9s  %9s  %8s  %7s  %7s  %9s  %9s  %7s\n";
    std::printf(format, "Name", "Body", "Closest (UTC)", "Sep (\")", "Radius (\")", "Dur (s)",
                "Alt", "Az", "Dist (km)", "Line (km)", "Line az");
    for (const PlannedTransit& planned : transits) {
        const Transit& t = planned.transit;
        std::printf(format, planned.name.c_str(), transitBodyName(t.body),
                    isoTime(scales, t.jd).c_str(), fixed(t.separationArcsec, 1).c_str(),
                    fixed(t.bodyRadiusArcsec, 1).c_str(), fixed(t.durationS, 3).c_str(),
                    fixed(t.altitudeDeg, 1).c_str(), fixed(t.azimuthDeg, 1).c_str(),
                    fixed(t.distanceKm, 1).c_str(), fixed(t.centreLineKm, 2).c_str(),
                    fixed(t.centreLineAzimuthDeg, 0).c_str());
    }
}

} // namespace

int runTransits(const CommandOptions& options) {
    Site site;
    double hours = 72;
    double limit = 500;
    TransitOptions search;
    std::string horizonPath;
    std::string error;
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

    int forms = 0;
    for (const char* form : {"csv", "geojson", "kml", "gpx"})
        forms += options.has(form) ? 1 : 0;
    if (forms > 1)
        return usageError("transits: --csv, --geojson, --kml and --gpx exclude each other");
    const bool csv = options.has("csv");
    const bool map = forms > 0 && !csv;
    Catalogue catalogue;
    if (!readElementSets(options, std::size_t(limit), catalogue, error))
        return usageError("transits: " + error);
    const TimeScales scales = loadTimeScales(forms > 0 ? stderr : stdout);

    HorizonMask horizon;
    if (!horizonPath.empty() && !readHorizon(horizonPath, horizon, error))
        return usageError("transits: " + error);
    PlanRequest request;
    request.window.horizon = &horizon;
    request.window.fromJd = from ? scales.workingJdFromUtcCalendar(*from) : scales.currentJd();
    request.window.toJd = request.window.fromJd + hours / 24.0;
    request.transits = search;
    request.listPasses = false;
    const std::vector<PlannedTransit> transits =
        planCatalogue(catalogue, scales, site, request).transits;
    if (map) {
        int missing = 0;
        const std::vector<ExportedTransit> exported =
            exportedTransits(transits, catalogue, scales, site, &missing);
        if (missing > 0)
            std::fprintf(stderr,
                         "orbitrak-cli: transits: %d transit(s) left out: where the centre line "
                         "passes nearest the site the body is down, or it misses the Earth\n",
                         missing);
        const TransitFileForm form = options.has("kml")   ? TransitFileForm::Kml
                                     : options.has("gpx") ? TransitFileForm::Gpx
                                                          : TransitFileForm::GeoJson;
        std::fputs(transitsFile(form, exported, scales).c_str(), stdout);
    } else if (csv)
        printCsv(catalogue, transits, scales);
    else
        printTable(transits, scales);
    return finishOutput();
}
