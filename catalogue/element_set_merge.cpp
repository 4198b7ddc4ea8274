#include "catalogue/element_set_merge.h"

#include <cstdlib>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace {

constexpr std::size_t kElementLineLength = 69;
// Well inside the reader's 255-character line reads, so a kept set can never shift the groups
// of the file it is written to.
constexpr std::size_t kMaxNameLength = 100;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool startsWith(std::string_view line, const char* prefix) {
    return line.size() >= 2 && line[0] == prefix[0] && line[1] == prefix[1];
}

bool isElementLine(std::string_view line) {
    return startsWith(line, "1 ") || startsWith(line, "2 ");
}

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t\r\v\f") == std::string_view::npos;
}

// Columns 3 to 7: five digits (leading blanks allowed) or Alpha-5, a letter other than I and O
// standing for 10 to 33 before four digits.
std::optional<long> catalogueNumber(std::string_view line) {
    const std::string_view field = line.substr(2, 5);
    long value = 0;
    std::size_t i = 0;
    const char first = field[0];
    if (first >= 'A' && first <= 'Z') {
        if (first == 'I' || first == 'O')
            return std::nullopt;
        value = 10 + (first - 'A') - (first > 'I') - (first > 'O');
        i = 1;
    } else {
        while (i < 4 && field[i] == ' ')
            ++i;
    }
    for (; i < field.size(); ++i) {
        if (!isDigit(field[i]))
            return std::nullopt;
        value = value * 10 + (field[i] - '0');
    }
    return value;
}

// Columns 19 to 32: two-digit year (57 to 99 in the 1900s), day of year with its fraction.
std::optional<double> epoch(std::string_view line1) {
    if (!isDigit(line1[18]) || !isDigit(line1[19]))
        return std::nullopt;
    const int yy = (line1[18] - '0') * 10 + (line1[19] - '0');
    std::string day(line1.substr(20, 12));
    const std::size_t first = day.find_first_not_of(' ');
    if (first == std::string::npos || !isDigit(day[first]))
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(day.c_str() + first, &end);
    if (*end != '\0' || !(value >= 1.0 && value < 367.0))
        return std::nullopt;
    return (yy < 57 ? 2000 + yy : 1900 + yy) * 1000.0 + value;
}

// The element line without trailing blanks, if it then is one of the right form.
std::optional<std::string_view> elementLine(std::string_view line, char number) {
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    if (line.size() != kElementLineLength || line[0] != number || line[1] != ' ')
        return std::nullopt;
    for (const char c : line) {
        if (c < 0x20 || c > 0x7e)
            return std::nullopt;
    }
    if (!isDigit(line[68]) || elementLineCheckDigit(std::string(line)) != line[68] - '0')
        return std::nullopt;
    return line;
}

bool isNameLine(std::string_view line) {
    if (line.size() > kMaxNameLength)
        return false;
    for (const char c : line) {
        if ((c >= 0 && c < 0x20) || c == 0x7f)
            return false;
    }
    return true;
}

std::optional<CheckedElementSet> checkedSet(std::string_view name, std::string_view raw1,
                                            std::string_view raw2) {
    const std::optional<std::string_view> line1 = elementLine(raw1, '1');
    const std::optional<std::string_view> line2 = elementLine(raw2, '2');
    if (!line1 || !line2 || !isNameLine(name))
        return std::nullopt;
    const std::optional<long> number = catalogueNumber(*line1);
    const std::optional<double> when = epoch(*line1);
    if (!number || !when || catalogueNumber(*line2) != number)
        return std::nullopt;
    return CheckedElementSet{std::string(name), std::string(*line1), std::string(*line2), *number,
                             *when};
}

} // namespace

int elementLineCheckDigit(const std::string& line) {
    int sum = 0;
    for (std::size_t i = 0; i < line.size() && i < kElementLineLength - 1; ++i) {
        if (isDigit(line[i]))
            sum += line[i] - '0';
        else if (line[i] == '-')
            sum += 1;
    }
    return sum % 10;
}

CheckedText checkElementSets(const std::string& text) {
    std::vector<std::string_view> lines;
    const std::string_view all(text);
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!isBlank(line))
            lines.push_back(line);
        start = end + 1;
    }

    CheckedText result;
    const std::size_t n = lines.size();
    for (std::size_t i = 0; i < n;) {
        if (!isElementLine(lines[i]) && i + 2 < n && startsWith(lines[i + 1], "1 ") &&
            startsWith(lines[i + 2], "2 ")) {
            if (std::optional<CheckedElementSet> set =
                    checkedSet(lines[i], lines[i + 1], lines[i + 2]))
                result.sets.push_back(std::move(*set));
            else
                ++result.skipped;
            i += 3;
        } else if (isElementLine(lines[i])) {
            // A set without its name line, or with a line missing: one skipped set.
            ++result.skipped;
            i += startsWith(lines[i], "1 ") && i + 1 < n && startsWith(lines[i + 1], "2 ") ? 2 : 1;
        } else {
            ++i;
        }
    }
    return result;
}

std::vector<CheckedElementSet>
mergeElementSets(const std::vector<std::vector<CheckedElementSet>>& sources) {
    std::vector<CheckedElementSet> merged;
    std::unordered_map<long, std::size_t> placeOf;
    for (const std::vector<CheckedElementSet>& source : sources) {
        for (const CheckedElementSet& set : source) {
            const auto [it, isNew] = placeOf.emplace(set.catalogueNumber, merged.size());
            if (isNew)
                merged.push_back(set);
            else if (set.epoch > merged[it->second].epoch)
                merged[it->second] = set;
        }
    }
    return merged;
}

std::string catalogueText(const std::vector<CheckedElementSet>& sets) {
    std::string text;
    for (const CheckedElementSet& set : sets)
        text += set.nameLine + '\n' + set.line1 + '\n' + set.line2 + '\n';
    return text;
}
