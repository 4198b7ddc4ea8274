// orbitrak-cli convert: element sets from any form they are published in to any other, in
// CelesTrak's field names and layout.
#include "catalogue/element_set_merge.h"
#include "catalogue/omm_reader.h"
#include "orbit/element_lines.h"
#include "orbit/mean_elements.h"
#include "planning/pass_export.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <QFile>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli convert [--to tle|json|csv|xml|kvn] [FILE]\n"
    "\n"
    "Reads the element sets of FILE (standard input without it) in any of five forms, found\n"
    "from the content: TLEs (with or without name lines), or orbit mean-elements messages\n"
    "(OMM) as JSON, CSV, XML or KVN, as CelesTrak publishes them. Writes them to standard\n"
    "output in the form of --to (default tle), with CelesTrak's field names and layout. Each\n"
    "value of a TLE is rounded to its column as published TLEs are; catalogue numbers from\n"
    "100000 to 339999 are written in the Alpha-5 form (A0000 to Z9999), and sets with larger\n"
    "numbers cannot be TLEs. Sets with a missing, unreadable or out-of-range field are\n"
    "skipped; standard error says why for the first five (\"set N (line L): REASON\") and\n"
    "counts what was left out.\n"
    "\n";

const char kClosing[] =
    "Exit status: 0 at least one set written, 1 none (or output not written), 2 bad arguments,\n"
    "an unreadable file or one in none of the five forms.\n";

} // namespace

// --to is judged before the arguments.
Command convertCommand() {
    return {"convert",
            "element sets from any of TLE, JSON, CSV, XML and KVN to any other",
            kJudgesArguments,
            runConvert,
            17,
            kUsage,
            {{"to", "FORM", "tle (default), json, csv, xml or kvn"}},
            kClosing};
}

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
        } else if (c >= 0 && c < 0x20) {
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
            out += (c >= 0 && c < 0x20) ? ' ' : c;
    }
    return out;
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

void writeJson(const std::vector<MeanElements>& sets) {
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
    std::fputs((out + "]\n").c_str(), stdout);
}

void writeCsv(const std::vector<MeanElements>& sets) {
    std::string header;
    for (const Value& v : values(MeanElements{}))
        header += (header.empty() ? "" : ",") + std::string(v.name);
    std::fputs((header + "\r\n").c_str(), stdout);
    for (const MeanElements& e : sets) {
        std::string row;
        for (const Value& v : values(e))
            row += (row.empty() ? "" : ",") +
                   (v.kind == Field::Text ? csvText(oneLine(v.text)) : v.text);
        std::fputs((row + "\r\n").c_str(), stdout);
    }
}

void writeXml(const std::vector<MeanElements>& sets) {
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<ndm xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
               "xsi:noNamespaceSchemaLocation=\"https://sanaregistry.org/r/ndmxml_unqualified/"
               "ndmxml-2.0.0-master-2.0.xsd\">\n",
               stdout);
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
        std::fputs(out.c_str(), stdout);
    }
    std::fputs("</ndm>\n", stdout);
}

void writeKvn(const std::vector<MeanElements>& sets) {
    for (const MeanElements& e : sets) {
        const std::vector<Value> v = values(e);
        std::string out = "CCSDS_OMM_VERS = 2.0\n";
        for (std::size_t k = 0; k < v.size(); ++k) {
            out += std::string(v[k].name) + " = " + oneLine(v[k].text) + "\n";
            if (k == 1)
                out += "CENTER_NAME = EARTH\nREF_FRAME = TEME\nTIME_SYSTEM = UTC\n"
                       "MEAN_ELEMENT_THEORY = SGP4\n";
        }
        std::fputs(out.c_str(), stdout);
    }
}

} // namespace

int runConvert(const CommandOptions& options) {
    const std::string to = options.has("to") ? options.value("to") : "tle";
    if (to != "tle" && to != "json" && to != "csv" && to != "xml" && to != "kvn")
        return usageError("convert: --to needs tle, json, csv, xml or kvn, got '" + to + "'");
    if (const int refused = refuseExtraArguments("convert", options, 1))
        return refused;

    const bool fromFile = !options.positional().empty();
    const std::string path = fromFile ? options.positional().front() : "-";
    QByteArray text;
    if (fromFile) {
        if (const FileResult read = readFileBounded(QString::fromLocal8Bit(path.c_str()),
                                                    qint64(kMaxElementSetFileBytes), text);
            !read)
            return usageError("convert: " + describeFileFault(path, read, kMaxElementSetFileBytes));
    } else {
        // Standard input is a stream by nature, bounded all the same.
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return usageError("convert: cannot read standard input");
        text = in.read(qint64(kMaxElementSetFileBytes) + 1);
        if (in.error() != QFileDevice::NoError)
            return usageError("convert: cannot read standard input");
        if (text.size() > qint64(kMaxElementSetFileBytes))
            return usageError("convert: standard input is larger than " +
                              sizeBoundText(kMaxElementSetFileBytes) + ".");
    }

    const ElementSetForm form = elementSetForm(text);
    MeanElementsRead read = readAnyMeanElements(text, form);
    if (read.sets.empty() && read.skipped == 0)
        return usageError("convert: " + (fromFile ? path : std::string("Standard input")) +
                          " holds no element sets in a known form.");
    std::size_t beyondTle = 0;
    if (to == "tle") {
        std::vector<MeanElements> kept;
        std::string out;
        for (MeanElements& e : read.sets) {
            const std::optional<ElementLines> lines = writeElementLines(e);
            if (!lines) {
                ++(e.noradCatId > kMaxCatalogueNumber ? beyondTle : read.skipped);
                continue;
            }
            out = tleNameLine(e.objectName, e.noradCatId) + "\n" + lines->line1 + "\n" +
                  lines->line2 + "\n";
            std::fputs(out.c_str(), stdout);
            kept.push_back(std::move(e));
        }
        read.sets = std::move(kept);
    } else if (to == "json") {
        writeJson(read.sets);
    } else if (to == "csv") {
        writeCsv(read.sets);
    } else if (to == "xml") {
        writeXml(read.sets);
    } else {
        writeKvn(read.sets);
    }

    // The first few reasons, then the counts. JSON tells no lines.
    for (const SkippedSet& why : read.reasons) {
        const std::string line =
            why.lineNumber > 0 ? " (line " + std::to_string(why.lineNumber) + ")" : "";
        std::fprintf(stderr, "orbitrak-cli: convert: set %zu%s: %s\n", why.setNumber, line.c_str(),
                     why.reason.c_str());
    }
    if (read.skipped > 0)
        std::fprintf(stderr,
                     "orbitrak-cli: convert: skipped %zu element sets that failed their checks\n",
                     read.skipped);
    if (beyondTle > 0)
        std::fprintf(stderr,
                     "orbitrak-cli: convert: skipped %zu element sets whose catalogue numbers do "
                     "not fit a TLE\n",
                     beyondTle);
    const int written = finishOutput();
    if (read.sets.empty()) {
        std::fprintf(stderr, "orbitrak-cli: convert: no valid element set written\n");
        return 1;
    }
    return written;
}
