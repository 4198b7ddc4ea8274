#include "planning/transit_export.h"

#include "astro/calendar.h"
#include "astro/time_scales.h"
#include "astro/time_units.h"

#include <algorithm>
#include <cstdio>
#include <locale>
#include <sstream>

namespace {

constexpr double kHalfMillisecond = 0.0005 / kSecondsPerDay;
const char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

std::string isoTime(const TimeScales& scales, double jd) {
    return formatCalendar(scales.utcCalendarFromJd(jd + kHalfMillisecond), CalendarFormat::Iso);
}

// Degrees to 1e-7 (a centimetre), whatever the process's locale.
std::string degrees(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed);
    out.precision(7);
    out << value;
    return out.str();
}

// The text as valid UTF-8 without surrounding blanks: each byte that starts no well-formed
// sequence (overlong, surrogate, beyond U+10FFFF, cut short) becomes U+FFFD; so do U+FFFE and
// U+FFFF, which XML may not hold.
std::string validUtf8(const std::string& text) {
    std::string out;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const auto byte = [&](std::size_t k) {
            return static_cast<unsigned char>(text[k]);
        };
        const unsigned char c = byte(i);
        std::size_t length = c < 0x80                 ? 1
                             : c >= 0xC2 && c <= 0xDF ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
        unsigned code = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 7;
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= n || (byte(i + k) & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        const bool wellFormed = length > 0 && !(length == 3 && code < 0x800) &&
                                !(length == 4 && (code < 0x10000 || code > 0x10FFFF)) &&
                                !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE &&
                                code != 0xFFFF;
        if (wellFormed) {
            out.append(text, i, length);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    const std::size_t first = out.find_first_not_of(" \t\r\n");
    return first == std::string::npos
               ? std::string()
               : out.substr(first, out.find_last_not_of(" \t\r\n") - first + 1);
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : validUtf8(text)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(u));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Character data and attribute values alike; the control characters XML 1.0 may not hold
// become blanks.
std::string xmlText(const std::string& text) {
    std::string out;
    for (char c : validUtf8(text)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\'')
            out += "&apos;";
        else if (u < 0x20 || u == 0x7F)
            out += ' ';
        else
            out += c;
    }
    return out;
}

// "NAME (12345), sun": a line's title in the files.
std::string title(const ExportedTransit& t) {
    const std::string name = validUtf8(t.name);
    return (name.empty() ? std::string() : name + " ") + "(" + std::to_string(t.catalogNumber) +
           "), " + transitBodyName(t.body);
}

// RFC 7946 asks for the outer ring counter-clockwise.
std::vector<GroundPoint> counterClockwise(std::vector<GroundPoint> ring) {
    double area = 0.0;
    for (std::size_t i = 1; i < ring.size(); ++i)
        area += (ring[i].longitudeDeg - ring[i - 1].longitudeDeg) *
                (ring[i].latitudeDeg + ring[i - 1].latitudeDeg);
    if (area > 0) // clockwise
        std::reverse(ring.begin(), ring.end());
    return ring;
}

std::string jsonPositions(const std::vector<GroundPoint>& points) {
    std::string out = "[";
    for (std::size_t i = 0; i < points.size(); ++i)
        out += (i ? ",[" : "[") + degrees(points[i].longitudeDeg) + "," +
               degrees(points[i].latitudeDeg) + "]";
    return out + "]";
}

std::string geoJson(const std::vector<ExportedTransit>& transits, const TimeScales& scales) {
    std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
    bool first = true;
    for (const ExportedTransit& t : transits) {
        const std::string identity = "\"catalog\":" + std::to_string(t.catalogNumber) +
                                     ",\"name\":" + jsonString(t.name) + ",\"body\":\"" +
                                     transitBodyName(t.body) + "\",\"time_utc\":\"" +
                                     isoTime(scales, t.jd) + "\"";
        std::string times;
        for (const GroundPoint& p : t.ground.centreLine)
            times += (times.empty() ? "\"" : ",\"") + isoTime(scales, p.jd) + "\"";
        out += first ? "\n" : ",\n";
        first = false;
        out += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"LineString\",\"coordinates\":" +
               jsonPositions(t.ground.centreLine) + "},\"properties\":{\"kind\":\"centre_line\"," +
               identity + ",\"times_utc\":[" + times + "]}}";
        const std::vector<GroundPoint> ring = transitPathRing(t.ground);
        if (ring.size() >= 4)
            out += ",\n{\"type\":\"Feature\",\"geometry\":{\"type\":\"Polygon\",\"coordinates\":[" +
                   jsonPositions(counterClockwise(ring)) + "]},\"properties\":{\"kind\":\"path\"," +
                   identity + "}}";
    }
    return out + "\n]}\n";
}

std::string kmlCoordinates(const std::vector<GroundPoint>& points) {
    std::string out;
    for (const GroundPoint& p : points)
        out += (out.empty() ? "" : " ") + degrees(p.longitudeDeg) + "," + degrees(p.latitudeDeg);
    return out;
}

std::string kmlData(const char* name, const std::string& value) {
    return std::string("<Data name=\"") + name + "\"><value>" + xmlText(value) + "</value></Data>";
}

std::string kml(const std::vector<ExportedTransit>& transits, const TimeScales& scales) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
                      "<name>Orbitrak transits</name>\n"
                      "<Style id=\"centre_line\"><LineStyle><color>ff0000ff</color>"
                      "<width>3</width></LineStyle></Style>\n"
                      "<Style id=\"path\"><LineStyle><color>ff00a5ff</color><width>1</width>"
                      "</LineStyle><PolyStyle><color>4000a5ff</color></PolyStyle></Style>\n";
    for (const ExportedTransit& t : transits) {
        const std::string time = isoTime(scales, t.jd);
        const std::string identity =
            kmlData("catalog", std::to_string(t.catalogNumber)) + kmlData("name", t.name) +
            kmlData("body", transitBodyName(t.body)) + kmlData("time_utc", time);
        std::string times;
        for (const GroundPoint& p : t.ground.centreLine)
            times += (times.empty() ? "" : " ") + isoTime(scales, p.jd);
        out += "<Folder><name>" + xmlText(title(t) + ", " + time) + "</name>\n";
        out += "<Placemark><name>" + xmlText(title(t)) +
               " centre line</name><styleUrl>#centre_line</styleUrl>"
               "<ExtendedData>" +
               kmlData("kind", "centre_line") + identity + kmlData("times_utc", times) +
               "</ExtendedData>\n<LineString><tessellate>1</tessellate><coordinates>" +
               kmlCoordinates(t.ground.centreLine) + "</coordinates></LineString></Placemark>\n";
        const std::vector<GroundPoint> ring = transitPathRing(t.ground);
        if (ring.size() >= 4)
            out += "<Placemark><name>" + xmlText(title(t)) +
                   " path</name><styleUrl>#path</styleUrl><ExtendedData>" +
                   kmlData("kind", "path") + identity +
                   "</ExtendedData>\n<Polygon><tessellate>1</tessellate><outerBoundaryIs>"
                   "<LinearRing><coordinates>" +
                   kmlCoordinates(counterClockwise(ring)) +
                   "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>\n";
        out += "</Folder>\n";
    }
    return out + "</Document>\n</kml>\n";
}

