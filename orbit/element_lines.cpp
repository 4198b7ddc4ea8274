#include "orbit/element_lines.h"

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
