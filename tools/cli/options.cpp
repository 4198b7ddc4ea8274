#include "tools/cli/options.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string ParsedOptions::value(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second.back();
}

std::vector<std::string> ParsedOptions::values(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>() : it->second;
}

bool parseOptions(const std::vector<std::string>& args, const std::vector<OptionRule>& rules,
                   ParsedOptions& out, std::string& error) {
    out = ParsedOptions();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            out.positional_.push_back(arg);
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name =
            arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
        const OptionRule* rule = nullptr;
        for (const OptionRule& s : rules)
            if (s.name == name)
                rule = &s;
        if (!rule) {
            error = "unknown option --" + name;
            return false;
        }
        if (!rule->takesValue) {
            if (eq != std::string::npos) {
                error = "option --" + name + " takes no value";
                return false;
            }
            out.values_[name].push_back(std::string());
        } else if (eq != std::string::npos) {
            out.values_[name].push_back(arg.substr(eq + 1));
        } else if (i + 1 < args.size()) {
            out.values_[name].push_back(args[++i]);
        } else {
            error = "option --" + name + " needs a value";
            return false;
        }
    }
    return true;
}

bool parseNumber(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-' && first[1] != '+')
        ++first;
    double v = 0;
    const auto result = std::from_chars(first, last, v);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool parseNumberList(const std::string& text, std::vector<double>& values) {
    std::vector<double> parsed;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t b = item.find_first_not_of(" \t");
        const std::size_t e = item.find_last_not_of(" \t");
        item = b == std::string::npos ? std::string() : item.substr(b, e - b + 1);
        double v;
        if (!parseNumber(item, v))
            return false;
        parsed.push_back(v);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    values = parsed;
    return true;
}

bool readNumber(const ParsedOptions& options, const char* name, double low, double high,
                 double& value, std::string& error) {
    if (!options.has(name))
        return true;
    if (!parseNumber(options.value(name), value) || value < low || value > high) {
        error = std::string("--") + name + " needs a number from " + fixed(low, 0) + " to " +
                fixed(high, 0) + ", got '" + options.value(name) + "'";
        return false;
    }
    return true;
}

bool readSite(const ParsedOptions& options, Site& site, std::string& error) {
    const Site defaults;
    double latitude = defaults.latitude / kRadiansPerDegree;
    double eastLongitude = -defaults.westLongitude / kRadiansPerDegree;
    double elevation = defaults.elevation;
    if (!readNumber(options, "lat", -90, 90, latitude, error) ||
        !readNumber(options, "lon", -360, 360, eastLongitude, error) ||
        !readNumber(options, "elev", -1e6, 1e8, elevation, error))
        return false;
    site.latitude = latitude * kRadiansPerDegree;
    site.westLongitude = -eastLongitude * kRadiansPerDegree;
    site.elevation = elevation;
    return true;
}

bool readInstant(const ParsedOptions& options, const char* name,
                  std::optional<CalendarTime>& instant, std::string& error) {
    if (!options.has(name))
        return true;
    instant = parseCalendar(options.value(name));
    if (!instant)
        error = std::string("--") + name +
                " needs a UTC instant such as 2026-03-19T12:00:00.250Z, got '" +
                options.value(name) + "'";
    return instant.has_value();
}

std::string fixed(double value, int decimals) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string csvName(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    const std::string name = first == std::string::npos
                                 ? std::string()
                                 : text.substr(first, text.find_last_not_of(blanks) - first + 1);
    if (name.find_first_of(",\"\r\n") == std::string::npos)
        return name;
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}
