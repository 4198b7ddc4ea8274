#pragma once

// Calendar values and their conversion to and from Julian dates.

#include <cstdint>
#include <optional>
#include <string>

struct UtcTable;

// Also the byte layout of the dates inside the table file, hence the fixed size.
struct CalendarTime {
    std::int32_t year = 0; // astronomical numbering: year 0 is 1 BC
    std::uint16_t month = 1;
    std::uint16_t day = 1;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0; // 60 inside an inserted leap second
    std::uint16_t millisecond = 0;
};
static_assert(sizeof(CalendarTime) == 16, "CalendarTime must stay 16 bytes");

// A calendar time from its fields; no range checks.
inline CalendarTime makeCalendar(std::int32_t year, int month, int day, int hour = 0,
                                 int minute = 0, int second = 0, int millisecond = 0) {
    CalendarTime c;
    c.year = year;
    c.month = static_cast<std::uint16_t>(month);
    c.day = static_cast<std::uint16_t>(day);
    c.hour = static_cast<std::uint16_t>(hour);
    c.minute = static_cast<std::uint16_t>(minute);
    c.second = static_cast<std::uint16_t>(second);
    c.millisecond = static_cast<std::uint16_t>(millisecond);
    return c;
}

// (jd - 2451545) / 365.25 + 2000: the year Delta T is tabulated by.
double decimalYear(double jd);

// Field by field in declaration order (year signed, the rest unsigned): -1, 0 or +1.
int compareCalendar(const CalendarTime& a, const CalendarTime& b);

// The table's calendar: Julian before its reform date unless the table is proleptic;
// with no table (nullptr) always the proleptic Gregorian calendar.
double calendarToJd(const UtcTable* table, const CalendarTime& c);

// Inverse of calendarToJd. The time of day is truncated, never rounded, so a date a hair
// below a whole second gives the previous second with millisecond 999. A date that is not
// finite or lies beyond about +-1.9e9 years gives all fields zero (month 0 marks it).
CalendarTime jdToCalendar(const UtcTable* table, double jd);

// "YYYY-MM-DD hh:mm:ss.mmm" (the clock's format; 'T' also accepted as the separator when
// parsing, seconds and their fraction optional, the fraction truncated to milliseconds, a
// trailing 'Z' allowed; a date alone is its 0h). Parsing checks every field against the proleptic
// Gregorian calendar and allows second 60.
enum class CalendarFormat {
    Clock,   // 2026-03-19 12:00:00.250, the window's clock and the log
    Seconds, // 2026-03-19 12:00:00, the planner's table
    Iso,     // 2026-03-19T12:00:00.250Z, files and the command line
};
std::string formatCalendar(const CalendarTime& c, CalendarFormat format = CalendarFormat::Clock);
std::optional<CalendarTime> parseCalendar(const std::string& text);
