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
#include "planning/planned.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli passes [--tle FILE] [--from TIME] [--hours H]\n"
    "                           [--site NAME | --lat DEG --lon DEG --elev M] [--min-alt DEG] "
    "[--limit N] [--csv]\n"
    "                           [--threads N] [--horizon FILE] [--magnitudes FILE] [--ics]\n"
    "\n"
    "Lists every pass of the satellites of FILE above a site's horizon threshold within a time\n"
    "window: rise, culmination and set (to the millisecond), whether the satellite is sunlit at\n"
    "culmination, the Sun's altitude then, and whether the pass is visible (sunlit while the Sun\n"
    "stands below -6 deg). A pass under way when the window opens has no rise, one still under\n"
    "way when it closes no set. The time table (user_utc.bin or utc.bin) is read from the\n"
    "current directory, as the window reads it.\n"
    "\n";

const char kClosing[] =
    "Passes are listed by their first instant in the window, then by catalogue number.\n"
    "Exit status: 0 done, 1 output not written, 2 bad arguments or unreadable file.\n";

} // namespace

Command passesCommand() {
    return {"passes",
            "the passes of every satellite over a site within a time window",
            0,
            runPasses,
            17,
            kUsage,
            {kTleOption,
             kFromOption,
             kHoursOption,
             kSiteOption.describedAs(
                 "an observing site named in the window (Mount > Observing site...),\n"
                 "instead of --lat, --lon and --elev; its horizon file, if it names\n"
                 "one, applies unless --horizon is given"),
             kLatOption,
             kLonOption,
             kElevOption,
             {"min-alt", "DEG", "the horizon threshold (default 0)"},
             {"horizon", "FILE",
              "the site's horizon: lines of 'azimuth altitude' in degrees, separated\n"
              "by blanks or a comma, '#' comments; linear between the points and\n"
              "round across north. Passes rise and set where the satellite clears it\n"
              "(or --min-alt, where that is higher)"},
             kLimitOption,
             {"threads", "N",
              "threads the search and the writing of its lines run on (default:\n"
              "one per processor); the passes are the same for any number"},
             kCsvOption.describedAs(
                 "CSV instead of the aligned table:\n"
                 "  catalog,name,rise_utc,rise_azimuth_deg,culmination_utc,\n"
                 "  culmination_altitude_deg,culmination_azimuth_deg,set_utc,\n"
                 "  set_azimuth_deg,sunlit,sun_altitude_deg,visible\n"
                 "(times with milliseconds, empty without a rise or set; angles with 6\n"
                 "decimals; yes/no); the time table's start-up lines then go to standard\n"
                 "error"),
             {"magnitudes", "FILE",
              "standard magnitudes, lines of 'catalogue-number magnitude' (at 1000 km,\n"
              "half lit; '#' comments): adds the estimated magnitude at culmination,\n"
              "empty where unknown or in the Earth's shadow (a Mag column; with --csv a\n"
              "last column, magnitude)"},
             {"ics", nullptr,
              "an iCalendar file (RFC 5545) instead: one event per whole pass (rise\n"
              "and set within the window), rise to set"}},
            kClosing};
}

namespace {

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

const char kTableFormat[] = "%-32s  %-19s  %-19s  %13s  %-19s  %-6s  %-7s";

// The window's pass table, a line at a time.
void printTableHeader(bool withMagnitude) {
    std::printf(kTableFormat, "Name", "Rise (UTC)", "Culmination (UTC)", "Max alt (deg)",
                "Set (UTC)", "Sunlit", "Visible");
    std::puts(withMagnitude ? "  Mag" : "");
}

void appendTableRow(std::string& out, const PlannedPass& entry, const TimeScales& scales,
                    bool withMagnitude) {
    const SatellitePass& p = entry.pass;
    const std::string rise = p.hasRise ? tableTime(scales, p.rise.jd) : std::string();
    const std::string culmination = tableTime(scales, p.culmination.jd);
    const std::string altitude = fixed(p.culmination.altitudeDeg, 1);
    const std::string set = p.hasSet ? tableTime(scales, p.set.jd) : std::string();
    const auto print = [&](char* to, std::size_t room) {
        return std::snprintf(to, room, kTableFormat, entry.name.c_str(), rise.c_str(),
                             culmination.c_str(), altitude.c_str(), set.c_str(), yesNo(p.sunlit),
                             yesNo(p.visible));
    };
    const int length = print(nullptr, 0);
    if (length > 0) {
        const std::size_t at = out.size();
        out.resize(at + std::size_t(length) + 1);
        print(&out[at], std::size_t(length) + 1);
        out.resize(at + std::size_t(length));
    }
    if (withMagnitude && entry.magnitude)
        out += "  " + fixed(*entry.magnitude, 1);
    out += '\n';
}

// Formats and writes the passes on threads of their own, in the order they come, while the
// plan goes on putting the next ones in order: a week of a catalogue is 600,000 lines, and
// their times' calendars alone took a second on the plan's thread. Batches are formatted side
// by side and written in turn; without threads, each as it comes.
class PassWriter {
public:
    using Format = std::function<void(std::string&, const PlannedPass&)>;

