#include "orbit/element_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr long kFirstAlpha5Number = 100000;
constexpr long kAlpha5LetterUnit = 10000; // what one step of the letter is worth

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A = 10 ... Z = 33; I and O are left out, as they read like 1 and 0.
int alpha5LetterValue(char c) {
    if (c < 'A' || c > 'Z' || c == 'I' || c == 'O')
        return -1;
    return 10 + (c - 'A') - (c > 'I') - (c > 'O');
}

char alpha5Letter(int value) {
    char c = char('A' + (value - 10));
    if (c >= 'I')
        ++c;
    if (c >= 'O')
        ++c;
    return c;
}

} // namespace

std::optional<long> decodeCatalogueNumber(std::string_view field) {
    if (field.size() != kCatalogueNumberField.width())
        return std::nullopt;
    long value = 0;
    std::size_t i = 0;
    if (field[0] >= 'A' && field[0] <= 'Z') {
        value = alpha5LetterValue(field[0]);
        if (value < 0)
            return std::nullopt;
        i = 1;
    } else {
        while (i < field.size() - 1 && field[i] == ' ')
            ++i;
    }
    for (; i < field.size(); ++i) {
        if (!isDigit(field[i]))
            return std::nullopt;
        value = value * 10 + (field[i] - '0');
    }
    return value;
}

std::optional<std::string> encodeCatalogueNumber(long number) {
    if (number < 0 || number > kMaxCatalogueNumber)
        return std::nullopt;
    std::string field(kCatalogueNumberField.width(), '0');
    long rest = number;
    if (number >= kFirstAlpha5Number) {
        field[0] = alpha5Letter(int(number / kAlpha5LetterUnit));
        rest = number % kAlpha5LetterUnit;
    }
    for (std::size_t i = field.size(); i-- > 0 && rest > 0; rest /= 10)
        field[i] = char('0' + rest % 10);
    return field;
}

int elementLineCheckDigit(std::string_view line) {
    int sum = 0;
    for (std::size_t i = 0; i < line.size() && i < kCheckDigitField.offset(); ++i) {
        if (isDigit(line[i]))
            sum += line[i] - '0';
        else if (line[i] == '-')
            sum += 1;
    }
    return sum % 10;
}

int yearFromTwoDigits(int twoDigits) {
    return twoDigits < 57 ? 2000 + twoDigits : 1900 + twoDigits;
}

std::optional<std::string_view> strictElementLine(std::string_view line, char lineNumber) {
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    if (line.size() != kElementLineLength || line[0] != lineNumber || line[1] != ' ')
        return std::nullopt;
    for (const char c : line) {
        if (c < 0x20 || c > 0x7e)
            return std::nullopt;
    }
    const char digit = line[kCheckDigitField.offset()];
    if (!isDigit(digit) || elementLineCheckDigit(line) != digit - '0')
        return std::nullopt;
    return line;
}

namespace {

// The same form from a value; empty when its exponent needs more than one digit.
std::optional<std::string> impliedPointText(double value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.4e", std::fabs(value)); // "d.dddde-XX"
    const int exponent = std::atoi(digits + 7) + 1;
    if (value == 0.0 || (digits[0] == '0') || exponent < -9)
        return std::string(" 00000+0");
    if (exponent > 9)
        return std::nullopt;
    std::string text(1, value < 0 ? '-' : ' ');
    text.append(1, digits[0]).append(digits + 2, 4);
    text.append(1, exponent < 0 ? '-' : '+').append(1, char('0' + std::abs(exponent)));
    return text;
}

bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// Whether text[from, from + digits) are digits and the rest one to three capital letters: the
// launch year's digits, the launch number and the piece.
bool launchForm(std::string_view text, std::size_t yearDigits, std::size_t numberAt) {
    if (text.size() < numberAt + 4 || text.size() > numberAt + 6)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digitPlace = i < yearDigits || (i >= numberAt && i < numberAt + 3);
        if (digitPlace ? !isDigit(text[i]) : (i >= numberAt + 3 && !isUpper(text[i])))
            return false;
    }
    return true;
}

// "1998-067A" as the designator's columns "98067A"; anything else as it stands, left-justified
// and printable. The two forms map one-to-one onto each other, so that a set read back from
// its lines writes the same lines.
std::string designatorText(const std::string& objectId) {
    std::string id = objectId;
    for (char& c : id)
        if (c < 0x20 || c > 0x7e)
            c = ' ';
    id.erase(0, std::min(id.find_first_not_of(' '), id.size()));
    std::string field = launchForm(id, 4, 5) && id[4] == '-' ? id.substr(2, 2) + id.substr(5) : id;
    field.resize(kDesignatorField.width(), ' ');
    return field;
}

