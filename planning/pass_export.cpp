#include "planning/pass_export.h"

#include "astro/time_scales.h"

#include <algorithm>
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

std::string isoTime(const TimeScales& scales, double jd) {
    return formatCalendar(scales.utcCalendarFromJd(jd + kHalfMillisecond), CalendarFormat::Iso);
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

void appendPassCsv(std::string& out, int catalogNumber, const std::string& name,
                   const SatellitePass& p, const std::optional<double>& magnitude,
                   const TimeScales& scales, bool withMagnitude) {
    out += std::to_string(catalogNumber) + ',' + csvName(name) + ',';
    out += (p.hasRise ? isoTime(scales, p.rise.jd) : "") + ',';
    out += (p.hasRise ? fixed(p.rise.azimuthDeg, 6) : "") + ',';
    out += isoTime(scales, p.culmination.jd) + ',' + fixed(p.culmination.altitudeDeg, 6) + ',' +
           fixed(p.culmination.azimuthDeg, 6) + ',';
    out += (p.hasSet ? isoTime(scales, p.set.jd) : "") + ',';
    out += (p.hasSet ? fixed(p.set.azimuthDeg, 6) : "") + ',';
    out += std::string(p.sunlit ? "yes" : "no") + ',' + fixed(p.sunAltitudeDeg, 6) + ',' +
           (p.visible ? "yes" : "no");
    if (withMagnitude)
        out += ',' + (magnitude ? fixed(*magnitude, 1) : std::string());
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
