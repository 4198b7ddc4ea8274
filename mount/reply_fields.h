#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Splits a reply into fields. The walk stops at the first carriage return or line feed.
// Outside quotes each separator ends a field (empty fields are kept); with quoting on, '"'
// toggles the quoted state and is dropped. The last field is always appended, so a non-empty
// walk gives at least one field; an empty text gives none.
QStringList splitFields(const QString& text, const QString& separators, bool quoting);

struct SexagesimalValue {
    double value = 0.0;
    bool valid = false; // at least one number was found, and the result is finite
    // Nothing in the text was passed over: blanks and at most one sign, then one to three
    // numbers (digits with at most one point) apart by one or two separator characters (any
    // printable character but a digit, a point or a sign), then at most two more separators
    // and blanks. "+48*30:15.2" is complete; "12.3.4", "+4-5", "4::::5" and "1:2:3:4" are not.
    bool complete = false;
};

// Reads an angle or distance as the mount writes it: an optional sign before the first digit,
// then numbers (runs of digits and '.') separated by anything else, the first taken whole, the
// second in sixtieths, the third in 3600ths and so on. "+48*30:15.2" is 48.504222...
SexagesimalValue parseSexagesimal(const QByteArray& text);
