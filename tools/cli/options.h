#pragma once

// Command-line options of orbitrak-cli commands: "--name value" and "--name=value", read with
// QCommandLineParser. An option declared to take a value takes the next argument whatever it
// looks like, so negative numbers pass ("--lon -147.72"). "--" ends the options.

#include "astro/calendar.h"
#include "astro/horizon_mask.h"
#include "astro/site.h"
#include "catalogue/catalogue.h"

#include <QCommandLineParser>

#include <optional>
#include <string>
#include <vector>

struct OptionRule {
    std::string name; // without the leading "--"
    bool takesValue;
};

class CommandOptions {
public:
    explicit CommandOptions(const std::vector<OptionRule>& rules);

    // Reads the arguments after the command name. On failure returns false with a one-line
    // message ("unknown option --x", "option --tle needs a value", ...).
    bool parse(const std::vector<std::string>& args, std::string& error);

    bool has(const std::string& name) const;
    // The value given last, or an empty string.
    std::string value(const std::string& name) const;
    // Every value given, in order (an option that may be repeated).
    std::vector<std::string> values(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    const OptionRule* rule(const std::string& name) const;

    std::vector<OptionRule> rules_;
    QCommandLineParser parser_;
    std::vector<std::string> positional_;
};

// A finite decimal number that fills the whole text ("-147.72", "+5", "1e3"), read the same
// in every locale.
bool parseNumber(const std::string& text, double& value);

// Comma-separated numbers ("-1440,0,1440"); blanks around each number are allowed, empty items
// are not.
bool parseNumberList(const std::string& text, std::vector<double>& values);

// Reads --name into value when given: a number from low to high, else false with a message.
bool readNumber(const CommandOptions& options, const char* name, double low, double high,
                double& value, std::string& error);

// The site of --lat, --lon (east positive, as observers give it) and --elev, each defaulting
// to the window's; or, with --site NAME, the observing site of that name in the settings (which
// the three then may not accept: they would say another place), its horizon file, if it names
// one, in *horizonFile. A NAME not in the settings is an error.
bool readSite(const CommandOptions& options, Site& site, std::string& error,
              std::string* horizonFile = nullptr);

// Reads a horizon file (astro/horizon_mask.h) into mask, else false with a message naming the
// file or the line that does not read.
bool readHorizon(const std::string& path, HorizonMask& mask, std::string& error);

// Reads --name into instant when given: a UTC instant in ISO 8601, or a date alone for its 0h.
bool readInstant(const CommandOptions& options, const char* name,
                 std::optional<CalendarTime>& instant, std::string& error);

// Number texts as the window shows them: fixed notation, C locale, empty for no value.
std::string fixed(double value, int decimals);

// Reads the element sets of a file in any form (readElementSetFile), at most limit of them (0:
// all), else false with a message: the file cannot be read, or holds no element sets in a known
// form.
bool readElementSets(const std::string& path, std::size_t limit, Catalogue& catalogue,
                     std::string& error);
