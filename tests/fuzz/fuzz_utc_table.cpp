// Arbitrary bytes as a utc.bin: the table-file loader, then, for a table it takes, the set-up
// the program runs at start-up (leap extrapolation, the shared instant) and every conversion
// at a few instants, and the same conversions through a shared instant bound to no table.

#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "astro/utc_table.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <unistd.h>

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

// The calendar dates that the table's own records name, with second 60 on the day before,
// and a few plain ones.
std::vector<CalendarTime> calendarsFor(const UtcTable* table) {
    std::vector<CalendarTime> out;
    CalendarTime c;
    c.year = 2026;
    c.month = 3;
    c.day = 19;
    c.hour = 12;
    out.push_back(c);
    c.year = 1582;
    c.month = 10;
    c.day = 10;
    out.push_back(c);
    c.year = -4713;
    c.month = 1;
    c.day = 1;
    out.push_back(c);
    c.year = std::numeric_limits<std::int32_t>::max();
    c.month = 65535;
    c.day = 65535;
    c.hour = 65535;
    c.minute = 65535;
    c.second = 65535;
    c.millisecond = 65535;
    out.push_back(c);
    c = CalendarTime{};
    c.year = std::numeric_limits<std::int32_t>::min();
    c.month = 0;
    c.day = 0;
    out.push_back(c);
    if (table) {
        std::size_t n = 0;
        for (const LeapRecord& r : table->leaps) {
            if (++n > 4)
                break;
            CalendarTime d;
            d.year = r.year;
            d.month = r.month;
            d.day = r.day;
            out.push_back(d);
            d.day = static_cast<std::uint16_t>(d.day - 1);
            d.hour = 23;
            d.minute = 59;
            d.second = 60;
            d.millisecond = 500;
            out.push_back(d);
        }
        CalendarTime t = table->table_date;
        t.hour = 0;
        out.push_back(t);
    }
    return out;
}

void convertWithTable(const UtcTable& table) {
    for (const double y : kYears)
        delta_t(table, y);
    for (const double jd : kInstants) {
        const double tt = jd + kWorkingToTtDays;
        tt_to_ut1(table, tt);
        const CalendarTime c = tt_to_utc_calendar(table, tt);
        utc_calendar_to_tt(table, c);
        calendar_to_jd(&table, jd_to_calendar(&table, jd));
    }
    for (const CalendarTime& c : calendarsFor(&table)) {
        utc_calendar_to_tt(table, c);
        calendar_to_jd(&table, c);
    }
}

// The module's operations on the shared instant, as the window and the live table use them.
void convertThroughModule() {
    for (const double jd : kInstants) {
        ut1_from_jd(jd);
        utc_from_jd(jd);
        const CalendarTime c = utc_calendar_from_jd(jd);
        bool leap = false;
        TimeInstant& instant = shared_time_instant();
        instant.get_utc(&leap);
        if (leap && c.second < 60)
            fuzz::fail("leap flag without second 60");
        format_calendar(c);
    }
    for (const CalendarTime& c : calendarsFor(active_utc_table()))
        working_jd_from_utc_calendar(c);
}

// setup_time_scales reads the table from the working directory.
void setUpFrom(const std::string& folder) {
    char previous[4096];
    if (!getcwd(previous, sizeof previous) || chdir(folder.c_str()) != 0)
        fuzz::fail("cannot enter the scratch folder");
    setup_time_scales(nullptr);
    if (chdir(previous) != 0)
        fuzz::fail("cannot leave the scratch folder");
}

const std::string& scratchFolder() {
    static const std::string folder = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/orbitrak-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data()))
            fuzz::fail("mkdtemp");
        static std::string kept(name.data());
        std::atexit([] {
            std::remove((kept + "/utc.bin").c_str());
            rmdir(kept.c_str());
        });
        return kept;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = scratchFolder();
    const std::string path = folder + "/utc.bin";
    fuzz::writeFile(path, data, size);

    std::optional<UtcTable> table = load_utc_file(path);
    if (table) {
        if (table->leaps.empty() || table->points.size() < 12)
            fuzz::fail("a table below the minimum counts was taken");
        // Everything up to c is taken as it stands: written again, the table gives the same
        // bytes (those after c are ignored).
        const std::vector<unsigned char> again = encode_utc_table(*table);
        if (again.size() > size || !std::equal(again.begin(), again.end(), data))
            fuzz::fail("the table read differs from the file");
        setup_leap_extrapolation(*table, 0.9);
        convertWithTable(*table);
    }

    // The program's own start-up path: the same file found as utc.bin.
    setUpFrom(folder);
    if (bool(active_utc_table()) != bool(table))
        fuzz::fail("start-up and the loader disagree about the file");
    convertThroughModule();
    return 0;
}