std::string objectIdText(std::string_view designator) {
    if (launchForm(designator, 2, 2)) {
        const int year = yearFromTwoDigits((designator[0] - '0') * 10 + (designator[1] - '0'));
        return std::to_string(year) + '-' + std::string(designator.substr(2));
    }
    return std::string(designator);
}

std::string fixedText(double value, int width, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
    return text;
}

void appendCheckDigit(std::string& line) {
    line.push_back(char('0' + elementLineCheckDigit(line)));
}

} // namespace

namespace {

bool digitsOrBlanks(std::string_view text) {
    return text.find_first_not_of("0123456789 ") == std::string_view::npos;
}

// The digits of a text with its blanks as zeros.
std::string blanksAsZeros(std::string_view text) {
    std::string digits(text);
    std::replace(digits.begin(), digits.end(), ' ', '0');
    return digits;
}

// Leading blanks, an optional sign, then digits with at most one decimal point, at least one
// digit: the numbers the firmware takes. ".00012345" is one; "1.2.3", "1 2" and "1e-5" are not.
bool firmwareDecimal(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        text.remove_prefix(1);
    const std::size_t point = text.find('.');
    const std::string_view digits = point == text.npos ? text : text.substr(0, point);
    const std::string_view fraction = point == text.npos ? "" : text.substr(point + 1);
    return digits.size() + fraction.size() > 0 &&
           digits.find_first_not_of("0123456789") == text.npos &&
           fraction.find_first_not_of("0123456789") == text.npos;
}

// One element line read field by field in column order, as the strictness asks. A field that
// does not read ends the reading: Historical keeps what was read, the others refuse the lines.
class LineReader {
public:
    LineReader(std::string_view line, ElementLineStrictness strictness)
        : line_(line), mode_(strictness) {
        line_ = line_.substr(0, std::min(line_.find('\0'), line_.size()));
        while (!line_.empty() && (line_.back() == '\n' || line_.back() == '\r'))
            line_.remove_suffix(1);
    }

    bool refused() const { return done_ && mode_ != ElementLineStrictness::Historical; }

    // The field's columns as far as the line reaches (whole ones for the other modes, whose
    // lines are whole); empty once done or when the line does not reach the field. The
    // firmware wants a blank before a field that is separated.
    std::optional<std::string_view> columns(ElementLineField field, bool separated = false) {
        if (done_ || line_.size() <= field.offset() ||
            (separated && mode_ == ElementLineStrictness::Firmware &&
             line_[field.offset() - 1] != ' '))
            return fail<std::string_view>();
        return line_.substr(field.offset(), field.width());
    }

    template <typename T> void take(const std::optional<T>& value, T& out) {
        if (value)
            out = *value;
        else
            done_ = true;
    }

    void decimal(ElementLineField field, bool separated, double& out) {
        const auto text = columns(field, separated);
        if (text && mode_ == ElementLineStrictness::Firmware && !firmwareDecimal(*text))
            return take(fail<double>(), out);
        take(text ? readDecimal(*text) : std::nullopt, out);
    }

    // A counter: digits; blanks among them as zeros except for Published.
    void counter(ElementLineField field, bool separated, long& out) {
        const auto text = columns(field, separated);
        if (!text)
            return;
        if (mode_ == ElementLineStrictness::Published) {
            const std::optional<long long> value = readInteger(*text);
            return take(value ? std::optional<long>(long(*value)) : std::nullopt, out);
        }
        if (!digitsOrBlanks(*text))
            return take(fail<long>(), out);
        take(std::optional<long>(std::atol(blanksAsZeros(*text).c_str())), out);
    }

    // Five columns: decodeCatalogueNumber's forms; for the others also digits with blanks
    // among them, and for Historical what a line that ends inside the field holds of it.
    void catalogueNumber(long& out) {
        const auto text = columns(kCatalogueNumberField);
        if (!text)
            return;
        std::optional<long> number = decodeCatalogueNumber(*text);
        if (!number && mode_ != ElementLineStrictness::Published && digitsOrBlanks(*text) &&
            !text->empty() && isDigit(text->back()))
            number = std::atol(blanksAsZeros(*text).c_str());
        take(number, out);
    }

