#include "tools/mountsim/element_set_check.h"

#include "orbit/element_lines.h"

#include <QList>

#include <string_view>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view field(std::string_view line, ElementLineField columns) {
    return elementLineField(line, columns);
}

// The column just before a field, which parts it from the one before.
bool blankBefore(std::string_view line, ElementLineField columns) {
    return line[columns.offset() - 1] == ' ';
}

bool digitsOrBlanks(std::string_view text) {
    for (const char c : text) {
        if (!isDigit(c) && c != ' ')
            return false;
    }
    return true;
}

// Leading blanks, an optional sign, then digits with at most one decimal point, at least
// one digit. ".00012345" is a number; "1.2.3" and "1 2" are not.
bool isDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// A mantissa with an implied leading decimal point and a one-digit exponent: " 12345-3".
bool isImpliedExponent(std::string_view text) {
    return text.size() == 8 && (text[0] == ' ' || text[0] == '+' || text[0] == '-') &&
           digitsOrBlanks(text.substr(1, 5)) &&
           (text[6] == ' ' || text[6] == '+' || text[6] == '-') && isDigit(text[7]);
}

// A catalogue number as the catalogue takes it, or digits with blanks among them, as the
// stand-in takes its other integer fields.
bool isCatalogueNumber(std::string_view text) {
    return decodeCatalogueNumber(text) || (digitsOrBlanks(text) && isDigit(text.back()));
}

bool line1FieldsParse(std::string_view l) {
    const char classification = l[kClassificationField.offset()];
    const std::string_view year = field(l, kEpochYearField);
    return isCatalogueNumber(field(l, kCatalogueNumberField)) &&
           (classification == ' ' || (classification >= 'A' && classification <= 'Z')) &&
           blankBefore(l, kDesignatorField) && blankBefore(l, kEpochYearField) &&
           isDigit(year[0]) && isDigit(year[1]) && isDecimal(field(l, kEpochDayField)) &&
           blankBefore(l, kMeanMotionDotField) && isDecimal(field(l, kMeanMotionDotField)) &&
           blankBefore(l, kMeanMotionDotDotField) &&
           isImpliedExponent(field(l, kMeanMotionDotDotField)) && blankBefore(l, kBstarField) &&
           isImpliedExponent(field(l, kBstarField)) && blankBefore(l, kEphemerisTypeField) &&
           digitsOrBlanks(field(l, kEphemerisTypeField)) && blankBefore(l, kElementNumberField) &&
           digitsOrBlanks(field(l, kElementNumberField));
}

bool line2FieldsParse(std::string_view l) {
    return isCatalogueNumber(field(l, kCatalogueNumberField)) &&
           blankBefore(l, kInclinationField) && isDecimal(field(l, kInclinationField)) &&
           blankBefore(l, kNodeField) && isDecimal(field(l, kNodeField)) &&
           blankBefore(l, kEccentricityField) && digitsOrBlanks(field(l, kEccentricityField)) &&
           blankBefore(l, kPerigeeField) && isDecimal(field(l, kPerigeeField)) &&
           blankBefore(l, kMeanAnomalyField) && isDecimal(field(l, kMeanAnomalyField)) &&
           blankBefore(l, kMeanMotionField) && isDecimal(field(l, kMeanMotionField)) &&
           digitsOrBlanks(field(l, kRevolutionField));
}

} // namespace

std::optional<UploadedElementSet> checkElementSet(const QByteArray& text) {
    if (text.contains('\0'))
        return std::nullopt;
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() == 4 && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != 3)
        return std::nullopt;
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    const auto view = [](const QByteArray& line) {
        return std::string_view(line.constData(), std::size_t(line.size()));
    };
    const std::optional<std::string_view> line1 = strictElementLine(view(lines[1]), '1');
    const std::optional<std::string_view> line2 = strictElementLine(view(lines[2]), '2');
    if (!line1 || !line2 || !line1FieldsParse(*line1) || !line2FieldsParse(*line2) ||
        field(*line1, kCatalogueNumberField) != field(*line2, kCatalogueNumberField))
        return std::nullopt;
    return UploadedElementSet{lines[0].toStdString(), std::string(*line1), std::string(*line2)};
}
