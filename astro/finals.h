#pragma once

// The time table from an IERS finals2000A file (Bulletin A, one row a day). Only its fixed
// columns 1-2 year, 3-4 month, 5-6 day, 8-15 MJD, 58 the UT1-UTC flag (I observed, P predicted)
// and 59-68 UT1-UTC in seconds are read; the rows without UT1-UTC that end the file (dates
// beyond the predictions) are allowed and carry nothing.

#include "astro/utc_table.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct FinalsDay {
    std::int32_t mjd = 0;
    bool observed = false;
    double ut1MinusUtc = 0.0; // s
};

// Why a file was refused, for the caller to put in words.
struct FinalsFault {
    enum Kind {
        None,
        EndsMidLine,            // the last line has no line end: a cut download
        BadColumns,             // date, MJD, flag or UT1-UTC unreadable (line)
        DateMismatch,           // the date columns are not the MJD's date (line)
        NotConsecutive,         // the MJD does not follow the row before (line)
        OutOfRange,             // |UT1-UTC| beyond 1 s (line, value)
        ObservedAfterPredicted, // an I row after a P row (line)
        ValuesAfterEnd,         // a row with UT1-UTC after rows without (line)
        TooFewObserved,         // fewer observed days than a table needs (value: found)
        ImplausibleDate,        // the last observed day before 1973 or in the future (mjd)
        BeforeHistory,          // a day before the leap-second history begins (mjd)
        UnexpectedJump,         // UT1-UTC jumps where no leap second can be (mjd, value)
        MissingLeapStep,        // no step of UT1-UTC at a known leap second (mjd)
    };
    Kind kind = None;
    int line = 0; // from 1
    std::int32_t mjd = 0;
    double value = 0.0;
};

// The days with UT1-UTC, observed first, then predicted, at consecutive MJDs.
bool readFinals2000A(std::string_view text, std::vector<FinalsDay>& days, FinalsFault& fault);

// Observed days a file must hold at least.
constexpr int kMinFinalsObservedDays = 30;

// The table that `history` (its leap seconds, its Delta T points before the file) continues
// with the file: Delta T = 32.184 s + (TAI-UTC) - (UT1-UTC) on the first observed day, the
// first of every month and the last observed day, which is the table date; after it Delta T
// stays at its last value. A step of UT1-UTC by about +-1 s after the last known leap second
// adds one. `nowMjd` is the present: a file observed beyond it is refused.
bool buildTableFromFinals(const UtcTable& history, const std::vector<FinalsDay>& days,
                          double nowMjd, UtcTable& out, FinalsFault& fault);

// The UTC calendar date of an MJD.
CalendarTime mjdDate(std::int32_t mjd);
