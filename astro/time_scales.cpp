#include "astro/time_scales.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMjdOffset = 2400000.5;
constexpr double kTenSecondsDays = 10.0 / kSecondsPerDay;
// An inserted leap second is labelled 23:59:60 by stepping back this far and adding it again.
constexpr std::uint16_t kLeapLabelSeconds = 10;
// Enough to cross the few ulps that the conversion chain can lose.
constexpr int kMaxNudges = 64;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b) != 0 && a < 0)
        --q;
    return q;
}

double longTermDeltaT(double year) {
    const double u = (year - 1800.0) / 100.0;
    return 44.3 * u * u + 320.0 * u + 1360.0;
}

CalendarTime midnightOf(std::int32_t year, std::uint16_t month, std::uint16_t day) {
    return makeCalendar(year, month, day);
}

// The UTC date at which record r gives this TAI.
double utcForRecord(double tai, const LeapRecord& r) {
    const double rate = static_cast<double>(r.rate) / kSecondsPerDay;
    return (tai - r.offset / kSecondsPerDay + (static_cast<double>(r.refMjd) + kMjdOffset) * rate) /
           (rate + 1.0);
}

double threeStepDeltaT(const UtcTable& table, double tt) {
    const double d1 = deltaT(table, decimalYear(tt));
    const double d2 = deltaT(table, decimalYear(tt - d1 / kSecondsPerDay));
    return deltaT(table, decimalYear(tt - d2 / kSecondsPerDay));
}

} // namespace

double deltaT(const UtcTable& table, double y) {
    const std::vector<DeltaTPoint>& p = table.points;
    const auto m = static_cast<std::int64_t>(p.size());
    if (std::isnan(y))
        return y;
    if (m == 0 || y < p[0].year)
        return longTermDeltaT(y);
    if (y > p[static_cast<std::size_t>(m - 1)].year)
        return (table.a * y + table.b) * y + table.c;
    if (m == 1)
        return p[0].deltaT;

    auto yearAt = [&p](std::int64_t i) {
        return static_cast<double>(p[static_cast<std::size_t>(i)].year);
    };
    // A plain bisection: the table is read by the search's threads at once, so it keeps no
    // cache of the interval found last.
    std::int64_t lo = -1;
    std::int64_t hi = m;
    while (hi - lo > 1) {
        const std::int64_t mid = (lo + hi) >> 1;
        if (yearAt(mid) <= y)
            lo = mid;
        else
            hi = mid;
    }
    // Unsorted points could leave the bound outside; keep the index usable.
    const std::int64_t i = std::max<std::int64_t>(0, std::min(lo, m - 2));

    const double y0 = yearAt(i);
    const double y1 = yearAt(i + 1);
    const double d0 = p[static_cast<std::size_t>(i)].deltaT;
    const double d1 = p[static_cast<std::size_t>(i + 1)].deltaT;
    if (y1 == y0)
        return d0;
    return d0 + (d1 - d0) * (y - y0) / (y1 - y0);
}

double ttToUt1(const UtcTable& table, double tt) {
    return tt - threeStepDeltaT(table, tt) / kSecondsPerDay;
}

double utcCalendarToTt(const UtcTable& table, const CalendarTime& c) {
    const std::vector<LeapRecord>& leaps = table.leaps;
    const double j = calendarToJd(&table, c);
    if (leaps.empty() || dateBefore(c, leaps[0]))
        return j + deltaT(table, decimalYear(j)) / kSecondsPerDay;

    std::size_t k = 1;
    while (k < leaps.size() && !dateBefore(c, leaps[k]))
        ++k;
    const LeapRecord& r = leaps[k - 1];
    double tt = j + r.offset / kSecondsPerDay +
                ((j - kMjdOffset) - static_cast<double>(r.refMjd)) * static_cast<double>(r.rate) /
                    kSecondsPerDay +
                kTtMinusTaiDays;
    if (table.extrapolationActive && tt > table.extrapolationStart)
        tt = j + deltaT(table, decimalYear(j)) / kSecondsPerDay + table.extrapolationOffset;
    return tt;
}

