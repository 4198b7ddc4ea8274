#include "catalogue/omm_reader.h"

#include "astro/csv.h"
#include "catalogue/element_set_merge.h"
#include "orbit/element_lines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QXmlStreamReader>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace {

using Record = std::map<std::string, std::string>;

const char* const kFieldNames[] = {"OBJECT_NAME",     "OBJECT_ID",           "EPOCH",
                                   "MEAN_MOTION",     "ECCENTRICITY",        "INCLINATION",
                                   "RA_OF_ASC_NODE",  "ARG_OF_PERICENTER",   "MEAN_ANOMALY",
                                   "EPHEMERIS_TYPE",  "CLASSIFICATION_TYPE", "NORAD_CAT_ID",
                                   "ELEMENT_SET_NO",  "REV_AT_EPOCH",        "BSTAR",
                                   "MEAN_MOTION_DOT", "MEAN_MOTION_DDOT"};

QByteArray withoutPreamble(const QByteArray& text) {
    int start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (start < text.size() && QByteArray(" \t\r\n").contains(text[start]))
        ++start;
    return text.mid(start);
}

QByteArray firstLine(const QByteArray& text) {
    const int end = text.indexOf('\n');
    return (end < 0 ? text : text.left(end)).trimmed();
}

bool isKvnLine(const QByteArray& line, const char* key) {
    return line.startsWith(key) && line.mid(int(qstrlen(key))).trimmed().startsWith('=');
}

std::string trimmed(const std::string& text) {
    return QByteArray::fromStdString(text).trimmed().toStdString();
}

QByteArray withoutBom(const QByteArray& text) {
    return text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text;
}

// The values of one record; empty when one is missing, unreadable or out of range, with the
// reason in fault.
std::optional<MeanElements> meanElements(const Record& record, std::string& fault) {
    for (const char* name : kFieldNames)
        if (record.find(name) == record.end()) {
            fault = std::string(name) + " is missing";
            return std::nullopt;
        }
    const auto field = [&record](const char* name) {
        return trimmed(record.at(name));
    };
    const auto unreadable = [&fault](const char* name) {
        fault = std::string(name) + " does not read";
        return std::nullopt;
    };
    const auto epoch = readIsoEpoch(field("EPOCH"));
    if (!epoch)
        return unreadable("EPOCH");
    const char* const decimalNames[] = {"MEAN_MOTION",    "ECCENTRICITY",      "INCLINATION",
                                        "RA_OF_ASC_NODE", "ARG_OF_PERICENTER", "MEAN_ANOMALY",
                                        "BSTAR",          "MEAN_MOTION_DOT",   "MEAN_MOTION_DDOT"};
    double decimals[std::size(decimalNames)] = {};
    for (std::size_t i = 0; i < std::size(decimalNames); ++i) {
        const std::optional<double> value = readDecimal(field(decimalNames[i]));
        if (!value)
            return unreadable(decimalNames[i]);
        decimals[i] = *value;
    }
    const char* const integerNames[] = {"EPHEMERIS_TYPE", "NORAD_CAT_ID", "ELEMENT_SET_NO",
                                        "REV_AT_EPOCH"};
    long long integers[std::size(integerNames)] = {};
    for (std::size_t i = 0; i < std::size(integerNames); ++i) {
        const std::optional<long long> value = readInteger(field(integerNames[i]));
        if (!value || *value < 0 || *value > kMaxNoradCatId)
            return unreadable(integerNames[i]);
        integers[i] = *value;
    }
    const std::string classification = field("CLASSIFICATION_TYPE");
    if (classification.size() != 1)
        return unreadable("CLASSIFICATION_TYPE");
    MeanElements e;
    e.objectName = field("OBJECT_NAME");
    e.objectId = field("OBJECT_ID");
    e.epochYear = epoch->first;
    e.epochDay = epoch->second;
    e.meanMotion = decimals[0];
    e.eccentricity = decimals[1];
    e.inclination = decimals[2];
    e.raOfAscNode = decimals[3];
    e.argOfPericenter = decimals[4];
    e.meanAnomaly = decimals[5];
    e.bstar = decimals[6];
    e.meanMotionDot = decimals[7];
    e.meanMotionDdot = decimals[8];
    e.ephemerisType = int(integers[0]);
    e.noradCatId = long(integers[1]);
    e.elementSetNo = long(integers[2]);
    e.revAtEpoch = long(integers[3]);
    e.classificationType = classification[0];
    if (!meanElementsInRange(e)) {
        fault = "a value lies out of range";
        return std::nullopt;
    }
    return e;
}

// The next record's place: every record read so far, kept or skipped, comes before it.
std::size_t nextSetNumber(const MeanElementsRead& read) {
    return read.sets.size() + read.skipped + 1;
}

