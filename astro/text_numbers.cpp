#include "astro/text_numbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

std::string_view trimmedBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

namespace {

// The number's characters: blanks around it and one '+' before it taken off; empty when a sign
// still leads after the '+'.
std::string_view numberPart(std::string_view text) {
    text = trimmedBlanks(text);
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text[0] == '+' || text[0] == '-'))
            return {};
    }
    return text;
}

} // namespace

std::optional<double> readDecimal(std::string_view text) {
    text = numberPart(text);
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long long> readInteger(std::string_view text) {
    text = numberPart(text);
    long long value = 0;
    const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool readNumber(std::string_view text, double& value) {
    const std::optional<double> read = readDecimal(text);
    value = read.value_or(value);
    return read.has_value();
}

bool readNumber(std::string_view text, long long& value) {
    const std::optional<long long> read = readInteger(text);
    value = read.value_or(value);
    return read.has_value();
}
