#include "astro/finals.h"

#include "astro/text_numbers.h"
#include "astro/time_scales.h"

#include <cmath>
#include <string>

namespace {

constexpr double kMjdOffset = 2400000.5;
constexpr double kTtMinusTai = 32.184;
constexpr std::int32_t kFirstPlausibleMjd = 41683;      // 1973-01-01, where the IERS series begins
constexpr std::int32_t kLastTwoDigitCenturyMjd = 51543; // 1999-12-31: later years are 20yy
constexpr std::size_t kMaxLineLength = 400;
// UTC keeps UT1 within 0.9 s; Bulletin A's values stay inside this.
constexpr double kMaxUt1MinusUtc = 1.0;
// Earth rotation changes UT1-UTC by a few milliseconds a day at most.
constexpr double kMaxDailyChange = 0.05;

// Columns first to last, counted from 1; empty when the line is shorter.
std::string_view columns(std::string_view line, std::size_t first, std::size_t last) {
    if (line.size() < first)
        return {};
    return line.substr(first - 1, last - first + 1);
}

bool blank(std::string_view s) {
    return trimmedBlanks(s).empty();
}

double taiMinusUtc(const std::vector<LeapRecord>& leaps, std::int32_t mjd) {
    const CalendarTime date = mjdDate(mjd);
    const LeapRecord* applies = nullptr;
    for (const LeapRecord& r : leaps) {
        if (dateBefore(date, r))
            break;
        applies = &r;
    }
    return applies ? applies->offset + (mjd - static_cast<double>(applies->refMjd)) * applies->rate
                   : 0.0;
}

bool refuse(FinalsFault& fault, FinalsFault::Kind kind, int line, std::int32_t mjd = 0,
            double value = 0.0) {
    fault = FinalsFault{kind, line, mjd, value};
    return false;
}

} // namespace

CalendarTime mjdDate(std::int32_t mjd) {
    return jdToCalendar(nullptr, mjd + kMjdOffset);
}

bool readFinals2000A(std::string_view text, std::vector<FinalsDay>& days, FinalsFault& fault) {
    days.clear();
    fault = FinalsFault();
    if (!text.empty() && text.back() != '\n')
        return refuse(fault, FinalsFault::EndsMidLine, 0);
    int number_of_line = 0;
    int observed = 0;
    bool predicted = false, ended = false;
    std::int32_t previous = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        ++number_of_line;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (blank(line))
            continue;
        const int at = number_of_line;
        long long year = 0, month = 0, day = 0;
        double mjd_value = 0;
        if (line.size() > kMaxLineLength || !readNumber(columns(line, 1, 2), year) ||
            !readNumber(columns(line, 3, 4), month) || !readNumber(columns(line, 5, 6), day) ||
            !readNumber(columns(line, 8, 15), mjd_value) || !(std::fabs(mjd_value) < 1e7) ||
            mjd_value != std::floor(mjd_value))
            return refuse(fault, FinalsFault::BadColumns, at);
        const auto mjd = static_cast<std::int32_t>(mjd_value);
        const CalendarTime date = mjdDate(mjd);
        if (year < 0 || year > 99 ||
            date.year != year + (mjd <= kLastTwoDigitCenturyMjd ? 1900 : 2000) ||
            date.month != month || date.day != day)
            return refuse(fault, FinalsFault::DateMismatch, at, mjd);
        if (previous != 0 && mjd != previous + 1)
            return refuse(fault, FinalsFault::NotConsecutive, at, mjd);
        previous = mjd;

        const std::string_view flag = columns(line, 58, 58);
        const std::string_view value = columns(line, 59, 68);
        if (blank(flag) && blank(value)) {
            ended = true;
            continue;
        }
        double ut1_minus_utc = 0;
        if ((flag != "I" && flag != "P") || value.size() < 10 || !readNumber(value, ut1_minus_utc))
            return refuse(fault, FinalsFault::BadColumns, at, mjd);
        if (ended)
            return refuse(fault, FinalsFault::ValuesAfterEnd, at, mjd);
        if (!(std::fabs(ut1_minus_utc) <= kMaxUt1MinusUtc))
            return refuse(fault, FinalsFault::OutOfRange, at, mjd, ut1_minus_utc);
        const bool is_observed = flag == "I";
        if (is_observed && predicted)
            return refuse(fault, FinalsFault::ObservedAfterPredicted, at, mjd);
        predicted = !is_observed;
        observed += is_observed ? 1 : 0;
        days.push_back({mjd, is_observed, ut1_minus_utc});
    }
    if (observed < kMinFinalsObservedDays) {
        days.clear();
        return refuse(fault, FinalsFault::TooFewObserved, 0, 0, observed);
    }
    return true;
}

