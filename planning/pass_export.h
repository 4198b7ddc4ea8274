#pragma once

// The planner's passes written out: as CSV (the columns of orbitrak-cli passes --csv) and as an
// iCalendar file (RFC 5545) with one event per pass. The window's export and orbitrak-cli share
// these, so both write the same bytes.

#include "astro/calendar.h"
#include "astro/site.h"
#include "catalogue/omm_writer.h"
#include "planning/passes.h"

#include <optional>
#include <string>
#include <vector>

class TimeScales;

struct ExportedPass {
    int catalogNumber = 0;
    std::string name; // UTF-8
    SatellitePass pass;
    std::optional<double> magnitude; // at culmination, where known
};

// A name as CSV shows it: csvText (catalogue/omm_writer.h) without surrounding blanks.
std::string csvName(const std::string& text);

// The header line and one line per pass, '\n' ends. withMagnitude appends a magnitude column
// (empty where unknown), so that readers of the fixed columns see no change without it.
std::string passesCsv(const std::vector<ExportedPass>& passes, const TimeScales& scales,
                      bool withMagnitude = false);

// The same, a line at a time, for writers that stream: the header line, then one pass's line
// appended to `out` (name: the catalogue's name line, as ExportedPass::name).
std::string passesCsvHeader(bool withMagnitude);
void appendPassCsv(std::string& out, int catalogNumber, const std::string& name,
                   const SatellitePass& pass, const std::optional<double>& magnitude,
                   const TimeScales& scales, bool withMagnitude);

// A VCALENDAR of one VEVENT per whole pass, from its rise to its set, CRLF line ends, lines
// folded at 75 octets; a pass the window cuts (a satellite that never rises or sets among them)
// is no event. The UID is made of the catalogue number and the rise to the nearest minute, so
// exporting the same pass again, from any window, replaces the event. stamp: the DTSTAMP, UTC.
std::string passesICalendar(const std::vector<ExportedPass>& passes, const TimeScales& scales,
                            const Site& site, const CalendarTime& stamp);