    // A sign (blank, '+' or '-'), five digits after an implied point, the exponent's sign and
    // digit.
    void impliedPoint(ElementLineField field, double& out) {
        const auto text = columns(field, true);
        if (!text)
            return;
        const std::string_view f = *text;
        const bool published = mode_ == ElementLineStrictness::Published;
        const char sign = f.size() == 8 ? f[0] : 'x';
        const char expSign = f.size() == 8 ? f[6] : 'x';
        const char expDigit =
            f.size() == 8 && mode_ == ElementLineStrictness::Historical && f[7] == ' ' ? '0'
                                                                                       : f.back();
        if ((sign != ' ' && sign != '+' && sign != '-') ||
            (expSign != '+' && expSign != '-' && (published || expSign != ' ')) ||
            !isDigit(expDigit) ||
            !(published ? f.substr(1, 5).find_first_not_of("0123456789") == f.npos
                        : digitsOrBlanks(f.substr(1, 5))))
            return take(fail<double>(), out);
        const std::string mantissa = (sign == '-' ? "-0." : "0.") + blanksAsZeros(f.substr(1, 5));
        const int exponent = (expSign == '-' ? -1 : 1) * (expDigit - '0');
        if (published)
            return take(readDecimal(mantissa + 'e' + std::to_string(exponent)), out);
        take(std::optional<double>(*readDecimal(mantissa) * std::pow(10.0, exponent)), out);
    }

private:
    template <typename T> std::optional<T> fail() {
        done_ = true;
        return std::nullopt;
    }

    std::string_view line_;
    ElementLineStrictness mode_;
    bool done_ = false;
};

} // namespace

std::optional<MeanElements> readElementLines(std::string_view line1, std::string_view line2,
                                             std::string_view name,
                                             ElementLineStrictness strictness) {
    const bool historical = strictness == ElementLineStrictness::Historical;
    if (!historical) {
        const std::optional<std::string_view> whole1 = strictElementLine(line1, '1');
        const std::optional<std::string_view> whole2 = strictElementLine(line2, '2');
        if (!whole1 || !whole2)
            return std::nullopt;
        line1 = *whole1;
        line2 = *whole2;
        if (strictness == ElementLineStrictness::Firmware &&
            elementLineField(line1, kCatalogueNumberField) !=
                elementLineField(line2, kCatalogueNumberField))
            return std::nullopt;
    }
    MeanElements e;
    e.objectName = std::string(name);
    e.epochDay = 0.0;
    e.classificationType = 0;

    LineReader l1(line1, strictness);
    l1.catalogueNumber(e.noradCatId);
    if (const auto c = l1.columns(kClassificationField)) {
        const char c0 = (*c)[0];
        const bool firmwareForm = c0 == ' ' || (c0 >= 'A' && c0 <= 'Z');
        l1.take(strictness == ElementLineStrictness::Firmware && !firmwareForm
                    ? std::nullopt
                    : std::optional<char>(
                          c0 == ' ' && strictness != ElementLineStrictness::Published ? 'U' : c0),
                e.classificationType);
    }
    if (const auto designator = l1.columns(kDesignatorField, true)) {
        std::string_view text = *designator;
        text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        e.objectId = objectIdText(text);
    }
    if (const auto year = l1.columns(kEpochYearField, true)) {
        const std::string_view y = *year;
        std::optional<int> twoDigits;
        if (y.size() == 2 && isDigit(y[0]) && isDigit(y[1]))
            twoDigits = (y[0] - '0') * 10 + (y[1] - '0');
        else if (historical)
            if (const std::optional<long long> read = readInteger(y))
                twoDigits = int(*read);
        l1.take(twoDigits ? std::optional<int>(yearFromTwoDigits(*twoDigits)) : std::nullopt,
                e.epochYear);
    }
    l1.decimal(kEpochDayField, false, e.epochDay);
    l1.decimal(kMeanMotionDotField, true, e.meanMotionDot);
    l1.impliedPoint(kMeanMotionDotDotField, e.meanMotionDdot);
    l1.impliedPoint(kBstarField, e.bstar);
    long ephemeris = 0;
    l1.counter(kEphemerisTypeField, true, ephemeris);
    e.ephemerisType = int(ephemeris);
    l1.counter(kElementNumberField, true, e.elementSetNo);

    LineReader l2(line2, strictness);
    long number = e.noradCatId;
    l2.catalogueNumber(number);
    l2.decimal(kInclinationField, true, e.inclination);
    l2.decimal(kNodeField, true, e.raOfAscNode);
    if (const auto ecc = l2.columns(kEccentricityField, true)) {
        const bool form = strictness == ElementLineStrictness::Published
                              ? ecc->find_first_not_of("0123456789") == ecc->npos
                              : digitsOrBlanks(*ecc);
        l2.take(form ? readDecimal("0." + blanksAsZeros(*ecc)) : std::nullopt, e.eccentricity);
    }
    l2.decimal(kPerigeeField, true, e.argOfPericenter);
    l2.decimal(kMeanAnomalyField, true, e.meanAnomaly);
    l2.decimal(kMeanMotionField, true, e.meanMotion);
    l2.counter(kRevolutionField, false, e.revAtEpoch);

    if (historical) {
        e.noradCatId = number;
        return e;
    }
    if (l1.refused() || l2.refused() || number != e.noradCatId ||
        (strictness == ElementLineStrictness::Published && !meanElementsInRange(e)))
        return std::nullopt;
    return e;
}

