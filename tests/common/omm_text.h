#pragma once

#include <QByteArrayList>
#include <QList>
#include <QPair>

// Orbit mean-elements records as CelesTrak publishes them, written in each of its four forms.
using OmmRecord = QList<QPair<QByteArray, QByteArray>>;
inline const QByteArrayList kOmmTextFields = {"OBJECT_NAME", "OBJECT_ID", "EPOCH", "CLASSIFICATION_TYPE"};

inline OmmRecord ommRecord(const QByteArray& name, const QByteArray& number) {
    return {{"OBJECT_NAME", name},
            {"OBJECT_ID", "1998-067A"},
            {"EPOCH", "2026-03-19T12:00:00.123456"},
            {"MEAN_MOTION", "15.48919755"},
            {"ECCENTRICITY", ".0003737"},
            {"INCLINATION", "51.6416"},
            {"RA_OF_ASC_NODE", "247.4627"},
            {"ARG_OF_PERICENTER", "130.536"},
            {"MEAN_ANOMALY", "325.0288"},
            {"EPHEMERIS_TYPE", "0"},
            {"CLASSIFICATION_TYPE", "U"},
            {"NORAD_CAT_ID", number},
            {"ELEMENT_SET_NO", "999"},
            {"REV_AT_EPOCH", "12345"},
            {"BSTAR", "-1.1606e-5"},
            {"MEAN_MOTION_DOT", "-0.00002182"},
            {"MEAN_MOTION_DDOT", "0"}};
}

// The record with one field changed, or left out when value is null.
inline OmmRecord changed(OmmRecord record, const QByteArray& field, const QByteArray& value) {
    for (int i = 0; i < record.size(); ++i)
        if (record[i].first == field) {
            if (value.isNull())
                record.removeAt(i);
            else
                record[i].second = value;
        }
    return record;
}

inline QByteArray csvQuoted(const QByteArray& text) {
    return text.contains(',') || text.contains('"')
               ? '"' + QByteArray(text).replace("\"", "\"\"") + '"'
               : text;
}

inline QByteArray ommText(const QByteArray& form, const QList<OmmRecord>& records) {
    QByteArray text;
    if (form == "csv") {
        for (const auto& field : ommRecord("", ""))
            text += (text.isEmpty() ? "" : ",") + field.first;
        text += "\r\n";
    }
    text += form == "json" ? "[" : form == "xml" ? "<?xml version=\"1.0\"?>\n<ndm>\n" : "";
    for (const OmmRecord& record : records) {
        QByteArrayList items;
        for (const auto& [key, value] : record) {
            const bool isText = kOmmTextFields.contains(key) || value == "abc";
            if (form == "json")
                items << '"' + key + "\":" +
                             (isText ? '"' + QByteArray(value).replace("\"", "\\\"") + '"' : value);
            else if (form == "csv")
                items << csvQuoted(value);
            else if (form == "xml")
                items << '<' + key + '>' + QByteArray(value).replace("&", "&amp;") + "</" + key +
                             '>';
            else
                items << key + " = " + value;
        }
        if (form == "json")
            text += (&record == &records.front() ? "{" : ",\n{") + items.join(',') + '}';
        else if (form == "csv")
            text += items.join(',') + "\r\n";
        else if (form == "xml")
            text +=
                "<omm id=\"CCSDS_OMM_VERS\" version=\"2.0\"><header/><body><segment><metadata>" +
                items.mid(0, 2).join("") + "</metadata><data><meanElements>" +
                items.mid(2, 7).join("") + "</meanElements><tleParameters>" +
                items.mid(9).join("") + "</tleParameters></data></segment></body></omm>\n";
        else
            text += "CCSDS_OMM_VERS = 2.0\nCOMMENT made by a test\n" + items.join('\n') + '\n';
    }
    return text + (form == "json" ? "]" : form == "xml" ? "</ndm>\n" : "");
}

// Two sets of five-digit numbers or the Alpha-5 form, one of nine digits, and three records
// that must be left out.
inline QList<OmmRecord> sampleRecords() {
    return {ommRecord("ISS (ZARYA)", "25544"),
            ommRecord("DEB, PIECE \"A\" & MORE", "270000000"),
            changed(ommRecord("NO MOTION", "11"), "MEAN_MOTION", QByteArray()),
            changed(ommRecord("BAD ECC", "12"), "ECCENTRICITY", "abc"),
            changed(ommRecord("TILTED", "13"), "INCLINATION", "181"),
            ommRecord("FIRST ALPHA-5", "100000")};
}