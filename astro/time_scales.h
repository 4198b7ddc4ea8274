#pragma once

// Time scales: TT, UT1 and UTC from one working Julian date, defined by TT = jd + 67.184 s.
// Conversions never allocate.

#include "astro/calendar.h"
#include "astro/time_units.h"
#include "astro/utc_table.h"

#include <optional>
#include <string>
#include <vector>

// An element set older than this many days gives positions off by kilometres: the table marks
// its age and the log warns of a catalogue whose median age passes it.
constexpr double kOldElementSetDays = 3.0;
// The working Julian date, the one time scale that passes between our libraries and goes to the
// mount (":TLEP"): TT - 67.184 s, a uniform scale (no leap seconds, so a difference of two
// working dates is elapsed time) that stays within a few seconds of UTC (TAI - 35 s; UTC is
// TAI - 37 s since 2017). The orbit model wants UTC, the sidereal angle UT1: both are derived
// from it here, never the other way round.
constexpr double kWorkingToTtDays = 0.0007775925925925925; // 67.184 s
constexpr double kTtMinusTaiDays = 0.00037249999999999995; // 32.184 s
// GPS - UTC assumed when no table is loaded; then TT - UTC = 18 + 19 + 32.184 s.
constexpr double kFallbackGpsLeapSeconds = 18.0;

// Delta T = TT - UT1 in seconds at a decimal year: the long-term parabola before the first
// point, the table's quadratic after the last one, linear interpolation in between. Updates
// the table's search cache.
double deltaT(const UtcTable& table, double year);

double ttToUt1(const UtcTable& table, double tt);
// A calendar before the first leap record is taken as UT1.
double utcCalendarToTt(const UtcTable& table, const CalendarTime& c);
// Inside an inserted leap second the result reads 23:59:60.mmm.
CalendarTime ttToUtcCalendar(const UtcTable& table, double tt);
// Predicts when UT1 - UTC would leave +-toleranceSeconds without further leap seconds and from then
// on keeps UTC at that fixed distance from UT1. Returns whether the extrapolation is active.
bool setupLeapExtrapolation(UtcTable& table, double toleranceSeconds);

// One instant, stored either as a TT Julian date or as a UTC calendar; the other form is
// derived on demand and cached until the next store. The table must outlive the instant.
class TimeInstant {
public:
    explicit TimeInstant(const UtcTable* table = nullptr) : utcTable(table) {}

    void setGpsLeapSeconds(double s) { leapSeconds = s; }
    void setJd(double jd);
    void setUtcCalendar(const CalendarTime& c);
    // False when the instant holds neither form.
    bool ensureTt();
    // NaN when the instant holds neither form. Without a table UT1 is taken equal to UTC.
    double ut1();
    // The UTC calendar's Julian date (a leap second counts from the following 00:00); NaN when
    // the instant holds neither form. *leap tells whether the instant is inside a leap second.
    double utc(bool* leap = nullptr);

    const UtcTable* table() const { return utcTable; }
    double gpsLeapSeconds() const { return leapSeconds; }
    bool ttValid() const { return hasTt; }
    bool calendarValid() const { return hasCalendar; }
    double tt() const { return ttJd; }
    // The UTC calendar; meaningful when calendarValid(), e.g. after utc().
    const CalendarTime& calendar() const { return utcCalendar; }

private:
    double fallbackTtMinusUtcDays() const;

    const UtcTable* utcTable = nullptr;
    double leapSeconds = kFallbackGpsLeapSeconds;
    bool hasTt = false;
    bool hasCalendar = false;
    double ttJd = 0.0;
    CalendarTime utcCalendar{0, 1, 1};
};

// What initTimeData found: the table it keeps and which file that was, and the files there
// but refused by readFileBounded, each "path: reason", in the order they were tried.
struct TimeDataLoad {
    enum Source { None, User, Default };
    std::optional<UtcTable> table;
    Source source = None;
    std::vector<std::string> refusals;
};

// The table file: "user_utc.bin" and "utc.bin", each taken from the first of the folders that
// holds a loadable one ("" is the working directory), keeping the one with the later table date
// (the user file on a tie). No table when neither file loads.
TimeDataLoad initTimeData(const std::vector<std::string>& folders = {""});
// The lines the programs print at start-up for a load: "init_time_data\n", then
// "init_time_data: " and the reason for each refused file, then on success
// "init_time_data OK with user data\n" or "init_time_data OK with default data\n".
std::string timeDataReport(const TimeDataLoad& load);

// Every conversion the program makes from a working Julian date, for one table or for none
// (then the fallback leap count: TT - UTC = 69.184 s, UT1 = UTC). Each conversion works on an
// instant of its own, so results never depend on earlier calls. A table's search cache is not
// synchronised: a thread that converts in the background works on a copy.
class TimeScales {
public:
    TimeScales() = default;
    // Sets up the leap extrapolation (0.9 s) on the table.
    explicit TimeScales(UtcTable table);

    // initTimeData, then a table's scales or the fallback's; timeDataReport goes to *report
    // when given, for the program to print.
    static TimeScales fromFolders(const std::vector<std::string>& folders = {""},
                                  std::string* report = nullptr);

    const UtcTable* table() const { return utcTable ? &*utcTable : nullptr; }
    // An instant bound to this table (or the fallback leap count), holding nothing yet.
    TimeInstant instant() const;

    double ut1FromJd(double jd) const;
    double utcFromJd(double jd) const;
    // The UTC calendar of a working date (second 60 inside a leap second).
    CalendarTime utcCalendarFromJd(double jd) const;
    // The working date of a UTC instant: TT - 67.184 s, chosen so that utcFromJd and
    // utcCalendarFromJd reproduce the calendar to the millisecond.
    double workingJdFromUtcCalendar(const CalendarTime& utc) const;
    // The present instant on the working scale.
    double currentJd() const;

private:
    std::optional<UtcTable> utcTable;
};

// The system clock's UTC calendar, to the millisecond.
CalendarTime systemUtcCalendar();
// The system clock's UTC as a Julian date (proleptic Gregorian, no table).
double systemTimeJd();