std::optional<ElementLines> writeElementLines(const MeanElements& e) {
    const std::optional<std::string> number = encodeCatalogueNumber(e.noradCatId);
    if (!number || !meanElementsInRange(e))
        return std::nullopt;
    const std::optional<std::string> nddot = impliedPointText(e.meanMotionDdot);
    const std::optional<std::string> bstar = impliedPointText(e.bstar);
    std::string ndot = fixedText(std::fabs(e.meanMotionDot), 0, 8); // "0.00000586"
    const long eccentricity = std::lround(e.eccentricity * 1e7);
    if (!nddot || !bstar || ndot[0] != '0' || eccentricity > 9999999)
        return std::nullopt;
    const bool negative = e.meanMotionDot < 0 && ndot.find_first_of("123456789") != ndot.npos;
    ndot[0] = negative ? '-' : ' ';
    char yearDigits[8], dayText[24], eccDigits[24], counters[48];
    std::snprintf(dayText, sizeof dayText, "%012.8f", e.epochDay);
    std::snprintf(yearDigits, sizeof yearDigits, "%02d", e.epochYear % 100);
    std::snprintf(eccDigits, sizeof eccDigits, "%07ld", eccentricity);
    std::snprintf(counters, sizeof counters, "%d %4ld", e.ephemerisType, e.elementSetNo);

    ElementLines lines;
    lines.line1 = "1 " + *number + e.classificationType + ' ' + designatorText(e.objectId) + ' ' +
                  yearDigits + dayText + ' ' + ndot + ' ' + *nddot + ' ' + *bstar + ' ' + counters;
    lines.line2 = "2 " + *number + ' ' + fixedText(e.inclination, 8, 4) + ' ' +
                  fixedText(e.raOfAscNode, 8, 4) + ' ' + eccDigits + ' ' +
                  fixedText(e.argOfPericenter, 8, 4) + ' ' + fixedText(e.meanAnomaly, 8, 4) + ' ' +
                  fixedText(e.meanMotion, 11, 8) + fixedText(double(e.revAtEpoch % 100000), 5, 0);
    if (lines.line1.size() != kElementLineLength - 1 ||
        lines.line2.size() != kElementLineLength - 1)
        return std::nullopt;
    appendCheckDigit(lines.line1);
    appendCheckDigit(lines.line2);
    return lines;
}

namespace {

constexpr long long kEpochUnitsPerDay = 100000000; // the epoch's last digit: 1e-8 day

int daysInYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0) ? 366 : 365;
}

} // namespace

std::optional<ElementLines> shiftElementEpoch(std::string_view line1, std::string_view line2,
                                              double seconds) {
    if (line1.size() < kElementLineLength || line2.size() < kElementLineLength ||
        line1.substr(0, 2) != "1 " || line2.substr(0, 2) != "2 " || !std::isfinite(seconds) ||
        std::fabs(seconds) > 1e7)
        return std::nullopt;
    const std::string_view year = elementLineField(line1, kEpochYearField);
    const std::string_view day = elementLineField(line1, kEpochDayField);
    if (!isDigit(year[0]) || !isDigit(year[1]) || day[3] != '.')
        return std::nullopt;
    // The day as a whole number of 1e-8 days, so that the columns not shifted stay exact.
    long long units = 0;
    bool leadingBlanks = true;
    for (std::size_t i = 0; i < day.size(); ++i) {
        if (i == 3)
            continue;
        if (day[i] == ' ' && leadingBlanks && i < 2)
            continue;
        leadingBlanks = false;
        if (!isDigit(day[i]))
            return std::nullopt;
        units = units * 10 + (day[i] - '0');
    }
    int y = yearFromTwoDigits((year[0] - '0') * 10 + (year[1] - '0'));
    // Day 1.0 is the year's first instant.
    units += std::llround(seconds / 86400.0 * double(kEpochUnitsPerDay)) - kEpochUnitsPerDay;
    while (units < 0)
        units += daysInYear(--y) * kEpochUnitsPerDay;
    while (units >= daysInYear(y) * kEpochUnitsPerDay)
        units -= daysInYear(y++) * kEpochUnitsPerDay;
    if (y < yearFromTwoDigits(57) || y > yearFromTwoDigits(56))
        return std::nullopt;
    units += kEpochUnitsPerDay;
    char epoch[32];
    std::snprintf(epoch, sizeof epoch, day[0] == ' ' ? "%02d%3lld.%08lld" : "%02d%03lld.%08lld",
                  y % 100, units / kEpochUnitsPerDay, units % kEpochUnitsPerDay);
    ElementLines lines{std::string(line1), std::string(line2)};
    lines.line1.replace(kEpochYearField.offset(), kEpochYearField.width() + kEpochDayField.width(),
                        epoch);
    lines.line1[kCheckDigitField.offset()] = char('0' + elementLineCheckDigit(lines.line1));
    return lines;
}

