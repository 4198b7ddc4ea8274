#include "mount/reply_fields.h"

#include <charconv>
#include <cmath>

QStringList splitFields(const QString& text, const QString& separators, bool quoting) {
    QStringList fields;
    if (text.isEmpty())
        return fields;
    QString field;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            break;
        if (quoting && c == QLatin1Char('"')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && separators.contains(c)) {
            fields.append(field);
            field.clear();
            continue;
        }
        field.append(c);
    }
    fields.append(field);
    return fields;
}

static bool isNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}

// Like C atof on a run of digits and points: a second point ends the number. Parsed without
// the C library, whose decimal separator follows the user's locale.
static double runValue(const char* begin, const char* end) {
    const char* stop = begin;
    bool point = false;
    bool digits = false;
    for (; stop != end; ++stop) {
        if (*stop == '.') {
            if (point)
                break;
            point = true;
        } else {
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(begin, stop, value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range)
        return HUGE_VAL;
    return value;
}

static bool isSeparatorChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7f && !isNumberChar(c) && c != '+' && c != '-';
}

static bool isBlankChar(char c) {
    return c == ' ' || c == '\t';
}

// Whether the whole text is one sexagesimal value, with nothing passed over.
static bool isComplete(const char* p, const char* end) {
    while (p != end && isBlankChar(*p))
        ++p;
    if (p != end && (*p == '+' || *p == '-'))
        ++p;
    int numbers = 0;
    while (true) {
        const char* start = p;
        int points = 0;
        for (; p != end && isNumberChar(*p); ++p)
            points += *p == '.';
        if (p == start || points > 1 || p - start == points || ++numbers > 3)
            return false;
        const char* separators = p;
        while (p != end && isSeparatorChar(*p) && !isBlankChar(*p) && p - separators < 2)
            ++p;
        const char* afterSeparators = p;
        while (p != end && isBlankChar(*p))
            ++p;
        if (p == end)
            return true;
        // A blank alone may part two numbers.
        if (!isNumberChar(*p) || (afterSeparators == separators && p == separators))
            return false;
    }
}

SexagesimalValue parseSexagesimal(const QByteArray& text) {
    const char* p = text.constData();
    const char* const end = p + text.size();
    double sign = 1.0;
    for (; p != end && !isNumberChar(*p); ++p) {
        if (*p == '+')
            sign = 1.0;
        else if (*p == '-')
            sign = -1.0;
    }

    double sum = 0.0;
    double scale = 1.0;
    int count = 0;
    while (p != end) {
        if (!isNumberChar(*p)) {
            ++p;
            continue;
        }
        const char* runEnd = p;
        while (runEnd != end && isNumberChar(*runEnd))
            ++runEnd;
        sum += runValue(p, runEnd) / scale;
        scale *= 60.0;
        ++count;
        p = runEnd;
    }

    SexagesimalValue result;
    result.value = sign * sum;
    result.valid = count > 0;
    result.complete = isComplete(text.constData(), end);
    // An absurdly long digit run must not put infinity into the site record.
    if (!std::isfinite(result.value)) {
        result.value = 0.0;
        result.valid = false;
        result.complete = false;
    }
    return result;
}
