// Arbitrary bytes as a utc.bin: the table-file loader, then the program's start-up path (the file
// found in the working directory, the leap extrapolation set up on it) and every conversion of
// the time scales it gives, at a few instants, table or not.

#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "astro/utc_table.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// Working Julian dates: year 2000, March 2026, the calendar reform, 1700, 1972, 2100, far
// past and future, and the unusable ones.
constexpr double kInstants[] = {2451545.0, 2461118.75, 2299160.5, 2299159.25, 2341972.5,
                                2441317.5, 2488069.5,  0.0,       -1.0e7,     1.0e9,
                                1.0e300,   kNaN,       kInf,      -kInf};
// Decimal years for the Delta T lookups, in an order that moves the search cache both ways.
constexpr double kYears[] = {2000.0, 1620.0, 2024.5, 1972.0, 3000.0, 1800.0, 2017.0,
                             -1.0e6, 1.0e6,  kNaN,   kInf,   1999.5, 1999.4};

// A few plain calendars and extreme ones, and the dates that the table's own records name, with
// second 60 on the day before.
std::vector<CalendarTime> calendarsFor(const UtcTable* table) {
    using Limits = std::numeric_limits<std::int32_t>;
    std::vector<CalendarTime> out = {
        makeCalendar(2026, 3, 19, 12), makeCalendar(1582, 10, 10, 12),
        makeCalendar(-4713, 1, 1, 12),
        makeCalendar(Limits::max(), 65535, 65535, 65535, 65535, 65535, 65535),
        makeCalendar(Limits::min(), 0, 0)};
    if (!table)
        return out;
    for (std::size_t i = 0; i < table->leaps.size() && i < 4; ++i) {
        const LeapRecord& r = table->leaps[i];
        out.push_back(makeCalendar(r.year, r.month, r.day));
        out.push_back(makeCalendar(r.year, r.month, r.day - 1, 23, 59, 60, 500));
    }
    out.push_back(
        makeCalendar(table->tableDate.year, table->tableDate.month, table->tableDate.day));
    return out;
}

void convert(const TimeScales& scales) {
    const UtcTable* table = scales.table();
    for (const double y : kYears) {
        if (table)
            deltaT(*table, y);
    }
    for (const double jd : kInstants) {
        if (table) {
            const double tt = jd + kWorkingToTtDays;
            ttToUt1(*table, tt);
            utcCalendarToTt(*table, ttToUtcCalendar(*table, tt));
        }
        calendarToJd(table, jdToCalendar(table, jd));
        scales.ut1FromJd(jd);
        const CalendarTime c = scales.utcCalendarFromJd(jd);
        TimeInstant instant = scales.instant();
        instant.setJd(jd);
        bool leap = false;
        instant.utc(&leap);
        if (leap && c.second < 60)
            fuzz::fail("leap flag without second 60");
        formatCalendar(c);
    }
    for (const CalendarTime& c : calendarsFor(table)) {
        if (table)
            utcCalendarToTt(*table, c);
        calendarToJd(table, c);
        scales.workingJdFromUtcCalendar(c);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzz::scratchFolder();
    const std::string path = folder + "/utc.bin";
    fuzz::writeFile(path, data, size);

    const std::optional<UtcTable> table = loadUtcFile(path);
    if (table) {
        if (table->leaps.empty() || table->points.size() < 12)
            fuzz::fail("a table below the minimum counts was taken");
        // Everything up to c is taken as it stands: written again, the table gives the same
        // bytes (those after c are ignored).
        const std::vector<unsigned char> again = encodeUtcTable(*table);
        if (again.size() > size || !std::equal(again.begin(), again.end(), data))
            fuzz::fail("the table read differs from the file");
    }

    // The same file found as utc.bin at start-up.
    char previous[4096];
    if (!getcwd(previous, sizeof previous) || chdir(folder.c_str()) != 0)
        fuzz::fail("cannot enter the scratch folder");
    const TimeScales scales = TimeScales::fromFolders();
    if (chdir(previous) != 0)
        fuzz::fail("cannot leave the scratch folder");
    if ((scales.table() != nullptr) != table.has_value())
        fuzz::fail("start-up and the loader disagree about the file");
    convert(scales);
    return 0;
}
