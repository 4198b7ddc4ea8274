#include "catalogue/omm_writer.h"

#include <cstdio>
#include <string_view>

namespace {

enum class Field { Text, Number, Integer };

struct Value {
    const char* name;
    Field kind;
    std::string text;
};

// The seventeen fields in CelesTrak's order.
std::vector<Value> values(const MeanElements& e) {
    return {{"OBJECT_NAME", Field::Text, e.objectName},
            {"OBJECT_ID", Field::Text, e.objectId},
            {"EPOCH", Field::Text, isoEpochText(e.epochYear, e.epochDay)},
            {"MEAN_MOTION", Field::Number, shortestDecimal(e.meanMotion)},
            {"ECCENTRICITY", Field::Number, shortestDecimal(e.eccentricity)},
            {"INCLINATION", Field::Number, shortestDecimal(e.inclination)},
            {"RA_OF_ASC_NODE", Field::Number, shortestDecimal(e.raOfAscNode)},
            {"ARG_OF_PERICENTER", Field::Number, shortestDecimal(e.argOfPericenter)},
            {"MEAN_ANOMALY", Field::Number, shortestDecimal(e.meanAnomaly)},
            {"EPHEMERIS_TYPE", Field::Integer, std::to_string(e.ephemerisType)},
            {"CLASSIFICATION_TYPE", Field::Text, std::string(1, e.classificationType)},
            {"NORAD_CAT_ID", Field::Integer, std::to_string(e.noradCatId)},
            {"ELEMENT_SET_NO", Field::Integer, std::to_string(e.elementSetNo)},
            {"REV_AT_EPOCH", Field::Integer, std::to_string(e.revAtEpoch)},
            {"BSTAR", Field::Number, shortestDecimal(e.bstar)},
            {"MEAN_MOTION_DOT", Field::Number, shortestDecimal(e.meanMotionDot)},
            {"MEAN_MOTION_DDOT", Field::Number, shortestDecimal(e.meanMotionDdot)}};
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string xmlText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out;
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

std::string ommJson(const std::vector<MeanElements>& sets) {
    std::string out = "[";
    for (std::size_t i = 0; i < sets.size(); ++i) {
        out += i == 0 ? "{\n" : ",{\n";
        const std::vector<Value> fields = values(sets[i]);
        for (std::size_t k = 0; k < fields.size(); ++k) {
            out += "    \"" + std::string(fields[k].name) + "\": ";
            out += fields[k].kind == Field::Text ? jsonString(fields[k].text) : fields[k].text;
            out += k + 1 < fields.size() ? ",\n" : "\n}";
        }
    }
    return out + "]\n";
}

std::string ommCsv(const std::vector<MeanElements>& sets) {
    std::string header;
    for (const Value& v : values(MeanElements{}))
        header += (header.empty() ? "" : ",") + std::string(v.name);
    std::string out = header + "\r\n";
    for (const MeanElements& e : sets) {
        std::string row;
        for (const Value& v : values(e))
            row += (row.empty() ? "" : ",") +
                   (v.kind == Field::Text ? csvText(oneLine(v.text)) : v.text);
        out += row + "\r\n";
    }
    return out;
}

std::string ommXml(const std::vector<MeanElements>& sets) {
    std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ndm xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:noNamespaceSchemaLocation=\"https://sanaregistry.org/r/ndmxml_unqualified/"
        "ndmxml-2.0.0-master-2.0.xsd\">\n";
    for (const MeanElements& e : sets) {
        const std::vector<Value> v = values(e);
        const auto element = [](const Value& value) {
            return "<" + std::string(value.name) + ">" + xmlText(value.text) + "</" + value.name +
                   ">";
        };
        std::string out = "<omm id=\"CCSDS_OMM_VERS\" version=\"2.0\">\n"
                          "<header><CREATION_DATE/><ORIGINATOR/></header>\n"
                          "<body><segment><metadata>" +
                          element(v[0]) + element(v[1]) +
                          "<CENTER_NAME>EARTH</CENTER_NAME><REF_FRAME>TEME</REF_FRAME>"
                          "<TIME_SYSTEM>UTC</TIME_SYSTEM>"
                          "<MEAN_ELEMENT_THEORY>SGP4</MEAN_ELEMENT_THEORY></metadata>\n"
                          "<data><meanElements>";
        for (std::size_t k = 2; k < 9; ++k)
            out += element(v[k]);
        out += "</meanElements>\n<tleParameters>";
        for (std::size_t k = 9; k < v.size(); ++k)
            out += element(v[k]);
        out += "</tleParameters></data></segment></body>\n</omm>\n";
        document += out;
    }
    return document + "</ndm>\n";
}

std::string ommKvn(const std::vector<MeanElements>& sets) {
    std::string document;
    for (const MeanElements& e : sets) {
        const std::vector<Value> v = values(e);
        std::string out = "CCSDS_OMM_VERS = 2.0\n";
        for (std::size_t k = 0; k < v.size(); ++k) {
            out += std::string(v[k].name) + " = " + oneLine(v[k].text) + "\n";
            if (k == 1)
                out += "CENTER_NAME = EARTH\nREF_FRAME = TEME\nTIME_SYSTEM = UTC\n"
                       "MEAN_ELEMENT_THEORY = SGP4\n";
        }
        document += out;
    }
    return document;
}

std::string csvText(const std::string& text) {
    const bool formula =
        !text.empty() && std::string_view("=+-@").find(text[0]) != std::string_view::npos;
    if (!formula && text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = formula ? "\"'" : "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}
