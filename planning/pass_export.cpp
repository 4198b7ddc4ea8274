#include "planning/pass_export.h"

#include "astro/time_scales.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <locale>
#include <map>
#include <sstream>
#include <string_view>

namespace {

constexpr double kHalfMillisecond = 0.0005 / kSecondsPerDay;
constexpr double kHalfSecond = 0.5 / kSecondsPerDay;
constexpr std::size_t kLineOctets = 75;

// Fixed notation whatever the process's locale; empty for no value.
std::string fixed(double value, int decimals) {
    if (!std::isfinite(value))
        return std::string();
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed);
    out.precision(decimals);
    out << value;
    return out.str();
}

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    return first == std::string::npos
               ? std::string()
               : text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string two(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// 20260319T120000Z; seconds cut to 59 inside a leap second, which iCalendar has no name for.
std::string icsTime(const CalendarTime& c, bool withSeconds = true) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d", int(c.year), int(c.month), int(c.day),
                  int(c.hour), int(c.minute));
    return std::string(text) + (withSeconds ? two(c.second > 59 ? 59 : c.second) + "Z" : "");
}

// TEXT values: backslash, semicolon, comma and line breaks escaped; other control characters,
// which TEXT may not hold, dropped.
std::string icsText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == ';' || c == ',')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            out += c;
    }
    return out;
}

// Content lines of at most 75 octets, continued with a blank; never inside a UTF-8 sequence.
void addLine(std::string& out, const std::string& line) {
    std::size_t start = 0;
    std::size_t room = kLineOctets;
    while (line.size() - start > room) {
        std::size_t end = start + room;
        while (end > start + 1 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end;
        out += line.substr(start, end - start) + "\r\n ";
        start = end;
        room = kLineOctets - 1;
    }
    out += line.substr(start) + "\r\n";
}

std::string siteText(const Site& site) {
    const double lat = degreesFromRadians(site.latitude);
    const double lon = -degreesFromRadians(site.westLongitude);
    return fixed(std::fabs(lat), 4) + "\xC2\xB0 " + (lat < 0 ? "S" : "N") + ", " +
           fixed(std::fabs(lon), 4) + "\xC2\xB0 " + (lon < 0 ? "W" : "E") + ", " +
           fixed(site.elevation, 0) + " m";
}

} // namespace

std::string passesCsvHeader(bool withMagnitude) {
    return std::string("catalog,name,rise_utc,rise_azimuth_deg,culmination_utc,"
                       "culmination_altitude_deg,culmination_azimuth_deg,set_utc,"
                       "set_azimuth_deg,sunlit,sun_altitude_deg,visible") +
           (withMagnitude ? ",magnitude\n" : "\n");
}

namespace {

// The CSV's numbers and times, written in place: the same characters as fixed() and isoTime(),
// without a stream or a string per field (an export may have a million lines).
void appendFixed(std::string& out, double value, int decimals) {
    if (!std::isfinite(value))
        return;
    char text[64];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (r.ec == std::errc())
        out.append(text, r.ptr);
    else
        out += fixed(value, decimals);
}

void appendDigits(char*& at, int value, int width) {
    for (int k = width - 1; k >= 0; --k, value /= 10)
        at[k] = char('0' + value % 10);
    at += width;
}

void appendIsoTime(std::string& out, const TimeScales& scales, double jd) {
    const CalendarTime c = scales.utcCalendarFromJd(jd + kHalfMillisecond);
    const auto within = [](int value, int most) {
        return value >= 0 && value <= most;
    };
    if (!within(int(c.year), 9999) || !within(c.month, 99) || !within(c.day, 99) ||
        !within(c.hour, 99) || !within(c.minute, 99) || !within(c.second, 99) ||
        !within(c.millisecond, 999)) {
        out += formatCalendar(c, CalendarFormat::Iso); // widths printf alone knows
        return;
    }
    char text[24];
    char* at = text;
    appendDigits(at, int(c.year), 4);
    *at++ = '-';
    appendDigits(at, c.month, 2);
    *at++ = '-';
    appendDigits(at, c.day, 2);
    *at++ = 'T';
    appendDigits(at, c.hour, 2);
    *at++ = ':';
    appendDigits(at, c.minute, 2);
    *at++ = ':';
    appendDigits(at, c.second, 2);
    *at++ = '.';
    appendDigits(at, c.millisecond, 3);
    *at++ = 'Z';
    out.append(text, at);
}

} // namespace

