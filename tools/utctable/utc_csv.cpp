#include "tools/utctable/utc_csv.h"

#include "astro/csv.h"
#include "astro/text_numbers.h"
#include "astro/time_scales.h"

#include <cmath>

namespace {

constexpr std::size_t kMinDeltaTRows = 12;

// A quote left open makes the whole line one field.
std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields = csvFields(line).value_or(std::vector<std::string>{line});
    for (std::string& field : fields)
        field = std::string(trimmedBlanks(field));
    return fields;
}

bool validDate(long long year, long long month, long long day) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < -99999 || year > 99999 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= (month == 2 && leap ? 29 : days[month - 1]);
}

// Feeds the data rows (after the header) to `row`; false with `error` set on the first fault.
template <typename RowFn>
bool forEachRow(std::istream& in, const char* header, std::size_t field_count, std::string& error,
                RowFn row) {
    std::string line;
    int number = 0;
    bool seen_header = false;
    while (std::getline(in, line)) {
        ++number;
        const std::string text(trimmedBlanks(line));
        if (text.empty() || text[0] == '#')
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (!seen_header) {
            if (text != header) {
                error = where + "expected the header \"" + header + "\"";
                return false;
            }
            seen_header = true;
            continue;
        }
        const std::vector<std::string> fields = splitFields(text);
        if (fields.size() != field_count) {
            error = where + "expected " + std::to_string(field_count) + " fields, found " +
                    std::to_string(fields.size());
            return false;
        }
        std::string what;
        if (!row(fields, what)) {
            error = where + what;
            return false;
        }
    }
    if (in.bad()) {
        error = "read error";
        return false;
    }
    if (!seen_header) {
        error = std::string("missing the header \"") + header + "\"";
        return false;
    }
    return true;
}

} // namespace

bool readTaiUtcCsv(std::istream& in, std::vector<LeapRecord>& out, std::string& error) {
    out.clear();
    const bool ok = forEachRow(
        in, "year,month,day,offset_s,ref_mjd,rate_s_per_day", 6, error,
        [&out](const std::vector<std::string>& f, std::string& what) {
            long long year = 0, month = 0, day = 0;
            double offset = 0, ref_mjd = 0, rate = 0;
            if (!readNumber(f[0], year) || !readNumber(f[1], month) || !readNumber(f[2], day) ||
                !validDate(year, month, day)) {
                what = "invalid date";
                return false;
            }
            if (!readNumber(f[3], offset) || !readNumber(f[4], ref_mjd) ||
                !readNumber(f[5], rate)) {
                what = "invalid number";
                return false;
            }
            LeapRecord r;
            r.year = static_cast<std::int32_t>(year);
            r.month = static_cast<std::uint16_t>(month);
            r.day = static_cast<std::uint16_t>(day);
            r.offset = offset;
            r.refMjd = static_cast<float>(ref_mjd);
            r.rate = static_cast<float>(rate);
            if (!out.empty() &&
                !dateBefore(CalendarTime{out.back().year, out.back().month, out.back().day}, r)) {
                what = "dates must be strictly ascending";
                return false;
            }
            out.push_back(r);
            return true;
        });
    if (ok && out.empty()) {
        error = "no TAI-UTC rows";
        return false;
    }
    return ok;
}

bool readDeltaTCsv(std::istream& in, std::vector<DeltaTRow>& out, std::string& error) {
    out.clear();
    const bool ok =
        forEachRow(in, "tt_jd,decimal_year,delta_t_s", 3, error,
                   [&out](const std::vector<std::string>& f, std::string& what) {
                       DeltaTRow row;
                       double listed_year = 0;
                       if (!readNumber(f[0], row.tt_jd) || !readNumber(f[1], listed_year) ||
                           !readNumber(f[2], row.deltaT)) {
                           what = "invalid number";
                           return false;
                       }
                       // Years from -4712 to 9999 keep the float32 year of the file meaningful.
                       if (row.tt_jd < 0.0 || row.tt_jd > 5373484.5) {
                           what = "Julian date out of range";
                           return false;
                       }
                       row.year = decimalYear(row.tt_jd);
                       if (std::fabs(row.year - listed_year) > 0.001) {
                           what = "decimal year does not match the Julian date";
                           return false;
                       }
                       if (!out.empty() && !(row.tt_jd > out.back().tt_jd)) {
                           what = "Julian dates must be strictly ascending";
                           return false;
                       }
                       out.push_back(row);
                       return true;
                   });
    if (ok && out.size() < kMinDeltaTRows) {
        error = "at least " + std::to_string(kMinDeltaTRows) + " Delta T rows are needed, found " +
                std::to_string(out.size());
        return false;
    }
    return ok;
}

bool buildUtcTable(const std::vector<LeapRecord>& leaps, const std::vector<DeltaTRow>& rows,
                   UtcTable& out, std::string& error) {
    if (leaps.empty() || rows.size() < kMinDeltaTRows) {
        error = "not enough data for a table";
        return false;
    }
    UtcTable table;
    table.leaps = leaps;
    table.points.reserve(rows.size());
    for (const DeltaTRow& row : rows) {
        DeltaTPoint p;
        p.year = static_cast<float>(row.year);
        p.deltaT = static_cast<float>(row.deltaT);
        if (!table.points.empty() && !(p.year > table.points.back().year)) {
            error = "Delta T rows closer together than the file's year resolution";
            return false;
        }
        table.points.push_back(p);
    }
    const CalendarTime last = jdToCalendar(nullptr, rows.back().tt_jd);
    table.tableDate.year = last.year;
    table.tableDate.month = last.month;
    table.tableDate.day = last.day;
    // Continuous with the stored (float) last point.
    table.a = 0.0;
    table.b = 0.0;
    table.c = static_cast<double>(table.points.back().deltaT);
    out = std::move(table);
    return true;
}
