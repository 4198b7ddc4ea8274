#pragma once

// The options several orbitrak-cli commands share, declared once with their help, and the
// readers of their values.

#include "astro/calendar.h"
#include "astro/horizon_mask.h"
#include "astro/site.h"
#include "catalogue/catalogue.h"
#include "tools/common/command_line.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr OptionSpec kTleOption{
    "tle", "FILE",
    "element sets: TLEs (with or without name lines), or OMM as JSON, CSV,\n"
    "XML or KVN; a file in none of these forms exits with status 2\n"
    "(default satell.txt)"};
inline constexpr OptionSpec kLimitOption{"limit", "N",
                                         "read at most N sets (default 500, 0 for all)"};
inline constexpr OptionSpec kSiteOption{
    "site", "NAME",
    "an observing site named in the window (Mount > Observing site...),\n"
    "instead of --lat, --lon and --elev"};
inline constexpr OptionSpec kLatOption{"lat", "DEG", "site latitude, north positive (default 45)"};
inline constexpr OptionSpec kLonOption{"lon", "DEG", "site longitude, EAST positive (default 45)"};
inline constexpr OptionSpec kElevOption{
    "elev", "M", "site elevation above the WGS-84 ellipsoid in metres (default 120)"};
inline constexpr OptionSpec kFromOption{
    "from", "TIME",
    "start of the window, UTC, ISO 8601, e.g. 2026-03-19T12:00:00.250Z or\n"
    "2026-03-19 (0h)\n"
    "(default now)"};
inline constexpr OptionSpec kHoursOption{"hours", "H",
                                         "length of the window in hours (default 24)"};
// Its text says what the columns are.
inline constexpr OptionSpec kCsvOption{"csv", nullptr, "CSV instead of the aligned table"};
inline constexpr OptionSpec kHelpOption{"help", nullptr, "this text"};

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

// Reads the element sets of --tle (default satell.txt) in any form (readElementSetFile), at
// most limit of them (0: all), else false with a message: the file cannot be read, or holds no
// element sets in a known form.
bool readElementSets(const CommandOptions& options, std::size_t limit, Catalogue& catalogue,
                     std::string& error);