std::string gpx(const std::vector<ExportedTransit>& transits, const TimeScales& scales) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gpx version=\"1.1\" creator=\"Orbitrak\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (const ExportedTransit& t : transits) {
        out += "<trk><name>" + xmlText(title(t) + " centre line") + "</name><desc>" +
               xmlText("closest approach at the site " + isoTime(scales, t.jd)) +
               "</desc><type>centre_line</type>\n<trkseg>\n";
        for (const GroundPoint& p : t.ground.centreLine)
            out += "<trkpt lat=\"" + degrees(p.latitudeDeg) + "\" lon=\"" +
                   degrees(p.longitudeDeg) + "\"><time>" + isoTime(scales, p.jd) +
                   "</time></trkpt>\n";
        out += "</trkseg>\n</trk>\n";
    }
    return out + "</gpx>\n";
}

} // namespace

std::vector<ExportedTransit> exportedTransits(const std::vector<PlannedTransit>& transits,
                                              const Catalogue& catalogue, const TimeScales& scales,
                                              const Site& site, int* missing) {
    std::vector<ExportedTransit> exported;
    if (missing)
        *missing = 0;
    for (const PlannedTransit& planned : transits) {
        if (planned.satellite >= catalogue.size())
            continue;
        CatalogueEntry satellite = catalogue[planned.satellite];
        ExportedTransit t;
        t.catalogNumber = int(satellite.elements.satnum);
        t.name = satellite.nameLine;
        t.body = planned.transit.body;
        t.jd = planned.transit.jd;
        t.ground = transitGround(satellite, scales, site, planned.transit);
        if (t.ground.centreLine.size() < 2) {
            if (missing)
                ++*missing;
            continue;
        }
        exported.push_back(std::move(t));
    }
    return exported;
}

std::string transitsFile(TransitFileForm form, const std::vector<ExportedTransit>& transits,
                         const TimeScales& scales) {
    switch (form) {
    case TransitFileForm::Kml:
        return kml(transits, scales);
    case TransitFileForm::Gpx:
        return gpx(transits, scales);
    case TransitFileForm::GeoJson:
        break;
    }
    return geoJson(transits, scales);
}
