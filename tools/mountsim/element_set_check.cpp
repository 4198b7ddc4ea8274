#include "tools/mountsim/element_set_check.h"

#include "catalogue/element_set_merge.h"

#include <QList>

namespace {

constexpr std::size_t kElementLineLength = 69;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Columns first to last, counted from 1 as element-line layouts are.
std::string columns(const std::string& line, std::size_t first, std::size_t last) {
    return line.substr(first - 1, last - first + 1);
}

bool blankAt(const std::string& line, std::size_t column) {
    return line[column - 1] == ' ';
}

bool digitsOrBlanks(const std::string& field) {
    for (const char c : field) {
        if (!isDigit(c) && c != ' ')
            return false;
    }
    return true;
}

// Leading blanks, an optional sign, then digits with at most one decimal point, at least
// one digit. ".00012345" is a number; "1.2.3" and "1 2" are not.
bool isDecimal(const std::string& field) {
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ')
        ++i;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < field.size(); ++i) {
        if (isDigit(field[i])) {
            digits = true;
        } else if (field[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// A mantissa with an implied leading decimal point and a one-digit exponent: " 12345-3".
bool isImpliedExponent(const std::string& field) {
    return field.size() == 8 && (field[0] == ' ' || field[0] == '+' || field[0] == '-') &&
           digitsOrBlanks(field.substr(1, 5)) &&
           (field[6] == ' ' || field[6] == '+' || field[6] == '-') && isDigit(field[7]);
}

// Five digits (blanks before them allowed), or the Alpha-5 form: a letter other than I and
// O, then four digits.
bool isCatalogueNumber(const std::string& field) {
    const char first = field[0];
    if (first >= 'A' && first <= 'Z' && first != 'I' && first != 'O')
        return isDigit(field[1]) && isDigit(field[2]) && isDigit(field[3]) && isDigit(field[4]);
    return digitsOrBlanks(field) && isDigit(field[4]);
}

bool isPrintableAscii(const std::string& line) {
    for (const char c : line) {
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}

// The line without trailing blanks, if it then has exactly the element-line length.
std::optional<std::string> elementLine(const QByteArray& raw, char number) {
    std::string line = raw.toStdString();
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    if (line.size() != kElementLineLength || !isPrintableAscii(line) || line[0] != number ||
        !blankAt(line, 2) || !isDigit(line[68]) || elementLineCheckDigit(line) != line[68] - '0')
        return std::nullopt;
    return line;
}

bool line1FieldsParse(const std::string& l) {
    const char classification = l[7];
    return isCatalogueNumber(columns(l, 3, 7)) &&
           (classification == ' ' || (classification >= 'A' && classification <= 'Z')) &&
           blankAt(l, 9) && blankAt(l, 18) && isDigit(l[18]) && isDigit(l[19]) &&
           isDecimal(columns(l, 21, 32)) && blankAt(l, 33) && isDecimal(columns(l, 34, 43)) &&
           blankAt(l, 44) && isImpliedExponent(columns(l, 45, 52)) && blankAt(l, 53) &&
           isImpliedExponent(columns(l, 54, 61)) && blankAt(l, 62) &&
           (isDigit(l[62]) || l[62] == ' ') && blankAt(l, 64) && digitsOrBlanks(columns(l, 65, 68));
}

bool line2FieldsParse(const std::string& l) {
    return isCatalogueNumber(columns(l, 3, 7)) && blankAt(l, 8) && isDecimal(columns(l, 9, 16)) &&
           blankAt(l, 17) && isDecimal(columns(l, 18, 25)) && blankAt(l, 26) &&
           digitsOrBlanks(columns(l, 27, 33)) && blankAt(l, 34) && isDecimal(columns(l, 35, 42)) &&
           blankAt(l, 43) && isDecimal(columns(l, 44, 51)) && blankAt(l, 52) &&
           isDecimal(columns(l, 53, 63)) && digitsOrBlanks(columns(l, 64, 68));
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
    const std::optional<std::string> line1 = elementLine(lines[1], '1');
    const std::optional<std::string> line2 = elementLine(lines[2], '2');
    if (!line1 || !line2 || !line1FieldsParse(*line1) || !line2FieldsParse(*line2) ||
        columns(*line1, 3, 7) != columns(*line2, 3, 7))
        return std::nullopt;
    return UploadedElementSet{lines[0].toStdString(), *line1, *line2};
}