std::string elementLineFault(std::string_view line, char lineNumber) {
    const std::string which = std::string("line ") + lineNumber;
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    if (line.size() < 2 || line[0] != lineNumber || line[1] != ' ')
        return which + " does not start with \"" + lineNumber + " \"";
    for (const char c : line)
        if (c < 0x20 || c > 0x7e)
            return which + " holds a character that is not printable ASCII";
    if (line.size() != kElementLineLength)
        return which + " has " + std::to_string(line.size()) + " columns, not 69";
    const char digit = line[kCheckDigitField.offset()];
    const int sum = elementLineCheckDigit(line);
    if (!isDigit(digit) || sum != digit - '0')
        return which + " has check digit " + digit + " where its columns give " + char('0' + sum);
    return {};
}

namespace {

bool startsWithTwo(std::string_view line, char first) {
    return line.size() >= 2 && line[0] == first && line[1] == ' ';
}

bool isElementLine(std::string_view line) {
    return startsWithTwo(line, '1') || startsWithTwo(line, '2');
}

struct NumberedLine {
    std::string_view text;
    std::size_t number;
};

// The lines that may belong to sets: not blank, not a comment.
std::vector<NumberedLine> candidateLines(std::string_view text) {
    std::vector<NumberedLine> lines;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++number;
        if (line.find_first_not_of(" \t\r\v\f") != std::string_view::npos && line[0] != '#')
            lines.push_back({line, number});
        start = end + 1;
    }
    return lines;
}

} // namespace

std::vector<GroupedElementLines> groupElementLines(std::string_view text) {
    const std::vector<NumberedLine> lines = candidateLines(text);
    std::vector<GroupedElementLines> sets;
    const std::size_t n = lines.size();
    for (std::size_t i = 0; i < n;) {
        GroupedElementLines set;
        set.lineNumber = lines[i].number;
        const std::string_view line = lines[i].text;
        if (startsWithTwo(line, '1') && i + 1 < n && startsWithTwo(lines[i + 1].text, '2')) {
            set.line1 = line;
            set.line2 = lines[i + 1].text;
            i += 2;
        } else if (!isElementLine(line) && i + 2 < n && startsWithTwo(lines[i + 1].text, '1') &&
                   startsWithTwo(lines[i + 2].text, '2')) {
            set.name = startsWithTwo(line, '0') ? line.substr(2) : line;
            set.hasNameLine = true;
            set.line1 = lines[i + 1].text;
            set.line2 = lines[i + 2].text;
            i += 3;
        } else {
            ++i;
            if (!isElementLine(line))
                continue; // text between sets
            (line[0] == '1' ? set.line1 : set.line2) = line;
        }
        sets.push_back(set);
    }
    return sets;
}

std::string elementSetNameFromLine1(std::string_view line1) {
    const auto columns = [line1](ElementLineField field) {
        std::string_view text =
            line1.size() > field.offset() ? line1.substr(field.offset(), field.width()) : "";
        text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        return text;
    };
    if (const std::string_view designator = columns(kDesignatorField); !designator.empty())
        return objectIdText(designator);
    if (line1.size() >= kCatalogueNumberField.last)
        if (const std::optional<long> number =
                decodeCatalogueNumber(elementLineField(line1, kCatalogueNumberField)))
            return std::to_string(*number);
    return std::string(columns(kCatalogueNumberField));
}
