#pragma once

// Reading the published TAI - UTC and Delta T histories (CSV) into a time table.

#include "astro/utc_table.h"

#include <istream>
#include <string>
#include <vector>

struct DeltaTRow {
    double tt_jd = 0.0;
    double year = 0.0; // decimal year of tt_jd
    double deltaT = 0.0;
};

// Lines starting with '#' and blank lines are skipped; the first other line must be the header
// "year,month,day,offset_s,ref_mjd,rate_s_per_day". Dates must be valid and strictly ascending.
// On failure `error` holds "line N: what".
bool readTaiUtcCsv(std::istream& in, std::vector<LeapRecord>& out, std::string& error);

// Header "tt_jd,decimal_year,delta_t_s"; Julian dates strictly ascending, the decimal year
// column consistent with the Julian date.
bool readDeltaTCsv(std::istream& in, std::vector<DeltaTRow>& out, std::string& error);

// Table date: the calendar date of the last Delta T row. After the last point Delta T stays
// at the last value (a = b = 0, c = last), so predictions do not run away.
bool buildUtcTable(const std::vector<LeapRecord>& leaps, const std::vector<DeltaTRow>& rows,
                   UtcTable& out, std::string& error);
