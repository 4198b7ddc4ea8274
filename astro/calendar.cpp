#include "astro/calendar.h"

#include "astro/utc_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Division rounding towards minus infinity, for a positive divisor.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b) != 0 && a < 0)
        --q;
    return q;
}

// Beyond this the year no longer fits its 32-bit field.
constexpr double kLargestConvertibleJd = 7.0e11;

bool onOrAfterReform(const UtcTable& t, const CalendarTime& c) {
    const CalendarTime& r = t.reformDate;
    if (c.year != r.year)
        return c.year > r.year;
    if (c.month != r.month)
        return c.month > r.month;
    return c.day >= r.day;
}

} // namespace

double decimalYear(double jd) {
    return (jd - 2451545.0) / 365.25 + 2000.0;
}

int compareCalendar(const CalendarTime& a, const CalendarTime& b) {
    auto cmp = [](auto x, auto y) {
        return x < y ? -1 : (x > y ? 1 : 0);
    };
    if (int r = cmp(a.year, b.year))
        return r;
    if (int r = cmp(a.month, b.month))
        return r;
    if (int r = cmp(a.day, b.day))
        return r;
    if (int r = cmp(a.hour, b.hour))
        return r;
    if (int r = cmp(a.minute, b.minute))
        return r;
    if (int r = cmp(a.second, b.second))
        return r;
    return cmp(a.millisecond, b.millisecond);
}

double calendarToJd(const UtcTable* table, const CalendarTime& c) {
    const bool gregorian = !table || table->proleptic || onOrAfterReform(*table, c);
    std::int64_t y = c.year;
    std::int64_t m = c.month;
    if (c.month < 3) {
        y -= 1;
        m += 12;
    }
    const auto monthDays =
        static_cast<std::int64_t>(std::trunc(91.4 - 30.6 * static_cast<double>(m)));
    std::int64_t days = static_cast<std::int64_t>(c.day) - monthDays + 365 * y + floorDiv(y, 4);
    double jd;
    if (gregorian) {
        days += -floorDiv(y, 100) + floorDiv(y, 400);
        jd = static_cast<double>(days) + 1721118.5;
    } else {
        jd = static_cast<double>(days) + 1721116.5;
    }
    const double timeOfDay =
        (((c.millisecond * 0.001 + c.second) * 0.016666666666666666 + c.minute) *
             0.016666666666666666 +
         c.hour) *
        0.041666666666666664;
    return jd + timeOfDay;
}

CalendarTime jdToCalendar(const UtcTable* table, double x) {
    CalendarTime c;
    if (!std::isfinite(x) || std::fabs(x) > kLargestConvertibleJd) {
        c.month = 0;
        c.day = 0;
        return c;
    }
    const bool gregorian = !table || table->proleptic || x >= table->reformJd;
    std::int64_t n;
    std::int64_t y;
    double f;
    if (gregorian) {
        const double z = x - 1721118.5;
        const double zf = std::floor(z);
        n = static_cast<std::int64_t>(zf);
        f = z - zf;
        const std::int64_t u = 100 * n - 25;
        std::int64_t g = floorDiv(u, 3652425);
        g = g - floorDiv(g, 4);
        y = floorDiv(u + 100 * g, 36525);
        n = n + g;
    } else {
        const double z = x - 1721116.5;
        const double zf = std::floor(z);
        n = static_cast<std::int64_t>(zf);
        f = z - zf;
        y = floorDiv(100 * n - 25, 36525);
    }
    const std::int64_t d = n - 365 * y - floorDiv(y, 4);
    const std::int64_t m = floorDiv(5 * d + 456, 153);
    c.day = static_cast<std::uint16_t>(d - floorDiv(153 * m - 457, 5));
    c.month = static_cast<std::uint16_t>(m <= 12 ? m : m - 12);
    c.year = static_cast<std::int32_t>(y + (m > 12 ? 1 : 0));

    // Successive truncation; the clamps only guard against a product rounding up to the limit.
    double t = f * 24.0;
    const int hour = std::min(23, static_cast<int>(t));
    t = (t - hour) * 60.0;
    const int minute = std::min(59, static_cast<int>(t));
    t = (t - minute) * 60.0;
    const int second = std::min(59, static_cast<int>(t));
    const int millisecond = std::min(999, static_cast<int>((t - second) * 1000.0));
    c.hour = static_cast<std::uint16_t>(hour);
    c.minute = static_cast<std::uint16_t>(minute);
    c.second = static_cast<std::uint16_t>(second);
    c.millisecond = static_cast<std::uint16_t>(millisecond);
    return c;
}

std::string formatCalendar(const CalendarTime& c, CalendarFormat format) {
    const char* pattern = format == CalendarFormat::Iso ? "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ"
                          : format == CalendarFormat::Seconds
                              ? "%04d-%02d-%02d %02d:%02d:%02d"
                              : "%04d-%02d-%02d %02d:%02d:%02d.%03d";
    char text[64];
    std::snprintf(text, sizeof text, pattern, static_cast<int>(c.year), c.month, c.day, c.hour,
                  c.minute, c.second, c.millisecond);
    return text;
}

namespace {

// Reads exactly `width` decimal digits at text[pos].
// A decimal fraction of a second with at least one digit, truncated to milliseconds.
bool readFractionMs(const std::string& text, std::size_t& pos, int& millisecond) {
    const std::size_t start = pos;
    millisecond = 0;
    int scale = 100;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        millisecond += scale * (text[pos] - '0');
        scale /= 10;
        ++pos;
    }
    return pos > start;
}

bool readDigits(const std::string& text, std::size_t& pos, int width, int& value) {
    if (pos + static_cast<std::size_t>(width) > text.size())
        return false;
    value = 0;
    for (int i = 0; i < width; ++i) {
        const char ch = text[pos + static_cast<std::size_t>(i)];
        if (ch < '0' || ch > '9')
            return false;
        value = value * 10 + (ch - '0');
    }
    pos += static_cast<std::size_t>(width);
    return true;
}

bool expect(const std::string& text, std::size_t& pos, char ch) {
    if (pos < text.size() && text[pos] == ch) {
        ++pos;
        return true;
    }
    return false;
}

int daysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::optional<CalendarTime> parseCalendar(const std::string& text) {
    std::size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    if (!readDigits(text, pos, 4, year) || !expect(text, pos, '-') ||
        !readDigits(text, pos, 2, month) || !expect(text, pos, '-') ||
        !readDigits(text, pos, 2, day))
        return std::nullopt;
    // A date alone means its first instant.
    if (pos < text.size()) {
        if ((!expect(text, pos, ' ') && !expect(text, pos, 'T')) ||
            !readDigits(text, pos, 2, hour) || !expect(text, pos, ':') ||
            !readDigits(text, pos, 2, minute))
            return std::nullopt;
        if (expect(text, pos, ':')) {
            if (!readDigits(text, pos, 2, second))
                return std::nullopt;
            if (expect(text, pos, '.') && !readFractionMs(text, pos, millisecond))
                return std::nullopt;
        }
        expect(text, pos, 'Z');
    }
    if (pos != text.size())
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;
    return makeCalendar(year, month, day, hour, minute, second, millisecond);
}
