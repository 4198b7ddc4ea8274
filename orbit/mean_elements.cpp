#include "orbit/mean_elements.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace {

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

// Exactly `digits` decimal digits at text[at].
std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size())
        return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool within(double value, double low, double high) {
    return value >= low && value <= high; // false for NaN
}

} // namespace

bool meanElementsInRange(const MeanElements& e) {
    const int daysInYear = isLeap(e.epochYear) ? 366 : 365;
    return e.noradCatId >= 1 && e.noradCatId <= kMaxNoradCatId && e.eccentricity >= 0.0 &&
           e.eccentricity < 1.0 && within(e.inclination, 0.0, 180.0) &&
           within(e.raOfAscNode, 0.0, 360.0) && within(e.argOfPericenter, 0.0, 360.0) &&
           within(e.meanAnomaly, 0.0, 360.0) && e.meanMotion > 0.0 && e.meanMotion < 100.0 &&
           std::fabs(e.bstar) < 1e5 && std::fabs(e.meanMotionDot) < 1.0 &&
           std::fabs(e.meanMotionDdot) < 1e5 && e.epochYear >= 1957 && e.epochYear <= 2056 &&
           e.epochDay >= 1.0 && e.epochDay < daysInYear + 1.0 && e.ephemerisType >= 0 &&
           e.ephemerisType <= 9 && e.elementSetNo >= 0 && e.elementSetNo <= 9999 &&
           e.revAtEpoch >= 0 && e.revAtEpoch <= kMaxNoradCatId &&
           (e.classificationType == 'U' || e.classificationType == 'C' ||
            e.classificationType == 'S');
}

std::optional<std::pair<int, double>> readIsoEpoch(std::string_view text) {
    text = trimmedBlanks(text);
    if (!text.empty() && text.back() == 'Z')
        text.remove_suffix(1);
    const auto year = digitsAt(text, 0, 4);
    const auto month = digitsAt(text, 5, 2);
    const auto day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2);
    const auto minute = digitsAt(text, 14, 2);
    const auto wholeSeconds = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !wholeSeconds || text[4] != '-' ||
        text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    double seconds = *wholeSeconds;
    if (text.size() > 19) {
        if (text[19] != '.' || text.size() == 20)
            return std::nullopt;
        for (std::size_t i = 20; i < text.size(); ++i)
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
        const std::optional<double> read = readDecimal(text.substr(17));
        if (!read)
            return std::nullopt;
        seconds = *read;
    }
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || seconds >= 60.0)
        return std::nullopt;
    int dayOfYear = *day;
    for (int m = 1; m < *month; ++m)
        dayOfYear += daysInMonth(*year, m);
    return std::make_pair(*year, dayOfYear + ((*hour * 60.0 + *minute) * 60.0 + seconds) / 86400.0);
}

std::string isoEpochText(int year, double day) {
    constexpr long long kMicrosPerDay = 86400LL * 1000000LL;
    double whole = std::floor(day);
    long long micros = std::llround((day - whole) * double(kMicrosPerDay));
    if (micros >= kMicrosPerDay) {
        micros -= kMicrosPerDay;
        whole += 1.0;
    }
    int dayOfYear = int(whole);
    if (dayOfYear > (isLeap(year) ? 366 : 365)) {
        dayOfYear -= isLeap(year) ? 366 : 365;
        ++year;
    }
    int month = 1;
    while (month < 12 && dayOfYear > daysInMonth(year, month))
        dayOfYear -= daysInMonth(year, month++);
    const long long seconds = micros / 1000000;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02lld:%02lld:%02lld.%06lld", year, month,
                  dayOfYear, seconds / 3600, seconds / 60 % 60, seconds % 60, micros % 1000000);
    return text;
}

std::string shortestDecimal(double value) {
    char text[400];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (r.ec != std::errc())
        return "nan";
    return std::string(text, r.ptr);
}
