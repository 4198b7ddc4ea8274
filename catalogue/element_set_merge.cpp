#include "catalogue/element_set_merge.h"

#include "orbit/element_lines.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_map>

namespace {

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

// The epoch of a strict line 1: two-digit year, day of year with its decimal fraction (read
// without the process locale, which a Qt application takes from the environment).
std::optional<double> epoch(std::string_view line1) {
    const std::string_view year = elementLineField(line1, kEpochYearField);
    if (!isDigit(year[0]) || !isDigit(year[1]))
        return std::nullopt;
    std::string_view day = elementLineField(line1, kEpochDayField);
    day.remove_prefix(std::min(day.find_first_not_of(' '), day.size()));
    if (day.empty() || !isDigit(day[0]))
        return std::nullopt;
    double value = 0.0;
    const std::from_chars_result read = std::from_chars(day.data(), day.data() + day.size(), value);
    if (read.ec != std::errc() || read.ptr != day.data() + day.size() ||
        !(value >= 1.0 && value < 367.0))
        return std::nullopt;
    return yearFromTwoDigits((year[0] - '0') * 10 + (year[1] - '0')) * 1000.0 + value;
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
    const std::optional<std::string_view> line1 = strictElementLine(raw1, '1');
    const std::optional<std::string_view> line2 = strictElementLine(raw2, '2');
    if (!line1 || !line2 || !isNameLine(name))
        return std::nullopt;
    const std::optional<long> number =
        decodeCatalogueNumber(elementLineField(*line1, kCatalogueNumberField));
    const std::optional<double> when = epoch(*line1);
    if (!number || !when ||
        decodeCatalogueNumber(elementLineField(*line2, kCatalogueNumberField)) != number)
        return std::nullopt;
    return CheckedElementSet{std::string(name), std::string(*line1), std::string(*line2), *number,
                             *when};
}

} // namespace

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

std::string tleNameLine(const std::string& name, long catalogueNumber) {
    std::string line = name.substr(0, kMaxNameLength);
    for (char& c : line)
        if ((c >= 0 && c < 0x20) || c == 0x7f)
            c = ' ';
    return isBlank(line) ? std::to_string(catalogueNumber) : line;
}