CalendarTime ttToUtcCalendar(const UtcTable& table, double tt) {
    if (table.extrapolationActive && tt > table.extrapolationStart)
        return jdToCalendar(&table, tt - threeStepDeltaT(table, tt) / kSecondsPerDay -
                                        table.extrapolationOffset);

    const std::vector<LeapRecord>& leaps = table.leaps;
    const double ut1 = ttToUt1(table, tt);
    CalendarTime c = jdToCalendar(&table, ut1);
    if (leaps.empty() || dateBefore(c, leaps[0]))
        return c;

    const double tai = tt - kTtMinusTaiDays;
    // A record of bounded offset and rate gives a UTC within 0.25 days of TAI for a million
    // days around its reference, so within a day of a UT1 near TAI: no division tells more.
    const bool ut1NearTai = std::fabs(tai - ut1) < 0.25;
    const auto nearUt1 = [&](const LeapRecord& r) {
        return ut1NearTai && std::fabs(r.offset) <= 1e4 && std::fabs(r.rate) <= 0.01f &&
               std::fabs(tai - (static_cast<double>(r.refMjd) + kMjdOffset)) <= 1e6;
    };
    std::size_t k = 1;
    for (; k < leaps.size(); ++k) {
        // A step dated over a year before the instant cannot lie ahead of a UTC within a day of
        // it: the calendar need not say so (a week's search converts millions of instants).
        const bool yearsAgo = std::int64_t(leaps[k].year) + 1 < c.year;
        if (yearsAgo && nearUt1(leaps[k]))
            continue;
        const double x = utcForRecord(tai, leaps[k]);
        if (yearsAgo && std::fabs(x - ut1) < 1.0)
            continue;
        if (dateBefore(jdToCalendar(&table, x), leaps[k]))
            break;
    }
    const double x = utcForRecord(tai, leaps[k - 1]);
    c = jdToCalendar(&table, x);
    if (k < leaps.size() && !dateBefore(c, leaps[k])) {
        // Past the next step's date by the old offset but not yet by the new one: the
        // inserted second, shown as 23:59:60 of the day before.
        c = jdToCalendar(&table, x - kTenSecondsDays);
        c.second = static_cast<std::uint16_t>(c.second + kLeapLabelSeconds);
    }
    return c;
}

bool setupLeapExtrapolation(UtcTable& table, double toleranceSeconds) {
    table.extrapolationActive = false;
    if (table.leaps.empty())
        return false;

    const LeapRecord& last = table.leaps.back();
    CalendarTime c0 = midnightOf(last.year, last.month, last.day);
    c0.hour = 12;
    const double t0 = utcCalendarToTt(table, c0);
    const double u0 = calendarToJd(&table, c0);
    const double k = u0 - t0;
    const double s0 = ttToUt1(table, t0) - u0;
    if (std::fabs(s0) * kSecondsPerDay > toleranceSeconds) {
        table.extrapolationActive = true;
        table.extrapolationStart = t0;
        table.extrapolationOffset =
            (s0 > 0 ? toleranceSeconds : -toleranceSeconds) / kSecondsPerDay;
        return true;
    }

    CalendarTime c1 = midnightOf(20000, 1, 1);
    c1.hour = 12;
    const double t1 = utcCalendarToTt(table, c1);
    const double s1 = ttToUt1(table, t1) - (t1 + k);
    if (!(std::fabs(s1) * kSecondsPerDay > toleranceSeconds))
        return false;

    const double offset = (s1 > 0 ? toleranceSeconds : -toleranceSeconds) / kSecondsPerDay;
    double lo = t0;
    double hi = t1;
    // Bounded for tables with absurd values; real ones need about 40 halvings.
    for (int i = 0; i < 2000 && hi - lo > 1e-8; ++i) {
        const double mid = lo + (hi - lo) / 2;
        const double v = ttToUt1(table, mid) - (mid + k);
        if ((v > offset) == (s1 > 0))
            hi = mid;
        else
            lo = mid;
    }
    table.extrapolationActive = true;
    table.extrapolationStart = lo;
    table.extrapolationOffset = offset;
    return true;
}

// --- TimeInstant ---

double TimeInstant::fallbackTtMinusUtcDays() const {
    return (leapSeconds + 19.0 + 32.184) / kSecondsPerDay;
}

void TimeInstant::setJd(double jd) {
    ttJd = jd + kWorkingToTtDays;
    hasTt = true;
    hasCalendar = false;
}

void TimeInstant::setUtcCalendar(const CalendarTime& c) {
    utcCalendar = c;
    hasCalendar = true;
    hasTt = false;
}

bool TimeInstant::ensureTt() {
    if (hasTt)
        return true;
    if (!hasCalendar)
        return false;
    ttJd = utcTable ? utcCalendarToTt(*utcTable, utcCalendar)
                    : calendarToJd(nullptr, utcCalendar) + fallbackTtMinusUtcDays();
    hasTt = true;
    return true;
}

double TimeInstant::ut1() {
    if (!ensureTt())
        return kNaN;
    return utcTable ? ttToUt1(*utcTable, ttJd) : ttJd - fallbackTtMinusUtcDays();
}

double TimeInstant::utc(bool* leap) {
    if (!hasCalendar) {
        if (!hasTt) {
            if (leap)
                *leap = false;
            return kNaN;
        }
        utcCalendar = utcTable ? ttToUtcCalendar(*utcTable, ttJd)
                               : jdToCalendar(nullptr, ttJd - fallbackTtMinusUtcDays());
        hasCalendar = true;
    }
    if (leap)
        *leap = utcCalendar.second >= 60;
    return calendarToJd(utcTable, utcCalendar);
}

// --- The table file and the scales ---

