#include "catalogue/element_set_merge.h"

#include "astro/text_numbers.h"
#include "orbit/element_lines.h"

#include <algorithm>
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
    const std::optional<double> value = readDecimal(day);
    if (!value || !(*value >= 1.0 && *value < 367.0))
        return std::nullopt;
    return yearFromTwoDigits((year[0] - '0') * 10 + (year[1] - '0')) * 1000.0 + *value;
}

bool isNameLine(std::string_view line) {
    if (line.size() > kMaxNameLength)
        return false;
    for (const char c : line) {
        if (isControlCharacter(c))
            return false;
    }
    return true;
}

// The set, or empty with the reason in fault.
std::optional<CheckedElementSet> checkedSet(const GroupedElementLines& set, std::string& fault) {
    if (set.line1.empty() || set.line2.empty()) {
        fault = set.line1.empty() ? "line 1 is missing" : "line 2 is missing";
        return std::nullopt;
    }
    const std::optional<std::string_view> line1 = strictElementLine(set.line1, '1');
    const std::optional<std::string_view> line2 = strictElementLine(set.line2, '2');
    if (!line1 || !line2) {
        fault = elementLineFault(line1 ? set.line2 : set.line1, line1 ? '2' : '1');
        return std::nullopt;
    }
    if (!isNameLine(set.name)) {
        fault = "the name line is longer than 100 characters or holds control characters";
        return std::nullopt;
    }
    const std::optional<long> number =
        decodeCatalogueNumber(elementLineField(*line1, kCatalogueNumberField));
    if (!number ||
        decodeCatalogueNumber(elementLineField(*line2, kCatalogueNumberField)) != number) {
        fault = number ? "lines 1 and 2 carry different catalogue numbers"
                       : "the catalogue number does not read";
        return std::nullopt;
    }
    const std::optional<double> when = epoch(*line1);
    if (!when) {
        fault = "the epoch does not read";
        return std::nullopt;
    }
    const std::string name =
        set.hasNameLine ? std::string(set.name) : elementSetNameFromLine1(*line1);
    return CheckedElementSet{name, std::string(*line1), std::string(*line2), *number, *when};
}

} // namespace

void noteSkippedSet(std::size_t& skipped, std::vector<SkippedSet>& reasons, SkippedSet why) {
    ++skipped;
    if (reasons.size() < kSkipReasonsKept)
        reasons.push_back(std::move(why));
}

CheckedText checkElementSets(const std::string& text) {
    CheckedText result;
    std::size_t setNumber = 0;
    for (const GroupedElementLines& group : groupElementLines(text)) {
        ++setNumber;
        std::string fault;
        if (std::optional<CheckedElementSet> set = checkedSet(group, fault)) {
            set->setNumber = setNumber;
            set->lineNumber = group.lineNumber;
            result.sets.push_back(std::move(*set));
        } else {
            noteSkippedSet(result.skipped, result.reasons,
                           {setNumber, group.lineNumber, std::move(fault)});
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
        if (isControlCharacter(c))
            c = ' ';
    return isBlank(line) ? std::to_string(catalogueNumber) : line;
}