    PassWriter(const std::string& header, Format format, unsigned threads)
        : format(std::move(format)) {
        std::fwrite(header.data(), 1, header.size(), stdout);
        try {
            for (unsigned k = 0; k < threads; ++k)
                workers.emplace_back([this] { run(); });
        } catch (const std::system_error&) {
            // Fewer threads, or none: formatted where they come.
        }
    }
    ~PassWriter() { finish(); }

    void add(PlannedPass& pass) {
        batch.push_back(std::move(pass));
        if (batch.size() >= kBatch)
            handOver();
    }

    // Everything handed over is written when this returns.
    void finish() {
        handOver();
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        changed.notify_all();
        for (std::thread& worker : workers)
            worker.join();
        workers.clear();
    }

private:
    static constexpr std::size_t kBatch = 2048;
    static constexpr std::size_t kMostWaiting = 4; // batches

    void handOver() {
        if (batch.empty())
            return;
        if (workers.empty()) {
            std::string text;
            for (const PlannedPass& p : batch)
                format(text, p);
            std::fwrite(text.data(), 1, text.size(), stdout);
            batch.clear();
            return;
        }
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return waiting.size() < kMostWaiting; });
        waiting.push_back(std::move(batch));
        batch = {};
        batch.reserve(kBatch);
        lock.unlock();
        changed.notify_all();
    }

    void run() {
        for (;;) {
            std::vector<PlannedPass> next;
            std::size_t number = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [this] { return done || !waiting.empty(); });
                if (waiting.empty())
                    return;
                next = std::move(waiting.front());
                waiting.pop_front();
                number = taken++;
            }
            changed.notify_all();
            std::string text;
            for (const PlannedPass& p : next)
                format(text, p);
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return written == number; });
            std::fwrite(text.data(), 1, text.size(), stdout);
            ++written;
            lock.unlock();
            changed.notify_all();
        }
    }

    Format format;
    std::vector<PlannedPass> batch;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<PlannedPass>> waiting;
    std::size_t taken = 0, written = 0; // batches
    bool done = false;
    std::vector<std::thread> workers;
};

} // namespace

int runPasses(const CommandOptions& options) {
    Site site;
    double hours = 24;
    double minAltitude = 0;
    double limit = 500;
    double threads = passSearchThreads();
    std::string horizonPath;
    std::string error;
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
    Catalogue catalogue;
    if (!readElementSets(options, std::size_t(limit), catalogue, error))
        return usageError("passes: " + error);
    const TimeScales scales = loadTimeScales(csv || ics ? stderr : stdout);

    // --horizon wins over the named site's horizon.
    if (options.has("horizon"))
        horizonPath = options.value("horizon");
    HorizonMask horizon;
    if (!horizonPath.empty() && !readHorizon(horizonPath, horizon, error))
        return usageError("passes: " + error);

    PlanRequest request;
    request.window.fromJd = from ? scales.workingJdFromUtcCalendar(*from) : scales.currentJd();
    request.window.toJd = request.window.fromJd + hours / 24.0;
    request.window.minAltitudeDeg = minAltitude;
    request.window.horizon = &horizon;
    request.magnitudes = &magnitudes;
    request.threads = unsigned(threads);
    // The passes are written as the plan hands them on, none kept but the calendar's; their
    // lines formatted on no more threads than there are processors.
    const unsigned writers = std::min(request.threads, passSearchThreads());
    std::vector<ExportedPass> events;
    std::optional<PassWriter> writer;
    if (csv) {
        writer.emplace(
            passesCsvHeader(withMagnitude),
            [&](std::string& out, const PlannedPass& p) {
                const CatalogueEntry& satellite = catalogue[p.satellite];
                appendPassCsv(out, int(satellite.elements.satnum), satellite.nameLine, p.pass,
                              p.magnitude, scales, withMagnitude);
            },
            writers);
    } else if (!ics) {
        printTableHeader(withMagnitude);
        std::fflush(stdout);
        writer.emplace(
            std::string(),
            [&](std::string& out, const PlannedPass& p) {
                appendTableRow(out, p, scales, withMagnitude);
            },
            writers);
    }
    request.passSink = [&](PlannedPass& entry) {
        if (writer) {
            writer->add(entry);
        } else if (entry.pass.whole()) { // the calendar holds no other
            const CatalogueEntry& satellite = catalogue[entry.satellite];
            events.push_back(
                {int(satellite.elements.satnum), satellite.nameLine, entry.pass, entry.magnitude});
        }
    };
    planCatalogue(catalogue, scales, site, request);
    if (writer)
        writer->finish();
    if (ics)
        std::fputs(passesICalendar(events, scales, site, utc(scales, scales.currentJd())).c_str(),
                   stdout);
    return finishOutput();
}