namespace {

// A file that is there but refused (a folder, a pipe, one too large) is named in `refusals`.
std::optional<UtcTable> loadFirst(const std::vector<std::string>& folders, const char* name,
                                  std::vector<std::string>& refusals) {
    for (const std::string& folder : folders) {
        std::string path = folder;
        if (!path.empty() && path.back() != '/')
            path += '/';
        path += name;
        FileResult file;
        if (std::optional<UtcTable> table = loadUtcFile(path, &file))
            return table;
        if (file.fault != FileResult::None && file.fault != FileResult::Missing)
            refusals.push_back(describeFileFault(path, file, kMaxUtcFileBytes));
    }
    return std::nullopt;
}

} // namespace

TimeDataLoad initTimeData(const std::vector<std::string>& folders) {
    TimeDataLoad load;
    std::optional<UtcTable> user = loadFirst(folders, "user_utc.bin", load.refusals);
    std::optional<UtcTable> fallback = loadFirst(folders, "utc.bin", load.refusals);
    if (!user && !fallback)
        return load;
    bool keepUser = user.has_value();
    if (user && fallback) {
        const CalendarTime& u = user->tableDate;
        const CalendarTime& d = fallback->tableDate;
        keepUser = compareCalendar(midnightOf(u.year, u.month, u.day),
                                   midnightOf(d.year, d.month, d.day)) >= 0;
    }
    load.source = keepUser ? TimeDataLoad::User : TimeDataLoad::Default;
    load.table = std::move(keepUser ? user : fallback);
    return load;
}

std::string timeDataReport(const TimeDataLoad& load) {
    std::string report = "init_time_data\n";
    for (const std::string& refusal : load.refusals)
        report += "init_time_data: " + refusal + "\n";
    if (load.source == TimeDataLoad::User)
        report += "init_time_data OK with user data\n";
    else if (load.source == TimeDataLoad::Default)
        report += "init_time_data OK with default data\n";
    return report;
}

TimeScales::TimeScales(UtcTable table) : utcTable(std::move(table)) {
    setupLeapExtrapolation(*utcTable, 0.9);
}

TimeScales TimeScales::fromFolders(const std::vector<std::string>& folders, std::string* report) {
    TimeDataLoad load = initTimeData(folders);
    if (report)
        *report = timeDataReport(load);
    return load.table ? TimeScales(std::move(*load.table)) : TimeScales();
}

TimeInstant TimeScales::instant() const {
    TimeInstant instant(table());
    if (!utcTable)
        instant.setGpsLeapSeconds(kFallbackGpsLeapSeconds);
    return instant;
}

double TimeScales::ut1FromJd(double jd) const {
    TimeInstant i = instant();
    i.setJd(jd);
    return i.ut1();
}

double TimeScales::utcFromJd(double jd) const {
    TimeInstant i = instant();
    i.setJd(jd);
    return i.utc();
}

CalendarTime TimeScales::utcCalendarFromJd(double jd) const {
    TimeInstant i = instant();
    i.setJd(jd);
    i.utc();
    return i.calendar();
}

double TimeScales::workingJdFromUtcCalendar(const CalendarTime& utc) const {
    TimeInstant i = instant();
    i.setUtcCalendar(utc);
    if (!i.ensureTt())
        return kNaN;
    double jd = i.tt() - kWorkingToTtDays;
    // Calendars are truncated to the millisecond and a date near 2.46e6 resolves only about
    // 40 microseconds, so the way back can land a hair short. Step by ulps until it lands on
    // the calendar itself; should it jump past, keep the last date below.
    int direction = 0;
    double previous = jd;
    for (int n = 0; n < kMaxNudges; ++n) {
        const int cmp = compareCalendar(utcCalendarFromJd(jd), utc);
        if (cmp == 0)
            return jd;
        const int wanted = cmp < 0 ? 1 : -1;
        if (direction != 0 && wanted != direction)
            return cmp < 0 ? jd : previous;
        direction = wanted;
        previous = jd;
        jd = std::nextafter(jd, wanted > 0 ? std::numeric_limits<double>::infinity()
                                           : -std::numeric_limits<double>::infinity());
    }
    return previous;
}

double TimeScales::currentJd() const {
    return workingJdFromUtcCalendar(systemUtcCalendar());
}

CalendarTime systemUtcCalendar() {
    using namespace std::chrono;
    // system_clock counts Unix time (UTC without leap seconds) on every supported platform.
    const std::int64_t ms =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const std::int64_t days = floorDiv(ms, 86400000);
    std::int64_t rest = ms - days * 86400000;
    CalendarTime c = jdToCalendar(nullptr, 2440587.5 + static_cast<double>(days));
    c.hour = static_cast<std::uint16_t>(rest / 3600000);
    rest %= 3600000;
    c.minute = static_cast<std::uint16_t>(rest / 60000);
    rest %= 60000;
    c.second = static_cast<std::uint16_t>(rest / 1000);
    c.millisecond = static_cast<std::uint16_t>(rest % 1000);
    return c;
}

double systemTimeJd() {
    return calendarToJd(nullptr, systemUtcCalendar());
}