void appendPassCsv(std::string& out, int catalogNumber, const std::string& name,
                   const SatellitePass& p, const std::optional<double>& magnitude,
                   const TimeScales& scales, bool withMagnitude) {
    char number[16];
    out.append(number, std::to_chars(number, number + sizeof number, catalogNumber).ptr);
    out += ',';
    out += csvName(name);
    out += ',';
    if (p.hasRise)
        appendIsoTime(out, scales, p.rise.jd);
    out += ',';
    if (p.hasRise)
        appendFixed(out, p.rise.azimuthDeg, 6);
    out += ',';
    appendIsoTime(out, scales, p.culmination.jd);
    out += ',';
    appendFixed(out, p.culmination.altitudeDeg, 6);
    out += ',';
    appendFixed(out, p.culmination.azimuthDeg, 6);
    out += ',';
    if (p.hasSet)
        appendIsoTime(out, scales, p.set.jd);
    out += ',';
    if (p.hasSet)
        appendFixed(out, p.set.azimuthDeg, 6);
    out += p.sunlit ? ",yes," : ",no,";
    appendFixed(out, p.sunAltitudeDeg, 6);
    out += p.visible ? ",yes" : ",no";
    if (withMagnitude) {
        out += ',';
        if (magnitude)
            appendFixed(out, *magnitude, 1);
    }
    out += '\n';
}

std::string passesCsv(const std::vector<ExportedPass>& passes, const TimeScales& scales,
                      bool withMagnitude) {
    std::string out = passesCsvHeader(withMagnitude);
    for (const ExportedPass& e : passes)
        appendPassCsv(out, e.catalogNumber, e.name, e.pass, e.magnitude, scales, withMagnitude);
    return out;
}

std::string passesICalendar(const std::vector<ExportedPass>& passes, const TimeScales& scales,
                            const Site& site, const CalendarTime& stamp) {
    std::string out;
    addLine(out, "BEGIN:VCALENDAR");
    addLine(out, "VERSION:2.0");
    addLine(out, "PRODID:-//Orbitrak//Pass planner//EN");
    addLine(out, "CALSCALE:GREGORIAN");
    const std::string where = siteText(site);
    const auto utc = [&](double jd) {
        return scales.utcCalendarFromJd(jd + kHalfSecond);
    };
    std::map<std::string, int> uids;
    for (const ExportedPass& e : passes) {
        const SatellitePass& p = e.pass;
        if (!p.whole())
            continue;
        // The rise is found to a millisecond whatever the window, so its nearest minute names
        // the pass in every export; a second pass rising in the same minute takes a count.
        std::string uid = std::to_string(e.catalogNumber) + "-" +
                          icsTime(utc(p.rise.jd + 29.5 / kSecondsPerDay), false);
        if (const int earlier = uids[uid]++)
            uid += "-" + std::to_string(earlier + 1);
        const CalendarTime culmination = utc(p.culmination.jd);
        std::string summary =
            trimmed(e.name) + ", max " + fixed(p.culmination.altitudeDeg, 0) + "\xC2\xB0";
        if (p.visible)
            summary += ", visible";
        std::string description =
            "Culmination " + formatCalendar(culmination, CalendarFormat::Seconds) +
            " UTC at altitude " + fixed(p.culmination.altitudeDeg, 1) + "\xC2\xB0, azimuth " +
            fixed(p.culmination.azimuthDeg, 1) + "\xC2\xB0";
        if (e.magnitude)
            description += ", magnitude " + fixed(*e.magnitude, 1);
        description += "\nSite: " + where;
        addLine(out, "BEGIN:VEVENT");
        addLine(out, "UID:" + uid + "@orbitrak");
        addLine(out, "DTSTAMP:" + icsTime(stamp));
        addLine(out, "DTSTART:" + icsTime(utc(p.startJd)));
        // An event ends after it starts, even a pass shorter than the second it starts in.
        addLine(out, "DTEND:" + icsTime(utc(std::max(p.endJd, p.startJd + 1.0 / kSecondsPerDay))));
        addLine(out, "SUMMARY:" + icsText(summary));
        addLine(out, "DESCRIPTION:" + icsText(description));
        addLine(out, "END:VEVENT");
    }
    addLine(out, "END:VCALENDAR");
    return out;
}

std::string csvName(const std::string& text) {
    return csvText(trimmed(text));
}