void skip(MeanElementsRead& read, std::size_t line, std::string reason) {
    noteSkippedSet(read.skipped, read.reasons, {nextSetNumber(read), line, std::move(reason)});
}

// line: of the record's start, 0 where the form has none to tell.
void add(MeanElementsRead& read, const Record& record, std::size_t line) {
    std::string fault;
    if (std::optional<MeanElements> e = meanElements(record, fault))
        read.sets.push_back(std::move(*e));
    else
        skip(read, line, std::move(fault));
}

void readJson(const QByteArray& text, MeanElementsRead& read) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return;
    const QJsonArray objects =
        document.isArray() ? document.array() : QJsonArray{document.object()};
    for (const QJsonValue& value : objects) {
        Record record;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.value().isString())
                record[it.key().toStdString()] = it.value().toString().toStdString();
            else if (it.value().isDouble())
                record[it.key().toStdString()] = shortestDecimal(it.value().toDouble());
        }
        add(read, record, 0); // Qt's JSON reader tells no lines
    }
}

void readCsv(const QByteArray& text, MeanElementsRead& read) {
    QList<QByteArray> lines = text.split('\n');
    std::optional<std::vector<std::string>> header;
    std::size_t lineNumber = 0;
    for (QByteArray& line : lines) {
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<std::vector<std::string>> fields =
            csvFields(std::string_view(line.constData(), std::size_t(line.size())));
        if (!header) {
            header = fields.value_or(std::vector<std::string>{});
            continue;
        }
        if (!fields || fields->size() != header->size()) {
            skip(read, lineNumber,
                 fields ? "the row has " + std::to_string(fields->size()) + " fields, the header " +
                              std::to_string(header->size())
                        : std::string("a quote is left open or text follows a closing one"));
            continue;
        }
        Record record;
        for (std::size_t i = 0; i < fields->size(); ++i)
            record[trimmed((*header)[i])] = (*fields)[i];
        add(read, record, lineNumber);
    }
}

// Messages follow one another; each starts with CCSDS_OMM_VERS, or where a key comes again.
void readKvn(const QByteArray& text, MeanElementsRead& read) {
    Record record;
    bool broken = false;
    std::size_t lineNumber = 0, recordLine = 0; // of the record under way
    const auto finish = [&] {
        if (!record.empty() || broken) {
            if (broken)
                skip(read, recordLine, "a line is not KEY = value");
            else
                add(read, record, recordLine);
        }
        record.clear();
        broken = false;
        recordLine = 0;
    };
    for (const QByteArray& raw : text.split('\n')) {
        ++lineNumber;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith("COMMENT"))
            continue;
        const int equals = line.indexOf('=');
        if (equals <= 0) {
            broken = true;
            recordLine = recordLine == 0 ? lineNumber : recordLine;
            continue;
        }
        const std::string key = line.left(equals).trimmed().toStdString();
        QByteArray value = line.mid(equals + 1).trimmed();
        // Numbers may carry their units, "15.5 [rev/day]"; names may end in brackets too.
        if (key != "OBJECT_NAME" && key != "OBJECT_ID" && value.endsWith(']') &&
            value.contains('['))
            value = value.left(value.lastIndexOf('[')).trimmed();
        if (key == "CCSDS_OMM_VERS" || record.count(key) != 0)
            finish();
        recordLine = recordLine == 0 ? lineNumber : recordLine;
        if (key != "CCSDS_OMM_VERS")
            record[key] = value.toStdString();
    }
    finish();
}

// Each <omm> element is a record; the text of every element inside it without children of
// its own is a field.
void readXml(const QByteArray& text, MeanElementsRead& read) {
    QXmlStreamReader xml(text);
    Record record;
    std::size_t recordLine = 0; // of the record under way
    bool inRecord = false, leaf = false;
    std::string name, value;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == QLatin1String("omm")) {
                if (inRecord)
                    skip(read, recordLine, "a message starts inside another");
                record.clear();
                inRecord = true;
                recordLine = std::size_t(xml.lineNumber());
            }
            leaf = true;
            name = xml.name().toString().toStdString();
            value.clear();
            break;
        case QXmlStreamReader::Characters:
            if (leaf)
                value += xml.text().toString().toStdString();
            break;
        case QXmlStreamReader::EndElement:
            if (inRecord && leaf)
                record[name] = value;
            leaf = false;
            if (inRecord && xml.name() == QLatin1String("omm")) {
                add(read, record, recordLine);
                inRecord = false;
            }
            break;
        default:
            break;
        }
    }
    if (xml.hasError() && inRecord)
        skip(read, recordLine, "the XML breaks off");
}

} // namespace