bool buildTableFromFinals(const UtcTable& history, const std::vector<FinalsDay>& days,
                          double nowMjd, UtcTable& out, FinalsFault& fault) {
    fault = FinalsFault();
    std::size_t last_observed = 0;
    int observed = 0;
    for (std::size_t i = 0; i < days.size(); ++i) {
        if (days[i].observed) {
            last_observed = i;
            ++observed;
        }
    }
    if (observed < kMinFinalsObservedDays)
        return refuse(fault, FinalsFault::TooFewObserved, 0, 0, observed);
    const std::int32_t last_mjd = days[last_observed].mjd;
    if (last_mjd < kFirstPlausibleMjd || !(last_mjd <= nowMjd + 1.0))
        return refuse(fault, FinalsFault::ImplausibleDate, 0, last_mjd);
    if (history.leaps.empty() || dateBefore(mjdDate(days.front().mjd), history.leaps.front()))
        return refuse(fault, FinalsFault::BeforeHistory, 0, days.front().mjd);

    UtcTable table;
    table.leaps = history.leaps;
    for (std::size_t i = 1; i < days.size(); ++i) {
        const std::int32_t mjd = days[i].mjd;
        const double jump = days[i].ut1MinusUtc - days[i - 1].ut1MinusUtc;
        const double step = taiMinusUtc(table.leaps, mjd) - taiMinusUtc(table.leaps, mjd - 1);
        if (std::fabs(jump - step) <= kMaxDailyChange)
            continue;
        if (std::fabs(step) > 0.5)
            return refuse(fault, FinalsFault::MissingLeapStep, 0, mjd);
        const double seconds = std::round(jump);
        const CalendarTime date = mjdDate(mjd);
        const LeapRecord& last = table.leaps.back();
        const bool after_last =
            !dateBefore(date, last) &&
            !(date.year == last.year && date.month == last.month && date.day == last.day);
        if (std::fabs(seconds) != 1.0 || std::fabs(jump - seconds) > kMaxDailyChange || !after_last)
            return refuse(fault, FinalsFault::UnexpectedJump, 0, mjd, jump);
        LeapRecord leap;
        leap.year = date.year;
        leap.month = date.month;
        leap.day = date.day;
        leap.offset = taiMinusUtc(table.leaps, mjd - 1) + seconds;
        leap.refMjd = static_cast<float>(mjd);
        leap.rate = 0.0f;
        table.leaps.push_back(leap);
    }

    // The file's points replace the history's from its first day on; the margin keeps the
    // float years of the two apart.
    const auto yearOf = [&table](std::int32_t mjd) {
        const double tai_utc = taiMinusUtc(table.leaps, mjd);
        return decimalYear(mjd + kMjdOffset + (kTtMinusTai + tai_utc) / kSecondsPerDay);
    };
    const double first_year = yearOf(days.front().mjd);
    for (const DeltaTPoint& p : history.points) {
        if (static_cast<double>(p.year) < first_year - 1e-3)
            table.points.push_back(p);
    }
    for (std::size_t i = 0; i <= last_observed; ++i) {
        const std::int32_t mjd = days[i].mjd;
        if (i != 0 && i != last_observed && mjdDate(mjd).day != 1)
            continue;
        DeltaTPoint p;
        p.year = static_cast<float>(yearOf(mjd));
        p.deltaT =
            static_cast<float>(kTtMinusTai + taiMinusUtc(table.leaps, mjd) - days[i].ut1MinusUtc);
        if (!table.points.empty() && !(p.year > table.points.back().year))
            continue;
        table.points.push_back(p);
    }
    if (table.points.size() < 12)
        return refuse(fault, FinalsFault::TooFewObserved, 0, 0, observed);
    const CalendarTime date = mjdDate(last_mjd);
    table.tableDate = makeCalendar(date.year, date.month, date.day);
    table.a = 0.0;
    table.b = 0.0;
    table.c = static_cast<double>(table.points.back().deltaT);
    out = std::move(table);
    return true;
}