ElementSetForm elementSetForm(const QByteArray& raw) {
    const QByteArray text = withoutPreamble(raw);
    if (text.startsWith('[') || text.startsWith('{'))
        return ElementSetForm::Json;
    if (text.startsWith('<'))
        return ElementSetForm::Xml;
    const QByteArray first = firstLine(text);
    if (isKvnLine(first, "CCSDS_OMM_VERS") || isKvnLine(first, "OBJECT_NAME"))
        return ElementSetForm::Kvn;
    if (first.contains(',') && first.contains("OBJECT_NAME"))
        return ElementSetForm::Csv;
    for (const GroupedElementLines& set :
         groupElementLines(std::string_view(raw.constData(), std::size_t(raw.size()))))
        if (set.complete())
            return ElementSetForm::Tle;
    return ElementSetForm::None;
}

const char* elementSetFormName(ElementSetForm form) {
    switch (form) {
    case ElementSetForm::Tle:
        return "tle";
    case ElementSetForm::Json:
        return "json";
    case ElementSetForm::Csv:
        return "csv";
    case ElementSetForm::Xml:
        return "xml";
    case ElementSetForm::Kvn:
        return "kvn";
    case ElementSetForm::None:
        break;
    }
    return "none";
}

MeanElementsRead readMeanElements(const QByteArray& text, ElementSetForm form) {
    MeanElementsRead read;
    if (form == ElementSetForm::Json)
        readJson(text, read);
    else if (form == ElementSetForm::Csv)
        readCsv(withoutBom(text), read);
    else if (form == ElementSetForm::Xml)
        readXml(text, read);
    else if (form == ElementSetForm::Kvn)
        readKvn(withoutBom(text), read);
    return read;
}

MeanElementsRead readAnyMeanElements(const QByteArray& text, ElementSetForm form) {
    if (form != ElementSetForm::Tle)
        return readMeanElements(text, form);
    MeanElementsRead read;
    const CheckedText checked = checkElementSets(text.toStdString());
    read.skipped = checked.skipped;
    read.reasons = checked.reasons;
    for (const CheckedElementSet& set : checked.sets) {
        if (std::optional<MeanElements> e =
                readElementLines(set.line1, set.line2, trimmed(set.nameLine)))
            read.sets.push_back(std::move(*e));
        else {
            ++read.skipped;
            if (read.reasons.size() < 2 * kSkipReasonsKept) // the first few of each check
                read.reasons.push_back(
                    {set.setNumber, set.lineNumber, "a field does not read or lies out of range"});
        }
    }
    // Both checks' reasons in text order, the first ones kept.
    std::stable_sort(
        read.reasons.begin(), read.reasons.end(),
        [](const SkippedSet& a, const SkippedSet& b) { return a.setNumber < b.setNumber; });
    if (read.reasons.size() > kSkipReasonsKept)
        read.reasons.resize(kSkipReasonsKept);
    return read;
}

CheckedText checkElementSetsAnyForm(const QByteArray& body) {
    const ElementSetForm form = elementSetForm(body);
    if (form == ElementSetForm::Tle || form == ElementSetForm::None)
        return checkElementSets(body.toStdString());
    const MeanElementsRead read = readMeanElements(body, form);
    CheckedText checked;
    checked.skipped = read.skipped;
    checked.reasons = read.reasons;
    for (const MeanElements& e : read.sets) {
        const std::optional<ElementLines> lines = writeElementLines(e);
        if (!lines) {
            ++(e.noradCatId > kMaxCatalogueNumber ? checked.beyondTle : checked.skipped);
            continue;
        }
        checked.sets.push_back({tleNameLine(e.objectName, e.noradCatId), lines->line1, lines->line2,
                                e.noradCatId, e.epochYear * 1000.0 + e.epochDay});
    }
    return checked;
}

FileResult readElementSetFile(const QString& path, std::size_t maxSets, Catalogue& catalogue,
                              ElementSetForm* form) {
    catalogue = Catalogue{};
    if (form)
        *form = ElementSetForm::None;
    QByteArray text;
    if (const FileResult read = readFileBounded(path, qint64(kMaxElementSetFileBytes), text); !read)
        return read;
    ElementSetForm found = elementSetForm(text);
    if (found == ElementSetForm::Tle) {
        if (form)
            *form = found;
        readCatalogueText(std::string_view(text.constData(), std::size_t(text.size())), maxSets,
                          catalogue);
        return {};
    }
    const MeanElementsRead read = readMeanElements(text, found);
    if (read.sets.empty() && read.skipped == 0) // JSON that does not parse, a bare header, ...
        found = ElementSetForm::None;
    if (form)
        *form = found;
    catalogue.skippedSets = read.skipped;
    catalogue.setsInFile = read.sets.size();
    for (const MeanElements& e : read.sets) {
        if (maxSets != 0 && catalogue.size() >= maxSets)
            break;
        catalogue.satellites.emplace_back();
        fillCatalogueEntry(catalogue.satellites.back(), e);
    }
    return {};
}
